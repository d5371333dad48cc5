// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The range within which each reading of a weather packet is believed. The
// ranges hold every value a real station can report, anywhere on Earth; a
// value outside them ("nan", "inf", 1e308, a runaway digit string) is a fault
// of the sensor or the line and counts as no reading at all, in the display,
// the CSV log, the METAR and the history. The table is repeated in
// docs/reliability.md.
class Plausibility
{
public:
    enum Reading
    {
        Battery,
        Temperature,
        Pressure,
        Altimeter,
        Humidity,
        Elevation,
        Latitude,
        Longitude,
        Orientation,
        Tilt,
        WindSpeed,
        WindDir,
        GustSpeed,
        GustDir,
        LightningDist,
        LightningCount,
        Visibility,
        Precip,
        Signal,
        CloudHeight, // "CL" fields 1 to 6
        ReadingCount
    };

    struct Range
    {
        const char16_t *tag; // as on the packet's line
        int field;           // the first field; cloud heights span fields 1 to 6
        bool integer;        // read as a base-10 int, else as a decimal
        double min;          // inclusive
        double max;          // inclusive
        const char *unit;
    };

    static const Range &range(Reading reading);
    // Inside the range (so never "nan" or infinite).
    static bool holds(Reading reading, double value);
};
