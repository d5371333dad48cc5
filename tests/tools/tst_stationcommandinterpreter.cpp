// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/stationcommandinterpreter.h"

#include <QtTest>

namespace {
// "m1 C1 S0 G1 E0 I1 h" (the start): mode, ceilometer, SPECI, GPS, elevation, cameras, picture hours.
QString describe(const StationSettings &s)
{
    QStringList hours;
    for (const int hour : s.autoHours)
        hours << QString::number(hour);
    return QString::asprintf("m%d C%d S%d G%d E%d I%d h", s.mode, s.ceilometer, int(s.speci),
                             int(s.gpsEnabled), s.elevationMetres, int(s.camerasOn)) +
           hours.join(',');
}

// "img:4 mp3:7": each action's kind and argument.
QString describe(const QList<StationAction> &actions)
{
    static const char *const kinds[] = {"img", "gps", "gpsel", "aoff", "rec", "spectral", "mp3", "raw"};
    QStringList out;
    for (const StationAction &action : actions)
        out << QStringLiteral("%1:%2").arg(QLatin1String(kinds[action.kind])).arg(action.argument);
    return out.join(' ');
}

const QString kDefaults = QStringLiteral("m1 C1 S0 G1 E0 I1 h");

void row(const char *name, const QByteArray &input, const QString &settings, const QString &actions = {},
         int ignored = 0)
{
    QTest::newRow(name) << input << settings << actions << ignored;
}
} // namespace

class TestStationCommandInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void commands_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("ignored");

        row("GI Gi", "GI\rGi\r", kDefaults, "gps:0 gpsel:0");
        row("GE-0005", "GE-0005\r", "m1 C1 S0 G1 E-5 I1 h");
        row("I0", "I0\r\r", "m1 C1 S0 G1 E0 I0 h");
        row("I0 then I5", "I0\r\rI5\r\r", kDefaults, "img:0");
        row("hours gather in order", "i18\ri00\ri06\ri18\r", "m1 C1 S0 G1 E0 I1 h0,6,18");
        row("hours cancelled", "i18\ri-\ri23\r", "m1 C1 S0 G1 E0 I1 h23");
        row("acoustic", "A0\rA1\rA2\rA325\rA429\r", kDefaults, "aoff:0 rec:0 spectral:0 mp3:25 raw:29");
        row("whole command", "m6\rC2\rS1\rG0\rGE+0035\rI4\rA307\r", "m6 C2 S1 G0 E35 I1 h", "img:4 mp3:7");
        row("no CR yet", "m5", kDefaults);
        for (const char *line :
             {"m7", "M3", "C3", "GE+35", "GE+00035", "I6", "i24", "i-1", "A326", "A430", "\x01\xff"})
            row(line, QByteArray(line) + "\r", kDefaults, {}, 1);
    }
    void commands()
    {
        QFETCH(QByteArray, input);
        StationCommandInterpreter interpreter;
        interpreter.feed(input);
        QTEST(describe(interpreter.settings()), "settings");
        QTEST(describe(interpreter.takeActions()), "actions");
        QVERIFY(interpreter.takeActions().isEmpty());
        QTEST(interpreter.ignoredCount(), "ignored");
    }
    void overlongLineIsDropped()
    {
        StationCommandInterpreter interpreter;
        const QByteArray junk = "m4" + QByteArray(10000, 'x');
        QCOMPARE(interpreter.feed(junk + "\rm2\r"), QList<QByteArray>({"m2"}));
        QCOMPARE(interpreter.settings().mode, 2);
        QCOMPARE(interpreter.ignoredCount(), 1);
    }
    void actionsAreBounded()
    {
        StationCommandInterpreter interpreter;
        interpreter.feed(QByteArray("I5\r").repeated(1000));
        QCOMPARE(interpreter.takeActions().size(), StationCommandInterpreter::kActionsMax);
    }
};

QTEST_APPLESS_MAIN(TestStationCommandInterpreter)
#include "tst_stationcommandinterpreter.moc"
