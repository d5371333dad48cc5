// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the status bar shows as time passes without station data: the status
// message fades from near black to light grey over 20 s, and a clock counts
// the time since the last receive pass.
class IdleClock
{
public:
    static constexpr int kTickMs = 100;
    // After this many ticks without data the progress bar gives way to the message.
    static constexpr int kProgressHideTicks = 50;
    // After this many ticks without data the status message is cleared.
    static constexpr int kMessageClearTicks = 600;

    // The opening font tag for the message after idleTicks ticks, or an empty
    // text once the fade has ended and the label is left alone.
    static QString fadeTag(int idleTicks);
    // "Idle:\t\thh:mm:ss.t"
    static QString idleText(int idleTicks);
};
