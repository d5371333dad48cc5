// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QDebug>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>
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

// The start of the line after the one that holds from, or end. memchr finds
// the byte 0x0A of a line feed fast; a character that merely contains that
// byte (U+0A0A, U+010A, ...) is passed over.
const QChar *nextLine(const QChar *from, const QChar *end)
{
    const char *const fromBytes = reinterpret_cast<const char *>(from);
    const char *const endBytes = reinterpret_cast<const char *>(end);
    const char *bytes = fromBytes;
    while (bytes < endBytes) {
        const auto *hit = static_cast<const char *>(
            std::memchr(bytes, '\n', size_t(endBytes - bytes)));
        if (!hit)
            break;
        const QChar *const c = from + (hit - fromBytes) / qsizetype(sizeof(QChar));
        if (*c == QLatin1Char('\n'))
            return c + 1;
        bytes = hit + 1;
    }
    return end;
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Magnus form; a humidity below 1 % is taken as 1 %.
QString dewPointText(double t, double rh)
{
    const double a = rh < 1 ? 0.01 : rh / 100;
    const double g = std::log(a) + 17.271 * t / (t + 237.7);
    const double dewPoint = 237.7 * g / (17.271 - g);
    return WeatherParser::formatG6(WeatherParser::roundToStep(dewPoint, 0.1));
}

// value 0 to 99 as two digits.
QString twoDigits(int value)
{
    const QChar digits[2] = {QLatin1Char(char('0' + value / 10 % 10)),
                             QLatin1Char(char('0' + value % 10))};
    return QString(digits, 2);
}

// QStringRef::toDouble, with a shortcut for the plain decimals that the
// station sends ("-5.4", "1018.30"): up to 15 digits are exact in a double,
// and one correctly rounded division by an exact power of ten gives the very
// double that the full conversion gives.
bool readDouble(const QStringRef &text, double *value)
{
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr int kMaxExactDigits = 15;
    const int size = text.size();
    if (size > 0 && size <= kMaxExactDigits + 2) {
        const QChar *const chars = text.constData();
        const bool negative = chars[0] == QLatin1Char('-');
        qint64 mantissa = 0;
        int digits = 0;
        int decimals = -1;
        int i = negative ? 1 : 0;
        for (; i < size; ++i) {
            const char16_t c = chars[i].unicode();
            if (c >= u'0' && c <= u'9') {
                mantissa = mantissa * 10 + (c - u'0');
                ++digits;
                if (decimals >= 0)
                    ++decimals;
            } else if (c == u'.' && decimals < 0 && digits > 0) {
                decimals = 0;
            } else {
                break;
            }
        }
        if (i == size && digits > 0 && digits <= kMaxExactDigits && decimals != 0) {
            double result = double(mantissa);
            if (decimals > 0)
                result /= kPowersOfTen[decimals];
            *value = negative ? -result : result;
            return true;
        }
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

double toNumber(const QString &text)
{
    double value = 0;
    readDouble(QStringRef(&text), &value);
    return value;
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
    // Hand-written: this runs for every field of every packet.
    const QChar *const begin = m_text.constData();
    const QChar *const end = begin + m_text.size();
    const qsizetype tagSize = tag.size();
    const QChar *line = begin;
    while (end - line > tagSize) {
        if (line[tagSize] == QLatin1Char(':') && std::equal(tag.begin(), tag.end(), line))
            return int(line - begin + tagSize + 1);
        line = nextLine(line, end);
    }
    return -1;
}

QStringRef WeatherParser::fieldRef(QStringView tag, int index) const
{
    return fieldAt(valueStart(tag), index);
}

QStringRef WeatherParser::fieldAt(int start, int index) const
{
    if (start < 0)
        return {};
    const QChar *const text = m_text.constData();
    const int size = m_text.size();

    if (index <= 0) {
        const int limit = start + std::min(size - start, kMaxFieldChars);
        int end = start;
        while (end < limit && !isLineEnd(text[end])
               && (index < 0 || text[end] != QLatin1Char(':'))) {
            ++end;
        }
        return QStringRef(&m_text, start, end - start);
    }

    // Walk the colons of this line only; a field the line lacks is empty.
    int fieldStart = start;
    int field = 0;
    int pos = start;
    for (; pos < size && !isLineEnd(text[pos]); ++pos) {
        if (text[pos] != QLatin1Char(':'))
            continue;
        if (field == index)
            return QStringRef(&m_text, fieldStart, pos - fieldStart);
        ++field;
        fieldStart = pos + 1;
    }
    if (field != index)
        return {};
    return QStringRef(&m_text, fieldStart, pos - fieldStart);
}

QString WeatherParser::doubleField(QStringView tag, int index) const
{
    const QStringRef field = fieldRef(tag, index);
    double value = 0;
    return readDouble(field, &value) ? field.toString() : QString();
}

QString WeatherParser::intField(QStringView tag, int index) const
{
    const QStringRef field = fieldRef(tag, index);
    bool ok = false;
    field.toInt(&ok, 10);
    return ok ? field.toString() : QString();
}

bool WeatherParser::numberField(QStringView tag, int index, double *value) const
{
    return readDouble(fieldRef(tag, index), value);
}

bool WeatherParser::humidityValue(double *value) const
{
    return numberField(u"RH", 0, value) && !(*value < 0);
}

QString WeatherParser::getField(const QString &tag, int index) const
{
    if (tag.isNull())
        return {};
    return fieldRef(tag, index).toString();
}

QString WeatherParser::validInt(const QString &text)
{
    bool ok = false;
    text.toInt(&ok, 10);
    return ok ? text : QString();
}

QString WeatherParser::validDouble(const QString &text)
{
    double value = 0;
    return readDouble(QStringRef(&text), &value) ? text : QString();
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
    const int digit = fieldRef(u"B", 1).toInt(&ok, 10);
    return ok ? digit : 0;
}

// ---- readings ----

QString WeatherParser::getImei() const
{
    return fieldRef(u"@I", 0).toString();
}

QString WeatherParser::getBattery() const
{
    return doubleField(u"B", 0);
}

QString WeatherParser::getMode() const
{
    bool ok = false;
    const int digit = fieldRef(u"B", 1).toInt(&ok, 10);
    return ok ? modeName(digit) : QString();
}

QString WeatherParser::getTemperature() const
{
    return doubleField(u"TA", 0);
}

QString WeatherParser::getPressure() const
{
    return doubleField(u"BA", 0);
}

QString WeatherParser::getAltimeter() const
{
    bool ok = false;
    const int hundredths = fieldRef(u"BA", 1).toInt(&ok, 10);
    return ok ? formatG6(hundredths / 100.0) : QString();
}

QString WeatherParser::getHumidity() const
{
    double humidity = 0;
    return humidityValue(&humidity) ? fieldRef(u"RH", 0).toString() : QString();
}

QString WeatherParser::getElevation() const
{
    return doubleField(u"EL", 0);
}

QString WeatherParser::getLat() const
{
    double lat = 0;
    if (!numberField(u"LA", 0, &lat) || !(lat >= -90 && lat <= 90))
        return {};
    return fieldRef(u"LA", 0).toString();
}

QString WeatherParser::getLon() const
{
    double lon = 0;
    if (!numberField(u"LO", 0, &lon) || !(lon >= -180 && lon <= 180))
        return {};
    return fieldRef(u"LO", 0).toString();
}

QString WeatherParser::getOrientation() const
{
    return doubleField(u"OR", 0);
}

QString WeatherParser::getTilt() const
{
    return intField(u"OR", 1);
}

QString WeatherParser::getWindSpeed() const
{
    return doubleField(u"WI", 0);
}

QString WeatherParser::getWindDir() const
{
    return doubleField(u"WI", 1);
}

QString WeatherParser::getMaxWindSpeed() const
{
    return doubleField(u"GU", 0);
}

QString WeatherParser::getMaxWindDir() const
{
    return doubleField(u"GU", 1);
}

QString WeatherParser::getLightningDist() const
{
    return doubleField(u"LD", 0);
}

QString WeatherParser::getLightningFreq() const
{
    return intField(u"LD", 1);
}

QString WeatherParser::getVisibility() const
{
    return doubleField(u"VI", 0);
}

QString WeatherParser::getPrecip() const
{
    return doubleField(u"PW", 0);
}

QString WeatherParser::getPrecipType() const
{
    double rate = 0;
    if (!numberField(u"PW", 0, &rate))
        return {};
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
    bool ok = false;
    const int signal = fieldRef(u"PW", 4).toInt(&ok, 10);
    if (!ok)
        return {};
    return signal < 50 ? QStringLiteral("Interference") : QStringLiteral("OK");
}

QString WeatherParser::getCeilometerHits() const
{
    const int line = valueStart(u"CL");
    int valid = 0;
    int hits = 0;
    for (int n = 1; n <= 4; ++n) {
        const QStringRef reading = fieldAt(line, n);
        if (reading.isEmpty() || reading.contains(QLatin1Char('?')))
            continue;
        ++valid;
        double height = 0;
        readDouble(reading, &height);
        if (height > 0.0)
            ++hits;
    }
    return QString::number(hits) + QLatin1Char('/') + QString::number(valid);
}

QString WeatherParser::getCloudLayers() const
{
    const int line = valueStart(u"CL");
    if (fieldAt(line, 1).isEmpty())
        return QStringLiteral("NA");
    const QStringRef status = fieldAt(line, 0);
    if (status.startsWith(QLatin1Char('-')))
        return QStringLiteral("Ceilometer OFF");
    if (status.startsWith(QLatin1Char('?')))
        return QStringLiteral("No Ceilometer");

    QVarLengthArray<double, 6> layers;
    double firstLayer = 0;
    for (int n = 1; n <= 6; ++n) {
        double metres = 0;
        readDouble(fieldAt(line, n), &metres);
        double feet = metres * kFeetPerMetre;
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
// Inputs are read as numbers straight from the packet text; a value that
// another quantity passes on (dew point, station pressure) is read back from
// its g6 text, as every other consumer of it sees it.

QString WeatherParser::getDewPoint() const
{
    double t = 0;
    double rh = 0;
    if (!numberField(u"TA", 0, &t) || !humidityValue(&rh))
        return {};
    return dewPointText(t, rh);
}

QString WeatherParser::getHeatIndex() const
{
    double t = 0;
    double r = 0;
    if (!numberField(u"TA", 0, &t) || !humidityValue(&r))
        return {};
    const double f = t * 1.8 + 32;
    double hi = 2.04901523 * f - 42.379 + 10.14333127 * r - 0.22475541 * f * r
                - 0.00683783 * f * f - 0.05481717 * r * r + 0.00122874 * f * f * r
                + 0.00085282 * f * r * r - 0.00000199 * f * f * r * r;
    if (f >= 80 && f < 112 && r < 13)
        hi -= (13 - r) * 0.25 * std::sqrt((17 - std::fabs(f - 95)) / 17);
    if (f >= 80 && f < 87 && r > 85)
        hi += ((r - 85) / 10) * ((87 - f) / 5);
    if (f < 80)
        hi = 0.5 * ((f - 68) * 1.2 + (f + 61) + r * 0.094);
    return formatG6(roundToStep((hi - 32) * 5 / 9, 0.02));
}

QString WeatherParser::getWindChill() const
{
    double knots = 0;
    double t = 0;
    if (!numberField(u"WI", 0, &knots) || !numberField(u"TA", 0, &t))
        return {};
    const double v = knots * kMphPerKnot;
    if (!(v > 3))
        return {};
    const double f = t * 1.8 + 32;
    if (f > 50)
        return {};
    const double vPow = std::pow(v, 0.16);
    const double w = 35.74 + 0.6215 * f - 35.75 * vPow + 0.4275 * f * vPow;
    return formatG6(roundToStep((w - 32) * 5 / 9, 0.02));
}

QString WeatherParser::getStationPressure() const
{
    const QString altimeter = getAltimeter();
    double h = 0;
    if (altimeter.isEmpty() || !numberField(u"EL", 0, &h))
        return {};
    const double p = toNumber(altimeter) * std::pow((288 - 0.0065 * h) / 288, 5.2561);
    return formatG6(std::round(p * 100) / 100);
}

QString WeatherParser::getPressureAlt() const
{
    double p = 0;
    if (!numberField(u"BA", 0, &p) || p < 337 || p > 1084)
        return {};
    const double altitude =
        (1 - std::pow(p / standardPressureHpa, pressureAltExponent)) * 145366.45;
    return formatG6(roundToStep(altitude, 10));
}

QString WeatherParser::getDensityAlt() const
{
    double pressure = 0;
    double t = 0;
    double rh = 0;
    if (!numberField(u"BA", 0, &pressure) || !numberField(u"TA", 0, &t))
        return {};
    const QString stationPressure = getStationPressure();
    if (stationPressure.isEmpty() || !humidityValue(&rh))
        return {};
    const double tKelvin = t + 273.16;
    const double s = toNumber(stationPressure);
    const double p = s * kHpaPerInHg;
    const double td = toNumber(dewPointText(t, rh));
    const double e = 6.11 * std::pow(10.0, 7.5 * td / (td + 237.7));
    const double tv = tKelvin / (1 - 0.378 * e / p);
    const double rankine = (tv - 273.16) * 1.8 + 32 + 459.69;
    const double altitude = (1 - std::pow(17.326 * s / rankine, 0.235)) * 145366;
    return formatG6(roundToStep(altitude, 10));
}

QString WeatherParser::getObstruction() const
{
    double t = 0;
    double rh = 0;
    double miles = 0;
    if (!numberField(u"TA", 0, &t) || !humidityValue(&rh) || !numberField(u"VI", 0, &miles))
        return {};
    const double metres = miles * kMetresPerMile;
    if (metres < 1000)
        return QStringLiteral("FG");
    if (metres < 4000) {
        const double spread = t - toNumber(dewPointText(t, rh));
        return spread > 5 ? QStringLiteral("HZ") : QStringLiteral("BR");
    }
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
    const QRegularExpressionMatch match = stationTimePattern().match(fieldRef(u"T", -1));
    if (!match.hasMatch())
        return QStringLiteral("000000");
    return match.captured(3) + match.captured(4) + match.captured(5);
}

QString WeatherParser::getPrecipTime(int which) const
{
    return slotTime(fieldRef(u"PW", 3), which);
}

QString WeatherParser::getLightningTime(int which) const
{
    return slotTime(fieldRef(u"LD", 2), which);
}

QString WeatherParser::slotTime(const QStringRef &code, int which) const
{
    which = std::clamp(which, 0, 1);
    if (code.isEmpty() || code.contains(QLatin1Char('-')) || code.contains(QLatin1Char('?')))
        return QStringLiteral("-");
    const QRegularExpressionMatch match = stationTimePattern().match(fieldRef(u"T", -1));
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
