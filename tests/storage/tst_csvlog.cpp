// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/csvlog.h"
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kHeader =
    "Timestamp (UTC),METAR, Wind Dir,Wind Speed (kt),Max Wind Dir,Max Wind Speed (kt),Visibility,"
    "Present Weather,Precip (in/hr),Cloud Layers (ft),Ceilometer Hits,Temp (C),Dew Point (C),"
    "Relative Humidity,Wind Chill (C),Heat Index (C),Lat,Lon,Altimeter (inHg),Elevation (ft),"
    "Station Pressure (inHg),Pressure Alt (ft),Density Alt (ft),Lightning Freq,Lightning Distance (mi),"
    "Tilt,Orientation,Voltage,Mode,Interference\r\n";

const QDateTime kMay2018(QDate(2018, 5, 31), QTime(23, 59), Qt::UTC);
const QDateTime kJune2018(QDate(2018, 6, 1), QTime(0, 1), Qt::UTC);
const QString kExample = QStringLiteral("weather_example_no_gps_no_ceilometer.txt");
const QString kFull = QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray rowOf(const QString &packet)
{
    WeatherParser parser;
    parser.setPacketText(packet);
    return CsvLog::row(parser);
}

} // namespace

class TestCsvLog : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void fieldQuoting_data();
    void fieldQuoting();
    void appendWritesHeaderOnceAndOneRowPerPacket();
};

void TestCsvLog::rows_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("example") << testsupport::packetText(kExample)
                             << QByteArray(
                                    "2018-05-31 02:37:13,METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM "
                                    "FG 23/03 RMK AO2 SLPNO WND DATA ESTMD ALSTG/SLP ESTMD ,,1,,1,0.05,FG,"
                                    "0.00,No Ceilometer,0/0,22.8,2.8,27,,21.84,,,,,,-140,,0,,2,182.5,5.32,"
                                    "5 Minute,OK\r\n");
    // The METAR carries the position in UTF-8; two cloud layers joined by ", " are quoted; elevation in feet.
    QTest::newRow("full") << testsupport::packetText(kFull)
                          << QByteArray(
                                 "2018-05-31 02:37:13,METAR 300234063909321 310237Z AUTO 28012G18KT 2SM TS "
                                 "RA BR ///039 ///100 M05/M08 A2976 RMK AO2 SLPNO MAX WND 28018KT OCNL LTG "
                                 "RAB0235E0140 LTG B0210 LTG E0155 WND DATA ESTMD ALSTG/SLP ESTMD "
                                 "44.9778\xc2\xb0 -93.2650\xc2\xb0,275,12.4,280,18.0,2,RA BR,0.35,"
                                 "\"3900, 10000\",3/3,-5.4,-7.5,85,-12.52,-7.66,44.9778,-93.2650,29.76,840,"
                                 "28.87,830,-1230,12,4.3,4,271.3,12.74,1 Minute,Interference\r\n");
}

void TestCsvLog::rows()
{
    QFETCH(QString, packet);
    QFETCH(QByteArray, row);
    QCOMPARE(rowOf(packet), row);
}

void TestCsvLog::fieldQuoting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("quote") << "a\"b" << QByteArray("\"a\"\"b\"");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("\"a\r\nb\"");
    // Long enough to be looked at eight characters at a time, and past them.
    QTest::newRow("comma late in a long value") << "1234567890,1" << QByteArray("\"1234567890,1\"");
    QTest::newRow("degree sign late in a long value")
        << QString::fromUtf8("-70.14640\u00b0") << QByteArray("-70.14640\xc2\xb0");
    QTest::newRow("quote and a character beyond the BMP")
        << QString::fromUtf8("\"\U0001F600\"") << QByteArray("\"\"\"\xf0\x9f\x98\x80\"\"\"");
}

void TestCsvLog::fieldQuoting()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, field);
    QCOMPARE(CsvLog::field(value), field);
}

void TestCsvLog::appendWritesHeaderOnceAndOneRowPerPacket()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("KTR Control Data/CSV"));
    WeatherParser example;
    example.setPacketText(testsupport::packetText(kExample));
    WeatherParser other;
    other.setPacketText(testsupport::packetText(kFull));
    // A file left empty by a failed first write still gets its header.
    QVERIFY(QDir().mkpath(folder) &&
            QFile(folder + "/300234063909321_2018-06.csv").open(QIODevice::WriteOnly));
    // 00:30 on 1 June two hours east of UTC is still May in UTC.
    const QDateTime mayInUtc(QDate(2018, 6, 1), QTime(0, 30), Qt::OffsetFromUTC, 7200);
    for (const WeatherParser *parser : {&example, &example, &other})
        QVERIFY(CsvLog::append(folder, *parser, parser == &other ? kMay2018 : mayInUtc).ok);
    QVERIFY(CsvLog::append(folder, other, kJune2018).ok);

    // Another unit has a file of its own; a new month starts a new file.
    QCOMPARE(readAll(folder + "/300234063909320_2018-05.csv"),
             kHeader + CsvLog::row(example) + CsvLog::row(example));
    QCOMPARE(readAll(folder + "/300234063909321_2018-05.csv"), kHeader + CsvLog::row(other));
    QCOMPARE(readAll(folder + "/300234063909321_2018-06.csv"), kHeader + CsvLog::row(other));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

QTEST_GUILESS_MAIN(TestCsvLog)
#include "tst_csvlog.moc"
