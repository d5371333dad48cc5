// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/mosbd_test.h"

#include "forwarding/netplatform.h"
#include "forwarding/sbdmessage.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
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

    if (!connectWithin(kConnectWaitMs)) {
        qDebug().noquote() << "!!-- Error: Failed to connect to receiver";
        return false;
    }
    const bool delivered = receiverConfirms(kDrainWaitMs);
    m_socket->abort();
    if (delivered)
        qDebug().noquote() << "Data successfully sent";
    return delivered;
}

// The name lookup counts against the limit too: a resolver that does not
// answer must not hold the attempt longer than an unreachable receiver.
bool mosbd_test::connectWithin(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString error;
    const QList<QHostAddress> addresses = NetPlatform::resolve(m_ip, timeoutMs, &error);
    if (addresses.isEmpty())
        qDebug().noquote() << "!!-- Error: " + error;
    for (const QHostAddress &address : addresses) {
        if (deadline.hasExpired())
            break;
        m_socket->connectToHost(address, quint16(m_port), QIODevice::ReadWrite);
        m_socket->waitForConnected(int(deadline.remainingTime()));
        if (m_connected)
            return true;
        m_socket->abort();
    }
    return false;
}

bool mosbd_test::receiverConfirms(int timeoutMs)
{
    // connected() has queued the message; without an event loop it only
    // leaves the socket inside these waits.
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_done && m_socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    if (!m_done || m_socket->state() != QAbstractSocket::ConnectedState) {
        const QString reason = m_socket->error() == QAbstractSocket::UnknownSocketError
                                   ? QStringLiteral("Message not sent completely within %1 ms").arg(timeoutMs)
                                   : m_socket->errorString();
        qDebug().noquote() << "!!-- Error: " + reason;
        return false;
    }

    // Written to the local socket proves nothing: only a receiver that took
    // every byte and then closed in order has the message.
    QString error;
    switch (NetPlatform::finishSending(m_socket->socketDescriptor(), int(deadline.remainingTime()), &error)) {
    case NetPlatform::PeerEnd::Closed:
        return true;
    case NetPlatform::PeerEnd::Reset:
        error = QStringLiteral("The receiver reset the connection");
        break;
    case NetPlatform::PeerEnd::TimedOut:
        error = QStringLiteral("The receiver did not close the connection within %1 ms").arg(timeoutMs);
        break;
    case NetPlatform::PeerEnd::Failed:
        break;
    }
    qDebug().noquote() << "!!-- Error: " + error;
    return false;
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

// A closed connection or a partial write proves nothing; the message is out
// of this socket only once its last byte has been written.
void mosbd_test::disconnected()
{
    m_done = m_connected && m_bytesToWrite == 0;
}

void mosbd_test::bytesWritten(qint64 bytes)
{
    m_bytesToWrite -= bytes;
    m_done = m_bytesToWrite == 0;
}
