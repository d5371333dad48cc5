// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmmonitor.h"
#include "ui/alarmlistview.h"
#include "ui/dialogalarms.h"
#include "ui/pictureviewer.h"
#include "weather/observation.h"

#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {
QStringList saved(const AlarmSettings &settings, const QString &path)
{
    QSettings store(path, QSettings::IniFormat);
    settings.save(store);
    QStringList values;
    for (const QString &key : store.allKeys())
        values << key + "=" + store.value(key).toString();
    return values;
}
} // namespace

class TestAlarmWidgets : public QObject
{
    Q_OBJECT

private slots:
    void dialogKeepsEverySetting();
    void listShowsStartAndEnd();
    void captureText();
    void viewerOpensTheClickedCamera();
};

void TestAlarmWidgets::dialogKeepsEverySetting()
{
    AlarmSettings s;
    s.noDataMinutes = 45;
    s.lowBatteryEnabled = s.clockOffEnabled = false;
    s.lowBatteryVolts = 4.6;
    s.interferenceSignalBelow = 40;
    s.sensorFailedPackets = 5;
    s.clockOffMinutes = 3;
    s.pressureFallHpa = 4.5;
    DialogAlarms dialog;
    dialog.setSettings(s);
    QTemporaryDir dir;
    QCOMPARE(saved(dialog.settings(), dir.filePath("back.ini")), saved(s, dir.filePath("set.ini")));
}

void TestAlarmWidgets::listShowsStartAndEnd()
{
    AlarmMonitor monitor;
    AlarmListView view;
    view.attach(&monitor);
    const QDateTime start({2026, 6, 14}, {2, 37, 13}, Qt::UTC);
    Observation reading;
    reading.voltageV = 4.5;
    monitor.observe(reading, start);
    reading.voltageV = 5.3;
    reading.interference = 12;
    monitor.observe(reading, start.addSecs(60));
    QTreeWidget *tree = view.tree();
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = tree->topLevelItem(i);
        rows << QStringList{item->text(0), item->text(1), item->text(2), item->font(0).bold() ? "bold" : ""}
                    .join('|');
    }
    QCOMPARE(rows, (QStringList{"High interference: signal level 12|2026-06-14 02:38:13|active|bold",
                                "Low battery: 4.5 V|2026-06-14 02:37:13|2026-06-14 02:38:13|"}));
}

void TestAlarmWidgets::captureText()
{
    QCOMPARE(PictureViewer::captureText("260614_140214Z_KTRtime"),
             "Captured 2026-06-14 14:02:14 UTC (station clock)");
    QCOMPARE(PictureViewer::captureText("260614_000001Z_PCtime"),
             "Captured 2026-06-14 00:00:01 UTC (PC clock)");
    QCOMPARE(PictureViewer::captureText("269914_140214Z_KTRtime"), QString());
}

void TestAlarmWidgets::viewerOpensTheClickedCamera()
{
    QWidget window;
    PictureViewer viewer(&window);
    QLabel first(&window);
    QLabel second(&window);
    viewer.watch(&first, 1);
    viewer.watch(&second, 2);
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    viewer.setPicture(2, picture, "Camera 2 North", "260614_140214Z_KTRtime");
    // Camera 1 has no picture yet: nothing opens.
    QTest::mouseClick(&first, Qt::LeftButton);
    QVERIFY(!viewer.isVisible());
    QTest::mouseClick(&second, Qt::LeftButton);
    QVERIFY(viewer.isVisible());
    QCOMPARE(viewer.findChild<QLabel *>("labelPicture")->pixmap(Qt::ReturnByValue).size(), picture.size());
    QCOMPARE(viewer.findChild<QLabel *>("labelCaptureTime")->text(),
             "Camera 2 North, Captured 2026-06-14 14:02:14 UTC (station clock)");
}

QTEST_MAIN(TestAlarmWidgets)
#include "tst_alarmwidgets.moc"
