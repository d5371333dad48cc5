// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "link/jpegheader.h"
#include "session/stationsession.h"
#include "support/stationline.h"
#include "support/testwindowoptions.h"
#include "tools/sim/stationsimulator.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::StationLine;

namespace {
constexpr int kScanTicks = 20;
constexpr int kWaitMs = 3000;
const QByteArray kImei = "300234063909320";

QByteArray weather(int minute, bool snd = true, const QByteArray &volts = "5.32")
{
    return "@I:" + kImei + "\r\n@012\r\nB:" + volts +
           ":3:000123:0A:1F:00\r\nT:18/05/31,02:" + QByteArray::number(10 + minute % 50) +
           ":13\r\nTA:22.8\r\n~\r\n" + (snd ? "SND\r\n" : "");
}
} // namespace

// The program as a user runs it: the window on a real pseudo-terminal, the
// test (or the simulator) as the station at the other end.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_line = std::make_unique<StationLine>();
    }
    void cleanup() { m_window.reset(); }

    void packetLoggedOnce_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("piece");
        QTest::addColumn<bool>("behindNull");
        QTest::newRow("in pieces") << weather(0) << 40 << false;
        QTest::newRow("without SND: after the wait") << weather(0, false) << 1000 << false;
        QTest::newRow("found by the scan behind a port that is no serial port") << weather(0) << 1000 << true;
    }
    void packetLoggedOnce()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, piece);
        QFETCH(bool, behindNull);
        start(behindNull ? QStringList{"/dev/null", m_line->portName()} : QStringList{m_line->portName()});
        if (behindNull)
            ticks(3 * kScanTicks);
        for (int i = 0; i < packet.size(); i += piece) {
            QVERIFY(m_line->write(packet.mid(i, piece)));
            QTest::qWait(20);
        }
        QTRY_COMPARE_WITH_TIMEOUT(csvRows(), 1, kWaitMs);
        QTest::qWait(300);
        QCOMPARE(csvRows(), 1);
    }

    void stationPortReturns()
    {
        // The station's port under a fixed name, as a USB adapter's by-id link.
        const QString port = m_dir->filePath("ttyStation");
        QVERIFY(QFile::link(m_line->portName(), port));
        StationLine other;
        start({port, other.portName()});
        QVERIFY(m_line->write(weather(0)));
        QTRY_COMPARE_WITH_TIMEOUT(csvRows(), 1, kWaitMs);

        m_line->closeMaster(); // cable pulled
        QFile::remove(port);
        QTRY_VERIFY_WITH_TIMEOUT(
            (ticks(kScanTicks), !m_window->session()->link() || m_window->session()->portName() != port),
            kWaitMs);
        m_line = std::make_unique<StationLine>(); // plugged in again
        QVERIFY(QFile::link(m_line->portName(), port));
        QTRY_VERIFY_WITH_TIMEOUT((ticks(kScanTicks), m_window->session()->portName() == port), 10000);
        QVERIFY(m_line->write(weather(1)));
        QTRY_COMPARE_WITH_TIMEOUT(csvRows(), 2, kWaitMs);
    }

    void requestedPictureSaved()
    {
        PseudoTerminal terminal;
        QVERIFY(terminal.open());
        start({terminal.slavePath()});
        StationSimulatorOptions options;
        options.banner = false;
        options.intervalMs = 1000;
        options.packetLimit = 1;
        options.auxEvery = 0;
        options.pictureScene = CameraPictures::Scene::Simple;
        StationSimulator station(options, &terminal);
        QSignalSpy taken(&station, &StationSimulator::pictureTaken);
        station.start();

        auto *camera = m_window->findChild<QComboBox *>("imgComboBox");
        camera->setCurrentIndex(3); // one camera, chosen by number
        emit camera->activated(3);
        m_window->findChild<QSpinBox *>("spinBoxCamera")->setValue(2);
        m_window->findChild<QPushButton *>("updatePushButton")->click();
        QTimer tick;
        connect(&tick, &QTimer::timeout, m_window.get(), &MainWindow::Timer);
        tick.start(100);

        QVERIFY(taken.wait(20000));
        const QByteArray jpeg = taken.first().at(2).toByteArray();
        const int packets = (jpeg.size() - JpegHeader::kSizeBytes - 2 + 329) / 330;
        const QDir images(m_dir->filePath("KTR Control Data/Image"));
        QTRY_COMPARE_WITH_TIMEOUT(images.entryList(QDir::Files).size(), 1, 20000);
        QFile saved(images.filePath(images.entryList(QDir::Files).first()));
        QVERIFY(saved.fileName().endsWith("_Cam2.jpg"));
        QCOMPARE(saved.size(), qint64(632 + 330 * packets + 2));
    }

    void batteryAlarmRaisedAndCleared()
    {
        start({m_line->portName()});
        QVERIFY(m_line->write(weather(0, true, "4.5")));
        QTRY_VERIFY_WITH_TIMEOUT(monthFile("Alarms/alarms_").contains(",raised,low-battery,"), kWaitMs);
        ticks(6);
        QVERIFY(m_line->write(weather(1, true, "5.3")));
        QTRY_VERIFY_WITH_TIMEOUT(monthFile("Alarms/alarms_").contains(",cleared,low-battery,"), kWaitMs);
    }

    void shortSoak()
    {
        start({m_line->portName()});
        for (int i = 0; i < 100; ++i) {
            const QByteArray noise = QByteArray(i % 7 * 13, char(i)) + "\r\n~\r\n@I";
            QVERIFY(m_line->write(noise));
            // The noise handed on by the port, then a silence between two transmissions.
            const auto *session = m_window->findChild<StationSession *>();
            QTRY_VERIFY(session->stream().buffer().endsWith(noise));
            ticks(6);
            QVERIFY(m_line->write(weather(i)));
            QTRY_COMPARE_WITH_TIMEOUT(csvRows(), i + 1, kWaitMs);
            ticks(6);
        }
    }

private:
    void start(const QStringList &ports)
    {
        m_window = std::make_unique<MainWindow>(testsupport::testWindowOptions(*m_dir, ports));
        ticks(kScanTicks);
    }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            m_window->Timer();
    }
    // This month's file of the data folder, e.g. "CSV/<IMEI>_" + "2026-03.csv".
    QByteArray monthFile(const QString &prefix) const
    {
        QFile file(m_dir->filePath("KTR Control Data/" + prefix +
                                   QDateTime::currentDateTimeUtc().toString("yyyy-MM") + ".csv"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int csvRows() const { return qMax(0, monthFile("CSV/" + kImei + "_").count('\n') - 1); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationLine> m_line;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
