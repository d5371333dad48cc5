// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/mqttpublisher.h"
#include "publishing/observationjson.h"
#include "support/mosquittobroker.h"
#include "weather/observation.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using testsupport::MosquittoBroker;
using testsupport::retained;
using testsupport::Subscriber;

namespace {
const QString kImei = QStringLiteral("300234010753370");

Observation sample()
{
    Observation o;
    o.imei = kImei;
    o.stationTime = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 5), Qt::UTC);
    o.receivedTime = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 7), Qt::UTC);
    o.temperatureC = -3.5;
    o.metar = QStringLiteral("METAR KTR 011200Z 27012KT M04/M06 A2992");
    return o;
}

MqttSettings brokerAt(int port)
{
    MqttSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    return settings;
}

// A publisher to the broker on port, its outbox in dir.
std::unique_ptr<MqttPublisher> startPublisher(const QTemporaryDir &dir, int port)
{
    auto publisher = std::make_unique<MqttPublisher>(dir.filePath(QStringLiteral("history.sqlite")));
    publisher->setRetryDelays(100, 400);
    publisher->setSettings(brokerAt(port));
    return publisher;
}

QJsonObject jsonOf(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QStringList g_log;
void collectLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}
} // namespace

class TestMqttPublisher : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!MosquittoBroker::available() && QByteArray(QTest::currentTestFunction()) != "observationJson" &&
            QByteArray(QTest::currentTestFunction()) != "hostAndPort")
            QSKIP("no mosquitto broker installed");
    }

    void observationJson_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QJsonValue>("expected");
        QTest::newRow("message id") << "message_id" << QJsonValue(42);
        QTest::newRow("station time") << "station_time" << QJsonValue("2026-03-01T12:00:05Z");
        QTest::newRow("negative reading") << "temperature_c" << QJsonValue(-3.5);
        QTest::newRow("missing reading") << "gust_speed_kt" << QJsonValue(QJsonValue::Null);
        QTest::newRow("no present weather") << "present_weather" << QJsonValue(QJsonValue::Null);
        QTest::newRow("metar") << "metar" << QJsonValue("METAR KTR 011200Z 27012KT M04/M06 A2992");
    }
    // Every reading is there, null when the station did not send it.
    void observationJson()
    {
        QFETCH(QString, field);
        const QJsonObject json = QJsonDocument::fromJson(ObservationJson::toJson(sample(), 42)).object();
        QCOMPARE(json.size(), 27);
        QTEST(json.value(field), "expected");
    }

    void hostAndPort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("host and port") << "10.0.0.5:8883" << true << "10.0.0.5" << 8883;
        QTest::newRow("v6 and port") << "[::1]:1884" << true << "::1" << 1884;
        QTest::newRow("bare v6") << "::1" << false << "" << 0;
        QTest::newRow("port too large") << "broker:65536" << false << "" << 0;
    }
    void hostAndPort()
    {
        QFETCH(QString, text);
        QString host;
        int port = 0;
        QTEST(MqttSettings::parseHostPort(text, &host, &port), "valid");
        QTEST(host, "host");
        QTEST(port, "port");
    }

    // Observation, state and picture arrive; "online" while running, and
    // "offline" once it is gone, killed (its Last Will) or shut down.
    void publishesThenGoesOffline_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("killed: Last Will") << true;
        QTest::newRow("shut down") << false;
    }
    void publishesThenGoesOffline()
    {
        QFETCH(bool, killed);
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        const QString statusTopic = "ktr/" + kImei + "/status";
        Subscriber observations(broker.port(), QStringLiteral("ktr/+/observation"), QStringLiteral("%r %p"));
        Subscriber pictures(broker.port(), QStringLiteral("ktr/+/camera/2"), QStringLiteral("%x"));
        Subscriber live(broker.port(), statusTopic, QStringLiteral("%p"));
        auto publisher = startPublisher(dir, broker.port());

        QByteArray picture;
        for (int i = 0; i < 20000; ++i)
            picture += char(i * 7 + i / 256);
        QVERIFY(publisher->publishObservation(sample()));
        QVERIFY(publisher->publishPicture(kImei, 2, picture));

        QTRY_COMPARE_WITH_TIMEOUT(observations.lines().size(), 1, 10000);
        const QString line = observations.lines().first();
        QVERIFY(line.startsWith(QLatin1String("0 ")));
        const qint64 id = qint64(jsonOf(line.mid(2)).value(QLatin1String("message_id")).toDouble());
        QCOMPARE(line.mid(2).toUtf8(), ObservationJson::toJson(sample(), id));
        QTRY_COMPARE_WITH_TIMEOUT(pictures.lines().size(), 1, 10000);
        QCOMPARE(pictures.lines().first().toLatin1(), picture.toHex());
        QTRY_COMPARE_WITH_TIMEOUT(publisher->queuedCount(), 0, 10000);
        QCOMPARE(retained(broker.port(), "ktr/" + kImei + "/state"), "1 " + line.mid(2));
        QCOMPARE(retained(broker.port(), statusTopic), "1 online");

        if (killed) {
            publisher.reset();
        } else {
            QSignalSpy finished(publisher.get(), &MqttPublisher::shutdownFinished);
            publisher->shutdown();
            QVERIFY(finished.wait(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(live.lines(), QStringList({"online", "offline"}), 10000);
        QCOMPARE(retained(broker.port(), statusTopic), "1 offline");
    }

    // The broker is away while 15 packets arrive: all 15 arrive once each, in
    // order (killed meanwhile: the service's test).
    void outageLosesNothing()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        Subscriber observations(broker.port(), QStringLiteral("ktr/+/observation"), QStringLiteral("%p"));
        auto publisher = startPublisher(dir, broker.port());
        MqttSettings byName = brokerAt(broker.port());
        byName.host = QStringLiteral("localhost");
        publisher->setSettings(byName);
        QTRY_VERIFY_WITH_TIMEOUT(publisher->isConnected(), 10000);

        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!publisher->isConnected(), 10000);
        Observation o = sample();
        for (int i = 0; i < 15; ++i) {
            o.temperatureC = i;
            QVERIFY(publisher->publishObservation(o));
        }
        QCOMPARE(publisher->queuedCount(), 16); // and one state, the latest
        QVERIFY(broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(publisher->queuedCount(), 0, 30000);
        // A last one behind them: once it is there, no duplicate is still on its way.
        o.temperatureC = 15;
        QVERIFY(publisher->publishObservation(o));
        QTRY_VERIFY_WITH_TIMEOUT(observations.lines().size() >= 16 &&
                                     jsonOf(observations.lines().last()).value("temperature_c").toInt() == 15,
                                 30000);
        const QStringList lines = observations.lines();
        QCOMPARE(lines.size(), 16);
        qint64 lastId = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const QJsonObject json = jsonOf(lines.at(i));
            QCOMPARE(json.value(QLatin1String("temperature_c")).toInt(), i);
            const qint64 id = qint64(json.value(QLatin1String("message_id")).toDouble());
            QVERIFY(id > lastId);
            lastId = id;
        }
    }

    void refusedConnectionKeepsOutbox_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << "refused";
        QTest::newRow("TLS to a plain listener") << "TLS failure";
        QTest::newRow("unreadable CA file") << "cannot read the CA file";
        QTest::newRow("name that does not resolve") << "cannot resolve broker.invalid";
    }
    void refusedConnectionKeepsOutbox()
    {
        const QByteArray fault = QTest::currentDataTag();
        QFETCH(QString, expected);
        const QString secret = QStringLiteral("not-the-password");
        QTemporaryDir dir;
        const QString passwords = dir.filePath(QStringLiteral("passwords"));
        QCOMPARE(QProcess::execute("mosquitto_passwd", {"-b", "-c", passwords, "station", "right-password"}),
                 0);
        MosquittoBroker broker(QStringLiteral("allow_anonymous false\npassword_file %1").arg(passwords));
        QVERIFY(broker.start());
        MqttSettings settings = brokerAt(broker.port());
        settings.username = QStringLiteral("station");
        settings.password = secret;
        settings.tls = fault == "TLS to a plain listener" || fault == "unreadable CA file";
        if (fault == "unreadable CA file")
            settings.caFile = dir.filePath(QStringLiteral("missing-ca.pem"));
        if (fault == "name that does not resolve")
            settings.host = QStringLiteral("broker.invalid");

        g_log.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectLog);
        auto publisher = std::make_unique<MqttPublisher>(dir.filePath(QStringLiteral("history.sqlite")));
        QSignalSpy errors(publisher.get(), &MqttPublisher::errorOccurred);
        publisher->setSettings(settings);
        QVERIFY(publisher->publishObservation(sample()));
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 20000); // a resolver may take its time to fail
        qInstallMessageHandler(previous);

        const QString text = errors.first().first().toString();
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY(!publisher->isConnected());
        QCOMPARE(publisher->queuedCount(), 2);
        QVERIFY(!g_log.isEmpty());
        QVERIFY(!g_log.join(QLatin1Char('\n')).contains(secret));
    }
};

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
