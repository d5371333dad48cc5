// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "weather/plausibility.h"
#include "weather/weathervalues.h"

#include <QString>
#include <QStringList>
#include <QStringRef>
#include <QStringView>

// The current weather packet of the station and everything read from it.
//
// The packet is text, one tagged line per sensor group ("TA:22.8\r\n"). A tag
// counts only at the start of a line, so "CL" never matches inside "ECL" and
// "T" never inside "TA" or "LAT". Every accessor searches the text again on
// each call; nothing is cached, so a new packet changes every output at once.
//
// All accessors return text. The empty text is the one "no value" marker;
// readings keep the station's own digits, computed values use g6 form. A
// reading outside its plausibility range (Plausibility) is no value, to the
// accessors and to every derived quantity alike; so is an impossible station
// time.
class WeatherParser
{
public:
    // Compared against temperature, humidity and altimeter by the METAR report.
    static constexpr double missingValue = -1000;
    // Single-precision literals widened to double, as the pressure altitude
    // has always used them (the exponent becomes 0.19028399884700775).
    static constexpr double standardPressureHpa = 1013.25f;
    static constexpr double pressureAltExponent = 0.190284f;

    void setPacketText(const QString &text) { m_text = text; }
    QString packetText() const { return m_text; }

    // Every accessor's result for the current packet, found in one pass over
    // its lines: what the report, the CSV row and the display take.
    WeatherValues values() const;

    // index < 0: the rest of the tag's line (colons kept, at most 1024 chars);
    // index 0: the first field (at most 1024 chars); index N >= 1: the N-th
    // ":"-separated field after it, on the same line only. A line ends at a
    // carriage return or line feed. A missing tag or field gives the empty
    // text; a null tag too.
    QString getField(const QString &tag, int index) const;

    // The text unchanged when it reads as a base-10 int (QString::toInt), else empty.
    static QString validInt(const QString &text);
    // The text unchanged when it reads as a C-locale double (QString::toDouble), else empty.
    static QString validDouble(const QString &text);
    // QString::toDouble in the C locale, with the same value and verdict;
    // the plain decimals that the station sends are read much faster.
    static bool readNumber(const QString &text, double *value);
    // A multiple of step; halves go away from zero.
    static double roundToStep(double value, double step);
    // QString::number(value, 'g', 6).
    static QString formatG6(double value);

    // Reporting mode names shared with the reporting selector: 0 "3 Hour" ...
    // 6 "10 Second"; any other number gives the empty text.
    static QString modeName(int digit);
    // "B" field 1 as a base-10 number; 0 when absent or not a number.
    int modeDigit() const;

    // One line for each reading that reads as a number outside its range (or
    // overflows) and for an impossible station time, naming the field and the
    // value. Accessors are called many times per packet; this is meant to be
    // called once per packet, for the debug log.
    QStringList implausibleReadings() const;

    // Readings: tag and field read, and the unit.
    QString getImei() const;           // "@I" 0, unchanged
    QString getBattery() const;        // "B" 0, volts
    QString getMode() const;           // "B" 1 as a mode name
    QString getTemperature() const;    // "TA" 0, degrees Celsius
    QString getPressure() const;       // "BA" 0, hPa
    QString getAltimeter() const;      // "BA" 1 / 100, inHg in g6 form
    QString getHumidity() const;       // "RH" 0, percent; empty when negative
    QString getElevation() const;      // "EL" 0, metres
    QString getLat() const;            // "LA" 0 within -90..90
    QString getLon() const;            // "LO" 0 within -180..180
    QString getOrientation() const;    // "OR" 0, degrees
    QString getTilt() const;           // "OR" 1, degrees (integer)
    QString getWindSpeed() const;      // "WI" 0, knots
    QString getWindDir() const;        // "WI" 1, degrees
    QString getMaxWindSpeed() const;   // "GU" 0, knots
    QString getMaxWindDir() const;     // "GU" 1, degrees
    QString getLightningDist() const;  // "LD" 0, statute miles
    QString getLightningFreq() const;  // "LD" 1, strike count
    QString getVisibility() const;     // "VI" 0, statute miles
    QString getPrecip() const;         // "PW" 0, inches per hour
    QString getPrecipType() const;     // "+RA", "RA", "-RA" or empty
    QString getInterference() const;   // "PW" 4: "Interference" below 50, "OK", or empty
    QString getCeilometerHits() const; // "hits/valid readings" over "CL" 1..4
    QString
    getCloudLayers() const; // feet joined by ", ", "NA", "Ceilometer OFF", "No Ceilometer", "NCD" or empty

    // Derived quantities; empty whenever an input they need is empty.
    QString getDewPoint() const;        // degrees Celsius, step 0.1
    QString getHeatIndex() const;       // degrees Celsius, step 0.02
    QString getWindChill() const;       // degrees Celsius, step 0.02; only above 3 mph and at most 50 F
    QString getStationPressure() const; // inHg, to 0.01
    QString getPressureAlt() const;     // feet, step 10; only for 337..1084 hPa
    QString getDensityAlt() const;      // feet, step 10
    QString getObstruction() const;     // "FG", "HZ", "BR" or empty
    QString getPresentWeather() const;  // precipitation and obstruction joined by a blank

    // Station time of the "T" line.
    // An impossible date or time (month 13, 25:00, 30 February) counts as no
    // station time in all of these.
    QString getLogTimestamp() const; // "20yy-MM-dd hh:mm:ss" or empty
    QString getMetarDayTime() const; // "DDhhmm", or "000000" without a usable time
    // Clock time "hhmm" of the five-minute slot in which precipitation or
    // lightning began (which 0) or ended (which 1); "-" without an event or
    // with an unknown slot letter, empty without a usable packet time.
    QString getPrecipTime(int which) const;
    QString getLightningTime(int which) const;

private:
    // The station time of the "T" line as numbers; valid is false without a
    // usable or with an impossible time.
    struct StationClock
    {
        bool valid = false;
        QString dayTime; // "DDhhmm" as the line has the digits
        int hour = 0;
        int minute = 0;
    };

    // Positions just after "tag:" at the start of a line, found for all the
    // tags in one pass over the text; -1 for a tag without a line.
    void valueStarts(const QStringView *tags, int *starts, int count) const;
    int valueStart(QStringView tag) const;
    // A field of the line whose value begins at start (-1: no line), as a
    // piece of the packet text; null when absent.
    QStringRef fieldAt(int start, int index) const;
    QStringRef fieldRef(QStringView tag, int index) const;
    // Fields first to first + count - 1 (first >= 1) of the line at start,
    // as fieldAt gives each, from one walk over the line.
    void fieldsAt(int start, int first, QStringRef *fields, int count) const;
    // The reading's text and number when its field reads as one (a base-10
    // int for the integer readings) inside its range, else empty.
    WeatherReading readingOf(int start, Plausibility::Reading reading) const;
    QString readingText(Plausibility::Reading reading) const;
    QString modeAt(int bStart) const;
    QString altimeterAt(int baStart) const;
    // The ceilometer hits and the cloud layers of the "CL" line at clStart,
    // from one reading of its fields.
    void cloudsAt(int clStart, QString *hits, QString *layers) const;
    QString logTimestampAt(int tStart) const;
    StationClock stationClockAt(int tStart) const;
    static QString slotTime(const QStringRef &code, int which, const StationClock &clock);

    QString m_text;
};
