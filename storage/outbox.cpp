// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/outbox.h"

#include "storage/sqlitefile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const char kTimeFormat[] = "yyyy-MM-ddThh:mm:ss.zzzZ";
} // namespace

Outbox::Outbox(const QString &databaseFile, const QString &channel, int maxMessages)
    : m_file(databaseFile), m_channel(channel), m_connection(SqliteFile::newConnection("outbox")),
      m_maxMessages(maxMessages)
{
}

Outbox::~Outbox()
{
    SqliteFile::remove(m_connection);
}

bool Outbox::open()
{
    if (isOpen())
        return true;
    if (!SqliteFile::open(m_connection, m_file, &m_error))
        return false;
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                             "channel TEXT NOT NULL, topic TEXT NOT NULL, payload BLOB NOT NULL, "
                             "queued_time TEXT NOT NULL, attempts INTEGER NOT NULL DEFAULT 0)")) ||
        !exec(QStringLiteral("CREATE INDEX IF NOT EXISTS outbox_channel ON outbox (channel, id)"))) {
        SqliteFile::close(m_connection);
        return false;
    }
    m_error.clear();
    return true;
}

bool Outbox::isOpen() const
{
    return SqliteFile::isOpen(m_connection);
}

bool Outbox::exec(const QString &sql)
{
    return SqliteFile::exec(m_connection, sql, &m_error);
}

Outbox::Queued Outbox::enqueue(const QString &topic, const QByteArray &payload, const QDateTime &nowUtc)
{
    return enqueue(
        topic, [&payload](qint64) { return payload; }, nowUtc);
}

Outbox::Queued Outbox::enqueue(const QString &topic, const std::function<QByteArray(qint64 id)> &payloadFor,
                               const QDateTime &nowUtc)
{
    Queued result;
    if (!open())
        return result;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return result;
    }
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO outbox (channel, topic, payload, queued_time) VALUES (?, ?, ?, ?)"));
    insert.addBindValue(m_channel);
    insert.addBindValue(topic);
    insert.addBindValue(QByteArray(""));
    insert.addBindValue(nowUtc.toUTC().toString(QLatin1String(kTimeFormat)));
    if (!insert.exec()) {
        m_error = insert.lastError().text();
        db.rollback();
        return result;
    }
    const qint64 id = insert.lastInsertId().toLongLong();
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE outbox SET payload = ? WHERE id = ?"));
    update.addBindValue(payloadFor(id));
    update.addBindValue(id);
    if (!update.exec() || !db.commit()) {
        m_error = update.lastError().isValid() ? update.lastError().text() : db.lastError().text();
        db.rollback();
        return result;
    }
    result.id = id;
    result.dropped = dropExcess();
    return result;
}

int Outbox::dropExcess()
{
    const int excess = count() - m_maxMessages;
    if (excess <= 0)
        return 0;
    QSqlQuery drop(QSqlDatabase::database(m_connection, false));
    drop.prepare(QStringLiteral("DELETE FROM outbox WHERE id IN (SELECT id FROM outbox WHERE channel = ? "
                                "ORDER BY id LIMIT ?)"));
    drop.addBindValue(m_channel);
    drop.addBindValue(excess);
    return drop.exec() ? drop.numRowsAffected() : 0;
}

QVector<Outbox::Message> Outbox::oldest(int limit, qint64 afterId) const
{
    QVector<Message> messages;
    if (!isOpen())
        return messages;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        QStringLiteral("SELECT id, topic, payload, queued_time, attempts FROM outbox WHERE channel = ? "
                       "AND id > ? ORDER BY id LIMIT ?"));
    query.addBindValue(m_channel);
    query.addBindValue(afterId);
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

int Outbox::removeTopic(const QString &topic)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM outbox WHERE channel = ? AND topic = ?"));
    query.addBindValue(m_channel);
    query.addBindValue(topic);
    return query.exec() ? query.numRowsAffected() : 0;
}

int Outbox::count() const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM outbox WHERE channel = ?"));
    query.addBindValue(m_channel);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}
