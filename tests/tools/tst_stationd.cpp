// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mosquittobroker.h"
#include "support/stationline.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <csignal>

using testsupport::MosquittoBroker;
using testsupport::StationLine;
using testsupport::Subscriber;

namespace {
const QString kImei = QStringLiteral("300234063909320");

QByteArray packet(const QByteArray &temperature)
{
    QFile file(QFINDTESTDATA("../data/packets/weather_example_no_gps_no_ceilometer.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().replace("TA:22.8", "TA:" + temperature)
                                          : QByteArray();
}

double temperature(const QString &json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object().value(QLatin1String("temperature_c")).toDouble();
}

// ktr-stationd as a child process, its log collected.
class Service
{
public:
    explicit Service(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(KTR_STATIOND_PATH), arguments);
    }
    ~Service()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }

    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_log;
};
} // namespace

class TestStationd : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!MosquittoBroker::available())
            QSKIP("no mosquitto broker installed");
    }

    void logsPublishesAndStopsOnSigterm()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        StationLine station;
        QVERIFY(station.isOpen());
        Subscriber observations(broker.port(), QStringLiteral("fleet/+/observation"), QStringLiteral("%p"));
        Service service({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--port"),
                         station.portName(), QStringLiteral("--mqtt"),
                         QStringLiteral("127.0.0.1:%1").arg(broker.port()), QStringLiteral("--mqtt-prefix"),
                         QStringLiteral("fleet")});
        QTRY_VERIFY_WITH_TIMEOUT(service.log().contains(QStringLiteral("Connected to ") + station.portName()),
                                 10000);

        QVERIFY(station.write(packet("22.8")));
        QTRY_COMPARE_WITH_TIMEOUT(observations.lines().size(), 1, 10000);
        const QJsonObject json = QJsonDocument::fromJson(observations.lines().first().toUtf8()).object();
        QCOMPARE(json.value(QLatin1String("imei")).toString(), kImei);
        QCOMPARE(json.value(QLatin1String("temperature_c")).toDouble(), 22.8);
        QVERIFY(service.log().contains(QStringLiteral("info: Weather packet from ") + kImei));

        service.signal(SIGTERM);
        QVERIFY(service.process().waitForFinished(5000));
        QCOMPARE(service.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(service.process().exitCode(), 0);
        QVERIFY(service.log().contains(QLatin1String("info: Stopped")));
        QVERIFY(!service.log().contains(QLatin1String("too long")));
        // Every file complete, the broker told.
        QFile csv(dir.filePath(
            QStringLiteral("CSV/%1_%2.csv")
                .arg(kImei, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM")))));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 2);
        Subscriber status(broker.port(), QStringLiteral("fleet/%1/status").arg(kImei),
                          QStringLiteral("%r %p"));
        QTRY_VERIFY_WITH_TIMEOUT(!status.lines().isEmpty(), 10000);
        QCOMPARE(status.lines().first(), QStringLiteral("1 offline"));
    }

    // Killed while the broker is away, started again, then the broker comes
    // back: both packets arrive, in order.
    void sigkillWhileBrokerAwayLosesNothing()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        Subscriber observations(broker.port(), QStringLiteral("ktr/+/observation"), QStringLiteral("%p"));
        broker.stop();
        QTemporaryDir dir;
        StationLine station;
        const QString config = dir.filePath(QStringLiteral("stationd.ini"));
        QSettings ini(config, QSettings::IniFormat);
        ini.setValue(QStringLiteral("station/dataDir"), dir.filePath(QStringLiteral("data")));
        ini.setValue(QStringLiteral("station/ports"), station.portName());
        ini.setValue(QStringLiteral("commands/reporting"), QStringLiteral("1 Hour"));
        ini.setValue(QStringLiteral("mqtt/enabled"), true);
        ini.setValue(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("mqtt/port"), broker.port());
        ini.sync();

        const QByteArray temperatures[] = {"21.5", "23.9"};
        for (const QByteArray &value : temperatures) {
            Service service({QStringLiteral("--config"), config});
            QTRY_VERIFY_WITH_TIMEOUT(
                service.log().contains(QStringLiteral("Connected to ") + station.portName()), 10000);
            QVERIFY(service.log().contains(QLatin1String("configuration at power-up: m1\\r\\r")));
            QVERIFY(station.write(packet(value)));
            QTRY_COMPARE_WITH_TIMEOUT(service.log().count(QStringLiteral("Weather packet from")), 1, 10000);
            if (value == temperatures[1]) {
                QVERIFY(broker.start());
                QTRY_COMPARE_WITH_TIMEOUT(observations.lines().size(), 2, 30000);
            }
            service.signal(SIGKILL);
            QVERIFY(service.process().waitForFinished(5000));
        }
        const QStringList lines = observations.lines();
        QCOMPARE(temperature(lines.at(0)), 21.5);
        QCOMPARE(temperature(lines.at(1)), 23.9);
    }
};

QTEST_GUILESS_MAIN(TestStationd)
#include "tst_stationd.moc"
