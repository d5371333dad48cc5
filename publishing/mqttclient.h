// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publishing/mqttsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class QHostInfo;
class QSocketNotifier;
struct mosquitto;

// One MQTT 3.1.1 connection through libmosquitto, driven by the Qt event loop
// of the calling thread: socket notifiers for reading and writing and a timer
// for the keep-alive; no thread of its own. While started it keeps
// reconnecting, waiting 1 s after the first failure and twice as long after
// each further one, up to 60 s. Each connection starts from a fresh
// libmosquitto session, so nothing is re-sent behind the caller's back: what
// was not acknowledged is the caller's to publish again.
//
// Destroying a connected client drops the connection without a DISCONNECT,
// as a crash would, so the broker publishes the Last Will; stop() is the
// orderly way out.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60000;
    // A connection that has not been accepted by then counts as failed.
    static constexpr int kConnectTimeoutMs = 15000;

    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;

    // Broker, credentials, TLS, keep-alive and client id; used from the next connection on.
    void setSettings(const MqttSettings &settings);
    // The Last Will (QoS 1, retained); an empty topic means none.
    void setWill(const QString &topic, const QByteArray &payload);
    void setRetryDelays(int firstMs, int lastMs);

    // Connects now and keeps the connection up until stop().
    void start();
    // Drops the connection without a DISCONNECT (the broker sends the Will)
    // and connects again at once, with the current settings and Will.
    void restart();
    // Sends a DISCONNECT (no Will) and stays disconnected.
    void stop();

    bool isStarted() const { return m_started; }
    bool isConnected() const { return m_connected; }
    QString clientId() const { return m_clientId; }
    QString lastError() const { return m_lastError; }

    // QoS 1. Returns the message id that published() will report once the
    // broker has acknowledged it, or -1 when it was not sent; *rejected tells
    // whether the message itself is at fault (too large, bad topic), so that
    // sending it again cannot help.
    int publish(const QString &topic, const QByteArray &payload, bool retain, bool *rejected = nullptr);

signals:
    void connected();
    void disconnected();
    // The broker acknowledged the message (PUBACK).
    void published(int messageId);
    // A failed connection attempt or a lost connection, in words.
    void errorOccurred(const QString &text);

private slots:
    // A slot by name: the lookup then holds no slot object of its own, which
    // an aborted lookup would leave behind.
    void hostLookedUp(const QHostInfo &info);

private:
    static void onConnect(mosquitto *, void *self, int result);
    static void onDisconnect(mosquitto *, void *self, int result);
    static void onPublish(mosquitto *, void *self, int messageId);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    void connectNow();
    void openSession();
    void readReady();
    void writeReady();
    void housekeeping();
    // After every call into libmosquitto: follow its socket and notice a lost connection.
    void afterCall(int result);
    void connectionLost(const QString &reason);
    void dropSession();
    void syncNotifiers();
    void removeNotifiers();
    QString describe(int result) const;

    MqttSettings m_settings;
    QString m_clientId;
    QString m_willTopic;
    QByteArray m_willPayload;
    mosquitto *m_mosq = nullptr;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    int m_socket = -1;
    QTimer m_housekeepingTimer;
    QTimer m_retryTimer;
    QTimer m_connectTimer;
    int m_firstRetryMs = kFirstRetryMs;
    int m_lastRetryMs = kLastRetryMs;
    int m_retryMs = kFirstRetryMs;
    bool m_started = false;
    bool m_connected = false;
    bool m_awaitingWritable = false;
    // Events seen inside libmosquitto's callbacks, acted on once it has returned.
    bool m_acceptedNow = false;
    bool m_lost = false;
    int m_lostResult = 0;
    QString m_refusal;
    QVector<int> m_acks;
    QString m_libraryError;
    quint64 m_session = 0;
    int m_lookupId = -1;
    QString m_lastError;
};
