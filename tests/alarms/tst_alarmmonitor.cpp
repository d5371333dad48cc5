// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmmonitor.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime kStart(QDate(2026, 6, 14), QTime(12, 0), Qt::UTC);

// A packet of a healthy station, with the readings the step names changed:
// V volts, S signal level, P pressure, T temperature ("-" leaves one out),
// mode digit, clock offset of the station in minutes.
Observation packet(const QMap<QString, QString> &set, const QDateTime &now)
{
    const auto value = [&set](const char *key, double normal) -> std::optional<double> {
        const QString text = set.value(QLatin1String(key), QString::number(normal));
        return text == QLatin1String("-") ? std::nullopt : std::optional<double>(text.toDouble());
    };
    Observation o;
    o.imei = QStringLiteral("300234063909320");
    o.reportingMode = WeatherParser::modeName(set.value(QStringLiteral("mode"), QStringLiteral("3")).toInt());
    o.stationTime = now.addSecs(set.value(QStringLiteral("clock")).toInt() * 60);
    o.receivedTime = now;
    o.voltageV = value("V", 5.3);
    o.interference = value("S", 99);
    o.pressureHpa = value("P", 1013);
    o.temperatureC = value("T", 20);
    o.relativeHumidity = o.windSpeedKt = o.gustSpeedKt = o.visibilityMi = o.precipInHr = 1.0;
    return o;
}

QMap<QString, QString> assignments(const QStringList &words)
{
    QMap<QString, QString> set;
    for (const QString &word : words)
        set.insert(word.section(QLatin1Char('='), 0, 0), word.section(QLatin1Char('='), 1));
    return set;
}

AlarmSettings settingsFrom(QSettings &store, const QMap<QString, QString> &set)
{
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        store.setValue(QStringLiteral("alarms/") + it.key(), it.value());
    return AlarmSettings::load(store);
}

} // namespace

class TestAlarmMonitor : public QObject
{
    Q_OBJECT

private slots:
    void alarms_data();
    void alarms();
    void settingsRanges();

private:
    QTemporaryDir m_dir;
};

void TestAlarmMonitor::alarms_data()
{
    QTest::addColumn<QStringList>("steps");  // "<minute> tick", "<minute> set k=v", or "<minute> [k=v ...]"
    QTest::addColumn<QStringList>("events"); // "<minute> +text", "<minute> -text since <start minute>"

    const QString battery = QStringLiteral("Low battery: 4.5 V");
    QTest::newRow("battery 4.5 V raises, 5.3 V clears, 0.1 V hysteresis")
        << QStringList{"0 V=4.5", "1 V=4.85", "2 V=-", "3 V=5.3"}
        << QStringList{"0 +" + battery, "3 -" + battery + " since 0"};
    QTest::newRow("switching an active alarm off clears it")
        << QStringList{"0 V=4.5", "1 set lowBatteryEnabled=false", "2 tick"}
        << QStringList{"0 +" + battery, "2 -" + battery + " since 0"};
    QTest::newRow("interference below signal level 50")
        << QStringList{"0 S=50", "1 S=49", "2 S=-", "3 S=50"}
        << QStringList{"1 +High interference: signal level 49",
                       "3 -High interference: signal level 49 since 1"};
    const QString failed = QStringLiteral("Sensor failed: Temperature missing in 3 packets in a row");
    QTest::newRow("reading missing in 3 packets in a row")
        << QStringList{"0", "1 T=-", "2 T=-", "3 T=-", "4 T=-", "5 T=21"}
        << QStringList{"3 +" + failed, "5 -" + failed + " since 3"};
    QTest::newRow("a reading never sent is no failure")
        << QStringList{"0 T=-", "1 T=-", "2 T=-", "3 T=-"} << QStringList{};
    QTest::newRow("station clock more than 10 min off")
        << QStringList{"0 clock=10", "1 clock=11", "2 clock=-9", "3 clock=-11"}
        << QStringList{"1 +Station clock 11 min ahead of the PC clock",
                       "2 -Station clock 11 min ahead of the PC clock since 1",
                       "3 +Station clock 11 min behind the PC clock"};
    const QString falling = QStringLiteral("Pressure falling fast: 6.1 hPa in 3 hours");
    QTest::newRow("pressure fall of more than 6 hPa in 3 hours")
        << QStringList{"0 P=1010", "60 P=1007", "120 P=1003.9", "200 P=1003.9"}
        << QStringList{"120 +" + falling, "200 -" + falling + " since 120"};
    QTest::newRow("a fall of exactly 6 hPa") << QStringList{"0 P=1010", "60 P=1004"} << QStringList{};
    const QString silent = QStringLiteral("No data from the station for more than 10 min");
    QTest::newRow("no packet for twice the 5-minute interval")
        << QStringList{"0 mode=3", "10 tick", "11 tick", "12 tick", "13 mode=3", "14 tick"}
        << QStringList{"11 +" + silent, "13 -" + silent + " since 10"};
    QTest::newRow("fixed silence limit counts from start-up")
        << QStringList{"0 set noDataMinutes=30", "0 tick", "30 tick", "31 tick"}
        << QStringList{"31 +No data from the station for more than 30 min"};
    QTest::newRow("no interval known before the first packet")
        << QStringList{"0 tick", "1000 tick"} << QStringList{};
}

void TestAlarmMonitor::alarms()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    QSettings store(m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".ini"),
                    QSettings::IniFormat);
    AlarmMonitor monitor;
    QStringList seen;
    QDateTime now;
    auto minute = [](const QDateTime &t) { return QString::number(kStart.secsTo(t) / 60); };
    connect(&monitor, &AlarmMonitor::raised, this, [&](const Alarm &a) {
        seen << minute(now) + " +" + a.text;
        QVERIFY(a.isActive());
        if (a.kind != Alarm::Kind::NoData) // before the first packet no unit is known
            QCOMPARE(a.unit, QStringLiteral("300234063909320"));
    });
    connect(&monitor, &AlarmMonitor::cleared, this, [&](const Alarm &a) {
        seen << minute(a.endUtc) + " -" + a.text + " since " + minute(a.startUtc);
    });
    for (const QString &step : steps) {
        QStringList words = step.split(QLatin1Char(' '));
        now = kStart.addSecs(words.takeFirst().toInt() * 60);
        if (words.value(0) == QLatin1String("tick"))
            monitor.tick(now);
        else if (words.value(0) == QLatin1String("set"))
            monitor.setSettings(settingsFrom(store, assignments(words.mid(1))));
        else
            monitor.observe(packet(assignments(words), now), now);
    }
    QCOMPARE(seen, events);
}

void TestAlarmMonitor::settingsRanges()
{
    // Stored value and the value in use: kept, switched off, or out of range and replaced.
    const char *const rows[][3] = {{"noDataMinutes", "45", "45"},   {"clockOffEnabled", "false", "false"},
                                   {"lowBatteryVolts", "-5", "0"},  {"sensorFailedPackets", "0", "1"},
                                   {"pressureFallHpa", "abc", "6"}, {"pressureFallHpa", "nan", "6"}};
    for (const auto &row : rows) {
        QSettings in(m_dir.filePath("in.ini"), QSettings::IniFormat);
        in.clear();
        const AlarmSettings settings = settingsFrom(in, {{row[0], row[1]}});
        QSettings out(m_dir.filePath("out.ini"), QSettings::IniFormat);
        settings.save(out);
        QCOMPARE(out.value(QStringLiteral("alarms/") + row[0]).toString(), QString(row[2]));
    }
}

QTEST_GUILESS_MAIN(TestAlarmMonitor)
#include "tst_alarmmonitor.moc"
