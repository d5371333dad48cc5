// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingpolicy.h"
#include "forwarding/mosbd_test.h"
#include "forwarding/qmythread.h"
#include "forwarding/sbdmessage.h"
#include "forwarding/sbdreceiver.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
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

} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT

private slots:
    void policy();

    void deliveryCountsOnlyWhenTheReceiverTookItAll_data();
    void deliveryCountsOnlyWhenTheReceiverTookItAll();
    void oversizedPayloadIsRefused();

    void receiverTakesStreamsInPieces_data();
    void receiverTakesStreamsInPieces();
};

void TestForwarding::policy()
{
    QCOMPARE(ForwardingPolicy::modeDigit("04"), 4);
    QCOMPARE(ForwardingPolicy::modeDigit(""), 0);
    QCOMPARE(ForwardingPolicy::modeDigit("0x5"), 0); // base 10 only

    // Slow modes forward what the station marks with "SND"; fast ones wait for the window.
    const QByteArray plain("@I 300234010753370\r\n@0\r\nB 2\r\n~\r\n");
    const QByteArray marked = plain + "SND\r\n";
    const struct
    {
        int mode;
        QByteArray buffer;
        bool windowOpen, sendable;
    } rows[] = {{2, plain, true, false},
                {2, marked, false, true},
                {0, marked, false, true},
                {3, plain, true, false},
                {2, marked.mid(20), false, false},
                {2, QByteArray(plain).replace("~\r\n", "~\nSND\r\n"), true, false},
                {4, plain, true, true},
                {5, marked, false, false},
                {6, QByteArray(), true, true}};
    for (const auto &row : rows)
        QVERIFY2(ForwardingPolicy::isSendable(row.mode, row.buffer, row.windowOpen) == row.sendable,
                 qPrintable(QString::number(&row - rows)));

    const QString countdown = QStringLiteral(
        "<span style=\" color:#000000;\">Time remaining before next forwarding: %1 secs</span>");
    QCOMPARE(ForwardingPolicy::countdownText(5, 285000), countdown.arg(285));
    QCOMPARE(ForwardingPolicy::countdownText(4, 1999), countdown.arg(1));
    QCOMPARE(ForwardingPolicy::countdownText(6, -1), countdown.arg(0));
    QCOMPARE(ForwardingPolicy::countdownText(3, 1000),
             "<span style=\" color:#000000;\">Data Forwarding will occur "
             "inline with the selected Reporting Mode</span>");
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
    const QByteArray payload = weatherPayload(300);
    Attempt attempt(payload, kLocalHost, port);
    QTRY_COMPARE_WITH_TIMEOUT(attempt.results, QList<bool>{delivered}, 15000);
    QCOMPARE(receiver.connections, behaviour < 0 ? 0 : 1);
    SbdMessage parsed;
    if (delivered) { // the exact message, sent now
        QVERIFY(SbdMessage::parse(receiver.bytes, &parsed));
        QCOMPARE(receiver.bytes, SbdMessage::build(parsed.counter, kImei, parsed.sendTime, payload));
        QVERIFY(qAbs(qint64(parsed.sendTime) - qint64(quint32(QDateTime::currentSecsSinceEpoch()))) <= 1);
    }
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

void TestForwarding::receiverTakesStreamsInPieces_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("payloads");
    QTest::addColumn<QString>("error");

    const QByteArray three = SbdMessage::build(13, kImei, 300, weatherPayload(400));
    QTest::newRow("three messages") << SbdMessage::build(11, kImei, 100, "first") + three + three
                                    << QByteArrayList{"first", weatherPayload(400), weatherPayload(400)}
                                    << "";
    QByteArray broken = SbdMessage::build(1, kImei, 0, "abc");
    broken[5] = 0x1B; // header element length 27
    QTest::newRow("malformed message skipped")
        << broken + SbdMessage::build(2, kImei, 0, "good") << QByteArrayList{"good"}
        << "Malformed SBD message of 40 bytes";
    QTest::newRow("not a message") << QByteArray("GET / HTTP/1.0\r\n\r\n") << QByteArrayList{}
                                   << "Not an SBD message";
    QTest::newRow("unfinished") << three.left(60) << QByteArrayList{} << "Connection closed with 60 bytes";
}

void TestForwarding::receiverTakesStreamsInPieces()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArrayList, payloads);
    QFETCH(QString, error);
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    for (int from = 0, cut = 1; from < stream.size(); from = cut, cut = qMin(cut * 3, int(stream.size()))) {
        sender.write(stream.mid(from, cut - from));
        if (!sender.waitForBytesWritten())
            break; // the receiver hangs up on garbage
        QTest::qWait(1);
    }
    sender.disconnectFromHost();
    QTRY_COMPARE(received.count() + errors.count(), payloads.size() + (error.isEmpty() ? 0 : 1));
    QByteArrayList got;
    for (const QList<QVariant> &arguments : received)
        got << arguments.at(0).value<SbdMessage>().payload;
    QCOMPARE(got, payloads);
    QVERIFY(errors.isEmpty() == error.isEmpty());
    QVERIFY(error.isEmpty() || errors.at(0).at(0).toString().startsWith(error));
}

QTEST_GUILESS_MAIN(TestForwarding)
#include "tst_forwarding.moc"
