// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portinfo.h"
#include "link/portscanner.h"

#include <QObject>
#include <QStringList>
#include <QVector>

class QSettings;
class SerialLink;
class StationSession;

// Finds the station's port and keeps the session on it: every scan brings
// the list of ports up to date and opens the next candidate when none is
// open (named ports, the user's choice, the port that last delivered station
// data, USB ports, the rest); a port that does not open is passed by, and the
// station's port is taken back when it returns. What identifies the station's
// port and the user's choice is remembered in the settings across runs.
class PortSelector : public QObject
{
    Q_OBJECT

public:
    // memory: where the station port and the menu choice are kept; may be null.
    PortSelector(StationSession *session, SerialLink *link, const QStringList &namedPorts, bool systemPorts,
                 QSettings *memory, QObject *parent = nullptr);

    QStringList ports() const { return m_ports; }

public slots:
    void scan();
    // The user picked a port.
    void choose(const QString &name);

signals:
    void portsChanged(const QStringList &added, const QStringList &removed);
    void trying(const QString &name);

private:
    QVector<PortInfo> available() const;
    void open(const QString &name);
    void stationDataSeen();

    StationSession *m_session;
    SerialLink *m_link;
    QStringList m_named;
    bool m_systemPorts;
    QSettings *m_memory;
    PortScanner m_chooser;
    QVector<PortInfo> m_available;
    QStringList m_ports;
    QString m_stationIdentity;
    QString m_lastTried;
};
