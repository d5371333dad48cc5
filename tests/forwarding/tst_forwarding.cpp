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

// A receiver that records the raw bytes of every connection and can hang up
// as soon as a given number of bytes has arrived.
class RawReceiver : public QObject
{
public:
    explicit RawReceiver(int closeAfterBytes = -1) : m_closeAfterBytes(closeAfterBytes)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
                read(socket);
            }
        });
        server.listen(QHostAddress::LocalHost);
    }

    QTcpServer server;
    QByteArray bytes;
    int connections = 0;
    int closed = 0;

private:
    void read(QTcpSocket *socket)
    {
        bytes += socket->readAll();
        if (m_closeAfterBytes >= 0 && bytes.size() >= m_closeAfterBytes)
            socket->close();
    }

    int m_closeAfterBytes;
};

// One forwarding attempt on its own worker thread; the result comes back to
// this thread as a queued signal, as it does in the program.
class Attempt : public QObject
{
public:
    Attempt(const QByteArray &payload, quint16 port, const QByteArray &imei = kImei)
        : thread(payload, kLocalHost, port, imei)
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

qint64 secondsFromNow(quint32 sendTime)
{
    return qAbs(qint64(sendTime) - qint64(quint32(QDateTime::currentSecsSinceEpoch())));
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
    void portIsTakenAs16Bits();
    void unreachableReceiverFails();
    void oversizedPayloadIsRefused();
    void receiverClosingAfterReadingCountsAsDelivered();
    void roundTripThroughWorkerThread();
    void largestPayloadIsDeliveredWhole();

    void receiverReassemblesSplitAndJoinedMessages();
    void receiverSkipsMalformedMessage();
    void receiverDropsStreamThatIsNotAMessage();
    void receiverReportsUnfinishedMessage();
};

void TestForwarding::modeDigit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("digit");

    QTest::newRow("slow") << "2" << 2;
    QTest::newRow("fast") << "5" << 5;
    QTest::newRow("leading zero") << "04" << 4;
    QTest::newRow("absent") << "" << 0;
    QTest::newRow("not a number") << "x" << 0;
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
    QTest::newRow("slow, SND, window open") << 2 << marked << true << true;
    QTest::newRow("mode unknown, SND") << 0 << marked << false << true;
    QTest::newRow("mode 3, no SND") << 3 << plain << true << false;
    QTest::newRow("slow, SND, not a weather packet") << 2 << marked.mid(20) << false << false;
    QTest::newRow("slow, SND without CR")
        << 2 << QByteArray(plain).replace("~\r\n", "~\nSND\r\n") << true << false;
    QTest::newRow("slow, SND without end marker")
        << 2 << QByteArray(marked).replace('~', ' ') << true << false;
    QTest::newRow("empty buffer") << 1 << QByteArray() << true << false;
    QTest::newRow("mode 4, window open") << 4 << plain << true << true;
    QTest::newRow("mode 5, window open") << 5 << plain << true << true;
    QTest::newRow("mode 5, window closed") << 5 << plain << false << false;
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
    QTest::newRow("under a second") << 6 << 999 << countdown.arg(0);
    QTest::newRow("stopped timer") << 5 << -1 << countdown.arg(0);
    QTest::newRow("slow mode") << 2 << 285000 << inlineNote;
    QTest::newRow("mode 3") << 3 << 1000 << inlineNote;
    QTest::newRow("mode unknown") << 0 << -1 << inlineNote;
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
    RawReceiver receiver;
    const QByteArray payload = weatherPayload(300);

    // The listening socket completes the connection before it is accepted,
    // so the client can run to the end on this thread.
    mosbd_test client;
    client.setup(kImei, kLocalHost, receiver.server.serverPort(), payload);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Connected to 127.0.0.1 : %1 (Sent 337 bytes)")
                                                    .arg(receiver.server.serverPort())));
    QTest::ignoreMessage(QtDebugMsg, "Data successfully sent");
    QVERIFY(client.connectAndSend());

    QTRY_COMPARE(receiver.closed, 1);
    const QByteArray &message = receiver.bytes;
    QCOMPARE(message.size(), 337);
    QCOMPARE(message.left(6), QByteArray("\x01\x01\x4E\x01\x00\x1C", 6));
    QCOMPARE(message.mid(10, 15), kImei);
    QCOMPARE(message.mid(25, 5), QByteArray(5, '\0'));
    QCOMPARE(message.mid(34, 3), QByteArray("\x02\x01\x2C"));
    QCOMPARE(message.mid(37), payload);
    SbdMessage parsed;
    QVERIFY(SbdMessage::parse(message, &parsed));
    QVERIFY(parsed.counter > 0);
    QVERIFY2(secondsFromNow(parsed.sendTime) <= 1, qPrintable(QString::number(parsed.sendTime)));
}

void TestForwarding::portIsTakenAs16Bits()
{
    RawReceiver receiver;
    mosbd_test client;
    client.setup(kImei, kLocalHost, receiver.server.serverPort() + 65536, "@0\r\n");
    QVERIFY(client.connectAndSend());
    QTRY_COMPARE(receiver.bytes.size(), SbdMessage::kOverheadBytes + 4);
}

void TestForwarding::unreachableReceiverFails()
{
    mosbd_test client;
    client.setup(kImei, kLocalHost, portWithoutListener(), weatherPayload(100));
    QTest::ignoreMessage(QtDebugMsg, "!!-- Error: Failed to connect to receiver");
    QVERIFY(!client.connectAndSend());

    // The same through a worker thread, as the program runs it.
    Attempt attempt(weatherPayload(100), portWithoutListener());
    QTRY_COMPARE(attempt.results, QList<bool>{false});
}

void TestForwarding::oversizedPayloadIsRefused()
{
    RawReceiver receiver;
    mosbd_test client;
    client.setup(kImei, kLocalHost, receiver.server.serverPort(),
                 QByteArray(SbdMessage::kMaxPayloadBytes + 1, 'a'));
    QTest::ignoreMessage(QtDebugMsg, "!!-- Error: Payload of 65502 bytes is too large to forward");
    QVERIFY(!client.connectAndSend());
    QVERIFY(!receiver.server.waitForNewConnection(0));
}

void TestForwarding::receiverClosingAfterReadingCountsAsDelivered()
{
    RawReceiver receiver(337);
    Attempt attempt(weatherPayload(300), receiver.server.serverPort());
    QTRY_COMPARE(attempt.results, QList<bool>{true});
    QCOMPARE(receiver.bytes.size(), 337);
    QCOMPARE(receiver.connections, 1);
}

void TestForwarding::roundTripThroughWorkerThread()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    const QByteArray payload = weatherPayload(620);
    {
        Attempt first(payload, receiver.serverPort());
        QTRY_COMPARE(first.results, QList<bool>{true});
        QTRY_COMPARE(received.count(), 1);
    }
    {
        Attempt second("@0\r\nB 2\r\n", receiver.serverPort(), "1234567890");
        QTRY_COMPARE(second.results, QList<bool>{true});
        QTRY_COMPARE(received.count(), 2);
    }

    const auto first = received.at(0).at(0).value<SbdMessage>();
    QCOMPARE(first.payload, payload);
    QCOMPARE(first.imei, kImei);
    QVERIFY(secondsFromNow(first.sendTime) <= 1);
    QVERIFY(received.at(0).at(1).toString().startsWith("127.0.0.1:"));

    const auto second = received.at(1).at(0).value<SbdMessage>();
    QCOMPARE(second.payload, QByteArray("@0\r\nB 2\r\n"));
    QCOMPARE(second.imei, QByteArray("123456789000000"));
    QCOMPARE(second.counter, first.counter + 1);
    QCOMPARE(errors.count(), 0);
}

void TestForwarding::largestPayloadIsDeliveredWhole()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);

    QByteArray payload(SbdMessage::kMaxPayloadBytes, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    Attempt attempt(payload, receiver.serverPort());
    QTRY_COMPARE(attempt.results, QList<bool>{true});
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).value<SbdMessage>().payload, payload);
}

void TestForwarding::receiverReassemblesSplitAndJoinedMessages()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    const QByteArray one = SbdMessage::build(11, kImei, 100, "first");
    const QByteArray two = SbdMessage::build(12, kImei, 200, "second");
    const QByteArray three = SbdMessage::build(13, kImei, 300, weatherPayload(400));

    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write(one + two); // two messages in one piece
    QVERIFY(sender.waitForBytesWritten());
    int from = 0;
    for (const int cut : {1, 2, 3, 20, 36, 37, 200}) { // then one in many pieces
        sender.write(three.mid(from, cut - from));
        QVERIFY(sender.waitForBytesWritten());
        QCoreApplication::processEvents();
        from = cut;
    }
    sender.write(three.mid(200));
    QVERIFY(sender.waitForBytesWritten());

    QTRY_COMPARE(received.count(), 3);
    QCOMPARE(received.at(0).at(0).value<SbdMessage>().payload, QByteArray("first"));
    QCOMPARE(received.at(1).at(0).value<SbdMessage>().sendTime, 200u);
    QCOMPARE(received.at(2).at(0).value<SbdMessage>().payload, weatherPayload(400));
    QCOMPARE(errors.count(), 0);
}

void TestForwarding::receiverSkipsMalformedMessage()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    QByteArray broken = SbdMessage::build(1, kImei, 0, "abc");
    broken[5] = 0x1B; // header element length 27
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write(broken + SbdMessage::build(2, kImei, 0, "good"));

    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).value<SbdMessage>().payload, QByteArray("good"));
    QCOMPARE(errors.count(), 1);
}

void TestForwarding::receiverDropsStreamThatIsNotAMessage()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    QTcpSocket sender;
    QSignalSpy closed(&sender, &QTcpSocket::disconnected);
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write("GET / HTTP/1.0\r\n\r\n");
    QTRY_COMPARE(errors.count(), 1);
    QTRY_COMPARE(closed.count(), 1);
}

void TestForwarding::receiverReportsUnfinishedMessage()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    QSignalSpy errors(&receiver, &SbdReceiver::protocolError);

    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, receiver.serverPort());
    QVERIFY(sender.waitForConnected());
    sender.write(SbdMessage::build(1, kImei, 0, weatherPayload(100)).left(60));
    QVERIFY(sender.waitForBytesWritten());
    sender.disconnectFromHost();

    QTRY_COMPARE(errors.count(), 1);
    QVERIFY(errors.at(0).at(0).toString().contains("60 bytes"));
    QCOMPARE(received.count(), 0);
}

QTEST_GUILESS_MAIN(TestForwarding)
#include "tst_forwarding.moc"
