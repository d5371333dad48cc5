// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/stationsimulator.h"

#include "tools/sim/jpegencoder.h"
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/recordingsource.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr char kPrompt[] = "\r\n>";

StationSettings initialSettings(const StationSimulatorOptions &options, const WeatherGenerator &weather)
{
    StationSettings settings;
    settings.mode = std::clamp(options.modeDigit, 0, 6);
    settings.elevationMetres = weather.elevationMetres();
    return settings;
}
} // namespace

StationSimulator::StationSimulator(const StationSimulatorOptions &options, PseudoTerminal *terminal,
                                   QObject *parent)
    : QObject(parent), m_options(options), m_terminal(terminal), m_weather(options.seed, options.imei),
      m_interpreter(initialSettings(options, m_weather))
{
    setUp(terminal ? terminal->masterFd() : -1);
}

StationSimulator::StationSimulator(const StationSimulatorOptions &options, int masterFd, QObject *parent)
    : QObject(parent), m_options(options), m_weather(options.seed, options.imei),
      m_interpreter(initialSettings(options, m_weather))
{
    setUp(masterFd);
}

void StationSimulator::setUp(int masterFd)
{
    m_fd = masterFd;
    m_reportTimer.setSingleShot(true);
    m_gapTimer.setSingleShot(true);
    // A coarse timer may fire early, and the gap is a lower bound.
    m_gapTimer.setTimerType(Qt::PreciseTimer);
    m_sleepTimer.setSingleShot(true);
    m_sleepTimer.setInterval(kAwakeQuietMs);
    m_promptTimer.setSingleShot(true);
    m_promptTimer.setInterval(kBannerPromptMs);
    m_imageTimer.setSingleShot(true);
    connect(&m_imageTimer, &QTimer::timeout, this, &StationSimulator::takeScheduledPictures);
    m_clockStart =
        m_options.clockStartUtc.isValid() ? m_options.clockStartUtc.toUTC() : QDateTime::currentDateTimeUtc();
    m_clock.start();
    connect(&m_reportTimer, &QTimer::timeout, this, &StationSimulator::report);
    connect(&m_gapTimer, &QTimer::timeout, this, &StationSimulator::pump);
    connect(&m_sleepTimer, &QTimer::timeout, this, &StationSimulator::fallAsleep);
    connect(&m_promptTimer, &QTimer::timeout, this, &StationSimulator::sendPowerUpPrompt);

    if (m_fd < 0 || !PseudoTerminal::setNonBlocking(m_fd)) {
        qWarning("Station: no usable line");
        m_fd = -1;
        return;
    }
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &StationSimulator::readAvailable);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &StationSimulator::writePending);
}

int StationSimulator::modeIntervalMs(int modeDigit)
{
    static const int kIntervalsMs[] = {3 * 3600 * 1000, 3600 * 1000, 20 * 60 * 1000, 5 * 60 * 1000,
                                       60 * 1000,       20 * 1000,   10 * 1000};
    return modeDigit >= 0 && modeDigit <= 6 ? kIntervalsMs[modeDigit] : kIntervalsMs[4];
}

QByteArray StationSimulator::bannerText(const QByteArray &imei)
{
    return QByteArray("\r\n\rKTR v") + kFirmwareVersion + "\r\nKTR automatic weather station\r\nModem IMEI " +
           imei + "\r\nSelf test passed\r\n";
}

QByteArray StationSimulator::stationTime(const QDateTime &utc)
{
    const QDateTime time = utc.toUTC();
    const int fields[] = {time.date().year() % 100, time.date().month(),  time.date().day(),
                          time.time().hour(),       time.time().minute(), time.time().second()};
    QByteArray bytes;
    for (const int value : fields)
        bytes.append(char(((value / 10) << 4) | (value % 10)));
    return bytes;
}

QList<QByteArray> StationSimulator::picturePackets(int camera, const QDateTime &utc, const QByteArray &scan)
{
    const QList<QByteArray> slices = JpegEncoder::splitScan(scan);
    QList<QByteArray> packets;
    for (int n = 0; n < slices.size(); ++n) {
        const bool last = n == slices.size() - 1;
        QByteArray packet = "@1" + stationTime(utc);
        packet.append(char(((camera & 7) << 4) | (last ? kLastPictureCode : 0)));
        packet.append(char(n & 0xff));
        packet.append(slices.at(n));
        packet.append("\r\n\r\n");
        packets.append(packet);
    }
    return packets;
}

QList<QByteArray> StationSimulator::acousticPackets(int type, int recordingNumber, const QDateTime &utc,
                                                    const QByteArray &data)
{
    QList<QByteArray> packets;
    const int count = (data.size() + kPayloadBytes - 1) / kPayloadBytes;
    for (int n = 0; n < count; ++n) {
        const bool last = n == count - 1;
        QByteArray packet = "@2" + stationTime(utc);
        packet.append(char((last ? 1 : 0) | ((type & 3) << 1) | ((recordingNumber & 31) << 3)));
        packet.append(char(n & 0xff));
        packet.append(data.mid(n * kPayloadBytes, kPayloadBytes).leftJustified(kPayloadBytes, '\0'));
        packets.append(packet);
    }
    return packets;
}

double StationSimulator::toneFrequencyHz(int recordingNumber)
{
    return 250.0 + 50.0 * (recordingNumber & 31);
}

int StationSimulator::reportIntervalMs() const
{
    if (m_options.intervalMs > 0)
        return m_options.intervalMs;
    // A fast clock must not outrun the line: each packet needs its gap.
    return std::max(realMs(modeIntervalMs(modeDigit())), 2 * kGapMs);
}

int StationSimulator::realMs(qint64 stationMs) const
{
    const double speed = m_options.clockSpeed > 0 ? m_options.clockSpeed : 1;
    return int(
        std::clamp(std::ceil(double(stationMs) / speed), 1.0, double(std::numeric_limits<int>::max())));
}

QDateTime StationSimulator::stationNow() const
{
    const double speed = m_options.clockSpeed > 0 ? m_options.clockSpeed : 1;
    return m_clockStart.addMSecs(qint64(double(m_clock.elapsed()) * speed));
}

QDateTime StationSimulator::nextImageTime(const QDateTime &utc, const QVector<int> &hours)
{
    const QDateTime after = utc.toUTC();
    QDateTime next;
    for (const int hour : hours) {
        if (hour < 0 || hour > 23)
            continue;
        QDateTime candidate(after.date(), QTime(hour, 0), Qt::UTC);
        if (candidate <= after)
            candidate = candidate.addDays(1);
        if (!next.isValid() || candidate < next)
            next = candidate;
    }
    return next;
}

void StationSimulator::scheduleImages()
{
    // Never the same hour twice, however the timers fall.
    const QDateTime now = std::max(stationNow(), m_nextImage.isValid() ? m_nextImage : QDateTime());
    m_nextImage = nextImageTime(now, m_interpreter.settings().autoHours);
    if (!m_nextImage.isValid()) {
        m_imageTimer.stop();
        return;
    }
    m_imageTimer.start(realMs(stationNow().msecsTo(m_nextImage)));
}

void StationSimulator::takeScheduledPictures()
{
    if (stationNow() < m_nextImage) {
        // The timer ran a little early on the station clock.
        m_imageTimer.start(realMs(stationNow().msecsTo(m_nextImage)));
        return;
    }
    wake();
    for (int camera = 1; camera <= 4; ++camera)
        takePicture(camera, m_nextImage);
    scheduleImages();
}

void StationSimulator::start()
{
    if (m_options.banner) {
        wake();
        m_poweringUp = true;
        queue(Kind::Banner, bannerText(m_options.imei));
    }
    scheduleReport(std::min(reportIntervalMs(), kFirstReportMaxMs));
    scheduleImages();
}

void StationSimulator::scheduleReport(int delayMs)
{
    if (m_options.packetLimit > 0 && m_packetsSent >= m_options.packetLimit)
        return;
    m_reportTimer.start(delayMs);
}

void StationSimulator::wake()
{
    m_awake = true;
    m_sleepTimer.start();
}

void StationSimulator::fallAsleep()
{
    m_awake = false;
    m_atPrompt = false;
    m_lineBytes = 0;
    // Forget a half-typed command.
    m_interpreter = StationCommandInterpreter(m_interpreter.settings());
}

void StationSimulator::report()
{
    // Awake already, the station stays at its prompt: only its output waits.
    wake();
    const int number = m_packetsSent + 1;
    const bool withAux = m_options.auxEvery > 0 && number % m_options.auxEvery == 0;
    queue(Kind::Packet, m_weather.packet(stationNow(), modeDigit(), withAux));
    scheduleReport(reportIntervalMs());
}

void StationSimulator::readAvailable()
{
    char chunk[kReadChunkBytes];
    // Bounded per call, so a flood of input cannot starve the timers.
    for (int round = 0; round < 16; ++round) {
        const qint64 got = PseudoTerminal::readSome(m_fd, chunk, sizeof chunk);
        if (got < 0) {
            qWarning("Station: the line failed; no longer listening");
            m_readNotifier->setEnabled(false);
            return;
        }
        for (qint64 i = 0; i < got; ++i)
            receiveByte(chunk[i]);
        if (got < static_cast<qint64>(sizeof chunk))
            return;
    }
}

void StationSimulator::receiveByte(char byte)
{
    // Asleep, or busy powering up: the byte is lost, as on the real unit.
    if (!m_awake || m_poweringUp)
        return;
    m_sleepTimer.start();

    if (byte == ' ' && m_lineBytes == 0) {
        const bool settling = m_atPrompt && m_sincePrompt.elapsed() < kPokeSettleMs;
        if (!settling && !promptQueued() && !seriesUnderWay())
            queue(Kind::Prompt, kPrompt);
        return;
    }
    if (!m_atPrompt)
        return;
    m_lineBytes = byte == '\r' ? 0 : m_lineBytes + 1;
    const QList<QByteArray> commands = m_interpreter.feed(QByteArray(1, byte));
    for (const QByteArray &command : commands)
        applyCommand(command);
}

void StationSimulator::applyCommand(const QByteArray &command)
{
    emit commandReceived(command);
    const StationSettings &settings = m_interpreter.settings();
    m_weather.setCeilometer(settings.ceilometer);
    m_weather.setGpsEnabled(settings.gpsEnabled);
    if (command.startsWith("GE"))
        m_weather.setElevationMetres(settings.elevationMetres);
    const QList<StationAction> actions = m_interpreter.takeActions();
    for (const StationAction &action : actions)
        perform(action);
    if (command.startsWith('i'))
        scheduleImages();
    if (!command.startsWith('m'))
        return;
    // The unit confirms a new mode on its own line.
    queue(Kind::Echo, command + "\r\n");
    emit modeChanged(settings.mode);
    if (m_options.intervalMs <= 0 && m_reportTimer.isActive())
        scheduleReport(reportIntervalMs());
}

void StationSimulator::perform(const StationAction &action)
{
    QDateTime now = stationNow();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    // Each recording is new; only "A2" reads out the last one again.
    const auto recordingSeed = [this] { return m_options.seed * 7919u + quint32(m_recordings); };
    switch (action.kind) {
    case StationAction::RequestImages:
        if (action.argument == 0) {
            for (int camera = 1; camera <= 4; ++camera)
                takePicture(camera, now);
        } else {
            takePicture(action.argument, now);
        }
        break;
    case StationAction::RecordAcousticSpectral:
        ++m_recordings;
        sendRecording(Spectral, 0, now, RecordingSource::spectralBlock(recordingSeed()));
        break;
    case StationAction::GetSpectral:
        sendRecording(Spectral, 0, now, RecordingSource::spectralBlock(recordingSeed()));
        break;
    case StationAction::GetMp3:
        ++m_recordings;
        sendRecording(Mp3, action.argument, now, RecordingSource::mp3Recording());
        break;
    case StationAction::GetRaw:
        ++m_recordings;
        sendRecording(Raw, action.argument, now,
                      RecordingSource::rawTone(toneFrequencyHz(action.argument), kToneAmplitude));
        break;
    case StationAction::UpdateGps:
        m_weather.takeFix(false);
        break;
    case StationAction::UpdateGpsAndElevation:
        m_weather.takeFix(true);
        m_interpreter.setElevationMetres(m_weather.elevationMetres());
        break;
    case StationAction::AcousticOff:
        break;
    }
}

void StationSimulator::takePicture(int camera, const QDateTime &utc)
{
    const QImage picture = CameraPictures::picture(camera, utc, m_options.pictureScene);
    const QByteArray scan = JpegEncoder::encodeScan(picture);
    const QList<QByteArray> packets = picturePackets(camera, utc, scan);
    if (packets.size() > kSeriesPacketsMax) {
        qWarning("Station: picture of camera %d too large to send", camera);
        return;
    }
    emit pictureTaken(camera, utc, JpegEncoder::encode(picture));
    queueSeries(packets);
}

void StationSimulator::sendRecording(int type, int recordingNumber, const QDateTime &utc,
                                     const QByteArray &data)
{
    emit recordingMade(type, recordingNumber & 31, utc, data);
    queueSeries(acousticPackets(type, recordingNumber, utc, data));
}

void StationSimulator::queueSeries(const QList<QByteArray> &packets)
{
    if (packets.isEmpty())
        return;
    if (m_queue.size() >= kQueueMax) {
        qWarning("Station: too much to send, dropping a series");
        return;
    }
    m_queue.enqueue({Kind::Series, packets.first(), packets.mid(1)});
    pump();
}

bool StationSimulator::seriesUnderWay() const
{
    if (m_busy && m_currentKind == Kind::Series)
        return true;
    return std::any_of(m_queue.cbegin(), m_queue.cend(),
                       [](const Transmission &transmission) { return transmission.kind == Kind::Series; });
}

bool StationSimulator::promptQueued() const
{
    return std::any_of(m_queue.cbegin(), m_queue.cend(),
                       [](const Transmission &transmission) { return transmission.kind == Kind::Prompt; });
}

void StationSimulator::queue(Kind kind, const QByteArray &bytes)
{
    if (m_queue.size() >= kQueueMax) {
        qWarning("Station: too much to send, dropping a transmission");
        return;
    }
    m_queue.enqueue({kind, bytes, {}});
    pump();
}

void StationSimulator::pump()
{
    if (m_busy || m_queue.isEmpty() || m_fd < 0)
        return;
    const qint64 quietMs = m_sinceTransmission.isValid() ? m_sinceTransmission.elapsed() : kGapMs;
    if (quietMs < kGapMs) {
        if (!m_gapTimer.isActive())
            m_gapTimer.start(static_cast<int>(kGapMs - quietMs) + 1);
        return;
    }
    Transmission next;
    Transmission &front = m_queue.head();
    if (front.following.isEmpty()) {
        next = m_queue.dequeue();
    } else {
        // A series stays at the front until its last packet is out.
        next = {front.kind, front.bytes, {}};
        front.bytes = front.following.takeFirst();
    }
    if (next.kind == Kind::Prompt && !m_awake) {
        pump();
        return;
    }
    if (m_terminal && m_terminal->unreadBytes() > 0)
        m_terminal->discardUnread();
    m_busy = true;
    m_currentKind = next.kind;
    m_current.clear();
    m_unwritten = next.bytes;
    writePending();
}

void StationSimulator::writePending()
{
    while (!m_unwritten.isEmpty()) {
        const qint64 put = PseudoTerminal::writeSome(m_fd, m_unwritten.constData(), m_unwritten.size());
        if (put < 0) {
            qWarning("Station: writing failed, transmission cut short");
            m_unwritten.clear();
            break;
        }
        if (put == 0) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_current += m_unwritten.left(static_cast<int>(put));
        m_unwritten.remove(0, static_cast<int>(put));
    }
    m_writeNotifier->setEnabled(false);
    partWritten();
}

void StationSimulator::sendPowerUpPrompt()
{
    m_currentKind = Kind::PowerUpPrompt;
    m_unwritten += kPrompt;
    writePending();
}

void StationSimulator::partWritten()
{
    switch (m_currentKind) {
    case Kind::Banner:
        m_promptTimer.start(); // the prompt belongs to the same transmission
        return;
    case Kind::PowerUpPrompt:
        m_poweringUp = false;
        m_atPrompt = true;
        m_sincePrompt.start();
        break;
    case Kind::Prompt:
        m_atPrompt = true;
        m_lineBytes = 0;
        m_sincePrompt.start();
        break;
    case Kind::Packet:
        ++m_packetsSent;
        emit packetSent(m_current);
        if (m_options.packetLimit > 0 && m_packetsSent >= m_options.packetLimit)
            QTimer::singleShot(kGapMs, this, &StationSimulator::finished);
        break;
    case Kind::Echo:
    case Kind::Series:
        break;
    }
    endTransmission();
}

void StationSimulator::endTransmission()
{
    m_busy = false;
    m_sinceTransmission.start();
    if (m_awake)
        m_sleepTimer.start();
    emit transmitted(m_current);
    pump();
}
