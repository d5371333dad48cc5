// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/memorylink.h"

MemoryLink::MemoryLink(const QString &name, QObject *parent) : StationLink(parent), m_name(name) {}

void MemoryLink::feed(const QByteArray &bytes)
{
    m_incoming += bytes;
    emit readyRead();
}

void MemoryLink::vanish()
{
    m_open = false;
    emit gone(QStringLiteral("No such device"));
}

bool MemoryLink::open()
{
    m_open = !m_openFails;
    return m_open;
}

void MemoryLink::close()
{
    m_open = false;
}

QString MemoryLink::errorText() const
{
    return m_openFails ? QStringLiteral("Permission denied") : QString();
}

QByteArray MemoryLink::readAll()
{
    QByteArray bytes;
    bytes.swap(m_incoming);
    return bytes;
}

void MemoryLink::write(const QByteArray &bytes)
{
    if (m_open)
        m_written += bytes;
}
