// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mosquittobroker.h"
#include "support/stationline.h"
#include "support/testfiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtEndian>
#include <QtTest>
#include <csignal>

using testsupport::MosquittoBroker;
using testsupport::StationLine;
using testsupport::Subscriber;

namespace {
const QString kImei = QStringLiteral("300234063909320");

QByteArray packet(const QByteArray &temperature)
{
    return testsupport::packetBytes("weather_example_no_gps_no_ceilometer.txt")
        .replace("TA:22.8", "TA:" + temperature);
}

// The packet, its station time at the given minute after 02:00.
QByteArray packetAt(int minute)
{
    return packet("22.8").replace("T:18/05/31,02:37:13",
                                  QByteArray("T:18/05/31,02:") +
                                      QByteArray::number(minute).rightJustified(2, '0') + ":13") +
           "SND\r\n";
}

double temperature(const QString &json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object().value(QLatin1String("temperature_c")).toDouble();
}

// A settings file: the station on this line, the data in dir/data, and the given keys.
QString writeConfig(const QTemporaryDir &dir, const StationLine &station, const QVariantMap &keys)
{
    const QString path = dir.filePath(QStringLiteral("stationd.ini"));
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("station/dataDir"), dir.filePath(QStringLiteral("data")));
    ini.setValue(QStringLiteral("station/ports"), station.portName());
    for (auto it = keys.begin(); it != keys.end(); ++it)
        ini.setValue(it.key(), it.value());
    ini.sync();
    return path;
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
    bool connectedTo(const StationLine &station)
    {
        return QTest::qWaitFor([&] { return log().contains("Connected to " + station.portName()); }, 10000);
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
    void logsPublishesAndStopsOnSigterm()
    {
        if (!MosquittoBroker::available())
            QSKIP("no mosquitto broker installed");
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        StationLine station;
        Subscriber observations(broker.port(), QStringLiteral("fleet/+/observation"), QStringLiteral("%p"));
        Service service({"--data-dir", dir.path(), "--port", station.portName(), "--mqtt",
                         QStringLiteral("127.0.0.1:%1").arg(broker.port()), "--mqtt-prefix", "fleet"});
        QVERIFY(service.connectedTo(station));

        QVERIFY(station.write(packet("22.8")));
        QTRY_COMPARE_WITH_TIMEOUT(observations.lines().size(), 1, 10000);
        QVERIFY(observations.lines().first().contains("\"imei\":\"" + kImei + '"'));
        QCOMPARE(temperature(observations.lines().first()), 22.8);
        QVERIFY(service.log().contains(QStringLiteral("info: Weather packet from ") + kImei));

        service.signal(SIGTERM);
        QVERIFY(service.process().waitForFinished(5000));
        QCOMPARE(service.process().exitCode(), 0);
        QVERIFY(service.log().contains(QLatin1String("info: Stopped")));
        // Every file complete, the broker told.
        QFile csv(
            dir.filePath("CSV/" + kImei + QDateTime::currentDateTimeUtc().toString("_yyyy-MM") + ".csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 2);
        QCOMPARE(testsupport::retained(broker.port(), "fleet/" + kImei + "/status"), "1 offline");
    }

    // Killed while the broker is away, started again, then the broker comes
    // back: both packets arrive, in order.
    void sigkillWhileBrokerAwayLosesNothing()
    {
        if (!MosquittoBroker::available())
            QSKIP("no mosquitto broker installed");
        MosquittoBroker broker;
        QVERIFY(broker.start());
        Subscriber observations(broker.port(), QStringLiteral("ktr/+/observation"), QStringLiteral("%p"));
        broker.stop();
        QTemporaryDir dir;
        StationLine station;
        const QString config = writeConfig(dir, station,
                                           {{"commands/reporting", "1 Hour"},
                                            {"mqtt/enabled", true},
                                            {"mqtt/host", "127.0.0.1"},
                                            {"mqtt/port", broker.port()}});

        const QByteArray temperatures[] = {"21.5", "23.9"};
        for (const QByteArray &value : temperatures) {
            Service service({QStringLiteral("--config"), config});
            QVERIFY(service.connectedTo(station));
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

    // Killed while packets stream in, twice: the history is sound and holds
    // every packet that has its CSV row, and no row is written twice.
    void killedMidStreamKeepsTheHistoryWhole()
    {
        QTemporaryDir dir;
        StationLine station;
        const QString config = writeConfig(dir, station, {});
        int minute = 0;
        for (int run = 0; run < 2; ++run) {
            Service service({"--config", config});
            QVERIFY(service.connectedTo(station));
            for (int i = 0; i < 3; ++i) {
                QVERIFY(station.write(packetAt(minute++)));
                // A packet left unread by the last run may come first.
                QTRY_VERIFY_WITH_TIMEOUT(service.log().count("Weather packet from") >= i + 1, 10000);
            }
            QVERIFY(station.write(packetAt(minute++))); // killed at once, in whatever step it is in
            service.signal(SIGKILL);
            QVERIFY(service.process().waitForFinished(5000));
            QTest::qWait(1000); // the silence that ends a transmission, before the next run
        }

        QStringList csvTimes;
        const QDir csvFolder(dir.filePath(QStringLiteral("data/CSV")));
        const QStringList csvFiles = csvFolder.entryList({QStringLiteral("*.csv")});
        for (const QString &name : csvFiles) {
            QFile file(csvFolder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> rows = file.readAll().split('\n');
            for (const QByteArray &row : rows.mid(1, rows.size() - 2))
                csvTimes << QString::fromLatin1(row.left(19)).replace(' ', 'T') + 'Z';
        }
        QVERIFY2(csvTimes.size() >= 6, qPrintable(csvTimes.join(' ')));
        QCOMPARE(QSet<QString>(csvTimes.begin(), csvTimes.end()).size(), csvTimes.size());
        QStringList stored;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(dir.filePath(QStringLiteral("data/history.sqlite")));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next());
            QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(query.exec(QStringLiteral("SELECT station_time FROM observations")));
            while (query.next())
                stored << query.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        for (const QString &time : csvTimes)
            QVERIFY2(stored.contains(time), qPrintable(time));
    }

    // Forwarding on in [General]: the packet reaches the receiver as a DirectIP
    // message, from "@0" up to the "~".
    void forwardsToTheReceiverOfItsSettings()
    {
        QTcpServer receiver;
        QVERIFY(receiver.listen(QHostAddress::LocalHost));
        QTemporaryDir dir;
        StationLine station;
        Service service({"--config", writeConfig(dir, station,
                                                 {{"enableForwarding", true},
                                                  {"forwardingIp", "127.0.0.1"},
                                                  {"forwardingPort", receiver.serverPort()}})});
        QVERIFY(service.connectedTo(station));
        const QByteArray sent = packet("22.8");
        QVERIFY(station.write(sent + "SND\r\n"));

        QVERIFY(receiver.waitForNewConnection(10000));
        QTcpSocket *sender = receiver.nextPendingConnection();
        QByteArray message;
        QTRY_VERIFY_WITH_TIMEOUT((message += sender->readAll()).size() >= 3 &&
                                     message.size() == 3 + qFromBigEndian<quint16>(message.constData() + 1),
                                 10000);
        const QByteArray payload = sent.mid(sent.indexOf("@0")).chopped(3); // without "~\r\n"
        // Revision 1, the length; the header element (id 1, 28 bytes), the IMEI in it; the payload element.
        QCOMPARE(message.left(1).toHex(), "01");
        QCOMPARE(message.mid(3, 3).toHex(), "01001c");
        QCOMPARE(message.mid(10, 15), kImei.toLatin1());
        QCOMPARE(message.mid(34, 3).toHex(),
                 "02" + QByteArray::number(payload.size(), 16).rightJustified(4, '0'));
        QCOMPARE(message.mid(37), payload);
    }
};

QTEST_GUILESS_MAIN(TestStationd)
#include "tst_stationd.moc"
