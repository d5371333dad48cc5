// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ktr-stationd/serviceconfig.h"

#include <QSettings>

namespace {
constexpr int kHoursPerDay = 24;

// An item's text (as in the window, case-insensitive) or its index.
int selectorIndex(const QSettings &file, const QString &key, const QStringList &items, QStringList *warnings)
{
    const QString value = file.value(key).toString().trimmed();
    if (value.isEmpty())
        return ConfigCommand::kNoCommandIndex;
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).compare(value, Qt::CaseInsensitive) == 0)
            return i;
    }
    bool ok = false;
    const int index = value.toInt(&ok);
    if (ok && index >= 0 && index < items.size())
        return index;
    warnings->append(
        QStringLiteral("%1: \"%2\" is none of: %3").arg(key, value, items.join(QStringLiteral(", "))));
    return ConfigCommand::kNoCommandIndex;
}

int number(const QSettings &file, const QString &key, int fallback, QStringList *warnings)
{
    if (!file.contains(key))
        return fallback;
    bool ok = false;
    const int value = file.value(key).toInt(&ok);
    if (ok)
        return value;
    warnings->append(QStringLiteral("%1: \"%2\" is not a number").arg(key, file.value(key).toString()));
    return fallback;
}
} // namespace

ServiceConfig ServiceConfig::load(const QSettings &file, QStringList *warnings)
{
    ServiceConfig config;
    config.dataDir = file.value(QStringLiteral("station/dataDir")).toString();
    for (const QString &port : file.value(QStringLiteral("station/ports")).toStringList()) {
        if (!port.trimmed().isEmpty())
            config.ports.append(port.trimmed());
    }
    config.logging = file.value(QStringLiteral("station/logging"), true).toBool();

    ConfigSelection &s = config.selection;
    s.reporting =
        selectorIndex(file, QStringLiteral("commands/reporting"), ConfigCommand::reportingItems(), warnings);
    s.ceilometer =
        selectorIndex(file, QStringLiteral("commands/ceilometer"), ConfigCommand::ceilItems(), warnings);
    s.speci = selectorIndex(file, QStringLiteral("commands/speci"), ConfigCommand::speciItems(), warnings);
    s.gps = selectorIndex(file, QStringLiteral("commands/gps"), ConfigCommand::gpsItems(), warnings);
    s.camera = selectorIndex(file, QStringLiteral("commands/camera"), ConfigCommand::imgItems(), warnings);
    s.audio = selectorIndex(file, QStringLiteral("commands/audio"), ConfigCommand::audioItems(), warnings);
    s.elevation = number(file, QStringLiteral("commands/elevation"), 0, warnings);
    s.cameraNumber = number(file, QStringLiteral("commands/cameraNumber"), 1, warnings);
    s.audioOffset = number(file, QStringLiteral("commands/audioOffset"), 0, warnings);
    const QString hours =
        file.value(QStringLiteral("commands/autoImageHours")).toStringList().join(QLatin1Char(','));
    if (!autoImageCommand(hours, &s.autoImageCommand))
        warnings->append(
            QStringLiteral("commands/autoImageHours: \"%1\" is not a list of hours 0 to 23").arg(hours));

    config.mqtt = MqttSettings::load(file);
    return config;
}

bool ServiceConfig::autoImageCommand(const QString &hours, QByteArray *command)
{
    bool chosen[kHoursPerDay] = {};
    for (const QString &part : hours.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int hour = part.trimmed().toInt(&ok);
        if (!ok || hour < 0 || hour >= kHoursPerDay)
            return false;
        chosen[hour] = true;
    }
    command->clear();
    for (int hour = 0; hour < kHoursPerDay; ++hour) {
        if (chosen[hour])
            *command += QByteArray("i") + QByteArray::number(hour).rightJustified(2, '0') + '\r';
    }
    return true;
}
