// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/configcommand.h"
#include "publishing/mqttsettings.h"

#include <QString>
#include <QStringList>

class QSettings;

// What the service runs with: the settings file, overridden by the command
// line. The file's groups: [station] (dataDir, ports, logging), [commands]
// (the configuration sent at every power-up, as the window's selectors),
// [mqtt] (MqttSettings) and, as the window keeps them, the forwarding keys
// forwardingIp, forwardingPort and enableForwarding (ForwardingSettings).
struct ServiceConfig
{
    QString settingsFile; // empty: no file, so no forwarding
    QString dataDir;
    QStringList ports; // empty: every serial port the system lists
    bool logging = true;
    ConfigSelection selection;
    MqttSettings mqtt;

    // Reads the file's values; problems (an unknown selector item, ...) are
    // appended to *warnings and leave the default.
    static ServiceConfig load(const QSettings &file, QStringList *warnings);

    // The configuration command sent at the station's prompt.
    QByteArray command() const { return ConfigCommand::build(selection); }

    // "0,6,18" -> "i00\ri06\ri18\r"; false for anything but hours 0 to 23.
    static bool autoImageCommand(const QString &hours, QByteArray *command);
};
