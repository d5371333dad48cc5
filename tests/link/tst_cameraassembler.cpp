// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cameraassembler.h"
#include "link/jpegheader.h"
#include "support/testfiles.h"
#include "tools/sim/jpegencoder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
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

QImage colourfulPattern()
{
    QImage image(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool check = ((x / 20) + (y / 20)) % 2 == 0;
            image.setPixel(x, y, qRgb(x * 255 / 319, check ? y : 255 - y, (x * y) % 256));
        }
    return image;
}

} // namespace

class TestCameraAssembler : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void pictureRoundTrip_data();
    void pictureRoundTrip();
    void threePacketFile_data();
    void threePacketFile();
    void partialPacket_data();
    void partialPacket();
    void progress_data();
    void progress();
    void caption_data();
    void caption();
    void headerRestoredWhenFileFails();
    void lastPacketSlot_data();
    void lastPacketSlot();
    void missingPacketsAreZeroNotAnEarlierPicture();
    void samePictureNameTwiceKeepsBoth();

private:
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

void TestCameraAssembler::pictureRoundTrip_data()
{
    QTest::addColumn<int>("chunkBytes"); // 0: one packet per pass
    QTest::newRow("one packet per pass") << 0;
    QTest::newRow("arriving in 97-byte pieces") << 97;
}

void TestCameraAssembler::pictureRoundTrip()
{
    QFETCH(int, chunkBytes);
    const QImage original = colourfulPattern();
    const QByteArray encoded = JpegEncoder::encode(original);
    const QList<QByteArray> payloads = JpegEncoder::scanPackets(original);
    QVERIFY(payloads.size() > 3);
    QVERIFY(payloads.size() <= CameraAssembler::kMaxStoredSequence + 1);

    QByteArray stream;
    QList<QByteArray> packets;
    for (int n = 0; n < payloads.size(); ++n)
        packets.append(cameraPacket(2, n, n == payloads.size() - 1, payloads[n]));
    for (const QByteArray &packet : packets)
        stream += packet;

    // Frames and cuts off packets the way the receive pass does.
    CameraAssembler assembler(*m_block);
    QList<CameraStep> steps;
    QByteArray buffer;
    const auto drain = [&] {
        for (;;) {
            const CameraStep step = assembler.process(buffer, kImei, imagePath(), QStringLiteral("0"), kNow);
            if (!step.complete)
                break;
            steps.append(step);
            buffer.remove(0, step.consumedBytes);
        }
    };
    if (chunkBytes == 0) {
        for (const QByteArray &packet : packets) {
            buffer = packet;
            drain();
            QVERIFY(buffer.isEmpty());
        }
    } else {
        for (int at = 0; at < stream.size(); at += chunkBytes) {
            buffer += stream.mid(at, chunkBytes);
            drain();
        }
    }
    QVERIFY(buffer.isEmpty());

    // Every packet stored exactly once, in order.
    QCOMPARE(steps.size(), packets.size());
    for (int n = 0; n < steps.size(); ++n)
        QCOMPARE(steps[n].packet, packets[n].left(340));

    const CameraStep &last = steps.last();
    const int n = payloads.size() - 1;
    const QString expectedPath =
        QDir(imagePath()).filePath(QStringLiteral("300234010753370_20180531_023713Z_KTRtime_Cam2.jpg"));
    QCOMPARE(last.debugLines.last(), QStringLiteral("    Image Output: ") + expectedPath);
    const QByteArray file = testsupport::fileBytes(expectedPath);
    QCOMPARE(file.size(), 632 + 330 * (n + 1) + 2);
    QCOMPARE(last.picture, file);
    QCOMPARE(last.caption, QStringLiteral("Camera 2 (90\u00b0)"));

    const QImage fromStation = QImage::fromData(file, "JPG").convertToFormat(QImage::Format_RGB32);
    const QImage fromEncoder = QImage::fromData(encoded, "JPG").convertToFormat(QImage::Format_RGB32);
    QVERIFY(!fromEncoder.isNull());
    QCOMPARE(fromStation, fromEncoder);
}

void TestCameraAssembler::threePacketFile_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<int>("camera"); // views exist for 1 to 4 only
    QTest::addColumn<QString>("fileName");
    QTest::newRow("unit") << kImei << kTime << 3 << "300234010753370_20180531_023713Z_KTRtime_Cam3.jpg";
    QTest::newRow("no unit") << QString() << kTime << 3 << "000000000000000_180531_023713Z_KTRtime_Cam3.jpg";
    QTest::newRow("unsafe unit") << "../x" << kTime << 4 << "000000000000000_180531_023713Z_KTRtime_Cam4.jpg";
    QTest::newRow("station clock not set") << QString() << QByteArray("\x18\x00\x31\x02\x37\x13", 6) << 1
                                           << "000000000000000_260102_030405Z_PCtime_Cam1.jpg";
    QTest::newRow("camera 7, not shown")
        << kImei << kTime << 7 << "300234010753370_20180531_023713Z_KTRtime_Cam7.jpg";
}

void TestCameraAssembler::threePacketFile()
{
    QFETCH(QString, imei);
    QFETCH(QByteArray, time);
    QFETCH(int, camera);
    QFETCH(QString, fileName);
    CameraAssembler assembler(*m_block);
    CameraStep step;
    for (int n = 0; n < 3; ++n) {
        step = assembler.process(cameraPacket(camera, n, n == 2, QByteArray(330, char('a' + n)), time), imei,
                                 imagePath(), QString(), kNow);
        QCOMPARE(step.filePath.isEmpty(), n != 2);
    }
    QCOMPARE(QDir(imagePath()).entryList(QDir::Files), QStringList{fileName});
    QCOMPARE(testsupport::fileBytes(step.filePath), JpegHeader::bytes() + QByteArray(330, 'a') +
                                                        QByteArray(330, 'b') + QByteArray(330, 'c') +
                                                        "\xff\xd9");
    QCOMPARE(step.missingPackets, 0);
    QCOMPARE(step.picture.isEmpty(), camera < 1 || camera > 4);
}

void TestCameraAssembler::partialPacket_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("consumed"); // 0: waits for more
    const QByteArray packet = cameraPacket(2, 4, false, QByteArray(330, 'q'));
    QTest::newRow("header only") << packet.left(11) << 0;
    QTest::newRow("340 bytes, no trailer") << packet.left(340) << 0;
    QTest::newRow("trailer not yet whole") << packet.left(343) << 0;
    QTest::newRow("payload ending in CR LF CR LF") << (packet.left(336) + "\r\n\r\n") << 0;
    QTest::newRow("whole, the next one begun") << packet + "@1\x18" << 344;
}

void TestCameraAssembler::partialPacket()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, consumed);
    CameraAssembler assembler(*m_block);
    const CameraStep step = assembler.process(buffer, kImei, imagePath(), QString(), kNow);
    QCOMPARE(step.consumedBytes, consumed);
    QCOMPARE(step.complete, consumed > 0);
    QCOMPARE(step.rawViewText.left(33),
             QStringLiteral("Camera:2 Packet:4 Bytes:%1\r\n\r\n40 31 18 ").arg(buffer.size()).left(33));
    QVERIFY(step.rawViewText.endsWith(QString::fromLatin1(buffer.right(1).toHex()) + ' '));
    // The packet lands in its slot, with the end marker behind it, once it is whole.
    QCOMPARE(m_block->copy(632 + 4 * 330, 332),
             consumed ? QByteArray(330, 'q') + "\xff\xd9" : QByteArray(332, '\0'));
    QVERIFY(!QDir(imagePath()).exists());
}

void TestCameraAssembler::progress_data()
{
    QTest::addColumn<int>("sequence");
    QTest::addColumn<bool>("last");
    QTest::addColumn<int>("value");
    QTest::newRow("first") << 0 << false << 0;
    QTest::newRow("50") << 50 << false << 44;
    QTest::newRow("last early") << 3 << true << 44;
}

void TestCameraAssembler::progress()
{
    QFETCH(int, sequence);
    QFETCH(bool, last);
    QFETCH(int, value);
    CameraAssembler assembler(*m_block);
    const CameraStep step =
        assembler.process(cameraPacket(4, sequence, last, QByteArray()), kImei, imagePath(), QString(), kNow);
    QCOMPARE(step.progressText, QStringLiteral("Camera 4 Data"));
    QCOMPARE(step.progressMaximum, 44);
    QCOMPARE(step.progressValue, value);
    QCOMPARE(step.rawViewAppend, last ? QStringLiteral("\r\nLast Packet of Image") : QString());
}

void TestCameraAssembler::caption_data()
{
    QTest::addColumn<int>("camera");
    QTest::addColumn<QString>("orientation");
    QTest::addColumn<QString>("caption");
    QTest::newRow("300 for camera 3") << 3 << "300" << QStringLiteral("Camera 3 (120\u00b0)");
    QTest::newRow("not a number") << 1 << "?" << QStringLiteral("Camera 1 (0\u00b0)");
    QTest::newRow("wraps") << 4 << "359" << QStringLiteral("Camera 4 (269\u00b0)");
    QTest::newRow("negative") << 4 << "-1" << QStringLiteral("Camera 4");
    QTest::newRow("infinite") << 1 << "inf" << QStringLiteral("Camera 1 (0\u00b0)");
}

void TestCameraAssembler::caption()
{
    QFETCH(int, camera);
    QFETCH(QString, orientation);
    QFETCH(QString, caption);
    QCOMPARE(CameraAssembler::caption(camera, orientation), caption);
}

void TestCameraAssembler::headerRestoredWhenFileFails()
{
    // Another transfer left its bytes where the header goes.
    QVERIFY(m_block->store(0, QByteArray(2000, 'A')));
    // A folder that cannot be created: its parent is a file.
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    CameraAssembler assembler(*m_block);
    WriteHealth health;
    QSignalSpy failed(&health, &WriteHealth::failed);
    const CameraStep step =
        assembler.process(cameraPacket(1, 0, true, QByteArray(330, 'r')), kImei,
                          blocker.fileName() + QStringLiteral("/Image"), "90", kNow, &health);
    QCOMPARE(failed.size(), 1);
    QVERIFY(step.filePath.isEmpty());
    // Still shown, whole.
    QCOMPARE(step.picture, JpegHeader::bytes() + QByteArray(330, 'r') + "\xff\xd9");
}

void TestCameraAssembler::lastPacketSlot_data()
{
    QTest::addColumn<int>("sequence");
    QTest::addColumn<int>("fileBytes"); // 0: the picture cannot be whole and is dropped
    QTest::newRow("195, the highest slot") << 195 << 65314;
    QTest::newRow("196") << 196 << 0;
    QTest::newRow("255") << 255 << 0;
}

// Nothing outside the block is touched (the sanitizer build checks that).
void TestCameraAssembler::lastPacketSlot()
{
    QFETCH(int, sequence);
    QFETCH(int, fileBytes);
    CameraAssembler assembler(*m_block);
    assembler.process(cameraPacket(1, 0, false, QByteArray(330, 't')), kImei, imagePath(), QString(), kNow);
    const QByteArray before = m_block->copy(0, AssemblyBuffer::kSizeBytes);
    const CameraStep step = assembler.process(cameraPacket(1, sequence, true, QByteArray(330, 'u')), kImei,
                                              imagePath(), QString(), kNow);
    QCOMPARE(step.consumedBytes, 344);
    QCOMPARE(step.progressValue, 44);
    const QByteArray file = testsupport::fileBytes(step.filePath);
    QCOMPARE(file.size(), fileBytes);
    QCOMPARE(step.picture, file);
    if (fileBytes) {
        QCOMPARE(file.right(332), QByteArray(330, 'u') + "\xff\xd9");
    } else {
        QVERIFY(step.debugLines.last().startsWith(QStringLiteral("!!-- Error: ")));
        QCOMPARE(m_block->copy(0, AssemblyBuffer::kSizeBytes), before);
    }
}

// Picture A fills slots 0 to 2; picture B lacks its packet 1. Its slot must
// not show A's bytes, nor the end marker that followed B's packet 0.
void TestCameraAssembler::missingPacketsAreZeroNotAnEarlierPicture()
{
    CameraAssembler assembler(*m_block);
    for (int n = 0; n < 3; ++n)
        assembler.process(cameraPacket(2, n, n == 2, QByteArray(330, char('a' + n))), kImei, imagePath(), "0",
                          kNow);
    const QByteArray laterTime("\x18\x05\x31\x02\x57\x13", 6);
    assembler.process(cameraPacket(2, 0, false, QByteArray(330, 'x'), laterTime), kImei, imagePath(), "0",
                      kNow);
    const CameraStep step = assembler.process(cameraPacket(2, 2, true, QByteArray(330, 'z'), laterTime),
                                              kImei, imagePath(), "0", kNow);
    QCOMPARE(step.missingPackets, 1);
    QCOMPARE(step.debugLines.at(1),
             QStringLiteral("!!-- Error: Image lacks 1 of its 3 packets; their bytes are zero"));
    const QByteArray file = testsupport::fileBytes(step.filePath);
    QCOMPARE(file.mid(632, 990), QByteArray(330, 'x') + QByteArray(330, '\0') + QByteArray(330, 'z'));
    QCOMPARE(step.picture, file);
}

// The station took two pictures within one second, or sent one twice.
void TestCameraAssembler::samePictureNameTwiceKeepsBoth()
{
    CameraAssembler assembler(*m_block);
    QStringList names;
    for (const char fill : {'p', 'q'}) {
        const CameraStep step =
            assembler.process(cameraPacket(3, 0, true, QByteArray(330, fill)), kImei, imagePath(), "0", kNow);
        names << QFileInfo(step.filePath).fileName();
        QCOMPARE(testsupport::fileBytes(step.filePath).mid(632, 330), QByteArray(330, fill));
    }
    QCOMPARE(names, QStringList({"300234010753370_20180531_023713Z_KTRtime_Cam3.jpg",
                                 "300234010753370_20180531_023713Z_KTRtime_Cam3_2.jpg"}));
}

QTEST_GUILESS_MAIN(TestCameraAssembler)
#include "tst_cameraassembler.moc"
