// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "forwarding/dialogdataforwarding.h"
#include "forwarding/sbdmessage.h"
#include "support/stationline.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using testsupport::StationLine;

namespace {
const QByteArray kImei = "300234063909320";
const QString kNoImeiText = QStringLiteral(
    "Data cannot be forwarded until IMEI is known. Please wait until weather data is received.");
const QString kFailedText =
    QStringLiteral("Data forwarding failed and will be disabled. Please verify parameters.");
const QString kInlineText =
    QStringLiteral("<span style=\" color:#000000;\">Data Forwarding will occur inline with the selected "
                   "Reporting Mode</span>");

// A forwarding receiver on 127.0.0.1: every connection carries one message.
class Receiver
{
public:
    Receiver()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                const int index = m_streams.size();
                m_streams.append(QByteArray());
                QObject::connect(socket, &QTcpSocket::readyRead,
                                 [this, socket, index] { m_streams[index] += socket->readAll(); });
            }
        });
    }

    int port() const { return m_server.serverPort(); }
    int connections() const { return m_streams.size(); }

    // The complete, well-formed messages received so far.
    QList<SbdMessage> messages() const
    {
        QList<SbdMessage> result;
        for (const QByteArray &stream : m_streams) {
            SbdMessage message;
            if (SbdMessage::messageLength(stream) == stream.size() && SbdMessage::parse(stream, &message))
                result.append(message);
        }
        return result;
    }

private:
    QTcpServer m_server;
    QList<QByteArray> m_streams;
};

// Answers the dialogs that the window runs with exec(), from inside their
// event loops: each answer takes the first visible window it accepts, in order.
class DialogAnswers
{
public:
    using Answer = std::function<bool(QWidget *)>;

    DialogAnswers()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    }

    void add(const Answer &answer)
    {
        m_answers.append(answer);
        m_timer.start();
    }
    int unused() const { return m_answers.size(); }

private:
    void poll()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (m_answers.isEmpty()) {
                m_timer.stop();
                return;
            }
            if (!window->isVisible() || m_handled.contains(window))
                continue;
            if (m_answers.first()(window)) {
                m_answers.removeFirst();
                m_handled.append(window);
            }
        }
    }

    QTimer m_timer;
    QList<Answer> m_answers;
    QList<QPointer<QWidget>> m_handled;
};

// Frees a dialog that blocks the test in a nested event loop, and remembers
// having had to.
class BlockingDialogWatchdog
{
public:
    BlockingDialogWatchdog()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            // Once fired it keeps freeing whatever dialog follows.
            m_timer.setInterval(100);
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible()) {
                    m_fired = true;
                    dialog->done(QDialog::Rejected);
                }
            }
        });
        m_timer.start(12000);
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

QMessageBox *visibleMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
            return box;
    }
    return nullptr;
}

struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

DialogAnswers::Answer pressOk(SeenBox *seen)
{
    return [seen](QWidget *window) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (!box)
            return false;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        box->button(QMessageBox::Ok)->click();
        return true;
    };
}

DialogAnswers::Answer fillSettings(const QString &ip, int port, QDialogButtonBox::StandardButton button)
{
    return [=](QWidget *window) {
        auto *dialog = qobject_cast<DialogDataForwarding *>(window);
        if (!dialog)
            return false;
        dialog->findChild<QLineEdit *>("lineEditIp")->setText(ip);
        dialog->findChild<QSpinBox *>("spinBoxPort")->setValue(port);
        dialog->findChild<QDialogButtonBox *>("buttonBox")->button(button)->click();
        return true;
    };
}
} // namespace

// Forwarding of station data by the window: the settings, the choice of
// packets, delivery to a real receiver and the reactions to failure.
class TestMainWindowForwarding : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void settingsKeptAcrossRestart();
    void incompleteSettingsAskForAddress_data();
    void incompleteSettingsAskForAddress();
    void cancelledAddressStillCounts();
    void slowModeForwardsMarkedPacketsOnly();
    void fastModeForwardsOncePerWindow();
    void unreachableReceiverSwitchesForwardingOff();
    void unknownImeiSwitchesForwardingOff_data();
    void unknownImeiSwitchesForwardingOff();
    void cameraPacketsForwarded();
    void countdownLabel_data();
    void countdownLabel();
    void sendCommandRestartsForwardingTimer();

private:
    void storeSettings(const QString &ip, int port, bool enabled);
    void startWindow();
    QByteArray weatherPacket(int modeDigit, const QByteArray &temperature, bool snd) const;
    static QByteArray payloadOf(const QByteArray &packet);
    static QByteArray cameraPacket();
    int csvRows() const;
    QString statusText();
    QAction *enableAction() const;
    QVariant stored(const QString &key) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationLine> m_station;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Receiver> m_receiver;
};

void TestMainWindowForwarding::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QFile options(m_dir->filePath("options.txt"));
    QVERIFY(options.open(QIODevice::WriteOnly));
    options.write("FORWARDING\n");
    options.close();
    m_station = std::make_unique<StationLine>();
    if (!m_station->isOpen())
        QSKIP("No pseudo-terminals on this system");
    m_receiver = std::make_unique<Receiver>();
    QVERIFY(m_receiver->port() > 0);
}

void TestMainWindowForwarding::cleanup()
{
    m_window.reset();
    m_receiver.reset();
    m_station.reset();
    m_dir.reset();
}

void TestMainWindowForwarding::storeSettings(const QString &ip, int port, bool enabled)
{
    QSettings settings(m_dir->filePath("settings.ini"), QSettings::IniFormat);
    settings.setValue("forwardingIp", ip);
    settings.setValue("forwardingPort", port);
    settings.setValue("enableForwarding", enabled);
}

void TestMainWindowForwarding::startWindow()
{
    m_window =
        std::make_unique<MainWindow>(testsupport::testWindowOptions(*m_dir, QStringList{m_station->portName()}));
    // The port scan connects to the station after 20 ticks.
    for (int i = 0; i < 20; ++i)
        m_window->Timer();
}

QByteArray TestMainWindowForwarding::weatherPacket(int modeDigit, const QByteArray &temperature,
                                                   bool snd) const
{
    QFile file(QFINDTESTDATA("../data/packets/weather_example_no_gps_no_ceilometer.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray packet = file.readAll();
    packet.replace("B:5.32:3:", "B:5.32:" + QByteArray::number(modeDigit) + ":");
    packet.replace("TA:22.8", "TA:" + temperature);
    return snd ? packet + "SND\r\n" : packet;
}

QByteArray TestMainWindowForwarding::payloadOf(const QByteArray &packet)
{
    const int start = packet.indexOf("@0");
    return packet.mid(start, packet.indexOf('~') - start);
}

QByteArray TestMainWindowForwarding::cameraPacket()
{
    // Camera 1, packet 0 of a picture, time 18/05/31 02:37:13.
    QByteArray packet("@1");
    packet += QByteArray::fromHex("180531023713");
    packet += char(0x10);
    packet += char(0);
    for (int i = 0; i < 330; ++i)
        packet += char(0x20 + i % 90);
    return packet + "\r\n\r\n";
}

int TestMainWindowForwarding::csvRows() const
{
    const QDir folder(m_dir->filePath("KTR Control Data/CSV"));
    const QStringList names = folder.entryList(QDir::Files);
    if (names.size() != 1)
        return 0;
    QFile file(folder.filePath(names.first()));
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("\r\n")) - 1 : 0;
}

QString TestMainWindowForwarding::statusText()
{
    // The status message reaches its label with the next tick.
    m_window->Timer();
    const QList<QLabel *> labels = m_window->statusBar()->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->alignment() & Qt::AlignRight)
            return label->text();
    }
    return QString();
}

QAction *TestMainWindowForwarding::enableAction() const
{
    return m_window->findChild<QAction *>("actionEnableForwarding");
}

QVariant TestMainWindowForwarding::stored(const QString &key) const
{
    return QSettings(m_dir->filePath("settings.ini"), QSettings::IniFormat).value(key);
}

void TestMainWindowForwarding::settingsKeptAcrossRestart()
{
    startWindow();
    QVERIFY(!enableAction()->isChecked());

    DialogAnswers answers;
    answers.add(fillSettings("127.0.0.1", 4711, QDialogButtonBox::Ok));
    m_window->findChild<QAction *>("actionDataForwarding")->trigger();
    QCOMPARE(answers.unused(), 0);
    QCOMPARE(stored("forwardingIp").toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(stored("forwardingPort").toInt(), 4711);
    QVERIFY(!stored("enableForwarding").isValid());

    // The address is set: switching on asks nothing.
    enableAction()->trigger();
    QVERIFY(enableAction()->isChecked());
    QCOMPARE(stored("enableForwarding").toBool(), true);

    m_window.reset();
    startWindow();
    QVERIFY(enableAction()->isChecked());
    QVERIFY(m_window->findChild<QLabel *>("labelForwardingTimeLeft")->isVisibleTo(m_window.get()));
    auto *dialog = m_window->findChild<DialogDataForwarding *>();
    QCOMPARE(dialog->values().ip, QStringLiteral("127.0.0.1"));
    QCOMPARE(dialog->values().port, 4711);

    // Switching off is kept as well.
    enableAction()->trigger();
    QVERIFY(!m_window->findChild<QLabel *>("labelForwardingTimeLeft")->isVisibleTo(m_window.get()));
    QCOMPARE(stored("enableForwarding").toBool(), false);
}

void TestMainWindowForwarding::incompleteSettingsAskForAddress_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("settings cancelled") << int(QDialogButtonBox::Cancel) << false;
    // Accepting counts as the user's answer, even without an address.
    QTest::newRow("accepted without address") << int(QDialogButtonBox::Ok) << true;
}

void TestMainWindowForwarding::incompleteSettingsAskForAddress()
{
    QFETCH(int, button);
    QFETCH(bool, enabled);

    startWindow();
    SeenBox seen;
    DialogAnswers answers;
    answers.add(pressOk(&seen));
    answers.add(fillSettings(QString(), 0, QDialogButtonBox::StandardButton(button)));
    enableAction()->trigger();
    QCOMPARE(answers.unused(), 0);

    QCOMPARE(seen.title, QStringLiteral("Incomplete Settings"));
    QCOMPARE(seen.text,
             QStringLiteral("Data forwarding parameters must be set! Click Ok to set parameters."));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(enableAction()->isChecked(), enabled);
    QCOMPARE(stored("enableForwarding").toBool(), enabled);
    QCOMPARE(m_window->findChild<QLabel *>("labelForwardingTimeLeft")->isVisibleTo(m_window.get()), enabled);
}

void TestMainWindowForwarding::cancelledAddressStillCounts()
{
    startWindow();
    DialogAnswers answers;
    answers.add(fillSettings("10.0.0.1", 4711, QDialogButtonBox::Cancel));
    m_window->findChild<QAction *>("actionDataForwarding")->trigger();
    QCOMPARE(answers.unused(), 0);
    QVERIFY(!stored("forwardingIp").isValid());

    // The dialog still shows the address, so switching on asks nothing.
    BlockingDialogWatchdog watchdog;
    enableAction()->trigger();
    QVERIFY(!watchdog.fired());
    QVERIFY(enableAction()->isChecked());
    QCOMPARE(stored("enableForwarding").toBool(), true);
    QVERIFY(!stored("forwardingIp").isValid());
}

void TestMainWindowForwarding::slowModeForwardsMarkedPacketsOnly()
{
    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();
    QVERIFY(enableAction()->isChecked());

    // "20 Minute": only what the station itself marks for its modem goes.
    QTest::ignoreMessage(QtDebugMsg, "--Not forwarding");
    QVERIFY(m_station->write(weatherPacket(2, "11.1", false)));
    QTRY_COMPARE(csvRows(), 1);
    QVERIFY(statusText().contains("Received Weather Data"));

    const QByteArray marked = weatherPacket(2, "22.2", true);
    QTest::ignoreMessage(QtDebugMsg, "--Attempting to forward");
    QVERIFY(m_station->write(marked));
    QTRY_COMPARE(m_receiver->messages().size(), 1);
    QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));
    QCOMPARE(csvRows(), 2);
    QCOMPARE(m_receiver->connections(), 1);

    const SbdMessage message = m_receiver->messages().first();
    QCOMPARE(message.payload, payloadOf(marked));
    QVERIFY(message.payload.startsWith("@012\r\n"));
    QVERIFY(message.payload.endsWith("XD:0:0\r\n"));
    QCOMPARE(message.imei, kImei);
    QVERIFY(message.counter >= 1);
    QVERIFY(enableAction()->isChecked());
}

void TestMainWindowForwarding::fastModeForwardsOncePerWindow()
{
    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();

    // "20 Second": the window is open right after switching on.
    const QByteArray first = weatherPacket(5, "11.1", false);
    QVERIFY(m_station->write(first));
    QTRY_COMPARE(m_receiver->messages().size(), 1);
    QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));

    // Right after a delivery the window is closed.
    QTest::ignoreMessage(QtDebugMsg, "--Not forwarding");
    QVERIFY(m_station->write(weatherPacket(5, "22.2", true)));
    QTRY_COMPARE(csvRows(), 2);
    QVERIFY(statusText().contains("Received Weather Data"));

    QTest::ignoreMessage(QtDebugMsg, "Forwarding timer elapsed: ok to forward");
    m_window->handleForwardingTimer();
    const QByteArray third = weatherPacket(5, "33.3", true);
    QVERIFY(m_station->write(third));
    QTRY_COMPARE(m_receiver->messages().size(), 2);
    QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));

    QList<QByteArray> payloads;
    const QList<SbdMessage> messages = m_receiver->messages();
    for (const SbdMessage &message : messages)
        payloads << message.payload;
    QVERIFY(payloads.contains(payloadOf(first)));
    QVERIFY(payloads.contains(payloadOf(third)));
    QCOMPARE(m_receiver->connections(), 2);
}

void TestMainWindowForwarding::unreachableReceiverSwitchesForwardingOff()
{
    int closedPort = 0;
    {
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost));
        closedPort = gone.serverPort();
    }
    storeSettings("127.0.0.1", closedPort, true);
    startWindow();
    BlockingDialogWatchdog watchdog;

    QVERIFY(m_station->write(weatherPacket(2, "11.1", true)));
    QTRY_VERIFY(statusText().contains("Data Forwarding Failed"));
    QVERIFY(!enableAction()->isChecked());

    // The box is shown, not run: the test gets here while it is open.
    QTRY_VERIFY(visibleMessageBox() || watchdog.fired());
    QVERIFY2(!watchdog.fired(), "a message box blocked in an event loop of its own");
    QMessageBox *box = visibleMessageBox();
    QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
    QCOMPARE(box->text(), kFailedText);
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

    // Switched off by the program, not by the user: the stored choice stays.
    QCOMPARE(stored("enableForwarding").toBool(), true);

    // Attempts that were under way together fail together: one box, not a stack.
    m_window->forwardStatus(false);
    int failureBoxes = 0;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        const auto *other = qobject_cast<QMessageBox *>(widget);
        if (other && other->isVisible() && other->text() == kFailedText)
            ++failureBoxes;
    }
    QCOMPARE(failureBoxes, 1);

    // Nothing more is attempted.
    QVERIFY(m_station->write(weatherPacket(2, "22.2", true)));
    QTRY_COMPARE(csvRows(), 2);
    QVERIFY(statusText().contains("Received Weather Data"));
    box->button(QMessageBox::Ok)->click();
    QVERIFY(!visibleMessageBox());
}

void TestMainWindowForwarding::unknownImeiSwitchesForwardingOff_data()
{
    QTest::addColumn<bool>("byCamera");

    QTest::newRow("direct call") << false;
    QTest::newRow("camera packet before any weather packet") << true;
}

void TestMainWindowForwarding::unknownImeiSwitchesForwardingOff()
{
    QFETCH(bool, byCamera);

    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();
    QVERIFY(enableAction()->isChecked());
    BlockingDialogWatchdog watchdog;

    if (byCamera)
        QVERIFY(m_station->write(cameraPacket()));
    else
        m_window->forwardData("@012\r\nN:0:0:3\r\n");
    QTRY_VERIFY(visibleMessageBox() || watchdog.fired());
    QVERIFY2(!watchdog.fired(), "a message box blocked in an event loop of its own");
    QVERIFY(!enableAction()->isChecked());
    QMessageBox *box = visibleMessageBox();
    QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
    QCOMPARE(box->text(), kNoImeiText);
    QCOMPARE(box->icon(), QMessageBox::Warning);

    // While the box is open the station's packets are still taken in.
    QVERIFY(m_station->write(weatherPacket(3, "11.1", true)));
    QTRY_COMPARE(csvRows(), 1);
    QVERIFY(m_station->write(weatherPacket(3, "22.2", true)));
    QTRY_COMPARE(csvRows(), 2);
    QCOMPARE(m_window->findChild<QLabel *>("unitValLabel")->text(), QString::fromLatin1(kImei));
    QVERIFY(box->isVisible());
    QVERIFY(!watchdog.fired());
    QCOMPARE(m_receiver->connections(), 0);
    box->button(QMessageBox::Ok)->click();
}

void TestMainWindowForwarding::cameraPacketsForwarded()
{
    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();

    // An unmarked slow-mode packet is not forwarded but makes the IMEI known.
    QVERIFY(m_station->write(weatherPacket(3, "11.1", false)));
    QTRY_COMPARE(csvRows(), 1);
    QCOMPARE(m_receiver->connections(), 0);

    const QByteArray camera = cameraPacket();
    QCOMPARE(camera.size(), 344);
    QVERIFY(m_station->write(camera));
    QTRY_COMPARE(m_receiver->messages().size(), 1);
    const SbdMessage message = m_receiver->messages().first();
    QCOMPARE(message.payload, camera.left(340));
    QCOMPARE(message.imei, kImei);
    QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));
    QVERIFY(enableAction()->isChecked());
}

void TestMainWindowForwarding::countdownLabel_data()
{
    QTest::addColumn<int>("modeDigit");
    QTest::addColumn<bool>("elapsed");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("5 Minute") << 3 << false << QRegularExpression::escape(kInlineText);
    QTest::newRow("1 Minute, just forwarded")
        << 4 << false
        << QStringLiteral("^<span style=\" color:#000000;\">Time remaining before next forwarding: "
                          "(28[0-5]) secs</span>$");
    QTest::newRow("10 Second, timer elapsed")
        << 6 << true
        << QStringLiteral("^<span style=\" color:#000000;\">Time remaining before next forwarding: "
                          "0 secs</span>$");
}

void TestMainWindowForwarding::countdownLabel()
{
    QFETCH(int, modeDigit);
    QFETCH(bool, elapsed);
    QFETCH(QString, pattern);

    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();
    auto *label = m_window->findChild<QLabel *>("labelForwardingTimeLeft");
    QVERIFY(label->isVisibleTo(m_window.get()));
    m_window->Timer();
    QCOMPARE(label->text(), kInlineText); // no packet yet

    QVERIFY(m_station->write(weatherPacket(modeDigit, "11.1", true)));
    QTRY_COMPARE(csvRows(), 1);
    if (modeDigit > 3)
        QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));
    if (elapsed)
        m_window->handleForwardingTimer();
    m_window->Timer();
    QVERIFY2(QRegularExpression(pattern).match(label->text()).hasMatch(), qPrintable(label->text()));
}

void TestMainWindowForwarding::sendCommandRestartsForwardingTimer()
{
    storeSettings("127.0.0.1", m_receiver->port(), true);
    startWindow();
    auto *label = m_window->findChild<QLabel *>("labelForwardingTimeLeft");
    const QRegularExpression countdown(QStringLiteral("forwarding: (\\d+) secs"));
    QVERIFY(m_station->write(weatherPacket(5, "11.1", true)));
    QTRY_VERIFY(statusText().contains("Data Forwarding Successful"));
    m_window->handleForwardingTimer();
    m_window->Timer();
    QCOMPARE(countdown.match(label->text()).captured(1), QStringLiteral("0"));

    // Queuing and cancelling a request both restart the full interval.
    auto *button = m_window->findChild<QPushButton *>("updatePushButton");
    for (int press = 0; press < 2; ++press) {
        m_window->handleForwardingTimer();
        button->click();
        m_window->Timer();
        QVERIFY2(countdown.match(label->text()).captured(1).toInt() >= 280, qPrintable(label->text()));
    }
    QCOMPARE(button->text(), QStringLiteral("Send Command"));
}

QTEST_MAIN(TestMainWindowForwarding)
#include "tst_mainwindowforwarding.moc"
