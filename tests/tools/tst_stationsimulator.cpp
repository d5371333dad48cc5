// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/recordingsource.h"
#include "tools/sim/stationsimulator.h"
#include "weather/weatherparser.h"

#include <QtTest>

namespace {
QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toUTC();
}

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
            WeatherParser parser;
            parser.setPacketText(QString::fromLatin1(packet));
            QCOMPARE(parser.modeDigit(), mode);
            QVERIFY(packet.contains("\r\nT:24/03/05,14:30:07\r\n"));
        }
    }

    // Seven-bit levels and twelve-bit samples of the acoustic results, most
    // significant bit first; out of range clamped.
    void recordingPacking()
    {
        QCOMPARE(RecordingSource::packSevenBit({127}).toHex(' '), "fe");
        QCOMPARE(RecordingSource::packSevenBit({200, -5}).toHex(' '), "fe 00");
        QCOMPARE(RecordingSource::packTwelveBit({0x401, 0x302}).toHex(' '), "01 02 34");
        QCOMPARE(RecordingSource::packTwelveBit({0xffff, 0}).toHex(' '), "ff 00 0f");
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
};

QTEST_GUILESS_MAIN(TestStationSimulator)
#include "tst_stationsimulator.moc"
