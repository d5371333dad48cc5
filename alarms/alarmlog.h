// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <deque>

struct Alarm;

// The alarm log: one CSV file per UTC month, "<data folder>/Alarms/
// alarms_yyyy-MM.csv", RFC 4180 (CRLF line ends, quoted fields where needed),
// a header on a new file, then one row per transition: a "raised" row when an
// alarm begins and a "cleared" row when it ends, which repeats the start time.
// A row goes into the file of the month in which its transition happened.
//
// Rows are appended whole or not at all. A row that cannot be written waits
// and goes first with the next one, so a full disk loses no rows until more
// than kMaxPendingRows are waiting; then the oldest are dropped and counted.
class AlarmLog
{
public:
    static constexpr int kMaxPendingRows = 1000;

    // folder: the "Alarms" folder, see folderIn().
    explicit AlarmLog(const QString &folder);

    static QString folderIn(const QString &dataFolderRoot);
    static QString filePath(const QString &folder, const QDateTime &utc);
    // The header line without its line end.
    static QByteArray header();
    // The alarm's row, ended by "\r\n": "raised" while it is active, else "cleared".
    static QByteArray row(const Alarm &alarm);

    // Appends the alarm's row after any rows still waiting. False when a row
    // is left waiting; errorString() then says why.
    bool write(const Alarm &alarm);

    int pendingRows() const { return int(m_pending.size()); }
    int droppedRows() const { return m_dropped; }
    QString errorString() const { return m_error; }

private:
    struct PendingRow
    {
        QString path;
        QByteArray row;
    };

    bool appendRow(const PendingRow &pending);

    QString m_folder;
    std::deque<PendingRow> m_pending;
    int m_dropped = 0;
    QString m_error;
};
