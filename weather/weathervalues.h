// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Characters of a weather packet's text, or any text. A piece of a packet
// shares the packet's text and keeps where it stands in it, so that reading
// a packet copies no characters; a copy keeps the text alive.
class PacketText
{
public:
    PacketText() = default;
    explicit PacketText(const QString &text) : m_source(text), m_size(int(text.size())) {}
    // The characters [from, from + size) of a packet's text.
    static PacketText piece(const QString &packet, int from, int size)
    {
        // Nothing to show keeps no packet alive.
        if (size == 0)
            return {};
        PacketText text(packet);
        text.m_from = from;
        text.m_size = size;
        return text;
    }

    QString text() const { return m_size == 0 ? QString() : m_source.mid(m_from, m_size); }
    QStringView view() const { return QStringView(m_source).mid(m_from, m_size); }
    bool isEmpty() const { return m_size == 0; }

private:
    QString m_source;
    int m_from = 0;
    int m_size = 0;
};

// One reading of a weather packet: the station's own digits (g6 form for a
// computed quantity) and that text read as a number. The empty text is the
// one "no value" marker; its number is 0.
struct WeatherReading : PacketText
{
    WeatherReading() = default;
    WeatherReading(const PacketText &text, double number) : PacketText(text), value(number) {}
    WeatherReading(const QString &text, double number) : PacketText(text), value(number) {}

    double value = 0;
};

// Every value that the METAR, the CSV row and the data view take from one
// weather packet, read from it once (WeatherParser::values). Each member
// holds what the parser accessor of the same name returns.
struct WeatherValues
{
    QString imei;
    QString logTimestamp; // "20yy-MM-dd hh:mm:ss" or empty
    QString metarDayTime; // "DDhhmm" or "000000"
    QString mode;         // the reporting mode name, or empty

    WeatherReading battery, temperature, pressure, altimeter, humidity, elevation, lat, lon, orientation,
        tilt, windSpeed, windDir, gustSpeed, gustDir, lightningDist, lightningFreq, visibility, precip,
        signal; // "PW" field 4, the receiver's signal level
    QString precipType, interference, ceilometerHits, cloudLayers;

    WeatherReading dewPoint, heatIndex, windChill, stationPressure, pressureAlt, densityAlt;
    QString presentWeather;

    // "hhmm", "-" or empty, as WeatherParser::getPrecipTime and getLightningTime.
    QString precipBegan, precipEnded, lightningBegan, lightningEnded;

    // Fields as the station sent them, before any filter: the METAR decides
    // on the position, the altimeter group and lightning from these, and the
    // warnings from the signal level.
    PacketText latField, lonField, altimeterField, strikesField, signalField;
};
