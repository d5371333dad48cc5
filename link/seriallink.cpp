// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/seriallink.h"

#include "link/portscanner.h"

#include <QDebug>
#include <QSerialPort>

SerialLink::SerialLink(QObject *parent) : StationLink(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &StationLink::readyRead);
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
    return m_port->open(QIODevice::ReadWrite);
}

void SerialLink::close()
{
    if (m_port->isOpen())
        m_port->close();
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
    return m_port->readAll();
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
