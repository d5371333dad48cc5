// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/csvlog.h"

#include "reports/metarencoder.h"
#include "storage/appendfile.h"
#include "storage/datafolder.h"
#include "weather/sse2.h"
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

// The most bytes one field of value can take: three of UTF-8 per UTF-16
// unit, every one a doubled quote at worst, and the two quotes around.
int fieldBound(QStringView value)
{
    return int(6 * value.size() + 2);
}

// Writes the value as one field in UTF-8 from out, quoted when it holds a
// comma, a quote or a line end; returns the end. out has room for
// fieldBound(value) bytes. Nearly every value needs no quotes and holds no
// surrogate: it is encoded as it is scanned, and only the others are
// written again the long way.
char *writeField(char *out, QStringView value)
{
    const QChar *const chars = value.data();
    const auto size = value.size();
    char *end = out;
    qsizetype i = 0;
#ifdef KTR_HAVE_SSE2
    // Eight plain ASCII characters at a time, up to the first that is not.
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    for (; size - i >= 8; i += 8, end += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + i));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(',')), _mm_cmpeq_epi16(v, _mm_set1_epi16('"'))),
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(v, _mm_set1_epi16('\n'))));
        const __m128i other = _mm_or_si128(special, _mm_and_si128(v, high));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(other, _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(end), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < size; ++i) {
        const char16_t c = chars[i].unicode();
        if (c < 0x80) {
            if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
                break;
            *end++ = char(c);
        } else if (c < 0x800) {
            *end++ = char(0xC0 | c >> 6);
            *end++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *end++ = char(0xE0 | c >> 12);
            *end++ = char(0x80 | (c >> 6 & 0x3F));
            *end++ = char(0x80 | (c & 0x3F));
        } else {
            break;
        }
    }
    if (i == size)
        return end;

    const QByteArray utf8 = value.toUtf8();
    const bool quoted = std::any_of(utf8.cbegin(), utf8.cend(),
                                    [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    end = out;
    if (quoted)
        *end++ = '"';
    for (const char c : utf8) {
        if (c == '"')
            *end++ = '"';
        *end++ = c;
    }
    if (quoted)
        *end++ = '"';
    return end;
}

} // namespace

QByteArray CsvLog::field(const QString &value)
{
    QByteArray text(fieldBound(value), Qt::Uninitialized);
    text.resize(int(writeField(text.data(), value) - text.constData()));
    return text;
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
    const QStringView values[kColumns] = {
        v.logTimestamp,
        metar,
        v.windDir.view(),
        v.windSpeed.view(),
        v.gustDir.view(),
        v.gustSpeed.view(),
        v.visibility.view(),
        v.presentWeather,
        v.precip.view(),
        v.cloudLayers,
        v.ceilometerHits,
        v.temperature.view(),
        v.dewPoint.view(),
        v.humidity.view(),
        v.windChill.view(),
        v.heatIndex.view(),
        v.lat.view(),
        v.lon.view(),
        v.altimeter.view(),
        feet,
        v.stationPressure.view(),
        v.pressureAlt.view(),
        v.densityAlt.view(),
        v.lightningFreq.view(),
        v.lightningDist.view(),
        v.tilt.view(),
        v.orientation.view(),
        v.battery.view(),
        v.mode,
        v.interference,
    };
    int bound = kColumns + 2;
    for (const QStringView value : values)
        bound += fieldBound(value);
    QByteArray line(bound, Qt::Uninitialized);
    char *out = line.data();
    for (int i = 0; i < kColumns; ++i) {
        if (i > 0)
            *out++ = ',';
        out = writeField(out, values[i]);
    }
    *out++ = '\r';
    *out++ = '\n';
    line.resize(int(out - line.constData()));
    return line;
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
