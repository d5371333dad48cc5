// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/stationlink.h"

#include <QTimer>

class QSerialPort;

// The station's USB serial line. What arrives is gathered for kGatherMs from
// its first byte and then handed on as one chunk, and so on every kGatherMs
// for as long as bytes keep coming: a line that brings a byte at a time wakes
// the session once per chunk, not once per byte. While it gathers, the
// terminal is told not to report fewer than kGatherBytes bytes (Unix), so the
// bytes of the chunk do not wake the program either; the first period that
// brings nothing puts the terminal's own setting back, so the next byte after
// a silence (a prompt) wakes it at once. Framing decides nothing on a scale
// near kGatherMs (the idle gap is 500 ms, the "SND" wait 250 ms).
class SerialLink : public StationLink
{
    Q_OBJECT

public:
    static constexpr int kGatherMs = 20;
    static constexpr int kGatherBytes = 255;

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
    void gathered();

    QSerialPort *m_port;
    QTimer m_gather;
    QByteArray m_pending;   // read off the line, not yet handed on
    int m_ownMinBytes = -1; // the terminal's setting, -1 where there is none
    // As the user named it: the port reports "/dev/ttyUSB0" as "ttyUSB0".
    QString m_name;
};
