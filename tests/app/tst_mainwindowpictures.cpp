// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "link/jpegheader.h"
#include "tools/sim/camerapictures.h"
#include "tools/sim/jpegencoder.h"
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/recordingsource.h"
#include "tools/sim/stationsimulator.h"
#include "weather/weatherparser.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {
constexpr int kConnectTicks = 20;
constexpr int kWriteWaitMs = 5000;
constexpr int kStationWaitMs = 15000;
// A picture series of about a dozen packets, one every 0.8 s.
constexpr int kSeriesWaitMs = 25000;
const QByteArray kImei = "300234010000777";

QStringList g_debugLines;
QtMessageHandler g_previousHandler = nullptr;

void collectDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        g_debugLines.append(message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QByteArray fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("../data/packets/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage decoded(const QByteArray &jpeg)
{
    return QImage::fromData(jpeg, "JPG").convertToFormat(QImage::Format_RGB32);
}

QByteArray pcmOf(const QVector<quint16> &samples)
{
    QByteArray pcm;
    for (const quint16 sample : samples) {
        const int word = sample * 16;
        pcm.append(char(word & 0xff));
        pcm.append(char(word >> 8));
    }
    return pcm;
}

quint32 littleEndian(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// Seven-bit values, most significant bit first.
QList<int> sevenBitValues(const QByteArray &packed, int count)
{
    QList<int> values;
    for (int k = 0; k < count; ++k) {
        int value = 0;
        for (int bit = 7 * k; bit < 7 * k + 7; ++bit)
            value = (value << 1) | ((quint8(packed.at(bit / 8)) >> (7 - bit % 8)) & 1);
        values.append(value);
    }
    return values;
}

QString stamp(const QDateTime &utc)
{
    return utc.toUTC().toString("yyMMdd_hhmmss") + "Z_KTRtime";
}
} // namespace

// Pictures and acoustic results from the station to the files and the camera
// views, over a real pseudo-terminal: sent by the simulated station on
// request, or written back to back by the test.
class TestMainWindowPictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pictureSeriesLayout();
    void simpleSceneIsAShortSeries();
    void acousticSeriesLayout_data();
    void acousticSeriesLayout();

    void requestedPictureSavedAndShown();
    void backToBackPacketsStoredOnce();
    void rawRecordingWrittenAsWav();
    void mp3ResultKeptAsSent();
    void requestedSpectralResultWritten();

private:
    void startWindow(const QByteArray &options = QByteArray());
    void tick(int count);
    bool send(const QByteArray &bytes);
    void sendWeather(const QByteArray &packet);
    std::unique_ptr<StationSimulator> startStation();
    QStringList files(const QString &subfolder) const;
    QByteArray fileBytes(const QString &subfolder, const QString &name) const;
    QProgressBar *progressBar() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PseudoTerminal> m_terminal;
    std::unique_ptr<MainWindow> m_window;
    QByteArray m_lastWeather;
};

void TestMainWindowPictures::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(collectDebug);
}

void TestMainWindowPictures::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestMainWindowPictures::init()
{
    g_debugLines.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    m_terminal = std::make_unique<PseudoTerminal>();
    if (!m_terminal->open())
        QSKIP("No pseudo-terminals on this system");
}

void TestMainWindowPictures::cleanup()
{
    m_window.reset();
    m_terminal.reset();
    m_dir.reset();
}

void TestMainWindowPictures::startWindow(const QByteArray &options)
{
    m_window = std::make_unique<MainWindow>(
        testsupport::testWindowOptions(*m_dir, QStringList{m_terminal->slavePath()}, options));
    tick(kConnectTicks);
    QVERIFY(g_debugLines.contains("Connecting to first available port: " + m_terminal->slavePath()));
}

void TestMainWindowPictures::tick(int count)
{
    for (int i = 0; i < count; ++i)
        m_window->Timer();
}

bool TestMainWindowPictures::send(const QByteArray &bytes)
{
    // As fast as the line takes them: the window reads while the test waits
    // for room, with no pause long enough to part two transmissions.
    int done = 0;
    while (done < bytes.size()) {
        qint64 put = 0;
        const bool moved = QTest::qWaitFor(
            [&] {
                put = PseudoTerminal::writeSome(m_terminal->masterFd(), bytes.constData() + done,
                                                bytes.size() - done);
                return put != 0;
            },
            kWriteWaitMs);
        if (!moved || put < 0)
            return false;
        done += int(put);
    }
    return true;
}

void TestMainWindowPictures::sendWeather(const QByteArray &packet)
{
    m_lastWeather = packet;
    QVERIFY(send(packet + "SND\r\n"));
    auto *unit = m_window->findChild<QLabel *>("unitValLabel");
    QTRY_COMPARE_WITH_TIMEOUT(unit->text(), QString::fromLatin1(kImei), kWriteWaitMs);
}

std::unique_ptr<StationSimulator> TestMainWindowPictures::startStation()
{
    StationSimulatorOptions options;
    options.imei = kImei;
    options.banner = false; // a running station, asleep until its report
    options.intervalMs = 1000;
    options.packetLimit = 1;
    options.auxEvery = 0;
    options.pictureScene = CameraPictures::Scene::Simple;
    auto station = std::make_unique<StationSimulator>(options, m_terminal.get());
    connect(station.get(), &StationSimulator::packetSent, this,
            [this](const QByteArray &packet) { m_lastWeather = packet; });
    station->start();
    return station;
}

QStringList TestMainWindowPictures::files(const QString &subfolder) const
{
    return QDir(m_dir->filePath("KTR Control Data/" + subfolder)).entryList(QDir::Files, QDir::Name);
}

QByteArray TestMainWindowPictures::fileBytes(const QString &subfolder, const QString &name) const
{
    QFile file(m_dir->filePath("KTR Control Data/" + subfolder + "/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QProgressBar *TestMainWindowPictures::progressBar() const
{
    return m_window->findChild<QProgressBar *>();
}

void TestMainWindowPictures::pictureSeriesLayout()
{
    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    const QByteArray scan = QByteArray(700, 'x');
    const QList<QByteArray> packets = StationSimulator::picturePackets(3, utc, scan);
    QCOMPARE(packets.size(), 3);
    QByteArray payload;
    for (int n = 0; n < packets.size(); ++n) {
        const QByteArray &packet = packets.at(n);
        QCOMPARE(packet.size(), 344);
        QVERIFY(packet.startsWith(QByteArray("@1\x24\x03\x05\x14\x30\x07", 8)));
        QCOMPARE(quint8(packet.at(8)), quint8(n == 2 ? 0x3b : 0x30));
        QCOMPARE(int(packet.at(9)), n);
        QVERIFY(packet.endsWith("\r\n\r\n"));
        payload += packet.mid(10, 330);
    }
    QVERIFY(payload.startsWith(scan));
    QCOMPARE(payload.mid(700), QByteArray(290, char(0xff)));
    QCOMPARE(StationSimulator::stationTime(QDateTime::fromString("2019-12-31T23:59:58Z", Qt::ISODate)),
             QByteArray("\x19\x12\x31\x23\x59\x58", 6));
}

void TestMainWindowPictures::simpleSceneIsAShortSeries()
{
    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    QList<QByteArray> simple;
    for (int camera = 1; camera <= 4; ++camera) {
        const QImage picture = CameraPictures::picture(camera, utc, CameraPictures::Scene::Simple);
        QCOMPARE(picture.size(), QSize(320, 240));
        simple.append(JpegEncoder::encodeScan(picture));
        QVERIFY2(simple.last().size() <= 12 * 330, qPrintable(QString::number(simple.last().size())));
    }
    QCOMPARE(QSet<QByteArray>(simple.cbegin(), simple.cend()).size(), 4); // each camera its own view

    const QImage detailed = CameraPictures::picture(2, utc);
    const QByteArray scan = JpegEncoder::encodeScan(detailed);
    QVERIFY(scan.size() > simple.at(1).size());
    QVERIFY(scan.size() <= StationSimulator::kSeriesPacketsMax * 330);
    // The time is part of the detailed view.
    QVERIFY(CameraPictures::picture(2, utc.addSecs(60)) != detailed);
}

void TestMainWindowPictures::acousticSeriesLayout_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("packets");
    QTest::addColumn<int>("flags");
    QTest::newRow("spectral") << 0 << 0 << RecordingSource::spectralBlock(1) << 1 << 0x00;
    QTest::newRow("mp3 number 7") << 1 << 7 << RecordingSource::mp3Recording() << 7 << 0x3a;
    QTest::newRow("raw number 5") << 2 << 5 << RecordingSource::rawTone(300, 1000) << 73 << 0x2c;
    QTest::newRow("raw number 37 wraps to 5") << 2 << 37 << RecordingSource::rawTone(300, 1000) << 73 << 0x2c;
}

void TestMainWindowPictures::acousticSeriesLayout()
{
    QFETCH(int, type);
    QFETCH(int, number);
    QFETCH(QByteArray, data);
    QFETCH(int, packets);
    QFETCH(int, flags);
    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    const QList<QByteArray> series = StationSimulator::acousticPackets(type, number, utc, data);
    QCOMPARE(series.size(), packets);
    QByteArray payload;
    for (int n = 0; n < series.size(); ++n) {
        const QByteArray &packet = series.at(n);
        QCOMPARE(packet.size(), 340);
        QVERIFY(packet.startsWith(QByteArray("@2\x24\x03\x05\x14\x30\x07", 8)));
        QCOMPARE(int(quint8(packet.at(8))), flags | (n == packets - 1 ? 1 : 0));
        QCOMPARE(int(packet.at(9)), n);
        payload += packet.mid(10);
    }
    QCOMPARE(payload.left(data.size()), data);
    QCOMPARE(payload.mid(data.size()), QByteArray(payload.size() - data.size(), '\0'));
}

void TestMainWindowPictures::requestedPictureSavedAndShown()
{
    startWindow();
    const std::unique_ptr<StationSimulator> station = startStation();
    QSignalSpy commands(station.get(), &StationSimulator::commandReceived);
    QSignalSpy taken(station.get(), &StationSimulator::pictureTaken);

    // Camera 2 only, asked for as the user asks.
    auto *camera = m_window->findChild<QComboBox *>("imgComboBox");
    camera->setCurrentIndex(3);
    emit camera->activated(3);
    m_window->findChild<QSpinBox *>("spinBoxCamera")->setValue(2);
    m_window->findChild<QPushButton *>("updatePushButton")->click();

    QVERIFY(taken.wait(kStationWaitMs));
    QCOMPARE(commands.first().first().toByteArray(), QByteArray("I2"));
    QCOMPARE(taken.first().at(0).toInt(), 2);
    const QDateTime utc = taken.first().at(1).toDateTime();
    const QByteArray jpeg = taken.first().at(2).toByteArray();
    const int packets = (jpeg.size() - JpegHeader::kSizeBytes - 2 + 329) / 330;

    QTRY_VERIFY_WITH_TIMEOUT(progressBar()->isVisibleTo(m_window.get()), kStationWaitMs);
    QCOMPARE(progressBar()->format(), QStringLiteral("Camera 2 Data"));

    const QString name = QString::fromLatin1(kImei) + "_20" + stamp(utc) + "_Cam2.jpg";
    QTRY_COMPARE_WITH_TIMEOUT(files("Image"), QStringList{name}, kSeriesWaitMs);
    const QByteArray saved = fileBytes("Image", name);
    QCOMPARE(saved.size(), 632 + 330 * packets + 2);
    QVERIFY(saved.startsWith("\xff\xd8"));
    QVERIFY(saved.endsWith("\xff\xd9"));
    QVERIFY(!decoded(saved).isNull());
    QCOMPARE(decoded(saved), decoded(jpeg));

    auto *view = m_window->findChild<QLabel *>("cam2Label");
    QTRY_VERIFY(!view->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(view->pixmap(Qt::ReturnByValue).size(), QSize(640, 480));
    WeatherParser weather;
    weather.setPacketText(QString::fromLatin1(m_lastWeather));
    const double heading = std::fmod(90 + weather.getOrientation().toDouble(), 360.0);
    QCOMPARE(m_window->findChild<QLabel *>("cam2TextLabel")->text(),
             QStringLiteral("Camera 2 (%1\u00b0)").arg(QString::number(heading, 'g', 6)));
    QVERIFY(m_window->findChild<QPlainTextEdit *>("plainTextEdit")->toPlainText().endsWith("Last Packet of Image"));
    QVERIFY(!progressBar()->isVisibleTo(m_window.get()));
    QCOMPARE(g_debugLines.filter("Cam: 2, Seq: ").size(), packets);
}

void TestMainWindowPictures::backToBackPacketsStoredOnce()
{
    startWindow();
    sendWeather(fixture("weather_example_no_gps_no_ceilometer.txt").replace("300234063909320", kImei));

    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    const QImage picture = CameraPictures::picture(3, utc, CameraPictures::Scene::Simple);
    const QByteArray scan = JpegEncoder::encodeScan(picture);
    const QList<QByteArray> packets = StationSimulator::picturePackets(3, utc, scan);
    QVERIFY(packets.size() > 3);
    g_debugLines.clear();
    QVERIFY(send(packets.join()));

    const QString name = QString::fromLatin1(kImei) + "_20240305_143007Z_KTRtime_Cam3.jpg";
    QTRY_COMPARE_WITH_TIMEOUT(files("Image"), QStringList{name}, kWriteWaitMs);
    for (int n = 0; n < packets.size(); ++n)
        QCOMPARE(g_debugLines.count(QStringLiteral("Cam: 3, Seq: %1").arg(n)), 1);
    QCOMPARE(g_debugLines.filter("Image Output: ").size(), 1);

    QByteArray expected = JpegHeader::bytes();
    for (const QByteArray &packet : packets)
        expected += packet.mid(10, 330);
    expected += "\xff\xd9";
    const QByteArray saved = fileBytes("Image", name);
    QCOMPARE(saved.size(), 632 + 330 * packets.size() + 2);
    QVERIFY(saved == expected);
    QCOMPARE(decoded(saved), decoded(JpegEncoder::encode(picture)));

    // Orientation 182.5 seen from camera 3, a half turn round from camera 1.
    QCOMPARE(m_window->findChild<QLabel *>("cam3TextLabel")->text(), QStringLiteral("Camera 3 (2.5\u00b0)"));
    QVERIFY(!m_window->findChild<QLabel *>("cam3Label")->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(m_window->findChild<QLabel *>("cam1Label")->pixmap(Qt::ReturnByValue).isNull());
}

void TestMainWindowPictures::rawRecordingWrittenAsWav()
{
    startWindow();
    sendWeather(fixture("weather_example_no_gps_no_ceilometer.txt").replace("300234063909320", kImei));

    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    const double pitch = StationSimulator::toneFrequencyHz(5);
    const QList<QByteArray> packets =
        StationSimulator::acousticPackets(StationSimulator::Raw, 5, utc, RecordingSource::rawTone(pitch, 1200));
    QCOMPARE(packets.size(), 73);
    QVERIFY(send(packets.join()));

    const QString base = QString::fromLatin1(kImei) + "_20240305_143007Z_KTRtime_";
    QTRY_COMPARE_WITH_TIMEOUT(files("Audio"), QStringList({base + "RAW_05.raw", base + "WAV_05.wav"}),
                              kWriteWaitMs);
    const QByteArray wav = fileBytes("Audio", base + "WAV_05.wav");
    const QByteArray raw = fileBytes("Audio", base + "RAW_05.raw");
    QCOMPARE(wav.size(), 32044);
    QCOMPARE(raw.size(), 32000);
    QVERIFY(wav.startsWith("RIFF"));
    QCOMPARE(littleEndian(wav, 4, 4), 32036u);
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(littleEndian(wav, 24, 4), 16000u);
    QCOMPARE(littleEndian(wav, 34, 2), 16u);
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    QCOMPARE(littleEndian(wav, 40, 4), 32000u);

    const QByteArray pcm = pcmOf(RecordingSource::toneSamples(pitch, 1200));
    QVERIFY(wav.mid(44) == pcm);
    QVERIFY(raw == pcm);
}

void TestMainWindowPictures::mp3ResultKeptAsSent()
{
    startWindow();
    sendWeather(fixture("weather_example_no_gps_no_ceilometer.txt").replace("300234063909320", kImei));

    const QDateTime utc = QDateTime::fromString("2024-03-05T14:30:07Z", Qt::ISODate);
    const QByteArray mp3 = RecordingSource::mp3Recording();
    QVERIFY(send(StationSimulator::acousticPackets(StationSimulator::Mp3, 7, utc, mp3).join()));

    const QString name = QString::fromLatin1(kImei) + "_20240305_143007Z_KTRtime_MP3_07.mp3";
    QTRY_COMPARE_WITH_TIMEOUT(files("Audio"), QStringList{name}, kWriteWaitMs);
    const QByteArray saved = fileBytes("Audio", name);
    QCOMPARE(saved.size(), 7 * 330);
    QVERIFY(saved.startsWith(mp3));
}

void TestMainWindowPictures::requestedSpectralResultWritten()
{
    startWindow("AUDIO_COMMANDS\n");
    const std::unique_ptr<StationSimulator> station = startStation();
    QSignalSpy made(station.get(), &StationSimulator::recordingMade);

    auto *audio = m_window->findChild<QComboBox *>("audioComboBox");
    audio->setCurrentIndex(3); // "Get Spectral Data"
    emit audio->activated(3);
    m_window->findChild<QPushButton *>("updatePushButton")->click();

    QVERIFY(made.wait(kStationWaitMs));
    QCOMPARE(made.first().at(0).toInt(), int(StationSimulator::Spectral));
    const QDateTime utc = made.first().at(2).toDateTime();
    const QByteArray data = made.first().at(3).toByteArray();

    const QString name = QString::fromLatin1(kImei) + "_20" + stamp(utc) + "_Spectral.inp";
    QTRY_COMPARE_WITH_TIMEOUT(files("Audio"), QStringList{name}, kStationWaitMs);
    QList<QByteArray> lines = fileBytes("Audio", name).split('\n');
    QVERIFY(lines.takeLast().isEmpty());
    QCOMPARE(lines.size(), 2 + 16 + 336);
    QCOMPARE(lines.at(0), QByteArray("Description: "));
    QCOMPARE(lines.at(1), "KTR: T:" + utc.toString("yy/MM/dd,hh/mm/ss").toLatin1() + "_KTRtime");
    QCOMPARE(lines.at(2), QByteArray("AVERAGE"));
    QCOMPARE(lines.at(2 + 15 * 22), QByteArray("SECOND-28"));
    QCOMPARE(lines.at(3), QByteArray("   50, ") + QByteArray::number(sevenBitValues(data, 1).first()));

    QList<int> values;
    for (const QByteArray &line : qAsConst(lines)) {
        if (line.contains(", "))
            values.append(line.mid(line.indexOf(", ") + 2).toInt());
    }
    QCOMPARE(values, sevenBitValues(data, 336));
}

QTEST_MAIN(TestMainWindowPictures)
#include "tst_mainwindowpictures.moc"
