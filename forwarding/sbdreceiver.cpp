// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/sbdreceiver.h"

#include <QTcpSocket>

namespace {
QString peerName(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
}
} // namespace

SbdReceiver::SbdReceiver(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<SbdMessage>();
    connect(&m_server, &QTcpServer::newConnection, this, &SbdReceiver::acceptConnections);
}

SbdReceiver::~SbdReceiver()
{
    // Closing the connections must not call back into a half-destroyed receiver.
    const QList<QTcpSocket *> sockets = m_buffers.keys();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

bool SbdReceiver::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

quint16 SbdReceiver::serverPort() const
{
    return m_server.serverPort();
}

QHostAddress SbdReceiver::serverAddress() const
{
    return m_server.serverAddress();
}

QString SbdReceiver::errorString() const
{
    return m_server.errorString();
}

void SbdReceiver::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_buffers.size() >= kMaxConnections) {
            emit protocolError(QStringLiteral("Too many connections, refusing %1").arg(peerName(socket)));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropConnection(socket); });
        readFrom(socket);
    }
}

void SbdReceiver::readFrom(QTcpSocket *socket)
{
    if (!m_buffers.contains(socket))
        return;
    const QString peer = peerName(socket);
    QByteArray buffer = m_buffers.take(socket);
    while (socket->bytesAvailable() > 0) {
        // Read no further than the end of the message at hand.
        const int length = SbdMessage::messageLength(buffer);
        const int wanted = (length > 0 ? length : SbdMessage::kProtocolHeaderBytes) - buffer.size();
        buffer += socket->read(wanted);

        const int known = SbdMessage::messageLength(buffer);
        if (known < 0) {
            emit protocolError(
                QStringLiteral("Not an SBD message from %1, closing the connection").arg(peer));
            socket->abort();
            socket->deleteLater();
            return;
        }
        if (known > 0 && buffer.size() == known) {
            SbdMessage message;
            if (SbdMessage::parse(buffer, &message))
                emit messageReceived(message, peer);
            else
                emit protocolError(QStringLiteral("Malformed SBD message of %1 bytes from %2 skipped")
                                       .arg(buffer.size())
                                       .arg(peer));
            buffer.clear();
        }
    }
    m_buffers.insert(socket, buffer);
}

void SbdReceiver::dropConnection(QTcpSocket *socket)
{
    const auto it = m_buffers.constFind(socket);
    if (it == m_buffers.constEnd())
        return;
    if (!it->isEmpty())
        emit protocolError(
            QStringLiteral("Connection closed with %1 bytes of an unfinished message").arg(it->size()));
    m_buffers.erase(it);
    socket->deleteLater();
}
