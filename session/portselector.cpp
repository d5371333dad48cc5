// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/portselector.h"

#include "link/portmemory.h"
#include "link/seriallink.h"
#include "session/stationsession.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace {
QString remembered(QSettings *memory, bool station)
{
    if (!memory)
        return {};
    PortMemory ports(*memory);
    return station ? ports.stationPort() : ports.menuChoice();
}
} // namespace

PortSelector::PortSelector(StationSession *session, SerialLink *link, const QStringList &namedPorts,
                           bool systemPorts, QSettings *memory, QObject *parent)
    : QObject(parent), m_session(session), m_link(link), m_named(namedPorts), m_systemPorts(systemPorts),
      m_memory(memory), m_chooser(namedPorts, remembered(memory, true), remembered(memory, false)),
      m_stationIdentity(remembered(memory, true))
{
    connect(m_session, &StationSession::weatherReceived, this, &PortSelector::stationDataSeen);
    m_available = available();
    for (const PortInfo &port : qAsConst(m_available))
        m_ports << port.name;
}

QVector<PortInfo> PortSelector::available() const
{
    // A named port that has gone (a closed pseudo-terminal, an unplugged
    // adapter) is left out until it comes back.
    QStringList named;
    for (const QString &port : m_named) {
        if (QFileInfo::exists(port))
            named << port;
    }
    return PortScanner::availablePortInfos(named, m_systemPorts ? PortScanner::systemPortInfos()
                                                                : QVector<PortInfo>());
}

void PortSelector::scan()
{
    m_available = available();
    QStringList now;
    for (const PortInfo &port : qAsConst(m_available))
        now << port.name;
    QStringList added;
    QStringList removed;
    for (const QString &name : qAsConst(now)) {
        if (!m_ports.contains(name))
            added << name;
    }
    for (const QString &name : qAsConst(m_ports)) {
        if (!now.contains(name))
            removed << name;
    }
    m_ports = now;
    if (!added.isEmpty() || !removed.isEmpty())
        emit portsChanged(added, removed);

    // The replay stands in for the station while it runs.
    if (m_session->isReplaying() && m_link->isOpen())
        return;
    const bool open = m_session->link() == m_link && m_link->isOpen();
    const PortInfo next = m_chooser.nextCandidate(m_available, open ? m_link->name() : QString());
    if (!next.name.isEmpty())
        this->open(next.name);
}

void PortSelector::choose(const QString &name)
{
    for (const PortInfo &port : qAsConst(m_available)) {
        if (port.name == name) {
            m_chooser.noteMenuChoice(port);
            if (m_memory)
                PortMemory(*m_memory).storeMenuChoice(port);
        }
    }
    open(name);
}

void PortSelector::open(const QString &name)
{
    emit trying(name);
    // A port that keeps failing is tried every scan; the log says so once.
    if (name != m_lastTried)
        qDebug().noquote() << "Connecting to " + name;
    m_lastTried = name;
    m_link->close();
    m_link->setPortName(name);
    if (!m_session->connectLink(m_link))
        m_chooser.noteOpenFailed(name);
}

void PortSelector::stationDataSeen()
{
    if (m_session->isReplaying() || m_session->link() != m_link)
        return;
    for (const PortInfo &port : qAsConst(m_available)) {
        if (port.name != m_link->name())
            continue;
        m_chooser.noteStationData(port);
        // Stored only when it changes, not once per packet.
        if (m_memory && port.identity() != m_stationIdentity) {
            m_stationIdentity = port.identity();
            PortMemory(*m_memory).storeStationPort(port);
        }
    }
}
