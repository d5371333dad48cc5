// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portscanner.h"

#include <QMutex>
#include <QSerialPortInfo>
#include <algorithm>

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

QVector<PortInfo> PortScanner::systemPortInfos()
{
    static QMutex mutex;
    static QByteArray lastFingerprint;
    static QVector<PortInfo> lastPorts;
    QMutexLocker lock(&mutex);
    const QByteArray fingerprint = deviceFingerprint();
    if (!fingerprint.isEmpty() && fingerprint == lastFingerprint)
        return lastPorts;

    QVector<PortInfo> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports << PortInfo::fromSerialPortInfo(info);
    lastFingerprint = fingerprint;
    lastPorts = ports;
    return ports;
}

QVector<PortInfo> PortScanner::availablePortInfos(const QStringList &namedPorts,
                                                  const QVector<PortInfo> &systemPorts)
{
    QVector<PortInfo> ports;
    QStringList names;
    for (const QString &name : namedPorts) {
        if (!name.isEmpty() && !names.contains(name)) {
            names << name;
            ports << PortInfo{name, QString(), 0, 0, false};
        }
    }
    for (const PortInfo &port : systemPorts) {
        if (!port.name.isEmpty() && !names.contains(port.name)) {
            names << port.name;
            ports << port;
        }
    }
    return ports;
}

QVector<PortInfo> PortScanner::candidateOrder(const QStringList &namedPorts,
                                              const QVector<PortInfo> &available,
                                              const QString &stationIdentity, const QString &choiceIdentity)
{
    QVector<PortInfo> order;
    QStringList taken;
    const auto take = [&](const PortInfo &port) {
        if (!taken.contains(port.name)) {
            taken << port.name;
            order << port;
        }
    };
    for (const QString &name : namedPorts) {
        for (const PortInfo &port : available) {
            if (port.name == name)
                take(port);
        }
    }
    for (const QString &identity : {choiceIdentity, stationIdentity}) {
        for (const PortInfo &port : available) {
            if (!identity.isEmpty() && port.identity() == identity) {
                take(port);
                break;
            }
        }
    }
    for (const bool usb : {true, false}) {
        for (const PortInfo &port : available) {
            if (port.usb == usb)
                take(port);
        }
    }
    return order;
}

PortScanner::PortScanner(const QStringList &namedPorts, const QString &stationIdentity,
                         const QString &choiceIdentity)
    : m_named(namedPorts), m_station(stationIdentity), m_choice(choiceIdentity)
{
}

PortInfo PortScanner::nextCandidate(const QVector<PortInfo> &available, const QString &openPort)
{
    const QVector<PortInfo> order = candidateOrder(m_named, available, m_station, m_choice);
    const auto station = std::find_if(order.cbegin(), order.cend(), [this](const PortInfo &port) {
        return !m_station.isEmpty() && port.identity() == m_station;
    });
    const bool stationPresent = station != order.cend();
    if (!stationPresent)
        m_returnScans = 0;
    else if (!m_stationSeen && !m_firstScan)
        m_returnScans = kStationReturnScans;
    m_stationSeen = stationPresent;
    m_firstScan = false;

    if (m_returnScans > 0) {
        if (station->name == openPort) {
            m_returnScans = 0;
            return {};
        }
        if (openPort.isEmpty() || openPort != m_pinned) {
            --m_returnScans;
            return tryPort(*station);
        }
    }

    const bool stillThere = std::any_of(order.cbegin(), order.cend(),
                                        [&openPort](const PortInfo &port) { return port.name == openPort; });
    if (!openPort.isEmpty() && stillThere)
        return {};
    if (order.isEmpty())
        return {};
    int next = 0;
    if (m_lastFailed) {
        const auto failed = std::find_if(order.cbegin(), order.cend(),
                                         [this](const PortInfo &port) { return port.name == m_lastTried; });
        if (failed != order.cend())
            next = int((failed - order.cbegin() + 1) % order.size());
    }
    return tryPort(order.at(next));
}

PortInfo PortScanner::tryPort(const PortInfo &port)
{
    m_lastTried = port.name;
    m_lastFailed = false;
    return port;
}

void PortScanner::noteOpenFailed(const QString &name)
{
    m_lastTried = name;
    m_lastFailed = true;
}

void PortScanner::noteStationData(const PortInfo &port)
{
    m_station = port.identity();
    m_stationSeen = true;
}

void PortScanner::noteMenuChoice(const PortInfo &port)
{
    m_choice = port.identity();
    m_pinned = port.name;
}

bool PortScanner::meansPortGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}
