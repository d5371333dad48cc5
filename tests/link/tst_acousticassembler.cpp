// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QByteArray kTime("\x18\x05\x31\x02\x37\x13", 6); // 2018-05-31 02:37:13
const QString kImei = QStringLiteral("300234010753370");
const QDateTime kNow(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);

QByteArray acousticPacket(int type, int recording, int sequence, bool last, const QByteArray &payload)
{
    QByteArray packet = "@2" + kTime;
    packet.append(char((recording << 3) | (type << 1) | (last ? 1 : 0)));
    packet.append(char(sequence));
    packet.append(payload.leftJustified(330, '\0', true));
    return packet;
}

// Payloads 330 bytes each, with a recognisable byte pattern.
QByteArray patternBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAcousticAssembler : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void samplesAndCompanionPath();
    void rawRecording();
    void mp3AndMissingPackets();
    void spectralFile();
    void progress();
    void incompletePacket();
    void beyondBuffer_data();
    void beyondBuffer();

private:
    // Feeds one result's packets, all in one buffer, as the receive pass does.
    QList<AcousticStep> feed(int type, int recording, const QByteArray &result, const QString &imei = kImei);
    AcousticStep process(const QByteArray &packet)
    {
        return AcousticAssembler(*m_block).process(packet, kImei, audioPath(), kNow);
    }

    std::unique_ptr<AssemblyBuffer> m_block;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString audioPath() const { return m_dir->filePath(QStringLiteral("Audio")); }
};

void TestAcousticAssembler::init()
{
    m_block = std::make_unique<AssemblyBuffer>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QList<AcousticStep> TestAcousticAssembler::feed(int type, int recording, const QByteArray &result,
                                                const QString &imei)
{
    const int count = (result.size() + 329) / 330;
    QByteArray buffer;
    for (int n = 0; n < count; ++n)
        buffer += acousticPacket(type, recording, n, n == count - 1, result.mid(330 * n, 330));
    AcousticAssembler assembler(*m_block);
    QList<AcousticStep> steps;
    for (AcousticStep step; (step = assembler.process(buffer, imei, audioPath(), kNow)).complete;) {
        steps.append(step);
        buffer.remove(0, step.consumedBytes);
    }
    return steps;
}

void TestAcousticAssembler::samplesAndCompanionPath()
{
    const QVector<quint16> samples{0x401, 0x302};
    QCOMPARE(AcousticAssembler::unpack12(QByteArray("\x01\x02\x34", 3)), samples);
    QCOMPARE(AcousticAssembler::pcm16(samples), QByteArray("\x10\x40\x20\x30", 4));
    // A trailing incomplete group is ignored.
    QCOMPARE(AcousticAssembler::unpack12(QByteArray("\x00\x00\x00\x05\x06", 5)), QVector<quint16>(2, 0));
    QCOMPARE(AcousticAssembler::rawCompanionPath("/data/WAV.wav/WAVES/1_WAV_31.wav"),
             "/data/WAV.wav/WAVES/1_RAW_31.raw");
}

// A second recording under the same names is kept beside the first.
void TestAcousticAssembler::rawRecording()
{
    const QByteArray recording = patternBytes(24090); // 73 packets, the last one partly used
    const QList<AcousticStep> steps = feed(AcousticAssembler::Raw, 5, recording);
    QCOMPARE(steps.size(), 73);
    const QString stem =
        QDir(audioPath()).filePath(QStringLiteral("300234010753370_20180531_023713Z_KTRtime_"));
    QCOMPARE(steps.last().filePaths, QStringList({stem + "WAV_05.wav", stem + "RAW_05.raw"}));

    // RIFF of 36 + 32000 bytes; PCM, mono, 16000 samples and 32000 bytes a
    // second, blocks of 2 bytes, 16 bits a sample; 32000 data bytes.
    const QByteArray wav = readFile(stem + "WAV_05.wav");
    QCOMPARE(wav.left(44).toHex(),
             QByteArray("52494646247d000057415645666d74201000000001000100803e0000007d0000"
                        "0200100064617461007d0000"));
    const QByteArray data = AcousticAssembler::pcm16(AcousticAssembler::unpack12(recording.left(24000)));
    QCOMPARE(wav.mid(44), data);
    QCOMPARE(readFile(stem + "RAW_05.raw"), data);

    const AcousticStep second = feed(AcousticAssembler::Raw, 5, QByteArray(24000, '\x02')).last();
    QCOMPARE(second.filePaths, QStringList({stem + "WAV_05_2.wav", stem + "RAW_05_2.raw"}));
    QCOMPARE(readFile(stem + "RAW_05_2.raw").left(2), QByteArray("\x20\x20"));
}

// The next result lacks its packets 1 and 2: their bytes are zero, not the
// earlier result's.
void TestAcousticAssembler::mp3AndMissingPackets()
{
    const QByteArray recording = patternBytes(1320);
    const QList<AcousticStep> steps = feed(AcousticAssembler::Mp3, 5, recording);
    QCOMPARE(steps.size(), 4);
    const QString path =
        QDir(audioPath()).filePath(QStringLiteral("300234010753370_20180531_023713Z_KTRtime_MP3_05.mp3"));
    QCOMPARE(steps.last().filePaths, QStringList{path});
    QCOMPARE(readFile(path), recording);

    process(acousticPacket(1, 6, 0, false, QByteArray(330, 'b')));
    const AcousticStep step = process(acousticPacket(1, 6, 3, true, QByteArray(330, 'c')));
    QCOMPARE(step.missingPackets, 2);
    QCOMPARE(readFile(step.filePaths.value(0)),
             QByteArray(330, 'b') + QByteArray(660, '\0') + QByteArray(330, 'c'));
}

// The values themselves are read back in the simulator's tests; here the
// file around them.
void TestAcousticAssembler::spectralFile()
{
    const QList<AcousticStep> steps =
        feed(AcousticAssembler::Spectral, 0, QByteArray(294, '\xff'), QString());
    QCOMPARE(steps.size(), 1);
    const QString path =
        QDir(audioPath()).filePath(QStringLiteral("000000000000000_180531_023713Z_KTRtime_Spectral.inp"));
    QCOMPARE(steps.last().filePaths, QStringList{path});

    const QByteArray text = readFile(path);
    QVERIFY(text.endsWith(" 5000, 127\n"));
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 2 + 16 + 336 + 1);
    QCOMPARE(lines.mid(0, 4), QList<QByteArray>({"Description: ", "KTR: T:18/05/31,02/37/13_KTRtime",
                                                 "AVERAGE", "   50, 127"}));
    QCOMPARE(lines.mid(23, 3), QList<QByteArray>({" 5000, 127", "SECOND-00", "   50, 127"}));
    QCOMPARE(lines[2 + 15 * 22], QByteArray("SECOND-28"));
}

void TestAcousticAssembler::progress()
{
    // Type, sequence number, then the bar's maximum and value.
    const int rows[][4] = {{0, 2, 1, 1}, {1, 30, 29, 29}, {2, 92, 91, 90}, {3, 200, 91, 90}};
    for (const auto &row : rows) {
        AcousticStep step = process(acousticPacket(row[0], 9, row[1], false, QByteArray()));
        QCOMPARE(step.progressMaximum, row[2]);
        QCOMPARE(step.progressValue, row[3]);
        step = process(acousticPacket(row[0], 9, row[1], true, QByteArray()));
        QCOMPARE(step.progressMaximum, 1);
        QCOMPARE(step.progressValue, 1);
    }
}

void TestAcousticAssembler::incompletePacket()
{
    const AcousticStep step = process(acousticPacket(1, 0, 3, true, QByteArray(330, 'x')).left(339));
    QVERIFY(!step.complete);
    QCOMPARE(step.consumedBytes, 0);
    QCOMPARE(m_block->copy(0, AssemblyBuffer::kSizeBytes), QByteArray(AssemblyBuffer::kSizeBytes, '\0'));
}

void TestAcousticAssembler::beyondBuffer_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<int>("files"); // none: the result is dropped
    QTest::newRow("mp3 197") << 1 << 197 << 1;
    QTest::newRow("mp3 198") << 1 << 198 << 0;
    QTest::newRow("unknown 255") << 3 << 255 << 0;
    QTest::newRow("spectral 255") << 0 << 255 << 1;
    QTest::newRow("raw 255") << 2 << 255 << 2;
}

// A result runs up to its last packet's slot unless its size is fixed.
void TestAcousticAssembler::beyondBuffer()
{
    QFETCH(int, type);
    QFETCH(int, sequence);
    QFETCH(int, files);
    const AcousticStep step = process(acousticPacket(type, 1, sequence, true, QByteArray(330, 'y')));
    if (sequence <= 197)
        QCOMPARE(m_block->copy(330 * sequence, 330), QByteArray(330, 'y'));
    QCOMPARE(step.filePaths.size(), files);
    QCOMPARE(step.debugLines.last().startsWith(QStringLiteral("!!-- Error: ")), files == 0);
    if (type == AcousticAssembler::Mp3 && files > 0)
        QCOMPARE(readFile(step.filePaths.value(0)).size(), 65340);
}

QTEST_GUILESS_MAIN(TestAcousticAssembler)
#include "tst_acousticassembler.moc"
