// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>

namespace {

using Accessor = QString (WeatherParser::*)() const;
using Reading = std::pair<const char *, Accessor>;

// Every reading and derived quantity by the name of its getter.
#define READING(name) Reading(#name, &WeatherParser::get##name)
const Reading kReadings[] = {
    READING(Imei),          READING(Battery),       READING(Mode),           READING(Temperature),
    READING(Pressure),      READING(Altimeter),     READING(Humidity),       READING(Elevation),
    READING(Lat),           READING(Lon),           READING(Orientation),    READING(Tilt),
    READING(WindSpeed),     READING(WindDir),       READING(MaxWindSpeed),   READING(MaxWindDir),
    READING(LightningDist), READING(LightningFreq), READING(Visibility),     READING(Precip),
    READING(PrecipType),    READING(Interference),  READING(CeilometerHits), READING(CloudLayers),
    READING(DewPoint),      READING(HeatIndex),     READING(WindChill),      READING(StationPressure),
    READING(PressureAlt),   READING(DensityAlt),    READING(Obstruction),    READING(PresentWeather),
    READING(LogTimestamp),  READING(MetarDayTime)};
#undef READING

QString read(const WeatherParser &parser, const QString &name)
{
    for (const auto &[key, accessor] : kReadings) {
        if (name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return (parser.*accessor)();
    }
    return QStringLiteral("<no reading %1>").arg(name);
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
    void getField_data();
    void getField();
    void readings_data();
    void readings();
    void implausibleReadingsAreNamed();
    void clouds();
    void roundToStep();
};

void TestWeatherParser::fixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("expected");

    // Values in the order of kReadings, then the precipitation and lightning
    // begin and end times. The example's BA line has no second field: the RH
    // line below must not supply one. The third fixture has no CL and LD
    // lines: the ECL and LDD lines of its auxiliary part must not stand in
    // for them.
    QTest::newRow("example") << "weather_example_no_gps_no_ceilometer.txt"
                             << "300234063909320|5.32|5 "
                                "Minute|22.8|1018.30||27||||182.5|2|1||1|||0|0.05|0.00||OK|0/0|No Ceilometer"
                                "|2.8|21.84|||-140||FG|FG"
                                "|2018-05-31 02:37:13|310237|-|-|-|-";
    QTest::newRow("full") << "weather_full_gps_clouds_rain_lightning_aux.txt"
                          << "300234063909321|12.74|1 "
                             "Minute|-5.4|983.20|29.76|85|256.0|44.9778|-93.2650|271.3|4|12.4|275|18.0|280|4."
                             "3|12|2|0.35|RA|Interference|3/3|3900, 10000"
                             "|-7.5|-7.66|-12.52|28.87|830|-1230|BR|RA BR"
                             "|2018-05-31 02:37:13|310237|0235|0140|0210|0155";
    QTest::newRow("no CL/LD lines, only ECL/LDD")
        << "weather_no_cl_ld_lines_aux.txt"
        << "300234063909322|6.01|3 "
           "Hour|31.5|1009.80|29.86|60|58.0|-33.8688|151.2093|12.0|0|0.0|0|2.5|90|||10.0||||0/0|NA"
           "|22.8|35.94||29.66|90|2560||"
           "|2018-12-24 18:05:59|241805|-|-|-|-";
    QTest::newRow("midnight, hot and dry") << "weather_midnight_ceilometer_off.txt"
                                           << "300234063909323|4.95|10 "
                                              "Second|35.0|845.60|29.98|10|1609.3|90|-180|0.0|-3|2.7|180|5.1|"
                                              "190|12.0|1|2.5|0.55|+RA|OK|0/4|Ceilometer OFF"
                                              "|-1.2|31.92||24.68|4920|8700||+RA"
                                              "|2018-06-01 00:10:05|010010|2310|2310|0000|0000";
    QTest::newRow("fog, end of the hour")
        << "weather_fog_no_cloud_detected.txt"
        << "300234063909324|5.10|1 "
           "Hour|4.2|1013.25|29.92|98.5|0.0|||90.0|0|0.5||1.0|||0|0.6|0.05|-RA|Interference|0/4|NCD"
           "|4|3.24||29.92|0|-1190|FG|-RA FG"
           "|2019-01-15 23:59:30|152359|2355|2355|-|-";
}

void TestWeatherParser::fixtures()
{
    QFETCH(QString, fixture);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText(loadPacket(fixture));
    QVERIFY(parser.packetText().startsWith(QLatin1String("@I:")));
    QStringList actual;
    for (const auto &[name, accessor] : kReadings)
        actual << QLatin1String(name) + '=' + (parser.*accessor)();
    for (int which : {0, 1})
        actual << "PrecipTime=" + parser.getPrecipTime(which);
    for (int which : {0, 1})
        actual << "LightningTime=" + parser.getLightningTime(which);
    QStringList wanted = expected.split('|');
    for (int i = 0; i < wanted.size(); ++i)
        wanted[i].prepend(actual.value(i).section('=', 0, 0) + '=');
    QCOMPARE(actual, wanted);

    // Readings share the packet's text: they outlive the parser's next packet.
    const WeatherValues kept = parser.values();
    const QString temperature = parser.getTemperature(), latitude = kept.latField.text();
    parser.setPacketText(QString(parser.packetText().size(), QLatin1Char('x')));
    QCOMPARE(kept.temperature.text(), temperature);
    QCOMPARE(kept.latField.view(), latitude);
}

void TestWeatherParser::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    const QString example = loadPacket(QStringLiteral("weather_example_no_gps_no_ceilometer.txt"));
    const QString longField(5000, QLatin1Char('7'));
    const QString longLine = "N:" + longField + ":x:" + longField + ":y\r\nTA:1\r\n";

    QTest::newRow("rest of line keeps colons") << example << "T" << -1 << "18/05/31,02:37:13";
    QTest::newRow("beyond the line") << example << "PW" << 7 << "";
    QTest::newRow("T is not TA") << example << "T" << 0 << "18/05/31,02";
    QTest::newRow("field after empty") << QStringLiteral("XX:a::c\r\n") << "XX" << 2 << "c";
    QTest::newRow("characters holding the byte 0x0A")
        << QStringLiteral("N:\u0A0A\u010ATA:1\u0A0A\r\nTA:2\u010A\nRH:\u0A0A") << "TA" << 0
        << QStringLiteral("2\u010A");
    QTest::newRow("tag inside a line") << QStringLiteral("N:0 TA:5\r\nTA:6") << "TA" << 0 << "6";
    QTest::newRow("first field capped") << longLine << "N" << 0 << longField.left(1024);
    QTest::newRow("later field whole") << longLine << "N" << 2 << longField;
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

void TestWeatherParser::readings_data()
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
        {"humidity negative", "RH:-3", "humidity", "", 1},
        {"humidity unknown is a gap", "RH:?", "humidity", "", 0},
        {"lon at range", "LO:-180", "lon", "-180", 0},
        {"altimeter decimal", "BA:1018.30:30.07", "altimeter", "", 1},
        {"altimeter of eleven digits", "BA:1018.30:99999999999", "altimeter", "", 1},
        {"temperature at the limits", "TA:-90|TA:65", "temperature", "-90", 0},
        {"nan", "TA:nan", "temperature", "", 1},
        {"inf", "WI:inf:90", "windSpeed", "", 1},
        {"4000 digits", "VI:" + QString(4000, '9'), "visibility", "", 1},
        {"precip heavy", "PW:0.41", "precipType", "+RA", 0},
        {"precip at 0.4", "PW:0.40", "precipType", "RA", 0},
        {"precip at 0.1", "PW:0.10", "precipType", "-RA", 0},
        {"interference below signal 50", "PW:0:0:0:--:49", "interference", "Interference", 0},
        {"no interference at signal 50", "PW:0:0:0:--:50", "interference", "OK", 0},
        {"tilt decimal", "OR:10.0:2.5", "tilt", "", 0},
        {"mode digit 7 has no name", "B:5.32:7", "mode", "", 0},
        {"impossible station time", "T:99/99/99,99:99:99", "logTimestamp", "", 1},
        {"30 February", "T:18/02/30,02:37:13", "metarDayTime", "000000", 1},
        // Derived quantities at the edges of their formulas.
        {"implausible input, no dew point", "TA:99|RH:50", "dewPoint", "", 1},
        {"dew point, humidity 0.5 taken as 1", "TA:20|RH:0.5", "dewPoint", "-37.8", 0},
        {"dew point, saturated", "TA:30|RH:100", "dewPoint", "30", 0},
        {"heat index, dry, 100.49 F", "TA:38.05|RH:10", "heatIndex", "34.78", 0},
        {"heat index, humid, 82.4 F", "TA:28|RH:90", "heatIndex", "34", 0},
        {"wind chill, 2.6 kt is below 3 mph", "TA:0|WI:2.6:90", "windChill", "", 0},
        {"wind chill, 2.7 kt at 50 F", "TA:10|WI:2.7:90", "windChill", "9.76", 0},
        {"wind chill, 2.7 kt above 50 F", "TA:10.1|WI:2.7:90", "windChill", "", 0},
        {"pressure altitude, 336.9 hPa", "BA:336.9:3000", "pressureAlt", "", 0},
        {"pressure altitude, standard", "BA:1013.25:2992", "pressureAlt", "0", 0},
        {"pressure altitude, 1084.1 hPa", "BA:1084.1:3000", "pressureAlt", "", 0},
        {"station pressure, no elevation", "BA:1013.25:2992|EL:?", "stationPressure", "", 0},
        // Without an altimeter setting there is no station pressure, nor a density altitude.
        {"station pressure, no altimeter", "BA:1013.25|EL:0.0", "stationPressure", "", 0},
        {"density altitude, no altimeter", "BA:1013.25|RH:27|TA:22.8|EL:0.0", "densityAlt", "", 0},
        // Dew point 2.8 at 22.8 C and 27 %.
        {"2 mi, wide spread is haze", "TA:22.8|RH:27|VI:2", "obstruction", "HZ", 0},
        {"2.5 mi is clear", "TA:22.8|RH:27|VI:2.5", "presentWeather", "", 0},
        {"rain without visibility", "TA:20|RH:86|VI:?|PW:0.05", "presentWeather", "-RA", 0},
        {"implausible input, no present weather", "TA:5|RH:50|PW:1e9", "presentWeather", "", 1},
    };
    for (const Row &row : rows)
        QTest::newRow(row.name) << QString(row.line).replace('|', "\r\n") << row.accessor << row.expected
                                << row.named;
}

void TestWeatherParser::readings()
{
    QFETCH(QString, line);
    QFETCH(QString, accessor);
    QFETCH(QString, expected);
    QFETCH(int, named);

    WeatherParser parser;
    parser.setPacketText("@I:300234063909320\r\n@012\r\n" + line + "\r\nVI:9\r\n~\r\n");
    QCOMPARE(read(parser, accessor), expected);
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

void TestWeatherParser::clouds()
{
    // CL line, cloud layers, ceilometer hits.
    // 3937.2, 4035.63 and 9843 ft round to 3900, 4000 and 10000; 4000 is only 100 above 3900.
    // Implausible heights are no reading, no layer, and no "no cloud" either.
    const char *const rows[][3] = {
        {"CL:1:1200:1230:3000:?:?:?", "3900, 10000", "3/3"},
        {"CL:?--00:?:?:?:?", "No Ceilometer", "0/0"},
        {"CL:1:0:500:0:0:0:0", "NCD", "1/4"},
        {"TA:5", "NA", "0/0"},
        {"CL:1:1600:3100:4000:?:?:?", "5000, 10000, 13000", "3/3"},
        {"CL:1:-5:600:?:?:?:?", "2000", "1/1"},
        {"CL:1:-5", "", "0/0"},
        {"CL:1:nan:inf:600", "2000", "1/1"},
    };
    for (const auto &row : rows) {
        WeatherParser parser;
        parser.setPacketText(QLatin1String(row[0]) + "\r\n");
        QCOMPARE(QStringList({row[0], parser.getCloudLayers(), parser.getCeilometerHits()}),
                 QStringList({row[0], row[1], row[2]}));
    }
}

void TestWeatherParser::roundToStep()
{
    // value, step, text: halves away from zero, the heat index step, beyond 32 bits
    const std::tuple<double, double, const char *> rows[] = {
        {2.5, 1, "3"},       {-2.5, 1, "-3"},    {-4.9, 10, "0"}, {-5, 10, "-10"}, {21.8406, 0.02, "21.84"},
        {2.817, 0.1, "2.8"}, {1e12, 10, "1e+12"}};
    for (const auto &[value, step, text] : rows)
        QCOMPARE(WeatherParser::formatG6(WeatherParser::roundToStep(value, step)), QString(text));
}

QTEST_GUILESS_MAIN(TestWeatherParser)
#include "tst_weatherparser.moc"
