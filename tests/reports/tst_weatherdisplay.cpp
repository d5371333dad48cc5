// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherdisplay.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QtTest>

namespace {

WeatherParser parserWith(const QString &lines)
{
    WeatherParser parser;
    const QString body = lines.isEmpty() ? lines : QString(lines).replace('|', "\r\n") + "\r\n";
    parser.setPacketText(QStringLiteral("@I:300234063909320\r\n@014\r\n") + body + QStringLiteral("~\r\n"));
    return parser;
}

} // namespace

class TestWeatherDisplay : public QObject
{
    Q_OBJECT

private slots:
    void theFullPacket();
    void missingVersusNotApplicable();
    void colourAndWords();
    void dataAge();
};

void TestWeatherDisplay::theFullPacket()
{
    QFile file(QFINDTESTDATA("../data/packets/weather_full_gps_clouds_rain_lightning_aux.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(file.readAll()));
    const QString expected = QString::fromUtf8(
        "WindDir=275°|WindSpeed=12.4 kt|Visibility=2|PresentWeather=RA BR|CloudLayers=3900, 10000 ft|"
        "Temperature=-5.4 °C|DewPoint=-7.5 °C|Humidity=85%|Altimeter=29.76 inHg|LightningFreq=12|"
        "LightningDistance=4.3 mi|MaxWindDir=280°|MaxWindSpeed=18.0 kt|Precipitation=0.35 in/hr|"
        "CeilometerHits=3/3|WindChill=-12.52 °C|HeatIndex=-7.66 °C|StationPressure=28.87 inHg|"
        "PressureAltitude=830 ft|DensityAltitude=-1230 ft|Lat=44.9778°|Lon=-93.2650°|Elevation=840 ft|"
        "Tilt=4°|Orientation=271.3°|Voltage=12.74 V|Mode=1 Minute|Interference=Interference|Tampering=");
    QStringList shown;
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(parser)) {
        shown << field.objectName.mid(8) + "=" + field.text;
        QVERIFY2(!WeatherDisplay::toolTip(field.objectName).isEmpty(), qPrintable(field.objectName));
    }
    QCOMPARE(shown.join('|'), expected);
    QCOMPARE(WeatherDisplay::metarHtml("METAR <b>&"),
             QStringLiteral("<center>METAR &lt;b&gt;&amp;</center>"));
}

void TestWeatherDisplay::missingVersusNotApplicable()
{
    using State = WeatherDisplay::State;
    const struct
    {
        const char *lines, *field, *text;
        State state;
    } rows[] = {{"CL:?--00:?:?:?:?", "CloudLayers", "No Ceilometer", State::Value},
                {"CL:1:0:0:0:0:0:0", "CloudLayers", "NCD ft", State::Value},
                {"", "CloudLayers", "NA", State::Value},
                {"WI:1:?", "WindDir", "--", State::Missing},
                {"EL:100:0", "Elevation", "328 ft", State::Value},
                {"EL:?:0", "Elevation", "--", State::Missing},
                {"TA:22.8|WI:10:180", "WindChill", "", State::NotApplicable},
                {"LD:?:0:--", "LightningDistance", "", State::NotApplicable},
                {"PW:0.00:25:?:--:99|VI:10", "PresentWeather", "", State::NotApplicable},
                {"BA:336.9", "PressureAltitude", "", State::NotApplicable},
                {"", "Tampering", "", State::NotApplicable}};
    for (const auto &row : rows) {
        const QString name = QStringLiteral("lineEdit") + row.field;
        const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(parserWith(row.lines));
        const auto field =
            std::find_if(fields.cbegin(), fields.cend(), [&](const auto &f) { return f.objectName == name; });
        QVERIFY(field != fields.cend());
        QVERIFY2(field->text == row.text && field->state == row.state, qPrintable(name + ": " + field->text));
        // "--" and an empty box each say why in the tooltip.
        QCOMPARE(field->toolTip == WeatherDisplay::toolTip(name), row.state == State::Value);
    }
    // A packet without readings: every box says "--" but those with words of their own.
    const QStringList ownWords = {"lineEditCloudLayers", "lineEditCeilometerHits", "lineEditTampering"};
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(parserWith(QString())))
        QVERIFY2(ownWords.contains(field.objectName) || (field.text == "--" && field.state == State::Missing),
                 qPrintable(field.objectName + ": " + field.text));
}

void TestWeatherDisplay::colourAndWords()
{
    // Battery and signal level: the backgrounds of both boxes, and the words for the status bar.
    const struct
    {
        const char *lines;
        bool stale;
        const char *voltage, *interference, *warnings;
    } rows[] = {{"B:5.00:4|PW:0:25:?:--:50", false, "lawngreen", "lawngreen", ""},
                {"B:4.99:4|PW:0:25:?:--:49", false, "orange", "red",
                 "Battery getting low: 4.99 V; High interference: signal level 49"},
                {"B:4.8:4", false, "orange", "white", "Battery getting low: 4.8 V"},
                {"B:4.79:4", false, "red", "white", "Low battery: 4.79 V"},
                {"B:?:4|PW:0:25:?:--:?", false, "white", "white", ""},
                {"B:4.50:4|PW:0:25:?:--:12", true, "white", "white",
                 "Low battery: 4.5 V; High interference: signal level 12"}};
    for (const auto &row : rows) {
        const WeatherParser parser = parserWith(row.lines);
        const QString style = QStringLiteral("background: %1; border: 1px solid lightgray; color: %2");
        const QString text = row.stale ? "gray" : "black";
        QCOMPARE(WeatherDisplay::voltageStyle(parser, row.stale), style.arg(row.voltage, text));
        QCOMPARE(WeatherDisplay::interferenceStyle(parser, row.stale), style.arg(row.interference, text));
        QCOMPARE(WeatherDisplay::warnings(parser).join("; "), QString(row.warnings));
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
