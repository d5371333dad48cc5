// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

// One forwarding attempt on a thread of its own. Everything the attempt needs
// is copied in; the outcome leaves only through resultReady. Typical use:
//   auto *attempt = new QMyThread(payload, ip, port, imei);
//   connect(attempt, &QMyThread::resultReady, this, [this](bool result) { ... });
//   connect(attempt, &QThread::finished, attempt, &QObject::deleteLater);
//   attempt->start();
class QMyThread : public QThread
{
    Q_OBJECT

public:
    QMyThread(const QByteArray &payload, const QString &ip, int port, const QByteArray &imei,
              QObject *parent = nullptr);

signals:
    void resultReady(bool result);

protected:
    void run() override;

private:
    const QByteArray m_payload;
    const QString m_ip;
    const int m_port;
    const QByteArray m_imei;
};
