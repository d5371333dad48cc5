// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"
#include "tools/sim/recordingsource.h"

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
    void spectralAverageIsTheMeanOfTheSeconds();
    void twelveBitPacking_data();
    void twelveBitPacking();
    void toneUnpacksToItsSamples();
    void toneHasItsPitchAndLevel();
    void mp3LikeFramesAreWellFormed();
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
    QTest::newRow("eight values fill seven bytes") << QVector<int>(8, 127) << QByteArray(7, char(0xff));
    QTest::newRow("pattern across bytes") << QVector<int>{0x55, 0x2a, 0x7f}
                                          << bytes({0xaa, 0xab, 0xf8});
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

void TestRecordingSource::spectralAverageIsTheMeanOfTheSeconds()
{
    const QVector<int> levels = RecordingSource::spectralLevels(3);
    for (int band = 0; band < 21; ++band) {
        double sum = 0;
        for (int block = 1; block < 16; ++block)
            sum += levels.at(block * 21 + band);
        QVERIFY2(qAbs(levels.at(band) - sum / 15) <= 0.5, qPrintable(QString::number(band)));
    }
    // Low bands louder than high ones, as wind noise is.
    QVERIFY(levels.at(0) > levels.at(20) + 15);
}

void TestRecordingSource::twelveBitPacking_data()
{
    QTest::addColumn<QVector<quint16>>("samples");
    QTest::addColumn<QByteArray>("packed");
    QTest::newRow("worked example") << QVector<quint16>{0x401, 0x302} << bytes({0x01, 0x02, 0x34});
    QTest::newRow("full scale") << QVector<quint16>{0xfff, 0xfff} << bytes({0xff, 0xff, 0xff});
    QTest::newRow("high nibbles apart") << QVector<quint16>{0x000, 0xabc} << bytes({0x00, 0xbc, 0xa0});
    QTest::newRow("odd count paired with zero") << QVector<quint16>{0x123} << bytes({0x23, 0x00, 0x01});
    QTest::newRow("over 12 bits clamped") << QVector<quint16>{0xffff, 0} << bytes({0xff, 0x00, 0x0f});
}

void TestRecordingSource::twelveBitPacking()
{
    QFETCH(QVector<quint16>, samples);
    QFETCH(QByteArray, packed);
    QCOMPARE(RecordingSource::packTwelveBit(samples).toHex(' '), packed.toHex(' '));
}

void TestRecordingSource::toneUnpacksToItsSamples()
{
    const QVector<quint16> samples = RecordingSource::toneSamples(440, 1500);
    const QByteArray raw = RecordingSource::rawTone(440, 1500);
    QCOMPARE(raw.size(), 24000);
    QCOMPARE(AcousticAssembler::unpack12(raw), samples);
}

void TestRecordingSource::toneHasItsPitchAndLevel()
{
    const QVector<quint16> samples = RecordingSource::toneSamples(500, 1200);
    QCOMPARE(samples.size(), 16000);
    int rising = 0;
    qint64 sum = 0;
    for (int i = 0; i < samples.size(); ++i) {
        sum += samples.at(i);
        if (i > 0 && samples.at(i - 1) < 2048 && samples.at(i) >= 2048)
            ++rising;
    }
    QVERIFY(qAbs(rising - 500) <= 1);
    QVERIFY(qAbs(double(sum) / samples.size() - 2048) < 2);
    QCOMPARE(*std::max_element(samples.cbegin(), samples.cend()), quint16(2048 + 1200));
    QCOMPARE(*std::min_element(samples.cbegin(), samples.cend()), quint16(2048 - 1200));
}

void TestRecordingSource::mp3LikeFramesAreWellFormed()
{
    const QByteArray mp3 = RecordingSource::mp3Like(3, 7);
    QCOMPARE(mp3.size(), 3 * 417);
    QCOMPARE(mp3.count(char(0xff)), 3);
    QVERIFY(RecordingSource::mp3Like(3, 8) != mp3);
    for (int frame = 0; frame < 3; ++frame) {
        const QByteArray header = mp3.mid(frame * 417, 4);
        const quint32 word = (quint32(quint8(header[0])) << 24) | (quint32(quint8(header[1])) << 16)
                             | (quint32(quint8(header[2])) << 8) | quint8(header[3]);
        QCOMPARE(word >> 21, 0x7ffu);          // frame sync
        QCOMPARE((word >> 19) & 3, 3u);        // MPEG-1
        QCOMPARE((word >> 17) & 3, 1u);        // Layer III
        QCOMPARE((word >> 12) & 15, 9u);       // 128 kbit/s
        QCOMPARE((word >> 10) & 3, 0u);        // 44100 Hz
        QCOMPARE((word >> 9) & 1, 0u);         // no padding byte
        QCOMPARE(144 * 128000 / 44100, 417);   // so the frame is 417 bytes long
    }
}

QTEST_APPLESS_MAIN(TestRecordingSource)
#include "tst_recordingsource.moc"
