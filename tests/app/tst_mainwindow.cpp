// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "link/memorylink.h"
#include "session/stationsession.h"
#include "support/testwindowoptions.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray weather(int modeDigit)
{
    return "@I:300234063909320\r\n@012\r\nB:5.32:" + QByteArray::number(modeDigit) +
           ":000123:0A:1F:00\r\nT:18/05/31,02:37:13\r\nOR:182.5:2:0\r\nTA:22.8\r\n~\r\nSND\r\n";
}
} // namespace

// The window over its session: what the session reports reaches the
// widgets, and what the user does reaches the session.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_link = std::make_unique<MemoryLink>(QStringLiteral("/dev/ttyUSB0"));
    }
    void cleanup() { m_window.reset(); }
    void optionEffects_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<bool>("forwarding");
        QTest::addColumn<int>("reportingItems");
        QTest::newRow("none") << QByteArray() << false << false << 5;
        QTest::newRow("all") << QByteArray("ADVANCED\nFORWARDING\nFAST_MODES\n") << true << true << 8;
    }
    void optionEffects()
    {
        QFETCH(QByteArray, options);
        start(options);
        QTEST(m_window->findChild<QMenu *>("menuAdvanced")->menuAction()->isVisible(), "advanced");
        QTEST(m_window->findChild<QAction *>("actionEnableForwarding")->isVisible(), "forwarding");
        QTEST(reporting()->count(), "reportingItems");
    }
    // A new status message shows even after a long silence of the station.
    void weatherAndStatusShow()
    {
        start();
        m_link->feed(weather(3));
        QCOMPARE(m_window->findChild<QLineEdit *>("lineEditTemperature")->text(),
                 QStringLiteral("22.8 \u00b0C"));
        QCOMPARE(m_window->findChild<QLabel *>("firmwareValLabel")->text(), QStringLiteral("12"));
        QVERIFY(m_window->findChild<QLineEdit *>("lineEditVoltage")->styleSheet().contains("lawngreen"));
        ticks(1);
        QVERIFY(statusText().contains("Received Weather Data"));
        // The fading message keeps a fixed size fitted to it, so a tick repaints the label alone.
        const QSize fitted = messageLabel()->maximumSize();
        QCOMPARE(messageLabel()->minimumSize(), fitted);
        ticks(400); // 40 s without a word from the station
        m_window->findChild<QPushButton *>("updatePushButton")->click();
        ticks(1);
        QCOMPARE(statusText(), QStringLiteral("<font color='#0e0e0e'>Sending Config Request...</font>"));
        QVERIFY(messageLabel()->maximumWidth() > fitted.width());
    }
    void unsentChoiceIsKept()
    {
        start();
        m_link->feed(weather(3));
        const int oneHour = reporting()->findText(QStringLiteral("1 Hour"));
        reporting()->setCurrentIndex(oneHour);
        emit reporting()->activated(oneHour);
        m_link->feed(weather(3));
        QCOMPARE(reporting()->currentIndex(), oneHour);
        auto *station = m_window->findChild<QLabel *>("stationModeLabel");
        QVERIFY(station->isVisibleTo(m_window.get()));
        QCOMPARE(station->text(), QStringLiteral("Station: 5 Minute"));

        // Sent, and the station reports the new mode: the selector follows it again.
        m_window->findChild<QPushButton *>("updatePushButton")->click();
        QVERIFY(m_window->session()->sendCycle().queuedCommand().startsWith("m1\r"));
        m_link->feed(weather(2));
        QVERIFY(!station->isVisibleTo(m_window.get()));
        QCOMPARE(reporting()->currentText(), QStringLiteral("20 Minute"));
    }
    void imageTimerJoinsUserRequest()
    {
        start("ADVANCED\n");
        auto *button = m_window->findChild<QPushButton *>("updatePushButton");
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));
        m_window->handleImgTimer();
        QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));
        QVERIFY(m_window->session()->sendCycle().queuedCommand().contains("I5"));
    }
    void demoShowsItselfAndSurvivesAScan()
    {
        QVERIFY(QDir(m_dir->path()).mkpath("Demo"));
        QFile file(m_dir->filePath("Demo/a.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(weather(3)) > 0 && file.flush());
        MainWindowOptions options = testsupport::testWindowOptions(*m_dir, {"/dev/null"});
        options.demo = true;
        m_window = std::make_unique<MainWindow>(options);
        QLabel *connection = m_window->statusBar()->findChildren<QLabel *>().first();
        QVERIFY(connection->text().endsWith("Demo replay</font></b> (300234063909320)"));
        ticks(25); // the scan opens the named port behind the replay
        QVERIFY(connection->text().endsWith("Demo replay</font></b> (300234063909320)"));
        QCOMPARE(m_window->findChild<QLineEdit *>("lineEditTemperature")->text(),
                 QStringLiteral("22.8 \u00b0C"));
        QVERIFY(QDir(m_dir->filePath("KTR Control Data/Demo/CSV")).exists());
        QVERIFY(!QDir(m_dir->filePath("KTR Control Data/CSV")).exists());
    }

    // The dialogs are built when first opened, once each.
    void dialogsOpenFromTheMenus_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("within"); // where to look, or the whole window
        QTest::addColumn<QString>("built");
        QTest::newRow("help") << "actionContents" << "" << "DialogHelp";
        QTest::newRow("about") << "actionAbout_2" << "" << "DialogAbout";
        QTest::newRow("alarm settings") << "actionAlarms" << "" << "DialogAlarms";
        QTest::newRow("forwarding") << "actionDataForwarding" << "" << "DialogDataForwarding";
        // The list records from the start; its buttons come with the first opening.
        QTest::newRow("alarm list") << "actionAlarmList" << "dialogAlarmList" << "QDialogButtonBox";
    }
    void dialogsOpenFromTheMenus()
    {
        QFETCH(QString, action);
        QFETCH(QString, within);
        QFETCH(QString, built);
        start();
        QObject *scope = within.isEmpty() ? m_window.get() : m_window->findChild<QObject *>(within);
        QVERIFY(scope);
        const auto count = [&] {
            const QList<QWidget *> widgets = scope->findChildren<QWidget *>();
            return std::count_if(widgets.begin(), widgets.end(),
                                 [&](QWidget *w) { return w->metaObject()->className() == built; });
        };
        QCOMPARE(count(), 0);
        for (int i = 0; i < 2; ++i) {
            // A modal one is closed as soon as it shows.
            QTimer::singleShot(0, this, [] {
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
            });
            m_window->findChild<QAction *>(action)->trigger();
            QCOMPARE(count(), 1);
        }
    }

    // Switching forwarding on asks for a receiver only when none is set.
    void forwardingNeedsAReceiver_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<bool>("ready");
        QTest::newRow("receiver set") << "127.0.0.1" << true;
        QTest::newRow("none set") << "" << false;
    }
    void forwardingNeedsAReceiver()
    {
        QFETCH(QString, ip);
        QSettings(m_dir->filePath("settings.ini"), QSettings::IniFormat).setValue("forwardingIp", ip);
        start("FORWARDING\n");
        // The message and then the dialog, each closed unanswered.
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        closer.start(10);
        auto *enable = m_window->findChild<QAction *>("actionEnableForwarding");
        enable->setChecked(true);
        QTEST(m_window->checkDataForwarding(), "ready");
        QCOMPARE(enable->isChecked(), !ip.isEmpty());
    }

private:
    void start(const QByteArray &options = {})
    {
        m_window = std::make_unique<MainWindow>(testsupport::testWindowOptions(*m_dir, {}, options));
        QVERIFY(m_window->session()->connectLink(m_link.get()));
    }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            m_window->Timer();
    }
    QLabel *messageLabel() const
    {
        const QList<QLabel *> labels = m_window->statusBar()->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            if (label->alignment() & Qt::AlignRight)
                return label;
        }
        return nullptr;
    }
    QString statusText() const { return messageLabel() ? messageLabel()->text() : QString(); }
    QComboBox *reporting() const { return m_window->findChild<QComboBox *>("reportingComboBox"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MemoryLink> m_link;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
