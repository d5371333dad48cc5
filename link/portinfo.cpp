// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portinfo.h"

#include <QSerialPortInfo>

PortInfo PortInfo::fromSerialPortInfo(const QSerialPortInfo &info)
{
    PortInfo port;
    port.name = info.portName();
    port.serialNumber = info.serialNumber();
    port.usb = info.hasVendorIdentifier() && info.hasProductIdentifier();
    if (port.usb) {
        port.vendorId = info.vendorIdentifier();
        port.productId = info.productIdentifier();
    }
    return port;
}

QString PortInfo::identity() const
{
    if (!usb)
        return QStringLiteral("name:") + name;
    const QString ids = QStringLiteral("usb:%1:%2")
                            .arg(vendorId, 4, 16, QLatin1Char('0'))
                            .arg(productId, 4, 16, QLatin1Char('0'));
    return serialNumber.isEmpty() ? ids : ids + QLatin1Char(':') + serialNumber;
}
