// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/datafolder.h"
#include "app/idleclock.h"
#include "app/mainwindow.h"
#include "support/testwindowoptions.h"
#include "link/cameraassembler.h"
#include "link/jpegheader.h"
#include "link/receivestream.h"
#include "storage/csvlog.h"
#include "tools/sim/camerapictures.h"
#include "tools/sim/jpegencoder.h"
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"
#include "tools/sim/weathergenerator.h"
#include "weather/weatherparser.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

namespace {
// Weather packets of the default run; KTR_SOAK_PACKETS asks for more (or fewer).
constexpr int kDefaultPackets = 5000;
constexpr quint32 kDefaultSeed = 20260401;
constexpr int kConnectTicks = 20;
// One tick more than the idle gap: the next transmission starts afresh.
constexpr int kGapTicks = ReceiveStream::kIdleGapTicks + 1;
constexpr int kMaxFragmentBytes = 200;
constexpr int kReportIntervalSecs = 300;
constexpr int kModeDigit = 3; // "5 Minute": every packet carries "SND"
constexpr int kAuxiliaryEvery = 6;
// One packet in this many comes from a unit whose IMEI tries to leave the folder.
constexpr int kHostileEvery = 97;
// A picture series after every this many weather packets.
constexpr int kPacketsPerPicture = 250;
constexpr int kGarbagePercent = 20;
constexpr int kSeriesGarbagePercent = 30;
constexpr int kMaxNoiseBytes = 600;
constexpr int kWaitMs = 5000;
// Resident memory may grow by this much between warm-up and the end.
constexpr qint64 kRssMarginKb = 20 * 1024;
constexpr int kRssSamples = 9; // after each tenth of the run but the last
const QByteArray kImei = "300234064380150";
const QByteArray kHostileImeis[] = {"../../outside", "..", "x/../../../outside", "..\\..\\outside"};
const QStringList kSubfolders = {"Raw", "Auxiliary", "CSV", "Image", "Audio"};

int g_cameraPackets = 0;
QStringList g_connectLines;
QtMessageHandler g_previousHandler = nullptr;

// The window's debug lines are counted, not printed: a long run would
// otherwise write one line per picture packet. So are the font warnings that
// line noise in the raw data view draws from the offscreen platform.
void countDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg) {
        if (message.startsWith(QLatin1String("Cam: ")))
            ++g_cameraPackets;
        else if (message.startsWith(QLatin1String("Connecting to")))
            g_connectLines.append(message);
        return;
    }
    if (type == QtWarningMsg && message.contains(QLatin1String("OpenType support missing")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// 64 bits of MD5: enough to tell 100000 packets apart, small enough to keep
// the test's own memory flat.
quint64 fingerprint(const QByteArray &bytes)
{
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(digest.at(i));
    return value;
}

// A transmission as the raw log keeps it: up to and including "SND". The
// line end behind the marker may arrive in the next read, after the packet
// is done.
QByteArray throughSnd(const QByteArray &bytes)
{
    const int snd = bytes.indexOf("SND");
    return snd < 0 ? bytes : bytes.left(snd + 3);
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // A file of the proc file system has no size: read it as a whole.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Makes a folder the working folder for its own life.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString &path) : m_previous(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
    QString m_previous;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// A long run against a station that sends thousands of weather packets,
// picture series and line noise, each transmission in random pieces. The
// window must log every complete packet exactly once, write whole pictures,
// stay inside its data folder and keep its memory flat.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void packetCutBehindEndMarker_data();
    void packetCutBehindEndMarker();
    void longRunKeepsEveryPacket();

private:
    void startWindow();
    void tick(int count);
    bool chance(int percent);
    int uniform(int low, int high);
    bool deliver(const QByteArray &bytes);
    bool transmit(const QByteArray &bytes);
    QByteArray noise();
    QByteArray garbage();
    void sendGarbage();
    void sendWeather(int index);
    void sendPictureSeries(const QDateTime &utc);
    void rawEntries(QByteArrayList *packets);
    void checkRawLog();
    void checkAuxiliaryLog();
    void checkCsv();
    void checkPictures();
    void checkNothingOutside();
    QStringList filesIn(const QString &subfolder) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WorkingFolder> m_inside;
    std::unique_ptr<PseudoTerminal> m_terminal;
    std::unique_ptr<MainWindow> m_window;
    QSerialPort *m_port = nullptr;
    std::unique_ptr<QSignalSpy> m_reads;
    std::mt19937 m_random;
    std::unique_ptr<WeatherGenerator> m_weather;
    std::unique_ptr<WeatherGenerator> m_hostile;
    QDateTime m_start;
    QByteArray m_lastImei;

    int m_packets = kDefaultPackets;
    // Sized up front, so that the test's own bookkeeping does not grow.
    std::vector<quint64> m_sentRaw;
    std::vector<quint64> m_sentCsv;
    int m_auxiliarySent = 0;
    QStringList m_pictureNames;
    QVector<quint64> m_pictureFingerprints;
    qint64 m_garbageBytes = 0;
    int m_garbageBursts = 0;
    int m_fragments = 0;
    int m_packetsLogged = 0;
};

void TestSoak::initTestCase()
{
    bool ok = false;
    const int requested = qEnvironmentVariableIntValue("KTR_SOAK_PACKETS", &ok);
    if (ok && requested > 0)
        m_packets = requested;
    const int seed = qEnvironmentVariableIntValue("KTR_SOAK_SEED", &ok);
    const quint32 usedSeed = ok ? quint32(seed) : kDefaultSeed;
    m_random.seed(usedSeed);
    m_weather = std::make_unique<WeatherGenerator>(usedSeed, kImei);
    m_hostile = std::make_unique<WeatherGenerator>(usedSeed + 1, kHostileImeis[0]);
    qInfo().noquote() << QStringLiteral("Soak: %1 weather packets, seed %2").arg(m_packets).arg(usedSeed);
    g_previousHandler = qInstallMessageHandler(countDebug);
}

void TestSoak::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestSoak::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Run inside the temporary folder: a file written to a relative path
    // shows up there as well.
    m_inside = std::make_unique<WorkingFolder>(m_dir->path());
    m_terminal = std::make_unique<PseudoTerminal>();
    if (!m_terminal->open())
        QSKIP("No pseudo-terminals on this system");
    m_start = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    g_connectLines.clear();
    startWindow();
}

void TestSoak::cleanup()
{
    m_reads.reset();
    m_window.reset();
    m_terminal.reset();
    m_inside.reset();
    m_dir.reset();
}

void TestSoak::startWindow()
{
    m_window = std::make_unique<MainWindow>(
        testsupport::testWindowOptions(*m_dir, QStringList{m_terminal->slavePath()}));

    // The test drives the 100 ms tick itself, so that the pause between two
    // transmissions is exact and costs no time.
    const QList<QTimer *> timers = m_window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTimer *timer : timers) {
        if (timer->interval() == IdleClock::kTickMs && !timer->isSingleShot())
            timer->stop();
    }
    tick(kConnectTicks);
    QCOMPARE(g_connectLines, QStringList{"Connecting to first available port: " + m_terminal->slavePath()});
    m_port = m_window->findChild<QSerialPort *>();
    QVERIFY(m_port && m_port->isOpen());
    m_reads = std::make_unique<QSignalSpy>(m_port, &QSerialPort::readyRead);
}

void TestSoak::tick(int count)
{
    for (int i = 0; i < count; ++i)
        m_window->Timer();
}

bool TestSoak::chance(int percent)
{
    return uniform(0, 99) < percent;
}

int TestSoak::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

bool TestSoak::deliver(const QByteArray &bytes)
{
    // One piece on the line, then wait until the window has read all of it.
    m_reads->clear();
    int done = 0;
    while (done < bytes.size()) {
        const qint64 put =
            PseudoTerminal::writeSome(m_terminal->masterFd(), bytes.constData() + done, bytes.size() - done);
        if (put < 0 || (put == 0 && !m_reads->wait(kWaitMs)))
            return false;
        done += int(put);
    }
    if (m_reads->isEmpty() && !m_reads->wait(kWaitMs))
        return false;
    while (m_terminal->unreadBytes() > 0 || m_port->bytesAvailable() > 0) {
        if (!m_reads->wait(kWaitMs))
            return false;
    }
    ++m_fragments;
    return true;
}

bool TestSoak::transmit(const QByteArray &bytes)
{
    // One transmission in random pieces, then the station's pause.
    for (int at = 0; at < bytes.size();) {
        const int size = std::min(uniform(1, kMaxFragmentBytes), int(bytes.size()) - at);
        if (!deliver(bytes.mid(at, size)))
            return false;
        at += size;
    }
    tick(kGapTicks);
    return true;
}

QByteArray TestSoak::noise()
{
    static const QByteArray kFragments[] = {"@I", "@I:", "~", "~\r\n", "@1", "@3", QByteArray(1, '\0'), "\r\n", "\n>"};
    QByteArray bytes;
    const int length = uniform(1, kMaxNoiseBytes);
    while (bytes.size() < length) {
        if (chance(10))
            bytes += kFragments[uniform(0, int(std::size(kFragments)) - 1)];
        else
            bytes += char(uniform(0, 255));
    }
    // Noise that happens to spell a weather kind line or the "SND" marker, or
    // that begins like a binary packet, would be a packet after all.
    bytes.replace("@0", "@?");
    bytes.replace("SND", "SN?");
    if (bytes.startsWith("@1") || bytes.startsWith("@2"))
        bytes.prepend('?');
    return bytes;
}

QByteArray TestSoak::garbage()
{
    switch (uniform(0, 3)) {
    case 0: {
        // A weather packet cut off before its end marker.
        const QByteArray packet = m_weather->packet(m_start.addSecs(-kReportIntervalSecs), kModeDigit, false);
        return packet.left(uniform(1, packet.indexOf('~') - 1));
    }
    case 1: {
        // A camera packet cut off before its end.
        QByteArray packet = "@1" + StationSimulator::stationTime(m_start) + char(0x2b) + char(0);
        for (int i = uniform(0, CameraAssembler::kPayloadBytes - 1); i > 0; --i)
            packet += char(uniform(0, 255));
        return packet;
    }
    default:
        return noise();
    }
}

void TestSoak::sendGarbage()
{
    const QByteArray bytes = garbage();
    m_garbageBytes += bytes.size();
    ++m_garbageBursts;
    QVERIFY(transmit(bytes));
}

void TestSoak::sendWeather(int index)
{
    const QDateTime utc = m_start.addSecs(qint64(index) * kReportIntervalSecs);
    const bool auxiliary = index % kAuxiliaryEvery == 0;
    QByteArray packet;
    if (index % kHostileEvery == kHostileEvery - 1) {
        m_lastImei = kHostileImeis[(index / kHostileEvery) % std::size(kHostileImeis)];
        packet = m_hostile->packet(utc, kModeDigit, auxiliary);
        packet.replace("@I:" + m_hostile->imei() + "\r\n", "@I:" + m_lastImei + "\r\n");
    } else {
        m_lastImei = kImei;
        packet = m_weather->packet(utc, kModeDigit, auxiliary);
    }
    QVERIFY(packet.endsWith("SND\r\n"));
    m_sentRaw[size_t(index)] = fingerprint(throughSnd(packet));
    WeatherParser parser;
    parser.setPacketText(QString::fromLatin1(packet));
    m_sentCsv[size_t(index)] = fingerprint(parser.getLogTimestamp().toUtf8());
    if (auxiliary)
        ++m_auxiliarySent;
    QVERIFY(transmit(packet));
}

void TestSoak::sendPictureSeries(const QDateTime &utc)
{
    const int camera = m_pictureNames.size() % 4 + 1;
    const QImage picture = CameraPictures::picture(camera, utc, CameraPictures::Scene::Simple);
    const QList<QByteArray> packets = StationSimulator::picturePackets(camera, utc, JpegEncoder::encodeScan(picture));
    QByteArray expected = JpegHeader::bytes();
    for (const QByteArray &packet : packets)
        expected += packet.mid(ReceiveStream::kHeaderBytes, ReceiveStream::kPayloadBytes);
    expected += "\xff\xd9";
    // The picture belongs to the unit of the last weather packet.
    const QString stamp = utc.toUTC().toString(QStringLiteral("yyMMdd_hhmmss")) + QStringLiteral("Z_KTRtime");
    m_pictureNames.append(CameraAssembler::imageFileName(QString::fromLatin1(m_lastImei), stamp, camera));
    m_pictureFingerprints.append(fingerprint(expected));

    for (const QByteArray &packet : packets) {
        const int before = g_cameraPackets;
        QVERIFY(transmit(packet));
        QCOMPARE(g_cameraPackets, before + 1);
        if (chance(kSeriesGarbagePercent))
            sendGarbage();
    }
    QVERIFY(filesIn("Image").contains(m_pictureNames.last()));
}

QStringList TestSoak::filesIn(const QString &subfolder) const
{
    return QDir(m_dir->filePath("KTR Control Data/" + subfolder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void TestSoak::packetCutBehindEndMarker_data()
{
    // Where the first read ends: somewhere behind the weather part's "~".
    QTest::addColumn<bool>("auxiliary");
    QTest::addColumn<QByteArray>("cutBehind");
    QTest::newRow("weather, behind ~") << false << QByteArray("~");
    QTest::newRow("weather, behind the line end") << false << QByteArray("~\r\n");
    QTest::newRow("weather, inside the line end") << false << QByteArray("~\r");
    QTest::newRow("auxiliary, behind ~") << true << QByteArray("~");
    QTest::newRow("auxiliary, behind its @") << true << QByteArray("~\r\n@");
    QTest::newRow("auxiliary, behind its kind") << true << QByteArray("~\r\n@3");
}

void TestSoak::packetCutBehindEndMarker()
{
    QFETCH(bool, auxiliary);
    QFETCH(QByteArray, cutBehind);
    WeatherGenerator weather(kDefaultSeed, kImei);
    const QByteArray packet = weather.packet(m_start, kModeDigit, auxiliary);
    const int end = packet.indexOf('~');
    QVERIFY(packet.mid(end).startsWith(cutBehind));
    const QByteArray rest = packet.mid(end + cutBehind.size());

    // The rest comes in two more reads, the first still without "SND".
    QVERIFY(deliver(packet.left(end + cutBehind.size())));
    QVERIFY(deliver(rest.left(rest.size() / 2)));
    QVERIFY(!rest.left(rest.size() / 2).contains("SND"));
    QVERIFY(filesIn("Raw").isEmpty());
    QVERIFY(deliver(rest.mid(rest.size() / 2)));
    tick(kGapTicks);

    QByteArrayList packets;
    rawEntries(&packets);
    QCOMPARE(packets, QByteArrayList{packet});
    const QStringList auxiliaryLogs = filesIn("Auxiliary");
    QCOMPARE(auxiliaryLogs.size(), auxiliary ? 1 : 0);
    if (auxiliary) {
        const QByteArray log = readAll(m_dir->filePath("KTR Control Data/Auxiliary/" + auxiliaryLogs.first()));
        QVERIFY(log.endsWith(packet.mid(packet.indexOf("@3"))));
    }
}

void TestSoak::longRunKeepsEveryPacket()
{
    m_sentRaw.assign(size_t(m_packets), 0);
    m_sentCsv.assign(size_t(m_packets), 0);
    QElapsedTimer clock;
    clock.start();
    // Resident memory after each tenth of the run; the first tenth is the warm-up.
    qint64 rss[kRssSamples] = {};
    int sampled = 0;
    for (int i = 0; i < m_packets; ++i) {
        if (sampled < kRssSamples && i >= (sampled + 1) * qint64(m_packets) / (kRssSamples + 1))
            rss[sampled++] = residentKb();
        if (chance(kGarbagePercent))
            sendGarbage();
        sendWeather(i);
        if (i % kPacketsPerPicture == kPacketsPerPicture / 2)
            sendPictureSeries(m_start.addSecs(qint64(i) * kReportIntervalSecs + 30));
        if (QTest::currentTestFailed()) {
            qWarning("Soak stopped at weather packet %d", i);
            return;
        }
    }
    const qint64 rssWarm = rss[0];
    const qint64 rssEnd = residentKb();
    QStringList trend;
    for (int i = 0; i < sampled; ++i)
        trend << QString::number(rss[i]);
    qInfo().noquote() << "Soak RSS in kB after each tenth of the run:" << trend.join(' ') << rssEnd;
    const double seconds = clock.elapsed() / 1000.0;

    checkRawLog();
    checkAuxiliaryLog();
    checkCsv();
    checkPictures();
    checkNothingOutside();

    qInfo().noquote() << QStringLiteral(
                             "Soak summary: %1 packets sent, %2 logged, %3 pictures (%11 packets), %4 garbage bytes "
                             "in %5 bursts, %6 pieces, RSS %7 kB after warm-up, %8 kB at end (%9 kB), %10 s")
                             .arg(m_packets)
                             .arg(m_packetsLogged)
                             .arg(m_pictureNames.size())
                             .arg(m_garbageBytes)
                             .arg(m_garbageBursts)
                             .arg(m_fragments)
                             .arg(rssWarm)
                             .arg(rssEnd)
                             .arg(rssEnd - rssWarm, 0, 10)
                             .arg(seconds, 0, 'f', 1)
                             .arg(g_cameraPackets);
    if (rssWarm > 0 && rssEnd > 0)
        QVERIFY2(rssEnd - rssWarm <= kRssMarginKb,
                 qPrintable(QStringLiteral("resident memory grew by %1 kB").arg(rssEnd - rssWarm)));
}

void TestSoak::rawEntries(QByteArrayList *packets)
{
    // Every entry: "\r\n*", the PC's stamp, "\r\n", the packet as received.
    static const QRegularExpression stampLine(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}L$"));
    for (const QString &name : filesIn("Raw")) {
        QVERIFY2(name.endsWith(".txt"), qPrintable(name));
        const QByteArray log = readAll(m_dir->filePath("KTR Control Data/Raw/" + name));
        QVERIFY(log.startsWith("\r\n*"));
        int at = 3;
        while (at < log.size()) {
            int next = log.indexOf("\r\n*", at);
            if (next < 0)
                next = log.size();
            const QByteArray entry = log.mid(at, next - at);
            const int lineEnd = entry.indexOf("\r\n");
            QVERIFY(lineEnd > 0);
            QVERIFY2(stampLine.match(QString::fromLatin1(entry.left(lineEnd))).hasMatch(), entry.left(40).constData());
            packets->append(entry.mid(lineEnd + 2));
            at = next + 3;
        }
    }
}

void TestSoak::checkRawLog()
{
    QByteArrayList packets;
    rawEntries(&packets);
    if (QTest::currentTestFailed())
        return;
    std::vector<quint64> logged;
    logged.reserve(size_t(packets.size()));
    QStringList strays;
    for (const QByteArray &packet : qAsConst(packets)) {
        const QByteArray timeLine = packet.mid(packet.indexOf("\r\nT:") + 2, 19);
        if (!packet.contains("SND"))
            strays << "logged before its end: " + QString::fromLatin1(timeLine);
        else if (!QByteArray("\r\n").startsWith(packet.mid(throughSnd(packet).size())))
            strays << "bytes behind the packet: " + QString::fromLatin1(timeLine) + " "
                          + QString::fromLatin1(packet.mid(packet.indexOf("SND")).toHex(' ').left(90));
        logged.push_back(fingerprint(throughSnd(packet)));
    }
    m_packetsLogged = int(logged.size());
    QVERIFY2(strays.isEmpty(),
             qPrintable(QString::number(strays.size()) + " entries, first: " + strays.mid(0, 10).join("; ")));

    std::vector<quint64> sent = m_sentRaw;
    std::sort(sent.begin(), sent.end());
    std::sort(logged.begin(), logged.end());
    QVERIFY(std::adjacent_find(sent.begin(), sent.end()) == sent.end()); // the packets themselves differ
    std::vector<quint64> missing;
    std::set_difference(sent.begin(), sent.end(), logged.begin(), logged.end(), std::back_inserter(missing));
    std::vector<quint64> extra;
    std::set_difference(logged.begin(), logged.end(), sent.begin(), sent.end(), std::back_inserter(extra));
    QVERIFY2(missing.empty() && extra.empty(),
             qPrintable(QStringLiteral("%1 packets not logged as sent, %2 log entries not sent (or twice)")
                            .arg(missing.size())
                            .arg(extra.size())));
    QCOMPARE(m_packetsLogged, m_packets);
}

void TestSoak::checkAuxiliaryLog()
{
    static const QRegularExpression entryStart(
        QStringLiteral("\\*\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}L\r\n@3"));
    int entries = 0;
    for (const QString &name : filesIn("Auxiliary")) {
        const QString log = QString::fromLatin1(readAll(m_dir->filePath("KTR Control Data/Auxiliary/" + name)));
        QVERIFY(log.startsWith('*'));
        for (auto it = entryStart.globalMatch(log); it.hasNext(); it.next())
            ++entries;
        QCOMPARE(log.count(QStringLiteral("SND")), log.count(QStringLiteral("@3")));
    }
    QCOMPARE(entries, m_auxiliarySent);
}

void TestSoak::checkCsv()
{
    std::vector<quint64> rows;
    rows.reserve(size_t(m_packets));
    for (const QString &name : filesIn("CSV")) {
        const QByteArray csv = readAll(m_dir->filePath("KTR Control Data/CSV/" + name));
        QList<QByteArray> lines = csv.split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QCOMPARE(lines.takeFirst(), CsvLog::header() + "\r");
        for (const QByteArray &line : qAsConst(lines))
            rows.push_back(fingerprint(line.left(line.indexOf(','))));
    }
    QCOMPARE(int(rows.size()), m_packets);
    std::vector<quint64> sent = m_sentCsv;
    std::sort(sent.begin(), sent.end());
    std::sort(rows.begin(), rows.end());
    QVERIFY2(rows == sent, "the CSV rows do not stand for the packets sent, one each");
}

void TestSoak::checkPictures()
{
    QStringList expected = m_pictureNames;
    expected.sort();
    QCOMPARE(filesIn("Image"), expected); // no temporary files left behind either
    for (int i = 0; i < m_pictureNames.size(); ++i) {
        const QByteArray saved = readAll(m_dir->filePath("KTR Control Data/Image/" + m_pictureNames.at(i)));
        QVERIFY2(fingerprint(saved) == m_pictureFingerprints.at(i), qPrintable(m_pictureNames.at(i)));
        const QImage image = QImage::fromData(saved, "JPG");
        QCOMPARE(image.size(), QSize(JpegHeader::kWidthPixels, JpegHeader::kHeightPixels));
    }
    QVERIFY(filesIn("Audio").isEmpty());
}

void TestSoak::checkNothingOutside()
{
    const QDir root(m_dir->path());
    const QString dataFolder = QDir::cleanPath(root.filePath("KTR Control Data"));
    QStringList allowed;
    for (const QString &subfolder : kSubfolders)
        allowed << dataFolder + "/" + subfolder;
    // Files only in the five sub-folders, folders only the data folder and those.
    QStringList outside;
    QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString path = QDir::cleanPath(entry.absoluteFilePath());
        const bool inside = entry.isDir() ? path == dataFolder || allowed.contains(path)
                                          : allowed.contains(QDir::cleanPath(entry.absolutePath()));
        if (!inside)
            outside << root.relativeFilePath(entry.filePath());
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(", ")));
    if (m_packets >= kHostileEvery)
        QVERIFY(!filesIn("Raw").filter(QRegularExpression(QStringLiteral("^%1_\\d{6}\\.txt$")
                                                               .arg(DataFolder::kNoUnitName)))
                     .isEmpty());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
