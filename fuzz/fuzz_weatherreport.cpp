// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "storage/csvlog.h"
#include "reports/metarencoder.h"
#include "weather/weatherparser.h"

#include <QByteArrayList>

// Input: the text of a weather packet, as the receive stream hands it over.
// Every accessor, the METAR line and the CSV row are built from it; the row
// must read back as exactly the header's 30 columns holding the values.
namespace {

// Splits one CSV line (without its line end) into fields; quoted fields may
// hold commas, doubled quotes and line breaks. False when malformed.
bool splitCsv(const QByteArray &line, QByteArrayList *fields)
{
    QByteArray field;
    int i = 0;
    for (;;) {
        field.clear();
        if (i < line.size() && line.at(i) == '"') {
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false; // unterminated quote
                const char c = line.at(i++);
                if (c != '"') {
                    field += c;
                } else if (i < line.size() && line.at(i) == '"') {
                    field += '"';
                    ++i;
                } else {
                    break;
                }
            }
            if (i < line.size() && line.at(i) != ',')
                return false; // text behind a closing quote
        } else {
            while (i < line.size() && line.at(i) != ',') {
                const char c = line.at(i++);
                if (c == '"' || c == '\r' || c == '\n')
                    return false; // must have been quoted
                field += c;
            }
        }
        fields->append(field);
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));

    static const char *const kTags[] = {"@I", "B", "T", "LA", "LO", "EL", "OR", "TA", "BA", "RH",
                                        "WI", "GU", "LD", "CL", "PW", "VI", "XA", "", "@I:", "~"};
    for (const char *tag : kTags) {
        for (int index = -1; index <= 7; ++index) {
            const QString value = parser.getField(QLatin1String(tag), index);
            fuzz::check(value.size() <= 1024, "field longer than 1024 characters", value.toUtf8());
            // Any number the station sends goes through the filters and the rounding.
            const QString number = WeatherParser::validDouble(value);
            WeatherParser::validInt(value);
            if (!number.isEmpty()) {
                WeatherParser::roundToStep(number.toDouble(), 0.1);
                WeatherParser::roundToStep(number.toDouble(), 10);
                WeatherParser::formatG6(number.toDouble());
            }
        }
    }
    parser.getField(QString(), 0);
    parser.modeDigit();
    parser.getLogTimestamp();
    parser.getMetarDayTime();
    for (int which = 0; which <= 1; ++which) {
        parser.getPrecipTime(which);
        parser.getLightningTime(which);
    }

    const QString metar = MetarEncoder::getMetar(parser);
    const QByteArray row = CsvLog::row(parser);
    fuzz::check(row.endsWith("\r\n"), "CSV row without its line end", row);

    QByteArrayList fields;
    fuzz::check(splitCsv(row.left(row.size() - 2), &fields), "CSV row does not parse", row);
    fuzz::check(fields.size() == CsvLog::kColumns, "CSV row does not hold 30 fields", row);

    const QString expected[] = {parser.getLogTimestamp(), metar, parser.getWindDir(), parser.getWindSpeed(),
                                parser.getMaxWindDir(), parser.getMaxWindSpeed(), parser.getVisibility(),
                                parser.getPresentWeather(), parser.getPrecip(), parser.getCloudLayers(),
                                parser.getCeilometerHits(), parser.getTemperature(), parser.getDewPoint(),
                                parser.getHumidity(), parser.getWindChill(), parser.getHeatIndex(), parser.getLat(),
                                parser.getLon(), parser.getAltimeter(), CsvLog::elevationFeet(parser),
                                parser.getStationPressure(), parser.getPressureAlt(), parser.getDensityAlt(),
                                parser.getLightningFreq(), parser.getLightningDist(), parser.getTilt(),
                                parser.getOrientation(), parser.getBattery(), parser.getMode(),
                                parser.getInterference()};
    static_assert(sizeof(expected) / sizeof(expected[0]) == CsvLog::kColumns, "one value per column");
    for (int i = 0; i < CsvLog::kColumns; ++i)
        fuzz::check(fields.at(i) == expected[i].toUtf8(), "CSV field does not read back as its value",
                    QByteArray::number(i) + ": " + fields.at(i));

    // The header of the log has the same number of columns.
    QByteArrayList headerFields;
    fuzz::check(splitCsv(CsvLog::header(), &headerFields) && headerFields.size() == CsvLog::kColumns,
                "CSV header does not hold 30 fields");
    return 0;
}
