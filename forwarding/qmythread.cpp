// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/qmythread.h"

#include "forwarding/mosbd_test.h"

QMyThread::QMyThread(const QByteArray &payload, const QString &ip, int port, const QByteArray &imei,
                     QObject *parent)
    : QThread(parent), m_payload(payload), m_ip(ip), m_port(port), m_imei(imei)
{
}

void QMyThread::run()
{
    // The client and its socket are created, used and destroyed on this thread.
    mosbd_test client;
    client.setup(m_imei, m_ip, m_port, m_payload);
    const bool result = client.connectAndSend();
    emit resultReady(result);
}
