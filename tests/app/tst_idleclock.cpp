// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/idleclock.h"

#include <QtTest>

class TestIdleClock : public QObject
{
    Q_OBJECT

private slots:
    void fadeTag_data();
    void fadeTag();
    void idleText_data();
    void idleText();
};

void TestIdleClock::fadeTag_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("tag");
    QTest::newRow("first tick after a pass") << 1 << "<font color='#0e0e0e'>";
    QTest::newRow("just after a pass") << 0 << "<font color='#000000'>";
    QTest::newRow("20 s") << 200 << "<font color='#c8c8c8'>";
    QTest::newRow("last drawn tick") << 202 << "<font color='#c8c8c8'>";
    QTest::newRow("fade over") << 203 << "";
    QTest::newRow("long idle") << 100000 << "";
}

void TestIdleClock::fadeTag()
{
    QFETCH(int, ticks);
    QFETCH(QString, tag);
    QCOMPARE(IdleClock::fadeTag(ticks), tag);
}

void TestIdleClock::idleText_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "Idle:\t\t00:00:00.0";
    QTest::newRow("tenths") << 7 << "Idle:\t\t00:00:00.7";
    QTest::newRow("one minute") << 600 << "Idle:\t\t00:01:00.0";
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
