// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QSettings;

// The alarm thresholds, kept in the settings store under "alarms/". Each
// alarm can be switched off on its own. Values read from the store are
// brought into their ranges, so a hand-edited store cannot make an alarm fire
// on every packet or never.
struct AlarmSettings
{
    // No packet for this long; 0 means twice the reporting interval that the
    // station last reported.
    bool noDataEnabled = true;
    int noDataMinutes = 0;
    // Battery below this voltage; the display shows red below 4.8 V as well.
    bool lowBatteryEnabled = true;
    double lowBatteryVolts = 4.8;
    // The station's signal level ("PW" field 4) below this level: the
    // station's own figure says interference below 50.
    bool interferenceEnabled = true;
    int interferenceSignalBelow = 50;
    // A reading that the station has sent before is missing in this many
    // packets in a row: its sensor has failed.
    bool sensorFailedEnabled = true;
    int sensorFailedPackets = 3;
    // The station clock differs from the PC's UTC clock by more than this.
    bool clockOffEnabled = true;
    int clockOffMinutes = 10;
    // The barometric pressure fell by more than this within 3 hours.
    bool pressureFallEnabled = true;
    double pressureFallHpa = 6.0;

    static constexpr int kMaxNoDataMinutes = 7 * 24 * 60;
    static constexpr double kMaxVolts = 30.0;
    static constexpr int kMaxSignalLevel = 999;
    static constexpr int kMaxPackets = 100;
    static constexpr int kMaxClockOffMinutes = 24 * 60;
    static constexpr double kMinPressureFallHpa = 0.5;
    static constexpr double kMaxPressureFallHpa = 50.0;

    // Missing or unreadable keys keep their defaults.
    static AlarmSettings load(QSettings &settings);
    void save(QSettings &settings) const;

    // Seconds of silence after which the no-data alarm is raised, given the
    // station's reporting interval (0 when unknown); 0: no limit known yet.
    int silenceLimitSeconds(int reportingIntervalSeconds) const;
};
