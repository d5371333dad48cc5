// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/writehealth.h"

#include <QByteArray>
#include <QString>

class QDateTime;
class WeatherParser;
struct WeatherValues;

// The CSV weather log: one UTF-8 file per unit and UTC month, a header line
// on a new file, then one row of 30 decoded values per weather packet.
// Fields holding a comma, a double quote or a line break are quoted (quotes
// doubled), so every row keeps the header's 30 columns.
class CsvLog
{
public:
    static constexpr int kColumns = 30;

    // The header line without its line end.
    static QByteArray header();
    // The row of one packet's values and its METAR, ended by "\r\n".
    static QByteArray row(const WeatherValues &values, const QString &metar);
    // The row of the parser's current packet.
    static QByteArray row(const WeatherParser &parser);
    // One field as written into a row.
    static QByteArray field(const QString &value);

    // csvFolder + "/<unit>_yyyy-MM.csv"; the unit part comes from
    // DataFolder::unitName, so a hostile IMEI cannot leave the folder.
    static QString filePath(const QString &csvFolder, const QString &imei, const QDateTime &utcNow);

    // Appends the row of the current packet, creating the folder and, for a
    // new or empty file, the header first, all in one append that lands whole
    // or not at all. The file is closed again before returning. The result
    // goes to health (as a CSV write) when given.
    static WriteResult append(const QString &csvFolder, const WeatherValues &values, const QString &metar,
                              const QDateTime &utcNow, WriteHealth *health = nullptr);
    static WriteResult append(const QString &csvFolder, const WeatherParser &parser, const QDateTime &utcNow,
                              WriteHealth *health = nullptr);

    // The elevation in whole feet (g6 form), or empty without an elevation.
    static QString elevationFeet(const WeatherValues &values);
    static QString elevationFeet(const WeatherParser &parser);
};
