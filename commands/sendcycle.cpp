// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/sendcycle.h"

SendCycle::PressResult SendCycle::press(const QByteArray &snapshot)
{
    m_pending = !m_pending;
    if (m_pending) {
        m_status = QStringLiteral("Sending Config Request...");
        m_queued = snapshot;
    } else {
        m_status.clear();
        m_queued.clear();
    }
    return {m_pending, m_status, caption()};
}

void SendCycle::requeue(const QByteArray &snapshot)
{
    if (m_pending)
        m_queued = snapshot;
}

QByteArray SendCycle::tickBytes()
{
    if (!m_outgoing.isEmpty()) {
        const QByteArray next = m_outgoing.left(1);
        m_outgoing.remove(0, 1);
        return next;
    }
    if (m_pending)
        return QByteArray(kPokeSpaceBytes, ' ');
    return {};
}

void SendCycle::powerUpSeen()
{
    m_status = QStringLiteral("KTR Power-up");
    m_outgoing = QByteArray(kPowerUpSpaceBytes, ' ');
}

QByteArray SendCycle::handOver(const QByteArray &currentSelection)
{
    m_outgoing = m_pending ? m_queued : currentSelection;
    // Ends the request exactly like a press of the button on a pending one.
    m_pending = true;
    press({});
    m_status = QStringLiteral("KTR Configured");
    return m_outgoing;
}

QString SendCycle::caption() const
{
    return m_pending ? QStringLiteral("Cancel Send Request") : QStringLiteral("Send Command");
}
