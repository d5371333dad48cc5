// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>

namespace {

// What all() returns, in its order.
const QStringList kNames =
    QStringLiteral("imei battery mode modeDigit temperature pressure altimeter humidity elevation lat lon "
                   "orientation tilt windSpeed windDir maxWindSpeed maxWindDir lightningDist lightningFreq "
                   "visibility precip precipType interference ceilometerHits cloudLayers dewPoint heatIndex "
                   "windChill stationPressure pressureAlt densityAlt obstruction presentWeather logTimestamp "
                   "metarDayTime precipBegan precipEnded lightningBegan lightningEnded")
        .split(QLatin1Char(' '));

// Every accessor's result for the current packet.
QStringList all(const WeatherParser &p)
{
    return {p.getImei(),
            p.getBattery(),
            p.getMode(),
            QString::number(p.modeDigit()),
            p.getTemperature(),
            p.getPressure(),
            p.getAltimeter(),
            p.getHumidity(),
            p.getElevation(),
            p.getLat(),
            p.getLon(),
            p.getOrientation(),
            p.getTilt(),
            p.getWindSpeed(),
            p.getWindDir(),
            p.getMaxWindSpeed(),
            p.getMaxWindDir(),
            p.getLightningDist(),
            p.getLightningFreq(),
            p.getVisibility(),
            p.getPrecip(),
            p.getPrecipType(),
            p.getInterference(),
            p.getCeilometerHits(),
            p.getCloudLayers(),
            p.getDewPoint(),
            p.getHeatIndex(),
            p.getWindChill(),
            p.getStationPressure(),
            p.getPressureAlt(),
            p.getDensityAlt(),
            p.getObstruction(),
            p.getPresentWeather(),
            p.getLogTimestamp(),
            p.getMetarDayTime(),
            p.getPrecipTime(0),
            p.getPrecipTime(1),
            p.getLightningTime(0),
            p.getLightningTime(1)};
}

QString loadPacket(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/packets/") + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestWeatherParser : public QObject
{
    Q_OBJECT

private slots:
    void fixtures_data();
    void fixtures();
    void readings_data();
    void readings();
    void implausibleReadingsAreNamed();
    void getField_data();
    void getField();
    void numbers();
    void arbitraryText_data();
    void arbitraryText();
};

void TestWeatherParser::fixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("expected"); // the values of all() joined by "|"

    // The example's BA line has no second field: the RH line below must not
    // supply one. The third fixture has no CL and LD lines: the ECL and LDD
    // lines of its auxiliary part must not stand in for them.
    QTest::newRow("example")
        << "weather_example_no_gps_no_ceilometer.txt"
        << "300234063909320|5.32|5 Minute|3|22.8|1018.30||27||||182.5|2|1||1|||0|0.05|0.00||"
           "OK|0/0|No Ceilometer|2.8|21.84|||-140||FG|FG|2018-05-31 02:37:13|310237|-|-|-|-";
    QTest::newRow("full")
        << "weather_full_gps_clouds_rain_lightning_aux.txt"
        << "300234063909321|12.74|1 Minute|4|-5.4|983.20|29.76|85|256.0|44.9778|-93.2650|"
           "271.3|4|12.4|275|18.0|280|4.3|12|2|0.35|RA|Interference|3/3|3900, 10000|-7.5|"
           "-7.66|-12.52|28.87|830|-1230|BR|RA BR|2018-05-31 02:37:13|310237|0235|0140|0210|0155";
    QTest::newRow("no CL/LD lines")
        << "weather_no_cl_ld_lines_aux.txt"
        << "300234063909322|6.01|3 Hour|0|31.5|1009.80|29.86|60|58.0|-33.8688|"
           "151.2093|12.0|0|0.0|0|2.5|90|||10.0||||0/0|NA|22.8|35.94||29.66|90|2560|||"
           "2018-12-24 18:05:59|241805|-|-|-|-";
    QTest::newRow("midnight, hot and dry")
        << "weather_midnight_ceilometer_off.txt"
        << "300234063909323|4.95|10 "
           "Second|6|35.0|845.60|29.98|10|1609.3|90|-180|0.0|-3|2.7|180|5.1|190|12.0|1|"
           "2.5|0.55|+RA|OK|0/4|Ceilometer OFF|-1.2|31.92||24.68|4920|8700||+RA|2018-06-01 00:10:05|010010|"
           "2310|2310|0000|0000";
    QTest::newRow("fog, end of the hour")
        << "weather_fog_no_cloud_detected.txt"
        << "300234063909324|5.10|1 Hour|1|4.2|1013.25|29.92|98.5|0.0|||90.0|0|0.5||1.0|||0|0.6|0.05|-RA|"
           "Interference|0/4|NCD|4|3.24||29.92|0|-1190|FG|-RA FG|2019-01-15 23:59:30|152359|2355|2355|-|-";
    QTest::newRow("no packet yet") << ""
                                   << "|||0|||||||||||||||||||0/0|NA||||||||||000000|-|-|-|-";
}

void TestWeatherParser::fixtures()
{
    QFETCH(QString, fixture);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(fixture.isEmpty() ? QString() : loadPacket(fixture));
    const QStringList actual = all(parser);
    const QStringList wanted = expected.split(QLatin1Char('|'));
    QCOMPARE(wanted.size(), kNames.size());
    for (int i = 0; i < kNames.size(); ++i)
        QVERIFY2(actual[i] == wanted[i], qPrintable(kNames[i] + ": " + actual[i]));
}

void TestWeatherParser::readings_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("named"); // lines of implausibleReadings()

    const struct
    {
        const char *row;
        QString lines; // "|" between them
        const char *name;
        const char *expected;
        int named;
    } rows[] = {
        // Plausibility: a number outside the range is no reading, and is named; "?" is a plain gap.
        {"humidity negative", "RH:-3", "humidity", "", 1},
        {"humidity above 100", "RH:100.5", "humidity", "", 1},
        {"humidity unknown is a gap", "RH:?", "humidity", "", 0},
        {"lat above range", "LA:91.5", "lat", "", 1},
        {"altimeter decimal", "BA:1018.30:30.07", "altimeter", "", 1},
        {"altimeter of eleven digits", "BA:1018.30:99999999999", "altimeter", "", 1},
        {"temperature at the limits", "TA:-90|TA:65", "temperature", "-90", 0},
        {"temperature above", "TA:65.1", "temperature", "", 1},
        {"nan", "TA:nan", "temperature", "", 1},
        {"inf", "WI:inf:90", "windSpeed", "", 1},
        {"1e308", "BA:1e308", "pressure", "", 1},
        {"4000 digits", "VI:" + QString(4000, '9'), "visibility", "", 1},
        {"pressure below 300 hPa", "BA:299.9", "pressure", "", 1},
        {"wind above 250 kt", "GU:250.1:90", "maxWindSpeed", "", 1},
        {"direction above 360", "WI:5:360.5", "windDir", "", 1},
        {"voltage above 30 V", "B:30.1:3", "battery", "", 1},
        {"tilt decimal", "OR:10.0:2.5", "tilt", "", 0},
        {"lightning count", "LD:?:3:AB", "lightningFreq", "3", 0},
        {"mode 7 has no name", "B:5.32:7", "mode", "", 0},
        {"mode digit 7", "B:5.32:7", "modeDigit", "7", 0},
        {"mode digit unknown", "B:5.32:?", "modeDigit", "0", 0},
        {"precip heavy", "PW:0.41", "precipType", "+RA", 0},
        {"precip at 0.4", "PW:0.40", "precipType", "RA", 0},
        {"precip at 0.1", "PW:0.10", "precipType", "-RA", 0},
        {"precip none", "PW:0.00", "precipType", "", 0},
        {"interference 49", "PW:0:0:0:--:49", "interference", "Interference", 0},
        {"interference 50", "PW:0:0:0:--:50", "interference", "OK", 0},
        {"interference unknown", "PW:0:0:0:--:?", "interference", "", 0},
        // Clouds: 1600, 3100 and 4000 m step by 500 and 1000 ft; implausible heights are no
        // reading, no layer and no "no cloud" either.
        {"cloud steps 500 and 1000", "CL:1:1600:3100:4000:?:?:?", "cloudLayers", "5000, 10000, 13000", 0},
        {"cloud height negative", "CL:1:-5:600:?:?:?:?", "cloudLayers", "2000", 1},
        {"cloud height negative, hits", "CL:1:-5:600:?:?:?:?", "ceilometerHits", "1/1", 1},
        {"cloud heights only negative", "CL:1:-5", "cloudLayers", "", 1},
        {"cloud heights nan and inf", "CL:1:nan:inf:600", "cloudLayers", "2000", 2},
        // Derived quantities.
        {"dew point, worked example", "TA:22.8|RH:27", "dewPoint", "2.8", 0},
        {"dew point, humidity 0.5 taken as 1", "TA:20|RH:0.5", "dewPoint", "-37.8", 0},
        {"dew point saturated", "TA:30|RH:100", "dewPoint", "30", 0},
        {"dew point, negative humidity", "TA:20|RH:-3.5", "dewPoint", "", 1},
        {"dew point, implausible temperature", "TA:99|RH:50", "dewPoint", "", 1},
        {"heat index, worked example", "TA:22.8|RH:27", "heatIndex", "21.84", 0},
        {"heat index dry, 100.49 F", "TA:38.05|RH:10", "heatIndex", "34.78", 0},
        {"heat index humid, 82.4 F", "TA:28|RH:90", "heatIndex", "34", 0},
        {"wind chill, 2.6 kt is below 3 mph", "TA:0|WI:2.6:90", "windChill", "", 0},
        {"wind chill, 2.7 kt at 50 F", "TA:10|WI:2.7:90", "windChill", "9.76", 0},
        {"wind chill, 2.7 kt above 50 F", "TA:10.1|WI:2.7:90", "windChill", "", 0},
        {"pressure altitude, 336.9 hPa", "BA:336.9:3000", "pressureAlt", "", 0},
        {"pressure altitude, standard", "BA:1013.25:2992", "pressureAlt", "0", 0},
        {"pressure altitude, 1084.1 hPa", "BA:1084.1:3000", "pressureAlt", "", 0},
        {"station pressure", "BA:1013.25:2992|EL:0.0", "stationPressure", "29.92", 0},
        {"station pressure, no elevation", "BA:1013.25:2992|EL:?", "stationPressure", "", 0},
        {"station pressure, no altimeter", "BA:1013.25|EL:0.0", "stationPressure", "", 0},
        {"density altitude, no altimeter", "BA:1013.25|RH:27|TA:22.8|EL:0.0", "densityAlt", "", 0},
        {"0.6 mi is fog", "TA:22.8|RH:27|VI:0.6", "obstruction", "FG", 0},
        {"2 mi, wide spread is haze", "TA:22.8|RH:27|VI:2", "obstruction", "HZ", 0},
        {"2.5 mi is clear", "TA:22.8|RH:27|VI:2.5", "obstruction", "", 0},
        {"rain and mist", "TA:20|RH:86|VI:2|PW:0.35", "presentWeather", "RA BR", 0},
        {"rain, no visibility", "TA:20|RH:86|VI:?|PW:0.05", "presentWeather", "-RA", 0},
        {"implausible rain rate", "TA:5|RH:50|PW:1e9", "presentWeather", "", 1},
        // Station time and the five-minute slots of precipitation and lightning.
        {"more after the seconds", "T:18/05/31,02:37:13:44", "logTimestamp", "2018-05-31 02:37:13", 0},
        {"more after the seconds, no METAR time", "T:18/05/31,02:37:13:44", "metarDayTime", "000000", 0},
        {"T: inside LAT:", "LAT:18/05/31,02:37:13", "logTimestamp", "", 0},
        {"cut short", "T:18/05/31,02:37:1", "logTimestamp", "", 0},
        {"a further T: cuts the window", "T:18/05/T:31,02:37:13", "logTimestamp", "", 0},
        {"impossible station time", "T:99/99/99,99:99:99", "logTimestamp", "", 1},
        {"30 February", "T:18/02/30,02:37:13", "metarDayTime", "000000", 1},
        {"began in this hour", "T:18/05/31,02:37:13|PW:0.35:40:2:HI", "precipBegan", "0235", 0},
        {"ended in the hour before", "T:18/05/31,02:37:13|LD:4.3:12:HI", "lightningEnded", "0140", 0},
        {"slot at the minute, across midnight", "T:18/06/01,00:10:05|PW:0.35:40:2:CC", "precipBegan", "2310",
         0},
        {"no event", "T:18/05/31,02:37:13|LD:4.3:12:--", "lightningBegan", "-", 0},
        {"unknown begin", "T:18/05/31,02:37:13|PW:0.35:40:2:?A", "precipBegan", "-", 0},
        {"letter after L", "T:18/05/31,02:37:13|LD:4.3:12:MZ", "lightningBegan", "-", 0},
        {"one letter, ended", "T:18/05/31,02:37:13|PW:0.35:40:2:H", "precipEnded", "-", 0},
        {"slot without a usable time", "T:18/05/31,02:37:13:44|PW:0.35:40:2:HI", "precipBegan", "", 0},
    };
    for (const auto &r : rows)
        QTest::newRow(r.row) << r.lines << r.name << r.expected << r.named;
}

void TestWeatherParser::readings()
{
    QFETCH(QString, lines);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QFETCH(int, named);

    WeatherParser parser;
    parser.setPacketText("@I:300234063909320\r\n@012\r\n" + lines.replace('|', "\r\n") + "\r\n~\r\n");
    QVERIFY(kNames.contains(name));
    QCOMPARE(all(parser).at(kNames.indexOf(name)), expected);
    QCOMPARE(parser.implausibleReadings().size(), named);
}

void TestWeatherParser::implausibleReadingsAreNamed()
{
    WeatherParser parser;
    parser.setPacketText(QStringLiteral("TA:99\r\nCL:1:0:-5:600\r\nT:18/13/01,00:00:00\r\n"));
    QCOMPARE(parser.implausibleReadings(),
             QStringList({"TA field 0 \"99\" is outside -90 to 65 C: counted as missing",
                          "CL field 2 \"-5\" is outside 0 to 30000 m: counted as missing",
                          "T \"18/13/01,00:00:00\" is no possible station time: counted as none"}));
}

void TestWeatherParser::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    const QString example = loadPacket(QStringLiteral("weather_example_no_gps_no_ceilometer.txt"));
    const QString full = loadPacket(QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt"));
    const QString noCl = loadPacket(QStringLiteral("weather_no_cl_ld_lines_aux.txt"));
    const QString longField(5000, QLatin1Char('7'));
    const QString longLines = "N:" + longField + ":x:" + longField + ":y\r\nTA:1\r\n";

    QTest::newRow("first field") << example << "TA" << 0 << "22.8";
    QTest::newRow("rest of line keeps colons") << example << "T" << -1 << "18/05/31,02:37:13";
    QTest::newRow("second field") << example << "WI" << 1 << "?";
    QTest::newRow("beyond the line") << example << "PW" << 7 << "";
    QTest::newRow("does not run into the next line") << example << "BA" << 1 << "";
    QTest::newRow("T is not TA") << example << "T" << 0 << "18/05/31,02";
    QTest::newRow("absent tag") << example << "ZZ" << 0 << "";
    QTest::newRow("null tag") << example << QString() << 0 << "";
    QTest::newRow("CL not inside ECL") << noCl << "CL" << 1 << "";
    QTest::newRow("LD not inside LDD") << noCl << "LD" << 0 << "";
    QTest::newRow("own CL before ECL") << full << "CL" << 3 << "3000";
    QTest::newRow("field after empty") << QStringLiteral("XX:a::c\r\n") << "XX" << 2 << "c";
    QTest::newRow("characters holding the byte 0x0A")
        << QStringLiteral("N:\u0A0A\u010ATA:1\u0A0A\r\nTA:2\u010A\nRH:\u0A0A") << "TA" << 0
        << QStringLiteral("2\u010A");
    QTest::newRow("tag inside a line") << QStringLiteral("N:0 TA:5\r\nTA:6") << "TA" << 0 << "6";
    // The first field and the rest of the line stop at 1024 characters; later fields do not.
    QTest::newRow("long first field") << longLines << "N" << 0 << longField.left(1024);
    QTest::newRow("long rest of line") << longLines << "N" << -1 << longField.left(1024);
    QTest::newRow("after a long field") << longLines << "N" << 1 << "x";
    QTest::newRow("long later field") << longLines << "N" << 2 << longField;
    QTest::newRow("line after long ones") << longLines << "TA" << 0 << "1";
}

void TestWeatherParser::getField()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(int, index);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(text);
    QCOMPARE(parser.getField(tag, index), expected);
}

void TestWeatherParser::numbers()
{
    // text, validInt, validDouble
    const char *const filters[][3] = {
        {"27", "27", "27"}, {"1018.30", "", "1018.30"}, {"?", "", ""}, {"--", "", ""}, {"1e3", "", "1e3"}};
    for (const auto &row : filters) {
        QCOMPARE(WeatherParser::validInt(row[0]), QString(row[1]));
        QCOMPARE(WeatherParser::validDouble(row[0]), QString(row[2]));
    }
    // Halves go away from zero; formatG6 writes the result.
    const struct
    {
        double value, step;
        const char *text;
    } steps[] = {{2.5, 1, "3"},      {-2.5, 1, "-3"},          {-4.9, 10, "0"},
                 {-5, 10, "-10"},    {21.8406, 0.02, "21.84"}, {2.817, 0.1, "2.8"},
                 {1e12, 10, "1e+12"}};
    for (const auto &row : steps)
        QCOMPARE(WeatherParser::formatG6(WeatherParser::roundToStep(row.value, row.step)), QString(row.text));
}

void TestWeatherParser::arbitraryText_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("bare tags") << QStringLiteral("T\r\nTA\r\nCL:\r\nPW:\r\nLD:");
    QTest::newRow("tags without line ends")
        << QStringLiteral("@I:1 B:5:3 T:18/05/31,02:37:13 TA:22.8 BA:1018.30:3007 CL:1:1200");
    QTest::newRow("100 kB line") << QStringLiteral("CL:1:") + QString(100000, QLatin1Char('9'));
    QString binary;
    for (int i = 0; i < 4096; ++i)
        binary += QChar(ushort((i * 7919) % 0x10000));
    QTest::newRow("binary") << binary;
    static const char zeros[] = "T:\0\0\0\r\nCL:\0:\0:\0\r\nLD:\0:\0:\0";
    QTest::newRow("zero bytes") << QString::fromLatin1(zeros, sizeof(zeros) - 1);
    QTest::newRow("packet cut short")
        << loadPacket(QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt")).left(150);
}

void TestWeatherParser::arbitraryText()
{
    QFETCH(QString, text);

    WeatherParser parser;
    parser.setPacketText(text);
    for (const QString &value : all(parser))
        QVERIFY(value.size() <= 1024);
    for (const char *tag : {"", "T", "TA", "CL", "PW", "@I", "\r", ":"}) {
        for (int index = -2; index <= 8; ++index)
            QVERIFY(parser.getField(QString::fromLatin1(tag), index).size() <= text.size());
    }
}

QTEST_GUILESS_MAIN(TestWeatherParser)
#include "tst_weatherparser.moc"
