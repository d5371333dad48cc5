// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/mosbd_test.h"
#include "forwarding/qmythread.h"
#include "forwarding/sbdmessage.h"

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

// A receiver on 127.0.0.1 that behaves well or badly with every connection.
class Receiver : public QObject
{
public:
    enum Behaviour
    {
        ReadAllAndClose,
        ResetAfterOneByte,
        NeverRead
    };

    explicit Receiver(Behaviour behaviour)
    {
        connect(&server, &QTcpServer::newConnection, this, [this, behaviour] {
            QTcpSocket *socket = server.nextPendingConnection();
            ++connections;
            // Otherwise Qt would take everything the kernel holds and see the end of stream.
            socket->setReadBufferSize(behaviour == ReadAllAndClose ? 0 : 1);
            connect(socket, &QTcpSocket::readyRead, this, [this, behaviour, socket] {
                if (behaviour == NeverRead)
                    return;
                bytes += socket->read(behaviour == ReadAllAndClose ? socket->bytesAvailable() : 1);
                if (behaviour != ReadAllAndClose)
                    reset(socket);
                else if (SbdMessage::messageLength(bytes) == bytes.size())
                    socket->close();
            });
        });
        server.listen(QHostAddress::LocalHost);
    }

    QTcpServer server;
    QByteArray bytes;
    int connections = 0;

    // An abortive close: the peer gets a reset, not an end of stream.
    static void reset(QTcpSocket *socket)
    {
        const linger abortive{1, 0};
        ::setsockopt(decltype(::socket(0, 0, 0))(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                     reinterpret_cast<const char *>(&abortive), sizeof abortive);
        socket->abort();
    }
};

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
    if (!silentServer.hasPendingDatagrams())
        return 2; // the resolver never asked: nothing was proved
    return !result && clock.elapsed() <= mosbd_test::kConnectWaitMs + 500 ? 0 : 1;
}
} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT

private slots:
    void deliveryCountsOnlyWhenTheReceiverTookItAll_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<int>("payloadBytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("reads all and closes")
            << int(Receiver::ReadAllAndClose) << SbdMessage::kMaxPayloadBytes << QString();
        QTest::newRow("resets after one byte")
            << int(Receiver::ResetAfterOneByte) << 300 << "!!-- Error: The receiver reset the connection";
        QTest::newRow("never reads")
            << int(Receiver::NeverRead) << 300
            << "!!-- Error: The receiver did not close the connection within 5000 ms";
        QTest::newRow("refused") << -1 << 300 << "!!-- Error: Failed to connect to receiver";
        QTest::newRow("too large") << int(Receiver::ReadAllAndClose) << SbdMessage::kMaxPayloadBytes + 1
                                   << "!!-- Error: Payload of 65502 bytes is too large to forward";
    }

    // One attempt on its own worker thread; the result comes back queued, as in the program.
    void deliveryCountsOnlyWhenTheReceiverTookItAll()
    {
        QFETCH(int, behaviour);
        QFETCH(int, payloadBytes);
        QFETCH(QString, error);
        Receiver receiver(Receiver::Behaviour(qMax(0, behaviour)));
        const quint16 port = receiver.server.serverPort();
        if (behaviour < 0)
            receiver.server.close();
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(error.isEmpty() ? QStringLiteral("Data successfully sent") : error));
        const QByteArray payload(payloadBytes, '\x01');
        QMyThread thread(payload, QStringLiteral("127.0.0.1"), port, kImei);
        QList<bool> results;
        QObject::connect(&thread, &QMyThread::resultReady, &receiver,
                         [&results](bool result) { results << result; });
        thread.start();
        QTRY_COMPARE_WITH_TIMEOUT(results, QList<bool>{error.isEmpty()}, 15000);
        thread.wait();
        QCOMPARE(receiver.connections, behaviour < 0 || payloadBytes > SbdMessage::kMaxPayloadBytes ? 0 : 1);
        if (error.isEmpty()) { // the whole message, stamped now
            SbdMessage parsed;
            QVERIFY(SbdMessage::parse(receiver.bytes, &parsed));
            QCOMPARE(receiver.bytes, SbdMessage::build(parsed.counter, kImei, parsed.sendTime, payload));
            QVERIFY(qAbs(qint64(parsed.sendTime) - QDateTime::currentSecsSinceEpoch()) <= 1);
        }
    }

    // Needs a resolver that hangs: a user, mount and network namespace whose
    // resolv.conf names a local server that reads queries and never answers.
    void nameThatNeverResolves()
    {
        mosbd_test client;
        client.setup(kImei, QStringLiteral("receiver.invalid"), 4711, "@0\r\n");
        QVERIFY(!client.connectAndSend());

        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty())
            QSKIP("No unshare here to build a resolver that hangs");
        QTemporaryDir dir;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        child.start(
            unshare,
            {"-rmn", "sh", "-c",
             QStringLiteral(
                 "printf 'nameserver 127.0.0.1\\noptions timeout:5 attempts:2\\n' > '%1' && ip link set lo "
                 "up && mount --bind '%1' /etc/resolv.conf && exec '%2' --hanging-resolver")
                 .arg(dir.filePath("resolv.conf"), QCoreApplication::applicationFilePath())});
        QVERIFY(child.waitForFinished(60000));
        if (child.exitCode() == 77 || (child.exitCode() != 0 && clock.elapsed() < 100))
            QSKIP("No namespaces for a resolver that hangs");
        QCOMPARE(child.exitCode(), 0);
        // The resolver alone would take 10 s: the exit did not wait for it.
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    }
};

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
