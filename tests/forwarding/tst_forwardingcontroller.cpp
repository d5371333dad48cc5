// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingcontroller.h"
#include "forwarding/forwardingsettings.h"
#include "forwarding/sbdreceiver.h"
#include "storage/outbox.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
const QByteArray kImei("300234063909320");
const QByteArray kPlain("@I:300234063909320\r\n@012\r\nB:5.32:2:\r\n~\r\n");
const QByteArray kMarked = kPlain + "SND\r\n";

quint16 portWithoutListener()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QList<QByteArray> payloads(const QSignalSpy &received)
{
    QList<QByteArray> result;
    for (const QList<QVariant> &arguments : received)
        result << arguments.at(0).value<SbdMessage>().payload;
    return result;
}
} // namespace

class TestForwardingController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void outageKeepsEveryMessageAcrossARestart();
    void fullOutboxDropsTheOldest();
    void forwardingWindowAndSwitch();

private:
    std::unique_ptr<ForwardingController> start(int port, bool enabled);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestForwardingController::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

std::unique_ptr<ForwardingController> TestForwardingController::start(int port, bool enabled)
{
    auto settings = std::make_unique<ForwardingSettings>(m_dir->filePath("settings.ini"));
    settings->storeTarget(QStringLiteral("127.0.0.1"), port);
    settings->storeEnabled(enabled);
    auto controller = std::make_unique<ForwardingController>(
        std::move(settings), ForwardingController::historyFile(m_dir->filePath("KTR Control Data")));
    controller->loadSettings();
    return controller;
}

void TestForwardingController::outageKeepsEveryMessageAcrossARestart()
{
    const quint16 port = portWithoutListener();
    const QList<QByteArray> sent{"@0 first\r\n", "@0 second\r\n", "@0 third\r\n", "@0 after restart\r\n"};
    {
        auto controller = start(port, true);
        QSignalSpy status(controller.get(), &ForwardingController::statusText);
        QSignalSpy boxes(controller.get(), &ForwardingController::messageBox);
        QVERIFY(controller->forwardData(sent[0], kImei));
        QTRY_COMPARE(status.count(), 1);
        QCOMPARE(status.last().at(0).toString(),
                 QStringLiteral("Data Forwarding Failed (1 message waiting)"));
        QVERIFY(controller->forwardData(sent[1], kImei));
        QVERIFY(controller->forwardData(sent[2], kImei));
        QCOMPARE(controller->queueLength(), 3);

        // Each failure pauses longer, up to ten minutes; the user hears of it once.
        QList<int> pauses{controller->retryIntervalMs()};
        for (int retry = 0; retry < 8; ++retry) {
            controller->retryForwarding();
            QTRY_COMPARE(status.count(), retry + 2);
            pauses << controller->retryIntervalMs();
        }
        QCOMPARE(pauses, (QList<int>{5000, 10000, 20000, 40000, 80000, 160000, 320000, 600000, 600000}));
        QCOMPARE(status.last().at(0).toString(),
                 QStringLiteral("Data Forwarding Failed (3 messages waiting)"));
        QCOMPARE(boxes.count(), 1);
        QVERIFY(controller->isEnabled());
        QVERIFY(ForwardingSettings(m_dir->filePath("settings.ini")).enabled());
    }

    // The receiver comes up while the program is not running.
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, port));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    auto controller = start(port, true);
    QSignalSpy status(controller.get(), &ForwardingController::statusText);
    QVERIFY(controller->forwardData(sent[3], kImei));
    QTRY_COMPARE(received.count(), 4);
    QCOMPARE(payloads(received), sent);
    QCOMPARE(received.first().at(0).value<SbdMessage>().imei, kImei);
    QTRY_COMPARE(status.count(), 4);
    QCOMPARE(status.last().at(0).toString(), QStringLiteral("Data Forwarding Successful"));
    QCOMPARE(controller->queueLength(), 0);
}

void TestForwardingController::fullOutboxDropsTheOldest()
{
    auto controller = start(portWithoutListener(), true);
    controller->setOutboxLimit(2);
    QSignalSpy status(controller.get(), &ForwardingController::statusText);
    controller->forwardData("@0 1\r\n", kImei);
    QTRY_COMPARE(status.count(), 1);
    controller->forwardData("@0 2\r\n", kImei);
    QTest::ignoreMessage(QtDebugMsg, "!!-- Error: Forwarding outbox full, dropped the 1 oldest messages");
    controller->forwardData("@0 3\r\n", kImei);
    QCOMPARE(controller->queueLength(), 2);

    Outbox outbox(ForwardingController::historyFile(m_dir->filePath("KTR Control Data")), "sbd", 10);
    QVERIFY(outbox.open());
    QList<QByteArray> kept;
    for (const Outbox::Message &message : outbox.oldest(10))
        kept << message.payload;
    QCOMPARE(kept, (QList<QByteArray>{"@0 2\r\n", "@0 3\r\n"}));
}

void TestForwardingController::forwardingWindowAndSwitch()
{
    SbdReceiver receiver;
    QVERIFY(receiver.listen(QHostAddress::LocalHost, 0));
    QSignalSpy received(&receiver, &SbdReceiver::messageReceived);
    // Without a usable outbox file the messages wait in memory.
    QVERIFY(QDir().mkpath(ForwardingController::historyFile(m_dir->filePath("KTR Control Data"))));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("history.sqlite: not a regular file; messages waiting"));
    auto controller = start(0, false);
    QSignalSpy status(controller.get(), &ForwardingController::statusText);
    controller->setTarget(QStringLiteral("127.0.0.1"), receiver.serverPort());
    controller->setEnabled(true);
    QVERIFY(controller->isWindowOpen());

    // "20 Minute": only what the station marks for its modem goes, window or not.
    controller->weatherPacketReceived(2, kPlain, "@0 unmarked\r\n", kImei);
    QCOMPARE(status.takeFirst().at(0).toString(), QStringLiteral("Received Weather Data"));
    // "20 Second": the first packet goes at once, the next waits for the window.
    controller->weatherPacketReceived(5, kPlain, "@0 fast\r\n", kImei);
    controller->weatherPacketReceived(5, kMarked, "@0 too soon\r\n", kImei);
    QVERIFY(controller->countdownText(5).contains("forwarding: 28"));
    controller->handleForwardingTimer();
    QVERIFY(controller->countdownText(5).contains("forwarding: 0 secs"));
    controller->restartForwardingTimer(); // "Send Command"
    QVERIFY(controller->countdownText(5).contains("forwarding: 28"));
    controller->handleForwardingTimer();
    controller->weatherPacketReceived(5, kPlain, "@0 next window\r\n", kImei);
    controller->weatherPacketReceived(2, kMarked, "@0 marked\r\n", kImei);
    controller->forwardData("@1 camera packet", kImei);

    QTRY_COMPARE(received.count(), 4);
    QCOMPARE(payloads(received),
             (QList<QByteArray>{"@0 fast\r\n", "@0 next window\r\n", "@0 marked\r\n", "@1 camera packet"}));
    QTRY_COMPARE(controller->queueLength(), 0);
    QTRY_COMPARE(status.last().at(0).toString(), QStringLiteral("Data Forwarding Successful"));

    // Without an IMEI forwarding stops; the program switched it off, not the user: the stored choice stays.
    QSignalSpy enabled(controller.get(), &ForwardingController::enabledChanged);
    QVERIFY(!controller->forwardData("@0\r\n", QByteArray()));
    QCOMPARE(enabled, (QList<QList<QVariant>>{{false}}));
    QVERIFY(ForwardingSettings(m_dir->filePath("settings.ini")).enabled());
    controller->setEnabled(false);
    QVERIFY(!controller->isWindowOpen());
    QVERIFY(!controller->forwardData("@0 off\r\n", kImei));
    const ForwardingSettings stored(m_dir->filePath("settings.ini"));
    QCOMPARE(stored.port(), int(receiver.serverPort()));
    QVERIFY(!stored.enabled());
}

QTEST_GUILESS_MAIN(TestForwardingController)
#include "tst_forwardingcontroller.moc"
