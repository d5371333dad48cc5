// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSerialPortInfo;

// What the port choice knows of one serial port: its name and, for a USB
// adapter, what finds the same device again when it comes back under
// another name.
struct PortInfo
{
    QString name;
    QString serialNumber;
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool usb = false;

    static PortInfo fromSerialPortInfo(const QSerialPortInfo &info);

    // "usb:vvvv:pppp:<serial number>" for a USB adapter with a serial number,
    // "usb:vvvv:pppp" for one without, "name:<name>" for any other port.
    QString identity() const;
};
