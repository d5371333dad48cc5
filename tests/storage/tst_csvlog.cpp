// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
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
    "Density Alt (ft),Lightning Freq,Lightning Distance (mi),Tilt,Orientation,Voltage,Mode,Interference\r\n";

const QDateTime kMay2018(QDate(2018, 5, 31), QTime(23, 59), Qt::UTC);
const QDateTime kJune2018(QDate(2018, 6, 1), QTime(0, 1), Qt::UTC);
const QString kExample = QStringLiteral("weather_example_no_gps_no_ceilometer.txt");
const QString kFull = QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt");

QString fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("../data/packets/" + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

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
    void exampleRow();
    void rowFields_data();
    void rowFields();
    void fieldQuoting_data();
    void fieldQuoting();
    void filePath_data();
    void filePath();
    void appendWritesHeaderOnceAndOneRowPerPacket();
    void emptyFileGetsHeader();
};

void TestCsvLog::exampleRow()
{
    QCOMPARE(
        rowOf(fixture(kExample)),
        QByteArray("2018-05-31 02:37:13,METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 "
                   "SLPNO WND DATA ESTMD ALSTG/SLP ESTMD ,,1,,1,0.05,FG,0.00,No Ceilometer,0/0,22.8,2.8,27,,"
                   "21.84,,,,,,-140,,0,,2,182.5,5.32,5 Minute,OK\r\n"));
}

void TestCsvLog::rowFields_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QByteArray>("fragment");
    // Two cloud layers are joined by ", ": quoted, so the row keeps its 30 fields.
    QTest::newRow("cloud layers") << fixture(kFull) << QByteArray(",\"3900, 10000\",");
    QTest::newRow("position in the METAR is UTF-8")
        << fixture(kFull) << QByteArray(" ESTMD 44.9778\xc2\xb0 -93.2650\xc2\xb0,");
    QTest::newRow("elevation in feet") << fixture(kFull) << QByteArray(",29.76,840,");
    // A hostile IMEI lands in the METAR with quotes and commas.
    QTest::newRow("quotes and commas in the IMEI")
        << QStringLiteral("@I:12\"3,4\r\n@014\r\n~\r\n") << QByteArray(",\"METAR 12\"\"3,4 000000Z AUTO ");
}

void TestCsvLog::rowFields()
{
    QFETCH(QString, packet);
    QFETCH(QByteArray, fragment);
    const QByteArray row = rowOf(packet);
    QVERIFY2(row.contains(fragment), row.constData());
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

void TestCsvLog::filePath_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("name");
    QTest::newRow("imei") << "300234063909320" << kMay2018 << "300234063909320_2018-05.csv";
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
    WeatherParser example;
    example.setPacketText(fixture(kExample));
    WeatherParser other;
    other.setPacketText(fixture(kFull));
    for (const WeatherParser *parser : {&example, &example, &other})
        QVERIFY(CsvLog::append(folder, *parser, kMay2018).ok);
    QVERIFY(CsvLog::append(folder, other, kJune2018).ok);

    // Another unit has a file of its own; a new month starts a new file.
    QCOMPARE(readAll(folder + "/300234063909320_2018-05.csv"),
             kHeader + CsvLog::row(example) + CsvLog::row(example));
    QCOMPARE(readAll(folder + "/300234063909321_2018-05.csv"), kHeader + CsvLog::row(other));
    QCOMPARE(readAll(folder + "/300234063909321_2018-06.csv"), kHeader + CsvLog::row(other));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

void TestCsvLog::emptyFileGetsHeader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("000000000000000_2018-05.csv"));
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    WeatherParser parser;
    QVERIFY(CsvLog::append(dir.path(), parser, kMay2018).ok);
    QCOMPARE(readAll(path), kHeader + CsvLog::row(parser));
}

QTEST_GUILESS_MAIN(TestCsvLog)
#include "tst_csvlog.moc"
