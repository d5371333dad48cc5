// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarm.h"

QString Alarm::kindName(Kind kind)
{
    switch (kind) {
    case Kind::NoData:
        return QStringLiteral("no-data");
    case Kind::LowBattery:
        return QStringLiteral("low-battery");
    case Kind::Interference:
        return QStringLiteral("interference");
    case Kind::SensorFailed:
        return QStringLiteral("sensor-failed");
    case Kind::ClockOff:
        return QStringLiteral("clock-off");
    case Kind::PressureFall:
        return QStringLiteral("pressure-fall");
    }
    return QString();
}
