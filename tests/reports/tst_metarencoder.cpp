// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QtTest>

namespace {

const QString kHead = QStringLiteral("METAR 300234063909320 310237Z AUTO ");
const QString kTail = QStringLiteral("WND DATA ESTMD ALSTG/SLP ESTMD ");

// A station at 02:37 without GPS or ceilometer: 1 kt of wind without a
// direction, ten miles of visibility, 22.8 C at 27 % humidity.
const QString kBase =
    QStringLiteral("@I:300234063909320|@014|N:0:0:3|B:5.32:3:000123:0A:1F:00|T:18/05/31,02:37:13|"
                   "LA:?|LO:?|EL:?:0|OR:182.5:2:0|TA:22.8|BA:1018.30|RH:27|WI:1:?|GU:1:?|"
                   "LD:?:0:--|CL:?--00:?:?:?:?|PW:0.00:25:?:--:99:1715:256|VI:10|~");

// The base packet with lines replaced by tag ("TA:5") or removed ("-TA").
QString packet(const QStringList &changes)
{
    QStringList lines = kBase.split(QLatin1Char('|'));
    const auto tagOf = [](const QString &line) { return line.section(QLatin1Char(':'), 0, 0); };
    for (const QString &change : changes) {
        const bool remove = change.startsWith(QLatin1Char('-'));
        const QString tag = tagOf(remove ? change.mid(1) : change);
        const auto it =
            std::find_if(lines.begin(), lines.end(), [&](const QString &l) { return tagOf(l) == tag; });
        if (it == lines.end())
            return "no " + tag + " line to change";
        if (remove)
            lines.erase(it);
        else
            *it = change;
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
    void noPacket();
    void visibilityTable();
};

void TestMetarEncoder::storedPackets_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << "weather_example_no_gps_no_ceilometer.txt"
                                    << "METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 "
                                       "SLPNO WND DATA ESTMD ALSTG/SLP ESTMD ";
    QTest::newRow("midnight, ceilometer off")
        << "weather_midnight_ceilometer_off.txt"
        << QString::fromUtf8("METAR 300234063909323 010010Z AUTO 18003G05KT 2SM LTG DSNT +RA 35/M01 A2998 "
                             "RMK AO2 SLPNO LTG DSNT RAB2310E2310 LTG B0000 LTG E0000 "
                             "WND DATA ESTMD ALSTG/SLP ESTMD 90° -180°");
    // No "CL" line: no cloud group. Latitude -91.5 holds no "?": the altimeter stays, the position does not.
    QTest::newRow("fog, no cloud detected") << "weather_fog_no_cloud_detected.txt"
                                            << "METAR 300234063909324 152359Z AUTO VRB00G01KT 1/2SM -RA FG "
                                               "NCD 04/04 A2992 RMK AO2 SLPNO RAB2355E2355 "
                                               "WND DATA ESTMD ALSTG/SLP ESTMD ";
}

void TestMetarEncoder::storedPackets()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    WeatherParser parser;
    parser.setPacketText(testsupport::packetText(file));
    QVERIFY2(!parser.packetText().isEmpty(), qPrintable(file));
    QCOMPARE(MetarEncoder::getMetar(parser), expected);
    QVERIFY(CsvLog::row(parser).contains(expected.toUtf8())); // the CSV row carries the same line
}

void TestMetarEncoder::groups_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("metar");

    // "<" stands for the head, ">" for the tail, "$" for the base temperature and remarks.
    const char *const rows[][3] = {
        {"calm ignores gust and spread", "WI:0:90 GU:15:200", "<00000KT 10SM $MAX WND 20015KT >"},
        {"direction 4 is north", "WI:12:4 GU:12:4", "<36012KT 10SM $>"},
        {"120 kt capped at 99", "WI:120:240 GU:120:240", "<24099KT 10SM $MAX WND 24099KT >"},
        {"speed ?", "WI:?:240", "<10SM $>"},
        {"gust direction missing: no peak wind", "WI:5:200 GU:30:?", "<20005G30KT 10SM $>"},
        // Directions are rounded to tens first; the spread is the short way round.
        {"variable 300/240", "WI:15:300 GU:15:240", "<30015KT 240V300 10SM $>"},
        {"350/010 spread 20", "WI:15:350 GU:15:10", "<35015KT 10SM $>"},
        {"variable 330/030", "WI:15:330 GU:15:30", "<33015KT 330V030 10SM $>"},
        {"030/340 spread 50", "WI:15:30 GU:15:340", "<03015KT 10SM $>"},
        {"334/026 round to 330/030", "WI:15:334 GU:15:26", "<33015KT 330V030 10SM $>"},
        {"335/025 round to 340/030", "WI:15:335 GU:15:25", "<34015KT 10SM $>"},
        {"variable north/300", "WI:15:0 GU:15:300", "<36015KT 300V360 10SM $>"},
        // -1 is no plausible reading: no visibility, and no fog made of it.
        {"visibility -1", "VI:-1", "<VRB01KT //// $>"},
        {"lightning 3 at 7 mi", "LD:7:3:--", "<VRB01KT 10SM VCTS $OCNL LTG >"},
        {"lightning 20 at 3 mi", "LD:3:20:--", "<VRB01KT 10SM TS $FRQ LTG >"},
        {"lightning begin and end", "LD:3:2:HI", "<VRB01KT 10SM TS $OCNL LTG LTG B0235 LTG E0140 >"},
        {"rain and mist", "PW:0.35:25:?:--:99 VI:2 RH:90", "<VRB01KT 2SM RA BR 23/21 RMK AO2 SLPNO >"},
        {"six layers give five", "CL:1:304.8:609.6:914.4:1219.2:1524:1828.8",
         "<VRB01KT 10SM ///010 ///020 ///030 ///040 ///050 $>"},
        {"low layer", "CL:1:91.44:365.8:?:?:?:?",
         "<VRB01KT 10SM ///003 ///012 23/03 RMK AO2 CLD LYR BLO 004 SLPNO >"},
        {"-0.4 without humidity", "TA:-0.4 -RH", "<VRB01KT 10SM 00/ RMK AO2 SLPNO >"},
        {"-0.5 without humidity", "TA:-0.5 -RH", "<VRB01KT 10SM M01/ RMK AO2 SLPNO >"},
        {"temperature ?", "TA:?", "<VRB01KT 10SM RMK AO2 SLPNO >"},
        {"altimeter with position", "LA:44.9778 LO:-93.2650 BA:1018.30:2992",
         "<VRB01KT 10SM 23/03 A2992 RMK AO2 SLPNO >44.9778\u00b0 -93.2650\u00b0"},
        {"no station id", "-@I", "METAR 000000000000000 000000Z AUTO VRB01KT 10SM $>"},
        // Anything after the seconds spoils the time; the rain times are then unknown.
        {"spoilt station time", "T:18/05/31,02:37:13:5 PW:0.5:25:?:HI:99",
         "METAR 300234063909320 000000Z AUTO VRB01KT 10SM +RA $>"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]).split(' ', Qt::SkipEmptyParts)
                              << QString::fromUtf8(row[2]).replace('$', "23/03 RMK AO2 SLPNO ");
}

void TestMetarEncoder::groups()
{
    QFETCH(QStringList, changes);
    QFETCH(QString, metar);
    QCOMPARE(metarOf(packet(changes)), metar.replace('<', kHead).replace('>', kTail));
}

void TestMetarEncoder::noPacket()
{
    // Nothing received yet: fifteen zeros, no time, and no invented readings.
    QCOMPARE(metarOf(QString()), "METAR 000000000000000 000000Z AUTO //// RMK AO2 SLPNO " + kTail);
}

void TestMetarEncoder::visibilityTable()
{
    const std::pair<double, const char *> rows[] = {{0.25, "M1/4SM"}, {0.26, "1/4SM"}, {0.376, "1/2SM"},
                                                    {1.2, "1 1/4SM"}, {2.51, "3SM"},   {6.19, "6SM"}};
    for (const auto &[miles, text] : rows)
        QCOMPARE(MetarEncoder::visibilityText(miles), QString::fromLatin1(text));
}

QTEST_GUILESS_MAIN(TestMetarEncoder)
#include "tst_metarencoder.moc"
