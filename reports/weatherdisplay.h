// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

class WeatherParser;

// What the data view shows for the current weather packet, without any
// widget: the text of every line edit (by object name, in the order they are
// filled) and the colour style sheets of the voltage and interference boxes.
// A value the packet lacks gives an empty text, never a bare unit.
class WeatherDisplay
{
public:
    struct Field
    {
        QString objectName;
        QString text;
    };

    static QVector<Field> fields(const WeatherParser &parser);

    // lawngreen from 5.0 V, orange from 4.8 V, red below, white without a reading.
    static QString voltageStyle(const WeatherParser &parser);
    // lawngreen for "OK", red for "Interference", white without a reading.
    static QString interferenceStyle(const WeatherParser &parser);

    // The METAR centred for the report box, with any markup in it escaped.
    static QString metarHtml(const QString &metar);
};
