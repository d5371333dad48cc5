// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QtTest>

namespace {

const QString kImei = QStringLiteral("300234063909320");
const QString kHead = QStringLiteral("METAR 300234063909320 310237Z AUTO ");
const QString kTail = QStringLiteral("WND DATA ESTMD ALSTG/SLP ESTMD ");

// A station at 02:37 without GPS or ceilometer: 1 kt of wind without a
// direction, ten miles of visibility, 22.8 C at 27 % humidity.
const QStringList kBaseLines = {
    QStringLiteral("@I:300234063909320"),
    QStringLiteral("@014"),
    QStringLiteral("N:0:0:3"),
    QStringLiteral("B:5.32:3:000123:0A:1F:00"),
    QStringLiteral("T:18/05/31,02:37:13"),
    QStringLiteral("LA:?"),
    QStringLiteral("LO:?"),
    QStringLiteral("EL:?:0"),
    QStringLiteral("OR:182.5:2:0"),
    QStringLiteral("TA:22.8"),
    QStringLiteral("BA:1018.30"),
    QStringLiteral("RH:27"),
    QStringLiteral("WI:1:?"),
    QStringLiteral("GU:1:?"),
    QStringLiteral("LD:?:0:--"),
    QStringLiteral("CL:?--00:?:?:?:?"),
    QStringLiteral("PW:0.00:25:?:--:99:1715:256"),
    QStringLiteral("VI:10"),
    QStringLiteral("~"),
};

QString tagOf(const QString &line)
{
    return line.left(line.indexOf(QLatin1Char(':')));
}

// The base packet with lines replaced by tag ("TA:5"), added, or removed ("-TA").
QString packet(const QStringList &changes)
{
    QStringList lines = kBaseLines;
    for (const QString &change : changes) {
        if (change.startsWith(QLatin1Char('-'))) {
            const QString tag = change.mid(1);
            lines.erase(std::remove_if(lines.begin(), lines.end(),
                                       [&](const QString &line) { return tagOf(line) == tag; }),
                        lines.end());
            continue;
        }
        auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const QString &line) { return tagOf(line) == tagOf(change); });
        if (it != lines.end())
            *it = change;
        else
            lines.insert(lines.size() - 1, change);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString metarOf(const QString &text)
{
    WeatherParser parser;
    parser.setPacketText(text);
    return MetarEncoder::getMetar(parser);
}

} // namespace

class TestMetarEncoder : public QObject
{
    Q_OBJECT

private slots:
    void storedPackets_data();
    void storedPackets();
    void groups_data();
    void groups();
    void visibilityTable_data();
    void visibilityTable();
    void noPacket();
    void variableWind_data();
    void variableWind();
};

void TestMetarEncoder::storedPackets_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << "weather_example_no_gps_no_ceilometer.txt"
                                    << "METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 "
                                       "SLPNO WND DATA ESTMD ALSTG/SLP ESTMD ";
    QTest::newRow("gps, clouds, rain, lightning")
        << "weather_full_gps_clouds_rain_lightning_aux.txt"
        << QString::fromUtf8(
               "METAR 300234063909321 310237Z AUTO 28012G18KT 2SM TS RA BR ///039 ///100 M05/M08 A2976 "
               "RMK AO2 SLPNO MAX WND 28018KT OCNL LTG RAB0235E0140 LTG B0210 LTG E0155 "
               "WND DATA ESTMD ALSTG/SLP ESTMD 44.9778° -93.2650°");
    QTest::newRow("midnight, ceilometer off")
        << "weather_midnight_ceilometer_off.txt"
        << QString::fromUtf8("METAR 300234063909323 010010Z AUTO 18003G05KT 2SM LTG DSNT +RA 35/M01 A2998 "
                             "RMK AO2 SLPNO LTG DSNT RAB2310E2310 LTG B0000 LTG E0000 "
                             "WND DATA ESTMD ALSTG/SLP ESTMD 90° -180°");
    // Without a "CL" line there is no cloud group and no low-cloud remark.
    // Latitude -91.5 holds no "?", so the altimeter stays; the position does not.
    QTest::newRow("fog, no cloud detected") << "weather_fog_no_cloud_detected.txt"
                                            << "METAR 300234063909324 152359Z AUTO VRB00G01KT 1/2SM -RA FG "
                                               "NCD 04/04 A2992 RMK AO2 SLPNO RAB2355E2355 "
                                               "WND DATA ESTMD ALSTG/SLP ESTMD ";
}

void TestMetarEncoder::storedPackets()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QFile input(QFINDTESTDATA("../data/packets/" + file));
    QVERIFY2(input.open(QIODevice::ReadOnly), qPrintable(file));
    QCOMPARE(metarOf(QString::fromUtf8(input.readAll())), expected);
}

void TestMetarEncoder::groups_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("middle"); // between kHead and kTail

    QTest::newRow("base") << QStringList() << "VRB01KT 10SM 23/03 RMK AO2 SLPNO ";

    // Wind
    QTest::newRow("calm ignores gust and spread")
        << QStringList{"WI:0:90", "GU:15:200"} << "00000KT 10SM 23/03 RMK AO2 SLPNO MAX WND 20015KT ";
    QTest::newRow("direction 275 rounds up")
        << QStringList{"WI:8:275", "GU:8:270"} << "28008KT 10SM 23/03 RMK AO2 SLPNO ";
    QTest::newRow("gust 22") << QStringList{"WI:15:240", "GU:22:250"}
                             << "24015G22KT 10SM 23/03 RMK AO2 SLPNO MAX WND 25022KT ";
    QTest::newRow("direction 4 is north")
        << QStringList{"WI:12:4", "GU:12:4"} << "36012KT 10SM 23/03 RMK AO2 SLPNO ";
    QTest::newRow("6 kt not variable")
        << QStringList{"WI:6:240", "GU:6:300"} << "24006KT 10SM 23/03 RMK AO2 SLPNO ";
    QTest::newRow("gust 30") << QStringList{"WI:20:240", "GU:30:270"}
                             << "24020G30KT 10SM 23/03 RMK AO2 SLPNO MAX WND 27030KT ";
    QTest::newRow("120 kt capped at 99")
        << QStringList{"WI:120:240", "GU:120:240"} << "24099KT 10SM 23/03 RMK AO2 SLPNO MAX WND 24099KT ";

    // Missing wind readings
    QTest::newRow("speed ?") << QStringList{"WI:?:240"} << "10SM 23/03 RMK AO2 SLPNO ";
    QTest::newRow("direction empty") << QStringList{"WI:5:", "GU:5:?"} << "VRB05KT 10SM 23/03 RMK AO2 SLPNO ";
    QTest::newRow("gust direction missing: no peak wind")
        << QStringList{"WI:5:200", "GU:30:?"} << "20005G30KT 10SM 23/03 RMK AO2 SLPNO ";

    // Visibility (with the obstruction it brings along)
    QTest::newRow("visibility 2 haze") << QStringList{"VI:2"} << "VRB01KT 2SM HZ 23/03 RMK AO2 SLPNO ";
    QTest::newRow("visibility -1") << QStringList{"VI:-1"} << "VRB01KT //// FG 23/03 RMK AO2 SLPNO ";

    // Thunderstorm and lightning
    QTest::newRow("lightning 3 at 12 mi")
        << QStringList{"LD:12:3:--"} << "VRB01KT 10SM LTG DSNT 23/03 RMK AO2 SLPNO LTG DSNT ";
    QTest::newRow("lightning 3 at 7 mi")
        << QStringList{"LD:7:3:--"} << "VRB01KT 10SM VCTS 23/03 RMK AO2 SLPNO OCNL LTG ";
    QTest::newRow("lightning 20 at 3 mi")
        << QStringList{"LD:3:20:--"} << "VRB01KT 10SM TS 23/03 RMK AO2 SLPNO FRQ LTG ";
    QTest::newRow("lightning begin and end")
        << QStringList{"LD:3:2:HI"} << "VRB01KT 10SM TS 23/03 RMK AO2 SLPNO OCNL LTG LTG B0235 LTG E0140 ";

    // Present weather and rain remarks
    QTest::newRow("heavy rain with times")
        << QStringList{"PW:0.5:25:?:HI:99"} << "VRB01KT 10SM +RA 23/03 RMK AO2 SLPNO RAB0235E0140 ";
    QTest::newRow("rain and mist") << QStringList{"PW:0.35:25:?:--:99", "VI:2", "RH:90"}
                                   << "VRB01KT 2SM RA BR 23/21 RMK AO2 SLPNO ";

    // Clouds
    QTest::newRow("two layers") << QStringList{"CL:1:365.8:1036.3:?:?:?:?"}
                                << "VRB01KT 10SM ///012 ///034 23/03 RMK AO2 SLPNO ";
    QTest::newRow("five layers give four") << QStringList{"CL:1:304.8:609.6:914.4:1219.2:1524:?"}
                                           << "VRB01KT 10SM ///010 ///020 ///030 ///040 23/03 RMK AO2 SLPNO ";
    QTest::newRow("six layers give five")
        << QStringList{"CL:1:304.8:609.6:914.4:1219.2:1524:1828.8"}
        << "VRB01KT 10SM ///010 ///020 ///030 ///040 ///050 23/03 RMK AO2 SLPNO ";
    QTest::newRow("low layer") << QStringList{"CL:1:91.44:365.8:?:?:?:?"}
                               << "VRB01KT 10SM ///003 ///012 23/03 RMK AO2 CLD LYR BLO 004 SLPNO ";
    QTest::newRow("no cloud detected")
        << QStringList{"CL:1:0:0:0:0:0:0"} << "VRB01KT 10SM NCD 23/03 RMK AO2 SLPNO ";
    QTest::newRow("ceilometer off") << QStringList{"CL:--00:0:0:0:0:0:0"}
                                    << "VRB01KT 10SM 23/03 RMK AO2 SLPNO ";

    // Temperature and dew point
    QTest::newRow("-0.4 without humidity")
        << QStringList{"TA:-0.4", "-RH"} << "VRB01KT 10SM 00/ RMK AO2 SLPNO ";
    QTest::newRow("-0.5 without humidity")
        << QStringList{"TA:-0.5", "-RH"} << "VRB01KT 10SM M01/ RMK AO2 SLPNO ";
    QTest::newRow("5.5 over -3.2") << QStringList{"TA:5.5", "RH:53.4"}
                                   << "VRB01KT 10SM 06/M03 RMK AO2 SLPNO ";
    QTest::newRow("temperature ?") << QStringList{"TA:?"} << "VRB01KT 10SM RMK AO2 SLPNO ";

    // Altimeter and position
    QTest::newRow("altimeter with position") << QStringList{"LA:44.9778", "LO:-93.2650", "BA:1018.30:2992"}
                                             << QString::fromUtf8("VRB01KT 10SM 23/03 A2992 RMK AO2 SLPNO ") +
                                                    kTail + QString::fromUtf8("44.9778° -93.2650°");
}

void TestMetarEncoder::groups()
{
    QFETCH(QStringList, changes);
    QFETCH(QString, middle);
    const QString expected = middle.contains(kTail) ? kHead + middle : kHead + middle + kTail;
    QCOMPARE(metarOf(packet(changes)), expected);
}

void TestMetarEncoder::variableWind_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("gustDirection");
    QTest::addColumn<QString>("group"); // behind "KT ", empty for none

    // Directions are rounded to tens first; the spread is the short way round.
    QTest::newRow("240/300") << 240 << 300 << "240V300 ";
    QTest::newRow("300/240") << 300 << 240 << "240V300 ";
    QTest::newRow("350/010 spread 20") << 350 << 10 << "";
    QTest::newRow("010/350 spread 20") << 10 << 350 << "";
    QTest::newRow("240/290 spread 50") << 240 << 290 << "";
    QTest::newRow("330/030 spread 60") << 330 << 30 << "330V030 ";
    QTest::newRow("030/330 spread 60") << 30 << 330 << "330V030 ";
    QTest::newRow("340/030 spread 50") << 340 << 30 << "";
    QTest::newRow("030/340 spread 50") << 30 << 340 << "";
    QTest::newRow("334/026 round to 330/030") << 334 << 26 << "330V030 ";
    QTest::newRow("335/025 round to 340/030") << 335 << 25 << "";
    QTest::newRow("north/300") << 0 << 300 << "300V360 ";
    QTest::newRow("060/north") << 60 << 0 << "360V060 ";
    QTest::newRow("090/270 half circle") << 90 << 270 << "090V270 ";
    QTest::newRow("270/090 half circle") << 270 << 90 << "090V270 ";
}

void TestMetarEncoder::variableWind()
{
    QFETCH(int, direction);
    QFETCH(int, gustDirection);
    QFETCH(QString, group);
    WeatherParser parser;
    parser.setPacketText(
        packet({QStringLiteral("WI:15:%1").arg(direction), QStringLiteral("GU:15:%1").arg(gustDirection)}));
    const int rounded = direction == 0 ? 360 : int(std::lround(direction / 10.0)) * 10;
    const QString wind = QStringLiteral("%1").arg(rounded, 3, 10, QLatin1Char('0')) + "15KT ";
    const QString expected = kHead + wind + group + "10SM 23/03 RMK AO2 SLPNO " + kTail;
    QCOMPARE(MetarEncoder::getMetar(parser), expected);
    // The CSV row carries the same line.
    QVERIFY(CsvLog::row(parser).contains(expected.toUtf8()));
}

void TestMetarEncoder::visibilityTable_data()
{
    QTest::addColumn<double>("miles");
    QTest::addColumn<QString>("text");
    const std::pair<double, const char *> rows[] = {{0.25, "M1/4SM"}, {0.26, "1/4SM"}, {0.376, "1/2SM"},
                                                    {1.2, "1 1/4SM"}, {2.51, "3SM"},   {6.19, "6SM"},
                                                    {6.2, "10SM"},    {-1, "////"}};
    for (const auto &row : rows)
        QTest::addRow("%g", row.first) << row.first << QString::fromLatin1(row.second);
}

void TestMetarEncoder::visibilityTable()
{
    QFETCH(double, miles);
    QFETCH(QString, text);
    QCOMPARE(MetarEncoder::visibilityText(miles), text);
}

void TestMetarEncoder::noPacket()
{
    // Nothing received yet, or a packet without its "@I" line: fifteen
    // zeros and no time, and no invented readings anywhere.
    QCOMPARE(metarOf(QString()), "METAR 000000000000000 000000Z AUTO //// RMK AO2 SLPNO " + kTail);
    QCOMPARE(metarOf(packet({"-@I"})),
             "METAR 000000000000000 000000Z AUTO VRB01KT 10SM 23/03 RMK AO2 SLPNO " + kTail);
    // Anything after the seconds spoils the station time; the rain times
    // then are unknown and the rain remark is left out.
    QCOMPARE(metarOf(packet({"T:18/05/31,02:37:13:5", "PW:0.5:25:?:HI:99"})),
             "METAR " + kImei + " 000000Z AUTO VRB01KT 10SM +RA 23/03 RMK AO2 SLPNO " + kTail);
}

QTEST_GUILESS_MAIN(TestMetarEncoder)
#include "tst_metarencoder.moc"
