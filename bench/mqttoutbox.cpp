// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// bench_mqtt: MQTT publishing through the outbox to a local mosquitto.
//  1. burst: observations queued while connected, until all are acknowledged;
//  2. backlog: the same number queued while the broker is down, drained after
//     it comes back;
//  3. station rate: one packet every 10 s for a while (default 60 s), and the
//     process's CPU time over it.
// Usage: bench_mqtt [packets] [seconds at the station rate]

#include "publishing/mqttpublisher.h"
#include "support/mosquittobroker.h"
#include "weather/observation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {
constexpr int kStationIntervalMs = 10000;

Observation observation(int i)
{
    Observation o;
    o.imei = QStringLiteral("300234010753370");
    o.stationTime = QDateTime::currentDateTimeUtc();
    o.receivedTime = o.stationTime;
    o.reportingMode = QStringLiteral("10 Second");
    o.temperatureC = 20 + i % 10;
    o.pressureHpa = 1013.2;
    o.windDirDeg = 270;
    o.windSpeedKt = 12;
    o.relativeHumidity = 65;
    o.voltageV = 12.6;
    o.metar = QStringLiteral("METAR KTR 011200Z 27012KT 10SM CLR 20/13 A2992");
    return o;
}

double cpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until the outbox is empty; the seconds it took.
double drain(MqttPublisher &publisher)
{
    QElapsedTimer clock;
    clock.start();
    while (publisher.queuedCount() > 0)
        QSignalSpy(&publisher, &MqttPublisher::delivered).wait(1000);
    return double(clock.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int packets = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    const int stationSeconds = argc > 2 ? QByteArray(argv[2]).toInt() : 60;
    testsupport::MosquittoBroker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "bench_mqtt: cannot start %s\n", testsupport::MosquittoBroker::kBroker);
        return 1;
    }
    QTemporaryDir dir;
    MqttSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    auto publisher = std::make_unique<MqttPublisher>(dir.filePath(QStringLiteral("history.sqlite")));
    publisher->setRetryDelays(100, 200);
    publisher->setSettings(settings);
    publisher->setStationImei(observation(0).imei);
    while (!publisher->isConnected())
        QSignalSpy(publisher.get(), &MqttPublisher::connectionChanged).wait(1000);

    // Each observation is two messages: the observation and the retained state.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < packets; ++i)
        publisher->publishObservation(observation(i));
    const double queueSeconds = double(clock.nsecsElapsed()) / 1e9;
    const double burstSeconds = queueSeconds + drain(*publisher);
    std::printf(
        "burst:   %d observations queued in %.2f s, all acknowledged after %.2f s: %.0f observations/s\n",
        packets, queueSeconds, burstSeconds, packets / burstSeconds);

    broker.stop();
    while (publisher->isConnected())
        QSignalSpy(publisher.get(), &MqttPublisher::connectionChanged).wait(1000);
    for (int i = 0; i < packets; ++i)
        publisher->publishObservation(observation(i));
    const int backlog = publisher->queuedCount();
    broker.start();
    const double backlogSeconds = drain(*publisher);
    std::printf("backlog: %d messages (%d observations and the latest state) drained in %.2f s after "
                "reconnecting: %.0f messages/s\n",
                backlog, packets, backlogSeconds, backlog / backlogSeconds);

    int sent = 0;
    QTimer station;
    station.setInterval(kStationIntervalMs);
    QObject::connect(&station, &QTimer::timeout, [&] { publisher->publishObservation(observation(sent++)); });
    const double cpuBefore = cpuSeconds();
    clock.restart();
    station.start();
    QTimer::singleShot(stationSeconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    std::printf(
        "station: %d packets in %.0f s (one per 10 s): %.3f s CPU, %.4f %% of a core, %.2f ms per packet\n",
        sent, wall, cpu, 100 * cpu / wall, sent ? 1000 * cpu / sent : 0.0);
    return 0;
}
