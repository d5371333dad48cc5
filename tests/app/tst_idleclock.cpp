// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/idleclock.h"

#include <QtTest>

class TestIdleClock : public QObject
{
    Q_OBJECT

private slots:
    // Ticks of a tenth of a second: the status message fades to grey, the idle clock counts.
    void fadeAndIdleText_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("text");
        QTest::newRow("just set") << "<font color='#000000'>" << 0 << "Idle:\t\t00:00:00.0";
        QTest::newRow("first tick") << "<font color='#0e0e0e'>" << 1 << "Idle:\t\t00:00:00.1";
        QTest::newRow("last drawn tick") << "<font color='#c8c8c8'>" << 202 << "Idle:\t\t00:00:20.2";
        QTest::newRow("fade over") << "" << 203 << "Idle:\t\t00:00:20.3";
        QTest::newRow("hour wraps minutes") << "" << 36000 + 599 << "Idle:\t\t01:00:59.9";
    }
    void fadeAndIdleText()
    {
        QFETCH(int, ticks);
        const int grey = IdleClock::fadeGreySince(ticks);
        QTEST(grey < 0 ? QString() : IdleClock::fadeTag(grey), "tag");
        QTEST(IdleClock::idleText(ticks), "text");
    }
    void messageExpired_data()
    {
        QTest::addColumn<int>("sinceSet");
        QTest::addColumn<int>("idle");
        QTest::addColumn<bool>("expired");
        QTest::newRow("silent a minute, message as old") << 601 << 601 << true;
        QTest::newRow("at exactly a minute") << 600 << 601 << false;
        // Send Command half a minute into a long silence: the message must show.
        QTest::newRow("new message after a long silence") << 1 << 5000 << false;
        QTest::newRow("old message, station still talking") << 5000 << 3 << false;
    }
    void messageExpired()
    {
        QFETCH(int, sinceSet);
        QFETCH(int, idle);
        QTEST(IdleClock::messageExpired(sinceSet, idle), "expired");
    }
};

QTEST_GUILESS_MAIN(TestIdleClock)
#include "tst_idleclock.moc"
