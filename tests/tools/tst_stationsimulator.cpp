// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"
#include "weather/weatherparser.h"

#include <QSerialPort>
#include <QtTest>

namespace {
const QByteArray kPrompt = "\r\n>";
constexpr int kWaitMs = 8000;

QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toUTC();
}

QString field(const QByteArray &packet, const QString &tag, int index)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(packet));
    return parser.getField(tag, index);
}

// A simulator on a fresh pseudo-terminal and a serial port on its slave, as
// the control program opens it; every transmission is recorded as it leaves.
struct Link
{
    Link()
    {
        StationSimulatorOptions options;
        options.intervalMs = 1000;
        options.modeDigit = 1;
        options.auxEvery = 0;
        terminal.open();
        station = new StationSimulator(options, &terminal, &port);
        port.setPortName(terminal.slavePath());
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        QObject::connect(station, &StationSimulator::transmitted,
                         [this](const QByteArray &bytes) { sent << bytes; });
        port.open(QIODevice::ReadWrite);
        station->start();
    }
    PseudoTerminal terminal;
    StationSimulator *station;
    QSerialPort port;
    QByteArray received;
    QList<QByteArray> sent;
};
} // namespace

class TestStationSimulator : public QObject
{
    Q_OBJECT

private slots:
    void packetLayout()
    {
        const QString firmware = QString::fromLatin1(WeatherGenerator::kFirmwareCode);
        for (const int mode : {0, 1, 3, 4, 6}) {
            const QByteArray packet =
                WeatherGenerator(42).packet(at("2024-03-05T14:30:07Z"), mode, mode == 1);
            QCOMPARE(packet.count('\n'), packet.count("\r\n"));
            QStringList tags;
            for (const QByteArray &line : packet.split('\n'))
                tags << QString::fromLatin1(line.split(':').at(0).trimmed());
            QCOMPARE(tags.join(' ').trimmed(),
                     "@I @0" + firmware + " N B T LA LO EL OR TA BA RH WI GU LD CL PW VI XA XD ~" +
                         (mode == 1 ? " @3" + firmware + " ECL LDD ~" : "") + (mode <= 3 ? " SND" : ""));
            QCOMPARE(field(packet, "B", 1), QString::number(mode));
            QVERIFY(packet.contains("\r\nT:24/03/05,14:30:07\r\n"));
        }
    }

    void nextImageTime()
    {
        const auto next = [](const char *now, const QVector<int> &hours) {
            return StationSimulator::nextImageTime(at(now), hours).toString(Qt::ISODate);
        };
        QCOMPARE(next("2026-03-01T05:00:00Z", {5}), "2026-03-02T05:00:00Z");
        QCOMPARE(next("2026-03-31T13:00:01Z", {0, 12}), "2026-04-01T00:00:00Z");
        QCOMPARE(next("2026-03-01T07:00:00Z", {18, 6, 9}), "2026-03-01T09:00:00Z");
    }

    // The banner comes with the first prompt; commands after line noise still count.
    void commandsChangeTheNextPacket()
    {
        Link link;
        QSignalSpy packets(link.station, &StationSimulator::packetSent);
        QTRY_VERIFY_WITH_TIMEOUT(link.received.endsWith(kPrompt), kWaitMs);
        QVERIFY(link.received.startsWith("\r\n\rKTR v3.21\r\n"));
        QCOMPARE(link.sent, QList<QByteArray>{link.received});
        link.port.write(QByteArray(3000, '\xff') + QByteArray("\r\0x\r", 4) + "G0\rm6\r");
        QVERIFY(packets.wait(kWaitMs));
        const QByteArray packet = packets.at(0).at(0).toByteArray();
        QCOMPARE(field(packet, "B", 1), "6");
        QCOMPARE(field(packet, "LA", 0), "?");
        QVERIFY(link.sent.contains("m6\r\n") && !packet.contains("SND"));
    }
};

QTEST_GUILESS_MAIN(TestStationSimulator)
#include "tst_stationsimulator.moc"
