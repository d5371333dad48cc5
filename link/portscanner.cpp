// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portscanner.h"

#include <QSerialPortInfo>

PortScanner::Result PortScanner::scan(const QStringList &actions, const QStringList &available, int currentPortIndex,
                                      const QString &currentPortName)
{
    Result result;
    result.actions = actions;
    bool chosen = currentPortIndex != kNoPort;

    for (const QString &name : available) {
        if (result.actions.contains(name))
            continue;
        result.log << QStringLiteral("Adding ") + name;
        result.added << name;
        result.actions << name;
    }

    if (result.actions.isEmpty()) {
        result.log << QStringLiteral("No COM port detected");
        return result;
    }

    for (const QString &name : actions) {
        if (available.contains(name))
            continue;
        result.log << QStringLiteral("Removing ") + name;
        if (name == currentPortName)
            chosen = false;
        result.removed << name;
        result.actions.removeOne(name);
    }

    if (chosen) {
        // Removing actions in front of the chosen one moves it up.
        const int index = result.actions.indexOf(currentPortName);
        result.portIndex = index >= 0 ? index : currentPortIndex;
        result.portName = currentPortName;
        return result;
    }
    if (result.actions.isEmpty())
        return result;

    result.portIndex = 0;
    result.portName = result.actions.first();
    result.connect = true;
    result.log << QStringLiteral("Connecting to first available port: ") + result.portName;
    return result;
}

QStringList PortScanner::availablePorts(const QStringList &extraPorts, const QStringList &systemPorts)
{
    QStringList ports;
    for (const QStringList *list : {&extraPorts, &systemPorts}) {
        for (const QString &name : *list) {
            if (!name.isEmpty() && !ports.contains(name))
                ports << name;
        }
    }
    return ports;
}

QStringList PortScanner::systemPorts()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

bool PortScanner::meansPortGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}
