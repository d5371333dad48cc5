// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <random>

// Made-up but plausible weather at one made-up site, written as the station's
// text packets.
//
// The weather is a seeded random walk: every reading drifts slowly around a
// climate that depends on the site and the local time of day, with rain
// showers, thunderstorms, fog and clouds coming and going as episodes. The
// same seed and the same sequence of packet times always give the same
// packets, byte for byte, on every platform.
class WeatherGenerator
{
public:
    static constexpr const char *kDefaultImei = "300234064380150";
    static constexpr const char *kFirmwareCode = "21";

    explicit WeatherGenerator(quint32 seed = 1, const QByteArray &imei = kDefaultImei);

    // One whole station transmission: the weather packet from "@I:" through
    // its "~" line, the auxiliary "@3" part when withAux is set, and "SND" in
    // the slow reporting modes. The weather first moves on from the previous
    // call's time to utc (not at all when utc is not later).
    QByteArray packet(const QDateTime &utc, int modeDigit, bool withAux);

    // Modes 0 to 3 also send their packets over the modem and say so with "SND".
    static bool isSlowMode(int modeDigit) { return modeDigit >= 0 && modeDigit <= 3; }

    QByteArray imei() const { return m_imei; }
    int packetCount() const { return m_sequence; }

    // Station settings that show in the packet.
    void setCeilometer(int setting) { m_ceilometer = setting; } // 0 off, 1 auto, 2 always
    void setGpsEnabled(bool enabled) { m_gpsEnabled = enabled; }
    void setElevationMetres(int metres) { m_elevationMetres = metres; }
    int elevationMetres() const { return m_elevationMetres; }
    // A fresh GPS fix ("GI", "Gi"): the reported position moves to the new
    // fix, a few metres off the last one; with elevation, the reported
    // elevation becomes the site's measured one again, replacing a set one.
    void takeFix(bool withElevation);

private:
    struct Episode
    {
        bool active = false;
        qint64 beganSecs = 0;
        qint64 endedSecs = 0;
        bool seen = false; // began at least once
    };

    double uniform(); // [0, 1)
    double noise();   // -1..1, most often near 0
    bool chance(double probability);
    void initialise(qint64 secs);
    void advanceTo(qint64 secs);
    void step(qint64 secs, double hours);
    void updateEpisode(Episode &episode, qint64 secs, double startPerHour, double stopPerHour);
    double localHour(qint64 secs) const;
    double diurnal(qint64 secs) const; // -1 before dawn .. 1 mid-afternoon
    double temperature(qint64 secs) const;
    double dewPointSpread(qint64 secs) const;
    static QByteArray slotCode(const Episode &episode, qint64 nowSecs);

    QByteArray weatherLines(qint64 secs, int modeDigit);
    QByteArray auxiliaryLines(qint64 secs);

    std::mt19937 m_random;
    QByteArray m_imei;
    int m_sequence = 0;
    bool m_started = false;
    qint64 m_lastSecs = 0;

    // Site, fixed by the seed.
    double m_latitude = 0;
    double m_longitude = 0;
    int m_elevationMetres = 0;
    int m_siteElevationMetres = 0;
    double m_headingDegrees = 0;
    int m_tiltDegrees = 0;
    double m_climateMeanC = 0;
    double m_pressureBiasHpa = 0;

    // Slowly changing state.
    double m_temperatureAnomalyC = 0;
    double m_pressureAnomalyHpa = 0;
    double m_spreadAnomalyC = 0;
    double m_cloudCover = 0; // 0 clear .. 1 overcast
    double m_cloudBaseMetres = 0;
    double m_windKnots = 0;
    double m_windDegrees = 0;
    double m_rainInchesPerHour = 0;
    double m_rainTotalInches = 0;
    double m_stormMiles = 0;
    double m_signal = 0;
    Episode m_rain;
    Episode m_storm;

    int m_ceilometer = 1;
    bool m_gpsEnabled = true;
    // The error of the last fix; fixes draw from a generator of their own so
    // that the weather stays the same whatever the commands.
    std::mt19937 m_fixRandom;
    double m_fixLatitudeError = 0;
    double m_fixLongitudeError = 0;
};
