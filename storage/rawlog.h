// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/writehealth.h"

#include <QByteArray>
#include <QString>

class DataFolder;
class QDateTime;

// The raw text logs: every weather packet as it arrived, and the auxiliary
// "@3" parts, one file per unit and month (the month in UTC).
class RawLog
{
public:
    // "\r\n*", the local stamp "yyyy-MM-ddThh:mm:ss.zzzL\r\n", then the buffer.
    static QByteArray weatherEntry(const QByteArray &buffer, const QDateTime &local);
    // "*", the same stamp, then the auxiliary part.
    static QByteArray auxiliaryEntry(const QByteArray &auxiliary, const QDateTime &local);

    // "<folder>/<unit>_yyyyMM.txt"; the IMEI comes off the line, so only a
    // safe unit name is used and the file always lies inside the folder.
    static QString filePath(const QString &folder, const QString &imei, const QDateTime &when);

    // Creates the folder if needed and appends the bytes, whole or not at all.
    // The result goes to health as a write of the given kind when given.
    static WriteResult append(const QString &folder, const QString &imei, const QByteArray &bytes,
                              const QDateTime &when, WriteHealth *health = nullptr,
                              WriteHealth::FileKind kind = WriteHealth::Raw);

    // Everything logged for one processed weather packet: the buffer unchanged
    // to the no-unit file when the packet carries no IMEI; with logging on the
    // stamped buffer to the raw log and the stamped auxiliary part (if any)
    // to the auxiliary log. Each write is reported to health when given.
    static void logWeatherPacket(const DataFolder &folders, const QString &imei, const QByteArray &buffer,
                                 const QByteArray &auxiliary, bool loggingEnabled, const QDateTime &now,
                                 WriteHealth *health = nullptr);
};
