// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/writeresult.h"

#include <QByteArray>
#include <QString>

// Appends to the log files. An append lands whole or not at all: on a short
// or failed write (full disk, file-size limit, I/O error) the file is cut
// back to the size it had, so a later entry never glues onto a torn one.
class AppendFile
{
public:
    // Opens (creating if missing), appends, closes. The folder must exist.
    static WriteResult append(const QString &path, const QByteArray &bytes);
};
