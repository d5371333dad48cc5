// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "weather/weatherparser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kHeader =
    "Timestamp (UTC),METAR, Wind Dir,Wind Speed (kt),Max Wind Dir,Max Wind Speed (kt),Visibility,Present "
    "Weather,"
    "Precip (in/hr),Cloud Layers (ft),Ceilometer Hits,Temp (C),Dew Point (C),Relative Humidity,Wind Chill "
    "(C),"
    "Heat Index (C),Lat,Lon,Altimeter (inHg),Elevation (ft),Station Pressure (inHg),Pressure Alt (ft),"
    "Density Alt (ft),Lightning Freq,Lightning Distance (mi),Tilt,Orientation,Voltage,Mode,Interference";

const QDateTime kMay2018(QDate(2018, 5, 31), QTime(23, 59), Qt::UTC);
const QDateTime kJune2018(QDate(2018, 6, 1), QTime(0, 1), Qt::UTC);

QString fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("../data/packets/" + name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Reads one CSV line back the way a spreadsheet does (quotes, doubled quotes).
// Returns no fields when the line is malformed.
QStringList parseRow(const QByteArray &line)
{
    if (!line.endsWith("\r\n"))
        return {};
    const QString text = QString::fromUtf8(line.left(line.size() - 2));
    QStringList fields;
    QString current;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    current += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"') && current.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << current;
            current.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('"')) {
            return {};
        } else {
            current += c;
        }
    }
    if (quoted)
        return {};
    fields << current;
    return fields;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCsvLog : public QObject
{
    Q_OBJECT

private slots:
    void headerText();
    void exampleRow();
    void rowsKeepThirtyColumns_data();
    void rowsKeepThirtyColumns();
    void fieldQuoting_data();
    void fieldQuoting();
    void emptyPacketRow();
    void filePath_data();
    void filePath();
    void appendWritesHeaderOnceAndOneRowPerPacket();
    void emptyFileGetsHeader();
};

void TestCsvLog::headerText()
{
    QCOMPARE(CsvLog::header(), kHeader);
    QCOMPARE(parseRow(kHeader + "\r\n").size(), CsvLog::kColumns);
    QCOMPARE(parseRow(kHeader + "\r\n").at(2), QStringLiteral(" Wind Dir"));
}

void TestCsvLog::exampleRow()
{
    WeatherParser parser;
    parser.setPacketText(fixture("weather_example_no_gps_no_ceilometer.txt"));
    QCOMPARE(
        CsvLog::row(parser),
        QByteArray(
            "2018-05-31 02:37:13,METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 SLPNO "
            "WND DATA ESTMD ALSTG/SLP ESTMD ,,1,,1,0.05,FG,0.00,No Ceilometer,0/0,22.8,2.8,27,,21.84,,,,,,"
            "-140,,0,,2,182.5,5.32,5 Minute,OK\r\n"));
}

void TestCsvLog::rowsKeepThirtyColumns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");

    // Two cloud layers are joined by ", ": quoted, the row still has 30 fields.
    QTest::newRow("cloud layers") << fixture("weather_full_gps_clouds_rain_lightning_aux.txt") << 9
                                  << QStringLiteral("3900, 10000");
    QTest::newRow("position in the METAR is UTF-8")
        << fixture("weather_full_gps_clouds_rain_lightning_aux.txt") << 1
        << QString::fromUtf8(
               "METAR 300234063909321 310237Z AUTO 28012G18KT 2SM TS RA BR ///039 ///100 M05/M08 A2976 "
               "RMK AO2 SLPNO MAX WND 28018KT OCNL LTG RAB0235E0140 LTG B0210 LTG E0155 "
               "WND DATA ESTMD ALSTG/SLP ESTMD 44.9778° -93.2650°");
    QTest::newRow("elevation in feet")
        << fixture("weather_full_gps_clouds_rain_lightning_aux.txt") << 19 << QStringLiteral("840");
    QTest::newRow("mode and interference")
        << fixture("weather_midnight_ceilometer_off.txt") << 28 << QStringLiteral("10 Second");
    QTest::newRow("mode 4") << QStringLiteral("@I:1\r\n@014\r\nB:5.32:4:000000:6F:46:AA\r\n~\r\n") << 28
                            << QStringLiteral("1 Minute");
    // A hostile IMEI lands in the METAR with quotes and commas.
    QTest::newRow("quotes and commas in the IMEI")
        << QStringLiteral("@I:12\"3,4\r\n@014\r\n~\r\n") << 1
        << QStringLiteral("METAR 12\"3,4 000000Z AUTO //// RMK AO2 SLPNO WND DATA ESTMD ALSTG/SLP ESTMD ");
}

void TestCsvLog::rowsKeepThirtyColumns()
{
    QFETCH(QString, text);
    QFETCH(int, column);
    QFETCH(QString, value);
    QVERIFY(!text.isEmpty());
    WeatherParser parser;
    parser.setPacketText(text);
    const QByteArray row = CsvLog::row(parser);
    const QStringList fields = parseRow(row);
    QCOMPARE(fields.size(), CsvLog::kColumns);
    QCOMPARE(fields.at(column), value);
    QCOMPARE(fields.at(1), MetarEncoder::getMetar(parser));
}

void TestCsvLog::fieldQuoting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("comma") << "3900, 10000" << QByteArray("\"3900, 10000\"");
    QTest::newRow("quote") << "a\"b" << QByteArray("\"a\"\"b\"");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("\"a\r\nb\"");
    QTest::newRow("degree sign") << QString::fromUtf8("90°") << QByteArray("90\xc2\xb0");
}

void TestCsvLog::fieldQuoting()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, field);
    QCOMPARE(CsvLog::field(value), field);
}

void TestCsvLog::emptyPacketRow()
{
    // Most accessors empty: runs of empty fields, still 30 of them.
    WeatherParser parser;
    parser.setPacketText(QStringLiteral("@I:300234063909320\r\n@014\r\n~\r\n"));
    const QByteArray row = CsvLog::row(parser);
    QCOMPARE(row, QByteArray(
                      ",METAR 300234063909320 000000Z AUTO //// RMK AO2 SLPNO WND DATA ESTMD ALSTG/SLP ESTMD "
                      ",,,,,,,,NA,0/0,,,,,,,,,,,,,,,,,,,\r\n"));
    QCOMPARE(parseRow(row).size(), CsvLog::kColumns);
}

void TestCsvLog::filePath_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("name");
    QTest::newRow("imei") << "300234063909320" << kMay2018 << "300234063909320_2018-05.csv";
    QTest::newRow("no imei") << "" << kMay2018 << "000000000000000_2018-05.csv";
    QTest::newRow("path in imei") << "../../etc/x" << kMay2018 << "000000000000000_2018-05.csv";
    // 00:30 on 1 June two hours east of UTC is still May in UTC.
    QTest::newRow("local time") << "300234063909320"
                                << QDateTime(QDate(2018, 6, 1), QTime(0, 30), Qt::OffsetFromUTC, 7200)
                                << "300234063909320_2018-05.csv";
}

void TestCsvLog::filePath()
{
    QFETCH(QString, imei);
    QFETCH(QDateTime, now);
    QFETCH(QString, name);
    QCOMPARE(CsvLog::filePath(QStringLiteral("/data/CSV"), imei, now), "/data/CSV/" + name);
}

void TestCsvLog::appendWritesHeaderOnceAndOneRowPerPacket()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("KTR Control Data/CSV"));
    WeatherParser parser;
    parser.setPacketText(fixture("weather_example_no_gps_no_ceilometer.txt"));
    const QByteArray first = CsvLog::row(parser);

    QVERIFY(CsvLog::append(folder, parser, kMay2018).ok);
    const QString mayFile = folder + QStringLiteral("/300234063909320_2018-05.csv");
    QCOMPARE(readAll(mayFile), kHeader + "\r\n" + first);

    parser.setPacketText(fixture("weather_full_gps_clouds_rain_lightning_aux.txt"));
    const QByteArray second = CsvLog::row(parser);
    parser.setPacketText(fixture("weather_example_no_gps_no_ceilometer.txt"));
    QVERIFY(CsvLog::append(folder, parser, kMay2018).ok);
    QCOMPARE(readAll(mayFile), kHeader + "\r\n" + first + first);

    // Another unit has a file of its own; a new month starts a new file.
    parser.setPacketText(fixture("weather_full_gps_clouds_rain_lightning_aux.txt"));
    QVERIFY(CsvLog::append(folder, parser, kMay2018).ok);
    QVERIFY(CsvLog::append(folder, parser, kJune2018).ok);
    QCOMPARE(readAll(folder + QStringLiteral("/300234063909321_2018-05.csv")), kHeader + "\r\n" + second);
    QCOMPARE(readAll(folder + QStringLiteral("/300234063909321_2018-06.csv")), kHeader + "\r\n" + second);
    QCOMPARE(readAll(mayFile), kHeader + "\r\n" + first + first);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

void TestCsvLog::emptyFileGetsHeader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("000000000000000_2018-05.csv"));
    QFile empty(path);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    WeatherParser parser;
    QVERIFY(CsvLog::append(dir.path(), parser, kMay2018).ok);
    QCOMPARE(readAll(path), kHeader + "\r\n" + CsvLog::row(parser));
}

QTEST_GUILESS_MAIN(TestCsvLog)
#include "tst_csvlog.moc"
