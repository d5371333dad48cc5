// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QHash>
#include <QTest>

namespace {

using Accessor = QString (WeatherParser::*)() const;

const QHash<QString, Accessor> &accessors()
{
    static const QHash<QString, Accessor> table = {
        {QStringLiteral("imei"), &WeatherParser::getImei},
        {QStringLiteral("battery"), &WeatherParser::getBattery},
        {QStringLiteral("mode"), &WeatherParser::getMode},
        {QStringLiteral("temperature"), &WeatherParser::getTemperature},
        {QStringLiteral("pressure"), &WeatherParser::getPressure},
        {QStringLiteral("altimeter"), &WeatherParser::getAltimeter},
        {QStringLiteral("humidity"), &WeatherParser::getHumidity},
        {QStringLiteral("elevation"), &WeatherParser::getElevation},
        {QStringLiteral("lat"), &WeatherParser::getLat},
        {QStringLiteral("lon"), &WeatherParser::getLon},
        {QStringLiteral("orientation"), &WeatherParser::getOrientation},
        {QStringLiteral("tilt"), &WeatherParser::getTilt},
        {QStringLiteral("windSpeed"), &WeatherParser::getWindSpeed},
        {QStringLiteral("windDir"), &WeatherParser::getWindDir},
        {QStringLiteral("maxWindSpeed"), &WeatherParser::getMaxWindSpeed},
        {QStringLiteral("maxWindDir"), &WeatherParser::getMaxWindDir},
        {QStringLiteral("lightningDist"), &WeatherParser::getLightningDist},
        {QStringLiteral("lightningFreq"), &WeatherParser::getLightningFreq},
        {QStringLiteral("visibility"), &WeatherParser::getVisibility},
        {QStringLiteral("precip"), &WeatherParser::getPrecip},
        {QStringLiteral("precipType"), &WeatherParser::getPrecipType},
        {QStringLiteral("interference"), &WeatherParser::getInterference},
        {QStringLiteral("ceilometerHits"), &WeatherParser::getCeilometerHits},
        {QStringLiteral("cloudLayers"), &WeatherParser::getCloudLayers},
        {QStringLiteral("dewPoint"), &WeatherParser::getDewPoint},
        {QStringLiteral("heatIndex"), &WeatherParser::getHeatIndex},
        {QStringLiteral("windChill"), &WeatherParser::getWindChill},
        {QStringLiteral("stationPressure"), &WeatherParser::getStationPressure},
        {QStringLiteral("pressureAlt"), &WeatherParser::getPressureAlt},
        {QStringLiteral("densityAlt"), &WeatherParser::getDensityAlt},
        {QStringLiteral("obstruction"), &WeatherParser::getObstruction},
        {QStringLiteral("presentWeather"), &WeatherParser::getPresentWeather},
        {QStringLiteral("logTimestamp"), &WeatherParser::getLogTimestamp},
        {QStringLiteral("metarDayTime"), &WeatherParser::getMetarDayTime},
    };
    return table;
}

// A packet body from lines, each ended by CR LF.
QString packet(std::initializer_list<const char *> lines)
{
    QString text;
    for (const char *line : lines)
        text += QLatin1String(line) + QLatin1String("\r\n");
    return text;
}

} // namespace

class TestWeatherParser : public QObject
{
    Q_OBJECT

private slots:
    void fixtureReadings_data();
    void fixtureReadings();
    void getField_data();
    void getField();
    void validityFilters_data();
    void validityFilters();
    void modeNames_data();
    void modeNames();
    void readingFilters_data();
    void readingFilters();
    void implausibleReadingsAreNamed();
    void clouds_data();
    void clouds();
    void arbitraryText_data();
    void arbitraryText();
};

void TestWeatherParser::fixtureReadings_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("accessor");
    QTest::addColumn<QString>("expected");

    const QStringList names = {
        "imei",       "battery",   "mode",         "temperature",  "pressure",       "altimeter",
        "humidity",   "elevation", "lat",          "lon",          "orientation",    "tilt",
        "windSpeed",  "windDir",   "maxWindSpeed", "maxWindDir",   "lightningDist",  "lightningFreq",
        "visibility", "precip",    "precipType",   "interference", "ceilometerHits", "cloudLayers"};
    // Values in the order of the names. The example's BA line has no second
    // field: the RH line below must not supply one. The third fixture has no
    // CL and LD lines: the ECL and LDD lines of its auxiliary part must not
    // stand in for them.
    const QList<QPair<const char *, const char *>> cases = {
        {"weather_example_no_gps_no_ceilometer.txt",
         "300234063909320|5.32|5 Minute|22.8|1018.30||27||||182.5|2|1||1|||0|0.05|0.00||OK|0/0|No "
         "Ceilometer"},
        {"weather_full_gps_clouds_rain_lightning_aux.txt",
         "300234063909321|12.74|1 "
         "Minute|-5.4|983.20|29.76|85|256.0|44.9778|-93.2650|271.3|4|12.4|275|18.0|280|4.3|"
         "12|2|0.35|RA|Interference|3/3|3900, 10000"},
        {"weather_no_cl_ld_lines_aux.txt",
         "300234063909322|6.01|3 Hour|31.5|1009.80|29.86|60|58.0|-33.8688|151.2093|"
         "12.0|0|0.0|0|2.5|90|||10.0||||0/0|NA"},
        {"weather_midnight_ceilometer_off.txt",
         "300234063909323|4.95|10 Second|35.0|845.60|29.98|10|1609.3|90|-180|"
         "0.0|-3|2.7|180|5.1|190|12.0|1|2.5|0.55|+RA|OK|0/4|Ceilometer OFF"},
        {"weather_fog_no_cloud_detected.txt",
         "300234063909324|5.10|1 Hour|4.2|1013.25|29.92|98.5|0.0|||90.0|0|0.5||"
         "1.0|||0|0.6|0.05|-RA|Interference|0/4|NCD"},
    };
    for (const auto &c : cases) {
        const QStringList values = QString::fromLatin1(c.second).split('|');
        for (int i = 0; i < names.size(); ++i)
            QTest::addRow("%s/%s", c.first, qPrintable(names[i])) << c.first << names[i] << values.value(i);
    }
}

void TestWeatherParser::fixtureReadings()
{
    QFETCH(QString, fixture);
    QFETCH(QString, accessor);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(testsupport::packetText(fixture));
    QVERIFY(parser.packetText().startsWith(QLatin1String("@I:")));
    QVERIFY(accessors().contains(accessor));
    QCOMPARE((parser.*accessors().value(accessor))(), expected);
}

void TestWeatherParser::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    const QString example =
        testsupport::packetText(QStringLiteral("weather_example_no_gps_no_ceilometer.txt"));
    const QString full =
        testsupport::packetText(QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt"));
    const QString noCl = testsupport::packetText(QStringLiteral("weather_no_cl_ld_lines_aux.txt"));

    QTest::newRow("first field") << example << "TA" << 0 << "22.8";
    QTest::newRow("rest of line keeps colons") << example << "T" << -1 << "18/05/31,02:37:13";
    QTest::newRow("second field") << example << "WI" << 1 << "?";
    QTest::newRow("beyond the line") << example << "PW" << 7 << "";
    QTest::newRow("does not run into the next line") << example << "BA" << 1 << "";
    QTest::newRow("T is not TA") << example << "T" << 0 << "18/05/31,02";
    QTest::newRow("absent tag") << example << "ZZ" << 0 << "";
    QTest::newRow("null tag") << example << QString() << 0 << "";
    QTest::newRow("CL not inside ECL") << noCl << "CL" << 1 << "";
    QTest::newRow("ECL itself") << noCl << "ECL" << 1 << "900";
    QTest::newRow("LD not inside LDD") << noCl << "LD" << 0 << "";
    QTest::newRow("own CL before ECL") << full << "CL" << 3 << "3000";
    QTest::newRow("field after empty") << QStringLiteral("XX:a::c\r\n") << "XX" << 2 << "c";
    QTest::newRow("characters holding the byte 0x0A")
        << QStringLiteral("N:\u0A0A\u010ATA:1\u0A0A\r\nTA:2\u010A\nRH:\u0A0A") << "TA" << 0
        << QStringLiteral("2\u010A");
    QTest::newRow("tag inside a line") << QStringLiteral("N:0 TA:5\r\nTA:6") << "TA" << 0 << "6";
    const QString longField(5000, QLatin1Char('7'));
    const QString longLine = "N:" + longField + ":x:" + longField + "\r\nTA:1\r\n";
    QTest::newRow("first field capped") << longLine << "N" << 0 << longField.left(1024);
    QTest::newRow("rest of line capped") << longLine << "N" << -1 << longField.left(1024);
    QTest::newRow("field behind a long one") << longLine << "N" << 1 << "x";
    QTest::newRow("later fields whole") << longLine << "N" << 2 << longField;
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

void TestWeatherParser::validityFilters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("asInt");
    QTest::addColumn<QString>("asDouble");
    const char *const rows[][4] = {{"integer", "27", "27", "27"},
                                   {"station decimals kept", "1018.30", "", "1018.30"},
                                   {"no value", "?", "", ""},
                                   {"exponent", "1e3", "", "1e3"}};
    for (const auto &row : rows)
        QTest::newRow(row[0]) << row[1] << row[2] << row[3];
}

void TestWeatherParser::validityFilters()
{
    QFETCH(QString, text);
    QFETCH(QString, asInt);
    QFETCH(QString, asDouble);
    QCOMPARE(WeatherParser::validInt(text), asInt);
    QCOMPARE(WeatherParser::validDouble(text), asDouble);
}

void TestWeatherParser::modeNames_data()
{
    QTest::addColumn<QString>("bLine");
    QTest::addColumn<int>("digit");
    QTest::addColumn<QString>("name");

    QTest::newRow("0") << "B:5.32:0" << 0 << "3 Hour";
    QTest::newRow("3") << "B:5.32:3" << 3 << "5 Minute";
    QTest::newRow("6") << "B:5.32:6" << 6 << "10 Second";
    QTest::newRow("7") << "B:5.32:7" << 7 << "";
    QTest::newRow("negative") << "B:5.32:-1" << -1 << "";
    QTest::newRow("not a number") << "B:5.32:?" << 0 << "";
    QTest::newRow("no B line") << "TA:1:3" << 0 << "";
}

void TestWeatherParser::modeNames()
{
    QFETCH(QString, bLine);
    QFETCH(int, digit);
    QFETCH(QString, name);

    WeatherParser parser;
    parser.setPacketText(QStringLiteral("@I:300234063909320\r\n@012\r\n") + bLine +
                         QStringLiteral("\r\nT:18/05/31,02:37:13\r\n~\r\n"));
    QCOMPARE(parser.modeDigit(), digit);
    QCOMPARE(parser.getMode(), name);
    if (digit != 0 || !name.isEmpty())
        QCOMPARE(WeatherParser::modeName(digit), name);
}

void TestWeatherParser::readingFilters_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("accessor");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("named"); // lines of implausibleReadings()

    struct Row
    {
        const char *name;
        QString line;
        const char *accessor;
        const char *expected;
        int named;
    };
    const Row rows[] = {
        {"humidity", "RH:27", "humidity", "27", 0},
        {"humidity negative", "RH:-3", "humidity", "", 1},
        {"humidity above 100", "RH:100.5", "humidity", "", 1},
        {"humidity unknown is a gap", "RH:?", "humidity", "", 0},
        {"lat above range", "LA:91.5", "lat", "", 1},
        {"lon at range", "LO:-180", "lon", "-180", 0},
        {"altimeter", "BA:1018.30:3007", "altimeter", "30.07", 0},
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
        {"implausible input, no dew point", "TA:99|RH:50", "dewPoint", "", 1},
        {"implausible input, no present weather", "TA:5|RH:50|PW:1e9", "presentWeather", "", 1},
        {"precip heavy", "PW:0.41", "precipType", "+RA", 0},
        {"precip at 0.4", "PW:0.40", "precipType", "RA", 0},
        {"precip at 0.1", "PW:0.10", "precipType", "-RA", 0},
        {"precip none", "PW:0.00", "precipType", "", 0},
        {"interference 49", "PW:0:0:0:--:49", "interference", "Interference", 0},
        {"interference 50", "PW:0:0:0:--:50", "interference", "OK", 0},
        {"interference unknown", "PW:0:0:0:--:?", "interference", "", 0},
        {"tilt decimal", "OR:10.0:2.5", "tilt", "", 0},
        {"lightning count", "LD:?:3:AB", "lightningFreq", "3", 0},
        {"impossible station time", "T:99/99/99,99:99:99", "logTimestamp", "", 1},
        {"30 February", "T:18/02/30,02:37:13", "metarDayTime", "000000", 1},
    };
    for (const Row &row : rows)
        QTest::newRow(row.name) << QString(row.line).replace('|', "\r\n") << row.accessor << row.expected
                                << row.named;
}

void TestWeatherParser::readingFilters()
{
    QFETCH(QString, line);
    QFETCH(QString, accessor);
    QFETCH(QString, expected);
    QFETCH(int, named);

    WeatherParser parser;
    parser.setPacketText(QStringLiteral("@I:300234063909320\r\n@012\r\n") + line +
                         QStringLiteral("\r\nVI:9\r\n~\r\n"));
    QCOMPARE((parser.*accessors().value(accessor))(), expected);
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

void TestWeatherParser::clouds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("layers");
    QTest::addColumn<QString>("hits");
    // 3937.2, 4035.63 and 9843 ft round to 3900, 4000 and 10000; 4000 is only
    // 100 above 3900. Implausible heights are no reading, no layer, and no
    // "no cloud" either.
    const char *const rows[][4] = {
        {"three hits", "CL:1:1200:1230:3000:?:?:?", "3900, 10000", "3/3"},
        {"no ceilometer", "CL:?--00:?:?:?:?", "No Ceilometer", "0/0"},
        {"no cloud detected", "CL:1:0:500:0:0:0:0", "NCD", "1/4"},
        {"no CL line", "TA:5", "NA", "0/0"},
        {"steps 500 and 1000", "CL:1:1600:3100:4000:?:?:?", "5000, 10000, 13000", "3/3"},
        {"negative height", "CL:1:-5:600:?:?:?:?", "2000", "1/1"},
        {"only negatives", "CL:1:-5", "", "0/0"},
        {"nan and inf", "CL:1:nan:inf:600", "2000", "1/1"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << packet({row[1]}) << row[2] << row[3];
}

void TestWeatherParser::clouds()
{
    QFETCH(QString, text);
    QFETCH(QString, layers);
    QFETCH(QString, hits);

    WeatherParser parser;
    parser.setPacketText(text);
    QCOMPARE(parser.getCloudLayers(), layers);
    QCOMPARE(parser.getCeilometerHits(), hits);
}

void TestWeatherParser::arbitraryText_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("null") << QString();
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
        << testsupport::packetText(QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt"))
               .left(150);
}

void TestWeatherParser::arbitraryText()
{
    QFETCH(QString, text);

    WeatherParser parser;
    parser.setPacketText(text);
    for (auto it = accessors().cbegin(); it != accessors().cend(); ++it)
        QVERIFY((parser.*it.value())().size() <= 1024);
    for (int which = -1; which <= 2; ++which) {
        QVERIFY(parser.getPrecipTime(which).size() <= 4);
        QVERIFY(parser.getLightningTime(which).size() <= 4);
    }
    for (const char *tag : {"", "T", "TA", "CL", "PW", "@I", "\r", ":"}) {
        for (int index = -2; index <= 8; ++index)
            QVERIFY(parser.getField(QString::fromLatin1(tag), index).size() <= text.size());
    }
    QVERIFY(parser.getField(QStringLiteral("CL"), 0).size() <= 1024);
    parser.modeDigit();
}

QTEST_GUILESS_MAIN(TestWeatherParser)
#include "tst_weatherparser.moc"
