// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/idleclock.h"

#include <cmath>

namespace {
constexpr int kFadeEndGrey = 200;
}

int IdleClock::fadeGreySince(int ticksSinceSet)
{
    const int grey = static_cast<int>(std::sqrt(200.0 * std::max(ticksSinceSet, 0)));
    return grey > kFadeEndGrey ? -1 : grey;
}

QString IdleClock::fadeTag(int grey)
{
    return QString::asprintf("<font color='#%02x%02x%02x'>", grey, grey, grey);
}

bool IdleClock::messageExpired(int ticksSinceSet, int idleTicks)
{
    return ticksSinceSet > kMessageClearTicks && idleTicks > kMessageClearTicks;
}

QString IdleClock::idleText(int idleTicks)
{
    const int t = std::max(idleTicks, 0);
    return QStringLiteral("Idle:\t\t") +
           QString::asprintf("%02d:%02d:%02d.%01d", t / 36000, (t / 600) % 60, (t / 10) % 60, t % 10);
}
