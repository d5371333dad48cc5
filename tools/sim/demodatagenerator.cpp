// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/demodatagenerator.h"

#include "tools/sim/camerapictures.h"
#include "tools/sim/jpegencoder.h"
#include "tools/sim/weathergenerator.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kIntervalMinutes = 30;
constexpr int kSecondsPastMinute = 14;      // the station takes a moment to read its sensors
constexpr qint64 kSlotWindowSecs = 55 * 60; // begin/end letters name the last hour only
constexpr int kPictureHhmm = 1802;

enum Flag : unsigned
{
    Aux = 1u << 0,              // the auxiliary "@3" part follows the weather part
    NoGpsFix = 1u << 1,         // "LA:?" and "LO:?"
    CeilometerOff = 1u << 2,    // switched off by command
    CeilometerSilent = 1u << 3, // does not answer: status "?"
    SensorsMissing = 1u << 4,   // temperature, humidity and wind read "?"
};

struct Transmission
{
    int hhmm; // UTC time of the packet
    int mode; // reporting mode digit
    double airC;
    int humidity;
    double windKnots; // 0: calm
    int windDegrees;  // below 0: no direction ("?")
    double gustKnots;
    int gustDegrees;
    double lightningMiles;
    int strikes; // 0: no lightning
    double rainInchesPerHour;
    double visibilityMiles;
    std::array<int, 3> cloudMetres; // 0 ends the list; none at all: no cloud detected
    double batteryVolts;            // 0: as the station measures it
    int signal;                     // precipitation sensor signal; 0: as the station measures it
    unsigned flags;
    const char *what;
};

// clang-format off
const Transmission kDay[] = {
    // hhmm mode  airC  RH  wind dir  gust dir  ltgMi strikes rain  vis   clouds m          batt  sig flags
    {    2, 3, 22.4, 94, 24, 290, 45, 310,  2.1, 28, 0.72,  1.2, { 450, 1300,    0}, 0,    0, Aux,
        "thunderstorm overhead (TS, frequent lightning), heavy rain with mist (+RA BR), auxiliary @3 part"},
    {   32, 3, 20.8, 96, 15, 300, 28, 320,  4.2, 11, 0.28,  3.0, { 600, 1500,    0}, 0,    0, 0,
        "thunderstorm, moderate rain (RA), occasional lightning"},
    {  102, 3, 20.1, 97,  9, 310, 16, 320, 11.5,  4, 0.06,  6.0, { 900, 2200,    0}, 0,    0, 0,
        "light rain (-RA), storm moving away (LTG DSNT)"},
    {  132, 2, 19.6, 98,  6, 320, 10, 330,  0.0,  0, 0.00,  2.0, {1200,    0,    0}, 0,    0, 0,
        "rain over, mist (BR); reporting every 20 minutes again"},
    {  202, 2, 18.7, 92,  8, 330, 13, 340,  0.0,  0, 0.00,  7.0, {2100,    0,    0}, 0,    0, 0,
        "clearing"},
    {  232, 2, 16.2, 78, 13, 350, 22, 360,  0.0,  0, 0.00, 10.0, {1800,    0,    0}, 0,    0, 0,
        "cold front: north wind, gusts"},
    {  302, 2, 14.5, 70, 15, 360, 24, 350,  0.0,  0, 0.00, 10.0, {2400, 4100,    0}, 0,    0, 0,
        "north wind, gusts"},
    {  332, 2, 13.1, 66, 16,  10, 25,  20,  0.0,  0, 0.00, 10.0, {2600,    0,    0}, 0,    0, 0,
        "north wind, gusts"},
    {  402, 2, 12.0, 64, 15,  10, 23,  20,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0, 0,
        "clear sky (NCD), wind"},
    {  432, 2,  9.8, 67, 14, 360, 21, 350,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0, 0,
        "cold and windy (wind chill), clear sky"},
    {  502, 2,  9.1, 69, 13, 350, 19, 340,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0, 0,
        "cold and windy (wind chill)"},
    {  532, 2,  8.4, 72, 12, 340, 18, 350,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0, 0,
        "cold and windy (wind chill)"},
    {  602, 2,  7.9, 75, 10, 340, 15, 330,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0, 0,
        "cold (wind chill), wind easing"},
    {  632, 2,  7.5, 79,  7, 330, 11, 320,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,   31, 0,
        "interference on the precipitation sensor"},
    {  702, 2,  7.2, 83,  5, 320,  8, 310,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,   44, 0,
        "interference on the precipitation sensor"},
    {  732, 2,  6.9, 87,  3,  -1,  3, 280,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 5.02, 0, 0,
        "light wind without direction (VRB)"},
    {  802, 2,  6.6, 90,  0,  -1,  0.8, -1,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 5.00, 0, 0,
        "calm (00000KT), clear sky"},
    {  832, 2,  6.3, 93,  0,  -1,  0.6, -1,  0.0,  0, 0.00,  6.0, {   0,    0,    0}, 4.93, 0, 0,
        "calm, battery low (orange)"},
    {  902, 2,  6.1, 96,  0,  -1,  0.5, -1,  0.0,  0, 0.00,  4.0, {   0,    0,    0}, 4.86, 0, 0,
        "calm, battery low (orange)"},
    {  932, 2,  5.9, 99,  1.5, 150, 3, 160,  0.0,  0, 0.00,  0.9, { 240,    0,    0}, 4.76, 0, 0,
        "mist (BR) thickening, battery empty (red)"},
    { 1002, 2,  5.7, 100, 0,  -1,  0.7, -1,  0.0,  0, 0.00,  0.4, {  90,    0,    0}, 4.72, 0, 0,
        "fog (FG), cloud below 400 ft (CLD LYR BLO 004), calm, battery empty (red)"},
    { 1032, 2,  5.6, 100, 0,  -1,  0.6, -1,  0.0,  0, 0.00,  0.2, {  60,    0,    0}, 4.74, 0, 0,
        "dense fog (M1/4SM FG), cloud below 400 ft, calm, battery empty (red)"},
    { 1102, 2,  6.0, 100, 2, 170,  4, 180,  0.0,  0, 0.00,  0.3, {  90,    0,    0}, 4.84, 0, 0,
        "fog, cloud below 400 ft, battery charging again (orange)"},
    { 1132, 2,  7.4, 97,  3, 180,  6, 190,  0.0,  0, 0.00,  1.5, { 150,    0,    0}, 4.95, 0, 0,
        "fog lifting to mist (BR), low cloud, battery low (orange)"},
    { 1202, 2,  9.2, 92,  4, 170,  7, 180,  0.0,  0, 0.00,  3.5, { 300, 1200,    0}, 0,    0, 0,
        "morning, low cloud"},
    { 1232, 2, 11.5, 83,  5, 170,  8, 160,  0.0,  0, 0.00,  7.0, {   0,    0,    0}, 0,    0, CeilometerOff,
        "ceilometer switched off"},
    { 1302, 2, 13.8, 74,  6, 180, 10, 190,  0.0,  0, 0.00,  8.0, {   0,    0,    0}, 0,    0, CeilometerOff,
        "ceilometer switched off"},
    { 1332, 2, 16.0, 62,  6, 190,  9, 200,  0.0,  0, 0.00,  2.2, {   0,    0,    0}, 0,    0, 0,
        "haze (HZ), clear sky"},
    { 1402, 2, 18.1, 55,  7, 200, 11, 210,  0.0,  0, 0.00,  1.8, {   0,    0,    0}, 0,    0, 0,
        "haze (HZ)"},
    { 1432, 2, 19.9, 50,  8, 190, 13, 200,  0.0,  0, 0.00,  5.0, {1600,    0,    0}, 0,    0, 0,
        "haze clearing"},
    { 1502, 2, 21.6, 47,  8, 190, 14, 200,  0.0,  0, 0.00, 10.0, {1700,    0,    0}, 0,    0, 0,
        "fair"},
    { 1532, 2,  0.0,  0,  0,  -1,  0,  -1,  0.0,  0, 0.00, 10.0, {   0,    0,    0}, 0,    0,
        SensorsMissing | NoGpsFix | CeilometerSilent,
        "station restarted: temperature, humidity and wind missing (?), no ceilometer answer, no GPS fix"},
    { 1602, 2, 24.3, 45,  9, 200, 15, 210,  0.0,  0, 0.00, 10.0, {1800,    0,    0}, 0,    0, NoGpsFix,
        "no GPS fix yet (no altimeter group, no position)"},
    { 1632, 2, 25.8, 44, 11, 170, 22, 240,  0.0,  0, 0.00, 10.0, {1700,    0,    0}, 0,    0, 0,
        "gusts, variable direction"},
    { 1702, 2, 27.2, 46, 12, 200, 21, 210,  0.0,  0, 0.00, 10.0, {1500,    0,    0}, 0,    0, 0,
        "warm, gusts"},
    { 1732, 2, 28.4, 48, 12, 210, 20, 220,  0.0,  0, 0.00, 10.0, {1400, 2600,    0}, 0,    0, 0,
        "warm"},
    { 1802, 2, 29.5, 50, 13, 200, 22, 190,  0.0,  0, 0.00, 10.0, {1500, 2700,    0}, 0,    0, 0,
        "hot (heat index)"},
    { 1832, 2, 30.6, 53, 13, 190, 21, 200,  0.0,  0, 0.00, 10.0, {1500, 2800,    0}, 0,    0, 0,
        "hot and humid (heat index)"},
    { 1902, 2, 31.6, 56, 14, 200, 23, 210,  0.0,  0, 0.00, 10.0, {1600, 2900,    0}, 0,    0, 0,
        "hot and humid (heat index)"},
    { 1932, 2, 32.5, 57, 14, 190, 24, 200,  0.0,  0, 0.00, 10.0, {1600, 2900, 4800}, 0,    0, 0,
        "hot and humid (heat index), towering clouds"},
    { 2002, 2, 33.1, 55, 15, 200, 25, 210,  0.0,  0, 0.00, 10.0, {1500, 2700, 4600}, 0,    0, 0,
        "hot and humid (heat index)"},
    { 2032, 2, 33.6, 54, 15, 210, 26, 220,  0.0,  0, 0.00, 10.0, {1500, 2800, 4700}, 0,    0, 0,
        "hot and humid, peak wind"},
    { 2102, 2, 33.9, 53, 16, 200, 26, 200,  0.0,  0, 0.00, 10.0, {1400, 2600, 4500}, 0,    0, 0,
        "hot and humid, peak wind"},
    { 2132, 2, 33.8, 53, 15, 200, 25, 210,  0.0,  0, 0.00, 10.0, {1400, 2600, 4500}, 0,    0, 0,
        "hot and humid (heat index)"},
    { 2202, 3, 33.6, 53, 15, 200, 24, 210, 31.0,  1, 0.00, 10.0, {1400, 2500, 4300}, 0,    0, 0,
        "first distant lightning (LTG DSNT); reporting every 5 minutes for the storm"},
    { 2232, 3, 33.4, 52, 14, 200, 24, 210, 24.0,  3, 0.00, 10.0, {1650, 2900,    0}, 0,    0, 0,
        "hot and humid (heat index), distant lightning (LTG DSNT), two cloud layers"},
    { 2302, 3, 32.6, 56, 16, 210, 27, 230, 14.0,  7, 0.00, 10.0, {1400, 2500, 4300}, 0,    0, 0,
        "hot and humid, gusts (peak wind), distant lightning, three cloud layers"},
    { 2332, 3, 30.1, 62, 18, 240, 34, 300,  7.5, 12, 0.00,  8.0, {1100, 2000,    0}, 0,    0, 0,
        "storm approaching: lightning in the vicinity (VCTS), gusts, variable direction"},
};
// clang-format on

// From the first to the last minute of an event, counted from the day's
// midnight; an event may run over either end of the day, which the replay
// joins end to start.
struct Episode
{
    int beganMinute;
    int endedMinute;
};

const Episode kLightning[] = {{-125, 75}, {1315, 1440 + 75}};
const Episode kRain[] = {{-10, 80}};

int minuteOfDay(int hhmm)
{
    return hhmm / 100 * 60 + hhmm % 100;
}

QByteArray fixed(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

QByteArray direction(int degrees)
{
    return degrees < 0 ? QByteArray("?") : QByteArray::number(degrees);
}

// The two five-minute slot letters of the latest event of the last hour, as
// the station writes them; "--" without one. nowSecs counts from midnight.
template <std::size_t N> QByteArray slotCode(const Episode (&episodes)[N], qint64 nowSecs)
{
    static const char kSlotLetters[] = "ABCDEFGHIJKL";
    const Episode *latest = nullptr;
    for (const Episode &episode : episodes) {
        if (qint64(episode.beganMinute) * 60 <= nowSecs)
            latest = &episode;
    }
    if (!latest)
        return "--";
    const qint64 ended = std::min(qint64(latest->endedMinute) * 60, nowSecs);
    if (ended < nowSecs - kSlotWindowSecs)
        return "--";
    const qint64 began = std::max(qint64(latest->beganMinute) * 60, nowSecs - kSlotWindowSecs);
    const auto letter = [](qint64 secs) { return kSlotLetters[((secs % 3600) + 3600) % 3600 / 300]; };
    return QByteArray(1, letter(began)) + letter(ended);
}

// The line of the packet that begins with tag and ":" (the first one), as
// start and end offsets of its fields; false when there is none.
bool findLine(const QByteArray &packet, const QByteArray &tag, int *start, int *end)
{
    const QByteArray head = tag + ':';
    int at = 0;
    if (!packet.startsWith(head)) {
        at = packet.indexOf("\r\n" + head);
        if (at < 0)
            return false;
        at += 2;
    }
    *start = at + head.size();
    *end = packet.indexOf("\r\n", *start);
    if (*end < 0)
        *end = packet.size();
    return true;
}

// Replaces all fields of a tag's line.
void setLine(QByteArray &packet, const QByteArray &tag, const QByteArray &fields)
{
    int start = 0;
    int end = 0;
    if (findLine(packet, tag, &start, &end))
        packet.replace(start, end - start, fields);
}

// Replaces one field of a tag's line and keeps the others.
void setField(QByteArray &packet, const QByteArray &tag, int index, const QByteArray &value)
{
    int start = 0;
    int end = 0;
    if (!findLine(packet, tag, &start, &end))
        return;
    QList<QByteArray> fields = packet.mid(start, end - start).split(':');
    if (index < 0 || index >= fields.size())
        return;
    fields[index] = value;
    packet.replace(start, end - start, fields.join(':'));
}

QByteArray cloudLine(const Transmission &t)
{
    if (t.flags & CeilometerSilent)
        return "?--00:?:?:?:?:?:?";
    QByteArray line = "1"; // automatic
    int layers = 0;
    while (layers < int(t.cloudMetres.size()) && t.cloudMetres[std::size_t(layers)] > 0)
        ++layers;
    for (int i = 0; i < 6; ++i) {
        if (i < layers)
            line += ':' + QByteArray::number(t.cloudMetres[std::size_t(i)]);
        else
            line += i == 0 ? ":0" : ":?"; // 0: no cloud detected
    }
    return line;
}

// The station's packet with the day's weather written into it.
QByteArray transmission(WeatherGenerator &station, const Transmission &t, const QDateTime &utc,
                        double rainTotalInches)
{
    station.setCeilometer(t.flags & CeilometerOff ? 0 : 1);
    station.setGpsEnabled(!(t.flags & NoGpsFix));
    QByteArray packet = station.packet(utc, t.mode, t.flags & Aux);

    const qint64 secs = utc.time().msecsSinceStartOfDay() / 1000;
    if (t.flags & SensorsMissing) {
        setLine(packet, "TA", "?");
        setLine(packet, "RH", "?");
        setLine(packet, "WI", "?:?");
        setLine(packet, "GU", "?:?");
    } else {
        setLine(packet, "TA", fixed(t.airC, 1));
        setLine(packet, "RH", QByteArray::number(t.humidity));
        setLine(packet, "WI", fixed(t.windKnots, 1) + ':' + direction(t.windKnots > 0 ? t.windDegrees : -1));
        setLine(packet, "GU", fixed(t.gustKnots, 1) + ':' + direction(t.gustDegrees));
    }

    const QByteArray lightningCode = slotCode(kLightning, secs);
    if (t.strikes > 0)
        setLine(packet, "LD",
                fixed(t.lightningMiles, 1) + ':' + QByteArray::number(t.strikes) + ':' + lightningCode);
    else
        setLine(packet, "LD", "?:0:" + lightningCode);
    if (t.flags & Aux) {
        setLine(packet, "LDD",
                QByteArray::number(t.strikes) + ':' + fixed(t.lightningMiles * 0.8, 1) + ':' +
                    fixed(t.lightningMiles * 1.2, 1) + ':' + lightningCode);
    }

    if (!(t.flags & CeilometerOff))
        setLine(packet, "CL", cloudLine(t));

    setField(packet, "PW", 0, fixed(t.rainInchesPerHour, 2));
    setField(packet, "PW", 1, QByteArray::number(qRound(rainTotalInches * 100.0)));
    setField(packet, "PW", 3, slotCode(kRain, secs));
    if (t.signal > 0)
        setField(packet, "PW", 4, QByteArray::number(t.signal));
    setLine(packet, "VI", fixed(t.visibilityMiles, 1));
    if (t.batteryVolts > 0)
        setField(packet, "B", 0, fixed(t.batteryVolts, 2));
    return packet;
}

} // namespace

QDate DemoDataGenerator::day()
{
    return QDate(2026, 6, 14);
}

QList<DemoDataGenerator::File> DemoDataGenerator::files()
{
    QList<File> result;
    WeatherGenerator station(kSeed);
    double rainTotalInches = 0;
    for (const Transmission &t : kDay) {
        const int secs = minuteOfDay(t.hhmm) * 60 + kSecondsPastMinute;
        const QDateTime utc(day(), QTime(0, 0).addSecs(secs), Qt::UTC);
        rainTotalInches += t.rainInchesPerHour * kIntervalMinutes / 60.0;
        result.append({utc.toString(QStringLiteral("yyyy-MM-dd_hhmm")) + QStringLiteral(".txt"),
                       transmission(station, t, utc, rainTotalInches), QString::fromUtf8(t.what)});
    }

    const QDateTime pictureTime(day(), QTime(0, 0).addSecs(minuteOfDay(kPictureHhmm) * 60), Qt::UTC);
    for (int camera = 1; camera <= kCameraCount; ++camera) {
        result.append({QStringLiteral("cam%1.jpg").arg(camera),
                       JpegEncoder::encode(CameraPictures::picture(camera, pictureTime)),
                       QStringLiteral("camera %1 at %2 UTC")
                           .arg(camera)
                           .arg(pictureTime.toString(QStringLiteral("hh:mm")))});
    }
    return result;
}

bool DemoDataGenerator::write(const QString &folder, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the folder %1").arg(folder));
    const QDir dir(folder);
    for (const File &file : files()) {
        QSaveFile out(dir.filePath(file.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size() || !out.commit())
            return fail(QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString()));
    }
    return true;
}
