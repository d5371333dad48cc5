// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publishing/mqttsettings.h"
#include "storage/outbox.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class MqttClient;
struct Observation;

// Publishes a station's observations and pictures to an MQTT broker under
// <prefix>/<imei>/: "observation" (JSON, QoS 1), "state" (the latest
// observation, retained), "camera/<n>" (JPEG, QoS 1) and "status" ("online"
// retained while connected, "offline" as the Last Will and at shutdown).
//
// Every observation and picture is written to the "mqtt" channel of the
// outbox before it is published and leaves it only when the broker has
// acknowledged it, so an outage, a crash or a restart loses nothing: queued
// messages go out in order once the broker is back. A message whose
// acknowledgement was lost with the connection is sent again; consumers drop
// such duplicates by the JSON's message_id. A queued state is superseded by
// a newer one.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kChannel = "mqtt";
    // Messages in flight at once; more wait in the outbox.
    static constexpr int kWindow = 20;
    // The longest shutdown waits for the broker to take "offline".
    static constexpr int kShutdownWaitMs = 500;
    // How often messages older than the outbox's days are dropped.
    static constexpr int kAgeCheckMs = 600000;

    // databaseFile: the history store's file, which holds the outbox.
    explicit MqttPublisher(const QString &databaseFile, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Starts publishing when enabled and a host is set, stops otherwise;
    // a running connection is made again with the new settings.
    void setSettings(const MqttSettings &settings);
    MqttSettings settings() const { return m_settings; }
    void setRetryDelays(int firstMs, int lastMs);

    // The station whose status topic carries the Last Will. Until one is
    // known the connection has no Will (queued messages still go out); a
    // new or changed station makes the connection again.
    void setStationImei(const QString &imei);

    // Queue and publish; false (and a warning logged) when the outbox
    // could not store the message, which is then not published either.
    bool publishObservation(const Observation &observation);
    bool publishPicture(const QString &imei, int camera, const QByteArray &jpeg);

    // Publishes "offline", waits for the broker's acknowledgement (at most
    // kShutdownWaitMs) and disconnects; shutdownFinished() follows, also when
    // publishing was off.
    void shutdown();

    bool isConnected() const;
    int queuedCount() const { return m_outbox.count(); }
    QString topic(const QString &imei, const QString &leaf) const;

signals:
    void connectionChanged(bool connected);
    void errorOccurred(const QString &text);
    // An outbox message was acknowledged by the broker and removed.
    void delivered(qint64 outboxId);
    void shutdownFinished();

private:
    bool queue(const QString &topic, const std::function<QByteArray(qint64)> &payloadFor);
    void onConnected();
    void onDisconnected();
    void onPublished(int messageId);
    void onError(const QString &text);
    void pump();
    void dropAged();
    void finishShutdown();

    MqttSettings m_settings;
    Outbox m_outbox;
    MqttClient *m_client;
    QString m_unit;                // the station's part of the topics, empty until known
    QHash<int, qint64> m_inFlight; // client message id -> outbox id
    qint64 m_lastSentId = 0;
    QDateTime m_lastAgeCheck;
    QString m_lastErrorLogged;
    int m_offlineMessageId = -1;
    bool m_shuttingDown = false;
    QTimer m_shutdownTimer;
};
