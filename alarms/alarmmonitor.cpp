// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmmonitor.h"

#include "reports/weatherdisplay.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// "40 min", "3 h", "2 h 30 min"
QString durationText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes % 60 == 0)
        return QStringLiteral("%1 h").arg(minutes / 60);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

std::vector<std::pair<QString, std::optional<double>>> watched(const Observation &o)
{
    // Wind and gust directions are left out: a calm wind has none.
    return {
        {QStringLiteral("Temperature"), o.temperatureC},
        {QStringLiteral("Relative humidity"), o.relativeHumidity},
        {QStringLiteral("Pressure"), o.pressureHpa},
        {QStringLiteral("Wind speed"), o.windSpeedKt},
        {QStringLiteral("Gust speed"), o.gustSpeedKt},
        {QStringLiteral("Visibility"), o.visibilityMi},
        {QStringLiteral("Precipitation"), o.precipInHr},
        {QStringLiteral("Battery voltage"), o.voltageV},
        {QStringLiteral("Signal level"), o.interference},
    };
}

} // namespace

AlarmMonitor::AlarmMonitor(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<Alarm>();
}

void AlarmMonitor::setSettings(const AlarmSettings &settings)
{
    m_settings = settings;
}

QStringList AlarmMonitor::watchedReadings()
{
    QStringList names;
    for (const auto &reading : watched(Observation()))
        names.append(reading.first);
    return names;
}

QString AlarmMonitor::statusText() const
{
    QStringList texts;
    for (const Alarm &alarm : m_active)
        texts.append(alarm.text);
    return texts.join(QLatin1String("; "));
}

bool AlarmMonitor::enabled(Alarm::Kind kind) const
{
    switch (kind) {
    case Alarm::Kind::NoData:
        return m_settings.noDataEnabled;
    case Alarm::Kind::LowBattery:
        return m_settings.lowBatteryEnabled;
    case Alarm::Kind::Interference:
        return m_settings.interferenceEnabled;
    case Alarm::Kind::SensorFailed:
        return m_settings.sensorFailedEnabled;
    case Alarm::Kind::ClockOff:
        return m_settings.clockOffEnabled;
    case Alarm::Kind::PressureFall:
        return m_settings.pressureFallEnabled;
    }
    return false;
}

void AlarmMonitor::raise(Alarm::Kind kind, const QString &sensor, const QString &text,
                         const QDateTime &startUtc)
{
    if (!enabled(kind))
        return;
    Alarm alarm;
    alarm.kind = kind;
    alarm.sensor = sensor;
    const bool known = std::any_of(m_active.cbegin(), m_active.cend(),
                                   [&alarm](const Alarm &a) { return a.sameCondition(alarm); });
    if (known)
        return;
    alarm.unit = m_unit;
    alarm.text = text;
    alarm.startUtc = startUtc;
    m_active.append(alarm);
    emit raised(alarm);
}

void AlarmMonitor::clear(Alarm::Kind kind, const QString &sensor, const QDateTime &nowUtc)
{
    for (int i = 0; i < m_active.size(); ++i) {
        if (m_active.at(i).kind == kind && m_active.at(i).sensor == sensor) {
            Alarm alarm = m_active.takeAt(i);
            alarm.endUtc = nowUtc;
            emit cleared(alarm);
            return;
        }
    }
}

void AlarmMonitor::clearDisabled(const QDateTime &nowUtc)
{
    const QList<Alarm> current = m_active;
    for (const Alarm &alarm : current) {
        if (!enabled(alarm.kind))
            clear(alarm.kind, alarm.sensor, nowUtc);
    }
}

void AlarmMonitor::tick(const QDateTime &nowUtc)
{
    clearDisabled(nowUtc);
    if (!m_firstSeenUtc.isValid())
        m_firstSeenUtc = nowUtc;
    // Before the first packet the silence counts from start-up, but only a
    // fixed limit applies: the station's interval is not known yet.
    const QDateTime since = m_lastPacketUtc.isValid() ? m_lastPacketUtc : m_firstSeenUtc;
    const int limitSecs = m_settings.silenceLimitSeconds(m_intervalSecs);
    if (limitSecs > 0 && since.secsTo(nowUtc) > limitSecs) {
        raise(Alarm::Kind::NoData, QString(),
              QStringLiteral("No data from the station for more than %1").arg(durationText(limitSecs)),
              since.addSecs(limitSecs));
    }
}

void AlarmMonitor::observe(const Observation &observation, const QDateTime &nowUtc)
{
    clearDisabled(nowUtc);
    if (!m_firstSeenUtc.isValid())
        m_firstSeenUtc = nowUtc;
    if (!observation.imei.isEmpty())
        m_unit = observation.imei;
    m_lastPacketUtc = nowUtc;
    const int interval = WeatherDisplay::reportingIntervalSeconds(observation.reportingMode);
    if (interval > 0)
        m_intervalSecs = interval;
    clear(Alarm::Kind::NoData, QString(), nowUtc);
    checkBattery(observation, nowUtc);
    checkInterference(observation, nowUtc);
    checkSensors(observation, nowUtc);
    checkClock(observation, nowUtc);
    checkPressure(observation, nowUtc);
}

void AlarmMonitor::checkBattery(const Observation &observation, const QDateTime &nowUtc)
{
    if (!observation.voltageV)
        return;
    const double volts = *observation.voltageV;
    if (volts < m_settings.lowBatteryVolts) {
        raise(Alarm::Kind::LowBattery, QString(),
              QStringLiteral("Low battery: %1 V").arg(WeatherParser::formatG6(volts)), nowUtc);
    } else if (volts >= m_settings.lowBatteryVolts + kBatteryHysteresisVolts) {
        clear(Alarm::Kind::LowBattery, QString(), nowUtc);
    }
}

void AlarmMonitor::checkInterference(const Observation &observation, const QDateTime &nowUtc)
{
    if (!observation.interference)
        return;
    const double level = *observation.interference;
    if (level < m_settings.interferenceSignalBelow) {
        raise(Alarm::Kind::Interference, QString(),
              QStringLiteral("High interference: signal level %1").arg(WeatherParser::formatG6(level)),
              nowUtc);
    } else {
        clear(Alarm::Kind::Interference, QString(), nowUtc);
    }
}

void AlarmMonitor::checkSensors(const Observation &observation, const QDateTime &nowUtc)
{
    for (const auto &reading : watched(observation)) {
        const QString &name = reading.first;
        if (reading.second) {
            m_seenReadings.insert(name);
            m_missingPackets.remove(name);
            clear(Alarm::Kind::SensorFailed, name, nowUtc);
            continue;
        }
        // A station model without this sensor never sends it: that is no failure.
        if (!m_seenReadings.contains(name))
            continue;
        int &missing = m_missingPackets[name];
        missing = std::min(missing + 1, AlarmSettings::kMaxPackets);
        if (missing >= m_settings.sensorFailedPackets) {
            raise(Alarm::Kind::SensorFailed, name,
                  QStringLiteral("Sensor failed: %1 missing in %2 packets in a row")
                      .arg(name)
                      .arg(m_settings.sensorFailedPackets),
                  nowUtc);
        }
    }
}

void AlarmMonitor::checkClock(const Observation &observation, const QDateTime &nowUtc)
{
    if (!observation.stationTime.isValid())
        return;
    const qint64 aheadSecs = nowUtc.secsTo(observation.stationTime);
    if (std::abs(aheadSecs) > qint64(m_settings.clockOffMinutes) * 60) {
        raise(Alarm::Kind::ClockOff, QString(),
              QStringLiteral("Station clock %1 %2 the PC clock")
                  .arg(durationText(std::abs(aheadSecs)),
                       aheadSecs > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind")),
              nowUtc);
    } else {
        clear(Alarm::Kind::ClockOff, QString(), nowUtc);
    }
}

void AlarmMonitor::checkPressure(const Observation &observation, const QDateTime &nowUtc)
{
    if (!observation.pressureHpa)
        return;
    const double hpa = *observation.pressureHpa;
    while (!m_pressure.empty() && (m_pressure.front().timeUtc.secsTo(nowUtc) > kPressureWindowSecs ||
                                   int(m_pressure.size()) >= kMaxPressureSamples))
        m_pressure.pop_front();
    m_pressure.push_back({nowUtc, hpa});
    double highest = hpa;
    for (const PressureSample &sample : m_pressure)
        highest = std::max(highest, sample.hpa);
    const double fall = highest - hpa;
    if (fall > m_settings.pressureFallHpa) {
        raise(Alarm::Kind::PressureFall, QString(),
              QStringLiteral("Pressure falling fast: %1 hPa in 3 hours").arg(QString::number(fall, 'f', 1)),
              nowUtc);
    } else {
        clear(Alarm::Kind::PressureFall, QString(), nowUtc);
    }
}
