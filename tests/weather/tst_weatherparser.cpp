// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
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

QString loadPacket(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/packets/") + name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
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
    void getFieldCapsLongLines();
    void validityFilters_data();
    void validityFilters();
    void modeNames_data();
    void modeNames();
    void readingFilters_data();
    void readingFilters();
    void clouds_data();
    void clouds();
    void noPacketYet();
    void arbitraryText_data();
    void arbitraryText();
};

void TestWeatherParser::fixtureReadings_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("accessor");
    QTest::addColumn<QString>("expected");

    struct Case
    {
        const char *fixture;
        QList<QPair<const char *, const char *>> values;
    };
    const QList<Case> cases = {
        {"weather_example_no_gps_no_ceilometer.txt",
         {{"imei", "300234063909320"},
          {"battery", "5.32"},
          {"mode", "5 Minute"},
          {"temperature", "22.8"},
          {"pressure", "1018.30"},
          // The BA line has no second field: the RH line below must not supply one.
          {"altimeter", ""},
          {"humidity", "27"},
          {"elevation", ""},
          {"lat", ""},
          {"lon", ""},
          {"orientation", "182.5"},
          {"tilt", "2"},
          {"windSpeed", "1"},
          {"windDir", ""},
          {"maxWindSpeed", "1"},
          {"maxWindDir", ""},
          {"lightningDist", ""},
          {"lightningFreq", "0"},
          {"visibility", "0.05"},
          {"precip", "0.00"},
          {"precipType", ""},
          {"interference", "OK"},
          {"ceilometerHits", "0/0"},
          {"cloudLayers", "No Ceilometer"}}},
        {"weather_full_gps_clouds_rain_lightning_aux.txt",
         {{"imei", "300234063909321"}, {"battery", "12.74"},
          {"mode", "1 Minute"},        {"temperature", "-5.4"},
          {"pressure", "983.20"},      {"altimeter", "29.76"},
          {"humidity", "85"},          {"elevation", "256.0"},
          {"lat", "44.9778"},          {"lon", "-93.2650"},
          {"orientation", "271.3"},    {"tilt", "4"},
          {"windSpeed", "12.4"},       {"windDir", "275"},
          {"maxWindSpeed", "18.0"},    {"maxWindDir", "280"},
          {"lightningDist", "4.3"},    {"lightningFreq", "12"},
          {"visibility", "2"},         {"precip", "0.35"},
          {"precipType", "RA"},        {"interference", "Interference"},
          {"ceilometerHits", "3/3"},   {"cloudLayers", "3900, 10000"}}},
        // No CL and LD lines of its own: the ECL and LDD lines of the
        // auxiliary part that follows must not stand in for them.
        {"weather_no_cl_ld_lines_aux.txt", {{"imei", "300234063909322"}, {"battery", "6.01"},
                                            {"mode", "3 Hour"},          {"temperature", "31.5"},
                                            {"pressure", "1009.80"},     {"altimeter", "29.86"},
                                            {"humidity", "60"},          {"elevation", "58.0"},
                                            {"lat", "-33.8688"},         {"lon", "151.2093"},
                                            {"orientation", "12.0"},     {"tilt", "0"},
                                            {"windSpeed", "0.0"},        {"windDir", "0"},
                                            {"maxWindSpeed", "2.5"},     {"maxWindDir", "90"},
                                            {"lightningDist", ""},       {"lightningFreq", ""},
                                            {"visibility", "10.0"},      {"precip", ""},
                                            {"precipType", ""},          {"interference", ""},
                                            {"ceilometerHits", "0/0"},   {"cloudLayers", "NA"}}},
        {"weather_midnight_ceilometer_off.txt",
         {{"imei", "300234063909323"},
          {"battery", "4.95"},
          {"mode", "10 Second"},
          {"temperature", "35.0"},
          {"pressure", "845.60"},
          {"altimeter", "29.98"},
          {"humidity", "10"},
          {"elevation", "1609.3"},
          {"lat", "90"},
          {"lon", "-180"},
          {"orientation", "0.0"},
          {"tilt", "-3"},
          {"windSpeed", "2.7"},
          {"windDir", "180"},
          {"maxWindSpeed", "5.1"},
          {"maxWindDir", "190"},
          {"lightningDist", "12.0"},
          {"lightningFreq", "1"},
          {"visibility", "2.5"},
          {"precip", "0.55"},
          {"precipType", "+RA"},
          {"interference", "OK"},
          {"ceilometerHits", "0/4"},
          {"cloudLayers", "Ceilometer OFF"}}},
        {"weather_fog_no_cloud_detected.txt",
         {{"imei", "300234063909324"},
          {"battery", "5.10"},
          {"mode", "1 Hour"},
          {"temperature", "4.2"},
          {"pressure", "1013.25"},
          {"altimeter", "29.92"},
          {"humidity", "98.5"},
          {"elevation", "0.0"},
          {"lat", ""},
          {"lon", ""},
          {"orientation", "90.0"},
          {"tilt", "0"},
          {"windSpeed", "0.5"},
          {"windDir", ""},
          {"maxWindSpeed", "1.0"},
          {"maxWindDir", ""},
          {"lightningDist", ""},
          {"lightningFreq", "0"},
          {"visibility", "0.6"},
          {"precip", "0.05"},
          {"precipType", "-RA"},
          {"interference", "Interference"},
          {"ceilometerHits", "0/4"},
          {"cloudLayers", "NCD"}}},
    };
    for (const Case &c : cases) {
        for (const auto &value : c.values) {
            QTest::addRow("%s/%s", c.fixture, value.first)
                << QString::fromLatin1(c.fixture) << QString::fromLatin1(value.first)
                << QString::fromLatin1(value.second);
        }
    }
}

void TestWeatherParser::fixtureReadings()
{
    QFETCH(QString, fixture);
    QFETCH(QString, accessor);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(loadPacket(fixture));
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

    const QString example = loadPacket(QStringLiteral("weather_example_no_gps_no_ceilometer.txt"));
    const QString full = loadPacket(QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt"));
    const QString noCl = loadPacket(QStringLiteral("weather_no_cl_ld_lines_aux.txt"));

    QTest::newRow("first field") << example << "TA" << 0 << "22.8";
    QTest::newRow("rest of line keeps colons") << example << "T" << -1 << "18/05/31,02:37:13";
    QTest::newRow("any negative index is the rest") << example << "PW" << -7 << "0.00:25:?:--:99:1715:256";
    QTest::newRow("second field") << example << "WI" << 1 << "?";
    QTest::newRow("sixth field") << example << "PW" << 6 << "256";
    QTest::newRow("beyond the line") << example << "PW" << 7 << "";
    QTest::newRow("does not run into the next line") << example << "BA" << 1 << "";
    QTest::newRow("far beyond the line") << example << "BA" << 5 << "";
    QTest::newRow("IMEI") << example << "@I" << 0 << "300234063909320";
    QTest::newRow("T is not TA") << example << "T" << 0 << "18/05/31,02";
    QTest::newRow("absent tag") << example << "ZZ" << 0 << "";
    QTest::newRow("case-sensitive") << example << "ta" << 0 << "";
    QTest::newRow("null tag") << example << QString() << 0 << "";
    QTest::newRow("CL not inside ECL") << noCl << "CL" << 1 << "";
    QTest::newRow("ECL itself") << noCl << "ECL" << 1 << "900";
    QTest::newRow("LD not inside LDD") << noCl << "LD" << 0 << "";
    QTest::newRow("own CL before ECL") << full << "CL" << 3 << "3000";
    QTest::newRow("ECL after CL") << full << "ECL" << 3 << "2980";
    QTest::newRow("empty field kept") << QStringLiteral("XX:a::c\r\n") << "XX" << 1 << "";
    QTest::newRow("field after empty") << QStringLiteral("XX:a::c\r\n") << "XX" << 2 << "c";
    QTest::newRow("line without fields") << QStringLiteral("XX:\r\nYY:1") << "XX" << 0 << "";
    QTest::newRow("no line end") << QStringLiteral("TA:22.8") << "TA" << 0 << "22.8";
    QTest::newRow("last field, no line end") << QStringLiteral("WI:1:270") << "WI" << 1 << "270";
    QTest::newRow("line feed only") << QStringLiteral("TA:1:2\nRH:3") << "TA" << 2 << "";
    QTest::newRow("characters holding the byte 0x0A")
        << QStringLiteral("N:\u0A0A\u010ATA:1\u0A0A\r\nTA:2\u010A\nRH:\u0A0A") << "TA" << 0
        << QStringLiteral("2\u010A");
    QTest::newRow("tag inside a line") << QStringLiteral("N:0 TA:5\r\nTA:6") << "TA" << 0 << "6";
    QTest::newRow("tag at the very end") << QStringLiteral("B:1\r\nTA") << "TA" << -1 << "";
    QTest::newRow("colon at the very end") << QStringLiteral("B:1\r\nTA:") << "TA" << 0 << "";
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

void TestWeatherParser::getFieldCapsLongLines()
{
    const QString longField(5000, QLatin1Char('7'));
    WeatherParser parser;
    parser.setPacketText(QStringLiteral("N:") + longField + QStringLiteral(":x:") + longField +
                         QStringLiteral(":y\r\nTA:1\r\n"));

    QCOMPARE(parser.getField(QStringLiteral("N"), 0), longField.left(1024));
    QCOMPARE(parser.getField(QStringLiteral("N"), -1), longField.left(1024));
    QCOMPARE(parser.getField(QStringLiteral("N"), 1), QStringLiteral("x"));
    QCOMPARE(parser.getField(QStringLiteral("N"), 2), longField);
    QCOMPARE(parser.getField(QStringLiteral("N"), 3), QStringLiteral("y"));
    QCOMPARE(parser.getField(QStringLiteral("TA"), 0), QStringLiteral("1"));
}

void TestWeatherParser::validityFilters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("asInt");
    QTest::addColumn<QString>("asDouble");

    QTest::newRow("integer") << "27"
                             << "27"
                             << "27";
    QTest::newRow("negative integer") << "-3"
                                      << "-3"
                                      << "-3";
    QTest::newRow("station decimals kept") << "1018.30"
                                           << ""
                                           << "1018.30";
    QTest::newRow("no value") << "?"
                              << ""
                              << "";
    QTest::newRow("dashes") << "--"
                            << ""
                            << "";
    QTest::newRow("dash") << "-"
                          << ""
                          << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("decimal comma") << "1,5"
                                   << ""
                                   << "";
    QTest::newRow("hexadecimal") << "1F"
                                 << ""
                                 << "";
    QTest::newRow("exponent") << "1e3"
                              << ""
                              << "1e3";
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
    QTest::newRow("1") << "B:5.32:1:000123" << 1 << "1 Hour";
    QTest::newRow("2") << "B:5.32:2" << 2 << "20 Minute";
    QTest::newRow("3") << "B:5.32:3" << 3 << "5 Minute";
    QTest::newRow("4") << "B:5.32:4" << 4 << "1 Minute";
    QTest::newRow("5") << "B:5.32:5" << 5 << "20 Second";
    QTest::newRow("6") << "B:5.32:6" << 6 << "10 Second";
    QTest::newRow("7") << "B:5.32:7" << 7 << "";
    QTest::newRow("negative") << "B:5.32:-1" << -1 << "";
    QTest::newRow("not a number") << "B:5.32:?" << 0 << "";
    QTest::newRow("absent") << "B:5.32" << 0 << "";
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

    QTest::newRow("humidity") << "RH:27"
                              << "humidity"
                              << "27";
    QTest::newRow("humidity negative integer") << "RH:-3"
                                               << "humidity"
                                               << "";
    QTest::newRow("humidity negative decimal") << "RH:-3.5"
                                               << "humidity"
                                               << "";
    QTest::newRow("humidity negative fraction") << "RH:-0.2"
                                                << "humidity"
                                                << "";
    QTest::newRow("humidity zero") << "RH:0"
                                   << "humidity"
                                   << "0";
    QTest::newRow("humidity unknown") << "RH:?"
                                      << "humidity"
                                      << "";
    QTest::newRow("lat above range") << "LA:91.5"
                                     << "lat"
                                     << "";
    QTest::newRow("lat at range") << "LA:-90"
                                  << "lat"
                                  << "-90";
    QTest::newRow("lon at range") << "LO:-180"
                                  << "lon"
                                  << "-180";
    QTest::newRow("lon above range") << "LO:180.01"
                                     << "lon"
                                     << "";
    QTest::newRow("altimeter") << "BA:1018.30:3007"
                               << "altimeter"
                               << "30.07";
    QTest::newRow("altimeter whole") << "BA:1018.30:3000"
                                     << "altimeter"
                                     << "30";
    QTest::newRow("altimeter decimal") << "BA:1018.30:30.07"
                                       << "altimeter"
                                       << "";
    QTest::newRow("altimeter unknown") << "BA:1018.30:?"
                                       << "altimeter"
                                       << "";
    QTest::newRow("precip heavy") << "PW:0.41"
                                  << "precipType"
                                  << "+RA";
    QTest::newRow("precip at 0.4") << "PW:0.40"
                                   << "precipType"
                                   << "RA";
    QTest::newRow("precip moderate") << "PW:0.35"
                                     << "precipType"
                                     << "RA";
    QTest::newRow("precip at 0.1") << "PW:0.10"
                                   << "precipType"
                                   << "-RA";
    QTest::newRow("precip light") << "PW:0.05"
                                  << "precipType"
                                  << "-RA";
    QTest::newRow("precip none") << "PW:0.00"
                                 << "precipType"
                                 << "";
    QTest::newRow("precip unknown") << "PW:?"
                                    << "precipType"
                                    << "";
    QTest::newRow("interference 49") << "PW:0:0:0:--:49"
                                     << "interference"
                                     << "Interference";
    QTest::newRow("interference 50") << "PW:0:0:0:--:50"
                                     << "interference"
                                     << "OK";
    QTest::newRow("interference unknown") << "PW:0:0:0:--:?"
                                          << "interference"
                                          << "";
    QTest::newRow("interference missing") << "PW:0:0:0:--"
                                          << "interference"
                                          << "";
    QTest::newRow("tilt decimal") << "OR:10.0:2.5"
                                  << "tilt"
                                  << "";
    QTest::newRow("lightning count") << "LD:?:3:AB"
                                     << "lightningFreq"
                                     << "3";
}

void TestWeatherParser::readingFilters()
{
    QFETCH(QString, line);
    QFETCH(QString, accessor);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(QStringLiteral("@I:300234063909320\r\n@012\r\n") + line +
                         QStringLiteral("\r\nVI:9\r\n~\r\n"));
    QCOMPARE((parser.*accessors().value(accessor))(), expected);
}

void TestWeatherParser::clouds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("layers");
    QTest::addColumn<QString>("hits");

    // 3937.2, 4035.63 and 9843 ft round to 3900, 4000 and 10000; 4000 is only 100 above 3900.
    QTest::newRow("three hits") << packet({"CL:1:1200:1230:3000:?:?:?"}) << "3900, 10000"
                                << "3/3";
    QTest::newRow("no ceilometer") << packet({"CL:?--00:?:?:?:?"}) << "No Ceilometer"
                                   << "0/0";
    QTest::newRow("switched off") << packet({"CL:-OFF:0:0:0:0:0:0"}) << "Ceilometer OFF"
                                  << "0/4";
    QTest::newRow("no cloud detected") << packet({"CL:1:0:500:0:0:0:0"}) << "NCD"
                                       << "1/4";
    QTest::newRow("no CL line") << packet({"TA:5"}) << "NA"
                                << "0/0";
    QTest::newRow("field 1 empty") << packet({"CL:1::300"}) << "NA"
                                   << "1/1";
    QTest::newRow("only ECL") << packet({"ECL:1:1200:1230:3000"}) << "NA"
                              << "0/0";
    QTest::newRow("sorted") << packet({"CL:1:3000:1200:?:?:?:?"}) << "3900, 10000"
                            << "2/2";
    QTest::newRow("steps 500 and 1000") << packet({"CL:1:1600:3100:4000:?:?:?"}) << "5000, 10000, 13000"
                                        << "3/3";
    QTest::newRow("fields 5 and 6 listed") << packet({"CL:1:300:?:?:?:900:1500"}) << "1000, 3000, 4900"
                                           << "1/1";
    QTest::newRow("negative set aside") << packet({"CL:1:-5:600:?:?:?:?"}) << "2000"
                                        << "1/2";
    QTest::newRow("only negatives") << packet({"CL:1:-5"}) << ""
                                    << "0/1";
    QTest::newRow("not numbers") << packet({"CL:1:nan:inf:600"}) << "2000"
                                 << "2/3";
    QTest::newRow("next line not read") << packet({"CL:1:600", "PW:0.00:25:?:--:99"}) << "2000"
                                        << "1/1";
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

void TestWeatherParser::noPacketYet()
{
    WeatherParser parser;
    QVERIFY(parser.packetText().isNull());
    QCOMPARE(parser.getCloudLayers(), QStringLiteral("NA"));
    QCOMPARE(parser.getCeilometerHits(), QStringLiteral("0/0"));
    QCOMPARE(parser.getMetarDayTime(), QStringLiteral("000000"));
    QCOMPARE(parser.getPrecipTime(0), QStringLiteral("-"));
    QCOMPARE(parser.getLightningTime(1), QStringLiteral("-"));
    QCOMPARE(parser.modeDigit(), 0);
    const QStringList alwaysText = {QStringLiteral("cloudLayers"), QStringLiteral("ceilometerHits"),
                                    QStringLiteral("metarDayTime")};
    for (auto it = accessors().cbegin(); it != accessors().cend(); ++it) {
        if (!alwaysText.contains(it.key()))
            QVERIFY2((parser.*it.value())().isEmpty(), qPrintable(it.key()));
    }
}

void TestWeatherParser::arbitraryText_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("null") << QString();
    QTest::newRow("empty") << QStringLiteral("");
    QTest::newRow("line ends only") << QStringLiteral("\r\n\r\n\n\r");
    QTest::newRow("colons only") << QStringLiteral(":::::");
    QTest::newRow("bare tags") << QStringLiteral("T\r\nTA\r\nCL:\r\nPW:\r\nLD:");
    QTest::newRow("tags without line ends")
        << QStringLiteral("@I:1 B:5:3 T:18/05/31,02:37:13 TA:22.8 BA:1018.30:3007 CL:1:1200");
    QTest::newRow("short T line at end") << QStringLiteral("TA:1\r\nT:18/0");
    QTest::newRow("100 kB line") << QStringLiteral("CL:1:") + QString(100000, QLatin1Char('9'));
    QTest::newRow("100 kB of colons") << QStringLiteral("PW:") + QString(100000, QLatin1Char(':'));
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
