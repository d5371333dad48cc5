// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "commands/dialogimageschedule.h"
#include "support/stationline.h"
#include "weather/weatherparser.h"

#if defined(Q_OS_UNIX)
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
const QString kFastModeNote =
    QStringLiteral("Note: Modes faster than 5-minute will disable modem communications");

// Answers the dialog that the window runs with exec(), from inside its event
// loop: the next visible schedule dialog gets the answer.
class ScheduleAnswer
{
public:
    explicit ScheduleAnswer(std::function<void(dialogImageSchedule *)> answer) : m_answer(std::move(answer))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                auto *dialog = qobject_cast<dialogImageSchedule *>(window);
                if (dialog && dialog->isVisible()) {
                    m_timer.stop();
                    m_used = true;
                    m_answer(dialog);
                    return;
                }
            }
        });
        m_timer.start();
    }
    bool used() const { return m_used; }

private:
    QTimer m_timer;
    std::function<void(dialogImageSchedule *)> m_answer;
    bool m_used = false;
};

QCheckBox *hourBox(dialogImageSchedule *dialog, int hour)
{
    return dialog->findChild<QCheckBox *>(QStringLiteral("checkBox%1").arg(hour, 2, 10, QLatin1Char('0')));
}

int checkedHours(dialogImageSchedule *dialog)
{
    int count = 0;
    for (int hour = 0; hour < 24; ++hour)
        count += hourBox(dialog, hour)->isChecked() ? 1 : 0;
    return count;
}

void press(dialogImageSchedule *dialog, QDialogButtonBox::StandardButton button)
{
    dialog->findChild<QDialogButtonBox *>("buttonBox")->button(button)->click();
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}
} // namespace

// The configuration selectors of the window, their argument inputs, the image
// requests and the way a command reaches the station.
class TestMainWindowCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selectorsFilled_data();
    void selectorsFilled();
    void fastModesMarked();
    void reportedFastModeWithoutFastModes_data();
    void reportedFastModeWithoutFastModes();
    void cameraNumberShownForSingleCamera_data();
    void cameraNumberShownForSingleCamera();
    void autoImageCaptureSchedule();
    void autoImageCaptureWithoutHours_data();
    void autoImageCaptureWithoutHours();
    void elevationInput_data();
    void elevationInput();
    void audioOffset_data();
    void audioOffset();
    void automaticImageRequest();
    void automaticImageRequestNeedsAdvanced();
    void sendCommandChangesStationMode();

private:
    void startWindow(const QByteArray &options, const QStringList &ports = QStringList());
    void tick(int count);
    QComboBox *combo(const char *name) const;
    // As the user does it: a choice from the list, reported by activated().
    void choose(const char *name, int index);
    bool visible(const char *name) const;
    QByteArray weatherPacket(int modeDigit) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMainWindowCommands::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TestMainWindowCommands::startWindow(const QByteArray &options, const QStringList &ports)
{
    m_window = std::make_unique<MainWindow>(testsupport::testWindowOptions(*m_dir, ports, options));
}

void TestMainWindowCommands::tick(int count)
{
    for (int i = 0; i < count; ++i)
        m_window->Timer();
}

QComboBox *TestMainWindowCommands::combo(const char *name) const
{
    return m_window->findChild<QComboBox *>(name);
}

void TestMainWindowCommands::choose(const char *name, int index)
{
    QComboBox *box = combo(name);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

bool TestMainWindowCommands::visible(const char *name) const
{
    return m_window->findChild<QWidget *>(name)->isVisibleTo(m_window.get());
}

QByteArray TestMainWindowCommands::weatherPacket(int modeDigit) const
{
    QFile file(QFINDTESTDATA("../data/packets/weather_example_no_gps_no_ceilometer.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray packet = file.readAll();
    packet.replace("B:5.32:3:", "B:5.32:" + QByteArray::number(modeDigit) + ":");
    return packet + "SND\r\n";
}

void TestMainWindowCommands::selectorsFilled_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("reporting") << "reportingComboBox"
                               << QStringList{"No command", "3 Hour",   "1 Hour",    "20 Minute",
                                              "5 Minute",   "1 Minute", "20 Second", "10 Second"};
    QTest::newRow("ceilometer") << "ceilComboBox"
                                << QStringList{"No command", "Disable", "Enable Auto", "Enable Always"};
    QTest::newRow("speci") << "speciComboBox" << QStringList{"No command", "Disable", "Enable"};
    QTest::newRow("gps") << "gpsComboBox"
                         << QStringList{"No command",
                                        "Disable Lat/Lon",
                                        "Enable Lat/Lon",
                                        "Update GPS Lat/Lon",
                                        "Update GPS Lat/Lon and Elevation",
                                        "Set Elevation (m)"};
    QTest::newRow("camera") << "imgComboBox"
                            << QStringList{"No command",
                                           "Off",
                                           "Request Images",
                                           "Request Single Camera",
                                           "Set Auto Image Capture",
                                           "Cancel Auto Image Capture"};
    QTest::newRow("acoustic") << "audioComboBox" << QStringList{"No command",
                                                                "Off",
                                                                "Record Acoustic and Get Spectral Data",
                                                                "Get Spectral Data",
                                                                "Get MP3 Data",
                                                                "Get Raw Data"};
}

void TestMainWindowCommands::selectorsFilled()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    startWindow("FAST_MODES\nAUDIO_COMMANDS\nSPECI_COMMANDS\n");
    QComboBox *box = combo(qPrintable(name));
    QCOMPARE(itemTexts(box), items);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(m_window->updateConfig(), QByteArray("\r"));
}

void TestMainWindowCommands::fastModesMarked()
{
    startWindow("FAST_MODES\n");
    QComboBox *reporting = combo("reportingComboBox");
    QCOMPARE(reporting->count(), 8);
    for (int i = 0; i < reporting->count(); ++i) {
        const bool fast = i > 4;
        QCOMPARE(reporting->itemData(i, Qt::ToolTipRole).toString(), fast ? kFastModeNote : QString());
        const QVariant colour = reporting->itemData(i, Qt::ForegroundRole);
        if (fast)
            QCOMPARE(colour.value<QColor>(), QColor(209, 36, 36));
        else
            QVERIFY(!colour.isValid());
    }

    auto *note = m_window->findChild<QLabel *>("label_CommandNote");
    QCOMPARE(note->text(), "<span style=\" color:#d12424;\">" + kFastModeNote + "</span>");
    QVERIFY(!visible("label_CommandNote"));
    for (int i : {5, 4, 7, 0, 6, 1}) {
        reporting->setCurrentIndex(i);
        QCOMPARE(visible("label_CommandNote"), i > 4);
    }
}

void TestMainWindowCommands::reportedFastModeWithoutFastModes_data()
{
    QTest::addColumn<int>("modeDigit");
    QTest::addColumn<QString>("selected");

    QTest::newRow("1 Minute") << 4 << "No command";
    QTest::newRow("20 Second") << 5 << "No command";
    QTest::newRow("10 Second") << 6 << "No command";
    QTest::newRow("5 Minute") << 3 << "5 Minute";
}

void TestMainWindowCommands::reportedFastModeWithoutFastModes()
{
    QFETCH(int, modeDigit);
    QFETCH(QString, selected);

    testsupport::StationLine station;
    if (!station.isOpen())
        QSKIP("No pseudo-terminals on this system");
    startWindow(QByteArray(), {station.portName()});
    tick(20);
    QComboBox *reporting = combo("reportingComboBox");
    QCOMPARE(reporting->count(), 5);
    reporting->setCurrentIndex(2); // "1 Hour", so that a change shows

    QVERIFY(station.write(weatherPacket(modeDigit)));
    QTRY_COMPARE(reporting->currentText(), selected);
    QVERIFY(!visible("label_CommandNote"));
}

void TestMainWindowCommands::cameraNumberShownForSingleCamera_data()
{
    QTest::addColumn<int>("index");

    QTest::newRow("No command") << 0;
    QTest::newRow("Off") << 1;
    QTest::newRow("Request Images") << 2;
    QTest::newRow("Cancel Auto Image Capture") << 5;
}

void TestMainWindowCommands::cameraNumberShownForSingleCamera()
{
    QFETCH(int, index);

    startWindow(QByteArray());
    QVERIFY(!visible("spinBoxCamera"));
    choose("imgComboBox", 3);
    QVERIFY(visible("spinBoxCamera"));
    m_window->findChild<QSpinBox *>("spinBoxCamera")->setValue(4);
    QCOMPARE(m_window->updateConfig(), QByteArray("I4\r"));

    choose("imgComboBox", index);
    QVERIFY(!visible("spinBoxCamera"));
}

void TestMainWindowCommands::autoImageCaptureSchedule()
{
    startWindow(QByteArray());
    int checkedAtOpen = -1;
    {
        ScheduleAnswer answer([&](dialogImageSchedule *dialog) {
            checkedAtOpen = checkedHours(dialog);
            hourBox(dialog, 23)->click();
            hourBox(dialog, 0)->click();
            press(dialog, QDialogButtonBox::Ok);
        });
        choose("imgComboBox", 4);
        QVERIFY(answer.used());
    }
    QCOMPARE(checkedAtOpen, 0);
    QCOMPARE(combo("imgComboBox")->currentIndex(), 4);
    QCOMPARE(m_window->updateConfig(), QByteArray("i00\ri23\r"));

    // A second opening starts afresh; cancelling it drops the earlier schedule.
    {
        ScheduleAnswer answer([&](dialogImageSchedule *dialog) {
            checkedAtOpen = checkedHours(dialog);
            press(dialog, QDialogButtonBox::Cancel);
        });
        choose("imgComboBox", 4);
        QVERIFY(answer.used());
    }
    QCOMPARE(checkedAtOpen, 0);
    QCOMPARE(combo("imgComboBox")->currentIndex(), 0);
    QCOMPARE(m_window->updateConfig(), QByteArray("\r"));
}

void TestMainWindowCommands::autoImageCaptureWithoutHours_data()
{
    QTest::addColumn<int>("button");

    QTest::newRow("cancelled") << int(QDialogButtonBox::Cancel);
    QTest::newRow("accepted with no hour") << int(QDialogButtonBox::Ok);
}

void TestMainWindowCommands::autoImageCaptureWithoutHours()
{
    QFETCH(int, button);

    startWindow(QByteArray());
    ScheduleAnswer answer([&](dialogImageSchedule *dialog) {
        hourBox(dialog, 6)->click();
        hourBox(dialog, 6)->click();
        press(dialog, QDialogButtonBox::StandardButton(button));
    });
    choose("imgComboBox", 4);
    QVERIFY(answer.used());
    QCOMPARE(combo("imgComboBox")->currentText(), QStringLiteral("No command"));
    QCOMPARE(m_window->updateConfig(), QByteArray("\r"));
}

void TestMainWindowCommands::elevationInput_data()
{
    QTest::addColumn<int>("other");

    for (int index = 0; index < 5; ++index)
        QTest::newRow(qPrintable(QString::number(index))) << index;
}

void TestMainWindowCommands::elevationInput()
{
    QFETCH(int, other);

    startWindow(QByteArray());
    QVERIFY(!visible("spinBox"));
    choose("gpsComboBox", 5);
    QVERIFY(visible("spinBox"));
    auto *elevation = m_window->findChild<QSpinBox *>("spinBox");
    elevation->setValue(-5);
    QCOMPARE(m_window->updateConfig(), QByteArray("GE-0005\r\r"));
    QVERIFY(visible("spinBox"));

    choose("gpsComboBox", other);
    QVERIFY(!visible("spinBox"));
    QVERIFY(!m_window->updateConfig().contains("GE"));

    // The last elevation is kept for the next time.
    choose("gpsComboBox", 5);
    QVERIFY(visible("spinBox"));
    QCOMPARE(elevation->value(), -5);
    QCOMPARE(m_window->getElev(), -5);
    QCOMPARE(m_window->updateConfig(), QByteArray("GE-0005\r\r"));
}

void TestMainWindowCommands::audioOffset_data()
{
    QTest::addColumn<int>("valueBefore");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("valueAfter");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QByteArray>("command");

    // The camera group's lone carriage return comes before the acoustic command.
    QTest::newRow("MP3 caps 28 to 25") << 28 << 4 << -1 << 25 << QByteArray("\rA325\r");
    QTest::newRow("MP3 caps a later 29") << 0 << 4 << 29 << 25 << QByteArray("\rA325\r");
    QTest::newRow("MP3 keeps 7") << 7 << 4 << -1 << 7 << QByteArray("\rA307\r");
    QTest::newRow("raw takes 29") << 0 << 5 << 29 << 29 << QByteArray("\rA429\r");
    QTest::newRow("raw keeps 28") << 28 << 5 << -1 << 28 << QByteArray("\rA428\r");
}

void TestMainWindowCommands::audioOffset()
{
    QFETCH(int, valueBefore);
    QFETCH(int, index);
    QFETCH(int, valueAfter);
    QFETCH(int, shown);
    QFETCH(QByteArray, command);

    startWindow("AUDIO_COMMANDS\n");
    auto *box = m_window->findChild<QSpinBox *>("audioSpinBox");
    QVERIFY(!visible("audioSpinBox"));
    box->setValue(valueBefore);
    choose("audioComboBox", index);
    QVERIFY(visible("audioSpinBox"));
    if (valueAfter >= 0)
        box->setValue(valueAfter);
    QCOMPARE(box->value(), shown);
    QCOMPARE(m_window->updateConfig(), command);

    choose("audioComboBox", 3);
    QVERIFY(!visible("audioSpinBox"));
    QCOMPARE(m_window->updateConfig(), QByteArray("\rA2\r"));
}

void TestMainWindowCommands::automaticImageRequest()
{
    startWindow("ADVANCED\n");
    auto *action = m_window->findChild<QAction *>("actionAutomaticImageRequest");
    auto *button = m_window->findChild<QPushButton *>("updatePushButton");
    auto imageTimerRunning = [this] {
        const QList<QTimer *> timers = m_window->findChildren<QTimer *>();
        for (const QTimer *timer : timers) {
            if (timer->interval() == 1200000 && timer->isActive())
                return true;
        }
        return false;
    };
    QVERIFY(!imageTimerRunning());

    QTest::ignoreMessage(QtDebugMsg, "Automatic Image Timer: ON");
    action->trigger();
    QVERIFY(action->isChecked());
    QVERIFY(imageTimerRunning());
    QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));
    QCOMPARE(combo("imgComboBox")->currentText(), QStringLiteral("Request Images"));

    // A tick that finds the request still pending cancels it; the next queues a new one.
    m_window->handleImgTimer();
    QCOMPARE(button->text(), QStringLiteral("Send Command"));
    m_window->handleImgTimer();
    QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));

    QTest::ignoreMessage(QtDebugMsg, "Automatic Image Timer: OFF");
    action->trigger();
    QVERIFY(!imageTimerRunning());
}

void TestMainWindowCommands::automaticImageRequestNeedsAdvanced()
{
    startWindow(QByteArray());
    auto *action = m_window->findChild<QAction *>("actionAutomaticImageRequest");
    action->setChecked(true);
    m_window->toggleAutomaticImageRequest();
    QCOMPARE(m_window->findChild<QPushButton *>("updatePushButton")->text(), QStringLiteral("Send Command"));
    QCOMPARE(combo("imgComboBox")->currentIndex(), 0);
    const QList<QTimer *> timers = m_window->findChildren<QTimer *>();
    for (const QTimer *timer : timers)
        QVERIFY(timer->interval() != 1200000);
}

void TestMainWindowCommands::sendCommandChangesStationMode()
{
#if defined(Q_OS_UNIX)
    ::PseudoTerminal line;
    if (!line.open())
        QSKIP("No pseudo-terminals on this system");
    StationSimulatorOptions options;
    options.intervalMs = 1500;
    options.modeDigit = 3; // "5 Minute"
    options.banner = false;
    options.auxEvery = 0;
    StationSimulator station(options, &line);
    QList<QByteArray> packets;
    connect(&station, &StationSimulator::packetSent, this,
            [&packets](const QByteArray &packet) { packets.append(packet); });
    QSignalSpy modeChanges(&station, &StationSimulator::modeChanged);

    startWindow("FAST_MODES\n", {line.slavePath()});
    tick(20);
    station.start();
    QComboBox *reporting = combo("reportingComboBox");
    QTRY_COMPARE_WITH_TIMEOUT(reporting->currentText(), QStringLiteral("5 Minute"), 10000);

    auto *button = m_window->findChild<QPushButton *>("updatePushButton");
    reporting->setCurrentIndex(5); // "1 Minute"
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));
    // The request is a snapshot; from now on the selector shows what the station reports.
    reporting->setCurrentIndex(1);

    QTRY_COMPARE_WITH_TIMEOUT(modeChanges.count(), 1, 10000);
    QCOMPARE(modeChanges.first().first().toInt(), 4);
    QCOMPARE(station.modeDigit(), 4);
    QTRY_COMPARE(button->text(), QStringLiteral("Send Command"));

    const int before = packets.size();
    QTRY_VERIFY_WITH_TIMEOUT(packets.size() > before, 10000);
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(packets.last()));
    QCOMPARE(parser.getMode(), QStringLiteral("1 Minute"));
    QTRY_COMPARE_WITH_TIMEOUT(reporting->currentText(), QStringLiteral("1 Minute"), 5000);
    QVERIFY(visible("label_CommandNote"));
#else
    QSKIP("The station simulator needs pseudo-terminals");
#endif
}

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindowcommands.moc"
