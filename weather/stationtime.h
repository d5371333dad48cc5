// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// File-name time stamps from the station clock in a binary packet header.
//
// Bytes 2 to 7 of the header hold year, month, day, hour, minute and second,
// each packed decimal (tens in bits 4-6, units in bits 0-3, bit 7 ignored).
// A month of 0 means the station clock is not set; the stamp is then taken
// from nowUtc and says so in its suffix. So it is for an impossible date or
// time (a digit above 9, month 13, 30 February). Bytes the header lacks
// count as 0.
class StationTime
{
public:
    // "yyMMdd_hhmmssZ_KTRtime", or nowUtc as "yyMMdd_hhmmssZ_PCtime".
    static QString getDateTime(const QByteArray &header, const QDateTime &nowUtc);
    // "yy/MM/dd,hh/mm/ss_KTRtime", or nowUtc as "yy/MM/dd,hh:mm:ssZ_PCtime".
    static QString getDateTimeSpectral(const QByteArray &header, const QDateTime &nowUtc);
};
