// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/historyimportdialog.h"

HistoryImportDialog::HistoryImportDialog(HistoryImport *import, QWidget *parent)
    : QProgressDialog(tr("Importing the weather history from the CSV logs..."), tr("Cancel"), 0, kSteps,
                      parent)
{
    setWindowTitle(tr("Weather History"));
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(1000);
    setAutoClose(true);
    setAutoReset(true);
    connect(import, &HistoryImport::progress, this, [this](qint64 done, qint64 total) {
        setValue(total > 0 ? int(std::min<qint64>(kSteps, done * kSteps / total)) : 0);
    });
    connect(import, &HistoryImport::finished, this, [this] { setValue(kSteps); });
    connect(this, &QProgressDialog::canceled, import, &HistoryImport::cancel);
}

QString HistoryImportDialog::summaryText(const HistoryImport::Summary &summary)
{
    if (!summary.errors.isEmpty())
        return tr("History import incomplete: %1").arg(summary.errors.first());
    if (summary.cancelled)
        return tr("History import cancelled: %n packets imported", nullptr, int(summary.added));
    return tr("History imported: %n packets", nullptr, int(summary.added));
}
