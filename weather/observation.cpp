// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/observation.h"

#include "weather/weatherparser.h"

namespace {
std::optional<double> number(const WeatherReading &reading)
{
    if (reading.isEmpty())
        return std::nullopt;
    return reading.value;
}
} // namespace

Observation Observation::fromValues(const WeatherValues &values, const QString &metar,
                                    const QDateTime &receivedUtc)
{
    Observation o;
    o.imei = values.imei;
    o.stationTime = QDateTime::fromString(values.logTimestamp, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    o.stationTime.setTimeSpec(Qt::UTC);
    o.receivedTime = receivedUtc.toUTC();
    o.reportingMode = values.mode;
    o.windDirDeg = number(values.windDir);
    o.windSpeedKt = number(values.windSpeed);
    o.gustDirDeg = number(values.gustDir);
    o.gustSpeedKt = number(values.gustSpeed);
    o.visibilityMi = number(values.visibility);
    o.precipInHr = number(values.precip);
    o.temperatureC = number(values.temperature);
    o.dewPointC = number(values.dewPoint);
    o.relativeHumidity = number(values.humidity);
    o.windChillC = number(values.windChill);
    o.heatIndexC = number(values.heatIndex);
    o.pressureHpa = number(values.pressure);
    o.altimeterInHg = number(values.altimeter);
    o.stationPressureInHg = number(values.stationPressure);
    o.lightningDistanceMi = number(values.lightningDist);
    o.voltageV = number(values.battery);
    o.interference = number(values.signal);
    o.latitudeDeg = number(values.lat);
    o.longitudeDeg = number(values.lon);
    o.elevationM = number(values.elevation);
    o.presentWeather = values.presentWeather;
    o.metar = metar;
    return o;
}

Observation Observation::fromParser(const WeatherParser &parser, const QString &metar,
                                    const QDateTime &receivedUtc)
{
    return fromValues(parser.values(), metar, receivedUtc);
}

QString Observation::isoTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toUTC().toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ")) : QString();
}
