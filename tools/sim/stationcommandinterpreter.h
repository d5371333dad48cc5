// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QVector>

// The settings a simulated station keeps between wake-ups.
struct StationSettings
{
    int mode = 1;       // reporting mode digit 0..6 ("m" command)
    int ceilometer = 1; // 0 disabled, 1 auto, 2 always
    bool speci = false;
    bool gpsEnabled = true;
    int elevationMetres = 0;
    QVector<int> autoHours; // UTC hours of automatic image capture, ascending
    bool camerasOn = true;

    bool operator==(const StationSettings &other) const;
    bool operator!=(const StationSettings &other) const { return !(*this == other); }
};

// Something the station is asked to do once, rather than a lasting setting.
struct StationAction
{
    enum Kind
    {
        RequestImages,         // argument: camera 1..4, 0 for every camera
        UpdateGps,             // fix latitude and longitude
        UpdateGpsAndElevation, // fix latitude, longitude and elevation
        AcousticOff,
        RecordAcousticSpectral,
        GetSpectral,
        GetMp3, // argument: the acoustic offset 0..25
        GetRaw, // argument: the acoustic offset 0..29
    };

    Kind kind = RequestImages;
    int argument = 0;

    bool operator==(const StationAction &other) const
    {
        return kind == other.kind && argument == other.argument;
    }
};

// Reads what a station receives after its prompt: commands ended by a
// carriage return. Spaces around a command, line feeds and empty lines are
// tolerated; commands that the station does not know are ignored, as a real
// unit does.
class StationCommandInterpreter
{
public:
    static constexpr int kLineMaxBytes = 32;
    static constexpr int kActionsMax = 256;

    explicit StationCommandInterpreter(const StationSettings &initial = {});

    // Takes received bytes in any split; returns the commands completed and
    // understood by this call, without their carriage returns.
    QList<QByteArray> feed(const QByteArray &bytes);

    // Runs one command line (without its carriage return).
    bool execute(const QByteArray &line);

    const StationSettings &settings() const { return m_settings; }
    // The elevation as the station's GPS measured it ("Gi").
    void setElevationMetres(int metres) { m_settings.elevationMetres = metres; }
    // The actions requested since the last call, oldest first.
    QList<StationAction> takeActions();
    int ignoredCount() const { return m_ignored; }

private:
    void addAction(StationAction::Kind kind, int argument = 0);

    StationSettings m_settings;
    QList<StationAction> m_actions;
    QByteArray m_line;
    bool m_lineOverflow = false;
    int m_ignored = 0;
};
