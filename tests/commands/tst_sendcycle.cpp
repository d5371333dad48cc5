// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/sendcycle.h"
#include "link/receivestream.h"

#include <QtTest>

namespace {
const QByteArray kBanner("\r\n\rKTR v2.14\r\n");
const QByteArray kBannerWithPrompt("\r\n\rKTR v2.14\r\nready\r\n>");

// Runs the paced writer until it has nothing left that is not a poke.
QByteArray drain(SendCycle &cycle, int maxTicks = 1000)
{
    QByteArray written;
    for (int tick = 0; tick < maxTicks && !cycle.outgoingCommand().isEmpty(); ++tick) {
        const QByteArray bytes = cycle.tickBytes();
        if (bytes.size() != 1)
            return written + "<not one byte>";
        written += bytes;
    }
    return written;
}

// What the receive pass asks when the station's bytes stand in the buffer.
bool handsOver(const SendCycle &cycle, const QByteArray &buffer)
{
    ReceiveStream stream;
    stream.begin(buffer);
    return stream.isPrompt(cycle.outgoingCommand(), cycle.isPending());
}
} // namespace

class TestSendCycle : public QObject
{
    Q_OBJECT

private slots:
    void idleWritesNothing();
    void queueThenCancel();
    void pendingRequestPokesUntilPrompt();
    void snapshotIsTakenAtPress();
    void cancelledRequestSendsNothingMore();
    void powerUp();
    void powerUpHandOverWithoutRequest();
    void powerUpHandOverWithRequest();
    void caseANeedsSecondSpace();
    void caseBPromptOffset_data();
    void caseBPromptOffset();
};

void TestSendCycle::idleWritesNothing()
{
    SendCycle cycle;
    QVERIFY(!cycle.isPending());
    QCOMPARE(cycle.caption(), "Send Command");
    QCOMPARE(cycle.tickBytes(), QByteArray());
    QVERIFY(!handsOver(cycle, "\n>"));
}

void TestSendCycle::queueThenCancel()
{
    SendCycle cycle;
    const SendCycle::PressResult queued = cycle.press("m3\r\r");
    QVERIFY(queued.pending);
    QCOMPARE(queued.status, "Sending Config Request...");
    QCOMPARE(queued.caption, "Cancel Send Request");
    QCOMPARE(cycle.queuedCommand(), QByteArray("m3\r\r"));

    const SendCycle::PressResult cancelled = cycle.press("ignored");
    QVERIFY(!cancelled.pending);
    QCOMPARE(cancelled.status, QString());
    QCOMPARE(cancelled.caption, "Send Command");
    QVERIFY(!cycle.isPending());
    QCOMPARE(cycle.queuedCommand(), QByteArray());
    QCOMPARE(cycle.status(), QString());
    QCOMPARE(cycle.forwardingRestarts(), 2);
    QCOMPARE(cycle.tickBytes(), QByteArray());
}

void TestSendCycle::pendingRequestPokesUntilPrompt()
{
    SendCycle cycle;
    cycle.press("m1\rGE+0035\rI2\rA307\r");
    for (int tick = 0; tick < 5; ++tick)
        QCOMPARE(cycle.tickBytes(), QByteArray("    "));

    QVERIFY(handsOver(cycle, "\n>"));
    QCOMPARE(cycle.handOver("unused"), QByteArray("m1\rGE+0035\rI2\rA307\r"));
    QVERIFY(!cycle.isPending());
    QCOMPARE(cycle.queuedCommand(), QByteArray());
    QCOMPARE(cycle.status(), "KTR Configured");
    QCOMPARE(cycle.caption(), "Send Command");
    QCOMPARE(cycle.forwardingRestarts(), 2);

    QCOMPARE(drain(cycle), QByteArray("m1\rGE+0035\rI2\rA307\r"));
    QCOMPARE(cycle.tickBytes(), QByteArray());
}

void TestSendCycle::snapshotIsTakenAtPress()
{
    SendCycle cycle;
    QByteArray selection("m3\rC1\r\r");
    cycle.press(selection);
    selection = "m6\r\r"; // the user changes a selector afterwards
    QVERIFY(handsOver(cycle, "\r\n>"));
    QCOMPARE(cycle.handOver(selection), QByteArray("m3\rC1\r\r"));
    QCOMPARE(drain(cycle), QByteArray("m3\rC1\r\r"));
}

void TestSendCycle::cancelledRequestSendsNothingMore()
{
    SendCycle cycle;
    cycle.press("C2\r\r");
    cycle.handOver({});
    QCOMPARE(cycle.tickBytes(), QByteArray("C"));

    // A new request cancelled mid-drain: the command already outgoing still
    // drains, the cancelled snapshot never goes out and the pokes stop.
    cycle.press("S1\r\r");
    cycle.press({});
    QCOMPARE(drain(cycle), QByteArray("2\r\r"));
    QCOMPARE(cycle.tickBytes(), QByteArray());
    QVERIFY(!handsOver(cycle, "\n>"));
}

void TestSendCycle::powerUp()
{
    SendCycle cycle;
    cycle.press("m0\r\r");
    cycle.handOver({});
    cycle.tickBytes();
    cycle.powerUpSeen();
    QCOMPARE(cycle.status(), "KTR Power-up");
    QCOMPARE(cycle.outgoingCommand(), QByteArray(80, ' '));
    QCOMPARE(drain(cycle), QByteArray(80, ' '));
}

void TestSendCycle::powerUpHandOverWithoutRequest()
{
    SendCycle cycle;
    cycle.powerUpSeen();
    for (int tick = 0; tick < 10; ++tick)
        QCOMPARE(cycle.tickBytes(), QByteArray(" "));
    cycle.powerUpSeen(); // the banner is seen again: the spaces start over
    QCOMPARE(cycle.outgoingCommand().size(), 80);

    QVERIFY(!handsOver(cycle, kBanner));
    QVERIFY(handsOver(cycle, kBannerWithPrompt));
    // Everything on "No command": the current selection is a single CR.
    QCOMPARE(cycle.handOver("\r"), QByteArray("\r"));
    QCOMPARE(cycle.status(), "KTR Configured");
    QCOMPARE(cycle.caption(), "Send Command");
    QVERIFY(!cycle.isPending());
    QCOMPARE(cycle.forwardingRestarts(), 1);
    QCOMPARE(cycle.tickBytes(), QByteArray("\r"));
    QCOMPARE(cycle.tickBytes(), QByteArray());
}

void TestSendCycle::powerUpHandOverWithRequest()
{
    SendCycle cycle;
    cycle.press("I5\r\r");
    cycle.powerUpSeen();
    QVERIFY(handsOver(cycle, kBannerWithPrompt));
    QCOMPARE(cycle.handOver("m2\r\r"), QByteArray("I5\r\r"));
    QCOMPARE(cycle.forwardingRestarts(), 2);
}

void TestSendCycle::caseANeedsSecondSpace()
{
    SendCycle cycle;
    cycle.powerUpSeen();
    for (int tick = 0; tick < 78; ++tick)
        cycle.tickBytes();
    QVERIFY(handsOver(cycle, kBannerWithPrompt)); // two spaces left
    cycle.tickBytes();
    QVERIFY(!handsOver(cycle, kBannerWithPrompt)); // one space left
    cycle.tickBytes();
    QVERIFY(!handsOver(cycle, kBannerWithPrompt));

    // A command being drained is no power-up: its second byte is no space.
    cycle.press("m3\r\r");
    cycle.handOver({});
    QVERIFY(!handsOver(cycle, kBannerWithPrompt));
}

void TestSendCycle::caseBPromptOffset_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("handOver");

    QTest::newRow("offset 0") << QByteArray("\n>") << true;
    QTest::newRow("offset 1") << QByteArray("\r\n>") << true;
    QTest::newRow("offset 1 with text after") << QByteArray(" \n> ") << true;
    QTest::newRow("offset 2") << QByteArray("\r\r\n>") << false;
    QTest::newRow("later") << QByteArray("@I:123\r\n>") << false;
    QTest::newRow("first prompt late") << QByteArray("abc\n>\n>") << false;
    QTest::newRow("no prompt") << QByteArray("\r\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestSendCycle::caseBPromptOffset()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, handOver);

    SendCycle idle;
    QVERIFY(!handsOver(idle, buffer));

    SendCycle cycle;
    cycle.press("C0\r\r");
    QCOMPARE(handsOver(cycle, buffer), handOver);
}

QTEST_APPLESS_MAIN(TestSendCycle)
#include "tst_sendcycle.moc"
