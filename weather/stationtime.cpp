// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/stationtime.h"

#include <array>

namespace {

constexpr int kFirstTimeByte = 2;
constexpr int kTimeBytes = 6;
constexpr int kMonthByte = 1;

// Tens and units digit of each of the six clock bytes, in header order.
struct ClockDigits
{
    std::array<int, kTimeBytes> tens{};
    std::array<int, kTimeBytes> units{};

    bool clockSet() const { return tens[kMonthByte] != 0 || units[kMonthByte] != 0; }
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

// The digits as unpadded decimal numbers: a units nibble above 9 is written
// as it is ("15"), the way the station's clock bytes have always been shown.
QString digitPair(const ClockDigits &digits, int i)
{
    return QString::number(digits.tens[i]) + QString::number(digits.units[i]);
}

} // namespace

QString StationTime::getDateTime(const QByteArray &header, const QDateTime &nowUtc)
{
    const ClockDigits digits = decode(header);
    if (!digits.clockSet())
        return nowUtc.toString(QStringLiteral("yyMMdd_hhmmss")) + QStringLiteral("Z_PCtime");
    return digitPair(digits, 0) + digitPair(digits, 1) + digitPair(digits, 2) + QLatin1Char('_') +
           digitPair(digits, 3) + digitPair(digits, 4) + digitPair(digits, 5) + QStringLiteral("Z_KTRtime");
}

QString StationTime::getDateTimeSpectral(const QByteArray &header, const QDateTime &nowUtc)
{
    const ClockDigits digits = decode(header);
    if (!digits.clockSet())
        return nowUtc.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")) + QStringLiteral("Z_PCtime");
    return digitPair(digits, 0) + QLatin1Char('/') + digitPair(digits, 1) + QLatin1Char('/') +
           digitPair(digits, 2) + QLatin1Char(',') + digitPair(digits, 3) + QLatin1Char('/') +
           digitPair(digits, 4) + QLatin1Char('/') + digitPair(digits, 5) + QStringLiteral("_KTRtime");
}
