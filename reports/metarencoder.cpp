// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"

#include "weather/weatherparser.h"

#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kNoReading = -1;
constexpr double kMaxKnots = 99;
constexpr double kDirectionStepDeg = 10;
constexpr double kVariableWindMinKnots = 6;
constexpr double kVariableWindSpreadDeg = 60;
constexpr double kPeakWindSpreadKnots = 5;
constexpr double kPeakWindMinKnots = 25;
constexpr double kThunderstormMaxMiles = 5;
constexpr double kDistantLightningMiles = 10;
constexpr double kFrequentLightningStrikes = 15;
constexpr int kMaxCloudLayers = 4;
constexpr int kLowCloudMaxFt = 399;
constexpr int kReportChars = 256;

// Appends a whole number of at least `width` digits with leading zeros, as
// printf's "%0<width>.0f" writes it. Adding 0.0 turns -0.0 into 0, so no "-0"
// appears; absurd magnitudes are cut off by the buffer rather than
// overrunning it.
void appendDigits(QString &out, double value, int width)
{
    // Nearly every value is a small one of at least 0: rounded as printf
    // rounds (to nearest, ties to even) and written without printf.
    constexpr double kExactLimit = 1e9;
    if (value >= 0 && value < kExactLimit) {
        char reversed[16];
        int count = 0;
        for (auto whole = static_cast<qint64>(std::nearbyint(value)); whole > 0 || count == 0; whole /= 10)
            reversed[count++] = char('0' + whole % 10);
        for (int pad = width - count; pad > 0; --pad)
            out += QLatin1Char('0');
        while (count > 0)
            out += QLatin1Char(reversed[--count]);
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*.0f", width, value + 0.0);
    out += QLatin1String(text);
}

// A field as a number, or `missing` when the station sent none.
double reading(const QString &validated, double missing)
{
    if (validated.isEmpty())
        return missing;
    double value = 0;
    WeatherParser::readNumber(validated, &value);
    return std::isfinite(value) ? value : missing;
}

double reading(const WeatherReading &validated, double missing)
{
    return validated.isEmpty() || !std::isfinite(validated.value) ? missing : validated.value;
}

double roundedDirection(double degrees)
{
    if (degrees < 0)
        return degrees;
    return std::round(degrees / kDirectionStepDeg) * kDirectionStepDeg;
}

// Begin and end clock times are only reported when both are known.
bool isClockTime(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1Char('-'));
}

void appendWind(QString &metar, double speed, double direction, double gust, double gustDirection)
{
    if (speed < 0)
        return;
    if (speed == 0) {
        metar += QLatin1String("00000KT ");
        return;
    }
    // North is written 360; a gust from 0 is the same direction.
    if (direction == 0)
        direction = 360;
    if (gustDirection == 0)
        gustDirection = 360;
    if (direction < 0)
        metar += QLatin1String("VRB");
    else
        appendDigits(metar, direction, 3);
    appendDigits(metar, speed, 2);
    if (gust != speed && gust >= 0) {
        metar += QLatin1Char('G');
        appendDigits(metar, gust, 2);
    }
    metar += QLatin1String("KT ");
    if (gustDirection < 0 || direction < 0 || speed <= kVariableWindMinKnots)
        return;
    // Directions lie on a circle: the sector is the short way round between
    // the two, named clockwise from where it starts (330V030 across north).
    const double clockwise = std::fmod(std::fmod(gustDirection - direction, 360) + 360, 360);
    const double spread = std::min(clockwise, 360 - clockwise);
    if (spread < kVariableWindSpreadDeg)
        return;
    // Half a circle has no short way; the lower direction goes first then.
    const bool fromWind = clockwise < 180 || (clockwise == 180 && direction < gustDirection);
    appendDigits(metar, fromWind ? direction : gustDirection, 3);
    metar += QLatin1Char('V');
    appendDigits(metar, fromWind ? gustDirection : direction, 3);
    metar += QLatin1Char(' ');
}

// Appends the cloud groups; returns whether a layer lies below 400 ft.
bool appendClouds(QString &metar, const QString &clouds)
{
    if (clouds.contains(QLatin1String("NCD"))) {
        metar += QLatin1String("NCD ");
        return false;
    }
    // "NA" means the ceilometer sent no readings at all; an empty text means
    // no usable height. Neither is a layer at ground level.
    if (clouds.isEmpty() || clouds == QLatin1String("NA") ||
        clouds.contains(QLatin1String("No Ceilometer")) || clouds.contains(QLatin1String("Ceilometer OFF")))
        return false;

    bool low = false;
    if (clouds.contains(QLatin1Char(' '))) {
        QVector<QStringRef> layers = clouds.splitRef(QLatin1String(", "));
        if (layers.last().isEmpty())
            layers.removeLast();
        if (layers.size() > kMaxCloudLayers)
            layers.removeLast();
        for (const QStringRef &layer : qAsConst(layers)) {
            const int hundreds = layer.toInt() / 100;
            if (hundreds > 0) {
                metar += QLatin1String("///");
                appendDigits(metar, hundreds, 3);
                metar += QLatin1Char(' ');
            }
            if (hundreds * 100 <= kLowCloudMaxFt)
                low = true;
        }
        return low;
    }
    double feet = 0;
    WeatherParser::readNumber(clouds, &feet);
    const double hundreds = std::round(feet / 100);
    metar += QLatin1String("///");
    appendDigits(metar, hundreds, 3);
    metar += QLatin1Char(' ');
    return hundreds * 100 <= kLowCloudMaxFt;
}

// "23/03 ", "M01/M05 ", or "23/ " when the humidity (and so the dew point) is unknown.
void appendTemperature(QString &metar, const WeatherValues &values)
{
    const double temperature = reading(values.temperature, WeatherParser::missingValue);
    if (temperature == WeatherParser::missingValue)
        return;
    const double t = std::round(temperature);
    if (t < 0)
        metar += QLatin1Char('M');
    appendDigits(metar, t < 0 ? -t : t, 2);
    metar += QLatin1Char('/');
    // With the temperature known, the dew point is missing exactly when the humidity is.
    const double dewPoint = reading(values.dewPoint, WeatherParser::missingValue);
    if (dewPoint == WeatherParser::missingValue) {
        metar += QLatin1Char(' ');
        return;
    }
    const double td = std::round(dewPoint);
    if (td < 0)
        metar += QLatin1Char('M');
    appendDigits(metar, td < 0 ? -td : td, 2);
    metar += QLatin1Char(' ');
}

} // namespace

QString MetarEncoder::visibilityText(double miles)
{
    struct Step
    {
        double upToMiles;
        const char *text;
    };
    // Up to and including each bound; from 0.375 to 5.5 the bounds are the
    // midpoints between reportable values. "6SM" ends just below 6.2.
    static const Step kSteps[] = {
        {0.25, "M1/4SM"}, {0.375, "1/4SM"},   {0.625, "1/2SM"},   {0.875, "3/4SM"},
        {1.125, "1SM"},   {1.375, "1 1/4SM"}, {1.625, "1 1/2SM"}, {1.875, "1 3/4SM"},
        {2.5, "2SM"},     {3.5, "3SM"},       {4.5, "4SM"},       {5.5, "5SM"},
    };
    constexpr double kTenMilesFrom = 6.2;
    if (miles < 0)
        return QStringLiteral("////");
    for (const Step &step : kSteps) {
        if (miles <= step.upToMiles)
            return QLatin1String(step.text);
    }
    return QLatin1String(miles < kTenMilesFrom ? "6SM" : "10SM");
}

QString MetarEncoder::getMetar(const WeatherParser &parser)
{
    return getMetar(parser.values());
}

QString MetarEncoder::getMetar(const WeatherValues &values)
{
    QString metar;
    // Room for the longest common report, so that it is built without growing.
    metar.reserve(kReportChars);
    metar += QLatin1String("METAR ");

    if (values.imei.isEmpty()) {
        metar += QLatin1String("000000000000000 000000Z ");
    } else {
        metar += values.imei;
        metar += QLatin1Char(' ');
        metar += values.metarDayTime;
        metar += QLatin1String("Z ");
    }
    metar += QLatin1String("AUTO ");

    const double speed = std::min(reading(values.windSpeed, kNoReading), kMaxKnots);
    const double direction = roundedDirection(reading(values.windDir, kNoReading));
    const double gust = std::min(reading(values.gustSpeed, kNoReading), kMaxKnots);
    const double gustDirection = roundedDirection(reading(values.gustDir, kNoReading));
    appendWind(metar, speed, direction, gust, gustDirection);

    const double visibility = reading(values.visibility, kNoReading);
    if (visibility < 0) {
        metar += QLatin1String("//// ");
    } else {
        metar += visibilityText(visibility);
        metar += QLatin1Char(' ');
    }

    // The thunderstorm groups need the distance; a count without one says
    // nothing about how near the storm is.
    const double strikes = reading(values.strikesField.text(), 0);
    const double strikeMiles = reading(values.lightningDist, kNoReading);
    const bool lightning = strikes > 0;
    const bool lightningNear = lightning && strikeMiles >= 0 && strikeMiles < kDistantLightningMiles;
    const bool lightningDistant = lightning && strikeMiles >= kDistantLightningMiles;
    if (lightningNear)
        metar += QLatin1String(strikeMiles <= kThunderstormMaxMiles ? "TS " : "VCTS ");
    else if (lightningDistant)
        metar += QLatin1String("LTG DSNT ");

    if (!values.presentWeather.isEmpty()) {
        metar += values.presentWeather;
        metar += QLatin1Char(' ');
    }

    const bool lowCloud = appendClouds(metar, values.cloudLayers);

    appendTemperature(metar, values);

    const QStringView latText = values.latField.view();
    const QStringView lonText = values.lonField.view();
    const bool noPosition =
        !lonText.isEmpty() && (latText.contains(QLatin1Char('?')) || lonText.contains(QLatin1Char('?')));
    if (!noPosition) {
        const double altimeter =
            reading(WeatherParser::validDouble(values.altimeterField.text()), WeatherParser::missingValue);
        if (altimeter > WeatherParser::missingValue) {
            metar += QLatin1Char('A');
            appendDigits(metar, altimeter, 4);
            metar += QLatin1Char(' ');
        }
    }

    metar += QLatin1String("RMK AO2 ");
    if (lowCloud)
        metar += QLatin1String("CLD LYR BLO 004 ");
    metar += QLatin1String("SLPNO ");

    // The speed difference only counts when the mean speed is known.
    if (gust >= 0 && gustDirection >= 0 &&
        ((speed >= 0 && std::abs(speed - gust) > kPeakWindSpreadKnots) || gust > kPeakWindMinKnots)) {
        metar += QLatin1String("MAX WND ");
        appendDigits(metar, gustDirection, 3);
        appendDigits(metar, gust, 2);
        metar += QLatin1String("KT ");
    }

    if (lightningNear)
        metar += QLatin1String(strikes >= kFrequentLightningStrikes ? "FRQ LTG " : "OCNL LTG ");
    if (lightningDistant)
        metar += QLatin1String("LTG DSNT ");

    if (reading(values.precip, 0) > 0) {
        const QString &began = values.precipBegan;
        const QString &ended = values.precipEnded;
        if (isClockTime(began) && isClockTime(ended)) {
            metar += QLatin1String("RAB");
            metar += began;
            metar += QLatin1Char('E');
            metar += ended;
            metar += QLatin1Char(' ');
        }
    }
    if (lightning) {
        const QString &began = values.lightningBegan;
        const QString &ended = values.lightningEnded;
        if (isClockTime(began) && isClockTime(ended)) {
            metar += QLatin1String("LTG B");
            metar += began;
            metar += QLatin1String(" LTG E");
            metar += ended;
            metar += QLatin1Char(' ');
        }
    }

    metar += QLatin1String("WND DATA ESTMD ALSTG/SLP ESTMD ");

    if (!values.lat.isEmpty() && !values.lon.isEmpty()) {
        metar += values.lat.view();
        metar += QChar(0x00B0);
        metar += QLatin1Char(' ');
        metar += values.lon.view();
        metar += QChar(0x00B0);
    }
    return metar;
}
