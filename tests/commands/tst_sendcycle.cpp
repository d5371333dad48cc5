// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/sendcycle.h"

#include <QtTest>

class TestSendCycle : public QObject
{
    Q_OBJECT

private slots:
    void cycle_data();
    void cycle();
};

void TestSendCycle::cycle_data()
{
    QTest::addColumn<QByteArrayList>("steps");
    QTest::addColumn<QByteArray>("written"); // tick bytes; "[...]" what a hand-over returned
    QTest::addColumn<QString>("state");      // status and caption

    const QString idle = QStringLiteral("|Send Command");
    const QString configured = QStringLiteral("KTR Configured|Send Command");
    // "p" presses with a snapshot, "t" ticks n times, "u" sees the power-up,
    // "h" hands over with the current selection, "d" drains what is outgoing.
    QTest::newRow("idle writes nothing") << QByteArrayList{"t3"} << QByteArray() << idle;
    QTest::newRow("pending request pokes") << QByteArrayList{"pm3\r\r", "t2"} << QByteArray(8, ' ')
                                           << "Sending Config Request...|Cancel Send Request";
    QTest::newRow("cancelled") << QByteArrayList{"pm3\r\r", "p", "t2"} << QByteArray() << "|Send Command";
    // The snapshot is taken at the press, whatever the selectors show later.
    QTest::newRow("hand-over sends the snapshot")
        << QByteArrayList{"pm1\rGE+0035\rI2\rA307\r", "t1", "hm6\r\r", "d", "t1"}
        << QByteArray("    [m1\rGE+0035\rI2\rA307\r]m1\rGE+0035\rI2\rA307\r") << configured;
    // A new request cancelled mid-drain: the outgoing command still drains, the snapshot never goes.
    QTest::newRow("cancelled mid-drain") << QByteArrayList{"pC2\r\r", "h", "t1", "pS1\r\r", "p", "d", "t1"}
                                         << QByteArray("[C2\r\r]C2\r\r") << "|Send Command";
    QTest::newRow("power-up spaces") << QByteArrayList{"pm0\r\r", "h", "t1", "u", "d"}
                                     << "[m0\r\r]m" + QByteArray(80, ' ') << "KTR Power-up|Send Command";
    // Everything on "No command" at power-up: the current selection, a single CR, goes.
    QTest::newRow("power-up without request") << QByteArrayList{"u", "t10", "u", "t78", "h\r", "t2"}
                                              << QByteArray(88, ' ') + "[\r]\r" << configured;
    QTest::newRow("power-up with request")
        << QByteArrayList{"pI5\r\r", "u", "hm2\r\r"} << QByteArray("[I5\r\r]") << configured;
}

void TestSendCycle::cycle()
{
    QFETCH(QByteArrayList, steps);
    QFETCH(QByteArray, written);
    QFETCH(QString, state);
    SendCycle cycle;
    QByteArray out;
    for (const QByteArray &step : steps) {
        const QByteArray argument = step.mid(1);
        if (step.startsWith('p'))
            cycle.press(argument);
        else if (step.startsWith('u'))
            cycle.powerUpSeen();
        else if (step.startsWith('h'))
            out += "[" + cycle.handOver(argument) + "]";
        for (int tick = 0; tick < (step.startsWith('t') ? argument.toInt() : 0); ++tick)
            out += cycle.tickBytes();
        // The paced writer sends one byte a tick until only pokes are left.
        while (step == "d" && !cycle.outgoingCommand().isEmpty()) {
            const QByteArray bytes = cycle.tickBytes();
            QCOMPARE(bytes.size(), 1);
            out += bytes;
        }
    }
    QCOMPARE(out, written);
    QCOMPARE(QStringList({cycle.status(), cycle.caption()}).join('|'), state);
    QCOMPARE(cycle.isPending(), state.contains("Cancel"));
}

QTEST_APPLESS_MAIN(TestSendCycle)
#include "tst_sendcycle.moc"
