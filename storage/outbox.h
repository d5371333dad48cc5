// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// Messages waiting for delivery, kept in an SQLite file so that a restart,
// a crash or a long outage loses none. Each sender (SBD forwarding, MQTT) has
// its own channel in the same table; messages leave in the order they came
// and only when the sender says they were delivered. The queue is bounded:
// beyond the limit the oldest messages of the channel are dropped.
class Outbox
{
public:
    struct Message
    {
        qint64 id = 0;
        QString topic;
        QByteArray payload;
        QDateTime queuedUtc;
        int attempts = 0;
    };
    struct Queued
    {
        qint64 id = -1;  // -1: not stored
        int dropped = 0; // oldest messages dropped to make room
    };

    // databaseFile: usually the history store's file; channel: "sbd", "mqtt", ...
    Outbox(const QString &databaseFile, const QString &channel, int maxMessages);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    // Opens (and creates) the file and the table; false with errorText() set.
    bool open();
    bool isOpen() const;
    QString errorText() const { return m_error; }

    void setMaxMessages(int maxMessages) { m_maxMessages = maxMessages; }
    int maxMessages() const { return m_maxMessages; }

    Queued enqueue(const QString &topic, const QByteArray &payload, const QDateTime &nowUtc);
    // The oldest messages of the channel, oldest first.
    QVector<Message> oldest(int limit) const;
    bool remove(qint64 id);
    bool countAttempt(qint64 id);
    // Drops messages queued before the cutoff; returns how many went.
    int dropQueuedBefore(const QDateTime &cutoffUtc);
    int count() const;

private:
    bool exec(const QString &sql);

    QString m_file;
    QString m_channel;
    QString m_connection;
    int m_maxMessages;
    QString m_error;
};
