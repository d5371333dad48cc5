// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherdisplay.h"
#include "support/testfiles.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QtTest>

namespace {

WeatherParser parserWith(const QString &lines)
{
    WeatherParser parser;
    const QString body = QString(lines).replace('|', "\r\n") + "\r\n";
    parser.setPacketText(lines == "*"
                             ? testsupport::packetText("weather_full_gps_clouds_rain_lightning_aux.txt")
                             : "@I:300234063909320\r\n@014\r\n" + body + "~\r\n");
    return parser;
}

QString shown(const WeatherParser &parser)
{
    QStringList boxes;
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(parser.values())) {
        const bool why = field.state != WeatherDisplay::State::Value; // "--" and empty boxes say why
        if (why == (field.toolTip == WeatherDisplay::toolTip(field.objectName)))
            boxes << field.objectName + " without its reason";
        if (!field.text.isEmpty() || why)
            boxes << field.objectName.mid(8) + "=" +
                         (field.state == WeatherDisplay::State::NotApplicable ? "NA" : field.text);
    }
    return boxes.join('|');
}

} // namespace

class TestWeatherDisplay : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void colourAndWords();
    void dataAge();
};

void TestWeatherDisplay::fields_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("shown");
    QTest::newRow("full packet")
        << "*"
        << QString::fromUtf8(
               "WindDir=275°|WindSpeed=12.4 kt|Visibility=2|PresentWeather=RA BR|CloudLayers=3900, 10000 ft|"
               "Temperature=-5.4 °C|DewPoint=-7.5 °C|Humidity=85%|Altimeter=29.76 inHg|LightningFreq=12|"
               "LightningDistance=4.3 mi|MaxWindDir=280°|MaxWindSpeed=18.0 kt|Precipitation=0.35 in/hr|"
               "CeilometerHits=3/3|WindChill=-12.52 °C|HeatIndex=-7.66 °C|StationPressure=28.87 inHg|"
               "PressureAltitude=830 ft|DensityAltitude=-1230 ft|Lat=44.9778°|Lon=-93.2650°|Elevation=840 ft|"
               "Tilt=4°|Orientation=271.3°|Voltage=12.74 V|Mode=1 "
               "Minute|Interference=Interference|Tampering=NA");
    // Missing readings say "--", readings that do not apply leave the box empty.
    QTest::newRow("missing and not applicable")
        << "TA:22.8|WI:10:?|EL:100:0|BA:336.9|LD:?:0:--|PW:0.00:25:?:--:99|VI:10|CL:?--00:?:?:?:?"
        << "WindDir=--|WindSpeed=10 kt|Visibility=10|PresentWeather=NA|CloudLayers=No Ceilometer|"
           "Temperature=22.8 °C";
}

void TestWeatherDisplay::fields()
{
    QFETCH(QString, lines);
    QFETCH(QString, shown);
    QCOMPARE(::shown(parserWith(lines)).left(shown.size()), shown);
}

void TestWeatherDisplay::colourAndWords()
{
    // Battery and signal level: the backgrounds of both boxes, and the words for the status bar.
    const char *const rows[][4] = {
        {"B:5.00:4|PW:0:25:?:--:50", "lawngreen", "lawngreen", ""},
        {"B:4.99:4|PW:0:25:?:--:49", "orange", "red",
         "Battery getting low: 4.99 V; High interference: signal level 49"},
        {"B:4.8:4", "orange", "white", "Battery getting low: 4.8 V"},
        {"B:4.79:4", "red", "white", "Low battery: 4.79 V"},
        {"B:4.50:4|PW:0:25:?:--:12", "", "", "Low battery: 4.5 V; High interference: signal level 12"}};
    for (const auto &row : rows) {
        const WeatherValues values = parserWith(row[0]).values();
        const bool stale = !*row[1]; // stale values: white boxes, gray text
        const QString style = QStringLiteral("background: %1; border: 1px solid lightgray; color: %2");
        const QString text = stale ? "gray" : "black";
        QCOMPARE(WeatherDisplay::voltageStyle(values, stale), style.arg(stale ? "white" : row[1], text));
        QCOMPARE(WeatherDisplay::interferenceStyle(values, stale), style.arg(stale ? "white" : row[2], text));
        QCOMPARE(WeatherDisplay::warnings(values).join("; "), QString(row[3]));
    }
}

void TestWeatherDisplay::dataAge()
{
    const QDateTime received(QDate(2018, 5, 31), QTime(2, 37, 20), Qt::UTC);
    const QDateTime t0(QDate(2018, 5, 31), QTime(2, 37, 13), Qt::UTC);
    const QString t = QStringLiteral("Station time 02:37:13 UTC, received ");
    const struct
    {
        QDateTime station;
        int ageSecs;
        const char *mode;
        QString text;
        bool stale;
    } rows[] = {{t0, 180, "5 Minute", t + "3 min ago", false}, // the worked example
                {t0, 600, "5 Minute", t + "10 min ago", false},
                {t0, 601, "5 Minute", t + "10 min ago", true},
                {t0, 6 * 3600 + 60, "", t + "6 h 1 min ago", true},
                {t0, 22 * 3600, "3 Hour", "Station time 2018-05-31 02:37:13 UTC, received 22 h ago", true},
                {QDateTime(), 42, "", "No station time, received 42 s ago", false}};
    for (const auto &row : rows) {
        Observation observation;
        observation.stationTime = row.station;
        observation.receivedTime = received;
        observation.reportingMode = row.mode;
        const auto age = WeatherDisplay::dataAge(observation, received.addSecs(row.ageSecs));
        QCOMPARE(age.text, row.text);
        QCOMPARE(age.stale, row.stale);
    }
}

QTEST_GUILESS_MAIN(TestWeatherDisplay)
#include "tst_weatherdisplay.moc"
