// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/plausibility.h"

namespace {

// Limits with their reasons: the extremes ever measured, or the sensor's
// nature, with a margin; never narrower than a validity range the program
// applies elsewhere.
constexpr Plausibility::Range kRanges[Plausibility::ReadingCount] = {
    {u"B", 0, false, 0, 30, "V"},             // supply of a 12 V system at most
    {u"TA", 0, false, -90, 65, "C"},          // records -89.2 and 56.7 C
    {u"BA", 0, false, 300, 1100, "hPa"},      // stations above 5,000 m to record highs
    {u"BA", 1, true, 800, 3500, "0.01 inHg"}, // altimeter setting 8 to 35 inHg
    {u"RH", 0, false, 0, 100, "%"},
    {u"EL", 0, false, -500, 9000, "m"}, // Dead Sea shore to above Everest
    {u"LA", 0, false, -90, 90, "deg"},
    {u"LO", 0, false, -180, 180, "deg"},
    {u"OR", 0, false, -360, 360, "deg"}, // heading; negative: no heading (the caption shows none)
    {u"OR", 1, true, -180, 180, "deg"},  // tilt
    {u"WI", 0, false, 0, 250, "kt"},     // record gust 220 kt
    {u"WI", 1, false, 0, 360, "deg"},
    {u"GU", 0, false, 0, 250, "kt"},
    {u"GU", 1, false, 0, 360, "deg"},
    {u"LD", 0, false, 0, 300, "mi"}, // far beyond any detector's reach
    {u"LD", 1, true, 0, 100000, "strikes"},
    {u"VI", 0, false, 0, 200, "mi"},
    {u"PW", 0, false, 0, 100, "in/h"}, // record one-minute rate about 75 in/h
    {u"PW", 4, true, 0, 1000000, ""},  // receiver signal figure
    {u"CL", 1, false, 0, 30000, "m"},  // above any cloud
};

} // namespace

const Plausibility::Range &Plausibility::range(Reading reading)
{
    return kRanges[reading >= 0 && reading < ReadingCount ? reading : 0];
}

bool Plausibility::holds(Reading reading, double value)
{
    const Range &r = range(reading);
    return value >= r.min && value <= r.max;
}
