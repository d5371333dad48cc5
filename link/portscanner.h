// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portinfo.h"

#include <QSerialPort>
#include <QStringList>
#include <QVector>

// Chooses the port to open. No I/O of its own beyond reading the system's
// port list: the owner opens what it offers and reports back what became of
// each attempt.
//
// The choice, over the scans of one run: candidates are tried in the order of
// candidateOrder; a port that failed to open makes the next scan try the
// candidate after it (round robin, so one bad port never blocks the rest and
// is itself tried again); an open port is kept; and when the port that
// delivered station data comes back after it had gone, the scan returns to it
// from wherever it is, unless the user picked that port in the menu.
class PortScanner
{
public:
    static constexpr int kScanIntervalTicks = 20;
    // Scans that keep trying a station port that came back, before the
    // others get their turn again: a fresh device node may refuse to open
    // until the system has set it up.
    static constexpr int kStationReturnScans = 5;

    // The system's ports with what identifies their devices. The list is read
    // again only when the device folders have changed since the last call (on
    // Linux; elsewhere always).
    static QVector<PortInfo> systemPortInfos();
    // The named ports (as plain names) first, in their order, then the
    // system's ports that are not among them.
    static QVector<PortInfo> availablePortInfos(const QStringList &namedPorts,
                                                const QVector<PortInfo> &systemPorts);

    // The ports of available in the order they are tried: those named on the
    // command line, in their order; the user's menu choice; the port that last
    // delivered station data; the other USB ports; the rest. Choice and
    // station port are PortInfo identities, empty when not known.
    static QVector<PortInfo> candidateOrder(const QStringList &namedPorts, const QVector<PortInfo> &available,
                                            const QString &stationIdentity, const QString &choiceIdentity);

    explicit PortScanner(const QStringList &namedPorts = {}, const QString &stationIdentity = {},
                         const QString &choiceIdentity = {});

    // Every scan, once the port list is up to date: the port to open
    // now, or an info with an empty name to leave the link as it is.
    // openPort is the name of the port that is open now, empty when none is.
    PortInfo nextCandidate(const QVector<PortInfo> &available, const QString &openPort);
    // The port that nextCandidate (or the menu) gave did not open.
    void noteOpenFailed(const QString &name);
    // Station data arrived on this port: it is the station port from now on
    // (the window stores it in PortMemory as well).
    void noteStationData(const PortInfo &port);
    // The user picked this port in the menu.
    void noteMenuChoice(const PortInfo &port);
    QString stationIdentity() const { return m_station; }

    // Whether a port error means the device has gone (cable pulled, device
    // closed at the far end); the port must then be closed and the choice
    // cleared. Linux reports a vanished device as a read error or as a
    // resource error.
    static bool meansPortGone(QSerialPort::SerialPortError error);

private:
    PortInfo tryPort(const PortInfo &port);

    QStringList m_named;
    QString m_station;
    QString m_choice;
    QString m_pinned; // the port picked in the menu in this run
    QString m_lastTried;
    bool m_lastFailed = false;
    bool m_firstScan = true;
    bool m_stationSeen = false;
    int m_returnScans = 0;
};
