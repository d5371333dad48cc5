// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/csvlog.h"

#include "reports/metarencoder.h"
#include "storage/appendfile.h"
#include "storage/datafolder.h"
#include "weather/weatherparser.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kFeetPerMetre = 3.28084;
}

QByteArray CsvLog::header()
{
    return QByteArrayLiteral(
        "Timestamp (UTC),METAR, Wind Dir,Wind Speed (kt),Max Wind Dir,Max Wind Speed (kt),Visibility,"
        "Present Weather,Precip (in/hr),Cloud Layers (ft),Ceilometer Hits,Temp (C),Dew Point (C),"
        "Relative Humidity,Wind Chill (C),Heat Index (C),Lat,Lon,Altimeter (inHg),Elevation (ft),"
        "Station Pressure (inHg),Pressure Alt (ft),Density Alt (ft),Lightning Freq,Lightning Distance (mi),"
        "Tilt,Orientation,Voltage,Mode,Interference");
}

namespace {

void appendField(QString &line, const QString &value)
{
    const bool needsQuotes = std::any_of(value.cbegin(), value.cend(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
               c == QLatin1Char('\n');
    });
    if (!needsQuotes) {
        line += value;
        return;
    }
    line += QLatin1Char('"');
    line += QString(value).replace(QLatin1Char('"'), QLatin1String("\"\""));
    line += QLatin1Char('"');
}

} // namespace

QByteArray CsvLog::field(const QString &value)
{
    QString text;
    appendField(text, value);
    return text.toUtf8();
}

QString CsvLog::elevationFeet(const WeatherValues &values)
{
    if (values.elevation.isEmpty())
        return QString();
    return WeatherParser::formatG6(std::round(values.elevation.value * kFeetPerMetre));
}

QString CsvLog::elevationFeet(const WeatherParser &parser)
{
    return elevationFeet(parser.values());
}

QByteArray CsvLog::row(const WeatherParser &parser)
{
    const WeatherValues values = parser.values();
    return row(values, MetarEncoder::getMetar(values));
}

QByteArray CsvLog::row(const WeatherValues &v, const QString &metar)
{
    const QString feet = elevationFeet(v);
    const QString *const values[kColumns] = {
        &v.logTimestamp,
        &metar,
        &v.windDir.text,
        &v.windSpeed.text,
        &v.gustDir.text,
        &v.gustSpeed.text,
        &v.visibility.text,
        &v.presentWeather,
        &v.precip.text,
        &v.cloudLayers,
        &v.ceilometerHits,
        &v.temperature.text,
        &v.dewPoint.text,
        &v.humidity.text,
        &v.windChill.text,
        &v.heatIndex.text,
        &v.lat.text,
        &v.lon.text,
        &v.altimeter.text,
        &feet,
        &v.stationPressure.text,
        &v.pressureAlt.text,
        &v.densityAlt.text,
        &v.lightningFreq.text,
        &v.lightningDist.text,
        &v.tilt.text,
        &v.orientation.text,
        &v.battery.text,
        &v.mode,
        &v.interference,
    };
    QString line;
    line.reserve(512);
    for (int i = 0; i < kColumns; ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        appendField(line, *values[i]);
    }
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

QString CsvLog::filePath(const QString &csvFolder, const QString &imei, const QDateTime &utcNow)
{
    return csvFolder + QLatin1Char('/') + DataFolder::unitName(imei) + QLatin1Char('_') +
           utcNow.toUTC().toString(QStringLiteral("yyyy-MM")) + QLatin1String(".csv");
}

WriteResult CsvLog::append(const QString &csvFolder, const WeatherParser &parser, const QDateTime &utcNow,
                           WriteHealth *health)
{
    const WeatherValues values = parser.values();
    return append(csvFolder, values, MetarEncoder::getMetar(values), utcNow, health);
}

WriteResult CsvLog::append(const QString &csvFolder, const WeatherValues &values, const QString &metar,
                           const QDateTime &utcNow, WriteHealth *health)
{
    const QString path = filePath(csvFolder, values.imei, utcNow);
    WriteResult result;
    if (!DataFolder::ensure(csvFolder)) {
        result = WriteResult::failure(path, DataFolder::cannotCreateText(csvFolder));
    } else {
        // An empty file counts as new, so a file left behind by a failed first
        // write still gets its header.
        const QFileInfo existing(path);
        QByteArray bytes = !existing.exists() || existing.size() == 0 ? header() + "\r\n" : QByteArray();
        bytes += row(values, metar);
        result = AppendFile::append(path, bytes);
    }
    if (health)
        health->report(WriteHealth::Csv, result);
    return result;
}
