// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/stationtime.h"

#include <array>

namespace {

constexpr int kFirstTimeByte = 2;
constexpr int kTimeBytes = 6;

// Tens and units digit of each of the six clock bytes, in header order.
struct ClockDigits
{
    std::array<int, kTimeBytes> tens{};
    std::array<int, kTimeBytes> units{};

    int value(int i) const { return tens[i] * 10 + units[i]; }
    // A month of 0 means the clock is not set; an impossible date or time
    // (a digit above 9, month 13, 31 April, 25:00) is no station time either.
    bool clockUsable() const
    {
        for (int i = 0; i < kTimeBytes; ++i) {
            if (units[i] > 9)
                return false;
        }
        return QDate::isValid(2000 + value(0), value(1), value(2)) &&
               QTime::isValid(value(3), value(4), value(5));
    }
};

ClockDigits decode(const QByteArray &header)
{
    ClockDigits digits;
    for (int i = 0; i < kTimeBytes; ++i) {
        const int pos = kFirstTimeByte + i;
        const uchar byte = pos < header.size() ? uchar(header.at(pos)) : 0;
        digits.tens[i] = (byte & 0x70) >> 4;
        digits.units[i] = byte & 0x0F;
    }
    return digits;
}

QString digitPair(const ClockDigits &digits, int i)
{
    return QString::number(digits.tens[i]) + QString::number(digits.units[i]);
}

} // namespace

QString StationTime::getDateTime(const QByteArray &header, const QDateTime &nowUtc)
{
    const ClockDigits digits = decode(header);
    if (!digits.clockUsable())
        return nowUtc.toString(QStringLiteral("yyMMdd_hhmmss")) + QStringLiteral("Z_PCtime");
    return digitPair(digits, 0) + digitPair(digits, 1) + digitPair(digits, 2) + QLatin1Char('_') +
           digitPair(digits, 3) + digitPair(digits, 4) + digitPair(digits, 5) + QStringLiteral("Z_KTRtime");
}

QString StationTime::getDateTimeSpectral(const QByteArray &header, const QDateTime &nowUtc)
{
    const ClockDigits digits = decode(header);
    if (!digits.clockUsable())
        return nowUtc.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")) + QStringLiteral("Z_PCtime");
    return digitPair(digits, 0) + QLatin1Char('/') + digitPair(digits, 1) + QLatin1Char('/') +
           digitPair(digits, 2) + QLatin1Char(',') + digitPair(digits, 3) + QLatin1Char('/') +
           digitPair(digits, 4) + QLatin1Char('/') + digitPair(digits, 5) + QStringLiteral("_KTRtime");
}
