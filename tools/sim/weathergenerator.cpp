// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/weathergenerator.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kMaxStepHours = 5.0 / 60.0;
constexpr double kMaxCatchUpHours = 24.0;
constexpr qint64 kSlotWindowSecs = 55 * 60; // the slot letters name the last hour only
constexpr double kHpaPerInHg = 33.8639;

// Fixed-point text without the "-0.0" that rounding a small negative gives.
QByteArray fixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale + 0.0;
    return QByteArray::number(rounded == 0.0 ? 0.0 : rounded, 'f', decimals);
}

QByteArray integer(double value)
{
    return QByteArray::number(static_cast<int>(std::lround(value)));
}

double wrapDegrees(double degrees)
{
    const double wrapped = std::fmod(degrees, 360.0);
    return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

// One step of a mean-reverting walk (Ornstein-Uhlenbeck): pulled back towards
// the mean at `pullPerHour`, pushed by `spread` per square-root hour.
double revert(double value, double mean, double pullPerHour, double spread, double hours, double push)
{
    return value + (mean - value) * std::min(1.0, pullPerHour * hours) + spread * std::sqrt(hours) * push;
}
} // namespace

WeatherGenerator::WeatherGenerator(quint32 seed, const QByteArray &imei)
    : m_random(seed), m_imei(imei), m_fixRandom(seed ^ 0x5a17u)
{
    m_latitude = 30.0 + 25.0 * uniform();
    m_longitude = -122.0 + 52.0 * uniform();
    m_elevationMetres = 20 + static_cast<int>(1500 * uniform());
    m_siteElevationMetres = m_elevationMetres;
    m_headingDegrees = 360.0 * uniform();
    m_tiltDegrees = static_cast<int>(3 * uniform());
    m_climateMeanC = 24.0 - 0.55 * (m_latitude - 30.0) - 0.0065 * m_elevationMetres;
    m_pressureBiasHpa = 12.0 * (uniform() - 0.5);
}

void WeatherGenerator::takeFix(bool withElevation)
{
    // Up to about 30 m either way.
    constexpr double kFixErrorDegrees = 0.0003;
    m_fixLatitudeError = kFixErrorDegrees * (2.0 * (m_fixRandom() / 4294967296.0) - 1.0);
    m_fixLongitudeError = kFixErrorDegrees * (2.0 * (m_fixRandom() / 4294967296.0) - 1.0);
    if (withElevation)
        m_elevationMetres = m_siteElevationMetres;
}

double WeatherGenerator::uniform()
{
    // The raw engine output is the same everywhere; the library distributions are not.
    return m_random() / 4294967296.0;
}

double WeatherGenerator::noise()
{
    return uniform() + uniform() + uniform() - 1.5;
}

bool WeatherGenerator::chance(double probability)
{
    return uniform() < probability;
}

double WeatherGenerator::localHour(qint64 secs) const
{
    const double utcHour = static_cast<double>(secs % 86400) / 3600.0;
    return std::fmod(utcHour + m_longitude / 15.0 + 48.0, 24.0);
}

double WeatherGenerator::diurnal(qint64 secs) const
{
    return std::sin(2.0 * M_PI * (localHour(secs) - 9.0) / 24.0);
}

double WeatherGenerator::temperature(qint64 secs) const
{
    const double amplitude = 6.0 * (1.0 - 0.6 * m_cloudCover);
    return m_climateMeanC + amplitude * diurnal(secs) + m_temperatureAnomalyC;
}

double WeatherGenerator::dewPointSpread(qint64 secs) const
{
    const double spread = 7.0 - 4.0 * m_cloudCover + 3.0 * diurnal(secs) + m_spreadAnomalyC;
    return std::clamp(m_rain.active ? std::min(spread, 1.5) : spread, 0.2, 25.0);
}

void WeatherGenerator::initialise(qint64 secs)
{
    m_temperatureAnomalyC = 2.0 * noise();
    m_pressureAnomalyHpa = 6.0 * noise();
    m_spreadAnomalyC = 2.0 * noise();
    m_cloudCover = uniform();
    m_cloudBaseMetres = 600.0 + 2000.0 * uniform();
    m_windKnots = 4.0 + 8.0 * uniform();
    m_windDegrees = 360.0 * uniform();
    m_signal = 70.0 + 20.0 * uniform();
    m_lastSecs = secs;
    m_started = true;
}

void WeatherGenerator::updateEpisode(Episode &episode, qint64 secs, double startPerHour, double stopPerHour)
{
    if (!episode.active && chance(startPerHour)) {
        episode.active = true;
        episode.seen = true;
        episode.beganSecs = secs;
    } else if (episode.active && chance(stopPerHour)) {
        episode.active = false;
        episode.endedSecs = secs;
    }
}

void WeatherGenerator::step(qint64 secs, double hours)
{
    m_temperatureAnomalyC =
        revert(m_temperatureAnomalyC, m_rain.active ? -2.0 : 0.0, 0.1, 0.6, hours, noise());
    m_pressureAnomalyHpa = revert(m_pressureAnomalyHpa, 0.0, 0.04, 1.0, hours, noise());
    m_spreadAnomalyC = revert(m_spreadAnomalyC, 0.0, 0.2, 1.2, hours, noise());
    m_cloudCover = std::clamp(revert(m_cloudCover, 0.45, 0.3, 0.35, hours, noise()), 0.0, 1.0);
    m_cloudBaseMetres =
        std::clamp(revert(m_cloudBaseMetres, 1400.0, 0.3, 500.0, hours, noise()), 120.0, 4500.0);
    m_windKnots = std::max(0.0, revert(m_windKnots, 7.0 + 2.5 * diurnal(secs), 0.4, 3.5, hours, noise()));
    m_windDegrees = wrapDegrees(m_windDegrees + 25.0 * std::sqrt(hours) * noise());
    m_signal = std::clamp(revert(m_signal, 78.0, 2.0, 15.0, hours, noise()), 0.0, 99.0);

    const double showers = m_cloudCover > 0.75 ? 0.4 : 0.02;
    updateEpisode(m_rain, secs, showers * hours, (m_cloudCover < 0.5 ? 3.0 : 0.8) * hours);
    if (m_rain.active) {
        m_rainInchesPerHour =
            std::clamp(revert(m_rainInchesPerHour, 0.08, 1.5, 0.12, hours, noise()), 0.01, 1.2);
        m_rainTotalInches += m_rainInchesPerHour * hours;
    } else {
        m_rainInchesPerHour = 0.0;
    }

    updateEpisode(m_storm, secs, (m_rain.active ? 0.15 : 0.005) * hours, 1.5 * hours);
    if (m_storm.active)
        m_stormMiles = std::clamp(revert(m_stormMiles, 12.0, 0.5, 8.0, hours, noise()), 1.0, 40.0);
    else
        m_stormMiles = 10.0 + 25.0 * uniform(); // where the next one will first be heard
}

void WeatherGenerator::advanceTo(qint64 secs)
{
    const qint64 target = std::min(secs, m_lastSecs + static_cast<qint64>(kMaxCatchUpHours * 3600));
    const qint64 stepSecs = static_cast<qint64>(kMaxStepHours * 3600);
    while (m_lastSecs < target) {
        const qint64 next = std::min(target, m_lastSecs + stepSecs);
        step(next, static_cast<double>(next - m_lastSecs) / 3600.0);
        m_lastSecs = next;
    }
    m_lastSecs = std::max(m_lastSecs, secs);
}

QByteArray WeatherGenerator::slotCode(const Episode &episode, qint64 nowSecs)
{
    static const char kSlotLetters[] = "ABCDEFGHIJKL";
    if (!episode.seen)
        return "--";
    const qint64 ended = episode.active ? nowSecs : episode.endedSecs;
    if (ended < nowSecs - kSlotWindowSecs)
        return "--";
    const qint64 began = std::max(episode.beganSecs, nowSecs - kSlotWindowSecs);
    const auto slot = [](qint64 secs) { return kSlotLetters[(secs % 3600) / 300]; };
    return QByteArray(1, slot(began)) + slot(ended);
}

QByteArray WeatherGenerator::weatherLines(qint64 secs, int modeDigit)
{
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
    const double airC = temperature(secs);
    const double dewC = airC - dewPointSpread(secs);
    const double humidity = 100.0 * std::exp(17.27 * dewC / (dewC + 237.7) - 17.27 * airC / (airC + 237.7));
    const double seaLevelHpa = std::clamp(1013.25 + m_pressureBiasHpa + m_pressureAnomalyHpa, 950.0, 1060.0);
    const double stationHpa = seaLevelHpa * std::pow((288.0 - 0.0065 * m_elevationMetres) / 288.0, 5.2561);
    const double sunshine = std::max(0.0, diurnal(secs + 3 * 3600)) * (1.0 - 0.7 * m_cloudCover);

    QByteArray lines;
    const auto line = [&lines](const char *tag, const QByteArray &fields) {
        lines += tag;
        lines += ':';
        lines += fields;
        lines += "\r\n";
    };

    lines += "@I:" + m_imei + "\r\n";
    lines += QByteArray("@0") + kFirmwareCode + "\r\n";
    line("N", QByteArray::number(m_sequence).rightJustified(4, '0') + ':' + integer(7 + 4 * uniform()) + ':' +
                  integer(2 + 3 * uniform()));
    line("B", fixed(5.05 + 0.3 * sunshine + 0.02 * noise(), 2) + ':' + QByteArray::number(modeDigit) +
                  ":000000:6F:46:AA");
    line("T", utc.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")).toLatin1());
    if (m_gpsEnabled) {
        line("LA", fixed(m_latitude + m_fixLatitudeError + 0.00002 * noise(), 5));
        line("LO", fixed(m_longitude + m_fixLongitudeError + 0.00002 * noise(), 5));
    } else {
        line("LA", "?");
        line("LO", "?");
    }
    line("EL", QByteArray::number(m_elevationMetres) + ':' + integer(1 + uniform()));
    line("OR", fixed(wrapDegrees(m_headingDegrees + 0.3 * noise()), 1) + ':' +
                   QByteArray::number(m_tiltDegrees) + ':' + integer(2 * uniform()));
    line("TA", fixed(airC, 1));
    line("BA", fixed(stationHpa, 2) + ':' + integer(seaLevelHpa / kHpaPerInHg * 100.0));
    line("RH", integer(std::clamp(humidity, 1.0, 100.0)));

    const double windKnots = m_windKnots + 0.8 * noise();
    const bool calm = windKnots < 0.5;
    line("WI", fixed(std::max(0.0, windKnots), 1) + ':' + (calm ? QByteArray("?") : integer(m_windDegrees)));
    const double gustKnots = std::max(0.0, windKnots) * (1.2 + 0.2 * uniform()) + 2.0 * uniform();
    line("GU", fixed(gustKnots, 1) + ':' + integer(wrapDegrees(m_windDegrees + 15.0 * noise())));

    const QByteArray stormCode = slotCode(m_storm, secs);
    if (m_storm.active)
        line("LD", fixed(m_stormMiles, 1) + ':' + integer(1 + 25 * uniform()) + ':' + stormCode);
    else
        line("LD", "?:0:" + stormCode);

    QByteArray clouds;
    if (m_ceilometer == 0) {
        clouds = "-0:?:?:?:?:?:?";
    } else {
        clouds = QByteArray::number(m_ceilometer);
        const int layers = std::min(3, static_cast<int>(m_cloudCover * 4.0));
        static const double kLayerFactors[] = {1.0, 1.8, 3.1};
        for (int i = 0; i < 6; ++i) {
            if (i < layers)
                clouds += ':' + integer(m_cloudBaseMetres * kLayerFactors[i] * (1.0 + 0.02 * noise()));
            else if (i == 0)
                clouds += ":0"; // no cloud detected
            else
                clouds += ":?";
        }
    }
    line("CL", clouds);

    line("PW", fixed(m_rainInchesPerHour, 2) + ':' + integer(m_rainTotalInches * 100.0) +
                   ":0:" + slotCode(m_rain, secs) + ':' + integer(m_signal) + ":0:0");

    double visibilityMiles = 10.0;
    const double spread = airC - dewC;
    if (spread < 2.0)
        visibilityMiles = 0.25 + 3.0 * spread;
    if (m_rain.active)
        visibilityMiles = std::min(visibilityMiles, std::max(0.5, 10.0 - 12.0 * m_rainInchesPerHour));
    line("VI", fixed(visibilityMiles, 1));
    line("XA", integer(airC + 8.0 + 4.0 * sunshine) + ':' + integer(35.0 + 10.0 * uniform()));
    line("XD", QByteArray::number(m_sequence % 256) + ":0");
    lines += "~\r\n";
    return lines;
}

QByteArray WeatherGenerator::auxiliaryLines(qint64 secs)
{
    QByteArray lines = QByteArray("@3") + kFirmwareCode + "\r\nECL:";
    // A coarse backscatter profile: strong at the cloud base, weak elsewhere.
    for (int bin = 0; bin < 8; ++bin) {
        const double binTopMetres = (bin + 1) * 600.0;
        const bool atBase = m_cloudCover > 0.25 && std::abs(binTopMetres - 300.0 - m_cloudBaseMetres) < 300.0;
        if (bin > 0)
            lines += ':';
        lines += integer((atBase ? 600.0 : 40.0) * (1.0 + 0.2 * noise()));
    }
    lines += "\r\nLDD:";
    if (m_storm.active)
        lines += integer(1 + 25 * uniform()) + ':' + fixed(m_stormMiles * 0.8, 1) + ':' +
                 fixed(m_stormMiles * 1.2, 1) + ':' + slotCode(m_storm, secs);
    else
        lines += "0:?:?:--";
    lines += "\r\n~\r\n";
    return lines;
}

QByteArray WeatherGenerator::packet(const QDateTime &utc, int modeDigit, bool withAux)
{
    const qint64 secs = utc.toSecsSinceEpoch();
    if (!m_started)
        initialise(secs);
    else
        advanceTo(secs);
    ++m_sequence;

    QByteArray transmission = weatherLines(secs, modeDigit);
    if (withAux)
        transmission += auxiliaryLines(secs);
    if (isSlowMode(modeDigit))
        transmission += "SND\r\n";
    return transmission;
}
