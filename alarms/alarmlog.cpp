// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmlog.h"

#include "alarms/alarm.h"
#include "storage/appendfile.h"
#include "storage/csvlog.h"
#include "storage/datafolder.h"

#include <QFileInfo>

namespace {

QString timeText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

AlarmLog::AlarmLog(const QString &folder) : m_folder(folder) {}

QString AlarmLog::folderIn(const QString &dataFolderRoot)
{
    return dataFolderRoot + QStringLiteral("/Alarms");
}

QString AlarmLog::filePath(const QString &folder, const QDateTime &utc)
{
    return folder + QStringLiteral("/alarms_") + utc.toUTC().toString(QStringLiteral("yyyy-MM")) +
           QStringLiteral(".csv");
}

QByteArray AlarmLog::header()
{
    return "Time (UTC),Event,Alarm,Unit,Sensor,Message,Started (UTC)";
}

QByteArray AlarmLog::row(const Alarm &alarm)
{
    const bool active = alarm.isActive();
    const QByteArray fields[] = {
        CsvLog::field(timeText(active ? alarm.startUtc : alarm.endUtc)),
        active ? QByteArray("raised") : QByteArray("cleared"),
        Alarm::kindName(alarm.kind).toUtf8(),
        CsvLog::field(alarm.unit),
        CsvLog::field(alarm.sensor),
        CsvLog::field(alarm.text),
        CsvLog::field(timeText(alarm.startUtc)),
    };
    QByteArray line;
    for (const QByteArray &field : fields) {
        if (!line.isEmpty())
            line += ',';
        line += field;
    }
    return line + "\r\n";
}

bool AlarmLog::write(const Alarm &alarm)
{
    const QDateTime when = alarm.isActive() ? alarm.startUtc : alarm.endUtc;
    m_pending.push_back({filePath(m_folder, when), row(alarm)});
    while (!m_pending.empty() && appendRow(m_pending.front()))
        m_pending.pop_front();
    if (m_pending.empty()) {
        m_error.clear();
        return true;
    }
    while (int(m_pending.size()) > kMaxPendingRows) {
        m_pending.pop_front();
        ++m_dropped;
    }
    return false;
}

bool AlarmLog::appendRow(const PendingRow &pending)
{
    if (!DataFolder::ensure(m_folder)) {
        m_error = DataFolder::cannotCreateText(m_folder);
        return false;
    }
    // An empty file counts as new, so it gets its header even after a failed first write.
    const QFileInfo existing(pending.path);
    const bool fresh = !existing.exists() || existing.size() == 0;
    const WriteResult result =
        AppendFile::append(pending.path, fresh ? header() + "\r\n" + pending.row : pending.row);
    if (!result.ok)
        m_error = QStringLiteral("Cannot write %1: %2").arg(pending.path, result.errorText);
    return result.ok;
}
