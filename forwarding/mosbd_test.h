// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

// TCP client for one forwarding attempt: connects to the receiver, sends one
// SBD message around the payload and judges the outcome. Used synchronously
// on a thread without an event loop (blocking waits only).
class mosbd_test : public QObject
{
    Q_OBJECT

public:
    // Looking up the receiver's name and connecting to it share this limit.
    static constexpr int kConnectWaitMs = 1500;
    // From the connection on: the message leaves and the receiver closes.
    static constexpr int kDrainWaitMs = 5000;

    explicit mosbd_test(QObject *parent = nullptr);

    // The port is used as a 16-bit value (taken modulo 65536).
    void setup(const QByteArray &imei, const QString &ip, int port, const QByteArray &payload);

    // True only when every byte of the message was written and the receiver
    // then closed the connection in order: a reset, an error or a receiver
    // that does not close in time is a failure.
    bool connectAndSend();

public slots:
    void connected();
    void disconnected();
    void bytesWritten(qint64 bytes);

private:
    bool connectWithin(int timeoutMs);
    bool receiverConfirms(int timeoutMs);

    QTcpSocket *m_socket = nullptr;
    bool m_connected = false;
    bool m_done = false;
    QByteArray m_imei;
    QByteArray m_payload; // replaced by the whole message once connected
    QString m_ip;
    int m_port = 0;
    qint64 m_bytesToWrite = 0;
};
