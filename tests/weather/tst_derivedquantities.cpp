// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>

namespace {

WeatherParser parserWith(const QString &lines)
{
    WeatherParser parser;
    QString text = QStringLiteral("@I:300234063909320\r\n@012\r\n");
    for (const QString &line : lines.split(QLatin1Char('|')))
        text += line + QStringLiteral("\r\n");
    parser.setPacketText(text + QStringLiteral("~\r\n"));
    return parser;
}

using Accessor = QString (WeatherParser::*)() const;
enum Quantity
{
    Dew,
    Heat,
    Chill,
    Altitude,
    Station,
    Density,
    Obstruction,
    Weather
};
const Accessor kAccessors[] = {&WeatherParser::getDewPoint,        &WeatherParser::getHeatIndex,
                               &WeatherParser::getWindChill,       &WeatherParser::getPressureAlt,
                               &WeatherParser::getStationPressure, &WeatherParser::getDensityAlt,
                               &WeatherParser::getObstruction,     &WeatherParser::getPresentWeather};

} // namespace

class TestDerivedQuantities : public QObject
{
    Q_OBJECT

private slots:
    void roundToStep_data();
    void roundToStep();
    void fixtures_data();
    void fixtures();
    void derived_data();
    void derived();
};

void TestDerivedQuantities::roundToStep_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("expected");

    QTest::newRow("half up") << 2.5 << 1.0 << "3";
    QTest::newRow("negative half away from zero") << -2.5 << 1.0 << "-3";
    QTest::newRow("-4.9 to 0") << -4.9 << 10.0 << "0";
    QTest::newRow("-5 to -10") << -5.0 << 10.0 << "-10";
    QTest::newRow("heat index step") << 21.8406 << 0.02 << "21.84";
    QTest::newRow("beyond 32 bits") << 1e12 << 10.0 << "1e+12";
}

void TestDerivedQuantities::roundToStep()
{
    QFETCH(double, value);
    QFETCH(double, step);
    QFETCH(QString, expected);
    QCOMPARE(WeatherParser::formatG6(WeatherParser::roundToStep(value, step)), expected);
}

void TestDerivedQuantities::fixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("expected");

    // dew point, heat index, wind chill, station pressure, pressure altitude,
    // density altitude, Obstruction, present weather
    QTest::newRow("example") << "weather_example_no_gps_no_ceilometer.txt"
                             << QStringList{"2.8", "21.84", "", "", "-140", "", "FG", "FG"};
    QTest::newRow("full") << "weather_full_gps_clouds_rain_lightning_aux.txt"
                          << QStringList{"-7.5", "-7.66", "-12.52", "28.87", "830", "-1230", "BR", "RA BR"};
    QTest::newRow("no CL/LD lines") << "weather_no_cl_ld_lines_aux.txt"
                                    << QStringList{"22.8", "35.94", "", "29.66", "90", "2560", "", ""};
    QTest::newRow("midnight, hot and dry")
        << "weather_midnight_ceilometer_off.txt"
        << QStringList{"-1.2", "31.92", "", "24.68", "4920", "8700", "", "+RA"};
    QTest::newRow("fog") << "weather_fog_no_cloud_detected.txt"
                         << QStringList{"4", "3.24", "", "29.92", "0", "-1190", "FG", "-RA FG"};
}

void TestDerivedQuantities::fixtures()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, expected);

    WeatherParser parser;
    parser.setPacketText(testsupport::packetText(fixture));
    QVERIFY(!parser.packetText().isEmpty());
    const QStringList actual = {
        parser.getDewPoint(),    parser.getHeatIndex(),  parser.getWindChill(),   parser.getStationPressure(),
        parser.getPressureAlt(), parser.getDensityAlt(), parser.getObstruction(), parser.getPresentWeather()};
    QCOMPARE(actual, expected);
}

void TestDerivedQuantities::derived_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<QString>("expected");

    struct Row
    {
        const char *name;
        const char *lines;
        Quantity quantity;
        const char *expected;
    };
    // Dew point 2.8 at 22.8 C and 27 %, 17.6 at 20 C and 74 %.
    const Row rows[] = {
        {"dew point, worked example", "TA:22.8|RH:27", Dew, "2.8"},
        {"dew point, humidity 0.5 taken as 1", "TA:20|RH:0.5", Dew, "-37.8"},
        {"dew point, saturated", "TA:30|RH:100", Dew, "30"},
        {"dew point, negative humidity", "TA:20|RH:-3.5", Dew, ""},
        {"heat index, dry, 100.49 F", "TA:38.05|RH:10", Heat, "34.78"},
        {"heat index, humid, 82.4 F", "TA:28|RH:90", Heat, "34"},
        {"heat index, no humidity", "TA:40|RH:-1", Heat, ""},
        {"wind chill, 2.6 kt is below 3 mph", "TA:0|WI:2.6:90", Chill, ""},
        {"wind chill, 2.7 kt at 50 F", "TA:10|WI:2.7:90", Chill, "9.76"},
        {"wind chill, 2.7 kt above 50 F", "TA:10.1|WI:2.7:90", Chill, ""},
        {"pressure altitude, 336.9 hPa", "BA:336.9:3000", Altitude, ""},
        {"pressure altitude, standard", "BA:1013.25:2992", Altitude, "0"},
        {"pressure altitude, 1084.1 hPa", "BA:1084.1:3000", Altitude, ""},
        {"station pressure", "BA:1013.25:2992|EL:0.0", Station, "29.92"},
        {"station pressure, no elevation", "BA:1013.25:2992|EL:?", Station, ""},
        {"station pressure, no altimeter", "BA:1013.25|EL:0.0", Station, ""},
        {"density altitude without station pressure", "BA:1013.25|RH:27|TA:22.8|EL:0.0", Density, ""},
        {"0.6 mi is fog", "TA:22.8|RH:27|VI:0.6", Obstruction, "FG"},
        {"2 mi, wide spread is haze", "TA:22.8|RH:27|VI:2", Weather, "HZ"},
        {"2.5 mi is clear", "TA:22.8|RH:27|VI:2.5", Obstruction, ""},
        {"rain and mist", "TA:20|RH:86|VI:2|PW:0.35", Weather, "RA BR"},
        {"rain, no visibility", "TA:20|RH:86|VI:?|PW:0.05", Weather, "-RA"},
    };
    for (const Row &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.lines) << int(row.quantity)
                                << QString::fromLatin1(row.expected);
}

void TestDerivedQuantities::derived()
{
    QFETCH(QString, lines);
    QFETCH(int, quantity);
    QFETCH(QString, expected);
    const WeatherParser parser = parserWith(lines);
    QCOMPARE((parser.*kAccessors[quantity])(), expected);
}

QTEST_GUILESS_MAIN(TestDerivedQuantities)
#include "tst_derivedquantities.moc"
