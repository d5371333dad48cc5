// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherdisplay.h"

#include "storage/csvlog.h"
#include "weather/observation.h"
#include "weather/weatherparser.h"

#include <QDateTime>
#include <algorithm>
#include <iterator>

namespace {

constexpr double kBatteryGoodVolts = 5.0;
constexpr double kBatteryLowVolts = 4.8;
constexpr int kInterferenceBelow = 50;
constexpr int kLongestIntervalSecs = 3 * 3600;

const char kNotSent[] = "Not sent by the station.";
const char kNotComputed[] = "Not available: the station did not send a reading this is computed from.";

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

// Black text reads on every background here (contrast 5.3:1 on red, more on
// the others), also where the desktop's own text colour is light.
QString styleSheet(const char *colour, bool stale)
{
    if (stale)
        return QStringLiteral("background: white; border: 1px solid lightgray; color: gray");
    return QStringLiteral("background: %1; border: 1px solid lightgray; color: black")
        .arg(QLatin1String(colour));
}

QString number(double value)
{
    return WeatherParser::formatG6(value);
}

// "42 s", "3 min", "2 h 5 min", "3 days"
QString ageText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes < 48 * 60) {
        return minutes % 60 == 0 ? QStringLiteral("%1 h").arg(minutes / 60)
                                 : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
    }
    return QStringLiteral("%1 days").arg(minutes / (24 * 60));
}

} // namespace

QVector<WeatherDisplay::Field> WeatherDisplay::fields(const WeatherValues &v)
{
    const QString kt = QStringLiteral(" kt");
    const QString ft = QStringLiteral(" ft");
    const QString inHg = QStringLiteral(" inHg");
    auto make = [](const char *objectName, const QString &text, State state, const char *note) {
        const QString name = QLatin1String(objectName);
        QString tip = toolTip(name);
        if (note != nullptr)
            tip += QLatin1Char('\n') + QLatin1String(note);
        return Field{name, state == State::Missing ? QLatin1String(kMissingText) : text, state, tip};
    };
    // A reading shows "--" when the station did not send it.
    auto reading = [&make](const char *objectName, const QString &value, const QString &unit = QString()) {
        return value.isEmpty() ? make(objectName, value, State::Missing, kNotSent)
                               : make(objectName, withUnit(value, unit), State::Value, nullptr);
    };
    // A computed quantity is missing without its inputs, and does not apply
    // when it is empty although they are there.
    auto derived = [&make](const char *objectName, const QString &value, const QString &unit, bool inputs,
                           const char *notApplicable) {
        if (!value.isEmpty())
            return make(objectName, withUnit(value, unit), State::Value, nullptr);
        if (!inputs || notApplicable == nullptr)
            return make(objectName, value, State::Missing, kNotComputed);
        return make(objectName, value, State::NotApplicable, notApplicable);
    };

    const QString &temperature = v.temperature.text();
    const QString &humidity = v.humidity.text();
    const QString &pressure = v.pressure.text();
    const QString &windSpeed = v.windSpeed.text();
    const QString &visibility = v.visibility.text();
    const QString &precip = v.precip.text();
    const QString &lightningFreq = v.lightningFreq.text();
    const QString &stationPressure = v.stationPressure.text();
    const bool thermal = !temperature.isEmpty() && !humidity.isEmpty();

    return {
        reading("lineEditWindDir", v.windDir.text(), degree()),
        reading("lineEditWindSpeed", windSpeed, kt),
        reading("lineEditVisibility", visibility),
        derived("lineEditPresentWeather", v.presentWeather, QString(),
                !precip.isEmpty() || !visibility.isEmpty(), "No precipitation, fog, mist or haze."),
        reading("lineEditCloudLayers", cloudText(v.cloudLayers)),
        reading("lineEditTemperature", temperature, celsius()),
        derived("lineEditDewPoint", v.dewPoint.text(), celsius(), thermal, nullptr),
        reading("lineEditHumidity", humidity, QStringLiteral("%")),
        reading("lineEditAltimeter", v.altimeter.text(), inHg),
        reading("lineEditLightningFreq", lightningFreq),
        derived("lineEditLightningDistance", v.lightningDist.text(), QStringLiteral(" mi"),
                lightningFreq == QLatin1String("0"), "No lightning detected."),
        reading("lineEditMaxWindDir", v.gustDir.text(), degree()),
        reading("lineEditMaxWindSpeed", v.gustSpeed.text(), kt),
        reading("lineEditPrecipitation", precip, QStringLiteral(" in/hr")),
        reading("lineEditCeilometerHits", v.ceilometerHits),
        derived("lineEditWindChill", v.windChill.text(), celsius(),
                !windSpeed.isEmpty() && !temperature.isEmpty(),
                "Does not apply: wind chill is given only at 10 \u00b0C (50 \u00b0F) or below, "
                "with wind above 3 mph."),
        derived("lineEditHeatIndex", v.heatIndex.text(), celsius(), thermal, nullptr),
        derived("lineEditStationPressure", stationPressure, inHg, false, nullptr),
        derived("lineEditPressureAltitude", v.pressureAlt.text(), ft, !pressure.isEmpty(),
                "Does not apply: pressure altitude is given only for 337 to 1084 hPa."),
        derived("lineEditDensityAltitude", v.densityAlt.text(), ft, false, nullptr),
        reading("lineEditLat", v.lat.text(), degree()),
        reading("lineEditLon", v.lon.text(), degree()),
        reading("lineEditElevation", CsvLog::elevationFeet(v), ft),
        reading("lineEditTilt", v.tilt.text(), degree()),
        reading("lineEditOrientation", v.orientation.text(), degree()),
        reading("lineEditVoltage", v.battery.text(), QStringLiteral(" V")),
        reading("lineEditMode", v.mode),
        reading("lineEditInterference", v.interference),
        make("lineEditTampering", QString(), State::NotApplicable, "This station does not report tampering."),
    };
}

const QVector<QPair<QString, QString>> &WeatherDisplay::toolTips()
{
    static const QVector<QPair<QString, QString>> kToolTips = {
        {"lineEditWindDir",
         "Wind direction: where the wind comes from, in degrees from north. From the station "
         "(WI line)."},
        {"lineEditWindSpeed", "Wind speed in knots. From the station (WI line)."},
        {"lineEditVisibility", "Visibility in statute miles. From the station (VI line)."},
        {"lineEditPresentWeather",
         "Present weather: rain intensity (-RA, RA, +RA) and fog (FG), mist (BR) or haze "
         "(HZ). Computed from precipitation, visibility, temperature and dew point."},
        {"lineEditCloudLayers",
         "Cloud heights in feet from the ceilometer (CL line): NCD no cloud detected, NA no "
         "ceilometer reading."},
        {"lineEditTemperature", "Air temperature in degrees Celsius. From the station (TA line)."},
        {"lineEditDewPoint",
         "Dew point in degrees Celsius. Computed from temperature and relative humidity."},
        {"lineEditHumidity", "Relative humidity in percent. From the station (RH line)."},
        {"lineEditAltimeter", "Altimeter setting in inches of mercury. From the station (BA line)."},
        {"lineEditLightningFreq",
         "Lightning strikes counted since the last report. From the station (LD line)."},
        {"lineEditLightningDistance",
         "Distance of the lightning in statute miles. From the station (LD line)."},
        {"lineEditMaxWindDir",
         "Direction of the strongest gust, in degrees from north. From the station (GU line)."},
        {"lineEditMaxWindSpeed", "Speed of the strongest gust in knots. From the station (GU line)."},
        {"lineEditPrecipitation", "Precipitation rate in inches per hour. From the station (PW line)."},
        {"lineEditCeilometerHits",
         "Ceilometer hits / valid readings of the first four cloud heights (CL line)."},
        {"lineEditWindChill", "Wind chill in degrees Celsius. Computed from temperature and wind speed."},
        {"lineEditHeatIndex",
         "Heat index in degrees Celsius. Computed from temperature and relative humidity."},
        {"lineEditStationPressure",
         "Station pressure in inches of mercury. Computed from the altimeter setting and "
         "the elevation."},
        {"lineEditPressureAltitude",
         "Pressure altitude in feet. Computed from the barometric pressure (BA line)."},
        {"lineEditDensityAltitude",
         "Density altitude in feet. Computed from pressure, temperature and humidity."},
        {"lineEditLat", "Latitude in degrees, north positive. From the station's GPS (LA line)."},
        {"lineEditLon", "Longitude in degrees, east positive. From the station's GPS (LO line)."},
        {"lineEditElevation", "Station elevation in feet. From the station (EL line, sent in metres)."},
        {"lineEditTilt", "Tilt of the station from upright, in degrees. From the station (OR line)."},
        {"lineEditOrientation", "Heading of the station in degrees from north. From the station (OR line)."},
        {"lineEditVoltage",
         "Battery voltage in volts (B line). Green from 5.0 V, orange from 4.8 V, red below."},
        {"lineEditMode", "Reporting interval that the station reports (B line)."},
        {"lineEditInterference", "Radio interference from the station's signal level (PW line): Interference "
                                 "below 50, OK from 50."},
        {"lineEditTampering", "Tampering with the station."},
        {"textEditMetar", "METAR-style report built from the latest weather packet."},
        {"unitValLabel", "IMEI of the station's satellite modem: the unit's identity."},
        {"firmwareValLabel", "Firmware version code that the station sends with each weather packet."},
        {"plainTextEdit", "The station's output as received."},
        {"idleLabel", "Time since the station last sent data (hours:minutes:seconds.tenths)."},
        {"reportingComboBox", "How often the station wakes up and reports. Sent with the next command."},
        {"gpsComboBox", "GPS position and elevation commands. Sent with the next command."},
        {"spinBox", "Station elevation in metres (-9999 to 9999), sent with Set Elevation (m)."},
        {"imgComboBox", "Camera commands: request pictures or set the automatic capture hours."},
        {"spinBoxCamera", "Number of the camera (1 to 4) for Request Single Camera."},
        {"ceilComboBox", "Ceilometer (cloud height sensor) mode. Sent with the next command."},
        {"audioComboBox", "Acoustic sensor commands. Sent with the next command."},
        {"audioSpinBox",
         "Acoustic argument (0 to 29, at most 25 for MP3) for Get MP3 Data and Get Raw Data."},
        {"speciComboBox", "SPECI (special report) mode. Sent with the next command."},
        {"updatePushButton", "Queues the selected commands; the station takes them when it next wakes up."},
    };
    return kToolTips;
}

QString WeatherDisplay::toolTip(const QString &objectName)
{
    const auto &table = toolTips();
    const auto it =
        std::find_if(table.cbegin(), table.cend(),
                     [&objectName](const QPair<QString, QString> &row) { return row.first == objectName; });
    return it == table.cend() ? QString() : it->second;
}

QString WeatherDisplay::voltageStyle(const WeatherValues &values, bool stale)
{
    if (values.battery.isEmpty())
        return styleSheet("white", stale);
    const double volts = values.battery.value;
    if (volts >= kBatteryGoodVolts)
        return styleSheet("lawngreen", stale);
    if (volts >= kBatteryLowVolts)
        return styleSheet("orange", stale);
    return styleSheet("red", stale);
}

QString WeatherDisplay::interferenceStyle(const WeatherValues &values, bool stale)
{
    if (values.interference.contains(QLatin1String("OK")))
        return styleSheet("lawngreen", stale);
    if (values.interference.contains(QLatin1String("Interference")))
        return styleSheet("red", stale);
    return styleSheet("white", stale);
}

QString WeatherDisplay::valueStyle(bool stale)
{
    return stale ? QStringLiteral("border: 1px solid lightgray; color: gray")
                 : QStringLiteral("border: 1px solid lightgray");
}

QStringList WeatherDisplay::warnings(const WeatherValues &values)
{
    QStringList texts;
    if (!values.battery.isEmpty()) {
        const double volts = values.battery.value;
        if (volts < kBatteryLowVolts)
            texts.append(QStringLiteral("Low battery: %1 V").arg(number(volts)));
        else if (volts < kBatteryGoodVolts)
            texts.append(QStringLiteral("Battery getting low: %1 V").arg(number(volts)));
    }
    const QString signal = WeatherParser::validInt(values.signalField.text());
    if (!signal.isEmpty() && signal.toInt() < kInterferenceBelow)
        texts.append(QStringLiteral("High interference: signal level %1").arg(signal.toInt()));
    return texts;
}

WeatherDisplay::DataAge WeatherDisplay::dataAge(const Observation &observation, const QDateTime &nowUtc)
{
    DataAge age;
    const QDateTime station = observation.stationTime.toUTC();
    if (!station.isValid())
        age.text = QStringLiteral("No station time");
    else if (station.date() == nowUtc.toUTC().date())
        age.text = station.toString(QStringLiteral("'Station time' hh:mm:ss 'UTC'"));
    else
        age.text = station.toString(QStringLiteral("'Station time' yyyy-MM-dd hh:mm:ss 'UTC'"));
    if (!observation.receivedTime.isValid()) {
        age.text += QStringLiteral(", time of receipt unknown");
        age.stale = true;
        return age;
    }
    const qint64 seconds = std::max<qint64>(0, observation.receivedTime.secsTo(nowUtc));
    age.text += QStringLiteral(", received %1 ago").arg(ageText(seconds));
    const int interval = reportingIntervalSeconds(observation.reportingMode);
    age.stale = seconds > 2 * qint64(interval > 0 ? interval : kLongestIntervalSecs);
    return age;
}

int WeatherDisplay::reportingIntervalSeconds(const QString &modeName)
{
    // By mode digit, as WeatherParser::modeName numbers them.
    static const int kIntervalSecs[] = {3 * 3600, 3600, 20 * 60, 5 * 60, 60, 20, 10};
    for (int digit = 0; digit < int(std::size(kIntervalSecs)); ++digit) {
        if (!modeName.isEmpty() && WeatherParser::modeName(digit) == modeName)
            return kIntervalSecs[digit];
    }
    return 0;
}

QString WeatherDisplay::metarHtml(const QString &metar)
{
    return QLatin1String("<center>") + metar.toHtmlEscaped() + QLatin1String("</center>");
}
