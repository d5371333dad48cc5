// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/stationsession.h"

#include "forwarding/forwardingcontroller.h"
#include "link/stationlink.h"
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "storage/rawlog.h"

#include <QDebug>
#include <QTimer>

namespace {
const char kGreen[] = "<b>&nbsp;&nbsp;<font color=#3CB371>%1</font></b>";
const char kRed[] = "&nbsp;&nbsp;<font color=#B22222>%1</font>";
} // namespace

StationSession::StationSession(const DataFolder &folder, QObject *parent)
    : QObject(parent), m_folder(folder), m_demoFolder(folder.root() + QStringLiteral("/Demo")),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }), m_history(folder.root()),
      m_sndTimer(new QTimer(this))
{
    m_values = m_parser.values();
    m_sndTimer->setSingleShot(true);
    m_sndTimer->setInterval(ReceiveStream::kSndWaitMs);
    connect(m_sndTimer, &QTimer::timeout, this, &StationSession::sndWaitElapsed);
}

StationSession::~StationSession() = default;

bool StationSession::connectLink(StationLink *link)
{
    disconnectLink();
    m_link = link;
    // The replay owns the display while it runs; a scan that reopens the
    // port behind it must not wipe it.
    if (!m_replay) {
        m_parser.setPacketText(QString());
        m_values = m_parser.values();
        m_observation = Observation();
        emit reset();
    }
    if (!m_link)
        return false;
    connect(m_link, &StationLink::readyRead, this, &StationSession::receivePass);
    connect(m_link, &StationLink::gone, this, [this](const QString &reason) {
        disconnectLink();
        emit linkGone(reason);
    });
    const bool opened = m_link->open();
    if (!opened)
        qDebug().noquote() << "!!-- Error: cannot open " + m_link->name() + ": " + m_link->errorText();
    if (!m_replay)
        emit connectionChanged(opened ? connectedTo(m_link->name())
                                      : QString::fromLatin1(kRed).arg(QStringLiteral("Open COM Error")));
    return opened;
}

void StationSession::disconnectLink()
{
    if (m_link) {
        disconnect(m_link, nullptr, this, nullptr);
        m_link->close();
        m_link = nullptr;
    }
    if (!m_replay)
        emit connectionChanged(QStringLiteral("<b>") +
                               QString::fromLatin1(kRed).arg(QStringLiteral("No Connection")) +
                               QStringLiteral("</b>"));
}

QString StationSession::portName() const
{
    return m_link ? m_link->name() : QString();
}

void StationSession::setReplay(StationLink *replay)
{
    if (m_replay)
        disconnect(m_replay, nullptr, this, nullptr);
    m_replay = replay;
    if (m_replay)
        connect(m_replay, &StationLink::readyRead, this, &StationSession::receivePass);
}

const DataFolder &StationSession::dataFolder() const
{
    return m_replay ? m_demoFolder : m_folder;
}

bool StationSession::isWaitingForSnd() const
{
    return m_sndTimer->isActive();
}

QString StationSession::connectedTo(const QString &detail) const
{
    return QString::fromLatin1(kGreen).arg(QStringLiteral("Connected")) + QStringLiteral(" to ") + detail;
}

QDateTime StationSession::now() const
{
    return m_clock();
}

void StationSession::setStatus(const QString &text)
{
    emit statusChanged(text);
}

SendCycle::PressResult StationSession::pressSend(const QByteArray &snapshot)
{
    const SendCycle::PressResult result = m_sendCycle.press(snapshot);
    if (m_forwarder)
        m_forwarder->restartForwardingTimer();
    setStatus(result.status);
    emit sendCaptionChanged(result.caption);
    return result;
}

void StationSession::requestSend(const QByteArray &snapshot)
{
    if (m_sendCycle.isPending())
        m_sendCycle.requeue(snapshot);
    else
        pressSend(snapshot);
}

void StationSession::tick()
{
    m_stream.tick();
    const QByteArray next = m_sendCycle.tickBytes();
    if (!next.isEmpty() && m_link)
        m_link->write(next);
}

void StationSession::sndWaitElapsed()
{
    m_sndTimer->stop();
    m_stream.sndRerun();
    receivePass();
}

void StationSession::receivePass()
{
    // A pass never runs inside another; one that would is run right after.
    if (m_inPass) {
        QTimer::singleShot(0, this, &StationSession::receivePass);
        return;
    }
    m_inPass = true;
    try {
        runPass();
    } catch (...) {
        qDebug().noquote() << "!!-- Caught Error: Clearing buffer and continuing";
        m_stream.clear();
    }
    m_inPass = false;
}

void StationSession::runPass()
{
    if (m_replay) {
        m_stream.begin({});
        const QByteArray replayed = m_replay->readAll();
        if (!replayed.isEmpty())
            m_stream.replaceWith(replayed);
    } else {
        m_stream.begin(m_link && m_link->isOpen() ? m_link->readAll() : QByteArray());
    }

    if (m_stream.isModeEcho())
        emit rawTextReplaced(m_stream.text());
    if (m_stream.isPowerUpBanner()) {
        m_sendCycle.powerUpSeen();
        setStatus(m_sendCycle.status());
        emit progressHidden();
        emit rawTextReplaced(m_stream.text());
    }
    if (m_stream.isPrompt(m_sendCycle.outgoingCommand(), m_sendCycle.isPending())) {
        promptSeen();
        emit connectionChanged(connectedTo(portName() + QStringLiteral(" : ") + m_parser.getImei()));
    }

    bool framing = true;
    while (framing) {
        switch (m_stream.frame()) {
        case ReceiveStream::Kind::Weather:
            framing = processWeather();
            break;
        case ReceiveStream::Kind::SndWait:
            m_sndTimer->start();
            return;
        case ReceiveStream::Kind::Camera:
            framing = processCamera();
            break;
        case ReceiveStream::Kind::Acoustic:
            framing = processAcoustic();
            break;
        case ReceiveStream::Kind::Nothing:
            framing = false;
            break;
        }
    }
    m_stream.endPass();
    flushLink();
}

void StationSession::promptSeen()
{
    const QByteArray command =
        m_sendCycle.handOver(m_sendCycle.isPending() || !m_configSource ? QByteArray() : m_configSource());
    if (m_forwarder)
        m_forwarder->restartForwardingTimer();
    setStatus(m_sendCycle.status());
    emit sendCaptionChanged(m_sendCycle.caption());
    qDebug().noquote() << "Cmd: " + QString::fromLatin1(command);
    emit rawTextReplaced(QString::fromLatin1(command));
}

bool StationSession::processWeather()
{
    m_sndTimer->stop();
    const QByteArray buffer = m_stream.buffer();
    const QDateTime utc = now();
    m_parser.setPacketText(m_stream.text());
    const QString imei = m_parser.getImei();
    m_stationImei = imei.toUtf8();
    const QStringList implausible = m_parser.implausibleReadings();
    for (const QString &line : implausible)
        qDebug().noquote() << "!!-- " + line;

    emit rawTextReplaced(m_stream.text());
    emit progressHidden();
    const QString detail = imei + QStringLiteral(" (") + portName() + QLatin1Char(')');
    emit connectionChanged(m_replay ? QString::fromLatin1(kGreen).arg(m_replay->name()) +
                                          QStringLiteral(" (") + imei + QLatin1Char(')')
                                    : connectedTo(detail));

    const DataFolder &folder = dataFolder();
    RawLog::logWeatherPacket(folder, imei, buffer, m_stream.auxiliaryPart(), m_logging, utc.toLocalTime(),
                             &m_health);

    if (m_forwarder)
        m_forwarder->weatherPacketReceived(m_parser.modeDigit(), buffer, m_stream.forwardingSlice(),
                                           m_stationImei);
    else
        setStatus(QStringLiteral("Received Weather Data"));

    // One reading of the packet and one report feed the history, the CSV
    // row, the observation and the window alike.
    m_values = m_parser.values();
    const QString metar = MetarEncoder::getMetar(m_values);
    m_observation = Observation::fromValues(m_values, metar, utc);
    const Observation &observation = m_observation;
    if (m_logging) {
        // The store first: a crash between the two never leaves a CSV row
        // whose packet the history lacks.
        if (m_replay && !m_demoHistory)
            m_demoHistory = std::make_unique<HistoryStore>(m_demoFolder.root());
        (m_replay ? m_demoHistory.get() : &m_history)->record(observation);
        CsvLog::append(folder.csvPath(), m_values, metar, utc, &m_health);
    }
    emit weatherReceived(observation);
    emit stationModeReported(m_values.mode);
    emit firmwareChanged(m_stream.firmwareCode());

    m_stream.finishWeather();
    flushLink();
    return false;
}

bool StationSession::processCamera()
{
    const CameraStep step = m_camera.process(m_stream.buffer(), m_parser.getImei(), dataFolder().imagePath(),
                                             m_parser.getOrientation(), now(), &m_health);
    showStep(step);
    if (!step.packet.isEmpty() && m_forwarder)
        m_forwarder->forwardData(step.packet, m_stationImei);
    if (!step.picture.isEmpty() || !step.caption.isEmpty())
        emit pictureReady(step.camera, step.picture, step.caption, step.stamp);
    return finishStep(step);
}

bool StationSession::processAcoustic()
{
    const AcousticStep step =
        m_acoustic.process(m_stream.buffer(), m_parser.getImei(), dataFolder().audioPath(), now(), &m_health);
    showStep(step);
    return finishStep(step);
}

void StationSession::showStep(const PacketStep &step)
{
    emit progressChanged(step.progressText, step.progressMaximum, step.progressValue);
    emit rawTextReplaced(step.rawViewText);
    if (!step.rawViewAppend.isEmpty())
        emit rawTextAppended(step.rawViewAppend);
    for (const QString &line : step.debugLines)
        qDebug().noquote() << line;
}

bool StationSession::finishStep(const PacketStep &step)
{
    if (step.last)
        emit progressHidden();
    if (!step.complete)
        return false;
    m_stream.consume(step.consumedBytes);
    return !m_stream.buffer().isEmpty();
}

void StationSession::flushLink()
{
    if (!m_replay && m_link && m_link->isOpen())
        m_link->flush();
}
