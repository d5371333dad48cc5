// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <optional>

class WeatherParser;
struct WeatherValues;

// One weather packet read once into numbers: what the history, the alarms and
// the publishers keep of it. A reading the station did not send (or sent as
// something that does not read as a number) is empty, never 0. The names
// follow the history store's columns.
struct Observation
{
    QString imei;
    QDateTime stationTime;  // UTC; invalid without a usable "T" line
    QDateTime receivedTime; // UTC
    QString reportingMode;  // "5 Minute", ... or empty

    std::optional<double> windDirDeg;
    std::optional<double> windSpeedKt;
    std::optional<double> gustDirDeg;
    std::optional<double> gustSpeedKt;
    std::optional<double> visibilityMi;
    std::optional<double> precipInHr;
    std::optional<double> temperatureC;
    std::optional<double> dewPointC;
    std::optional<double> relativeHumidity;
    std::optional<double> windChillC;
    std::optional<double> heatIndexC;
    std::optional<double> pressureHpa;
    std::optional<double> altimeterInHg;
    std::optional<double> stationPressureInHg;
    std::optional<double> lightningDistanceMi;
    std::optional<double> voltageV;
    // The receiver's signal level ("PW" field 4); below 50 means interference.
    std::optional<double> interference;
    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    std::optional<double> elevationM;
    QString presentWeather;
    QString metar;

    // The values of one packet; metar is the report built from them.
    static Observation fromValues(const WeatherValues &values, const QString &metar,
                                  const QDateTime &receivedUtc);
    // Reads the parser's current packet; metar is the report built from it.
    static Observation fromParser(const WeatherParser &parser, const QString &metar,
                                  const QDateTime &receivedUtc);

    // The station time as "yyyy-MM-ddThh:mm:ssZ", or empty.
    static QString isoTime(const QDateTime &utc);
};

Q_DECLARE_METATYPE(Observation)
