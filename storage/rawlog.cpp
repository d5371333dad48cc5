// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/rawlog.h"

#include "storage/datafolder.h"

#include <QDateTime>
#include <QFile>

namespace {
QByteArray stamp(const QDateTime &local)
{
    return local.toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss.zzz'L'")).toLatin1() + "\r\n";
}
} // namespace

QByteArray RawLog::weatherEntry(const QByteArray &buffer, const QDateTime &local)
{
    return "\r\n*" + stamp(local) + buffer;
}

QByteArray RawLog::auxiliaryEntry(const QByteArray &auxiliary, const QDateTime &local)
{
    return "*" + stamp(local) + auxiliary;
}

QString RawLog::filePath(const QString &folder, const QString &imei, const QDateTime &when)
{
    return QStringLiteral("%1/%2_%3.txt")
        .arg(folder, DataFolder::unitName(imei), when.toUTC().toString(QStringLiteral("yyyyMM")));
}

bool RawLog::append(const QString &folder, const QString &imei, const QByteArray &bytes, const QDateTime &when)
{
    if (!DataFolder::ensure(folder))
        return false;
    QFile file(filePath(folder, imei, when));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return written;
}

void RawLog::logWeatherPacket(const DataFolder &folders, const QString &imei, const QByteArray &buffer,
                              const QByteArray &auxiliary, bool loggingEnabled, const QDateTime &now)
{
    if (imei.isEmpty())
        append(folders.rawPath(), imei, buffer, now);
    if (!loggingEnabled)
        return;
    append(folders.rawPath(), imei, weatherEntry(buffer, now), now);
    if (!auxiliary.isEmpty())
        append(folders.auxiliaryPath(), imei, auxiliaryEntry(auxiliary, now), now);
}
