// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QDateTime;
struct Observation;
struct WeatherValues;

// What the data view shows for the current weather packet, without any
// widget: the text and tooltip of every line edit (by object name, in the
// order they are filled), the colour style sheets of the voltage and
// interference boxes, the warnings in words and the age of the values.
//
// A reading the station did not send shows "--"; a quantity that does not
// apply to this weather (wind chill on a warm day) stays empty. Both say why
// in their tooltip. No box ever shows a bare unit.
class WeatherDisplay
{
public:
    enum class State
    {
        Value,
        Missing,       // "--": not sent, or computed from readings that were not sent
        NotApplicable, // empty: nothing to show for this weather
    };

    struct Field
    {
        QString objectName;
        QString text;
        State state = State::Value;
        QString toolTip; // what the box shows, its unit and source, and why it is "--" or empty
    };

    static constexpr const char *kMissingText = "--";

    static QVector<Field> fields(const WeatherValues &values);

    // A tooltip for every field and selector of the window (what it is, its
    // unit, where it comes from), by object name.
    static const QVector<QPair<QString, QString>> &toolTips();
    static QString toolTip(const QString &objectName);

    // lawngreen from 5.0 V, orange from 4.8 V, red below, white without a
    // reading. Text is always black, readable on each background; stale
    // values are grey on white, since their colour no longer tells the state.
    static QString voltageStyle(const WeatherValues &values, bool stale = false);
    // lawngreen for "OK", red for "Interference", white without a reading.
    static QString interferenceStyle(const WeatherValues &values, bool stale = false);
    // The style of every other value box.
    static QString valueStyle(bool stale);

    // The battery and interference state in words for the status bar:
    // "Low battery: 4.5 V", "Battery getting low: 4.9 V",
    // "High interference: signal level 12". Empty when all is well.
    static QStringList warnings(const WeatherValues &values);

    struct DataAge
    {
        QString text; // "Station time 02:37:13 UTC, received 3 min ago"
        bool stale = false;
    };
    // Values are stale once older than twice the reporting interval that the
    // packet reports (twice the longest interval, 3 hours, when it reports none).
    static DataAge dataAge(const Observation &observation, const QDateTime &nowUtc);

    // Seconds between packets for a reporting mode name ("5 Minute": 300); 0 when unknown.
    static int reportingIntervalSeconds(const QString &modeName);

    // The METAR centred for the report box, with any markup in it escaped.
    static QString metarHtml(const QString &metar);
};
