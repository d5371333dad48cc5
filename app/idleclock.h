// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the status bar shows as time passes: a new status message appears in
// near black and fades to light grey over the 20 s after it was set, and a
// clock counts the time since the last receive pass.
class IdleClock
{
public:
    static constexpr int kTickMs = 100;
    // After this many ticks without data the progress bar gives way to the message.
    static constexpr int kProgressHideTicks = 50;
    // The status message is cleared once both the data and the message are this old.
    static constexpr int kMessageClearTicks = 600;

    // The grey of a message set ticksSinceSet ticks ago (1 on the first tick
    // after it was set; 0 to 200 for each of red, green and blue), or -1 once
    // the fade has ended and the label is left alone. A message set after a
    // long silence fades just the same: the idle count plays no part.
    static int fadeGreySince(int ticksSinceSet);
    // The opening font tag of a message in that grey: "<font color='#vvvvvv'>".
    static QString fadeTag(int grey);
    // Whether the message should be cleared: the station has been silent for
    // a minute and the message is a minute old, so a fresh one is never lost.
    static bool messageExpired(int ticksSinceSet, int idleTicks);
    // "Idle:\t\thh:mm:ss.t"
    static QString idleText(int idleTicks);
};
