// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QStringList>

// Keeps the port menu in step with the ports that exist and picks the port to
// connect to when none is chosen. Pure: the window applies the result to its
// action group and writes the log lines as debug messages.
class PortScanner
{
public:
    static constexpr int kScanIntervalTicks = 20;
    static constexpr int kNoPort = -1;

    struct Result
    {
        QStringList added;   // new actions, appended to the group in this order
        QStringList removed; // actions to hide and take out of the group
        QStringList actions; // the group afterwards, in order
        int portIndex = kNoPort;
        QString portName;
        bool connect = false; // check actions[portIndex] and open it
        QStringList log;      // the debug lines, in order
    };

    // actions: the names of the group's actions in group order; available:
    // the ports that exist now (see availablePorts).
    static Result scan(const QStringList &actions, const QStringList &available, int currentPortIndex,
                       const QString &currentPortName);

    // The ports named on the command line first, in their order, then the
    // system's ports that are not among them.
    static QStringList availablePorts(const QStringList &extraPorts, const QStringList &systemPorts);
    // The system's port names. They are read again only when the device
    // folders have changed since the last call (on Linux; elsewhere always).
    static QStringList systemPorts();

    // Whether a port error means the device has gone (cable pulled, device
    // closed at the far end); the port must then be closed and the choice
    // cleared. Linux reports a vanished device as a read error or as a
    // resource error.
    static bool meansPortGone(QSerialPort::SerialPortError error);
};
