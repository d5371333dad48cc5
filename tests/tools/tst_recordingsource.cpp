// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"
#include "tools/sim/recordingsource.h"
#include "tools/sim/stationsimulator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

// The simulated station's acoustic results, read back the way the program
// reads them.
class TestRecordingSource : public QObject
{
    Q_OBJECT

private slots:
    void sevenBitPacking_data();
    void sevenBitPacking();
    void spectralBlockReadsBackAsItsLevels();
    void twelveBitPacking_data();
    void twelveBitPacking();
    void mp3FileDecodesToItsDuration();
};

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(char(value));
    return out;
}
} // namespace

void TestRecordingSource::sevenBitPacking_data()
{
    QTest::addColumn<QVector<int>>("values");
    QTest::addColumn<QByteArray>("packed");
    QTest::newRow("one value, most significant bit first") << QVector<int>{127} << bytes({0xfe});
    QTest::newRow("second value starts at bit 7") << QVector<int>{0, 1} << bytes({0x00, 0x04});
    QTest::newRow("out of range clamped") << QVector<int>{200, -5} << bytes({0xfe, 0x00});
}

void TestRecordingSource::sevenBitPacking()
{
    QFETCH(QVector<int>, values);
    QFETCH(QByteArray, packed);
    QCOMPARE(RecordingSource::packSevenBit(values).toHex(' '), packed.toHex(' '));
}

void TestRecordingSource::spectralBlockReadsBackAsItsLevels()
{
    const QVector<int> levels = RecordingSource::spectralLevels(11);
    const QByteArray block = RecordingSource::spectralBlock(11);
    QCOMPARE(levels.size(), 336);
    QCOMPARE(block.size(), 294);
    QVERIFY(RecordingSource::spectralBlock(12) != block);

    const QList<QByteArray> lines = AcousticAssembler::spectralText(block, "stamp").split('\n');
    QCOMPARE(lines.size(), 2 + 16 + 336 + 1); // the text ends with a line feed
    QList<int> read;
    for (const QByteArray &line : lines) {
        const int comma = line.indexOf(", ");
        if (comma > 0)
            read.append(line.mid(comma + 2).toInt());
    }
    QCOMPARE(read, levels.toList());
    QVERIFY(std::all_of(levels.cbegin(), levels.cend(), [](int level) { return level > 0 && level < 128; }));
}

void TestRecordingSource::twelveBitPacking_data()
{
    QTest::addColumn<QVector<quint16>>("samples");
    QTest::addColumn<QByteArray>("packed");
    QTest::newRow("worked example") << QVector<quint16>{0x401, 0x302} << bytes({0x01, 0x02, 0x34});
    QTest::newRow("odd count paired with zero") << QVector<quint16>{0x123} << bytes({0x23, 0x00, 0x01});
    QTest::newRow("over 12 bits clamped") << QVector<quint16>{0xffff, 0} << bytes({0xff, 0x00, 0x0f});
}

void TestRecordingSource::twelveBitPacking()
{
    QFETCH(QVector<quint16>, samples);
    QFETCH(QByteArray, packed);
    QCOMPARE(RecordingSource::packTwelveBit(samples).toHex(' '), packed.toHex(' '));
}

// The file the program writes from the station's packets plays: a real
// decoder reads it to the recording's length.
void TestRecordingSource::mp3FileDecodesToItsDuration()
{
    const QString mpg123 = QStandardPaths::findExecutable("mpg123");
    if (mpg123.isEmpty())
        QSKIP("mpg123 is not installed");
    QTemporaryDir dir;
    AssemblyBuffer block;
    AcousticAssembler assembler(block);
    const QDateTime utc(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    const QList<QByteArray> packets =
        StationSimulator::acousticPackets(StationSimulator::Mp3, 7, utc, RecordingSource::mp3Recording());
    QStringList files;
    for (const QByteArray &packet : packets)
        files += assembler.process(packet, "300234064380150", dir.path(), utc).filePaths;
    QCOMPARE(files.size(), 1);
    QVERIFY(files.first().endsWith("_MP3_07.mp3"));

    const QString wav = dir.filePath("decoded.wav");
    QProcess decoder;
    decoder.start(mpg123, {"-q", "-w", wav, files.first()});
    QVERIFY(decoder.waitForFinished(30000));
    QCOMPARE(decoder.exitCode(), 0);
    QFile decoded(wav);
    QVERIFY(decoded.open(QIODevice::ReadOnly));
    const QByteArray header = decoded.read(44);
    const auto le32 = [&header](int at) {
        return quint32(quint8(header[at])) | quint32(quint8(header[at + 1])) << 8 |
               quint32(quint8(header[at + 2])) << 16 | quint32(quint8(header[at + 3])) << 24;
    };
    // Byte rate at 28, data size behind the header; the encoder adds at most
    // a few frames of padding.
    const double seconds = double(decoded.size() - 44) / le32(28);
    QVERIFY2(seconds >= RecordingSource::kMp3DurationMs / 1000.0 &&
                 seconds < RecordingSource::kMp3DurationMs / 1000.0 + 0.25,
             qPrintable(QString::number(seconds)));
}

QTEST_APPLESS_MAIN(TestRecordingSource)
#include "tst_recordingsource.moc"
