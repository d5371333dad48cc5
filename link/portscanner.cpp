// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portscanner.h"

#include <QMutex>
#include <QSerialPortInfo>

#ifdef Q_OS_LINUX
#include <dirent.h>
#endif

namespace {
// The names in the folders where serial devices appear and go. The system's
// port list reads thousands of files in /sys for every look; these two
// folders tell in a few system calls whether anything can have changed.
// Without them every look reads the list again.
QByteArray deviceFingerprint()
{
    QByteArray names;
#ifdef Q_OS_LINUX
    for (const char *folder : {"/dev", "/sys/class/tty"}) {
        DIR *dir = opendir(folder);
        if (!dir)
            return QByteArray();
        while (const dirent *entry = readdir(dir)) {
            names += entry->d_name;
            names += '/';
        }
        closedir(dir);
        names += '\n';
    }
#endif
    return names;
}
} // namespace

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
    static QMutex mutex;
    static QByteArray lastFingerprint;
    static QStringList lastNames;
    QMutexLocker lock(&mutex);
    const QByteArray fingerprint = deviceFingerprint();
    if (!fingerprint.isEmpty() && fingerprint == lastFingerprint)
        return lastNames;

    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    lastFingerprint = fingerprint;
    lastNames = names;
    return names;
}

bool PortScanner::meansPortGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}
