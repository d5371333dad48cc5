// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "support/stationline.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using testsupport::StationLine;

// Demo mode: stored station output replayed from a folder, pictures shown on the camera views.
class TestMainWindowDemo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void replaysInListingOrderAndRoundAgain();
    void offAndOnRestartsAtFirstFile();
    void captions_data();
    void captions();
    void twoPicturesChangeOnlyTwoViews();
    void needsAdvancedOption();
    void emptyFolderReplaysNothing();
    void serialPortNotReadInDemoMode();

private:
    void writeFile(const QString &name, const QByteArray &bytes);
    void writePicture(const QString &name, const QColor &colour);
    QByteArray packet(const QString &imei, const QString &orientation = QStringLiteral("182.5")) const;
    void startWindow(bool advanced, const QStringList &ports = QStringList());
    void switchDemo(bool on);
    QString shownImei() const;
    QString caption(int camera) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowDemo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_dir->path()).mkpath("Demo"));
}

void TestMainWindowDemo::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TestMainWindowDemo::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir->filePath("Demo/" + name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TestMainWindowDemo::writePicture(const QString &name, const QColor &colour)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(m_dir->filePath("Demo/" + name), "JPG"));
}

QByteArray TestMainWindowDemo::packet(const QString &imei, const QString &orientation) const
{
    return QStringLiteral("@I:%1\r\n@012\r\nB:5.32:2:000123:0A:1F:00\r\nT:18/05/31,02:37:13\r\n"
                          "OR:%2:0:254\r\nTA:22.8\r\nRH:27\r\n~\r\nSND\r\n")
        .arg(imei, orientation)
        .toLatin1();
}

void TestMainWindowDemo::startWindow(bool advanced, const QStringList &ports)
{
    m_window = std::make_unique<MainWindow>(
        testsupport::testWindowOptions(*m_dir, ports, advanced ? QByteArray("ADVANCED\n") : QByteArray()));
}

void TestMainWindowDemo::switchDemo(bool on)
{
    auto *action = m_window->findChild<QAction *>("actionEnableDemoMode");
    action->setChecked(on);
    m_window->toggleDemoMode();
}

QString TestMainWindowDemo::shownImei() const
{
    return m_window->findChild<QLabel *>("unitValLabel")->text();
}

QString TestMainWindowDemo::caption(int camera) const
{
    return m_window->findChild<QLabel *>(QStringLiteral("cam%1TextLabel").arg(camera))->text();
}

void TestMainWindowDemo::replaysInListingOrderAndRoundAgain()
{
    writeFile("a.txt", packet("300000000000001"));
    writeFile("b.txt", packet("300000000000002"));
    writeFile("c.txt", packet("300000000000003"));
    startWindow(true);

    QTest::ignoreMessage(QtDebugMsg, "Demo File: a.txt");
    QTest::ignoreMessage(QtDebugMsg, "Demo Mode: ON");
    switchDemo(true);
    QCOMPARE(shownImei(), QStringLiteral("300000000000001"));
    const QStringList expected = {"300000000000002", "300000000000003", "300000000000001", "300000000000002"};
    for (const QString &imei : expected) {
        m_window->handleDemoTimer();
        QCOMPARE(shownImei(), imei);
    }
}

void TestMainWindowDemo::offAndOnRestartsAtFirstFile()
{
    writeFile("a.txt", packet("300000000000001"));
    writeFile("b.txt", packet("300000000000002"));
    startWindow(true);
    switchDemo(true);
    m_window->handleDemoTimer();
    QCOMPARE(shownImei(), QStringLiteral("300000000000002"));
    QTest::ignoreMessage(QtDebugMsg, "Demo Mode: OFF");
    switchDemo(false);
    switchDemo(true);
    QCOMPARE(shownImei(), QStringLiteral("300000000000001"));
}

void TestMainWindowDemo::captions_data()
{
    QTest::addColumn<QString>("orientation");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("333") << "333"
                         << QStringList({"Camera 1 (333°)", "Camera 2 (63°)", "Camera 3 (153°)", "Camera 4 (243°)"});
    QTest::newRow("negative") << "-1" << QStringList({"Camera 1", "Camera 2", "Camera 3", "Camera 4"});
    QTest::newRow("not a number")
        << "?" << QStringList({"Camera 1 (0°)", "Camera 2 (90°)", "Camera 3 (180°)", "Camera 4 (270°)"});
    QTest::newRow("fraction") << "12.5"
                              << QStringList({"Camera 1 (12.5°)", "Camera 2 (102.5°)", "Camera 3 (192.5°)",
                                              "Camera 4 (282.5°)"});
}

void TestMainWindowDemo::captions()
{
    QFETCH(QString, orientation);
    QFETCH(QStringList, captions);
    writeFile("a.txt", packet("300000000000001", orientation));
    const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
    for (int i = 0; i < colours.size(); ++i)
        writePicture(QStringLiteral("cam%1.jpg").arg(i), colours.at(i));
    startWindow(true);
    switchDemo(true);
    for (int camera = 1; camera <= 4; ++camera) {
        QCOMPARE(caption(camera), captions.at(camera - 1));
        const QPixmap picture = m_window->findChild<QLabel *>(QStringLiteral("cam%1Label").arg(camera))->pixmap(
            Qt::ReturnByValue);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), QSize(640, 480));
        const QColor centre = picture.toImage().pixelColor(320, 240);
        QVERIFY2(qAbs(centre.hue() - colours.at(camera - 1).hue()) < 10, qPrintable(centre.name()));
    }
}

void TestMainWindowDemo::twoPicturesChangeOnlyTwoViews()
{
    writeFile("a.txt", packet("300000000000001"));
    writePicture("one.jpg", Qt::red);
    writePicture("two.jpg", Qt::green);
    startWindow(true);
    m_window->findChild<QLabel *>("cam3TextLabel")->setText("kept");
    const QString fourth = caption(4);
    switchDemo(true);
    QCOMPARE(caption(1), QStringLiteral("Camera 1 (182.5°)"));
    QCOMPARE(caption(2), QStringLiteral("Camera 2 (272.5°)"));
    QCOMPARE(caption(3), QStringLiteral("kept"));
    QCOMPARE(caption(4), fourth);
    QVERIFY(m_window->findChild<QLabel *>("cam4Label")->pixmap(Qt::ReturnByValue).isNull());
}

void TestMainWindowDemo::needsAdvancedOption()
{
    writeFile("a.txt", packet("300000000000001"));
    writePicture("one.jpg", Qt::red);
    startWindow(false);
    const QString first = caption(1);
    switchDemo(true);
    QCOMPARE(shownImei(), QStringLiteral("-"));
    QCOMPARE(caption(1), first);
    m_window->handleDemoTimer(); // no replay either
    QCOMPARE(shownImei(), QStringLiteral("-"));
}

void TestMainWindowDemo::emptyFolderReplaysNothing()
{
    startWindow(true);
    QTest::ignoreMessage(QtDebugMsg, "No demo data files found");
    switchDemo(true);
    m_window->readData();
    m_window->handleDemoTimer();
    QCOMPARE(shownImei(), QStringLiteral("-"));
    QVERIFY(m_window->findChild<QPlainTextEdit *>("plainTextEdit")->toPlainText().isEmpty());
}

void TestMainWindowDemo::serialPortNotReadInDemoMode()
{
    StationLine station;
    if (!station.isOpen())
        QSKIP("No pseudo-terminals on this system");
    writeFile("a.txt", packet("300000000000001"));
    startWindow(true, {station.portName()});
    for (int i = 0; i < 20; ++i)
        m_window->Timer();
    auto *port = m_window->findChild<QSerialPort *>();
    QVERIFY(port->isOpen());
    switchDemo(true);

    QSignalSpy arrived(port, &QSerialPort::readyRead);
    QVERIFY(station.write(packet("300000000000009")));
    QVERIFY(arrived.wait(5000));
    // Whatever started the pass, the demo file is replayed and the port is left alone.
    QCOMPARE(shownImei(), QStringLiteral("300000000000001"));
    QVERIFY(port->bytesAvailable() > 0);

    switchDemo(false);
    m_window->readData();
    QTRY_COMPARE(shownImei(), QStringLiteral("300000000000009"));
}

QTEST_MAIN(TestMainWindowDemo)
#include "tst_mainwindowdemo.moc"
