// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>
#include <cmath>

namespace {

QString loadPacket(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/packets/") + name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// A packet holding only the given tagged lines.
WeatherParser parserWith(const QString &lines)
{
    WeatherParser parser;
    QString text = QStringLiteral("@I:300234063909320\r\n@012\r\n");
    for (const QString &line : lines.split(QLatin1Char('|')))
        text += line + QStringLiteral("\r\n");
    parser.setPacketText(text + QStringLiteral("~\r\n"));
    return parser;
}

} // namespace

class TestDerivedQuantities : public QObject
{
    Q_OBJECT

private slots:
    void constants();
    void roundToStep_data();
    void roundToStep();
    void fixtures_data();
    void fixtures();
    void dewPoint_data();
    void dewPoint();
    void heatIndex_data();
    void heatIndex();
    void windChill_data();
    void windChill();
    void pressureAltitude_data();
    void pressureAltitude();
    void stationPressureNeedsBothInputs();
    void presentWeather_data();
    void presentWeather();
};

void TestDerivedQuantities::constants()
{
    QCOMPARE(WeatherParser::missingValue, -1000.0);
    QCOMPARE(WeatherParser::standardPressureHpa, 1013.25);
    QCOMPARE(WeatherParser::pressureAltExponent, 0.19028399884700775);
}

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
    QTest::newRow("tenths") << 2.817 << 0.1 << "2.8";
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
    // density altitude, obstruction, present weather
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
    parser.setPacketText(loadPacket(fixture));
    QVERIFY(!parser.packetText().isEmpty());
    const QStringList actual = {
        parser.getDewPoint(),    parser.getHeatIndex(),  parser.getWindChill(),   parser.getStationPressure(),
        parser.getPressureAlt(), parser.getDensityAlt(), parser.getObstruction(), parser.getPresentWeather()};
    QCOMPARE(actual, expected);
}

void TestDerivedQuantities::dewPoint_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << "TA:22.8|RH:27"
                                    << "2.8";
    QTest::newRow("humidity 0.5 taken as 1") << "TA:20|RH:0.5"
                                             << "-37.8";
    QTest::newRow("saturated") << "TA:30|RH:100"
                               << "30";
    QTest::newRow("negative humidity") << "TA:20|RH:-3.5"
                                       << "";
    QTest::newRow("no humidity") << "TA:20|RH:?"
                                 << "";
}

void TestDerivedQuantities::dewPoint()
{
    QFETCH(QString, lines);
    QFETCH(QString, expected);
    QCOMPARE(parserWith(lines).getDewPoint(), expected);
}

void TestDerivedQuantities::heatIndex_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("expected");

    QTest::newRow("simple formula, worked example") << "TA:22.8|RH:27"
                                                    << "21.84";
    QTest::newRow("dry, 100.49 F") << "TA:38.05|RH:10"
                                   << "34.78";
    QTest::newRow("humid, 82.4 F") << "TA:28|RH:90"
                                   << "34";
    QTest::newRow("no humidity") << "TA:40|RH:-1"
                                 << "";
}

void TestDerivedQuantities::heatIndex()
{
    QFETCH(QString, lines);
    QFETCH(QString, expected);
    QCOMPARE(parserWith(lines).getHeatIndex(), expected);
}

void TestDerivedQuantities::windChill_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("expected");

    QTest::newRow("2.6 kt is below 3 mph") << "TA:0|WI:2.6:90"
                                           << "";
    QTest::newRow("2.7 kt at 50 F") << "TA:10|WI:2.7:90"
                                    << "9.76";
    QTest::newRow("2.7 kt above 50 F") << "TA:10.1|WI:2.7:90"
                                       << "";
    QTest::newRow("no wind") << "TA:-10|WI:?:?"
                             << "";
}

void TestDerivedQuantities::windChill()
{
    QFETCH(QString, lines);
    QFETCH(QString, expected);
    QCOMPARE(parserWith(lines).getWindChill(), expected);
}

void TestDerivedQuantities::pressureAltitude_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("expected");

    QTest::newRow("336.9 hPa") << "BA:336.9:3000"
                               << "";
    QTest::newRow("standard") << "BA:1013.25:2992"
                              << "0";
    QTest::newRow("1084.1 hPa") << "BA:1084.1:3000"
                                << "";
}

void TestDerivedQuantities::pressureAltitude()
{
    QFETCH(QString, lines);
    QFETCH(QString, expected);
    QCOMPARE(parserWith(lines).getPressureAlt(), expected);
}

void TestDerivedQuantities::stationPressureNeedsBothInputs()
{
    QCOMPARE(parserWith(QStringLiteral("BA:1013.25:2992|EL:0.0")).getStationPressure(),
             QStringLiteral("29.92"));
    QCOMPARE(parserWith(QStringLiteral("BA:1013.25:2992|EL:?")).getStationPressure(), QString());
    QCOMPARE(parserWith(QStringLiteral("BA:1013.25|EL:0.0")).getStationPressure(), QString());
    // Without station pressure there is no density altitude either.
    QCOMPARE(parserWith(QStringLiteral("BA:1013.25|RH:27|TA:22.8|EL:0.0")).getDensityAlt(), QString());
    QVERIFY(!parserWith(QStringLiteral("BA:1013.25:2992|RH:27|TA:22.8|EL:0.0")).getDensityAlt().isEmpty());
}

void TestDerivedQuantities::presentWeather_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("obstruction");
    QTest::addColumn<QString>("weather");

    // Dew point 2.8 at 22.8 C and 27 %, 17.6 at 20 C and 74 %.
    QTest::newRow("0.6 mi is fog") << "TA:22.8|RH:27|VI:0.6"
                                   << "FG"
                                   << "FG";
    QTest::newRow("2 mi, wide spread is haze") << "TA:22.8|RH:27|VI:2"
                                               << "HZ"
                                               << "HZ";
    QTest::newRow("2.5 mi is clear") << "TA:22.8|RH:27|VI:2.5"
                                     << ""
                                     << "";
    QTest::newRow("rain and mist") << "TA:20|RH:86|VI:2|PW:0.35"
                                   << "BR"
                                   << "RA BR";
    QTest::newRow("no visibility") << "TA:20|RH:86|VI:?|PW:0.05"
                                   << ""
                                   << "-RA";
}

void TestDerivedQuantities::presentWeather()
{
    QFETCH(QString, lines);
    QFETCH(QString, obstruction);
    QFETCH(QString, weather);

    const WeatherParser parser = parserWith(lines);
    QCOMPARE(parser.getObstruction(), obstruction);
    QCOMPARE(parser.getPresentWeather(), weather);
}

QTEST_GUILESS_MAIN(TestDerivedQuantities)
#include "tst_derivedquantities.moc"
