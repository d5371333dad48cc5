// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/stationline.h"
#include "support/testwindowoptions.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kWaitMs = 5000;

QByteArray weather(const QByteArray &volts)
{
    return "@I:300234063909320\r\n@012\r\nB:" + volts + ":3:000123:0A:1F:00\r\nT:" +
           QDateTime::currentDateTimeUtc().toString("yy/MM/dd,hh:mm:ss").toLatin1() +
           "\r\nTA:22.8\r\n~\r\nSND\r\n";
}

} // namespace

// The window on a real pseudo-terminal, the test as the station.
class TestAlarmsOverSerial : public QObject
{
    Q_OBJECT

private slots:
    void batteryAlarmRaisedAndCleared();
};

void TestAlarmsOverSerial::batteryAlarmRaisedAndCleared()
{
    QTemporaryDir dir;
    testsupport::StationLine line;
    QVERIFY(line.isOpen());
    MainWindow window(testsupport::testWindowOptions(dir, {line.portName()}));
    for (int i = 0; i < 20; ++i) // the port scan connects
        window.Timer();
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, &window, &MainWindow::Timer);
    ticks.start(100);
    const QString path = dir.filePath("KTR Control Data/Alarms/alarms_" +
                                      QDateTime::currentDateTimeUtc().toString("yyyy-MM") + ".csv");
    auto logText = [&path] {
        QFile log(path);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };
    auto *alarmLabel = window.findChild<QLabel *>("alarmLabel");
    QVERIFY(alarmLabel);

    QVERIFY(line.write(weather("4.5")));
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(",raised,low-battery,"), kWaitMs);
    QVERIFY(logText().contains(",Low battery: 4.5 V,"));
    QCOMPARE(alarmLabel->text(), QStringLiteral("Low battery: 4.5 V"));
    QCOMPARE(window.findChild<QLineEdit *>("lineEditVoltage")->text(), QStringLiteral("4.5 V"));
    QCOMPARE(window.findChild<QLineEdit *>("lineEditHumidity")->text(), QStringLiteral("--"));
    QVERIFY(window.findChild<QLabel *>("labelDataAge")->text().startsWith("Station time "));

    QVERIFY(line.write(weather("5.3")));
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(",cleared,low-battery,"), kWaitMs);
    QVERIFY(alarmLabel->text().isEmpty());
}

QTEST_MAIN(TestAlarmsOverSerial)
#include "tst_alarmsoverserial.moc"
