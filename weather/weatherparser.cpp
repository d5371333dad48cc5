// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QDebug>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

constexpr int kMaxFieldChars = 1024;
constexpr double kFeetPerMetre = 3.281;
constexpr double kMetresPerMile = 1609.34;
constexpr double kMphPerKnot = 1.1507794;
constexpr double kHpaPerInHg = 33.8639;
// Five-minute slot letters of a begin/end code and their minutes.
constexpr char16_t kSlotLetters[] = u"ABCDEFGHIJKL";
constexpr int kSlotCount = 12;
constexpr int kSlotMinutes = 5;

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

double toNumber(const QString &text)
{
    return text.toDouble();
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The station's "yy/MM/dd,hh:mm:ss", nothing after the seconds.
const QRegularExpression &stationTimePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(\\d\\d)/(\\d\\d)/(\\d\\d),(\\d\\d):(\\d\\d):(\\d\\d)$"));
    return pattern;
}

// The same stamp anywhere in a piece of text.
const QRegularExpression &logTimePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        "[0-9][0-9]/[0-9][0-9]/[0-9][0-9],[0-9][0-9]:[0-9][0-9]:[0-9][0-9]"));
    return pattern;
}

} // namespace

int WeatherParser::valueStart(QStringView tag) const
{
    const QStringView text(m_text);
    const int size = text.size();
    const int tagSize = tag.size();
    int lineStart = 0;
    while (lineStart < size) {
        const int colon = lineStart + tagSize;
        if (colon < size && text.at(colon) == QLatin1Char(':')
            && text.mid(lineStart, tagSize) == tag) {
            return colon + 1;
        }
        const int newline = int(text.indexOf(QLatin1Char('\n'), lineStart));
        if (newline < 0)
            break;
        lineStart = newline + 1;
    }
    return -1;
}

QStringView WeatherParser::fieldView(QStringView tag, int index) const
{
    const int start = valueStart(tag);
    if (start < 0)
        return {};
    const QStringView text(m_text);
    const int size = text.size();

    if (index <= 0) {
        const int limit = std::min(size, start + kMaxFieldChars);
        int end = start;
        while (end < limit && !isLineEnd(text.at(end))
               && (index < 0 || text.at(end) != QLatin1Char(':'))) {
            ++end;
        }
        return text.mid(start, end - start);
    }

    // Walk the colons of this line only; a field the line lacks is empty.
    int fieldStart = start;
    int field = 0;
    for (int pos = start; pos < size && !isLineEnd(text.at(pos)); ++pos) {
        if (text.at(pos) != QLatin1Char(':'))
            continue;
        if (field == index)
            return text.mid(fieldStart, pos - fieldStart);
        ++field;
        fieldStart = pos + 1;
    }
    if (field != index)
        return {};
    int end = fieldStart;
    while (end < size && !isLineEnd(text.at(end)))
        ++end;
    return text.mid(fieldStart, end - fieldStart);
}

QString WeatherParser::getField(const QString &tag, int index) const
{
    if (tag.isNull())
        return {};
    return fieldView(tag, index).toString();
}

QString WeatherParser::validInt(const QString &text)
{
    bool ok = false;
    text.toInt(&ok, 10);
    return ok ? text : QString();
}

QString WeatherParser::validDouble(const QString &text)
{
    bool ok = false;
    text.toDouble(&ok);
    return ok ? text : QString();
}

double WeatherParser::roundToStep(double value, double step)
{
    const double scaled = value > 0 ? value / step + 0.5 : value / step - 0.5;
    // A 32-bit conversion truncates toward zero and gives +0 for -0.5; beyond
    // its range (where the conversion is undefined) truncate in floating point.
    constexpr double kIntLimit = 2147483648.0;
    if (scaled > -kIntLimit && scaled < kIntLimit)
        return static_cast<qint32>(scaled) * step;
    return std::trunc(scaled) * step;
}

QString WeatherParser::formatG6(double value)
{
    return QString::number(value, 'g', 6);
}

QString WeatherParser::modeName(int digit)
{
    switch (digit) {
    case 0: return QStringLiteral("3 Hour");
    case 1: return QStringLiteral("1 Hour");
    case 2: return QStringLiteral("20 Minute");
    case 3: return QStringLiteral("5 Minute");
    case 4: return QStringLiteral("1 Minute");
    case 5: return QStringLiteral("20 Second");
    case 6: return QStringLiteral("10 Second");
    default: return {};
    }
}

int WeatherParser::modeDigit() const
{
    bool ok = false;
    const int digit = fieldView(u"B", 1).toString().toInt(&ok, 10);
    return ok ? digit : 0;
}

// ---- readings ----

QString WeatherParser::getImei() const
{
    return fieldView(u"@I", 0).toString();
}

QString WeatherParser::getBattery() const
{
    return validDouble(fieldView(u"B", 0).toString());
}

QString WeatherParser::getMode() const
{
    const QString digit = validInt(fieldView(u"B", 1).toString());
    return digit.isEmpty() ? QString() : modeName(digit.toInt());
}

QString WeatherParser::getTemperature() const
{
    return validDouble(fieldView(u"TA", 0).toString());
}

QString WeatherParser::getPressure() const
{
    return validDouble(fieldView(u"BA", 0).toString());
}

QString WeatherParser::getAltimeter() const
{
    const QString hundredths = validInt(fieldView(u"BA", 1).toString());
    if (hundredths.isEmpty())
        return {};
    return formatG6(hundredths.toInt() / 100.0);
}

QString WeatherParser::getHumidity() const
{
    const QString humidity = validDouble(fieldView(u"RH", 0).toString());
    return toNumber(humidity) < 0 ? QString() : humidity;
}

QString WeatherParser::getElevation() const
{
    return validDouble(fieldView(u"EL", 0).toString());
}

QString WeatherParser::getLat() const
{
    const QString lat = validDouble(fieldView(u"LA", 0).toString());
    const double value = toNumber(lat);
    return value >= -90 && value <= 90 ? lat : QString();
}

QString WeatherParser::getLon() const
{
    const QString lon = validDouble(fieldView(u"LO", 0).toString());
    const double value = toNumber(lon);
    return value >= -180 && value <= 180 ? lon : QString();
}

QString WeatherParser::getOrientation() const
{
    return validDouble(fieldView(u"OR", 0).toString());
}

QString WeatherParser::getTilt() const
{
    return validInt(fieldView(u"OR", 1).toString());
}

QString WeatherParser::getWindSpeed() const
{
    return validDouble(fieldView(u"WI", 0).toString());
}

QString WeatherParser::getWindDir() const
{
    return validDouble(fieldView(u"WI", 1).toString());
}

QString WeatherParser::getMaxWindSpeed() const
{
    return validDouble(fieldView(u"GU", 0).toString());
}

QString WeatherParser::getMaxWindDir() const
{
    return validDouble(fieldView(u"GU", 1).toString());
}

QString WeatherParser::getLightningDist() const
{
    return validDouble(fieldView(u"LD", 0).toString());
}

QString WeatherParser::getLightningFreq() const
{
    return validInt(fieldView(u"LD", 1).toString());
}

QString WeatherParser::getVisibility() const
{
    return validDouble(fieldView(u"VI", 0).toString());
}

QString WeatherParser::getPrecip() const
{
    return validDouble(fieldView(u"PW", 0).toString());
}

QString WeatherParser::getPrecipType() const
{
    const double rate = toNumber(getPrecip());
    if (rate > 0.4)
        return QStringLiteral("+RA");
    if (rate > 0.1)
        return QStringLiteral("RA");
    if (rate > 0.0)
        return QStringLiteral("-RA");
    return {};
}

QString WeatherParser::getInterference() const
{
    const QString signal = validInt(fieldView(u"PW", 4).toString());
    if (signal.isEmpty())
        return {};
    return signal.toInt() < 50 ? QStringLiteral("Interference") : QStringLiteral("OK");
}

QString WeatherParser::getCeilometerHits() const
{
    int valid = 0;
    int hits = 0;
    for (int n = 1; n <= 4; ++n) {
        const QString reading = fieldView(u"CL", n).toString();
        if (reading.isEmpty() || reading.contains(QLatin1Char('?')))
            continue;
        ++valid;
        if (toNumber(reading) > 0.0)
            ++hits;
    }
    return QStringLiteral("%1/%2").arg(hits).arg(valid);
}

QString WeatherParser::getCloudLayers() const
{
    if (fieldView(u"CL", 1).isEmpty())
        return QStringLiteral("NA");
    const QStringView status = fieldView(u"CL", 0);
    if (status.startsWith(QLatin1Char('-')))
        return QStringLiteral("Ceilometer OFF");
    if (status.startsWith(QLatin1Char('?')))
        return QStringLiteral("No Ceilometer");

    QVarLengthArray<double, 6> layers;
    double firstLayer = 0;
    for (int n = 1; n <= 6; ++n) {
        double feet = toNumber(fieldView(u"CL", n).toString()) * kFeetPerMetre;
        // "nan" and "inf" read as numbers; they are no cloud height either.
        if (feet > 0 && std::isfinite(feet)) {
            const double step = feet <= 5000 ? 100 : feet <= 10000 ? 500 : 1000;
            feet = std::trunc(feet / step + 0.5) * step;
            layers.append(feet);
        }
        if (n == 1)
            firstLayer = feet;
    }
    if (firstLayer == 0.0)
        return QStringLiteral("NCD");
    std::sort(layers.begin(), layers.end());
    if (layers.isEmpty())
        return {};
    QString result = formatG6(layers.at(0));
    for (int i = 1; i < layers.size(); ++i) {
        if (layers.at(i) - layers.at(i - 1) > 100)
            result += QStringLiteral(", ") + formatG6(layers.at(i));
    }
    return result;
}

// ---- derived quantities ----

QString WeatherParser::getDewPoint() const
{
    const QString temperature = getTemperature();
    if (temperature.isEmpty())
        return {};
    const QString humidity = getHumidity();
    if (humidity.isEmpty())
        return {};
    const double t = toNumber(temperature);
    const double rh = toNumber(humidity);
    const double a = rh < 1 ? 0.01 : rh / 100;
    const double g = std::log(a) + 17.271 * t / (t + 237.7);
    const double dewPoint = 237.7 * g / (17.271 - g);
    return formatG6(roundToStep(dewPoint, 0.1));
}

QString WeatherParser::getHeatIndex() const
{
    const QString temperature = getTemperature();
    if (temperature.isEmpty())
        return {};
    const QString humidity = getHumidity();
    if (humidity.isEmpty())
        return {};
    const double f = toNumber(temperature) * 1.8 + 32;
    const double r = toNumber(humidity);
    double hi = 2.04901523 * f - 42.379 + 10.14333127 * r - 0.22475541 * f * r
                - 0.00683783 * f * f - 0.05481717 * r * r + 0.00122874 * f * f * r
                + 0.00085282 * f * r * r - 0.00000199 * f * f * r * r;
    if (f >= 80 && f < 112 && r < 13)
        hi -= (13 - r) * 0.25 * std::sqrt((17 - std::fabs(f - 95)) / 17);
    if (f >= 80 && f < 87 && r > 85)
        hi += ((r - 85) / 10) * ((87 - f) / 5);
    if (f < 80)
        hi = 0.5 * ((f - 68) * 1.2 + (f + 61) + r * 0.094);
    const double celsius = (hi - 32) * 5 / 9;
    return formatG6(roundToStep(celsius, 0.02));
}

QString WeatherParser::getWindChill() const
{
    const QString windSpeed = getWindSpeed();
    if (windSpeed.isEmpty())
        return {};
    const QString temperature = getTemperature();
    if (temperature.isEmpty())
        return {};
    const double v = toNumber(windSpeed) * kMphPerKnot;
    if (!(v > 3))
        return {};
    const double f = toNumber(temperature) * 1.8 + 32;
    if (f > 50)
        return {};
    const double vPow = std::pow(v, 0.16);
    const double w = 35.74 + 0.6215 * f - 35.75 * vPow + 0.4275 * f * vPow;
    return formatG6(roundToStep((w - 32) * 5 / 9, 0.02));
}

QString WeatherParser::getStationPressure() const
{
    const QString altimeter = getAltimeter();
    if (altimeter.isEmpty())
        return {};
    const QString elevation = getElevation();
    if (elevation.isEmpty())
        return {};
    const double h = toNumber(elevation);
    const double p = toNumber(altimeter) * std::pow((288 - 0.0065 * h) / 288, 5.2561);
    return formatG6(std::round(p * 100) / 100);
}

QString WeatherParser::getPressureAlt() const
{
    const QString pressure = getPressure();
    if (pressure.isEmpty())
        return {};
    const double p = toNumber(pressure);
    if (p < 337 || p > 1084)
        return {};
    const double altitude =
        (1 - std::pow(p / standardPressureHpa, pressureAltExponent)) * 145366.45;
    return formatG6(roundToStep(altitude, 10));
}

QString WeatherParser::getDensityAlt() const
{
    if (getPressure().isEmpty())
        return {};
    const QString temperature = getTemperature();
    if (temperature.isEmpty())
        return {};
    const QString stationPressure = getStationPressure();
    if (stationPressure.isEmpty())
        return {};
    if (getHumidity().isEmpty())
        return {};
    const double tKelvin = toNumber(temperature) + 273.16;
    const double s = toNumber(stationPressure);
    const double p = s * kHpaPerInHg;
    const double td = toNumber(getDewPoint());
    const double e = 6.11 * std::pow(10.0, 7.5 * td / (td + 237.7));
    const double tv = tKelvin / (1 - 0.378 * e / p);
    const double rankine = (tv - 273.16) * 1.8 + 32 + 459.69;
    const double altitude = (1 - std::pow(17.326 * s / rankine, 0.235)) * 145366;
    return formatG6(roundToStep(altitude, 10));
}

QString WeatherParser::getObstruction() const
{
    const QString temperature = getTemperature();
    if (temperature.isEmpty())
        return {};
    const QString dewPoint = getDewPoint();
    if (dewPoint.isEmpty())
        return {};
    const QString visibility = getVisibility();
    if (visibility.isEmpty())
        return {};
    const double metres = toNumber(visibility) * kMetresPerMile;
    if (metres < 1000)
        return QStringLiteral("FG");
    if (metres < 4000)
        return toNumber(temperature) - toNumber(dewPoint) > 5 ? QStringLiteral("HZ")
                                                              : QStringLiteral("BR");
    return {};
}

QString WeatherParser::getPresentWeather() const
{
    QString weather = getPrecipType();
    const QString obstruction = getObstruction();
    if (!weather.isEmpty() && !obstruction.isEmpty())
        weather += QLatin1Char(' ');
    return weather + obstruction;
}

// ---- station time ----

QString WeatherParser::getLogTimestamp() const
{
    const int start = valueStart(u"T");
    if (start < 0)
        return {};
    try {
        // The 18 characters after "T:", cut at a further "T:" among them.
        QStringView piece = QStringView(m_text).mid(start, 18);
        const int nextTag = int(piece.indexOf(QLatin1String("T:")));
        if (nextTag >= 0)
            piece = piece.left(nextTag);
        const QString text = piece.toString();
        if (!logTimePattern().match(text).hasMatch()) {
            qDebug() << "Can't find timestamp pattern";
            return {};
        }
        const int comma = text.indexOf(QLatin1Char(','));
        if (comma < 8)
            return {};
        QString date = text.mid(comma - 8, 8);
        date.replace(QLatin1Char('/'), QLatin1Char('-'));
        const QString result =
            QStringLiteral("20") + date + QLatin1Char(' ') + text.mid(comma + 1, 8);
        static const int kPieces[][2] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
        for (const auto &piecePos : kPieces) {
            if (validInt(result.mid(piecePos[0], piecePos[1])).isEmpty())
                return {};
        }
        return result;
    } catch (const std::exception &) {
        qDebug() << "Error reading timestamp";
        return {};
    }
}

QString WeatherParser::getMetarDayTime() const
{
    const QRegularExpressionMatch match = stationTimePattern().match(fieldView(u"T", -1).toString());
    if (!match.hasMatch())
        return QStringLiteral("000000");
    return match.captured(3) + match.captured(4) + match.captured(5);
}

QString WeatherParser::getPrecipTime(int which) const
{
    return slotTime(fieldView(u"PW", 3), which);
}

QString WeatherParser::getLightningTime(int which) const
{
    return slotTime(fieldView(u"LD", 2), which);
}

QString WeatherParser::slotTime(QStringView code, int which) const
{
    which = std::clamp(which, 0, 1);
    if (code.isEmpty() || code.contains(QLatin1Char('-')) || code.contains(QLatin1Char('?')))
        return QStringLiteral("-");
    const QRegularExpressionMatch match = stationTimePattern().match(fieldView(u"T", -1).toString());
    if (!match.hasMatch())
        return {};
    if (which >= code.size())
        return QStringLiteral("-");
    const int slot = int(QStringView(kSlotLetters).indexOf(code.at(which).toUpper()));
    if (slot < 0 || slot >= kSlotCount)
        return QStringLiteral("-");
    const int slotMinute = slot * kSlotMinutes;
    if (slotMinute < match.capturedRef(5).toInt())
        return match.captured(4) + twoDigits(slotMinute);
    const int hour = match.capturedRef(4).toInt();
    return twoDigits(hour == 0 ? 23 : hour - 1) + twoDigits(slotMinute);
}
