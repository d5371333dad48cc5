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

QString CsvLog::elevationFeet(const WeatherParser &parser)
{
    const QString metres = parser.getElevation();
    if (metres.isEmpty())
        return QString();
    return WeatherParser::formatG6(std::round(metres.toDouble() * kFeetPerMetre));
}

QByteArray CsvLog::row(const WeatherParser &parser)
{
    const MetarEncoder::Readings shared = MetarEncoder::Readings::read(parser);
    const QString values[kColumns] = {
        parser.getLogTimestamp(),
        MetarEncoder::getMetar(parser, shared),
        shared.windDir,
        shared.windSpeed,
        shared.gustDir,
        shared.gustSpeed,
        shared.visibility,
        shared.presentWeather,
        shared.precip,
        shared.cloudLayers,
        parser.getCeilometerHits(),
        shared.temperature,
        shared.dewPoint,
        parser.getHumidity(),
        parser.getWindChill(),
        parser.getHeatIndex(),
        shared.lat,
        shared.lon,
        parser.getAltimeter(),
        elevationFeet(parser),
        parser.getStationPressure(),
        parser.getPressureAlt(),
        parser.getDensityAlt(),
        parser.getLightningFreq(),
        shared.lightningDist,
        parser.getTilt(),
        parser.getOrientation(),
        parser.getBattery(),
        parser.getMode(),
        parser.getInterference(),
    };
    QString line;
    line.reserve(512);
    for (int i = 0; i < kColumns; ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        appendField(line, values[i]);
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
    const QString path = filePath(csvFolder, parser.getImei(), utcNow);
    WriteResult result;
    if (!DataFolder::ensure(csvFolder)) {
        result = WriteResult::failure(path, DataFolder::cannotCreateText(csvFolder));
    } else {
        // An empty file counts as new, so a file left behind by a failed first
        // write still gets its header.
        const QFileInfo existing(path);
        QByteArray bytes = !existing.exists() || existing.size() == 0 ? header() + "\r\n" : QByteArray();
        bytes += row(parser);
        result = AppendFile::append(path, bytes);
    }
    if (health)
        health->report(WriteHealth::Csv, result);
    return result;
}
