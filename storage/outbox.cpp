// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/outbox.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
QAtomicInt connectionCounter;
const char kTimeFormat[] = "yyyy-MM-ddThh:mm:ss.zzzZ";
} // namespace

Outbox::Outbox(const QString &databaseFile, const QString &channel, int maxMessages)
    : m_file(databaseFile), m_channel(channel),
      m_connection(QStringLiteral("outbox-%1").arg(connectionCounter.fetchAndAddRelaxed(1))),
      m_maxMessages(maxMessages)
{
}

Outbox::~Outbox()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool Outbox::open()
{
    if (isOpen())
        return true;
    // Only a regular file (or none yet): a device or a folder in its place
    // must not block or be written.
    const QFileInfo info(m_file);
    if (info.exists() && !info.isFile()) {
        m_error = QStringLiteral("not a regular file");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                             "channel TEXT NOT NULL, topic TEXT NOT NULL, payload BLOB NOT NULL, "
                             "queued_time TEXT NOT NULL, attempts INTEGER NOT NULL DEFAULT 0)")) ||
        !exec(QStringLiteral("CREATE INDEX IF NOT EXISTS outbox_channel ON outbox (channel, id)"))) {
        db.close();
        return false;
    }
    m_error.clear();
    return true;
}

bool Outbox::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

bool Outbox::exec(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(sql))
        return true;
    m_error = query.lastError().text();
    return false;
}

Outbox::Queued Outbox::enqueue(const QString &topic, const QByteArray &payload, const QDateTime &nowUtc)
{
    Queued result;
    if (!open())
        return result;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO outbox (channel, topic, payload, queued_time) VALUES (?, ?, ?, ?)"));
    insert.addBindValue(m_channel);
    insert.addBindValue(topic);
    insert.addBindValue(payload);
    insert.addBindValue(nowUtc.toUTC().toString(QLatin1String(kTimeFormat)));
    if (!insert.exec()) {
        m_error = insert.lastError().text();
        return result;
    }
    result.id = insert.lastInsertId().toLongLong();
    const int excess = count() - m_maxMessages;
    if (excess > 0) {
        QSqlQuery drop(db);
        drop.prepare(QStringLiteral("DELETE FROM outbox WHERE id IN (SELECT id FROM outbox WHERE channel = ? "
                                    "ORDER BY id LIMIT ?)"));
        drop.addBindValue(m_channel);
        drop.addBindValue(excess);
        if (drop.exec())
            result.dropped = drop.numRowsAffected();
    }
    return result;
}

QVector<Outbox::Message> Outbox::oldest(int limit) const
{
    QVector<Message> messages;
    if (!isOpen())
        return messages;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        QStringLiteral("SELECT id, topic, payload, queued_time, attempts FROM outbox WHERE channel = ? "
                       "ORDER BY id LIMIT ?"));
    query.addBindValue(m_channel);
    query.addBindValue(limit);
    if (!query.exec())
        return messages;
    while (query.next()) {
        Message message;
        message.id = query.value(0).toLongLong();
        message.topic = query.value(1).toString();
        message.payload = query.value(2).toByteArray();
        message.queuedUtc = QDateTime::fromString(query.value(3).toString(), QLatin1String(kTimeFormat));
        message.queuedUtc.setTimeSpec(Qt::UTC);
        message.attempts = query.value(4).toInt();
        messages.append(message);
    }
    return messages;
}

bool Outbox::remove(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM outbox WHERE id = ? AND channel = ?"));
    query.addBindValue(id);
    query.addBindValue(m_channel);
    if (query.exec())
        return true;
    m_error = query.lastError().text();
    return false;
}

bool Outbox::countAttempt(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("UPDATE outbox SET attempts = attempts + 1 WHERE id = ? AND channel = ?"));
    query.addBindValue(id);
    query.addBindValue(m_channel);
    return query.exec();
}

int Outbox::dropQueuedBefore(const QDateTime &cutoffUtc)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM outbox WHERE channel = ? AND queued_time < ?"));
    query.addBindValue(m_channel);
    query.addBindValue(cutoffUtc.toUTC().toString(QLatin1String(kTimeFormat)));
    return query.exec() ? query.numRowsAffected() : 0;
}

int Outbox::count() const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM outbox WHERE channel = ?"));
    query.addBindValue(m_channel);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}
