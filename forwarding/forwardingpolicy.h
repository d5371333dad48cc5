// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Which weather packets are forwarded. In the slow reporting modes the station
// marks a packet it sends over its own modem with an "SND" line, and exactly
// those are forwarded; in the fast modes (modem off) one packet per
// forwarding interval goes, while the forwarding window is open.
class ForwardingPolicy
{
public:
    static constexpr int kForwardingIntervalMs = 285000;

    // The reporting-mode digit from the text of the "B" field 1; 0 when the
    // text is empty or not a base-10 number.
    static int modeDigit(const QString &modeField);

    // "1 Minute", "20 Second" and "10 Second".
    static bool isFastMode(int modeDigit);

    static bool isSendable(int modeDigit, const QByteArray &receiveBuffer, bool windowOpen);

    // Rich text for the countdown label; remainingMs of a stopped timer (-1) counts as 0.
    static QString countdownText(int modeDigit, int remainingMs);
};
