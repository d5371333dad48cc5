// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"
#include "support/testfiles.h"

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

} // namespace

class TestAcousticAssembler : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void unpack12_data();
    void unpack12();
    void rawRecording();
    void mp3BackToBack();
    void spectralFile();
    void fileNames_data();
    void fileNames();
    void progress_data();
    void progress();
    void incompletePacket();
    void beyondBuffer_data();
    void beyondBuffer();
    void missingPacketsAreZeroNotAnEarlierResult();

private:
    // Feeds one result's packets, all in one buffer, as the receive pass does.
    QList<AcousticStep> feed(int type, int recording, const QByteArray &result, const QString &imei = kImei);

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
    for (;;) {
        const AcousticStep step = assembler.process(buffer, imei, audioPath(), kNow);
        if (!step.complete)
            break;
        steps.append(step);
        buffer.remove(0, step.consumedBytes);
    }
    return steps;
}

void TestAcousticAssembler::unpack12_data()
{
    QTest::addColumn<QByteArray>("packed");
    QTest::addColumn<QVector<quint16>>("samples");
    QTest::addColumn<QByteArray>("pcm");
    QTest::newRow("worked example") << QByteArray("\x01\x02\x34", 3) << QVector<quint16>{0x401, 0x302}
                                    << QByteArray("\x10\x40\x20\x30", 4);
    QTest::newRow("trailing bytes ignored")
        << QByteArray("\x00\x00\x00\x05\x06", 5) << QVector<quint16>{0, 0} << QByteArray(4, '\0');
}

void TestAcousticAssembler::unpack12()
{
    QFETCH(QByteArray, packed);
    QFETCH(QVector<quint16>, samples);
    QFETCH(QByteArray, pcm);
    QCOMPARE(AcousticAssembler::unpack12(packed), samples);
    QCOMPARE(AcousticAssembler::pcm16(samples), pcm);
}

void TestAcousticAssembler::rawRecording()
{
    const QByteArray recording = patternBytes(24090); // 73 packets, the last one partly used
    const QList<AcousticStep> steps = feed(AcousticAssembler::Raw, 5, recording);
    QCOMPARE(steps.size(), 73);
    const AcousticStep &last = steps.last();
    QVERIFY(last.last);
    QCOMPARE(last.type, 2);
    QCOMPARE(last.recordingNumber, 5);
    QCOMPARE(last.rawViewAppend, QStringLiteral("Last"));

    const QString stem =
        QDir(audioPath()).filePath(QStringLiteral("300234010753370_20180531_023713Z_KTRtime_"));
    QCOMPARE(last.filePaths, QStringList({stem + "WAV_05.wav", stem + "RAW_05.raw"}));
    QCOMPARE(last.debugLines, QStringList{"    Audio Output:" + stem + "RAW_05.raw"});

    // RIFF, 32036 bytes follow; PCM, mono, 16000 samples/s, 32000 bytes/s, blocks of 2, 16 bits; 32000 data
    // bytes.
    const QByteArray wav = testsupport::fileBytes(stem + "WAV_05.wav");
    QCOMPARE(wav.size(), 32044);
    QCOMPARE(wav.left(44).toHex(), QByteArray("52494646247d000057415645666d7420100000000100010080"
                                              "3e0000007d00000200100064617461007d0000"));
    const QByteArray data = wav.mid(44);
    QCOMPARE(data, AcousticAssembler::pcm16(AcousticAssembler::unpack12(recording.left(24000))));
    QCOMPARE(testsupport::fileBytes(stem + "RAW_05.raw"), data);
    // Only the file name's own "WAV" becomes "RAW".
    QCOMPARE(AcousticAssembler::rawCompanionPath("/d/WAV.wav/1_WAV_31.wav"),
             QString("/d/WAV.wav/1_RAW_31.raw"));
}

void TestAcousticAssembler::mp3BackToBack()
{
    const QByteArray recording = patternBytes(1320);
    const QList<AcousticStep> steps = feed(AcousticAssembler::Mp3, 5, recording);
    QCOMPARE(steps.size(), 4);
    for (int n = 0; n < 4; ++n)
        QCOMPARE(steps[n].filePaths.isEmpty(), n != 3);
    const QString path =
        QDir(audioPath()).filePath(QStringLiteral("300234010753370_20180531_023713Z_KTRtime_MP3_05.mp3"));
    QCOMPARE(steps.last().filePaths, QStringList{path});
    QCOMPARE(steps.last().debugLines, QStringList{"    Audio Output:" + path});
    QCOMPARE(testsupport::fileBytes(path), recording);
}

void TestAcousticAssembler::spectralFile()
{
    // Pack the values k mod 128, seven bits each, most significant bit first.
    QByteArray payload(294, '\0');
    for (int k = 0; k < 336; ++k)
        for (int bit = 0; bit < 7; ++bit)
            if (((k % 128) >> (6 - bit)) & 1) {
                const int at = 7 * k + bit;
                payload[at / 8] = char(payload[at / 8] | (0x80 >> (at % 8)));
            }
    const QList<AcousticStep> steps = feed(AcousticAssembler::Spectral, 0, payload, QString());
    QCOMPARE(steps.size(), 1);
    const QString path =
        QDir(audioPath()).filePath(QStringLiteral("000000000000000_180531_023713Z_KTRtime_Spectral.inp"));
    QCOMPARE(steps.last().filePaths, QStringList{path});

    const QByteArray text = testsupport::fileBytes(path);
    QVERIFY(text.endsWith('\n'));
    QVERIFY(!text.contains('\r'));
    const QList<QByteArray> lines = text.chopped(1).split('\n');
    QCOMPARE(lines.size(), 2 + 16 + 336);
    QCOMPARE(lines[0], QByteArray("Description: "));
    QCOMPARE(lines[1], QByteArray("KTR: T:18/05/31,02/37/13_KTRtime"));
    QCOMPARE(lines[2], QByteArray("AVERAGE"));
    QCOMPARE(lines[3], QByteArray("   50, 0"));
    QCOMPARE(lines[23], QByteArray(" 5000, 20"));
    QCOMPARE(lines[24], QByteArray("SECOND-00"));
    QCOMPARE(lines[25], QByteArray("   50, 21"));
    QCOMPARE(lines[2 + 15 * 22], QByteArray("SECOND-28"));
    QCOMPARE(lines.last(), QByteArray(" 5000, 79")); // 335 mod 128
}

void TestAcousticAssembler::fileNames_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("recording");
    QTest::addColumn<QString>("name");
    QTest::newRow("spectral") << kImei << 0 << 3 << "300234010753370_20st_Spectral.inp";
    QTest::newRow("mp3") << kImei << 1 << 5 << "300234010753370_20st_MP3_05.mp3";
    QTest::newRow("wav") << kImei << 2 << 31 << "300234010753370_20st_WAV_31.wav";
    QTest::newRow("unknown") << kImei << 3 << 7 << "300234010753370_20st_Unknown.dat";
    QTest::newRow("no unit") << QString() << 2 << 0 << "000000000000000_st_WAV_00.wav";
}

void TestAcousticAssembler::fileNames()
{
    QFETCH(QString, imei);
    QFETCH(int, type);
    QFETCH(int, recording);
    QFETCH(QString, name);
    QCOMPARE(AcousticAssembler::fileName(imei, QStringLiteral("st"), type, recording), name);
}

void TestAcousticAssembler::progress_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("spectral 0") << 0 << 0 << "Acoustic Spectral Data" << 1 << 0;
    QTest::newRow("spectral 2") << 0 << 2 << "Acoustic Spectral Data" << 1 << 1;
    QTest::newRow("mp3 30") << 1 << 30 << "Acoustic MP3 Data" << 29 << 29;
    QTest::newRow("raw 92") << 2 << 92 << "Acoustic Raw Data" << 91 << 90;
    QTest::newRow("unknown 200") << 3 << 200 << "Unknown Acoustic Data" << 91 << 90;
}

void TestAcousticAssembler::progress()
{
    QFETCH(int, type);
    QFETCH(int, sequence);
    QFETCH(QString, text);
    QFETCH(int, maximum);
    QFETCH(int, value);
    AcousticAssembler assembler(*m_block);
    AcousticStep step =
        assembler.process(acousticPacket(type, 9, sequence, false, QByteArray()), kImei, audioPath(), kNow);
    QCOMPARE(step.progressText, text);
    QCOMPARE(step.progressMaximum, maximum);
    QCOMPARE(step.progressValue, value);
    step = assembler.process(acousticPacket(type, 9, sequence, true, QByteArray()), kImei, audioPath(), kNow);
    QCOMPARE(step.progressMaximum, 1);
    QCOMPARE(step.progressValue, 1);
}

void TestAcousticAssembler::incompletePacket()
{
    AcousticAssembler assembler(*m_block);
    const AcousticStep step = assembler.process(acousticPacket(1, 0, 3, true, QByteArray(330, 'x')).left(339),
                                                kImei, audioPath(), kNow);
    QCOMPARE(step.rawViewText, QStringLiteral("Acoustic Packet:3 Bytes:339"));
    QCOMPARE(step.consumedBytes, 0);
    QCOMPARE(m_block->copy(0, AssemblyBuffer::kSizeBytes), QByteArray(AssemblyBuffer::kSizeBytes, '\0'));
    QVERIFY(!QDir(audioPath()).exists());
}

void TestAcousticAssembler::beyondBuffer_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<int>("fileBytes"); // -1: no file
    QTest::newRow("mp3 197") << 1 << 197 << 65340;
    QTest::newRow("mp3 198") << 1 << 198 << -1;
    QTest::newRow("unknown 255") << 3 << 255 << -1;
    QTest::newRow("spectral 255") << 0 << 255 << 0;
    QTest::newRow("raw 255") << 2 << 255 << 32044;
}

void TestAcousticAssembler::beyondBuffer()
{
    QFETCH(int, type);
    QFETCH(int, sequence);
    QFETCH(int, fileBytes);
    AcousticAssembler assembler(*m_block);
    const AcousticStep step = assembler.process(acousticPacket(type, 1, sequence, true, QByteArray(330, 'y')),
                                                kImei, audioPath(), kNow);
    QCOMPARE(step.consumedBytes, 340);
    if (sequence <= 197)
        QCOMPARE(m_block->copy(330 * sequence, 330), QByteArray(330, 'y'));
    if (fileBytes < 0) {
        QVERIFY(step.debugLines.first().startsWith(QStringLiteral("!!-- Error: ")));
        QVERIFY(QDir(audioPath()).isEmpty());
    } else {
        QVERIFY(!step.filePaths.isEmpty());
        if (fileBytes > 0)
            QCOMPARE(testsupport::fileBytes(step.filePaths.first()).size(), fileBytes);
    }
}

// An MP3 result fills slots 0 to 3; the next one lacks its packets 1 and 2.
void TestAcousticAssembler::missingPacketsAreZeroNotAnEarlierResult()
{
    feed(AcousticAssembler::Mp3, 5, QByteArray(1320, 'a'));
    AcousticAssembler assembler(*m_block);
    assembler.process(acousticPacket(1, 6, 0, false, QByteArray(330, 'b')), kImei, audioPath(), kNow);
    const AcousticStep step =
        assembler.process(acousticPacket(1, 6, 3, true, QByteArray(330, 'c')), kImei, audioPath(), kNow);
    QCOMPARE(step.missingPackets, 2);
    QCOMPARE(step.debugLines.first(),
             QStringLiteral("!!-- Error: Acoustic data lacks 2 of its 4 packets; their bytes are zero"));
    QCOMPARE(testsupport::fileBytes(step.filePaths.value(0)),
             QByteArray(330, 'b') + QByteArray(660, '\0') + QByteArray(330, 'c'));
}

QTEST_GUILESS_MAIN(TestAcousticAssembler)
#include "tst_acousticassembler.moc"
