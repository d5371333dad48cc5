// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include "weather/sse2.h"

#include <QDateTime>
#include <QDebug>
#include <QRegularExpression>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace {

constexpr int kMaxFieldChars = 1024;
// How much of an implausible field a debug line quotes.
constexpr int kMaxQuotedChars = 40;
constexpr double kFeetPerMetre = 3.281;
constexpr double kMetresPerMile = 1609.34;
constexpr double kMphPerKnot = 1.1507794;
constexpr double kHpaPerInHg = 33.8639;
// Five-minute slot letters of a begin/end code and their minutes.
constexpr char16_t kSlotLetters[] = u"ABCDEFGHIJKL";
constexpr int kSlotCount = 12;
constexpr int kSlotMinutes = 5;
constexpr int kStampChars = 17;

// The start of the line after the one that holds from, or end. Lines are
// short and every field lookup passes over them, so eight characters are
// compared at a time where the processor allows it.
Q_ALWAYS_INLINE const QChar *nextLine(const QChar *from, const QChar *end)
{
    const QChar *c = from;
#ifdef KTR_HAVE_SSE2
    const __m128i feeds = _mm_set1_epi16('\n');
    for (; end - c >= 8; c += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c));
        const uint mask = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(chars, feeds)));
        if (mask)
            return c + qCountTrailingZeroBits(mask) / 2 + 1;
    }
#endif
    c = std::find(c, end, QLatin1Char('\n'));
    return c == end ? end : c + 1;
}

// Whether the line that begins at line starts with "tag:".
Q_ALWAYS_INLINE bool tagAt(const QChar *line, const QChar *end, QStringView tag)
{
    const qsizetype size = tag.size();
    return end - line > size && (size == 0 || line[0] == tag[0]) && line[size] == QLatin1Char(':') &&
           std::equal(tag.begin(), tag.end(), line);
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Magnus form; a humidity below 1 % is taken as 1 %. Those who use the dew
// point read it back from this text, as every other consumer sees it.
QString dewPointText(double t, double rh)
{
    const double a = rh < 1 ? 0.01 : rh / 100;
    const double g = std::log(a) + 17.271 * t / (t + 237.7);
    const double dewPoint = 237.7 * g / (17.271 - g);
    return WeatherParser::formatG6(WeatherParser::roundToStep(dewPoint, 0.1));
}

QString heatIndexText(double t, double r)
{
    const double f = t * 1.8 + 32;
    double hi = 2.04901523 * f - 42.379 + 10.14333127 * r - 0.22475541 * f * r - 0.00683783 * f * f -
                0.05481717 * r * r + 0.00122874 * f * f * r + 0.00085282 * f * r * r -
                0.00000199 * f * f * r * r;
    if (f >= 80 && f < 112 && r < 13)
        hi -= (13 - r) * 0.25 * std::sqrt((17 - std::fabs(f - 95)) / 17);
    if (f >= 80 && f < 87 && r > 85)
        hi += ((r - 85) / 10) * ((87 - f) / 5);
    if (f < 80)
        hi = 0.5 * ((f - 68) * 1.2 + (f + 61) + r * 0.094);
    return WeatherParser::formatG6(WeatherParser::roundToStep((hi - 32) * 5 / 9, 0.02));
}

// Only above 3 mph and at most 50 F, else empty.
QString windChillText(double knots, double t)
{
    const double v = knots * kMphPerKnot;
    if (!(v > 3))
        return {};
    const double f = t * 1.8 + 32;
    if (f > 50)
        return {};
    const double vPow = std::pow(v, 0.16);
    const double w = 35.74 + 0.6215 * f - 35.75 * vPow + 0.4275 * f * vPow;
    return WeatherParser::formatG6(WeatherParser::roundToStep((w - 32) * 5 / 9, 0.02));
}

QString stationPressureText(double altimeterInHg, double elevationM)
{
    const double p = altimeterInHg * std::pow((288 - 0.0065 * elevationM) / 288, 5.2561);
    return WeatherParser::formatG6(std::round(p * 100) / 100);
}

// Only for 337 to 1084 hPa, else empty.
QString pressureAltText(double hpa)
{
    if (hpa < 337 || hpa > 1084)
        return {};
    const double altitude =
        (1 - std::pow(hpa / WeatherParser::standardPressureHpa, WeatherParser::pressureAltExponent)) *
        145366.45;
    return WeatherParser::formatG6(WeatherParser::roundToStep(altitude, 10));
}

// From the rounded station pressure and dew point, as they are shown.
QString densityAltText(double t, double stationPressureInHg, double dewPoint)
{
    const double tKelvin = t + 273.16;
    const double p = stationPressureInHg * kHpaPerInHg;
    const double e = 6.11 * std::pow(10.0, 7.5 * dewPoint / (dewPoint + 237.7));
    const double tv = tKelvin / (1 - 0.378 * e / p);
    const double rankine = (tv - 273.16) * 1.8 + 32 + 459.69;
    const double altitude = (1 - std::pow(17.326 * stationPressureInHg / rankine, 0.235)) * 145366;
    return WeatherParser::formatG6(WeatherParser::roundToStep(altitude, 10));
}

QString precipTypeText(const WeatherReading &rate)
{
    if (rate.isEmpty() || !(rate.value > 0.0))
        return {};
    if (rate.value > 0.4)
        return QStringLiteral("+RA");
    if (rate.value > 0.1)
        return QStringLiteral("RA");
    return QStringLiteral("-RA");
}

// "FG", "HZ", "BR" or empty, from temperature, humidity (through the dew
// point) and visibility.
QString obstructionOf(const WeatherValues &v)
{
    if (v.temperature.isEmpty() || v.humidity.isEmpty() || v.visibility.isEmpty())
        return {};
    const double metres = v.visibility.value * kMetresPerMile;
    if (metres < 1000)
        return QStringLiteral("FG");
    if (metres < 4000)
        return v.temperature.value - v.dewPoint.value > 5 ? QStringLiteral("HZ") : QStringLiteral("BR");
    return {};
}

// "hhmm" for an hour and a minute of 0 to 99 each.
QString clockText(int hour, int minute)
{
    const QChar digits[4] = {QLatin1Char(char('0' + hour / 10 % 10)), QLatin1Char(char('0' + hour % 10)),
                             QLatin1Char(char('0' + minute / 10 % 10)), QLatin1Char(char('0' + minute % 10))};
    return QString(digits, 4);
}

// whole / 10^decimals with the trailing zeros of the fraction dropped;
// decimals 0 to 2, |whole| below 10^6.
QString decimalText(qint32 whole, int decimals)
{
    static constexpr quint32 kDivisors[] = {1, 10, 100};
    char text[16];
    int size = 0;
    if (whole < 0)
        text[size++] = '-';
    const quint32 magnitude = whole < 0 ? quint32(-qint64(whole)) : quint32(whole);
    quint32 integer = magnitude / kDivisors[decimals];
    quint32 fraction = magnitude % kDivisors[decimals];
    char reversed[12];
    int digits = 0;
    do {
        reversed[digits++] = char('0' + integer % 10);
        integer /= 10;
    } while (integer != 0);
    while (digits > 0)
        text[size++] = reversed[--digits];
    while (decimals > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --decimals;
    }
    if (decimals > 0) {
        text[size++] = '.';
        for (int i = decimals - 1; i >= 0; --i) {
            text[size + i] = char('0' + fraction % 10);
            fraction /= 10;
        }
        size += decimals;
    }
    return QString::fromLatin1(text, size);
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
    // "?" and "--" are what the station sends for no reading; a text of
    // ASCII without a digit and without the letters of "inf" and "nan" is
    // no number to the full conversion either.
    const bool hopeless = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x80 && !(u >= u'0' && u <= u'9') && u != u'i' && u != u'I' && u != u'n' && u != u'N';
    });
    if (hopeless) {
        *value = 0;
        return false;
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

// QStringRef::toInt in base 10, with the same value and verdict; plain
// digits, the station's form, are read without the general conversion.
bool readInt(const QStringRef &text, int *value)
{
    constexpr int kMaxExactDigits = 9;
    const int size = text.size();
    if (size > 0 && size <= kMaxExactDigits + 1) {
        const QChar *const chars = text.constData();
        const bool negative = chars[0] == QLatin1Char('-');
        // Wide enough for the ten digits the size allows before the count is checked.
        qint64 result = 0;
        int i = negative ? 1 : 0;
        const int digitsFrom = i;
        for (; i < size; ++i) {
            const char16_t c = chars[i].unicode();
            if (c < u'0' || c > u'9')
                break;
            result = result * 10 + (c - u'0');
        }
        const int digits = i - digitsFrom;
        if (i == size && digits > 0 && digits <= kMaxExactDigits) {
            *value = int(negative ? -result : result);
            return true;
        }
    }
    bool ok = false;
    *value = text.toInt(&ok, 10);
    return ok;
}

// Whether "dd/dd/dd,dd:dd:dd" in ASCII digits begins at c (17 characters).
bool stampAt(const QChar *c)
{
    static constexpr char kForm[] = "dd/dd/dd,dd:dd:dd";
    for (int i = 0; i < kStampChars; ++i) {
        const char16_t u = c[i].unicode();
        if (kForm[i] == 'd' ? (u < u'0' || u > u'9') : u != char16_t(kForm[i]))
            return false;
    }
    return true;
}

int twoDigits(const QChar *c)
{
    return (c[0].unicode() - u'0') * 10 + (c[1].unicode() - u'0');
}

// Whether the field reads as a number outside the reading's range; a number
// too long for a double counts as one too. Other texts ("?", "--") are plain
// gaps. value: the number, or 0 when the field is none.
bool implausible(const QStringRef &field, Plausibility::Reading reading, double *value)
{
    const bool number = readDouble(field, value);
    const bool outside = number ? !Plausibility::holds(reading, *value) : std::isinf(*value);
    if (!number && !outside)
        *value = 0;
    return outside;
}

// The field as the range's reading: a base-10 int or a decimal inside it.
bool readField(const QStringRef &field, const Plausibility::Range &range, double *value)
{
    bool read = false;
    if (range.integer) {
        int whole = 0;
        read = readInt(field, &whole);
        *value = whole;
    } else {
        read = readDouble(field, value);
    }
    return read && *value >= range.min && *value <= range.max;
}

// The station's "yy/MM/dd,hh:mm:ss", nothing after the seconds.
const QRegularExpression &stationTimePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(\\d\\d)/(\\d\\d)/(\\d\\d),(\\d\\d):(\\d\\d):(\\d\\d)$"));
    return pattern;
}

} // namespace

// ---- field extraction ----

void WeatherParser::valueStarts(const QStringView *tags, int *starts, int count) const
{
    // Tags of one or two ASCII characters: where a line's colon stands tells
    // its tag's size, the first character the few tags it can be, and a tag
    // compares as one number.
    const auto key = [](const QChar *tag, int size) {
        const quint64 second = size == 1 ? 0 : tag[1].unicode();
        return quint64(size) << 32 | second << 16 | tag[0].unicode();
    };
    constexpr int kMaxTags = 32;
    constexpr int kAscii = 128;
    Q_ASSERT(count <= kMaxTags);
    quint64 keys[kMaxTags];
    quint32 tagsByFirst[kAscii] = {};
    for (int i = 0; i < count; ++i) {
        Q_ASSERT((tags[i].size() == 1 || tags[i].size() == 2) && tags[i].front().unicode() < kAscii);
        keys[i] = key(tags[i].data(), int(tags[i].size()));
        tagsByFirst[tags[i].front().unicode()] |= 1u << i;
    }
    std::fill(starts, starts + count, -1);
    quint32 missing = count == kMaxTags ? ~0u : (1u << count) - 1;
    const QChar *const begin = m_text.constData();
    const QChar *const end = begin + m_text.size();
    for (const QChar *line = begin; line < end && missing != 0; line = nextLine(line, end)) {
        const qsizetype left = end - line;
        const int size = left > 1 && line[1] == QLatin1Char(':')   ? 1
                         : left > 2 && line[2] == QLatin1Char(':') ? 2
                                                                   : 0;
        const char16_t first = line[0].unicode();
        if (size == 0 || first >= kAscii)
            continue;
        const quint64 lineKey = key(line, size);
        for (quint32 candidates = tagsByFirst[first] & missing; candidates != 0;
             candidates &= candidates - 1) {
            const int i = qCountTrailingZeroBits(candidates);
            if (keys[i] == lineKey) {
                starts[i] = int(line - begin + size + 1);
                missing &= ~(1u << i);
            }
        }
    }
}

int WeatherParser::valueStart(QStringView tag) const
{
    // The single-tag case on its own: it runs for nearly every field read.
    const QChar *const begin = m_text.constData();
    const QChar *const end = begin + m_text.size();
    for (const QChar *line = begin; line < end; line = nextLine(line, end)) {
        if (tagAt(line, end, tag))
            return int(line - begin + tag.size() + 1);
    }
    return -1;
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
        while (end < limit && !isLineEnd(text[end]) && (index < 0 || text[end] != QLatin1Char(':'))) {
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

void WeatherParser::fieldsAt(int start, int first, QStringRef *fields, int count) const
{
    Q_ASSERT(first >= 1);
    std::fill(fields, fields + count, QStringRef());
    if (start < 0)
        return;
    const QChar *const text = m_text.constData();
    const int size = m_text.size();
    int fieldStart = start;
    int field = 0;
    int pos = start;
    for (; pos <= size; ++pos) {
        const bool lineEnd = pos == size || isLineEnd(text[pos]);
        if (!lineEnd && text[pos] != QLatin1Char(':'))
            continue;
        if (field >= first)
            fields[field - first] = QStringRef(&m_text, fieldStart, pos - fieldStart);
        if (lineEnd || ++field >= first + count)
            return;
        fieldStart = pos + 1;
    }
}

QStringRef WeatherParser::fieldRef(QStringView tag, int index) const
{
    return fieldAt(valueStart(tag), index);
}

QString WeatherParser::getField(const QString &tag, int index) const
{
    if (tag.isNull())
        return {};
    return fieldRef(tag, index).toString();
}

WeatherReading WeatherParser::readingOf(int start, Plausibility::Reading reading) const
{
    const Plausibility::Range &range = Plausibility::range(reading);
    const QStringRef field = fieldAt(start, range.field);
    double value = 0;
    if (!readField(field, range, &value))
        return {};
    return WeatherReading(PacketText::piece(m_text, field.position(), field.size()), value);
}

QString WeatherParser::readingText(Plausibility::Reading reading) const
{
    return readingOf(valueStart(QStringView(Plausibility::range(reading).tag)), reading).text();
}

QStringList WeatherParser::implausibleReadings() const
{
    QStringList lines;
    for (int r = 0; r < Plausibility::ReadingCount; ++r) {
        const auto reading = Plausibility::Reading(r);
        const Plausibility::Range &range = Plausibility::range(reading);
        const int start = valueStart(QStringView(range.tag));
        const int lastField = reading == Plausibility::CloudHeight ? 6 : range.field;
        for (int index = range.field; index <= lastField; ++index) {
            const QStringRef field = fieldAt(start, index);
            double value = 0;
            if (!implausible(field, reading, &value))
                continue;
            lines << QStringLiteral("%1 field %2 \"%3\" is outside %4 to %5 %6: counted as missing")
                         .arg(QStringView(range.tag).toString())
                         .arg(index)
                         .arg(field.left(kMaxQuotedChars).toString())
                         .arg(range.min)
                         .arg(range.max)
                         .arg(QLatin1String(range.unit))
                         .trimmed();
        }
    }
    const int tStart = valueStart(u"T");
    const QStringRef time = fieldAt(tStart, -1);
    if (stationTimePattern().match(time).hasMatch() && !stationClockAt(tStart).valid)
        lines << QStringLiteral("T \"%1\" is no possible station time: counted as none").arg(time.toString());
    return lines;
}

// ---- filters and formatting ----

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

bool WeatherParser::readNumber(const QString &text, double *value)
{
    return readDouble(QStringRef(&text), value);
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
    // Nearly every value here is a nonzero multiple of 1, 0.1 or 0.01 with at
    // most six digits. Its g6 text is exactly that decimal (the value lies far
    // closer to it than half a unit of the sixth digit), so it is written
    // directly; anything else goes the long way.
    if (value == 0)
        return QStringLiteral("0");
    static constexpr double kScales[] = {1, 10, 100};
    for (int decimals = 0; decimals < 3; ++decimals) {
        const double scaled = value * kScales[decimals];
        const double whole = std::round(scaled);
        if (whole != 0 && std::fabs(whole) < 1e6 && std::fabs(scaled - whole) < 1e-9)
            return decimalText(qint32(whole), decimals);
    }
    return QString::number(value, 'g', 6);
}

QString WeatherParser::modeName(int digit)
{
    switch (digit) {
    case 0:
        return QStringLiteral("3 Hour");
    case 1:
        return QStringLiteral("1 Hour");
    case 2:
        return QStringLiteral("20 Minute");
    case 3:
        return QStringLiteral("5 Minute");
    case 4:
        return QStringLiteral("1 Minute");
    case 5:
        return QStringLiteral("20 Second");
    case 6:
        return QStringLiteral("10 Second");
    default:
        return {};
    }
}

int WeatherParser::modeDigit() const
{
    int digit = 0;
    return readInt(fieldRef(u"B", 1), &digit) ? digit : 0;
}

// ---- readings ----

QString WeatherParser::getImei() const
{
    return fieldRef(u"@I", 0).toString();
}

QString WeatherParser::getBattery() const
{
    return readingText(Plausibility::Battery);
}

QString WeatherParser::modeAt(int bStart) const
{
    int digit = 0;
    return readInt(fieldAt(bStart, 1), &digit) ? modeName(digit) : QString();
}

QString WeatherParser::getMode() const
{
    return modeAt(valueStart(u"B"));
}

QString WeatherParser::getTemperature() const
{
    return readingText(Plausibility::Temperature);
}

QString WeatherParser::getPressure() const
{
    return readingText(Plausibility::Pressure);
}

QString WeatherParser::altimeterAt(int baStart) const
{
    const Plausibility::Range &range = Plausibility::range(Plausibility::Altimeter);
    double hundredths = 0;
    return readField(fieldAt(baStart, range.field), range, &hundredths) ? formatG6(hundredths / 100.0)
                                                                        : QString();
}

QString WeatherParser::getAltimeter() const
{
    return altimeterAt(valueStart(u"BA"));
}

QString WeatherParser::getHumidity() const
{
    return readingText(Plausibility::Humidity);
}

QString WeatherParser::getElevation() const
{
    return readingText(Plausibility::Elevation);
}

QString WeatherParser::getLat() const
{
    return readingText(Plausibility::Latitude);
}

QString WeatherParser::getLon() const
{
    return readingText(Plausibility::Longitude);
}

QString WeatherParser::getOrientation() const
{
    return readingText(Plausibility::Orientation);
}

QString WeatherParser::getTilt() const
{
    return readingText(Plausibility::Tilt);
}

QString WeatherParser::getWindSpeed() const
{
    return readingText(Plausibility::WindSpeed);
}

QString WeatherParser::getWindDir() const
{
    return readingText(Plausibility::WindDir);
}

QString WeatherParser::getMaxWindSpeed() const
{
    return readingText(Plausibility::GustSpeed);
}

QString WeatherParser::getMaxWindDir() const
{
    return readingText(Plausibility::GustDir);
}

QString WeatherParser::getLightningDist() const
{
    return readingText(Plausibility::LightningDist);
}

QString WeatherParser::getLightningFreq() const
{
    return readingText(Plausibility::LightningCount);
}

QString WeatherParser::getVisibility() const
{
    return readingText(Plausibility::Visibility);
}

QString WeatherParser::getPrecip() const
{
    return readingText(Plausibility::Precip);
}

QString WeatherParser::getPrecipType() const
{
    return values().precipType;
}

QString WeatherParser::getInterference() const
{
    return values().interference;
}

QString WeatherParser::getCeilometerHits() const
{
    return values().ceilometerHits;
}

QString WeatherParser::getCloudLayers() const
{
    return values().cloudLayers;
}

void WeatherParser::cloudsAt(int clStart, QString *hits, QString *layers) const
{
    constexpr int kHeights = 6;
    constexpr int kCountedHeights = 4;
    QStringRef fields[kHeights];
    double metres[kHeights];
    bool outside[kHeights];
    fieldsAt(clStart, 1, fields, kHeights);
    for (int n = 0; n < kHeights; ++n) {
        // A number outside the range is no reading, like "?".
        outside[n] = implausible(fields[n], Plausibility::CloudHeight, &metres[n]);
    }

    int valid = 0;
    int hitCount = 0;
    for (int n = 0; n < kCountedHeights; ++n) {
        if (fields[n].isEmpty() || fields[n].contains(QLatin1Char('?')) || outside[n])
            continue;
        ++valid;
        if (metres[n] > 0.0)
            ++hitCount;
    }
    static_assert(kCountedHeights < 10, "one digit each");
    const QChar hitsText[3] = {QLatin1Char(char('0' + hitCount)), QLatin1Char('/'),
                               QLatin1Char(char('0' + valid))};
    *hits = QString(hitsText, 3);

    const QStringRef status = fieldAt(clStart, 0);
    if (fields[0].isEmpty()) {
        *layers = QStringLiteral("NA");
        return;
    }
    if (status.startsWith(QLatin1Char('-'))) {
        *layers = QStringLiteral("Ceilometer OFF");
        return;
    }
    if (status.startsWith(QLatin1Char('?'))) {
        *layers = QStringLiteral("No Ceilometer");
        return;
    }
    QVarLengthArray<double, kHeights> heights;
    double firstLayer = 0;
    for (int n = 0; n < kHeights; ++n) {
        // An implausible height is no layer, but no "no cloud" either.
        if (outside[n]) {
            if (n == 0)
                firstLayer = -1;
            continue;
        }
        double feet = metres[n] * kFeetPerMetre;
        if (feet > 0) {
            const double step = feet <= 5000 ? 100 : feet <= 10000 ? 500 : 1000;
            feet = std::trunc(feet / step + 0.5) * step;
            heights.append(feet);
        }
        if (n == 0)
            firstLayer = feet;
    }
    if (firstLayer == 0.0) {
        *layers = QStringLiteral("NCD");
        return;
    }
    if (heights.isEmpty()) {
        layers->clear();
        return;
    }
    std::sort(heights.begin(), heights.end());
    *layers = formatG6(heights.at(0));
    for (int i = 1; i < heights.size(); ++i) {
        if (heights.at(i) - heights.at(i - 1) > 100)
            *layers += QStringLiteral(", ") + formatG6(heights.at(i));
    }
}

// ---- derived quantities ----

QString WeatherParser::getDewPoint() const
{
    return values().dewPoint.text();
}

QString WeatherParser::getHeatIndex() const
{
    return values().heatIndex.text();
}

QString WeatherParser::getWindChill() const
{
    return values().windChill.text();
}

QString WeatherParser::getStationPressure() const
{
    return values().stationPressure.text();
}

QString WeatherParser::getPressureAlt() const
{
    return values().pressureAlt.text();
}

QString WeatherParser::getDensityAlt() const
{
    return values().densityAlt.text();
}

QString WeatherParser::getObstruction() const
{
    return obstructionOf(values());
}

QString WeatherParser::getPresentWeather() const
{
    return values().presentWeather;
}

// ---- station time ----

QString WeatherParser::getLogTimestamp() const
{
    return logTimestampAt(valueStart(u"T"));
}

QString WeatherParser::logTimestampAt(int tStart) const
{
    if (tStart < 0)
        return {};
    // The 18 characters after "T:", cut at a further "T:" among them; the
    // stamp may begin at either of the first two.
    QStringRef piece = m_text.midRef(tStart, kStampChars + 1);
    for (int i = 0; i + 1 < piece.size(); ++i) {
        if (piece.at(i) == QLatin1Char('T') && piece.at(i + 1) == QLatin1Char(':')) {
            piece = piece.left(i);
            break;
        }
    }
    const QChar *const chars = piece.constData();
    const bool found =
        (piece.size() >= kStampChars && stampAt(chars)) || (piece.size() > kStampChars && stampAt(chars + 1));
    if (!found) {
        qDebug() << "Can't find timestamp pattern";
        return {};
    }
    // A stamp at the second character behind a comma has no date before it.
    if (chars[0] == QLatin1Char(','))
        return {};
    const QChar *const stamp = stampAt(chars) ? chars : chars + 1;
    const int year = twoDigits(stamp);
    const int month = twoDigits(stamp + 3);
    const int day = twoDigits(stamp + 6);
    const int hour = twoDigits(stamp + 9);
    const int minute = twoDigits(stamp + 12);
    const int second = twoDigits(stamp + 15);
    if (!QDate::isValid(2000 + year, month, day) || !QTime::isValid(hour, minute, second))
        return {};
    QChar text[kStampChars + 2] = {QLatin1Char('2'), QLatin1Char('0')};
    std::copy(stamp, stamp + kStampChars, text + 2);
    text[4] = QLatin1Char('-');
    text[7] = QLatin1Char('-');
    text[10] = QLatin1Char(' ');
    return QString(text, kStampChars + 2);
}

WeatherParser::StationClock WeatherParser::stationClockAt(int tStart) const
{
    StationClock clock;
    const QStringRef time = fieldAt(tStart, -1);
    int values[6];
    QStringRef texts[3];
    if (time.size() >= kStampChars && stampAt(time.constData() + time.size() - kStampChars)) {
        const QChar *const stamp = time.constData() + time.size() - kStampChars;
        for (int i = 0; i < 6; ++i)
            values[i] = twoDigits(stamp + 3 * i);
        const int from = time.position() + time.size() - kStampChars;
        for (int i = 0; i < 3; ++i)
            texts[i] = m_text.midRef(from + 6 + 3 * i, 2);
    } else if (std::all_of(time.cbegin(), time.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
        return clock;
    } else {
        // Digits of other scripts: the pattern's own idea of a digit decides.
        const QRegularExpressionMatch match = stationTimePattern().match(time);
        if (!match.hasMatch())
            return clock;
        for (int i = 0; i < 6; ++i)
            values[i] = match.capturedRef(i + 1).toInt();
        for (int i = 0; i < 3; ++i)
            texts[i] = match.capturedRef(i + 3);
    }
    if (!QDate::isValid(2000 + values[0], values[1], values[2]) ||
        !QTime::isValid(values[3], values[4], values[5]))
        return clock;
    clock.valid = true;
    clock.dayTime.reserve(texts[0].size() + texts[1].size() + texts[2].size());
    for (const QStringRef &text : texts)
        clock.dayTime += text;
    clock.hour = values[3];
    clock.minute = values[4];
    return clock;
}

QString WeatherParser::getMetarDayTime() const
{
    const StationClock clock = stationClockAt(valueStart(u"T"));
    return clock.valid ? clock.dayTime : QStringLiteral("000000");
}

QString WeatherParser::getPrecipTime(int which) const
{
    return slotTime(fieldRef(u"PW", 3), which, stationClockAt(valueStart(u"T")));
}

QString WeatherParser::getLightningTime(int which) const
{
    return slotTime(fieldRef(u"LD", 2), which, stationClockAt(valueStart(u"T")));
}

QString WeatherParser::slotTime(const QStringRef &code, int which, const StationClock &clock)
{
    which = std::clamp(which, 0, 1);
    if (code.isEmpty() || code.contains(QLatin1Char('-')) || code.contains(QLatin1Char('?')))
        return QStringLiteral("-");
    if (!clock.valid)
        return {};
    if (which >= code.size())
        return QStringLiteral("-");
    const int slot = int(QStringView(kSlotLetters).indexOf(code.at(which).toUpper()));
    if (slot < 0 || slot >= kSlotCount)
        return QStringLiteral("-");
    const int slotMinute = slot * kSlotMinutes;
    // A slot that is not before the packet's minute lies in the previous hour.
    if (slotMinute < clock.minute)
        return clockText(clock.hour, slotMinute);
    return clockText(clock.hour == 0 ? 23 : clock.hour - 1, slotMinute);
}

// ---- all at once ----

WeatherValues WeatherParser::values() const
{
    static const QStringView kTags[] = {u"@I", u"B",  u"T",  u"LA", u"LO", u"EL", u"OR", u"TA",
                                        u"BA", u"RH", u"WI", u"GU", u"LD", u"CL", u"PW", u"VI"};
    enum Tag
    {
        Imei,
        B,
        T,
        LA,
        LO,
        EL,
        OR,
        TA,
        BA,
        RH,
        WI,
        GU,
        LD,
        CL,
        PW,
        VI,
        TagCount
    };
    static_assert(std::size(kTags) == TagCount);
    int s[TagCount];
    valueStarts(kTags, s, TagCount);
    // The line of each reading, by the tag its range names.
    static const auto kLineOf = [] {
        std::array<int, Plausibility::ReadingCount> lines{};
        for (int r = 0; r < Plausibility::ReadingCount; ++r) {
            const QStringView tag(Plausibility::range(Plausibility::Reading(r)).tag);
            lines[r] = int(std::find(std::begin(kTags), std::end(kTags), tag) - std::begin(kTags));
        }
        return lines;
    }();
    const auto reading = [&](Plausibility::Reading r) {
        return kLineOf[r] < TagCount ? readingOf(s[kLineOf[r]], r) : WeatherReading();
    };
    const auto computed = [](const QString &text) {
        double value = 0;
        readDouble(QStringRef(&text), &value);
        return WeatherReading(text, value);
    };

    WeatherValues v;
    v.imei = fieldAt(s[Imei], 0).toString();
    const StationClock clock = stationClockAt(s[T]);
    v.logTimestamp = logTimestampAt(s[T]);
    v.metarDayTime = clock.valid ? clock.dayTime : QStringLiteral("000000");
    v.mode = modeAt(s[B]);

    v.battery = reading(Plausibility::Battery);
    v.temperature = reading(Plausibility::Temperature);
    v.pressure = reading(Plausibility::Pressure);
    v.altimeter = computed(altimeterAt(s[BA]));
    v.humidity = reading(Plausibility::Humidity);
    v.elevation = reading(Plausibility::Elevation);
    v.lat = reading(Plausibility::Latitude);
    v.lon = reading(Plausibility::Longitude);
    v.orientation = reading(Plausibility::Orientation);
    v.tilt = reading(Plausibility::Tilt);
    v.windSpeed = reading(Plausibility::WindSpeed);
    v.windDir = reading(Plausibility::WindDir);
    v.gustSpeed = reading(Plausibility::GustSpeed);
    v.gustDir = reading(Plausibility::GustDir);
    v.lightningDist = reading(Plausibility::LightningDist);
    v.lightningFreq = reading(Plausibility::LightningCount);
    v.visibility = reading(Plausibility::Visibility);
    v.precip = reading(Plausibility::Precip);
    v.signal = reading(Plausibility::Signal);
    v.precipType = precipTypeText(v.precip);
    if (!v.signal.isEmpty())
        v.interference = v.signal.value < 50 ? QStringLiteral("Interference") : QStringLiteral("OK");
    cloudsAt(s[CL], &v.ceilometerHits, &v.cloudLayers);

    // Derived quantities take the readings as read above, and each other's
    // rounded values as they are shown.
    const WeatherReading &t = v.temperature;
    const WeatherReading &rh = v.humidity;
    if (!t.isEmpty() && !rh.isEmpty()) {
        v.dewPoint = computed(dewPointText(t.value, rh.value));
        v.heatIndex = computed(heatIndexText(t.value, rh.value));
    }
    if (!v.windSpeed.isEmpty() && !t.isEmpty())
        v.windChill = computed(windChillText(v.windSpeed.value, t.value));
    if (!v.altimeter.isEmpty() && !v.elevation.isEmpty())
        v.stationPressure = computed(stationPressureText(v.altimeter.value, v.elevation.value));
    if (!v.pressure.isEmpty()) {
        v.pressureAlt = computed(pressureAltText(v.pressure.value));
        if (!t.isEmpty() && !v.stationPressure.isEmpty() && !rh.isEmpty())
            v.densityAlt = computed(densityAltText(t.value, v.stationPressure.value, v.dewPoint.value));
    }
    const QString obstruction = obstructionOf(v);
    v.presentWeather = v.precipType.isEmpty() || obstruction.isEmpty()
                           ? v.precipType + obstruction
                           : v.precipType + QLatin1Char(' ') + obstruction;

    const QStringRef precipCode = fieldAt(s[PW], 3);
    const QStringRef lightningCode = fieldAt(s[LD], 2);
    v.precipBegan = slotTime(precipCode, 0, clock);
    v.precipEnded = slotTime(precipCode, 1, clock);
    v.lightningBegan = slotTime(lightningCode, 0, clock);
    v.lightningEnded = slotTime(lightningCode, 1, clock);

    const auto field = [&](int start, int index) {
        const QStringRef ref = fieldAt(start, index);
        return PacketText::piece(m_text, ref.position(), ref.size());
    };
    v.latField = field(s[LA], 0);
    v.lonField = field(s[LO], 0);
    v.altimeterField = field(s[BA], 1);
    v.strikesField = field(s[LD], 1);
    v.signalField = field(s[PW], 4);
    return v;
}
