// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// The demonstration data that ships in the "Demo" folder: one day of station
// transmissions, every half hour, and the four camera pictures.
//
// The day follows a script so that every part of the data view gets shown:
// it opens in a thunderstorm with heavy rain, goes through a cold and windy
// night behind the front with interference on the rain sensor, calm and fog
// towards dawn with a draining battery, haze, a station restart with sensors
// missing, and a hot and humid afternoon that builds up to the next storm, so
// that the replay runs on from its last file to its first. The station
// itself (its site, pressure, position and further figures, the packet layout)
// comes from WeatherGenerator with a fixed seed, so the output is the same,
// byte for byte, every time.
class DemoDataGenerator
{
public:
    static constexpr const char *kDefaultFolder = "Demo";
    static constexpr quint32 kSeed = 35; // a site on the Great Plains
    static constexpr int kCameraCount = 4;

    struct File
    {
        QString name;        // without folder; name order is time order
        QByteArray bytes;    // exactly as it arrived on the serial line, or a JPEG file
        QString description; // what it shows
    };

    // The day that the transmissions are stamped with (UTC).
    static QDate day();

    // The transmissions in time order, then "cam1.jpg" to "cam4.jpg".
    static QList<File> files();

    // Writes every file into folder, creating it when needed. Files of other
    // names are left alone. False, with the reason in error, when a file could
    // not be written.
    static bool write(const QString &folder, QString *error = nullptr);
};
