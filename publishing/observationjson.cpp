// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/observationjson.h"

#include "weather/observation.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonValue reading(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue text(const QString &value)
{
    return value.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}
} // namespace

QByteArray ObservationJson::toJson(const Observation &o, qint64 messageId)
{
    QJsonObject json{
        {QStringLiteral("message_id"), double(messageId)},
        {QStringLiteral("imei"), text(o.imei)},
        {QStringLiteral("station_time"), text(Observation::isoTime(o.stationTime))},
        {QStringLiteral("received_time"), text(Observation::isoTime(o.receivedTime))},
        {QStringLiteral("reporting_mode"), text(o.reportingMode)},
        {QStringLiteral("wind_dir_deg"), reading(o.windDirDeg)},
        {QStringLiteral("wind_speed_kt"), reading(o.windSpeedKt)},
        {QStringLiteral("gust_dir_deg"), reading(o.gustDirDeg)},
        {QStringLiteral("gust_speed_kt"), reading(o.gustSpeedKt)},
        {QStringLiteral("visibility_mi"), reading(o.visibilityMi)},
        {QStringLiteral("precip_in_hr"), reading(o.precipInHr)},
        {QStringLiteral("temperature_c"), reading(o.temperatureC)},
        {QStringLiteral("dew_point_c"), reading(o.dewPointC)},
        {QStringLiteral("relative_humidity"), reading(o.relativeHumidity)},
        {QStringLiteral("wind_chill_c"), reading(o.windChillC)},
        {QStringLiteral("heat_index_c"), reading(o.heatIndexC)},
        {QStringLiteral("pressure_hpa"), reading(o.pressureHpa)},
        {QStringLiteral("altimeter_inhg"), reading(o.altimeterInHg)},
        {QStringLiteral("station_pressure_inhg"), reading(o.stationPressureInHg)},
        {QStringLiteral("lightning_distance_mi"), reading(o.lightningDistanceMi)},
        {QStringLiteral("voltage_v"), reading(o.voltageV)},
        {QStringLiteral("interference"), reading(o.interference)},
        {QStringLiteral("latitude_deg"), reading(o.latitudeDeg)},
        {QStringLiteral("longitude_deg"), reading(o.longitudeDeg)},
        {QStringLiteral("elevation_m"), reading(o.elevationM)},
        {QStringLiteral("present_weather"), text(o.presentWeather)},
        {QStringLiteral("metar"), text(o.metar)},
    };
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}
