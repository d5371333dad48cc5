// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "support/stationline.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using testsupport::StationLine;

// The window against a station played over real pseudo-terminals.
class TestMainWindowLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scanConnectsToNamedPort();
    void packetInPiecesProcessedOnce();
    void packetWithoutSndProcessedAfterWait();
    void silenceDiscardsPartialPacket();
    void auxiliaryPartLoggedToBothFiles();
    void packetWithoutImeiGoesToNoUnitFile();
    void loggingOffLeavesFilesUntouched();
    void vanishedPortClosedAndScanMovesOn();
    void reportingSelectorFollowsStation();
    void queuedRequestSentAtPrompt();
    void decoderRebuildsLiveCsv();
    void cancelledRequestSendsNothingMore();
    void powerUpBannerGetsSelections();

private:
    void waitForPass();
    void readCommand(QByteArray *command);
    void startWindow(const QStringList &ports, const QByteArray &options = QByteArray());
    void connectByScan();
    void tick(int count);
    QByteArray packet(const QString &fixture) const;
    QString connectionText() const;
    QStringList files(const QString &subfolder) const;
    QByteArray fileBytes(const QString &subfolder) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationLine> m_station;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowLink::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_station = std::make_unique<StationLine>();
    if (!m_station->isOpen())
        QSKIP("No pseudo-terminals on this system");
}

void TestMainWindowLink::cleanup()
{
    m_window.reset();
    m_station.reset();
    m_dir.reset();
}

void TestMainWindowLink::startWindow(const QStringList &ports, const QByteArray &options)
{
    m_window = std::make_unique<MainWindow>(testsupport::testWindowOptions(*m_dir, ports, options));
}

void TestMainWindowLink::connectByScan()
{
    startWindow({m_station->portName()});
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable("Connecting to first available port: " + m_station->portName()));
    tick(20);
    QVERIFY(connectionText().contains("Connected</font></b> to " + m_station->portName()));
}

void TestMainWindowLink::tick(int count)
{
    for (int i = 0; i < count; ++i)
        m_window->Timer();
}

QByteArray TestMainWindowLink::packet(const QString &fixture) const
{
    QFile file(QFINDTESTDATA("../data/packets/" + fixture));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString TestMainWindowLink::connectionText() const
{
    const QList<QLabel *> labels = m_window->statusBar()->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!(label->alignment() & Qt::AlignRight))
            return label->text();
    }
    return QString();
}

QStringList TestMainWindowLink::files(const QString &subfolder) const
{
    return QDir(m_dir->filePath("KTR Control Data/" + subfolder)).entryList(QDir::Files);
}

QByteArray TestMainWindowLink::fileBytes(const QString &subfolder) const
{
    const QStringList names = files(subfolder);
    if (names.size() != 1)
        return QByteArray();
    QFile file(m_dir->filePath("KTR Control Data/" + subfolder + "/" + names.first()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestMainWindowLink::scanConnectsToNamedPort()
{
    connectByScan();
    QCOMPARE(m_window->findChild<QMenu *>("menuComPort")->actions().size(), 1);
}

void TestMainWindowLink::packetInPiecesProcessedOnce()
{
    connectByScan();
    const QByteArray weather = packet("weather_example_no_gps_no_ceilometer.txt") + "SND\r\n";
    auto *raw = m_window->findChild<QPlainTextEdit *>("plainTextEdit");
    const int third = weather.size() / 3;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(m_station->write(weather.mid(i * third, i == 2 ? -1 : third)));
        tick(1); // pieces arrive well within the idle gap
        QTRY_VERIFY(!files("Raw").isEmpty() || i < 2);
    }
    QTRY_COMPARE(files("CSV").size(), 1);
    QVERIFY(raw->toPlainText().startsWith("@I:300234063909320"));
    QCOMPARE(m_window->findChild<QLabel *>("firmwareValLabel")->text(), QStringLiteral("12"));
    QCOMPARE(m_window->findChild<QLabel *>("unitValLabel")->text(), QStringLiteral("300234063909320"));
    QVERIFY(connectionText().contains("Connected</font></b> to 300234063909320 (" + m_station->portName() + ")"));

    const QByteArray log = fileBytes("Raw");
    QCOMPARE(log.count("@I:300234063909320"), 1);
    QVERIFY(log.startsWith("\r\n*"));
    QVERIFY(log.endsWith(weather));
    QCOMPARE(files("Raw").first(),
             "300234063909320_" + QDateTime::currentDateTimeUtc().toString("yyyyMM") + ".txt");
    const QByteArray csv = fileBytes("CSV");
    QCOMPARE(csv.count("\r\n"), 2); // header and one row
}

void TestMainWindowLink::packetWithoutSndProcessedAfterWait()
{
    connectByScan();
    QVERIFY(m_station->write(packet("weather_example_no_gps_no_ceilometer.txt")));
    QTRY_COMPARE(files("CSV").size(), 1);
    QCOMPARE(fileBytes("CSV").count("\r\n"), 2);
    QCOMPARE(fileBytes("Raw").count("@I:"), 1);
}

void TestMainWindowLink::silenceDiscardsPartialPacket()
{
    connectByScan();
    const QByteArray weather = packet("weather_example_no_gps_no_ceilometer.txt") + "SND\r\n";
    QVERIFY(m_station->write(weather.left(100)));
    auto *raw = m_window->findChild<QPlainTextEdit *>("plainTextEdit");
    waitForPass();
    tick(6); // more than five ticks: the next transmission starts afresh
    QVERIFY(m_station->write(weather.mid(100)));
    waitForPass();
    QTest::qWait(300); // past the wait a complete packet would get for its marker
    QVERIFY(files("CSV").isEmpty());
    QVERIFY(raw->toPlainText().isEmpty());

    tick(6);
    QVERIFY(m_station->write(weather));
    QTRY_COMPARE(files("CSV").size(), 1);
}

void TestMainWindowLink::auxiliaryPartLoggedToBothFiles()
{
    connectByScan();
    const QByteArray weather = packet("weather_full_gps_clouds_rain_lightning_aux.txt");
    QVERIFY(weather.contains("@3"));
    QVERIFY(m_station->write(weather + "SND\r\n"));
    QTRY_COMPARE(files("Auxiliary").size(), 1);
    const QByteArray raw = fileBytes("Raw");
    QVERIFY(raw.endsWith(weather + "SND\r\n"));
    const QByteArray auxiliary = fileBytes("Auxiliary");
    QVERIFY(auxiliary.startsWith("*"));
    QVERIFY(auxiliary.endsWith(weather.mid(weather.indexOf("@3")) + "SND\r\n"));
    QCOMPARE(fileBytes("CSV").count("\r\n"), 2);
}

void TestMainWindowLink::packetWithoutImeiGoesToNoUnitFile()
{
    connectByScan();
    QByteArray weather = packet("weather_example_no_gps_no_ceilometer.txt");
    weather.replace("@I:300234063909320", "@I:");
    QVERIFY(m_station->write(weather + "SND\r\n"));
    QTRY_COMPARE(files("CSV").size(), 1);
    const QString month = QDateTime::currentDateTimeUtc().toString("yyyyMM");
    QCOMPARE(files("Raw"), QStringList({"000000000000000_" + month + ".txt"}));
    // Unchanged first, then once more with the time stamp while logging is on.
    const QByteArray log = fileBytes("Raw");
    QVERIFY(log.startsWith(weather + "SND\r\n\r\n*"));
    QVERIFY(log.endsWith(weather + "SND\r\n"));
}

void TestMainWindowLink::loggingOffLeavesFilesUntouched()
{
    connectByScan();
    m_window->findChild<QAction *>("actionEnableDataLogging")->trigger();
    QVERIFY(m_station->write(packet("weather_example_no_gps_no_ceilometer.txt") + "SND\r\n"));
    auto *metar = m_window->findChild<QLineEdit *>("lineEditTemperature");
    QTRY_COMPARE(metar->text(), QStringLiteral("22.8 °C"));
    QVERIFY(files("CSV").isEmpty());
    QVERIFY(files("Raw").isEmpty());
}

void TestMainWindowLink::vanishedPortClosedAndScanMovesOn()
{
    StationLine second;
    startWindow({m_station->portName(), second.portName()});
    tick(20);
    QVERIFY(connectionText().contains("to " + m_station->portName()));
    const QString gone = m_station->portName();
    m_station.reset();
    QTRY_VERIFY(connectionText().contains("No Connection"));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Removing " + gone));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Connecting to first available port: " + second.portName()));
    tick(20);
    QVERIFY(connectionText().contains("to " + second.portName()));

    QVERIFY(second.write(packet("weather_example_no_gps_no_ceilometer.txt") + "SND\r\n"));
    QTRY_COMPARE(files("CSV").size(), 1);
}

void TestMainWindowLink::reportingSelectorFollowsStation()
{
    startWindow({m_station->portName()}, "FAST_MODES\n");
    tick(20);
    auto *reporting = m_window->findChild<QComboBox *>("reportingComboBox");
    QByteArray weather = packet("weather_example_no_gps_no_ceilometer.txt");
    weather.replace("B:5.32:3:", "B:5.32:4:");
    QVERIFY(m_station->write(weather));
    QTRY_COMPARE(reporting->currentText(), QStringLiteral("1 Minute"));
    QVERIFY(m_window->findChild<QLabel *>("label_CommandNote")->isVisibleTo(m_window.get()));
}

void TestMainWindowLink::decoderRebuildsLiveCsv()
{
    connectByScan();
    const QStringList fixtures = {"weather_example_no_gps_no_ceilometer.txt", "weather_fog_no_cloud_detected.txt",
                                  "weather_full_gps_clouds_rain_lightning_aux.txt",
                                  "weather_midnight_ceilometer_off.txt", "weather_no_cl_ld_lines_aux.txt"};
    for (int i = 0; i < fixtures.size(); ++i) {
        QByteArray weather = packet(fixtures.at(i));
        const int imeiEnd = weather.indexOf("\r\n");
        weather.replace(0, imeiEnd, "@I:300234063909320");
        if (!weather.contains("SND"))
            weather += "SND\r\n";
        tick(6);
        QVERIFY(m_station->write(weather));
        QTRY_COMPARE(fileBytes("CSV").count("\r\n"), i + 2);
    }

    // The offline decoder turns the raw log the program wrote into the very
    // CSV file the program wrote, byte for byte.
    QProcess decoder;
    decoder.start(QStringLiteral(KTR_DECODE_PATH),
                  {m_dir->filePath("KTR Control Data/Raw/" + files("Raw").first())});
    QVERIFY(decoder.waitForFinished(30000));
    QCOMPARE(decoder.exitCode(), 0);
    QCOMPARE(decoder.readAllStandardOutput(), fileBytes("CSV"));
}

void TestMainWindowLink::queuedRequestSentAtPrompt()
{
    connectByScan();
    auto *reporting = m_window->findChild<QComboBox *>("reportingComboBox");
    auto *button = m_window->findChild<QPushButton *>("updatePushButton");
    reporting->setCurrentIndex(4); // "5 Minute"
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Cancel Send Request"));
    reporting->setCurrentIndex(1); // a change after the press does not count
    tick(3);
    QByteArray pokes;
    QTRY_VERIFY((pokes += m_station->readAll()).size() >= 12);
    QCOMPARE(pokes, QByteArray(pokes.size(), ' '));
    QCOMPARE(pokes.size() % 4, 0);

    QVERIFY(m_station->write("\r\n>"));
    QTRY_COMPARE(button->text(), QStringLiteral("Send Command"));
    QByteArray command;
    readCommand(&command);
    QCOMPARE(command, QByteArray("m3\r\r"));
}

void TestMainWindowLink::cancelledRequestSendsNothingMore()
{
    connectByScan();
    auto *button = m_window->findChild<QPushButton *>("updatePushButton");
    button->click();
    tick(2);
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Send Command"));
    QTRY_COMPARE(m_window->findChild<QSerialPort *>()->bytesToWrite(), 0);
    m_station->readAll();
    tick(5);
    QVERIFY(m_station->write("\r\n>"));
    waitForPass();
    tick(5);
    QVERIFY(m_station->readAll().isEmpty());
}

void TestMainWindowLink::powerUpBannerGetsSelections()
{
    connectByScan();
    m_window->findChild<QComboBox *>("ceilComboBox")->setCurrentIndex(2); // "Enable Auto"
    QVERIFY(m_station->write("\r\n\rKTR v3.21\r\nStarting\r\n"));
    waitForPass();
    tick(1);
    QByteArray spaces;
    QTRY_VERIFY((spaces += m_station->readAll()).startsWith(' '));
    QVERIFY(m_station->write("\r\n>"));
    QTRY_VERIFY(m_window->findChild<QPlainTextEdit *>("plainTextEdit")->toPlainText().startsWith("C1"));
    QByteArray command;
    readCommand(&command);
    QCOMPARE(command, QByteArray("C1\r\r"));
}

void TestMainWindowLink::waitForPass()
{
    QSignalSpy spy(m_window->findChild<QSerialPort *>(), &QSerialPort::readyRead);
    QVERIFY(spy.wait(5000));
    QCoreApplication::processEvents();
}

void TestMainWindowLink::readCommand(QByteArray *command)
{
    // The window's own tick keeps running: whatever spaces it sent before the
    // prompt arrived come first, then the command, one byte per tick. Every
    // command ends in two carriage returns here (the camera group adds one).
    QByteArray sent;
    while (!sent.endsWith("\r\r") && sent.size() < 200) {
        tick(1);
        const int before = sent.size();
        QTRY_VERIFY((sent += m_station->readAll()).size() > before);
    }
    while (sent.startsWith(' '))
        sent.remove(0, 1);
    *command = sent;
}

QTEST_MAIN(TestMainWindowLink)
#include "tst_mainwindowlink.moc"
