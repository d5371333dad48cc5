// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/demodatagenerator.h"
#include "tools/sim/recordingsource.h"
#include "tools/sim/stationsimulator.h"
#include "weather/weatherparser.h"

#include <QImage>
#include <QtTest>

namespace {
QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toUTC();
}
} // namespace

// The simulated station's packets and results, and the demonstration data
// generated from it: a day of transmissions and four pictures, kept in the
// repository's "Demo" folder.
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

    // The shipped demonstration data is the generator's output; after a
    // deliberate change, refresh it with "ktr-demo-data Demo" in the source
    // folder. Each text file is one slow-mode weather transmission, named by
    // its station time.
    void shippedDemoDataMatchesGenerator()
    {
        const QDir folder(KTR_SOURCE_DIR "/Demo");
        QStringList expected;
        qint64 totalBytes = 0;
        for (const DemoDataGenerator::File &file : DemoDataGenerator::files()) {
            expected << file.name;
            QFile shipped(folder.filePath(file.name));
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            const QByteArray bytes = shipped.readAll();
            totalBytes += bytes.size();
            if (!file.name.endsWith(".jpg")) {
                QVERIFY2(bytes == file.bytes, qPrintable(file.name));
                QVERIFY(bytes.startsWith("@I:") && bytes.endsWith("~\r\nSND\r\n") && bytes.count("@I:") == 1);
                const QString time = QRegularExpression("\r\nT:([^\r]*)\r\n").match(bytes).captured(1);
                const QDateTime utc = QDateTime::fromString(time, "yy/MM/dd,hh:mm:ss").addYears(100);
                QCOMPARE(utc.date(), DemoDataGenerator::day());
                QCOMPARE(file.name, utc.toString("yyyy-MM-dd_hhmm") + ".txt");
                continue;
            }
            // Painted pictures may differ in the last bit between processors; the scene must not.
            const QImage ours = QImage::fromData(file.bytes).scaled(32, 24);
            const QImage theirs = QImage::fromData(bytes).scaled(32, 24);
            for (int i = 0; i < 32 * 24; ++i)
                QVERIFY2(qAbs(qGray(ours.pixel(i % 32, i / 32)) - qGray(theirs.pixel(i % 32, i / 32))) < 16,
                         qPrintable(file.name));
        }
        QVERIFY(expected.filter(".txt").size() >= 24 && expected.filter(".txt").size() <= 48);
        expected.sort();
        QCOMPARE(folder.entryList({"*.txt", "*.jpg"}, QDir::Files, QDir::Name), expected);
        QVERIFY(totalBytes < 300 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestStationSimulator)
#include "tst_stationsimulator.moc"
