// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/mosbd_test.h"

#include "forwarding/sbdmessage.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QTcpSocket>

mosbd_test::mosbd_test(QObject *parent) : QObject(parent) {}

void mosbd_test::setup(const QByteArray &imei, const QString &ip, int port, const QByteArray &payload)
{
    m_imei = imei;
    m_ip = ip;
    m_port = port;
    m_payload = payload;
}

bool mosbd_test::connectAndSend()
{
    if (m_payload.size() > SbdMessage::kMaxPayloadBytes) {
        qDebug().noquote() << "!!-- Error: Payload of" << m_payload.size() << "bytes is too large to forward";
        return false;
    }

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &mosbd_test::connected);
    connect(m_socket, &QTcpSocket::disconnected, this, &mosbd_test::disconnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &mosbd_test::bytesWritten);

    m_socket->connectToHost(m_ip, quint16(m_port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    m_socket->waitForConnected(kConnectWaitMs);
    if (!m_connected) {
        qDebug().noquote() << "!!-- Error: Failed to connect to receiver";
        return false;
    }

    // connected() has queued the message; without an event loop it only
    // leaves the socket inside these waits.
    QElapsedTimer drain;
    drain.start();
    while (!m_done && m_socket->state() == QAbstractSocket::ConnectedState) {
        const qint64 leftMs = kDrainWaitMs - drain.elapsed();
        if (leftMs <= 0 || !m_socket->waitForBytesWritten(int(leftMs)))
            break;
    }

    if (!m_done) {
        const QString reason =
            m_socket->error() == QAbstractSocket::UnknownSocketError
                ? QStringLiteral("Message not sent completely within %1 ms").arg(kDrainWaitMs)
                : m_socket->errorString();
        qDebug().noquote() << "!!-- Error: " + reason;
        m_socket->abort();
        return false;
    }
    m_socket->disconnectFromHost();
    qDebug().noquote() << "Data successfully sent";
    return true;
}

void mosbd_test::connected()
{
    m_connected = true;
    const auto sendTime = quint32(QDateTime::currentSecsSinceEpoch());
    m_payload = SbdMessage::build(SbdMessage::nextCounter(), m_imei, sendTime, m_payload);
    m_bytesToWrite = m_payload.size();
    m_socket->write(m_payload);
    qDebug().noquote() << "Connected to" << m_ip << ":" << quint16(m_port) << "(Sent" << m_payload.size()
                       << "bytes)";
}

// A closed connection or a partial write proves nothing; the attempt is done
// only once the last byte of the message has been written.
void mosbd_test::disconnected()
{
    m_done = m_connected && m_bytesToWrite == 0;
}

void mosbd_test::bytesWritten(qint64 bytes)
{
    m_bytesToWrite -= bytes;
    m_done = m_bytesToWrite == 0;
}
