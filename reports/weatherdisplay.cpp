// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherdisplay.h"

#include "storage/csvlog.h"
#include "weather/weatherparser.h"

namespace {

constexpr double kBatteryGoodVolts = 5.0;
constexpr double kBatteryLowVolts = 4.8;

const QString &degree()
{
    static const QString kDegree(QChar(0x00B0));
    return kDegree;
}

const QString &celsius()
{
    static const QString kCelsius = QLatin1Char(' ') + degree() + QLatin1Char('C');
    return kCelsius;
}

// The unit goes only behind a value that is there.
QString withUnit(const QString &value, const QString &unit)
{
    return value.isEmpty() ? value : value + unit;
}

QString cloudText(const QString &layers)
{
    if (layers.contains(QLatin1String("Ceilometer")) || layers.contains(QLatin1String("NA")))
        return layers;
    return withUnit(layers, QStringLiteral(" ft"));
}

QString styleSheet(const char *colour)
{
    return QStringLiteral("background: %1; border: 1px solid lightgray").arg(QLatin1String(colour));
}

} // namespace

QVector<WeatherDisplay::Field> WeatherDisplay::fields(const WeatherParser &parser)
{
    const QString kt = QStringLiteral(" kt");
    const QString ft = QStringLiteral(" ft");
    const QString inHg = QStringLiteral(" inHg");
    auto field = [](const char *objectName, const QString &text) {
        return Field{QLatin1String(objectName), text};
    };
    return {
        field("lineEditWindDir", withUnit(parser.getWindDir(), degree())),
        field("lineEditWindSpeed", withUnit(parser.getWindSpeed(), kt)),
        field("lineEditVisibility", parser.getVisibility()),
        field("lineEditPresentWeather", parser.getPresentWeather()),
        field("lineEditCloudLayers", cloudText(parser.getCloudLayers())),
        field("lineEditTemperature", withUnit(parser.getTemperature(), celsius())),
        field("lineEditDewPoint", withUnit(parser.getDewPoint(), celsius())),
        field("lineEditHumidity", withUnit(parser.getHumidity(), QStringLiteral("%"))),
        field("lineEditAltimeter", withUnit(parser.getAltimeter(), inHg)),
        field("lineEditLightningFreq", parser.getLightningFreq()),
        field("lineEditLightningDistance", withUnit(parser.getLightningDist(), QStringLiteral(" mi"))),
        field("lineEditMaxWindDir", withUnit(parser.getMaxWindDir(), degree())),
        field("lineEditMaxWindSpeed", withUnit(parser.getMaxWindSpeed(), kt)),
        field("lineEditPrecipitation", withUnit(parser.getPrecip(), QStringLiteral(" in/hr"))),
        field("lineEditCeilometerHits", parser.getCeilometerHits()),
        field("lineEditWindChill", withUnit(parser.getWindChill(), celsius())),
        field("lineEditHeatIndex", withUnit(parser.getHeatIndex(), celsius())),
        field("lineEditStationPressure", withUnit(parser.getStationPressure(), inHg)),
        field("lineEditPressureAltitude", withUnit(parser.getPressureAlt(), ft)),
        field("lineEditDensityAltitude", withUnit(parser.getDensityAlt(), ft)),
        field("lineEditLat", withUnit(parser.getLat(), degree())),
        field("lineEditLon", withUnit(parser.getLon(), degree())),
        field("lineEditElevation", withUnit(CsvLog::elevationFeet(parser), ft)),
        field("lineEditTilt", withUnit(parser.getTilt(), degree())),
        field("lineEditOrientation", withUnit(parser.getOrientation(), degree())),
        field("lineEditVoltage", withUnit(parser.getBattery(), QStringLiteral(" V"))),
        field("lineEditMode", parser.getMode()),
        field("lineEditInterference", parser.getInterference()),
        field("lineEditTampering", QString()),
    };
}

QString WeatherDisplay::voltageStyle(const WeatherParser &parser)
{
    const QString battery = parser.getBattery();
    if (battery.isEmpty())
        return styleSheet("white");
    const double volts = battery.toDouble();
    if (volts >= kBatteryGoodVolts)
        return styleSheet("lawngreen");
    if (volts >= kBatteryLowVolts)
        return styleSheet("orange");
    return styleSheet("red");
}

QString WeatherDisplay::interferenceStyle(const WeatherParser &parser)
{
    const QString interference = parser.getInterference();
    if (interference.contains(QLatin1String("OK")))
        return styleSheet("lawngreen");
    if (interference.contains(QLatin1String("Interference")))
        return styleSheet("red");
    return styleSheet("white");
}

QString WeatherDisplay::metarHtml(const QString &metar)
{
    return QLatin1String("<center>") + metar.toHtmlEscaped() + QLatin1String("</center>");
}
