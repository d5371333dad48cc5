// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/historyimport.h"

#include <QProgressDialog>

// Shows the progress of a long history import and cancels it on request.
// It appears only when the import takes more than a moment, and closes by
// itself when the import has finished.
class HistoryImportDialog : public QProgressDialog
{
    Q_OBJECT

public:
    static constexpr int kSteps = 1000;

    explicit HistoryImportDialog(HistoryImport *import, QWidget *parent = nullptr);

    // The line for the status bar that tells how the import went.
    static QString summaryText(const HistoryImport::Summary &summary);
};
