// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingpolicy.h"
#include "forwarding/mosbd_test.h"
#include "forwarding/qmythread.h"
#include "forwarding/sbdmessage.h"
#include "forwarding/sbdreceiver.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace {
const QByteArray kImei("300234010753370");
const QString kLocalHost = QStringLiteral("127.0.0.1");

QByteArray weatherPayload(int size)
{
    QByteArray payload("@0\r\nB 5\r\n");
    while (payload.size() < size)
        payload += "T 26/01/02,03:04:05\r\n";
    payload.truncate(size - 2);
    return payload + "\r\n";
}

// A receiver on 127.0.0.1 that behaves well or badly with every connection.
class Receiver : public QObject
{
public:
    enum Behaviour
    {
        ReadAllAndClose,
        ResetAtOnce,
        ResetAfterOneByte,
        NeverRead
    };

    explicit Receiver(Behaviour behaviour) : m_behaviour(behaviour)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                if (m_behaviour == ResetAtOnce) {
                    reset(socket);
                    continue;
                }
                // Qt would take everything the kernel holds and see the end of stream.
                if (m_behaviour != ReadAllAndClose)
                    socket->setReadBufferSize(1);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                read(socket);
            }
        });
        server.listen(QHostAddress::LocalHost);
    }

    QTcpServer server;
    QByteArray bytes;
    int connections = 0;

private:
    void read(QTcpSocket *socket)
    {
        if (m_behaviour == NeverRead || socket->bytesAvailable() == 0)
            return;
        if (m_behaviour == ResetAfterOneByte) {
            bytes += socket->read(1);
            reset(socket);
            return;
        }
        bytes += socket->readAll();
        if (SbdMessage::messageLength(bytes) == bytes.size())
            socket->close();
    }

    // An abortive close: the peer gets a reset, not an end of stream.
    static void reset(QTcpSocket *socket)
    {
        const linger abortive{1, 0};
        ::setsockopt(decltype(::socket(0, 0, 0))(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                     reinterpret_cast<const char *>(&abortive), sizeof abortive);
        socket->abort();
    }

    Behaviour m_behaviour;
};

// One forwarding attempt on its own worker thread; the result comes back to
// this thread as a queued signal, as it does in the program.
class Attempt : public QObject
{
public:
    Attempt(const QByteArray &payload, const QString &host, int port) : thread(payload, host, port, kImei)
    {
        connect(&thread, &QMyThread::resultReady, this, [this](bool result) { results << result; });
        thread.start();
    }
    ~Attempt() override { thread.wait(); }

    QMyThread thread;
    QList<bool> results;
};

quint16 portWithoutListener()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

// Runs in a network namespace of its own whose resolver asks a server that
// never answers (see nameThatNeverResolves).
int hangingResolverChild()
{
    QUdpSocket silentServer;
    if (!silentServer.bind(QHostAddress::LocalHost, 53))
        return 77;
    QElapsedTimer clock;
    clock.start();
    mosbd_test client;
    client.setup(kImei, QStringLiteral("receiver.example"), 4711, "@0\r\n");
    const bool result = client.connectAndSend();
    const qint64 elapsedMs = clock.elapsed();
    std::fprintf(stderr, "attempt ended after %lld ms\n", static_cast<long long>(elapsedMs));
    if (!silentServer.hasPendingDatagrams())
        return 2; // the resolver never asked: nothing was proved
    return !result && elapsedMs <= mosbd_test::kConnectWaitMs + 500 ? 0 : 1;
}
} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT

private slots:
    void modeDigit_data();
    void modeDigit();
    void isSendable_data();
    void isSendable();
    void countdownText_data();
    void countdownText();

    void sendsExactMessage();
    void deliveryCountsOnlyWhenTheReceiverTookItAll_data();
    void deliveryCountsOnlyWhenTheReceiverTookItAll();
    void oversizedPayloadIsRefused();
    void nameThatNeverResolves();

    void receiverTakesLargestMessageInPieces();
    void receiverReportsBadStreams_data();
    void receiverReportsBadStreams();
};

void TestForwarding::modeDigit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("digit");

    QTest::newRow("leading zero") << "04" << 4;
    QTest::newRow("absent") << "" << 0;
    QTest::newRow("hex is not base 10") << "0x5" << 0;
}

void TestForwarding::modeDigit()
{
    QFETCH(QString, field);
    QFETCH(int, digit);
    QCOMPARE(ForwardingPolicy::modeDigit(field), digit);
}

void TestForwarding::isSendable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("windowOpen");
    QTest::addColumn<bool>("sendable");

    const QByteArray plain("@I 300234010753370\r\n@0\r\nB 2\r\n~\r\n");
    const QByteArray marked("@I 300234010753370\r\n@0\r\nB 2\r\n~\r\nSND\r\n");

    QTest::newRow("slow, no SND, window open") << 2 << plain << true << false;
    QTest::newRow("slow, SND, window closed") << 2 << marked << false << true;
    QTest::newRow("mode unknown, SND") << 0 << marked << false << true;
    QTest::newRow("mode 3, no SND") << 3 << plain << true << false;
    QTest::newRow("slow, SND, not a weather packet") << 2 << marked.mid(20) << false << false;
    QTest::newRow("slow, SND without CR")
        << 2 << QByteArray(plain).replace("~\r\n", "~\nSND\r\n") << true << false;
    QTest::newRow("mode 4, window open") << 4 << plain << true << true;
    QTest::newRow("mode 5, window closed, SND") << 5 << marked << false << false;
    QTest::newRow("mode 6, window open, empty buffer") << 6 << QByteArray() << true << true;
}

void TestForwarding::isSendable()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, buffer);
    QFETCH(bool, windowOpen);
    QFETCH(bool, sendable);
    QCOMPARE(ForwardingPolicy::isSendable(mode, buffer, windowOpen), sendable);
}

void TestForwarding::countdownText_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("remainingMs");
    QTest::addColumn<QString>("text");

    const QString countdown(
        "<span style=\" color:#000000;\">Time remaining before next forwarding: %1 secs</span>");
    const QString inlineNote("<span style=\" color:#000000;\">Data Forwarding will occur inline with the "
                             "selected Reporting Mode</span>");

    QTest::newRow("full interval") << 5 << 285000 << countdown.arg(285);
    QTest::newRow("truncated") << 4 << 1999 << countdown.arg(1);
    QTest::newRow("stopped timer") << 6 << -1 << countdown.arg(0);
    QTest::newRow("mode 3, mode unknown") << 3 << 1000 << inlineNote;
}

void TestForwarding::countdownText()
{
    QFETCH(int, mode);
    QFETCH(int, remainingMs);
    QFETCH(QString, text);
    QCOMPARE(ForwardingPolicy::countdownText(mode, remainingMs), text);
}

void TestForwarding::sendsExactMessage()
{
    Receiver receiver(Receiver::ReadAllAndClose);
    const QByteArray payload = weatherPayload(300);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Connected to 127.0.0.1 : %1 (Sent 337 bytes)")
                                                    .arg(receiver.server.serverPort())));
    QTest::ignoreMessage(QtDebugMsg, "Data successfully sent");
    Attempt attempt(payload, kLocalHost, receiver.server.serverPort());
    QTRY_COMPARE(attempt.results, QList<bool>{true});

    SbdMessage parsed;
    QVERIFY(SbdMessage::parse(receiver.bytes, &parsed));
    QCOMPARE(receiver.bytes, SbdMessage::build(parsed.counter, kImei, parsed.sendTime, payload));
    QVERIFY(qAbs(qint64(parsed.sendTime) - qint64(quint32(QDateTime::currentSecsSinceEpoch()))) <= 1);
}

void TestForwarding::deliveryCountsOnlyWhenTheReceiverTookItAll_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("portOffset");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("reads all and closes") << int(Receiver::ReadAllAndClose) << 0 << QString() << true;
    QTest::newRow("port taken as 16 bits") << int(Receiver::ReadAllAndClose) << 65536 << QString() << true;
    QTest::newRow("resets at once") << int(Receiver::ResetAtOnce) << 0 << QString("!!-- Error: *") << false;
    QTest::newRow("resets after one byte")
        << int(Receiver::ResetAfterOneByte) << 0 << "!!-- Error: The receiver reset the connection" << false;
    QTest::newRow("never reads") << int(Receiver::NeverRead) << 0
                                 << "!!-- Error: The receiver did not close the connection within 5000 ms"
                                 << false;
    QTest::newRow("refused") << -1 << 0 << "!!-- Error: Failed to connect to receiver" << false;
}

void TestForwarding::deliveryCountsOnlyWhenTheReceiverTookItAll()
{
    QFETCH(int, behaviour);
    QFETCH(int, portOffset);
    QFETCH(QString, error);
    QFETCH(bool, delivered);

    Receiver receiver(Receiver::Behaviour(qMax(0, behaviour)));
    const int port = behaviour < 0 ? portWithoutListener() : receiver.server.serverPort() + portOffset;
    if (!error.endsWith('*'))
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(delivered ? QStringLiteral("Data successfully sent") : error));
    else
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QRegularExpression::wildcardToRegularExpression(error)));
    Attempt attempt(weatherPayload(300), kLocalHost, port);
    QTRY_COMPARE_WITH_TIMEOUT(attempt.results, QList<bool>{delivered}, 15000);
    QCOMPARE(receiver.connections, behaviour < 0 ? 0 : 1);
}

void TestForwarding::oversizedPayloadIsRefused()
{
    Receiver receiver(Receiver::ReadAllAndClose);
    mosbd_test client;
    client.setup(kImei, kLocalHost, receiver.server.serverPort(),
                 QByteArray(SbdMessage::kMaxPayloadBytes + 1, 'a'));
    QTest::ignoreMessage(QtDebugMsg, "!!-- Error: Payload of 65502 bytes is too large to forward");
    QVERIFY(!client.connectAndSend());
    QVERIFY(!receiver.server.waitForNewConnection(0));
}

// Needs a resolver that hangs: a user, mount and network namespace whose
// resolv.conf names a local server that reads queries and never answers.
void TestForwarding::nameThatNeverResolves()
{
    mosbd_test client;
    client.setup(kImei, QStringLiteral("receiver.invalid"), 4711, "@0\r\n");
    QVERIFY(!client.connectAndSend());

    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        QSKIP("No unshare here to build a resolver that hangs");
    QTemporaryDir dir;
    QFile conf(dir.filePath("resolv.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("nameserver 127.0.0.1\noptions timeout:5 attempts:2\n");
    conf.close();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(unshare,
                {"-rmn", "sh", "-c",
                 QStringLiteral("ip link set lo up && mount --bind '%1' /etc/resolv.conf && exec '%2' "
                                "--hanging-resolver")
                     .arg(conf.fileName(), QCoreApplication::applicationFilePath())});
    QVERIFY(child.waitForFinished(60000));
    if (child.exitCode() == 77 || (child.exitCode() != 0 && clock.elapsed() < 100))
        QSKIP("No namespaces for a resolver that hangs");
    QCOMPARE(child.exitCode(), 0);
    // The resolver alone would take 10 s: the exit did not wait for it.
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
}

void TestForwarding::receiverTakesLargestMessageInPieces()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    QByteArray largest(SbdMessage::kMaxPayloadBytes, '\0');
    for (int i = 0; i < largest.size(); ++i)
        largest[i] = char(i * 7);
    {
        // The receiver waits for the sender's end of stream before it closes.
        Attempt attempt(largest, QStringLiteral("localhost"), receiver.serverPort());
        QTRY_COMPARE(attempt.results, QList<bool>{true});
    }

    const QByteArray three = SbdMessage::build(13, kImei, 300, weatherPayload(400));
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write(SbdMessage::build(11, kImei, 100, "first") + SbdMessage::build(12, kImei, 200, "second"));
    int from = 0;
    for (const int cut : {1, 2, 3, 36, 37, 200, int(three.size())}) {
        sender.write(three.mid(from, cut - from));
        QVERIFY(sender.waitForBytesWritten());
        QTest::qWait(1);
        from = cut;
    }

    QTRY_COMPARE(received.count(), 4);
    const auto first = received.at(0).at(0).value<SbdMessage>();
    QCOMPARE(first.payload, largest);
    QVERIFY(received.at(0).at(1).toString().startsWith("127.0.0.1:"));
    QCOMPARE(received.at(1).at(0).value<SbdMessage>().payload, QByteArray("first"));
    QCOMPARE(received.at(2).at(0).value<SbdMessage>().sendTime, 200u);
    QCOMPARE(received.at(3).at(0).value<SbdMessage>().payload, weatherPayload(400));
    QCOMPARE(errors.count(), 0);
}

void TestForwarding::receiverReportsBadStreams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("error");

    QByteArray broken = SbdMessage::build(1, kImei, 0, "abc");
    broken[5] = 0x1B; // header element length 27
    QTest::newRow("malformed message skipped")
        << broken + SbdMessage::build(2, kImei, 0, "good") << 1 << "Malformed SBD message of 40 bytes";
    QTest::newRow("not a message") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0 << "Not an SBD message";
    QTest::newRow("unfinished") << SbdMessage::build(1, kImei, 0, weatherPayload(100)).left(60) << 0
                                << "Connection closed with 60 bytes";
}

void TestForwarding::receiverReportsBadStreams()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, messages);
    QFETCH(QString, error);

    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write(stream);
    QVERIFY(sender.waitForBytesWritten());
    sender.disconnectFromHost();

    QTRY_COMPARE(errors.count(), 1);
    QVERIFY2(errors.at(0).at(0).toString().startsWith(error), qPrintable(errors.at(0).at(0).toString()));
    QCOMPARE(received.count(), messages);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--hanging-resolver") == 0)
        return hangingResolverChild();
    TestForwarding test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_forwarding.moc"
