// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/stationlink.h"

class QSerialPort;

// The station's USB serial line.
class SerialLink : public StationLink
{
    Q_OBJECT

public:
    explicit SerialLink(QObject *parent = nullptr);

    void setPortName(const QString &name);

    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString name() const override;
    QString errorText() const override;
    QByteArray readAll() override;
    void write(const QByteArray &bytes) override;
    void flush() override;

private:
    QSerialPort *m_port;
    // As the user named it: the port reports "/dev/ttyUSB0" as "ttyUSB0".
    QString m_name;
};
