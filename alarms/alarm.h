// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One alarm condition of the station, from the moment it was raised until it
// cleared. An alarm is identified by its kind and, for a failed sensor, by the
// reading that is missing; the text says what is wrong in words.
struct Alarm
{
    enum class Kind
    {
        NoData,
        LowBattery,
        Interference,
        SensorFailed,
        ClockOff,
        PressureFall,
    };

    Kind kind = Kind::NoData;
    QString sensor; // the missing reading ("Temperature"); empty for the other kinds
    QString unit;   // IMEI of the station, empty before the first packet
    QString text;   // "Low battery: 4.5 V"
    QDateTime startUtc;
    QDateTime endUtc; // invalid while the alarm is active

    bool isActive() const { return !endUtc.isValid(); }
    bool sameCondition(const Alarm &other) const { return kind == other.kind && sensor == other.sensor; }

    // A stable name for logs: "no-data", "low-battery", "interference",
    // "sensor-failed", "clock-off", "pressure-fall".
    static QString kindName(Kind kind);
};

Q_DECLARE_METATYPE(Alarm)
