// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/datafolder.h"
#include "forwarding/mosbd_test.h"
#include "forwarding/qmythread.h"
#include "forwarding/sbdmessage.h"
#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "storage/rawlog.h"
#include "link/receivestream.h"
#include "storage/csvlog.h"
#include "weather/weatherparser.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

// Faults from outside the program: line noise between transmissions, a data
// folder that cannot be written or does not exist, and a forwarding receiver
// that stalls or dies in the middle of a message.
namespace {
const QString kImei = QStringLiteral("300234063909321");
const QDateTime kNowUtc(QDate(2018, 5, 31), QTime(2, 40), Qt::UTC);

QByteArray weatherPacket(int number, bool snd = true)
{
    QByteArray packet = "@I:300234063909321\r\n@014\r\nB:12.74:2:004711:3C:0F:A2\r\nT:18/05/31,02:37:"
                        + QByteArray::number(10 + number) + "\r\nTA:-5.4\r\nBA:983.20:2976\r\nRH:85\r\n~\r\n";
    if (snd)
        packet += "SND\r\n";
    return packet;
}

QByteArray binaryPacket(char kind, int flags, int sequence)
{
    QByteArray packet("@");
    packet += kind;
    packet += QByteArray::fromHex("180531023713");
    packet += char(flags);
    packet += char(sequence);
    for (int i = 0; i < ReceiveStream::kPayloadBytes; ++i)
        packet += char((i * 13 + sequence) & 0xff);
    if (kind == '1')
        packet += "\r\n\r\n";
    return packet;
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

// The window's receive pass over a stream, counting what it frames.
struct Receiver
{
    Receiver(const QString &imageFolder, const QString &audioFolder)
        : imagePath(imageFolder), audioPath(audioFolder)
    {
    }

    ReceiveStream stream;
    WeatherParser parser;
    CameraAssembler camera;
    AcousticAssembler acoustic;
    QString imagePath;
    QString audioPath;
    QStringList weatherTimes;   // "T" line of each weather packet processed
    QList<int> cameraPackets;   // sequence numbers of the stored camera packets
    QList<int> acousticPackets; // the same for acoustic packets
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
            case ReceiveStream::Kind::Camera: {
                const CameraStep step =
                    camera.process(stream.buffer(), parser.getImei(), imagePath, parser.getOrientation(), kNowUtc);
                framing = step.complete;
                if (step.complete) {
                    cameraPackets << step.sequence;
                    if (!step.filePath.isEmpty())
                        files << step.filePath;
                    stream.consume(step.consumedBytes);
                    framing = !stream.buffer().isEmpty();
                }
                break;
            }
            case ReceiveStream::Kind::Acoustic: {
                const AcousticStep step = acoustic.process(stream.buffer(), parser.getImei(), audioPath, kNowUtc);
                framing = step.complete;
                if (step.complete) {
                    acousticPackets << step.sequence;
                    files += step.filePaths;
                    stream.consume(step.consumedBytes);
                    framing = !stream.buffer().isEmpty();
                }
                break;
            }
            case ReceiveStream::Kind::Nothing:
                framing = false;
                break;
            }
        }
        stream.endPass();
    }

    // One transmission, delivered in chunks with less than the idle gap
    // between them, followed by a silence that ends it.
    void transmit(const QByteArray &bytes, int chunkBytes)
    {
        for (int at = 0; at < bytes.size(); at += chunkBytes) {
            pass(bytes.mid(at, chunkBytes));
            ticks(at % 3); // 0 to 200 ms between the chunks of one transmission
        }
        ticks(ReceiveStream::kIdleGapTicks + 1);
    }
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef Q_OS_UNIX
// A listening socket on 127.0.0.1 that behaves like a receiver at the end of
// a slow link: a tiny receive buffer and small segments. The sender's kernel
// then takes only a few kilobytes of a message ahead of what this side has
// read (on the loopback link it would otherwise swallow a whole message at
// once, and no failure of the receiver could ever reach the sender).
bool listenAsSlowReceiver(QTcpServer &server)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const int bufferBytes = 1024;
    const int segmentBytes = 536;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes) != 0
        || ::setsockopt(fd, IPPROTO_TCP, TCP_MAXSEG, &segmentBytes, sizeof segmentBytes) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0
        || !server.setSocketDescriptor(fd)) {
        ::close(fd);
        return false;
    }
    return true;
}
#endif
} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void noiseBetweenTransmissions_data();
    void noiseBetweenTransmissions();
    void brokenTransmissionsDoNotHideTheNextPacket();

    void unwritableDataFolder_data();
    void unwritableDataFolder();
    void readOnlyDataFolder();
    void missingDataFolderIsCreated();

    void receiverDiesMidMessage();
    void stalledReceiverEndsWithinBoundedWait();
};

void TestFaultInjection::noiseBetweenTransmissions_data()
{
    QTest::addColumn<int>("noiseBytes");
    QTest::addColumn<int>("chunkBytes");
    QTest::addColumn<quint32>("seed");

    QTest::newRow("short bursts, byte by byte") << 8 << 1 << 1u;
    QTest::newRow("short bursts, small chunks") << 24 << 7 << 2u;
    QTest::newRow("long bursts, serial-sized chunks") << 700 << 64 << 3u;
    QTest::newRow("long bursts, whole transmissions") << 3000 << 100000 << 4u;
    QTest::newRow("bursts above the buffer bound") << ReceiveStream::kMaxBufferBytes + 500 << 4096 << 5u;
}

void TestFaultInjection::noiseBetweenTransmissions()
{
    QFETCH(int, noiseBytes);
    QFETCH(int, chunkBytes);
    QFETCH(quint32, seed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator random(seed);
    Receiver receiver(dir.filePath("Image"), dir.filePath("Audio"));

    // Each packet is a transmission of its own, as the station sends them;
    // noise comes in bursts of its own, and also trails some packets.
    QStringList sentTimes;
    for (int i = 0; i < 4; ++i) {
        receiver.transmit(noise(random, noiseBytes), chunkBytes);
        receiver.transmit(weatherPacket(i, i != 2), chunkBytes);
        sentTimes << QStringLiteral("18/05/31,02:37:%1").arg(10 + i);
        receiver.transmit(noise(random, noiseBytes), chunkBytes);
        receiver.transmit(binaryPacket('1', 0x10 | (i == 3 ? 0x0b : 0), i) + noise(random, 3), chunkBytes);
        receiver.transmit(binaryPacket('2', 0x02 | (i == 3 ? 1 : 0), i), chunkBytes);
    }
    receiver.ticks(3);

    QCOMPARE(receiver.weatherTimes, sentTimes);
    QCOMPARE(receiver.cameraPackets, (QList<int>{0, 1, 2, 3}));
    QCOMPARE(receiver.acousticPackets, (QList<int>{0, 1, 2, 3}));
    // The picture and the MP3 recording both came out whole.
    QCOMPARE(receiver.files.size(), 2);
    QCOMPARE(readFile(receiver.files.at(0)).size(), CameraAssembler::pictureBytes(3));
    QCOMPARE(readFile(receiver.files.at(1)).size(), 4 * ReceiveStream::kPayloadBytes);
    QVERIFY(receiver.stream.buffer().size() <= ReceiveStream::kMaxBufferBytes);
}

void TestFaultInjection::brokenTransmissionsDoNotHideTheNextPacket()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Receiver receiver(dir.filePath("Image"), dir.filePath("Audio"));

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

void TestFaultInjection::unwritableDataFolder_data()
{
    QTest::addColumn<QString>("writer");
    QTest::newRow("raw log") << "raw";
    QTest::newRow("CSV log") << "csv";
    QTest::newRow("picture") << "camera";
    QTest::newRow("recording") << "acoustic";
}

// The data folder lies below a regular file, so it cannot be created, even
// with the permissions of root. Every writer fails quietly, and writes
// again once the obstacle is gone.
void TestFaultInjection::unwritableDataFolder()
{
    QFETCH(QString, writer);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString blocker = dir.filePath("blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const DataFolder folders(blocker + "/KTR Control Data");

    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(weatherPacket(0)));
    CameraAssembler camera;
    AcousticAssembler acoustic;
    const auto write = [&]() -> bool {
        if (writer == "raw")
            return RawLog::append(folders.rawPath(), kImei, weatherPacket(0), kNowUtc);
        if (writer == "csv")
            return CsvLog::append(folders.csvPath(), parser, kNowUtc);
        if (writer == "camera") {
            const CameraStep step =
                camera.process(binaryPacket('1', 0x2b, 0), kImei, folders.imagePath(), "90", kNowUtc);
            // The packet is taken off the line and shown whether or not it was saved.
            return step.complete && step.last && !step.filePath.isEmpty();
        }
        const AcousticStep step = acoustic.process(binaryPacket('2', 0x05, 0), kImei, folders.audioPath(), kNowUtc);
        return step.complete && step.last && step.filePaths.size() == 2;
    };

    QVERIFY(!write());
    QVERIFY(!write()); // and again: nothing was left half done
    QVERIFY(!QFileInfo::exists(folders.root()));

    QVERIFY(QFile::remove(blocker));
    QVERIFY(write());
    QVERIFY(QFileInfo::exists(folders.root()));
}

void TestFaultInjection::readOnlyDataFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const DataFolder folders(dir.filePath("KTR Control Data"));
    QVERIFY(folders.createRoot());
    QVERIFY(DataFolder::ensure(folders.rawPath()));
    QVERIFY(DataFolder::ensure(folders.csvPath()));
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(weatherPacket(0)));

    const QFileDevice::Permissions readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    for (const QString &path : {folders.rawPath(), folders.csvPath()})
        QVERIFY(QFile::setPermissions(path, readable));
    QFile probe(QDir(folders.rawPath()).filePath("probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        QSKIP("folder permissions are not enforced for this user (root); unwritableDataFolder covers the case");
    }

    QVERIFY(!RawLog::append(folders.rawPath(), kImei, weatherPacket(0), kNowUtc));
    QVERIFY(!CsvLog::append(folders.csvPath(), parser, kNowUtc));

    const QFileDevice::Permissions writable = readable | QFileDevice::WriteOwner;
    for (const QString &path : {folders.rawPath(), folders.csvPath()})
        QVERIFY(QFile::setPermissions(path, writable));
    QVERIFY(RawLog::append(folders.rawPath(), kImei, weatherPacket(0), kNowUtc));
    QVERIFY(CsvLog::append(folders.csvPath(), parser, kNowUtc));
    // The CSV file starts with its header although the first attempt failed.
    const QByteArray csv = readFile(CsvLog::filePath(folders.csvPath(), kImei, kNowUtc));
    QVERIFY(csv.startsWith(CsvLog::header() + "\r\n"));
}

void TestFaultInjection::missingDataFolderIsCreated()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Neither the data folder nor its parent exist yet.
    const DataFolder folders(dir.filePath("gone/KTR Control Data"));
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(weatherPacket(0)));

    QVERIFY(RawLog::append(folders.rawPath(), kImei, weatherPacket(0), kNowUtc));
    QVERIFY(CsvLog::append(folders.csvPath(), parser, kNowUtc));
    CameraAssembler camera;
    const CameraStep picture = camera.process(binaryPacket('1', 0x1b, 0), kImei, folders.imagePath(), "0", kNowUtc);
    AcousticAssembler acoustic;
    const AcousticStep spectral = acoustic.process(binaryPacket('2', 0x01, 0), kImei, folders.audioPath(), kNowUtc);

    QCOMPARE(readFile(RawLog::filePath(folders.rawPath(), kImei, kNowUtc)), weatherPacket(0));
    QCOMPARE(readFile(CsvLog::filePath(folders.csvPath(), kImei, kNowUtc)).count("\r\n"), 2);
    QCOMPARE(readFile(picture.filePath).size(), CameraAssembler::pictureBytes(0));
    QCOMPARE(spectral.filePaths.size(), 1);
    QVERIFY(readFile(spectral.filePaths.at(0)).startsWith("Description: \n"));
}

// The receiver reads the first bytes of the message and then drops the
// connection: the attempt reports failure, within its bounded waits.
void TestFaultInjection::receiverDiesMidMessage()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a listening socket with a small receive buffer");
#else
    QTcpServer server;
    QVERIFY(listenAsSlowReceiver(server));
    int received = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&received, socket] {
            received += socket->read(100).size();
            socket->abort();
        });
    });

    QByteArray payload(SbdMessage::kMaxPayloadBytes, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 31);
    QMyThread attempt(payload, QStringLiteral("127.0.0.1"), server.serverPort(), kImei.toLatin1());
    QSignalSpy result(&attempt, &QMyThread::resultReady);
    QElapsedTimer clock;
    clock.start();
    attempt.start();
    QVERIFY(result.wait(mosbd_test::kConnectWaitMs + mosbd_test::kDrainWaitMs + 5000));
    QVERIFY(attempt.wait(5000));
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QVERIFY(received > 0);
    QVERIFY(received < SbdMessage::kOverheadBytes + payload.size());
    QVERIFY(clock.elapsed() < mosbd_test::kConnectWaitMs + mosbd_test::kDrainWaitMs + 5000);
#endif
}

// The receiver accepts and never reads: the message cannot leave, and the
// attempt gives up after its drain wait instead of hanging.
void TestFaultInjection::stalledReceiverEndsWithinBoundedWait()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a listening socket with a small receive buffer");
#else
    QTcpServer server;
    QVERIFY(listenAsSlowReceiver(server));
    QList<QTcpSocket *> peers;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        socket->setReadBufferSize(1); // stops reading from the kernel
        peers << socket;
    });

    mosbd_test client;
    client.setup(kImei.toLatin1(), QStringLiteral("127.0.0.1"), server.serverPort(),
                 QByteArray(SbdMessage::kMaxPayloadBytes, 'x'));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Connected to 127.0.0.1 : \\d+ \\(Sent 65538 bytes\\)$"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^!!-- Error: "));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!client.connectAndSend());
    QVERIFY(clock.elapsed() < mosbd_test::kConnectWaitMs + mosbd_test::kDrainWaitMs + 5000);
#endif
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
