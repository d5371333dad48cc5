// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/ktr-stationd/serviceconfig.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class ForwardingController;
class MqttPublisher;
class PortSelector;
class SerialLink;
class StationSession;

// The station session without a window: the 100 ms tick, the port scan
// every 2 s (the configured ports, or every port the system lists), the
// configuration at each power-up, MQTT publishing of what arrives and, when
// the settings file switches it on, forwarding to the SBD receiver.
// Everything it does is logged as one line per event.
class StationService : public QObject
{
    Q_OBJECT

public:
    explicit StationService(const ServiceConfig &config, QObject *parent = nullptr);
    ~StationService() override;

    // False when the data folder cannot be created.
    bool start();
    // Closes the port, tells the broker "offline" and disconnects;
    // stopped() follows.
    void stop();

signals:
    void stopped();

private:
    void startForwarding();

    ServiceConfig m_config;
    StationSession *m_session;
    SerialLink *m_serial;
    PortSelector *m_ports;
    MqttPublisher *m_publisher;
    ForwardingController *m_forwarding = nullptr;
    QTimer m_tick;
    int m_scanTicks = 0;
    QString m_lastStatus;
    QString m_lastConnection;
    bool m_stopping = false;
};
