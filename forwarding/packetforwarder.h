// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// What the station session asks of data forwarding, in the order of a
// receive pass. The forwarding controller answers; without one nothing is
// forwarded.
class PacketForwarder
{
public:
    virtual ~PacketForwarder() = default;

    // Forwarding is switched on.
    virtual bool isForwarding() const = 0;
    // Whether this weather packet goes out now (mode digit and receive buffer
    // decide, with the forwarding window in the fast modes).
    virtual bool isSendable(int modeDigit, const QByteArray &buffer) const = 0;
    // Starts a delivery of the payload for the station with this IMEI.
    virtual void forward(const QByteArray &payload, const QByteArray &imei) = 0;
    // A configuration request was made or handed over: the forwarding
    // timer starts again.
    virtual void commandRequested() = 0;
};
