// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/observation.h"

#include "weather/weatherparser.h"

namespace {
std::optional<double> number(const QString &text)
{
    double value = 0;
    if (text.isEmpty() || !WeatherParser::readNumber(text, &value))
        return std::nullopt;
    return value;
}
} // namespace

Observation Observation::fromParser(const WeatherParser &parser, const QString &metar,
                                    const QDateTime &receivedUtc)
{
    Observation o;
    o.imei = parser.getImei();
    o.stationTime = QDateTime::fromString(parser.getLogTimestamp(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    o.stationTime.setTimeSpec(Qt::UTC);
    o.receivedTime = receivedUtc.toUTC();
    o.reportingMode = parser.getMode();
    o.windDirDeg = number(parser.getWindDir());
    o.windSpeedKt = number(parser.getWindSpeed());
    o.gustDirDeg = number(parser.getMaxWindDir());
    o.gustSpeedKt = number(parser.getMaxWindSpeed());
    o.visibilityMi = number(parser.getVisibility());
    o.precipInHr = number(parser.getPrecip());
    o.temperatureC = number(parser.getTemperature());
    o.dewPointC = number(parser.getDewPoint());
    o.relativeHumidity = number(parser.getHumidity());
    o.windChillC = number(parser.getWindChill());
    o.heatIndexC = number(parser.getHeatIndex());
    o.pressureHpa = number(parser.getPressure());
    o.altimeterInHg = number(parser.getAltimeter());
    o.stationPressureInHg = number(parser.getStationPressure());
    o.lightningDistanceMi = number(parser.getLightningDist());
    o.voltageV = number(parser.getBattery());
    o.interference = number(WeatherParser::validInt(parser.getField(QStringLiteral("PW"), 4)));
    o.latitudeDeg = number(parser.getLat());
    o.longitudeDeg = number(parser.getLon());
    o.elevationM = number(parser.getElevation());
    o.presentWeather = parser.getPresentWeather();
    o.metar = metar;
    return o;
}

QString Observation::isoTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toUTC().toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ")) : QString();
}
