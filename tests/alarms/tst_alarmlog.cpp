// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarm.h"
#include "alarms/alarmlog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kHeader = "Time (UTC),Event,Alarm,Unit,Sensor,Message,Started (UTC)\r\n";

Alarm alarm(Alarm::Kind kind, const QString &text, const QDateTime &start, const QString &sensor = QString())
{
    return Alarm{kind, sensor, QStringLiteral("300234063909320"), text, start, QDateTime()};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestAlarmLog : public QObject
{
    Q_OBJECT

private slots:
    void rowsGoIntoTheMonthOfTheirTransition();
    void rowsThatCannotBeWrittenWait();
};

void TestAlarmLog::rowsGoIntoTheMonthOfTheirTransition()
{
    QTemporaryDir dir;
    const QString folder = AlarmLog::folderIn(dir.path());
    QCOMPARE(folder, dir.path() + "/Alarms");
    AlarmLog log(folder);
    Alarm battery =
        alarm(Alarm::Kind::LowBattery, "Low battery: 4.5 V", QDateTime({2026, 6, 30}, {23, 58, 1}, Qt::UTC));
    QVERIFY(log.write(battery));
    QVERIFY(log.write(alarm(Alarm::Kind::SensorFailed, "Sensor failed: Wind, gust",
                            QDateTime({2026, 6, 30}, {23, 59}, Qt::UTC), "Wind \"gust\", speed")));
    battery.endUtc = QDateTime({2026, 7, 1}, {0, 2, 3}, Qt::UTC);
    QVERIFY(log.write(battery));

    QCOMPARE(contents(folder + "/alarms_2026-06.csv"),
             kHeader +
                 "2026-06-30 23:58:01,raised,low-battery,300234063909320,,Low battery: 4.5 V,2026-06-30 "
                 "23:58:01\r\n"
                 "2026-06-30 23:59:00,raised,sensor-failed,300234063909320,\"Wind \"\"gust\"\", speed\","
                 "\"Sensor failed: Wind, gust\",2026-06-30 23:59:00\r\n");
    QCOMPARE(contents(folder + "/alarms_2026-07.csv"),
             kHeader + "2026-07-01 00:02:03,cleared,low-battery,300234063909320,,Low battery: 4.5 V,"
                       "2026-06-30 23:58:01\r\n");
}

void TestAlarmLog::rowsThatCannotBeWrittenWait()
{
    // A file where the folder should be: nothing can be written until it goes.
    QTemporaryDir dir;
    const QString folder = dir.filePath("Alarms");
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QDateTime start({2026, 6, 14}, {2, 37, 13}, Qt::UTC);
    AlarmLog log(folder);
    for (int i = 0; i <= AlarmLog::kMaxPendingRows; ++i)
        QVERIFY(!log.write(alarm(Alarm::Kind::NoData, i == 0 ? "first" : "waiting", start)));
    QVERIFY(!log.errorString().isEmpty());
    QCOMPARE(log.pendingRows(), AlarmLog::kMaxPendingRows);
    QCOMPARE(log.droppedRows(), 1);

    QVERIFY(blocker.remove());
    QVERIFY(log.write(alarm(Alarm::Kind::ClockOff, "last", start)));
    QCOMPARE(log.pendingRows(), 0);
    QVERIFY(log.errorString().isEmpty());
    const QList<QByteArray> lines = contents(folder + "/alarms_2026-06.csv").split('\n');
    QCOMPARE(lines.size(), AlarmLog::kMaxPendingRows + 3); // header, waiting rows, last row, empty end
    QVERIFY(lines.at(1).contains(",waiting,"));
    QVERIFY(lines.at(AlarmLog::kMaxPendingRows + 1).contains(",clock-off,"));
}

QTEST_GUILESS_MAIN(TestAlarmLog)
#include "tst_alarmlog.moc"
