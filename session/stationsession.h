// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/sendcycle.h"
#include "forwarding/forwardingcontroller.h"
#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "link/receivestream.h"
#include "link/stationlink.h"
#include "storage/datafolder.h"
#include "storage/historystore.h"
#include "storage/writehealth.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class StationLink;
class QTimer;

// The conversation with one station, without any widget: the receive passes
// over the link's bytes, the framing into weather, picture and acoustic
// packets, the raw, CSV and file logs, the configuration send cycle at the
// station's prompt, and the hand-over of packets to forwarding. The window
// and the headless service drive it with a 100 ms tick and show what its
// signals report.
class StationSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 100;

    explicit StationSession(const DataFolder &folder, QObject *parent = nullptr);
    ~StationSession() override;

    // The station's link, not owned; it is opened here, and closed when
    // replaced. Reports "Connected to <name>" or "Open COM Error".
    bool connectLink(StationLink *link);
    void disconnectLink();
    StationLink *link() const { return m_link; }
    QString portName() const;

    // Demo mode: every pass replays what the replay link holds instead of
    // reading the station's link, and everything is logged under the data
    // folder's demo tree. nullptr ends it.
    void setReplay(StationLink *replay);
    bool isReplaying() const { return m_replay != nullptr; }

    void setLoggingEnabled(bool enabled) { m_logging = enabled; }
    bool isLoggingEnabled() const { return m_logging; }
    // Forwarding takes weather and camera packets, and restarts its interval
    // on every configuration request; without it nothing is forwarded.
    void setForwarder(ForwardingController *forwarder) { m_forwarder = forwarder; }
    // The configuration of this moment, sent at a prompt without a request.
    void setConfigSource(std::function<QByteArray()> source) { m_configSource = std::move(source); }
    // The UTC clock of time stamps and file names (tests set their own).
    void setClock(std::function<QDateTime()> utcNow) { m_clock = std::move(utcNow); }

    const DataFolder &dataFolder() const;
    // Whether writing the logs, pictures and recordings works.
    WriteHealth *health() { return &m_health; }
    // The weather history of live packets (the demo keeps its own).
    HistoryStore *history() { return &m_history; }
    const WeatherParser &parser() const { return m_parser; }
    // The last weather packet as read, with its report.
    const Observation &observation() const { return m_observation; }
    // The parser's current packet, read once when it arrived.
    const WeatherValues &values() const { return m_values; }
    const ReceiveStream &stream() const { return m_stream; }
    const SendCycle &sendCycle() const { return m_sendCycle; }
    int idleTicks() const { return m_stream.idleTicks(); }
    QByteArray stationImei() const { return m_stationImei; }
    bool isWaitingForSnd() const;

    // The send button: queues the command, or cancels a pending request.
    SendCycle::PressResult pressSend(const QByteArray &snapshot);
    // A request of its own (the image timer) joins a pending one instead of
    // cancelling it.
    void requestSend(const QByteArray &snapshot);

public slots:
    // The 100 ms tick: idle count and the paced writer.
    void tick();
    // One receive pass over what the link (or the replay) holds.
    void receivePass();
    // The re-run 250 ms after a weather packet began to wait for its "SND".
    void sndWaitElapsed();

signals:
    void statusChanged(const QString &text);
    // Rich text for the connection label of the status bar.
    void connectionChanged(const QString &html);
    // The link or the replay changed: the window empties its views.
    void reset();
    void rawTextReplaced(const QString &text);
    void rawTextAppended(const QString &line);
    void progressChanged(const QString &format, int maximum, int value);
    void progressHidden();
    // stamp: when the camera took it, "yyMMdd_hhmmssZ_KTRtime"; empty when not known.
    void pictureReady(int camera, const QByteArray &jpeg, const QString &caption, const QString &stamp);
    // A weather packet was logged; parser() holds it.
    void weatherReceived(const Observation &observation);
    void stationModeReported(const QString &mode);
    void firmwareChanged(const QString &code);
    // The send cycle's state changed: the button's caption.
    void sendCaptionChanged(const QString &caption);
    void linkGone(const QString &reason);

private:
    void runPass();
    bool processWeather();
    bool processCamera();
    bool processAcoustic();
    void showStep(const PacketStep &step);
    bool finishStep(const PacketStep &step);
    void promptSeen();
    void setStatus(const QString &text);
    void flushLink();
    QDateTime now() const;
    QString connectedTo(const QString &detail) const;

    DataFolder m_folder;
    DataFolder m_demoFolder;
    QPointer<StationLink> m_link;
    QPointer<StationLink> m_replay;
    QPointer<ForwardingController> m_forwarder;
    std::function<QByteArray()> m_configSource;
    std::function<QDateTime()> m_clock;
    bool m_logging = true;

    WeatherParser m_parser;
    WeatherValues m_values;
    ReceiveStream m_stream;
    CameraAssembler m_camera;
    AcousticAssembler m_acoustic;
    SendCycle m_sendCycle;
    QByteArray m_stationImei;
    Observation m_observation;
    WriteHealth m_health;
    HistoryStore m_history;
    std::unique_ptr<HistoryStore> m_demoHistory;
    QTimer *m_sndTimer;
    bool m_inPass = false;
};
