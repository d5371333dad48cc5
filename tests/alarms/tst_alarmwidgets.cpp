// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmmonitor.h"
#include "ui/alarmlistview.h"
#include "ui/dialogalarms.h"
#include "ui/pictureviewer.h"
#include "weather/observation.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

class TestAlarmWidgets : public QObject
{
    Q_OBJECT

private slots:
    void dialogKeepsEverySetting();
    void listShowsStartAndEnd();
    void captureText_data();
    void captureText();
};

void TestAlarmWidgets::dialogKeepsEverySetting()
{
    AlarmSettings s;
    s.noDataMinutes = 45;
    s.lowBatteryEnabled = false;
    s.lowBatteryVolts = 4.6;
    s.interferenceSignalBelow = 40;
    s.sensorFailedPackets = 5;
    s.clockOffEnabled = false;
    s.clockOffMinutes = 3;
    s.pressureFallHpa = 4.5;
    DialogAlarms dialog;
    dialog.setSettings(s);
    const AlarmSettings back = dialog.settings();
    QCOMPARE(back.noDataMinutes, 45);
    QCOMPARE(back.lowBatteryEnabled, false);
    QCOMPARE(back.lowBatteryVolts, 4.6);
    QCOMPARE(back.interferenceSignalBelow, 40);
    QCOMPARE(back.sensorFailedPackets, 5);
    QCOMPARE(back.clockOffEnabled, false);
    QCOMPARE(back.clockOffMinutes, 3);
    QCOMPARE(back.pressureFallHpa, 4.5);
    QVERIFY(back.noDataEnabled && back.interferenceEnabled && back.sensorFailedEnabled &&
            back.pressureFallEnabled);
    QVERIFY(!dialog.findChild<QSpinBox *>("spinBoxClockMinutes")->isEnabled());
    dialog.findChild<QCheckBox *>("checkBoxClockOff")->setChecked(true);
    QVERIFY(dialog.findChild<QSpinBox *>("spinBoxClockMinutes")->isEnabled());
}

void TestAlarmWidgets::listShowsStartAndEnd()
{
    AlarmMonitor monitor;
    AlarmListView view;
    view.attach(&monitor);
    const QDateTime start(QDate(2026, 6, 14), QTime(2, 37, 13), Qt::UTC);
    Observation low;
    low.voltageV = 4.5;
    monitor.observe(low, start);
    Observation good;
    good.voltageV = 5.3;
    good.interference = 12;
    monitor.observe(good, start.addSecs(60));
    QTreeWidget *tree = view.tree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    auto row = [tree](int i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        return QStringList{item->text(0), item->text(1), item->text(2)};
    };
    QCOMPARE(row(0), (QStringList{"High interference: signal level 12", "2026-06-14 02:38:13", "active"}));
    QCOMPARE(row(1), (QStringList{"Low battery: 4.5 V", "2026-06-14 02:37:13", "2026-06-14 02:38:13"}));
    QVERIFY(tree->topLevelItem(0)->font(0).bold());
    QVERIFY(!tree->topLevelItem(1)->font(0).bold());
}

void TestAlarmWidgets::captureText_data()
{
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<QString>("text");
    QTest::newRow("station clock") << "260614_140214Z_KTRtime"
                                   << "Captured 2026-06-14 14:02:14 UTC (station clock)";
    QTest::newRow("PC clock") << "260614_000001Z_PCtime"
                              << "Captured 2026-06-14 00:00:01 UTC (PC clock)";
    QTest::newRow("unreadable") << "269914_140214Z_KTRtime"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestAlarmWidgets::captureText()
{
    QFETCH(QString, stamp);
    QFETCH(QString, text);
    QCOMPARE(PictureViewer::captureText(stamp), text);
}

QTEST_MAIN(TestAlarmWidgets)
#include "tst_alarmwidgets.moc"
