// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherdisplay.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QtTest>

namespace {

const QString kLawngreen = QStringLiteral("background: lawngreen; border: 1px solid lightgray");
const QString kOrange = QStringLiteral("background: orange; border: 1px solid lightgray");
const QString kRed = QStringLiteral("background: red; border: 1px solid lightgray");
const QString kWhite = QStringLiteral("background: white; border: 1px solid lightgray");

QString fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("../data/packets/" + name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString packetWith(const QString &lines)
{
    return QStringLiteral("@I:300234063909320\r\n@014\r\n") + lines + QStringLiteral("~\r\n");
}

QString textOf(const WeatherParser &parser, const QString &objectName)
{
    const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(parser);
    for (const WeatherDisplay::Field &field : fields) {
        if (field.objectName == objectName)
            return field.text;
    }
    return QStringLiteral("<no such field>");
}

} // namespace

class TestWeatherDisplay : public QObject
{
    Q_OBJECT

private slots:
    void allFieldsInOrder();
    void missingValuesStayEmpty();
    void fieldText_data();
    void fieldText();
    void voltageStyle_data();
    void voltageStyle();
    void interferenceStyle_data();
    void interferenceStyle();
    void metarHtml();
};

void TestWeatherDisplay::allFieldsInOrder()
{
    WeatherParser parser;
    parser.setPacketText(fixture("weather_full_gps_clouds_rain_lightning_aux.txt"));
    const QString deg = QString::fromUtf8("°");
    const QString celsius = QString::fromUtf8(" °C");
    const QVector<QPair<QString, QString>> expected = {
        {"lineEditWindDir", "275" + deg},
        {"lineEditWindSpeed", "12.4 kt"},
        {"lineEditVisibility", "2"},
        {"lineEditPresentWeather", "RA BR"},
        {"lineEditCloudLayers", "3900, 10000 ft"},
        {"lineEditTemperature", "-5.4" + celsius},
        {"lineEditDewPoint", "-7.5" + celsius},
        {"lineEditHumidity", "85%"},
        {"lineEditAltimeter", "29.76 inHg"},
        {"lineEditLightningFreq", "12"},
        {"lineEditLightningDistance", "4.3 mi"},
        {"lineEditMaxWindDir", "280" + deg},
        {"lineEditMaxWindSpeed", "18.0 kt"},
        {"lineEditPrecipitation", "0.35 in/hr"},
        {"lineEditCeilometerHits", "3/3"},
        {"lineEditWindChill", "-12.52" + celsius},
        {"lineEditHeatIndex", "-7.66" + celsius},
        {"lineEditStationPressure", "28.87 inHg"},
        {"lineEditPressureAltitude", "830 ft"},
        {"lineEditDensityAltitude", "-1230 ft"},
        {"lineEditLat", "44.9778" + deg},
        {"lineEditLon", "-93.2650" + deg},
        {"lineEditElevation", "840 ft"},
        {"lineEditTilt", "4" + deg},
        {"lineEditOrientation", "271.3" + deg},
        {"lineEditVoltage", "12.74 V"},
        {"lineEditMode", "1 Minute"},
        {"lineEditInterference", "Interference"},
        {"lineEditTampering", ""},
    };
    const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(parser);
    QCOMPARE(fields.size(), expected.size());
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(fields.at(i).objectName, expected.at(i).first);
        QCOMPARE(fields.at(i).text, expected.at(i).second);
    }
}

void TestWeatherDisplay::missingValuesStayEmpty()
{
    // Before any packet, and for a packet with no readings, no box shows a
    // bare unit; only the cloud text and the hit count have words of their own.
    WeatherParser parser;
    parser.setPacketText(packetWith(QString()));
    const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(parser);
    for (const WeatherDisplay::Field &field : fields) {
        if (field.objectName == QLatin1String("lineEditCloudLayers"))
            QCOMPARE(field.text, QStringLiteral("NA"));
        else if (field.objectName == QLatin1String("lineEditCeilometerHits"))
            QCOMPARE(field.text, QStringLiteral("0/0"));
        else
            QVERIFY2(field.text.isEmpty(), qPrintable(field.objectName + ": " + field.text));
    }
}

void TestWeatherDisplay::fieldText_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("text");

    QTest::newRow("no ceilometer") << "CL:?--00:?:?:?:?\r\n" << "lineEditCloudLayers" << "No Ceilometer";
    QTest::newRow("ceilometer off") << "CL:--00:0:0:0:0:0:0\r\n" << "lineEditCloudLayers" << "Ceilometer OFF";
    QTest::newRow("no cloud line") << "" << "lineEditCloudLayers" << "NA";
    QTest::newRow("no cloud detected") << "CL:1:0:0:0:0:0:0\r\n" << "lineEditCloudLayers" << "NCD ft";
    QTest::newRow("single layer") << "CL:1:3000:?:?:?:?:?\r\n" << "lineEditCloudLayers" << "10000 ft";
    QTest::newRow("wind speed without direction") << "WI:1:?\r\n" << "lineEditWindSpeed" << "1 kt";
    QTest::newRow("wind direction ?") << "WI:1:?\r\n" << "lineEditWindDir" << "";
    QTest::newRow("elevation 100 m") << "EL:100:0\r\n" << "lineEditElevation" << "328 ft";
    QTest::newRow("elevation ?") << "EL:?:0\r\n" << "lineEditElevation" << "";
    QTest::newRow("no elevation line") << "" << "lineEditElevation" << "";
    QTest::newRow("elevation below sea level") << "EL:-10:0\r\n" << "lineEditElevation" << "-33 ft";
    QTest::newRow("temperature") << "TA:22.8\r\n" << "lineEditTemperature" << QString::fromUtf8("22.8 °C");
    QTest::newRow("humidity") << "RH:27\r\n" << "lineEditHumidity" << "27%";
    QTest::newRow("battery") << "B:5.32:4\r\n" << "lineEditVoltage" << "5.32 V";
    QTest::newRow("battery ?") << "B:?:4\r\n" << "lineEditVoltage" << "";
    QTest::newRow("mode") << "B:5.32:4\r\n" << "lineEditMode" << "1 Minute";
    QTest::newRow("interference ok") << "PW:0.00:25:?:--:99\r\n" << "lineEditInterference" << "OK";
    QTest::newRow("precipitation") << "PW:0.00:25:?:--:99\r\n" << "lineEditPrecipitation" << "0.00 in/hr";
    QTest::newRow("tampering") << "B:5.32:4\r\n" << "lineEditTampering" << "";
}

void TestWeatherDisplay::fieldText()
{
    QFETCH(QString, lines);
    QFETCH(QString, objectName);
    QFETCH(QString, text);
    WeatherParser parser;
    parser.setPacketText(packetWith(lines));
    QCOMPARE(textOf(parser, objectName), text);
}

void TestWeatherDisplay::voltageStyle_data()
{
    QTest::addColumn<QString>("battery");
    QTest::addColumn<QString>("style");
    QTest::newRow("5.00") << "5.00" << kLawngreen;
    QTest::newRow("12.74") << "12.74" << kLawngreen;
    QTest::newRow("4.99") << "4.99" << kOrange;
    QTest::newRow("4.8") << "4.8" << kOrange;
    QTest::newRow("4.79") << "4.79" << kRed;
    QTest::newRow("0") << "0" << kRed;
    QTest::newRow("?") << "?" << kWhite;
    QTest::newRow("empty") << "" << kWhite;
}

void TestWeatherDisplay::voltageStyle()
{
    QFETCH(QString, battery);
    QFETCH(QString, style);
    WeatherParser parser;
    parser.setPacketText(packetWith("B:" + battery + ":4\r\n"));
    QCOMPARE(WeatherDisplay::voltageStyle(parser), style);
}

void TestWeatherDisplay::interferenceStyle_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");
    QTest::newRow("99") << "99" << "OK" << kLawngreen;
    QTest::newRow("50") << "50" << "OK" << kLawngreen;
    QTest::newRow("49") << "49" << "Interference" << kRed;
    QTest::newRow("12") << "12" << "Interference" << kRed;
    QTest::newRow("?") << "?" << "" << kWhite;
}

void TestWeatherDisplay::interferenceStyle()
{
    QFETCH(QString, signal);
    QFETCH(QString, text);
    QFETCH(QString, style);
    WeatherParser parser;
    parser.setPacketText(packetWith("PW:0.00:25:?:--:" + signal + ":1715:256\r\n"));
    QCOMPARE(textOf(parser, QStringLiteral("lineEditInterference")), text);
    QCOMPARE(WeatherDisplay::interferenceStyle(parser), style);

    WeatherParser empty;
    QCOMPARE(WeatherDisplay::interferenceStyle(empty), kWhite);
}

void TestWeatherDisplay::metarHtml()
{
    QCOMPARE(WeatherDisplay::metarHtml(QStringLiteral("METAR 1 AUTO ")),
             QStringLiteral("<center>METAR 1 AUTO </center>"));
    QCOMPARE(WeatherDisplay::metarHtml(QStringLiteral("METAR <b>&")),
             QStringLiteral("<center>METAR &lt;b&gt;&amp;</center>"));
}

QTEST_GUILESS_MAIN(TestWeatherDisplay)
#include "tst_weatherdisplay.moc"
