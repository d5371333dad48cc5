// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "ui/dialogabout.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QTextBrowser>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithTitleAndTabs();
    void optionEffects_data();
    void optionEffects();
    void optionDebugLines();
    void fadeColours();
    void statusMessageClearedAfterOneMinuteIdle();
    void idleClock();
    void progressHiddenAfterFiveSeconds();
    void dataFolderCreatedWithParents();
    void noPortGivesNoConnection();
    void aboutShownOnce();
    void helpRaisedNotRebuilt();
    void cameraViewsKeepFourByThree();
    void loggingActionEnablesSyncedAction();

private:
    std::unique_ptr<MainWindow> makeWindow(const QByteArray &options = QByteArray());
    QString messageText(MainWindow &window) const;
    static void tick(MainWindow &window, int count);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMainWindow::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow(const QByteArray &options)
{
    MainWindowOptions start;
    start.systemPorts = false;
    start.dataFolder = m_dir->filePath("data/KTR Control Data");
    start.optionsFile = m_dir->filePath("options.txt");
    start.settingsFile = m_dir->filePath("settings.ini");
    if (!options.isNull()) {
        QFile file(start.optionsFile);
        if (file.open(QIODevice::WriteOnly))
            file.write(options);
    }
    return std::make_unique<MainWindow>(start);
}

QString TestMainWindow::messageText(MainWindow &window) const
{
    // The status bar holds the connection label first, then the message stack.
    const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->alignment() & Qt::AlignRight)
            return label->text();
    }
    return QString();
}

void TestMainWindow::tick(MainWindow &window, int count)
{
    for (int i = 0; i < count; ++i)
        window.Timer();
}

void TestMainWindow::startsWithTitleAndTabs()
{
    auto window = makeWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("KTR Control"));
    auto *tabs = window->findChild<QTabWidget *>("tabWidget");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Control View"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Data View"));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(window->findChild<QLabel *>("firmwareValLabel")->text(), QStringLiteral("-"));
    QCOMPARE(window->findChild<QLabel *>("unitValLabel")->text(), QStringLiteral("-"));
    QVERIFY(window->findChild<QAction *>("actionEnableDataLogging")->isChecked());
    QVERIFY(!window->findChild<QAction *>("actionEnableForwarding")->isChecked());
}

void TestMainWindow::optionEffects_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("forwarding");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("speci");
    QTest::addColumn<int>("reportingItems");

    QTest::newRow("no file") << QByteArray() << false << false << false << false << 5;
    QTest::newRow("comment") << QByteArray("//ADVANCED\n") << false << false << false << false << 5;
    QTest::newRow("forwarding and fast modes")
        << QByteArray("FORWARDING\r\nFAST_MODES\r\n") << false << true << false << false << 8;
    QTest::newRow("advanced") << QByteArray("ADVANCED") << true << false << false << false << 5;
    QTest::newRow("audio and speci") << QByteArray("AUDIO_COMMANDS\nSPECI_COMMANDS\n") << false << false << true
                                     << true << 5;
}

void TestMainWindow::optionEffects()
{
    QFETCH(QByteArray, options);
    QFETCH(bool, advanced);
    QFETCH(bool, forwarding);
    QFETCH(bool, audio);
    QFETCH(bool, speci);
    QFETCH(int, reportingItems);

    auto window = makeWindow(options);
    auto *menuAdvanced = window->findChild<QMenu *>("menuAdvanced");
    QCOMPARE(menuAdvanced->title(), advanced ? QStringLiteral("Advanced") : QString());
    QCOMPARE(window->findChild<QAction *>("actionEnableForwarding")->isVisible(), forwarding);
    QCOMPARE(window->findChild<QAction *>("actionDataForwarding")->isVisible(), forwarding);
    QCOMPARE(window->findChild<QAction *>("actionEnableDataLogging")->isVisible(), true);
    QCOMPARE(window->findChild<QComboBox *>("audioComboBox")->isHidden(), !audio);
    QCOMPARE(window->findChild<QWidget *>("audioLabel")->isHidden(), !audio);
    QCOMPARE(window->findChild<QSpinBox *>("audioSpinBox")->isHidden(), true);
    QCOMPARE(window->findChild<QComboBox *>("speciComboBox")->isHidden(), !speci);
    QCOMPARE(window->findChild<QWidget *>("speciLabel")->isHidden(), !speci);
    QCOMPARE(window->findChild<QLayout *>("horizontalLayout_Audio") != nullptr, audio);
    QCOMPARE(window->findChild<QLayout *>("horizontalLayout_Speci") != nullptr, speci);

    auto *reporting = window->findChild<QComboBox *>("reportingComboBox");
    QCOMPARE(reporting->count(), reportingItems);
    QCOMPARE(reporting->itemText(reporting->count() - 1),
             reportingItems == 8 ? QStringLiteral("10 Second") : QStringLiteral("5 Minute"));
}

void TestMainWindow::optionDebugLines()
{
    QTest::ignoreMessage(QtDebugMsg, "Options file found");
    QTest::ignoreMessage(QtDebugMsg, "Advanced option: DISABLED");
    QTest::ignoreMessage(QtDebugMsg, "Forwarding option: ENABLED");
    QTest::ignoreMessage(QtDebugMsg, "Audio commands: DISABLED");
    QTest::ignoreMessage(QtDebugMsg, "SPECI commands: DISABLED");
    QTest::ignoreMessage(QtDebugMsg, "Fast modes: ENABLED");
    makeWindow("FORWARDING\nFAST_MODES\n");
}

void TestMainWindow::fadeColours()
{
    auto window = makeWindow();
    window->setProgress(QStringLiteral("Received Weather Data"));
    window->readData(); // a receive pass restarts the idle count
    tick(*window, 1);
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#0e0e0e'>Received Weather Data</font>"));
    tick(*window, 199);
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#c8c8c8'>Received Weather Data</font>"));
    window->setProgress(QStringLiteral("changed"));
    tick(*window, 2);
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#c8c8c8'>changed</font>"));
    window->setProgress(QStringLiteral("too late"));
    tick(*window, 1); // 203 ticks: the fade is over, the label keeps its text
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#c8c8c8'>changed</font>"));
}

void TestMainWindow::statusMessageClearedAfterOneMinuteIdle()
{
    auto window = makeWindow();
    window->setProgress(QStringLiteral("KTR Configured"));
    window->readData();
    tick(*window, 600);
    window->readData();
    tick(*window, 1);
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#0e0e0e'>KTR Configured</font>"));

    tick(*window, 600); // the tick at which the idle count reaches 601 clears it
    window->readData();
    tick(*window, 1);
    QCOMPARE(messageText(*window), QStringLiteral("<font color='#0e0e0e'></font>"));
}

void TestMainWindow::idleClock()
{
    auto window = makeWindow();
    window->readData();
    tick(*window, 600);
    QCOMPARE(window->findChild<QLabel *>("idleLabel")->text(), QStringLiteral("Idle:\t\t00:01:00.0"));
    tick(*window, 37);
    QCOMPARE(window->findChild<QLabel *>("idleLabel")->text(), QStringLiteral("Idle:\t\t00:01:03.7"));
}

void TestMainWindow::progressHiddenAfterFiveSeconds()
{
    auto window = makeWindow();
    auto *progress = window->statusBar()->findChild<QProgressBar *>();
    QVERIFY(progress);
    QVERIFY(progress->isHidden());
    QCOMPARE(progress->maximum(), 44);
    QCOMPARE(window->statusBar()->styleSheet(), QStringLiteral("QStatusBar::item { border: none; } "));
}

void TestMainWindow::dataFolderCreatedWithParents()
{
    auto window = makeWindow();
    QVERIFY(QFileInfo(m_dir->filePath("data/KTR Control Data")).isDir());
}

void TestMainWindow::noPortGivesNoConnection()
{
    auto window = makeWindow();
    QTest::ignoreMessage(QtDebugMsg, "No COM port detected");
    tick(*window, 20);
    const QList<QLabel *> labels = window->statusBar()->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!(label->alignment() & Qt::AlignRight))
            QVERIFY(label->text().isEmpty());
    }
    auto *menu = window->findChild<QMenu *>("menuComPort");
    QVERIFY(menu->actions().isEmpty());
}

void TestMainWindow::aboutShownOnce()
{
    auto window = makeWindow();
    window->show();
    auto *about = window->findChild<QAction *>("actionAbout_2");
    about->trigger();
    about->trigger();
    int visible = 0;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (qobject_cast<DialogAbout *>(widget) && widget->isVisible())
            ++visible;
    }
    QCOMPARE(visible, 1);
    auto *dialog = window->findChild<DialogAbout *>();
    QCOMPARE(dialog->findChild<QLabel *>("labelVersion")->text(), QStringLiteral("KTR Control v2.14"));
}

void TestMainWindow::helpRaisedNotRebuilt()
{
    auto window = makeWindow();
    window->show();
    auto *contents = window->findChild<QAction *>("actionContents");
    contents->trigger();
    auto *browser = window->findChild<QTextBrowser *>();
    QVERIFY(browser);
    QVERIFY(browser->toHtml().contains("FAQ"));
    browser->moveCursor(QTextCursor::End);
    const int position = browser->textCursor().position();
    window->activateWindow();
    contents->trigger();
    QCOMPARE(window->findChildren<QTextBrowser *>().size(), 1);
    QCOMPARE(browser->textCursor().position(), position);
}

void TestMainWindow::cameraViewsKeepFourByThree()
{
    auto window = makeWindow();
    window->show();
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    for (const QSize size : {QSize(900, 750), QSize(1400, 1000)}) {
        window->QMainWindow::resize(size);
        QCoreApplication::processEvents();
        auto *first = window->findChild<QLabel *>("cam1Label");
        const int height = static_cast<int>(first->width() * 0.75);
        for (int camera = 1; camera <= 4; ++camera) {
            auto *view = window->findChild<QLabel *>(QStringLiteral("cam%1Label").arg(camera));
            auto *caption = window->findChild<QLabel *>(QStringLiteral("cam%1TextLabel").arg(camera));
            QCOMPARE(view->maximumHeight(), height);
            QCOMPARE(caption->maximumWidth(), view->width());
        }
    }
}

void TestMainWindow::loggingActionEnablesSyncedAction()
{
    auto window = makeWindow();
    auto *logging = window->findChild<QAction *>("actionEnableDataLogging");
    auto *synced = window->findChild<QAction *>("actionOnly_Log_Data_Synced_to_Reporting_Mode");
    logging->trigger();
    QVERIFY(!logging->isChecked());
    QVERIFY(!synced->isEnabled());
    logging->trigger();
    QVERIFY(synced->isEnabled());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
