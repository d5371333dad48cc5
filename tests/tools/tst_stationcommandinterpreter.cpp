// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/stationcommandinterpreter.h"

#include <QtTest>

Q_DECLARE_METATYPE(StationSettings)
Q_DECLARE_METATYPE(QList<StationAction>)

namespace {
using Action = StationAction;

StationSettings defaults()
{
    StationSettings s;
    s.mode = 1;
    s.ceilometer = 1;
    s.speci = false;
    s.gpsEnabled = true;
    s.elevationMetres = 0;
    s.camerasOn = true;
    return s;
}

template <typename Change> StationSettings changed(Change change)
{
    StationSettings s = defaults();
    change(s);
    return s;
}
} // namespace

class TestStationCommandInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void overlongLineIsDropped();
    void actionsAreBounded();
};

void TestStationCommandInterpreter::commands_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<StationSettings>("settings");
    QTest::addColumn<QList<StationAction>>("actions");
    QTest::addColumn<int>("ignored");

    const QList<Action> none;
    for (const int mode : {0, 6})
        QTest::addRow("m%d", mode) << "m" + QByteArray::number(mode) + "\r"
                                   << changed([mode](StationSettings &s) { s.mode = mode; }) << none << 0;
    for (int c = 0; c <= 2; ++c)
        QTest::addRow("C%d", c) << "C" + QByteArray::number(c) + "\r"
                                << changed([c](StationSettings &s) { s.ceilometer = c; }) << none << 0;
    QTest::newRow("S1") << QByteArray("S1\r") << changed([](StationSettings &s) { s.speci = true; }) << none
                        << 0;
    QTest::newRow("S1 S0") << QByteArray("S1\rS0\r") << defaults() << none << 0;
    QTest::newRow("G0") << QByteArray("G0\r") << changed([](StationSettings &s) { s.gpsEnabled = false; })
                        << none << 0;
    QTest::newRow("G0 G1") << QByteArray("G0\rG1\r") << defaults() << none << 0;
    QTest::newRow("GI") << QByteArray("GI\r") << defaults() << QList<Action>{{Action::UpdateGps, 0}} << 0;
    QTest::newRow("Gi") << QByteArray("Gi\r") << defaults()
                        << QList<Action>{{Action::UpdateGpsAndElevation, 0}} << 0;
    const QList<QPair<QByteArray, int>> elevations = {{"GE+0000", 0}, {"GE-0005", -5}, {"GE+9999", 9999}};
    for (const auto &[command, metres] : elevations)
        QTest::newRow(command.constData())
            << command + "\r" << changed([m = metres](StationSettings &s) { s.elevationMetres = m; }) << none
            << 0;
    QTest::newRow("I0") << QByteArray("I0\r\r") << changed([](StationSettings &s) { s.camerasOn = false; })
                        << none << 0;
    for (const int camera : {1, 4})
        QTest::addRow("I%d", camera) << "I" + QByteArray::number(camera) + "\r" << defaults()
                                     << QList<Action>{{Action::RequestImages, camera}} << 0;
    QTest::newRow("I0 then I5") << QByteArray("I0\r\rI5\r\r") << defaults()
                                << QList<Action>{{Action::RequestImages, 0}} << 0;
    QTest::newRow("hours gather in order")
        << QByteArray("i18\ri00\ri06\ri18\r") << changed([](StationSettings &s) {
               s.autoHours = {0, 6, 18};
           })
        << none << 0;
    QTest::newRow("hours cancelled") << QByteArray("i18\ri-\ri23\r")
                                     << changed([](StationSettings &s) { s.autoHours = {23}; }) << none << 0;
    QTest::newRow("A0 A1 A2") << QByteArray("A0\rA1\rA2\r") << defaults()
                              << QList<Action>{{Action::AcousticOff, 0},
                                               {Action::RecordAcousticSpectral, 0},
                                               {Action::GetSpectral, 0}}
                              << 0;
    QTest::newRow("A300 A325") << QByteArray("A300\rA325\r") << defaults()
                               << QList<Action>{{Action::GetMp3, 0}, {Action::GetMp3, 25}} << 0;
    QTest::newRow("A400 A429") << QByteArray("A400\rA429\r") << defaults()
                               << QList<Action>{{Action::GetRaw, 0}, {Action::GetRaw, 29}} << 0;

    QTest::newRow("whole command") << QByteArray("m1\rGE+0035\rI2\rA307\r")
                                   << changed([](StationSettings &s) { s.elevationMetres = 35; })
                                   << QList<Action>{{Action::RequestImages, 2}, {Action::GetMp3, 7}} << 0;
    QTest::newRow("lone CR") << QByteArray("\r") << defaults() << none << 0;
    QTest::newRow("no CR yet") << QByteArray("m5") << defaults() << none << 0;

    const char *const garbage[] = {"m7",  "m",     "m33",    "M3",       "C3",       "S2",   "G2",
                                   "Gx",  "GE+35", "GE0035", "GE+00a5",  "GE+00035", "I6",   "I",
                                   "i24", "i7",    "i-1",    "ia0",      "A5",       "A326", "A430",
                                   "A3",  "A3-1",  "x",      "\x01\xff", "m 3"};
    for (const char *line : garbage)
        QTest::addRow("garbage %s", line) << QByteArray(line) + "\r" << defaults() << none << 1;
}

void TestStationCommandInterpreter::commands()
{
    QFETCH(QByteArray, input);
    QFETCH(StationSettings, settings);
    QFETCH(QList<StationAction>, actions);
    QFETCH(int, ignored);

    StationCommandInterpreter interpreter(defaults());
    interpreter.feed(input);
    QCOMPARE(interpreter.settings(), settings);
    QCOMPARE(interpreter.takeActions(), actions);
    QCOMPARE(interpreter.takeActions(), QList<StationAction>());
    QCOMPARE(interpreter.ignoredCount(), ignored);
}

void TestStationCommandInterpreter::overlongLineIsDropped()
{
    StationCommandInterpreter interpreter(defaults());
    const QByteArray junk = "m4" + QByteArray(10000, 'x');
    QCOMPARE(interpreter.feed(junk + "\rm2\r"), QList<QByteArray>({"m2"}));
    QCOMPARE(interpreter.settings().mode, 2);
    QCOMPARE(interpreter.ignoredCount(), 1);
}

void TestStationCommandInterpreter::actionsAreBounded()
{
    StationCommandInterpreter interpreter(defaults());
    interpreter.feed(QByteArray("I5\r").repeated(1000));
    QCOMPARE(interpreter.takeActions().size(), StationCommandInterpreter::kActionsMax);
}

QTEST_APPLESS_MAIN(TestStationCommandInterpreter)
#include "tst_stationcommandinterpreter.moc"
