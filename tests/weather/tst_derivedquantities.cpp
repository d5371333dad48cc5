// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>

using Accessor = QString (WeatherParser::*)() const;
Q_DECLARE_METATYPE(Accessor)

namespace {

QString loadPacket(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/packets/") + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

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

void TestDerivedQuantities::derived_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<Accessor>("quantity");
    QTest::addColumn<QString>("expected");

    const struct
    {
        const char *name;
        const char *lines;
        Accessor quantity;
        const char *expected;
    } rows[] = {
        {"dew point, humidity 0.5 taken as 1", "TA:20|RH:0.5", &WeatherParser::getDewPoint, "-37.8"},
        {"dew point, saturated", "TA:30|RH:100", &WeatherParser::getDewPoint, "30"},
        {"heat index, dry, 100.49 F", "TA:38.05|RH:10", &WeatherParser::getHeatIndex, "34.78"},
        {"heat index, humid, 82.4 F", "TA:28|RH:90", &WeatherParser::getHeatIndex, "34"},
        {"wind chill, 2.6 kt is below 3 mph", "TA:0|WI:2.6:90", &WeatherParser::getWindChill, ""},
        {"wind chill, 2.7 kt at 50 F", "TA:10|WI:2.7:90", &WeatherParser::getWindChill, "9.76"},
        {"wind chill, 2.7 kt above 50 F", "TA:10.1|WI:2.7:90", &WeatherParser::getWindChill, ""},
        {"pressure altitude, 336.9 hPa", "BA:336.9:3000", &WeatherParser::getPressureAlt, ""},
        {"pressure altitude, standard", "BA:1013.25:2992", &WeatherParser::getPressureAlt, "0"},
        {"pressure altitude, 1084.1 hPa", "BA:1084.1:3000", &WeatherParser::getPressureAlt, ""},
        {"station pressure, no elevation", "BA:1013.25:2992|EL:?", &WeatherParser::getStationPressure, ""},
        {"station pressure, no altimeter", "BA:1013.25|EL:0.0", &WeatherParser::getStationPressure, ""},
        // Without station pressure there is no density altitude either.
        {"density altitude, no altimeter", "BA:1013.25|RH:27|TA:22.8|EL:0.0", &WeatherParser::getDensityAlt,
         ""},
        // Dew point 2.8 at 22.8 C and 27 %.
        {"2 mi, wide spread is haze", "TA:22.8|RH:27|VI:2", &WeatherParser::getObstruction, "HZ"},
        {"2.5 mi is clear", "TA:22.8|RH:27|VI:2.5", &WeatherParser::getPresentWeather, ""},
        {"rain without visibility", "TA:20|RH:86|VI:?|PW:0.05", &WeatherParser::getPresentWeather, "-RA"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.lines) << row.quantity << row.expected;
}

void TestDerivedQuantities::derived()
{
    QFETCH(QString, lines);
    QFETCH(Accessor, quantity);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText("@I:300234063909320\r\n@012\r\n" + lines.replace('|', "\r\n") + "\r\n~\r\n");
    QCOMPARE((parser.*quantity)(), expected);
}

QTEST_GUILESS_MAIN(TestDerivedQuantities)
#include "tst_derivedquantities.moc"
