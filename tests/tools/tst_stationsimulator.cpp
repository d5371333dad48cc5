// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"
#include "tools/sim/weathergenerator.h"
#include "weather/weatherparser.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <unistd.h>

namespace {
const QByteArray kPrompt = "\r\n>";
constexpr int kWaitMs = 8000;
constexpr int kMinGapMs = 600;

QDateTime at(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}

WeatherParser parsed(const QByteArray &packet)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(packet));
    return parser;
}

// The station side of a live test: a simulator on a fresh pseudo-terminal and
// a serial port on its slave, as the control program would open it. Every
// transmission is time-stamped as it leaves the station.
struct Link
{
    explicit Link(const StationSimulatorOptions &options)
    {
        if (!terminal.open())
            return;
        station.reset(new StationSimulator(options, &terminal));
        port.setPortName(terminal.slavePath());
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        QObject::connect(station.get(), &StationSimulator::transmitted, [this](const QByteArray &bytes) {
            transmissions.append(bytes);
            sentAtMs.append(clock.elapsed());
        });
        QObject::connect(&poke, &QTimer::timeout, [this] { port.write("    "); });
        clock.start();
        ready = port.open(QIODevice::ReadWrite);
    }

    // Pokes the way the control program does: four spaces every 100 ms
    // until the prompt shows.
    bool pokeUntilPrompt()
    {
        poke.start(100);
        const bool prompted = QTest::qWaitFor([this] { return received.endsWith(kPrompt); }, kWaitMs);
        poke.stop();
        return prompted;
    }

    // Silence between the end of each transmission and the start of the next.
    // A transmission is written in one go, so its end is when it started.
    qint64 shortestGapMs() const
    {
        qint64 shortest = std::numeric_limits<qint64>::max();
        for (int i = 1; i < sentAtMs.size(); ++i)
            shortest = std::min(shortest, sentAtMs.at(i) - sentAtMs.at(i - 1));
        return shortest;
    }

    PseudoTerminal terminal;
    std::unique_ptr<StationSimulator> station;
    QSerialPort port;
    QByteArray received;
    QList<QByteArray> transmissions;
    QList<qint64> sentAtMs;
    QElapsedTimer clock;
    QTimer poke;
    bool ready = false;
};

StationSimulatorOptions liveOptions(int modeDigit, bool banner)
{
    StationSimulatorOptions options;
    options.intervalMs = 1000;
    options.modeDigit = modeDigit;
    options.banner = banner;
    options.auxEvery = 0;
    return options;
}
} // namespace

class TestStationSimulator : public QObject
{
    Q_OBJECT

private slots:
    void packetLayout_data();
    void packetLayout();
    void gpsFixMovesThePosition();
    void nextImageTime_data();
    void nextImageTime();
    void picturesAtTheAutomaticImageHour();
    void bannerThenPromptInOneTransmission();
    void sleepingStationAnswersAfterItsReport();
    void commandsChangeTheNextPacket_data();
    void commandsChangeTheNextPacket();
    void packetsArePaced();
};

void TestStationSimulator::packetLayout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withAux");
    QTest::addColumn<bool>("snd");
    for (const int mode : {0, 3, 4, 6})
        QTest::addRow("mode %d", mode) << mode << false << (mode <= 3);
    QTest::newRow("slow with auxiliary part") << 1 << true << true;
}

void TestStationSimulator::packetLayout()
{
    QFETCH(int, mode);
    QFETCH(bool, withAux);
    QFETCH(bool, snd);
    WeatherGenerator weather(42, "300234010000001");
    const QByteArray packet = weather.packet(at("2024-03-05T14:30:07Z"), mode, withAux);

    // Every line ends in CR LF, the tags come in the station's order.
    QCOMPARE(packet.count('\r'), packet.count("\r\n"));
    QCOMPARE(packet.count('\n'), packet.count("\r\n"));
    QStringList tags;
    for (const QByteArray &line : packet.split('\n')) {
        const int colon = line.indexOf(':');
        tags << QString::fromLatin1(colon > 0 ? line.left(colon) : line.trimmed());
    }
    const QString firmware = QString::fromLatin1(WeatherGenerator::kFirmwareCode);
    QString expected = "@I @0" + firmware + " N B T LA LO EL OR TA BA RH WI GU LD CL PW VI XA XD ~";
    if (withAux)
        expected += " @3" + firmware + " ECL LDD ~";
    if (snd)
        expected += " SND";
    QCOMPARE(tags.join(' ').trimmed(), expected);
    QCOMPARE(parsed(packet).getField("B", 1), QString::number(mode));
    QVERIFY(packet.contains("\r\nT:24/03/05,14:30:07\r\n"));
}

void TestStationSimulator::gpsFixMovesThePosition()
{
    WeatherGenerator before(5);
    WeatherGenerator after(5);
    after.takeFix(false);
    const QDateTime time = at("2025-04-10T06:00:00Z");
    const WeatherParser moved = parsed(after.packet(time, 3, false));
    const WeatherParser kept = parsed(before.packet(time, 3, false));
    const double shift = moved.getLat().toDouble() - kept.getLat().toDouble();
    QVERIFY(shift != 0 && std::abs(shift) < 0.001);
    QCOMPARE(moved.getTemperature(), kept.getTemperature());
}

void TestStationSimulator::nextImageTime_data()
{
    QTest::addColumn<QString>("now");
    QTest::addColumn<QVector<int>>("hours");
    QTest::addColumn<QString>("next");
    QTest::newRow("no hours") << "2026-03-01T04:40:00Z" << QVector<int>{} << "";
    QTest::newRow("later today") << "2026-03-01T04:40:00Z" << QVector<int>{5} << "2026-03-01T05:00:00Z";
    QTest::newRow("on the hour: the next day")
        << "2026-03-01T05:00:00Z" << QVector<int>{5} << "2026-03-02T05:00:00Z";
    QTest::newRow("past the last hour")
        << "2026-03-31T13:00:01Z" << QVector<int>{0, 12} << "2026-04-01T00:00:00Z";
    QTest::newRow("earliest of the hours")
        << "2026-03-01T07:00:00Z" << QVector<int>{18, 6, 9} << "2026-03-01T09:00:00Z";
}

void TestStationSimulator::nextImageTime()
{
    QFETCH(QString, now);
    QFETCH(QVector<int>, hours);
    QFETCH(QString, next);
    QCOMPARE(StationSimulator::nextImageTime(at(now.toLatin1()), hours).toString(Qt::ISODate), next);
}

// With the station clock at ten minutes a second, the 05:00 UTC pictures
// of all four cameras come two seconds after the start, each packet on a
// transmission of its own.
void TestStationSimulator::picturesAtTheAutomaticImageHour()
{
    StationSimulatorOptions options = liveOptions(1, true);
    options.intervalMs = 60000;
    options.clockSpeed = 600;
    options.clockStartUtc = at("2026-03-01T04:40:00Z");
    options.pictureScene = CameraPictures::Scene::Simple;
    Link link(options);
    QVERIFY(link.ready);
    QSignalSpy pictures(link.station.get(), &StationSimulator::pictureTaken);
    link.station->start();
    QTRY_VERIFY_WITH_TIMEOUT(link.received.endsWith(kPrompt), kWaitMs);
    link.port.write("i05\r");
    QTRY_COMPARE_WITH_TIMEOUT(pictures.count(), 4, kWaitMs);
    for (int camera = 1; camera <= 4; ++camera) {
        QCOMPARE(pictures.at(camera - 1).at(0).toInt(), camera);
        QCOMPARE(pictures.at(camera - 1).at(1).toDateTime(), at("2026-03-01T05:00:00Z"));
    }
    const QByteArray header = "@1" + StationSimulator::stationTime(at("2026-03-01T05:00:00Z")) + char(0x10);
    QTRY_VERIFY_WITH_TIMEOUT(link.transmissions.size() >= 3, kWaitMs);
    QVERIFY(link.transmissions.at(1).startsWith(header + char(0)));
    QCOMPARE(link.transmissions.at(1).size(), 344);
    QVERIFY(link.transmissions.at(2).startsWith(header.left(8)));
    QVERIFY(link.shortestGapMs() > kMinGapMs);
}

void TestStationSimulator::bannerThenPromptInOneTransmission()
{
    Link link(liveOptions(4, true));
    QVERIFY2(link.ready, qPrintable(link.port.errorString()));
    link.station->start();

    QTRY_VERIFY_WITH_TIMEOUT(link.received.contains(kPrompt), kWaitMs);
    QVERIFY(link.received.startsWith("\r\n\rKTR v3.21\r\n"));
    QVERIFY(link.received.endsWith(kPrompt));
    QCOMPARE(link.received.indexOf(kPrompt), link.received.size() - kPrompt.size());
    QCOMPARE(link.transmissions, QList<QByteArray>{link.received});
}

void TestStationSimulator::sleepingStationAnswersAfterItsReport()
{
    Link link(liveOptions(4, false));
    QVERIFY(link.ready);
    link.station->start();
    QVERIFY(!link.station->isAwake());

    // Spaces are lost on a sleeping station; after its report it answers them.
    QVERIFY(link.pokeUntilPrompt());

    QCOMPARE(link.transmissions.size(), 2);
    QVERIFY(link.transmissions.at(0).startsWith("@I:"));
    QCOMPARE(link.transmissions.at(1), kPrompt);
    QCOMPARE(link.received, link.transmissions.at(0) + kPrompt);
    QVERIFY(link.shortestGapMs() > kMinGapMs);
}

void TestStationSimulator::commandsChangeTheNextPacket_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");

    QTest::newRow("reporting mode") << QByteArray("m4\r") << QByteArray("m4") << "B" << 1 << "4";
    QTest::newRow("GPS off") << QByteArray("G0\r") << QByteArray("G0") << "LA" << 0 << "?";
    QTest::newRow("elevation") << QByteArray("GE+0123\r") << QByteArray("GE+0123") << "EL" << 0 << "123";
    QTest::newRow("GPS elevation replaces the set one")
        << QByteArray("GE+0123\rGi\r") << QByteArray("Gi") << "EL" << 0
        << QString::number(WeatherGenerator(liveOptions(1, true).seed).elevationMetres());
    QTest::newRow("after line noise") << QByteArray(3000, '\xff') + QByteArray("\r\0x\r", 4) + "m6\r"
                                      << QByteArray("m6") << "B" << 1 << "6";
}

void TestStationSimulator::commandsChangeTheNextPacket()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, command);
    QFETCH(QString, tag);
    QFETCH(int, field);
    QFETCH(QString, value);

    Link link(liveOptions(1, true));
    QVERIFY(link.ready);
    QSignalSpy commands(link.station.get(), &StationSimulator::commandReceived);
    QSignalSpy packets(link.station.get(), &StationSimulator::packetSent);
    link.station->start();
    QTRY_VERIFY_WITH_TIMEOUT(link.received.endsWith(kPrompt), kWaitMs);

    link.port.write(typed);
    QVERIFY(packets.wait(kWaitMs));
    QCOMPARE(commands.last().at(0).toByteArray(), command);

    const QByteArray packet = packets.at(0).at(0).toByteArray();
    QCOMPARE(parsed(packet).getField(tag, field), value);
    // A mode command is confirmed on its own transmission, and a fast mode has no "SND".
    if (command.startsWith('m')) {
        QVERIFY(link.transmissions.contains(command + "\r\n"));
        QVERIFY(!packet.contains("SND"));
        QCOMPARE(link.station->modeDigit(), value.toInt());
    }
    QTRY_VERIFY_WITH_TIMEOUT(link.received.endsWith(packet), kWaitMs);
}

void TestStationSimulator::packetsArePaced()
{
    StationSimulatorOptions options = liveOptions(1, false);
    options.packetLimit = 3;
    options.auxEvery = 2;
    Link link(options);
    QVERIFY(link.ready);
    QSignalSpy finished(link.station.get(), &StationSimulator::finished);
    link.station->start();
    QVERIFY(finished.wait(4 * kWaitMs));

    QCOMPARE(link.station->packetsSent(), 3);
    QCOMPARE(link.transmissions.size(), 3);
    QVERIFY(link.shortestGapMs() > kMinGapMs);
    for (int i = 0; i < 3; ++i) {
        const QByteArray &packet = link.transmissions.at(i);
        QVERIFY(packet.startsWith("@I:"));
        QVERIFY(packet.endsWith("~\r\nSND\r\n"));
        QCOMPARE(packet.contains("\r\n@3"), i == 1);
    }
    QCOMPARE(link.received, link.transmissions.join());
}

QTEST_GUILESS_MAIN(TestStationSimulator)
#include "tst_stationsimulator.moc"
