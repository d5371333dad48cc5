// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/rawlog.h"

#include "storage/appendfile.h"
#include "storage/datafolder.h"

#include <QDateTime>

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

WriteResult RawLog::append(const QString &folder, const QString &imei, const QByteArray &bytes,
                           const QDateTime &when, WriteHealth *health, WriteHealth::FileKind kind)
{
    const QString path = filePath(folder, imei, when);
    const WriteResult result = DataFolder::ensure(folder)
                                   ? AppendFile::append(path, bytes)
                                   : WriteResult::failure(path, DataFolder::cannotCreateText(folder));
    if (health)
        health->report(kind, result);
    return result;
}

void RawLog::logWeatherPacket(const DataFolder &folders, const QString &imei, const QByteArray &buffer,
                              const QByteArray &auxiliary, bool loggingEnabled, const QDateTime &now,
                              WriteHealth *health)
{
    if (imei.isEmpty())
        append(folders.rawPath(), imei, buffer, now, health);
    if (!loggingEnabled)
        return;
    append(folders.rawPath(), imei, weatherEntry(buffer, now), now, health);
    if (!auxiliary.isEmpty())
        append(folders.auxiliaryPath(), imei, auxiliaryEntry(auxiliary, now), now, health,
               WriteHealth::Auxiliary);
}
