// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;

// Where and how observations are published: the broker, the credentials, TLS,
// the topic prefix and how much the outbox keeps while the broker is away.
// Kept in the "mqtt" group of a settings store: the window's store, or the
// service's INI file.
struct MqttSettings
{
    static constexpr int kDefaultPort = 1883;
    static constexpr int kDefaultKeepAliveS = 60;
    static constexpr int kDefaultOutboxDays = 30;
    // The fastest reporting mode sends a packet every 10 s.
    static constexpr int kPacketsPerDay = 8640;
    static constexpr const char *kDefaultPrefix = "ktr";

    bool enabled = false;
    QString host;
    int port = kDefaultPort;
    QString clientId; // empty: one of our own, new for every run
    QString username;
    QString password;
    bool tls = false;
    QString caFile;
    QString certFile; // optional client certificate and its key
    QString keyFile;
    int keepAliveS = kDefaultKeepAliveS;
    QString prefix = QString::fromLatin1(kDefaultPrefix);
    int outboxDays = kDefaultOutboxDays;

    // Missing or unusable values read as the defaults.
    static MqttSettings load(const QSettings &store);
    void save(QSettings &store) const;

    // Count bound of the outbox: outboxDays of packets at the fastest rate.
    int outboxMaxMessages() const;

    // A prefix is one or more topic levels without wildcards, empty levels
    // or control characters.
    static bool isValidPrefix(const QString &prefix);
    // "host", "host:port" or "[v6 address]:port"; false when the text is none of these.
    static bool parseHostPort(const QString &text, QString *host, int *port);
};
