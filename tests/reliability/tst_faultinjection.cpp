// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "link/receivestream.h"
#include "storage/csvlog.h"
#include "storage/datafolder.h"
#include "storage/filesignals.h"
#include "storage/rawlog.h"
#include "storage/writehealth.h"
#include "weather/weatherparser.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#endif

// Faults from outside the program: line noise between transmissions, and a
// data folder that fills up, turns read-only or cannot be created.
namespace {
const QString kImei = QStringLiteral("300234063909321");
const QDateTime kNowUtc(QDate(2018, 5, 31), QTime(2, 40), Qt::UTC);

// Packet number i carries the station time 03:mm:ss with i = 60 mm + ss.
QByteArray weatherPacket(int number, bool snd = true)
{
    QByteArray packet = "@I:300234063909321\r\n@014\r\nB:12.74:2:004711:3C:0F:A2\r\n" +
                        QString::asprintf("T:18/05/31,03:%02d:%02d", number / 60, number % 60).toLatin1() +
                        "\r\nTA:-5.4\r\nBA:983.20:2976\r\nRH:85\r\nXA:" + QByteArray(300, 'x') + "\r\n~\r\n";
    return snd ? packet + "SND\r\n" : packet;
}

QByteArray binaryPacket(char kind, int flags, int sequence)
{
    QByteArray packet =
        QByteArray("@") + kind + QByteArray::fromHex("180531023713") + char(flags) + char(sequence);
    for (int i = 0; i < ReceiveStream::kPayloadBytes; ++i)
        packet += char((i * 13 + sequence) & 0xff);
    return kind == '1' ? packet + "\r\n\r\n" : packet;
}

// Line noise: any byte but "@", so that noise never starts a packet itself.
QByteArray noise(QRandomGenerator &random, int bytes)
{
    QByteArray out(bytes, '\0');
    for (char &c : out) {
        do {
            c = char(random.bounded(256));
        } while (c == '@');
    }
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window's receive pass over a stream, counting what it frames.
struct Receiver
{
    explicit Receiver(const QString &root) : folders(root) {}

    DataFolder folders;
    ReceiveStream stream;
    WeatherParser parser;
    CameraAssembler camera;
    AcousticAssembler acoustic;
    QStringList weatherTimes; // "T" line of each weather packet processed
    QList<int> cameraPackets; // sequence numbers of the stored camera packets
    QList<int> acousticPackets;
    QStringList files;
    bool rerunPending = false;

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            stream.tick();
            // The single shot after an "SND" wait fires 250 ms after the pass.
            if (rerunPending && i == 1) {
                rerunPending = false;
                stream.sndRerun();
                pass(QByteArray());
            }
        }
    }

    // One packet step; true to go on framing.
    bool step(const PacketStep &step, QList<int> &stored)
    {
        if (!step.complete)
            return false;
        stored << step.sequence;
        for (const WriteResult &write : step.writes)
            files << write.path;
        stream.consume(step.consumedBytes);
        return !stream.buffer().isEmpty();
    }

    void pass(const QByteArray &bytes)
    {
        stream.begin(bytes);
        for (bool framing = true; framing;) {
            switch (stream.frame()) {
            case ReceiveStream::Kind::Weather:
                parser.setPacketText(stream.text());
                weatherTimes << parser.getField(QStringLiteral("T"), -1);
                stream.finishWeather();
                framing = false;
                break;
            case ReceiveStream::Kind::SndWait:
                rerunPending = true;
                return;
            case ReceiveStream::Kind::Camera:
                framing = step(camera.process(stream.buffer(), kImei, folders.imagePath(), "0", kNowUtc),
                               cameraPackets);
                break;
            case ReceiveStream::Kind::Acoustic:
                framing = step(acoustic.process(stream.buffer(), kImei, folders.audioPath(), kNowUtc),
                               acousticPackets);
                break;
            case ReceiveStream::Kind::Nothing:
                framing = false;
                break;
            }
        }
        stream.endPass();
    }

    // One transmission in chunks with less than the idle gap between them,
    // then the silence that ends it.
    void transmit(const QByteArray &bytes, int chunkBytes)
    {
        for (int at = 0; at < bytes.size(); at += chunkBytes) {
            pass(bytes.mid(at, chunkBytes));
            ticks(at % 3);
        }
        ticks(ReceiveStream::kIdleGapTicks + 1);
    }
};

// What the window writes for one weather packet: its raw entry and its CSV
// row, each reported to the one WriteHealth.
struct PacketLogger
{
    explicit PacketLogger(const QString &root) : folders(root) {}

    DataFolder folders;
    WeatherParser parser;
    WriteHealth health;

    // Which of the two writes landed.
    QPair<bool, bool> log(int number)
    {
        const QByteArray packet = weatherPacket(number);
        parser.setPacketText(QString::fromLatin1(packet));
        const bool raw =
            RawLog::append(folders.rawPath(), kImei, RawLog::weatherEntry(packet, kNowUtc), kNowUtc, &health)
                .ok;
        return {raw, CsvLog::append(folders.csvPath(), parser, kNowUtc, &health).ok};
    }
    QString rawFile() const { return RawLog::filePath(folders.rawPath(), kImei, kNowUtc); }
    QString csvFile() const { return CsvLog::filePath(folders.csvPath(), kImei, kNowUtc); }
};

#ifdef Q_OS_LINUX
// A mount made for the test, undone when it goes (before its folder does).
struct Mount
{
    QString path;
    QString error;
    bool mount(const char *source, const char *type, unsigned long flags, const char *options)
    {
        if (::mount(source, QFile::encodeName(path).constData(), type, flags, options) == 0)
            return true;
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ~Mount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
};
#endif

} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(FileSignals::ignoreFileSizeLimit()); }
    void noiseBetweenTransmissions_data();
    void noiseBetweenTransmissions();
    void brokenTransmissionsDoNotHideTheNextPacket();

    void diskFullMidStream_data();
    void diskFullMidStream();
    void unwritableDataFolder();
    void readOnlyDataFolder();
    void logPathBecameFolder();
};

void TestFaultInjection::noiseBetweenTransmissions_data()
{
    QTest::addColumn<int>("noiseBytes");
    QTest::addColumn<int>("chunkBytes");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("short bursts, byte by byte") << 8 << 1 << 1u;
    QTest::newRow("long bursts, serial-sized chunks") << 700 << 64 << 3u;
    QTest::newRow("bursts above the buffer bound") << ReceiveStream::kMaxBufferBytes + 500 << 4096 << 5u;
}

void TestFaultInjection::noiseBetweenTransmissions()
{
    QFETCH(int, noiseBytes);
    QFETCH(int, chunkBytes);
    QFETCH(quint32, seed);
    QTemporaryDir dir;
    QRandomGenerator random(seed);
    Receiver receiver(dir.path());

    // Each packet is a transmission of its own; noise comes in bursts of its
    // own, and also trails a camera packet.
    QStringList sentTimes;
    for (int i = 0; i < 4; ++i) {
        receiver.transmit(noise(random, noiseBytes), chunkBytes);
        receiver.transmit(weatherPacket(i, i != 2), chunkBytes);
        sentTimes << QStringLiteral("18/05/31,03:00:%1").arg(i, 2, 10, QLatin1Char('0'));
        receiver.transmit(noise(random, noiseBytes), chunkBytes);
        receiver.transmit(binaryPacket('1', 0x10 | (i == 3 ? 0x0b : 0), i) + noise(random, 3), chunkBytes);
        receiver.transmit(binaryPacket('2', 0x02 | (i == 3 ? 1 : 0), i), chunkBytes);
    }
    receiver.ticks(3);

    QCOMPARE(receiver.weatherTimes, sentTimes);
    QCOMPARE(receiver.cameraPackets, (QList<int>{0, 1, 2, 3}));
    QCOMPARE(receiver.acousticPackets, (QList<int>{0, 1, 2, 3}));
    QCOMPARE(receiver.files.size(), 2);
    QCOMPARE(readFile(receiver.files.at(0)).size(), CameraAssembler::pictureBytes(3));
    QCOMPARE(readFile(receiver.files.at(1)).size(), 4 * ReceiveStream::kPayloadBytes);
    QVERIFY(receiver.stream.buffer().size() <= ReceiveStream::kMaxBufferBytes);
}

void TestFaultInjection::brokenTransmissionsDoNotHideTheNextPacket()
{
    QTemporaryDir dir;
    Receiver receiver(dir.path());
    // Cut-off packets, a lone header and a runaway kind line, each ended by
    // silence; the complete packet after each one still counts once.
    const QByteArray weather = weatherPacket(0);
    const QByteArray camera = binaryPacket('1', 0x1b, 0);
    const QByteArrayList broken = {
        weather.left(weather.indexOf('~')),
        camera.left(200),
        camera.left(ReceiveStream::kBinaryPacketBytes), // without its trailer
        "@I:300234063909321\r\n@3\r\n~\r\n",
        "@I:300234063909321\r\n" + QByteArray(5000, '#'),
        QByteArray(20, '\0') + weather,
    };
    for (const QByteArray &fault : broken) {
        receiver.transmit(fault, 64);
        receiver.transmit(weather, 64);
        receiver.transmit(camera, 64);
    }
    QCOMPARE(receiver.weatherTimes.size(), broken.size());
    QCOMPARE(receiver.cameraPackets.size(), broken.size());
}

void TestFaultInjection::diskFullMidStream_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("64 KiB tmpfs filled up") << "tmpfs";
    QTest::newRow("file-size limit (SIGXFSZ)") << "rlimit";
}

// 80 packets; the disk is full from packet 20 until packet 60. The appends
// that hit the fault are cut short part-way; they must leave no trace.
void TestFaultInjection::diskFullMidStream()
{
#ifndef Q_OS_UNIX
    QSKIP("needs RLIMIT_FSIZE");
#else
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QString root = dir.filePath("data");
    std::function<void()> fill;
    std::function<void()> makeRoom;
#ifdef Q_OS_LINUX
    Mount tmpfs{dir.filePath("tmpfs"), QString()};
#endif
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    if (fault == "tmpfs") {
#ifndef Q_OS_LINUX
        QSKIP("tmpfs mounts need Linux; the file-size limit row covers the fault");
#else
        QVERIFY(QDir().mkpath(tmpfs.path));
        if (!tmpfs.mount("tmpfs", "tmpfs", 0, "size=64k"))
            QSKIP(qPrintable("cannot mount a tmpfs (" + tmpfs.error +
                             "); the file-size limit row covers the fault"));
        root = tmpfs.path + "/data";
        fill = [&] {
            QFile filler(tmpfs.path + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray page(4096, 'f');
            for (int i = 0; i < 64 && filler.write(page) == page.size(); ++i) {
            }
        };
        makeRoom = [&] { QVERIFY(QFile::remove(tmpfs.path + "/filler")); };
#endif
    }
    PacketLogger logger(root);
    if (fault == "rlimit") {
        fill = [&] {
            rlimit limited = saved;
            // The raw log is larger: it fails at once, the CSV log part-way.
            limited.rlim_cur = rlim_t(QFileInfo(logger.csvFile()).size() + 600);
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        };
        makeRoom = [&] { QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0); };
    }
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QSignalSpy recovered(&logger.health, &WriteHealth::recovered);

    QByteArray expectedRaw;
    QStringList expectedTimes;
    QList<QPair<bool, bool>> landed;
    for (int i = 0; i < 80; ++i) {
        if (i == 20)
            fill();
        if (i == 60)
            makeRoom();
        const QPair<bool, bool> written = logger.log(i);
        landed << written;
        if (written.first)
            expectedRaw += RawLog::weatherEntry(weatherPacket(i), kNowUtc);
        if (written.second)
            expectedTimes << QString::asprintf("2018-05-31 03:%02d:%02d", i / 60, i % 60);
    }
    setrlimit(RLIMIT_FSIZE, &saved);

    for (int i = 0; i < 80; ++i) {
        if (i < 20 || i >= 60)
            QVERIFY2(landed[i].first && landed[i].second, qPrintable(QString::number(i)));
    }
    QVERIFY(!landed[59].first && !landed[59].second);
    QCOMPARE(readFile(logger.rawFile()), expectedRaw);
    QList<QByteArray> lines = readFile(logger.csvFile()).split('\n');
    QCOMPARE(lines.takeFirst(), CsvLog::header() + '\r');
    QCOMPARE(lines.takeLast(), QByteArray());
    QStringList times;
    for (const QByteArray &line : qAsConst(lines)) {
        QVERIFY(line.endsWith('\r'));
        QCOMPARE(line.split(',').size(), CsvLog::kColumns);
        times << QString::fromLatin1(line.left(line.indexOf(',')));
    }
    QCOMPARE(times, expectedTimes);
    QCOMPARE(failed.size(), 2); // the raw log and the CSV log, once each
    QCOMPARE(recovered.size(), 2);
#endif
}

// The data folder lies below a regular file, so it cannot be created, even
// with the permissions of root. Every writer fails, says so once, and writes
// again once the obstacle is gone.
void TestFaultInjection::unwritableDataFolder()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("blocker");
    QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
    PacketLogger logger(blocker + "/KTR Control Data");
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QSignalSpy recovered(&logger.health, &WriteHealth::recovered);
    CameraAssembler camera;
    AcousticAssembler acoustic;
    const auto writeAll = [&] {
        const QPair<bool, bool> logged = logger.log(0);
        const CameraStep picture = camera.process(binaryPacket('1', 0x2b, 0), kImei,
                                                  logger.folders.imagePath(), "90", kNowUtc, &logger.health);
        const AcousticStep recording = acoustic.process(binaryPacket('2', 0x05, 0), kImei,
                                                        logger.folders.audioPath(), kNowUtc, &logger.health);
        // The packets are taken off the line and shown whether or not they were saved.
        if (!picture.complete || !recording.complete || picture.picture.isEmpty())
            return -1;
        return int(logged.first) + int(logged.second) + int(!picture.filePath.isEmpty()) +
               int(recording.filePaths.size());
    };
    QCOMPARE(writeAll(), 0);
    QCOMPARE(writeAll(), 0);
    QCOMPARE(failed.size(), 4);
    QVERIFY(failed.at(0).at(1).toString().contains("cannot be created"));
    QVERIFY(QFile::remove(blocker));
    QCOMPARE(writeAll(), 5);
    QCOMPARE(recovered.size(), 4);
}

void TestFaultInjection::readOnlyDataFolder()
{
#ifndef Q_OS_LINUX
    QSKIP("read-only bind mounts need Linux; unwritableDataFolder covers a folder that cannot be written");
#else
    QTemporaryDir dir;
    PacketLogger logger(dir.filePath("data"));
    for (const QString &path :
         {logger.folders.rawPath(), logger.folders.csvPath(), logger.folders.imagePath()})
        QVERIFY(DataFolder::ensure(path));
    Mount bind{logger.folders.root(), QString()};
    const QByteArray root = QFile::encodeName(bind.path);
    if (!bind.mount(root.constData(), nullptr, MS_BIND, nullptr) ||
        !bind.mount(nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr))
        QSKIP(qPrintable("cannot remount the data folder read-only (" + bind.error + ")"));
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QSignalSpy recovered(&logger.health, &WriteHealth::recovered);
    CameraAssembler camera;
    const auto picture = [&] {
        return camera.process(binaryPacket('1', 0x1b, 0), kImei, logger.folders.imagePath(), "0", kNowUtc,
                              &logger.health);
    };

    QCOMPARE(logger.log(0), qMakePair(false, false));
    QVERIFY(picture().filePath.isEmpty());
    QCOMPARE(failed.size(), 3);
    for (const QVariantList &failure : qAsConst(failed))
        QVERIFY2(failure.at(1).toString().contains("Read-only"), qPrintable(failure.at(1).toString()));

    QVERIFY(bind.mount(nullptr, nullptr, MS_REMOUNT | MS_BIND, nullptr));
    QCOMPARE(logger.log(1), qMakePair(true, true));
    QVERIFY(!picture().filePath.isEmpty());
    QCOMPARE(recovered.size(), 3);
    QVERIFY(readFile(logger.csvFile()).startsWith(CsvLog::header() + "\r\n"));
#endif
}

void TestFaultInjection::logPathBecameFolder()
{
    QTemporaryDir dir;
    PacketLogger logger(dir.path());
    QVERIFY(QDir().mkpath(logger.csvFile()));
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QCOMPARE(logger.log(0), qMakePair(true, false));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), logger.csvFile());
    QVERIFY(QDir(logger.csvFile()).removeRecursively());
    QCOMPARE(logger.log(1), qMakePair(true, true));
    QCOMPARE(readFile(logger.csvFile()).count("\r\n"), 2);
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
