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
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#endif

// Faults from outside the program: a data folder that fills up, turns
// read-only or cannot be created.
namespace {
const QString kImei = QStringLiteral("300234063909321");
const QDateTime kNowUtc(QDate(2018, 5, 31), QTime(2, 40), Qt::UTC);

// Packet number i carries the station time 03:mm:ss with i = 60 mm + ss.
QByteArray weatherPacket(int number)
{
    return "@I:300234063909321\r\n@014\r\nB:12.74:2:004711:3C:0F:A2\r\n" +
           QString::asprintf("T:18/05/31,03:%02d:%02d", number / 60, number % 60).toLatin1() +
           "\r\nTA:-5.4\r\nBA:983.20:2976\r\nRH:85\r\nXA:" + QByteArray(300, 'x') + "\r\n~\r\nSND\r\n";
}

QByteArray binaryPacket(char kind, int flags, int sequence)
{
    QByteArray packet =
        QByteArray("@") + kind + QByteArray::fromHex("180531023713") + char(flags) + char(sequence);
    for (int i = 0; i < ReceiveStream::kPayloadBytes; ++i)
        packet += char((i * 13 + sequence) & 0xff);
    return kind == '1' ? packet + "\r\n\r\n" : packet;
}

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
    void diskFullMidStream_data();
    void diskFullMidStream();
    void dataFolderCannotBeWritten_data();
    void dataFolderCannotBeWritten();
};

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
    const QString filler = dir.filePath("tmpfs/filler");
#ifdef Q_OS_LINUX
    Mount tmpfs{dir.filePath("tmpfs"), QString()};
    if (fault == "tmpfs") {
        QVERIFY(QDir().mkpath(tmpfs.path));
        if (!tmpfs.mount("tmpfs", "tmpfs", 0, "size=64k"))
            QSKIP(qPrintable("cannot mount a tmpfs (" + tmpfs.error +
                             "); the file-size limit row covers the fault"));
        root = tmpfs.path + "/data";
    }
#else
    if (fault == "tmpfs")
        QSKIP("tmpfs mounts need Linux; the file-size limit row covers the fault");
#endif
    PacketLogger logger(root);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto setFull = [&](bool full) {
        if (fault == "rlimit") {
            rlimit limited = saved;
            // The raw log is larger: it fails at once, the CSV log part-way.
            limited.rlim_cur = rlim_t(QFileInfo(logger.csvFile()).size() + 600);
            QVERIFY(setrlimit(RLIMIT_FSIZE, full ? &limited : &saved) == 0);
        } else if (full) {
            QFile file(filler);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray page(4096, 'f');
            for (int i = 0; i < 64 && file.write(page) == page.size(); ++i) {
            }
        } else {
            QVERIFY(QFile::remove(filler));
        }
    };
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QSignalSpy recovered(&logger.health, &WriteHealth::recovered);

    QByteArray expectedRaw;
    QByteArray expectedCsv = CsvLog::header() + "\r\n";
    for (int i = 0; i < 80; ++i) {
        if (i == 20 || i == 60)
            setFull(i == 20);
        const QPair<bool, bool> written = logger.log(i);
        const bool full = i >= 20 && i < 60;
        if (!full || i == 59)
            QVERIFY2(written == qMakePair(!full, !full), qPrintable(QString::number(i)));
        if (written.first)
            expectedRaw += RawLog::weatherEntry(weatherPacket(i), kNowUtc);
        if (written.second)
            expectedCsv += CsvLog::row(logger.parser);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(testsupport::fileBytes(logger.rawFile()), expectedRaw);
    QCOMPARE(testsupport::fileBytes(logger.csvFile()), expectedCsv);
    QCOMPARE(failed.size(), 2); // the raw log and the CSV log, once each
    QCOMPARE(recovered.size(), 2);
#endif
}

void TestFaultInjection::dataFolderCannotBeWritten_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("reason");
    // Below a regular file the folder cannot be created, even with the permissions of root.
    QTest::newRow("below a regular file") << false << "cannot be created";
    QTest::newRow("read-only bind mount") << true << "Read-only";
}

// Every writer fails, says so once, and writes again once the obstacle is gone.
void TestFaultInjection::dataFolderCannotBeWritten()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString blocker = dir.filePath("blocker");
    PacketLogger logger(readOnly ? dir.filePath("data") : blocker + "/KTR Control Data");
    const DataFolder &folders = logger.folders;
#ifdef Q_OS_LINUX
    Mount bind{folders.root(), QString()};
#endif
    if (!readOnly) {
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
    } else {
#ifndef Q_OS_LINUX
        QSKIP("read-only bind mounts need Linux; the other row covers a folder that cannot be written");
#else
        for (const QString &path :
             {folders.rawPath(), folders.csvPath(), folders.imagePath(), folders.audioPath()})
            QVERIFY(DataFolder::ensure(path));
        const QByteArray root = QFile::encodeName(bind.path);
        if (!bind.mount(root.constData(), nullptr, MS_BIND, nullptr) ||
            !bind.mount(nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr))
            QSKIP(qPrintable("cannot remount the data folder read-only (" + bind.error + ")"));
#endif
    }
    QSignalSpy failed(&logger.health, &WriteHealth::failed);
    QSignalSpy recovered(&logger.health, &WriteHealth::recovered);
    CameraAssembler camera;
    AcousticAssembler acoustic;
    const auto writeAll = [&] {
        const QPair<bool, bool> logged = logger.log(0);
        const CameraStep picture = camera.process(binaryPacket('1', 0x2b, 0), kImei, folders.imagePath(),
                                                  "90", kNowUtc, &logger.health);
        const AcousticStep recording =
            acoustic.process(binaryPacket('2', 0x05, 0), kImei, folders.audioPath(), kNowUtc, &logger.health);
        // The packets are taken off the line and shown whether or not they were saved.
        if (!picture.complete || !recording.complete || picture.picture.isEmpty())
            return -1;
        return int(logged.first) + int(logged.second) + int(!picture.filePath.isEmpty()) +
               int(recording.filePaths.size());
    };
    QCOMPARE(writeAll(), 0);
    QCOMPARE(writeAll(), 0);
    QCOMPARE(failed.size(), 4);
    for (const QVariantList &failure : qAsConst(failed))
        QVERIFY2(failure.at(1).toString().contains(reason), qPrintable(failure.at(1).toString()));

#ifdef Q_OS_LINUX
    if (readOnly)
        QVERIFY(bind.mount(nullptr, nullptr, MS_REMOUNT | MS_BIND, nullptr));
#endif
    if (!readOnly)
        QVERIFY(QFile::remove(blocker));
    QCOMPARE(writeAll(), 5);
    QCOMPARE(recovered.size(), 4);
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
