// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/seriallink.h"

#include "link/portscanner.h"
#include "link/ttywakeup.h"

#include <QDebug>
#include <QSerialPort>

SerialLink::SerialLink(QObject *parent) : StationLink(parent), m_port(new QSerialPort(this))
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMs);
    connect(&m_gather, &QTimer::timeout, this, &SerialLink::gathered);
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        if (m_gather.isActive())
            return;
        if (m_ownMinBytes >= 0)
            TtyWakeup::setMinBytes(m_port->handle(), kGatherBytes);
        m_gather.start();
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!PortScanner::meansPortGone(error))
            return;
        qDebug().noquote() << "!!-- Error: " + QString::number(error);
        const QString reason = m_port->errorString();
        close();
        emit gone(reason);
    });
}

void SerialLink::setPortName(const QString &name)
{
    m_name = name;
    m_port->setPortName(name);
}

bool SerialLink::open()
{
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_ownMinBytes = TtyWakeup::minBytes(m_port->handle());
    return true;
}

void SerialLink::close()
{
    m_gather.stop();
    m_pending.clear();
    m_ownMinBytes = -1;
    if (m_port->isOpen())
        m_port->close();
}

void SerialLink::gathered()
{
    if (!m_port->isOpen())
        return;
    const int before = m_pending.size();
    // What the port has read comes before what is still on the line.
    m_pending += m_port->readAll();
    if (m_ownMinBytes >= 0)
        TtyWakeup::readAvailable(m_port->handle(), &m_pending);
    if (m_pending.size() > before) {
        // The line is busy: its next bytes are gathered without waking anyone.
        m_gather.start();
    } else if (m_ownMinBytes >= 0) {
        // A byte that comes after the read wakes the port again at once.
        TtyWakeup::setMinBytes(m_port->handle(), m_ownMinBytes);
    }
    // A pass in between may have taken everything already.
    if (!m_pending.isEmpty())
        emit readyRead();
}

bool SerialLink::isOpen() const
{
    return m_port->isOpen();
}

QString SerialLink::name() const
{
    return m_name;
}

QString SerialLink::errorText() const
{
    return m_port->errorString();
}

QByteArray SerialLink::readAll()
{
    QByteArray bytes;
    bytes.swap(m_pending);
    return bytes + m_port->readAll();
}

void SerialLink::write(const QByteArray &bytes)
{
    if (m_port->isOpen())
        m_port->write(bytes);
}

void SerialLink::flush()
{
    if (m_port->isOpen())
        m_port->flush();
}
