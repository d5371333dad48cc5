// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forwarding/sbdmessage.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A forwarding receiver: accepts TCP connections and cuts the incoming bytes
// into SBD messages by their length field, however the stream is split.
// Each connection buffers at most one message.
class SbdReceiver : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 32;

    explicit SbdReceiver(QObject *parent = nullptr);
    ~SbdReceiver() override;

    // Port 0 picks a free port; serverPort() tells which.
    bool listen(const QHostAddress &address, quint16 port);
    quint16 serverPort() const;
    QHostAddress serverAddress() const;
    QString errorString() const;

signals:
    // peer: "address:port" of the sender.
    void messageReceived(const SbdMessage &message, const QString &peer);
    // Bytes that are not a message. A malformed message with a sound length
    // is skipped; a stream that does not start a message is dropped.
    void protocolError(const QString &text);

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void dropConnection(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
