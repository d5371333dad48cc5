// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingpolicy.h"

#include <QtGlobal>

namespace {
constexpr int kLastSlowModeDigit = 3;
}

int ForwardingPolicy::modeDigit(const QString &modeField)
{
    bool ok = false;
    const int digit = modeField.toInt(&ok, 10);
    return ok ? digit : 0;
}

bool ForwardingPolicy::isFastMode(int modeDigit)
{
    return modeDigit > kLastSlowModeDigit;
}

bool ForwardingPolicy::isSendable(int modeDigit, const QByteArray &receiveBuffer, bool windowOpen)
{
    if (isFastMode(modeDigit))
        return windowOpen;
    // The marker holds the packet's end marker "~" as well.
    return receiveBuffer.startsWith("@I") && receiveBuffer.contains("~\r\nSND");
}

QString ForwardingPolicy::countdownText(int modeDigit, int remainingMs)
{
    if (!isFastMode(modeDigit))
        return QStringLiteral(
            "<span style=\" color:#000000;\">Data Forwarding will occur inline with the selected "
            "Reporting Mode</span>");
    return QStringLiteral(
               "<span style=\" color:#000000;\">Time remaining before next forwarding: %1 secs</span>")
        .arg(qMax(0, remainingMs) / 1000);
}
