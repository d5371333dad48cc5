// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/idleclock.h"

#include <QtTest>

class TestIdleClock : public QObject
{
    Q_OBJECT

private slots:
    void fadeTagSince_data();
    void fadeTagSince();
    void messageExpired_data();
    void messageExpired();
    void idleText_data();
    void idleText();
};

void TestIdleClock::fadeTagSince_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("tag");
    QTest::newRow("just set") << 0 << "<font color='#000000'>";
    QTest::newRow("first tick after setting") << 1 << "<font color='#0e0e0e'>";
    QTest::newRow("last drawn tick") << 202 << "<font color='#c8c8c8'>";
    QTest::newRow("fade over") << 203 << "";
}

void TestIdleClock::fadeTagSince()
{
    QFETCH(int, ticks);
    QFETCH(QString, tag);
    QCOMPARE(IdleClock::fadeTagSince(ticks), tag);
}

void TestIdleClock::messageExpired_data()
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

void TestIdleClock::messageExpired()
{
    QFETCH(int, sinceSet);
    QFETCH(int, idle);
    QFETCH(bool, expired);
    QCOMPARE(IdleClock::messageExpired(sinceSet, idle), expired);
}

void TestIdleClock::idleText_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("text");
    QTest::newRow("tenths") << 7 << "Idle:\t\t00:00:00.7";
    QTest::newRow("hour wraps minutes") << 36000 + 599 << "Idle:\t\t01:00:59.9";
    QTest::newRow("a day") << 864000 << "Idle:\t\t24:00:00.0";
}

void TestIdleClock::idleText()
{
    QFETCH(int, ticks);
    QFETCH(QString, text);
    QCOMPARE(IdleClock::idleText(ticks), text);
}

QTEST_GUILESS_MAIN(TestIdleClock)
#include "tst_idleclock.moc"
