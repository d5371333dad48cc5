// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cameraassembler.h"
#include "link/jpegheader.h"
#include "tools/sim/jpegencoder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QByteArray kTime("\x18\x05\x31\x02\x37\x13", 6); // 2018-05-31 02:37:13
const QString kImei = QStringLiteral("300234010753370");
const QDateTime kNow(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);

QByteArray cameraPacket(int camera, int sequence, bool last, const QByteArray &payload,
                        const QByteArray &time = kTime)
{
    QByteArray packet = "@1" + time;
    packet.append(char((camera << 4) | (last ? 0x0b : 0x00)));
    packet.append(char(sequence));
    packet.append(payload.leftJustified(330, '\0', true));
    packet.append("\r\n\r\n");
    return packet;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCameraAssembler : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void pictureRoundTrip();
    void pictureFile_data();
    void pictureFile();
    void framing_data();
    void framing();
    void progressAndCaption();
    void lastSlot_data();
    void lastSlot();
    void missingPacketsAreZeroNotAnEarlierPicture();

private:
    CameraStep process(const QByteArray &buffer)
    {
        return CameraAssembler(*m_block).process(buffer, kImei, imagePath(), QString(), kNow);
    }

    std::unique_ptr<AssemblyBuffer> m_block;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString imagePath() const { return m_dir->filePath(QStringLiteral("Image")); }
};

void TestCameraAssembler::init()
{
    m_block = std::make_unique<AssemblyBuffer>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// A picture arriving in 97-byte pieces, framed and cut off the way the
// receive pass does, decodes to what the camera took.
void TestCameraAssembler::pictureRoundTrip()
{
    QImage original(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            original.setPixel(x, y,
                              qRgb(x * 255 / 319, ((x / 20) + (y / 20)) % 2 ? 255 - y : y, (x * y) % 256));
    const QList<QByteArray> payloads = JpegEncoder::scanPackets(original);
    QVERIFY(payloads.size() > 3);

    QByteArray stream;
    for (int n = 0; n < payloads.size(); ++n)
        stream += cameraPacket(2, n, n == payloads.size() - 1, payloads[n]);

    CameraAssembler assembler(*m_block);
    QList<CameraStep> steps;
    QByteArray buffer;
    for (int at = 0; at < stream.size(); at += 97) {
        buffer += stream.mid(at, 97);
        for (CameraStep step; (step = assembler.process(buffer, kImei, imagePath(), "0", kNow)).complete;) {
            steps.append(step);
            buffer.remove(0, step.consumedBytes);
        }
    }
    QVERIFY(buffer.isEmpty());

    // Every packet stored exactly once, in order.
    QCOMPARE(steps.size(), payloads.size());
    for (int n = 0; n < steps.size(); ++n) {
        QCOMPARE(steps[n].packet, stream.mid(344 * n, 340));
        QCOMPARE(steps[n].last, n == steps.size() - 1);
    }
    const QByteArray file = readFile(steps.last().filePath);
    QCOMPARE(steps.last().picture, file);
    const QImage fromStation = QImage::fromData(file, "JPG").convertToFormat(QImage::Format_RGB32);
    const QImage fromEncoder =
        QImage::fromData(JpegEncoder::encode(original), "JPG").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(fromStation.size(), QSize(320, 240));
    QCOMPARE(fromStation, fromEncoder);
}

void TestCameraAssembler::pictureFile_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<int>("camera"); // views exist for 1 to 4 only
    QTest::addColumn<QString>("fileName");
    QTest::newRow("unit") << kImei << kTime << 3 << "300234010753370_20180531_023713Z_KTRtime_Cam3.jpg";
    QTest::newRow("no unit") << QString() << kTime << 4 << "000000000000000_180531_023713Z_KTRtime_Cam4.jpg";
    QTest::newRow("station clock not set") << QString() << QByteArray("\x18\x00\x31\x02\x37\x13", 6) << 1
                                           << "000000000000000_260102_030405Z_PCtime_Cam1.jpg";
    QTest::newRow("camera 7, not shown")
        << kImei << kTime << 7 << "300234010753370_20180531_023713Z_KTRtime_Cam7.jpg";
}

// Another transfer's bytes where the header goes are no matter.
void TestCameraAssembler::pictureFile()
{
    QFETCH(QString, imei);
    QFETCH(QByteArray, time);
    QFETCH(int, camera);
    QFETCH(QString, fileName);
    QVERIFY(m_block->store(0, QByteArray(2000, 'A')));
    const CameraStep step = CameraAssembler(*m_block).process(
        cameraPacket(camera, 0, true, QByteArray(330, 'a'), time), imei, imagePath(), QString(), kNow);
    QCOMPARE(step.filePath, QDir(imagePath()).filePath(fileName));
    const QByteArray file = readFile(step.filePath);
    QCOMPARE(file, JpegHeader::bytes() + QByteArray(330, 'a') + "\xff\xd9");
    QCOMPARE(step.picture.isEmpty(), camera > 4);
}

void TestCameraAssembler::framing_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("consumed"); // 0: not complete yet
    QTest::addColumn<bool>("stored");
    const QByteArray packet = cameraPacket(1, 4, false, QByteArray(330, 'q'));
    const QByteArray next = "@I:300234010753370\r\n";
    QTest::newRow("header only") << packet.left(11) << 0 << false;
    QTest::newRow("trailer not yet whole") << packet.left(343) << 0 << false;
    QTest::newRow("payload ending in CR LF CR LF") << packet.left(336) + "\r\n\r\n" << 0 << false;
    QTest::newRow("the next packet right behind") << packet + next << 344 << true;
    QTest::newRow("damaged trailer") << packet.left(340) + "\r\n\r\r" + next << 344 << false;
    QTest::newRow("trailer lost") << packet.left(340) + next << 340 << false;
    QTest::newRow("trailer cut short") << packet.left(342) + next << 342 << false;
}

// A damaged packet is dropped at once, so that what follows it in the same
// transmission is framed in the same pass.
void TestCameraAssembler::framing()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, consumed);
    QFETCH(bool, stored);
    const CameraStep step = process(buffer);
    QCOMPARE(step.complete, consumed > 0);
    QCOMPARE(step.consumedBytes, consumed);
    QCOMPARE(step.packet.isEmpty(), !stored);
    QCOMPARE(m_block->copy(632 + 4 * 330, 330) == QByteArray(330, 'q'), stored);
    QCOMPARE(step.debugLines.value(0).startsWith("!!-- Error: "), consumed > 0 && !stored);
}

void TestCameraAssembler::progressAndCaption()
{
    QCOMPARE(process(cameraPacket(4, 43, false, QByteArray())).progressValue, 43);
    QCOMPARE(process(cameraPacket(4, 50, false, QByteArray())).progressValue, 44);
    QCOMPARE(process(cameraPacket(4, 3, true, QByteArray())).progressValue, 44);
    // The raw view: the byte count, then every byte in hexadecimal, sixteen to a line.
    const QByteArray packet = cameraPacket(2, 7, false, QByteArray("\xff\xd8\x0a", 3));
    const QStringList lines = process(packet.left(20)).rawViewText.split(QStringLiteral("\r\n"));
    QCOMPARE(lines, QStringList({"Camera:2 Packet:7 Bytes:20", "",
                                 "40 31 18 05 31 02 37 13 20 07 ff d8 0a 00 00 00 ", "00 00 00 00 "}));
    QCOMPARE(CameraAssembler::caption(3, "300"), QStringLiteral("Camera 3 (120\u00b0)"));
    QCOMPARE(CameraAssembler::caption(4, "359"), QStringLiteral("Camera 4 (269\u00b0)"));
    QCOMPARE(CameraAssembler::caption(4, "-1"), QStringLiteral("Camera 4"));
    QCOMPARE(CameraAssembler::caption(1, "inf"), QStringLiteral("Camera 1 (0\u00b0)"));
}

void TestCameraAssembler::lastSlot_data()
{
    QTest::addColumn<int>("sequence");
    QTest::addColumn<int>("fileBytes"); // -1: beyond the block, no file
    QTest::newRow("195, the highest that fits") << 195 << 65314;
    QTest::newRow("196") << 196 << -1;
}

// A picture whose last packet lies beyond the block cannot be whole: it is
// dropped, and nothing outside the block is touched (the sanitizer build
// checks the latter).
void TestCameraAssembler::lastSlot()
{
    QFETCH(int, sequence);
    QFETCH(int, fileBytes);
    process(cameraPacket(1, 0, false, QByteArray(330, 't')));
    const QByteArray before = m_block->copy(0, AssemblyBuffer::kSizeBytes);

    const CameraStep step = process(cameraPacket(1, sequence, true, QByteArray(330, 's')));
    QCOMPARE(step.consumedBytes, 344);
    if (fileBytes < 0) {
        QVERIFY(step.filePath.isEmpty());
        QVERIFY(step.picture.isEmpty());
        QVERIFY(step.debugLines.last().startsWith(QStringLiteral("!!-- Error: ")));
        QCOMPARE(m_block->copy(0, AssemblyBuffer::kSizeBytes), before);
        return;
    }
    const QByteArray file = readFile(step.filePath);
    QCOMPARE(file.size(), fileBytes);
    QCOMPARE(file.right(332), QByteArray(330, 's') + "\xff\xd9");
    QCOMPARE(step.picture, file);
}

// Picture A fills slots 0 to 2; picture B lacks its packet 1. Its slot must
// not show A's bytes, nor the end marker that followed B's packet 0.
void TestCameraAssembler::missingPacketsAreZeroNotAnEarlierPicture()
{
    for (int n = 0; n < 3; ++n)
        process(cameraPacket(2, n, n == 2, QByteArray(330, char('a' + n))));
    const QByteArray laterTime("\x18\x05\x31\x02\x57\x13", 6);
    process(cameraPacket(2, 0, false, QByteArray(330, 'x'), laterTime));
    const CameraStep step = process(cameraPacket(2, 2, true, QByteArray(330, 'z'), laterTime));
    QCOMPARE(step.missingPackets, 1);
    QCOMPARE(readFile(step.filePath).mid(632, 990),
             QByteArray(330, 'x') + QByteArray(330, '\0') + QByteArray(330, 'z'));
}

QTEST_GUILESS_MAIN(TestCameraAssembler)
#include "tst_cameraassembler.moc"
