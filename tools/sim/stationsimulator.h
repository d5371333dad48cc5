// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/sim/camerapictures.h"
#include "tools/sim/stationcommandinterpreter.h"
#include "tools/sim/weathergenerator.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QTimer>

class PseudoTerminal;
class QSocketNotifier;

struct StationSimulatorOptions
{
    int intervalMs = 0; // fixed report interval; 0 follows the reporting mode
    quint32 seed = 1;
    QByteArray imei = WeatherGenerator::kDefaultImei;
    int modeDigit = 4;   // "1 Minute"
    bool banner = true;  // power up with the banner; otherwise start as a running, sleeping station
    int packetLimit = 0; // stop reporting after this many weather packets; 0 never stops
    int auxEvery = 6;    // every N-th packet carries the auxiliary "@3" part; 0 never
    // What the cameras see; the simple scene gives the shortest picture series.
    CameraPictures::Scene pictureScene = CameraPictures::Scene::Detailed;
    // The station clock runs this many times faster than the PC's (60: an
    // hour in a minute); its reporting intervals and image hours follow it.
    double clockSpeed = 1;
    // Where the station clock starts; invalid: the PC's time at start.
    QDateTime clockStartUtc;
};

// Behaves like a KTR station at the far end of a serial line.
//
// The station sleeps between reports. It wakes at its reporting interval,
// sends a weather packet and stays awake until the line has been quiet for a
// while. Awake and not busy, it answers spaces with its prompt; after a prompt
// it takes commands ended by a carriage return ("m0".."m6" change the
// reporting mode and interval). At power-up it sends its banner and, within
// the same transmission, its first prompt.
//
// Asked for pictures ("I1".."I4", "I5" for all four cameras) or acoustic
// data ("A1".."A4nn"), it sends each result as a series of binary packets,
// every packet a transmission of its own. While a series is under way the
// station is busy and does not answer spaces. At each automatic image hour
// ("i00".."i23", UTC on the station clock) it takes the pictures of all four
// cameras on its own. The GPS commands change the position and elevation its
// packets report ("G0"/"G1" hide and show the position, "GI" takes a new
// fix, "Gi" a new fix with elevation, "GE" sets the elevation).
//
// Everything it sends goes out in transmissions: one transmission is written
// without a pause longer than 0.6 s, and two transmissions are kept apart by
// more than 0.6 s of silence, because the receiving side tells them apart by
// that gap alone.
class StationSimulator : public QObject
{
    Q_OBJECT

public:
    static constexpr int kGapMs = 800;          // silence between two transmissions
    static constexpr int kBannerPromptMs = 300; // banner to prompt, inside the power-up transmission
    static constexpr int kAwakeQuietMs = 5000;  // asleep after this long without traffic
    static constexpr int kPokeSettleMs = 500;   // spaces still under way when a prompt went out
    static constexpr int kFirstReportMaxMs = 10000;
    static constexpr int kQueueMax = 16;
    static constexpr int kReadChunkBytes = 256;
    static constexpr const char *kFirmwareVersion = "3.21";

    // Binary packets: "@", kind digit, six time bytes, flags, sequence number, payload.
    static constexpr int kBinaryHeaderBytes = 10;
    static constexpr int kPayloadBytes = 330;
    static constexpr int kLastPictureCode = 0x0b;
    // The most packets a series may have: the receiver keeps sequence numbers up to 195.
    static constexpr int kSeriesPacketsMax = 196;
    static constexpr int kToneAmplitude = 1200;
    enum AcousticType
    {
        Spectral = 0,
        Mp3 = 1,
        Raw = 2
    };

    // Runs on the master side of the terminal, which must stay open for the
    // simulator's life. Unread output is dropped before each transmission,
    // as on a line that nobody listens to.
    StationSimulator(const StationSimulatorOptions &options, PseudoTerminal *terminal,
                     QObject *parent = nullptr);
    // Runs on any master descriptor (made non-blocking here, not closed).
    StationSimulator(const StationSimulatorOptions &options, int masterFd, QObject *parent = nullptr);

    // Powers the station up (banner) or, without banner, lets it run asleep.
    void start();

    int modeDigit() const { return m_interpreter.settings().mode; }
    // The station clock (see StationSimulatorOptions::clockSpeed).
    QDateTime stationNow() const;
    // The first automatic image time strictly after utc: a whole hour of
    // hours (UTC), today or tomorrow; invalid without hours.
    static QDateTime nextImageTime(const QDateTime &utc, const QVector<int> &hours);
    int reportIntervalMs() const;
    bool isAwake() const { return m_awake; }
    int packetsSent() const { return m_packetsSent; }
    const StationSettings &settings() const { return m_interpreter.settings(); }

    // The reporting interval of a mode digit: 3 h, 1 h, 20 min, 5 min, 1 min, 20 s, 10 s.
    static int modeIntervalMs(int modeDigit);
    // The power-up text up to, not including, the prompt.
    static QByteArray bannerText(const QByteArray &imei);

    // The station clock as binary headers carry it: yy MM dd hh mm ss, each
    // packed decimal (tens in bits 4-6, units in bits 0-3).
    static QByteArray stationTime(const QDateTime &utc);
    // The camera packets of one picture: "@1", time, flags (camera in bits
    // 4-6, 0x0B on the last packet), sequence number, 330 bytes of scan data
    // (the last slice filled up as JpegEncoder::splitScan does), "\r\n\r\n".
    static QList<QByteArray> picturePackets(int camera, const QDateTime &utc, const QByteArray &scan);
    // The acoustic packets of one result: "@2", time, flags (bit 0 last,
    // bits 1-2 type, bits 3-7 recording number), sequence number, 330 bytes
    // (the last slice filled up with zeros). No trailer.
    static QList<QByteArray> acousticPackets(int type, int recordingNumber, const QDateTime &utc,
                                             const QByteArray &data);
    // The tone of raw recording number n: a different pitch for each number.
    static double toneFrequencyHz(int recordingNumber);

signals:
    // One whole transmission, once its last byte has been written.
    void transmitted(const QByteArray &bytes);
    void packetSent(const QByteArray &packet);
    // A command understood after the prompt, without its carriage return.
    void commandReceived(const QByteArray &command);
    void modeChanged(int modeDigit);
    // The packet limit was reached and the last packet has had its gap.
    void finished();
    // A picture was taken and its series is about to be queued; jpeg is the
    // whole picture with its header, as the camera encoded it.
    void pictureTaken(int camera, const QDateTime &utc, const QByteArray &jpeg);
    // An acoustic result is about to be queued; data is what its packets
    // carry, unpadded.
    void recordingMade(int type, int recordingNumber, const QDateTime &utc, const QByteArray &data);

private:
    enum class Kind
    {
        Banner,
        PowerUpPrompt,
        Prompt,
        Packet,
        Echo,
        Series
    };
    struct Transmission
    {
        Kind kind = Kind::Echo;
        QByteArray bytes;
        // A series: the packets that follow bytes, each its own transmission.
        QList<QByteArray> following;
    };

    void setUp(int masterFd);
    void readAvailable();
    void receiveByte(char byte);
    void applyCommand(const QByteArray &command);
    void perform(const StationAction &action);
    void takePicture(int camera, const QDateTime &utc);
    void scheduleImages();
    void takeScheduledPictures();
    int realMs(qint64 stationMs) const;
    void sendRecording(int type, int recordingNumber, const QDateTime &utc, const QByteArray &data);
    void queueSeries(const QList<QByteArray> &packets);
    bool seriesUnderWay() const;
    void report();
    void wake();
    void fallAsleep();
    void scheduleReport(int delayMs);
    void queue(Kind kind, const QByteArray &bytes);
    bool promptQueued() const;
    void pump();
    void writePending();
    void sendPowerUpPrompt();
    void partWritten();
    void endTransmission();

    StationSimulatorOptions m_options;
    PseudoTerminal *m_terminal = nullptr;
    int m_fd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    WeatherGenerator m_weather;
    StationCommandInterpreter m_interpreter;

    QTimer m_reportTimer;
    QTimer m_gapTimer;
    QTimer m_sleepTimer;
    QTimer m_promptTimer;
    QTimer m_imageTimer;
    QElapsedTimer m_clock;
    QDateTime m_clockStart;
    QDateTime m_nextImage;
    QElapsedTimer m_sinceTransmission;
    QElapsedTimer m_sincePrompt;

    QQueue<Transmission> m_queue;
    bool m_busy = false;
    Kind m_currentKind = Kind::Echo;
    QByteArray m_current; // the transmission being written, all parts
    QByteArray m_unwritten;

    bool m_awake = false;
    bool m_poweringUp = false;
    bool m_atPrompt = false;
    int m_lineBytes = 0;
    int m_packetsSent = 0;
    int m_recordings = 0; // recordings made so far; each sounds a little different
};
