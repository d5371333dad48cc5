// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class WeatherParser;
struct WeatherValues;

// The METAR-style report line of one weather packet: station and time, wind,
// visibility, present weather, clouds, temperature and dew point, altimeter,
// remarks. Every group ends with a blank; only the position at the very end
// has none.
//
// A reading the station did not send ("?", "--" or nothing at all) never turns
// into a number in the report: its group, or the part of a group it feeds,
// is left out.
class MetarEncoder
{
public:
    static QString getMetar(const WeatherValues &values);
    // The report of the parser's current packet.
    static QString getMetar(const WeatherParser &parser);

    // The statute-mile visibility text of a value of at least 0 ("M1/4SM" ... "10SM").
    static QString visibilityText(double miles);
};
