// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmsettings.h"

#include <QSettings>
#include <algorithm>
#include <cmath>

namespace {

void readBool(QSettings &settings, const char *key, bool *value)
{
    const QVariant stored = settings.value(QLatin1String(key));
    if (stored.isValid())
        *value = stored.toBool();
}

void readInt(QSettings &settings, const char *key, int low, int high, int *value)
{
    bool ok = false;
    const int stored = settings.value(QLatin1String(key)).toInt(&ok);
    if (ok)
        *value = std::clamp(stored, low, high);
}

void readDouble(QSettings &settings, const char *key, double low, double high, double *value)
{
    bool ok = false;
    const double stored = settings.value(QLatin1String(key)).toDouble(&ok);
    if (ok && std::isfinite(stored))
        *value = std::clamp(stored, low, high);
}

} // namespace

AlarmSettings AlarmSettings::load(QSettings &settings)
{
    AlarmSettings s;
    settings.beginGroup(QStringLiteral("alarms"));
    readBool(settings, "noDataEnabled", &s.noDataEnabled);
    readInt(settings, "noDataMinutes", 0, kMaxNoDataMinutes, &s.noDataMinutes);
    readBool(settings, "lowBatteryEnabled", &s.lowBatteryEnabled);
    readDouble(settings, "lowBatteryVolts", 0.0, kMaxVolts, &s.lowBatteryVolts);
    readBool(settings, "interferenceEnabled", &s.interferenceEnabled);
    readInt(settings, "interferenceSignalBelow", 0, kMaxSignalLevel, &s.interferenceSignalBelow);
    readBool(settings, "sensorFailedEnabled", &s.sensorFailedEnabled);
    readInt(settings, "sensorFailedPackets", 1, kMaxPackets, &s.sensorFailedPackets);
    readBool(settings, "clockOffEnabled", &s.clockOffEnabled);
    readInt(settings, "clockOffMinutes", 1, kMaxClockOffMinutes, &s.clockOffMinutes);
    readBool(settings, "pressureFallEnabled", &s.pressureFallEnabled);
    readDouble(settings, "pressureFallHpa", kMinPressureFallHpa, kMaxPressureFallHpa, &s.pressureFallHpa);
    settings.endGroup();
    return s;
}

void AlarmSettings::save(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("alarms"));
    settings.setValue(QStringLiteral("noDataEnabled"), noDataEnabled);
    settings.setValue(QStringLiteral("noDataMinutes"), noDataMinutes);
    settings.setValue(QStringLiteral("lowBatteryEnabled"), lowBatteryEnabled);
    settings.setValue(QStringLiteral("lowBatteryVolts"), lowBatteryVolts);
    settings.setValue(QStringLiteral("interferenceEnabled"), interferenceEnabled);
    settings.setValue(QStringLiteral("interferenceSignalBelow"), interferenceSignalBelow);
    settings.setValue(QStringLiteral("sensorFailedEnabled"), sensorFailedEnabled);
    settings.setValue(QStringLiteral("sensorFailedPackets"), sensorFailedPackets);
    settings.setValue(QStringLiteral("clockOffEnabled"), clockOffEnabled);
    settings.setValue(QStringLiteral("clockOffMinutes"), clockOffMinutes);
    settings.setValue(QStringLiteral("pressureFallEnabled"), pressureFallEnabled);
    settings.setValue(QStringLiteral("pressureFallHpa"), pressureFallHpa);
    settings.endGroup();
}

int AlarmSettings::silenceLimitSeconds(int reportingIntervalSeconds) const
{
    if (noDataMinutes > 0)
        return noDataMinutes * 60;
    return std::max(0, 2 * reportingIntervalSeconds);
}
