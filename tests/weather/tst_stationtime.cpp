// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/stationtime.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QTest>

namespace {

QString loadPacket(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/packets/") + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A picture header: "@", the camera digit, then the clock bytes yy MM dd hh mm ss.
QByteArray header(std::initializer_list<int> clock)
{
    QByteArray data("@1");
    for (int byte : clock)
        data.append(char(byte));
    return data;
}

} // namespace

class TestStationTime : public QObject
{
    Q_OBJECT

private slots:
    void fileStamps_data();
    void fileStamps();
    void packetTime_data();
    void packetTime();
    void slotTimes_data();
    void slotTimes();
    void fixtureTimes_data();
    void fixtureTimes();
};

void TestStationTime::fileStamps_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("stationClock"); // else the PC clock, 2026-02-14 19:59:08

    QTest::newRow("station clock") << header({0x18, 0x05, 0x31, 0x02, 0x37, 0x13, 0x00, 0x01}) << true;
    QTest::newRow("bit 7 ignored") << header({0x98, 0x85, 0xB1, 0x82, 0xB7, 0x93}) << true;
    QTest::newRow("digit above 9") << header({0x1F, 0x05, 0x31, 0x02, 0x37, 0x13}) << false;
    QTest::newRow("31 April") << header({0x18, 0x04, 0x31, 0x02, 0x37, 0x13}) << false;
    QTest::newRow("month 0") << header({0x18, 0x00, 0x31, 0x02, 0x37, 0x13}) << false;
    QTest::newRow("empty header") << QByteArray() << false;
}

void TestStationTime::fileStamps()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, stationClock);

    const QDateTime now(QDate(2026, 2, 14), QTime(19, 59, 8), Qt::UTC);
    QCOMPARE(StationTime::getDateTime(header, now),
             stationClock ? "180531_023713Z_KTRtime" : "260214_195908Z_PCtime");
    QCOMPARE(StationTime::getDateTimeSpectral(header, now),
             stationClock ? "18/05/31,02/37/13_KTRtime" : "26/02/14,19:59:08Z_PCtime");
}

void TestStationTime::packetTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logStamp");
    QTest::addColumn<QString>("metarGroup");
    QTest::addColumn<bool>("notFound"); // the log stamp says it found no time

    QTest::newRow("station time") << "@I:1\r\nT:18/05/31,02:37:13\r\nLA:?\r\n"
                                  << "2018-05-31 02:37:13"
                                  << "310237" << false;
    QTest::newRow("more after the seconds") << "T:18/05/31,02:37:13:44\r\n"
                                            << "2018-05-31 02:37:13"
                                            << "000000" << false;
    QTest::newRow("T: inside LAT:") << "@I:1\r\nLAT:18/05/31,02:37:13\r\n"
                                    << ""
                                    << "000000" << false;
    QTest::newRow("unknown time") << "T:?\r\nTA:1\r\n"
                                  << ""
                                  << "000000" << true;
    QTest::newRow("cut short") << "T:18/05/31,02:37:1"
                               << ""
                               << "000000" << true;
    QTest::newRow("a further T: cuts the window") << "T:18/05/T:31,02:37:13\r\n"
                                                  << ""
                                                  << "000000" << true;
}

void TestStationTime::packetTime()
{
    QFETCH(QString, text);
    QFETCH(QString, logStamp);
    QFETCH(QString, metarGroup);
    QFETCH(bool, notFound);

    WeatherParser parser;
    parser.setPacketText(text);
    if (notFound)
        QTest::ignoreMessage(QtDebugMsg, "Can't find timestamp pattern");
    QCOMPARE(parser.getLogTimestamp(), logStamp);
    QCOMPARE(parser.getMetarDayTime(), metarGroup);
}

void TestStationTime::slotTimes_data()
{
    QTest::addColumn<QString>("tLine");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("expected");

    const QString t0237 = QStringLiteral("T:18/05/31,02:37:13");
    QTest::newRow("began in this hour") << t0237 << "HI" << 0 << "0235";
    QTest::newRow("ended in the hour before") << t0237 << "HI" << 1 << "0140";
    QTest::newRow("slot equal to the minute, across midnight") << "T:18/06/01,00:10:05"
                                                               << "CC" << 0 << "2310";
    QTest::newRow("which below 0 is began") << t0237 << "HI" << -4 << "0235";
    QTest::newRow("no event") << t0237 << "--" << 0 << "-";
    QTest::newRow("unknown begin") << t0237 << "?A" << 0 << "-";
    QTest::newRow("letter after L") << t0237 << "MZ" << 0 << "-";
    QTest::newRow("one letter, ended") << t0237 << "H" << 1 << "-";
    QTest::newRow("no usable time") << "T:18/05/31,02:37:13:44"
                                    << "HI" << 0 << "";
}

void TestStationTime::slotTimes()
{
    QFETCH(QString, tLine);
    QFETCH(QString, code);
    QFETCH(int, which);
    QFETCH(QString, expected);

    WeatherParser parser;
    parser.setPacketText("@I:1\r\n@012\r\n" + tLine + "\r\nLD:4.3:12:" + code + "\r\nPW:0.35:40:2:" + code +
                         ":40:1715:256\r\n~\r\n");
    QCOMPARE(parser.getPrecipTime(which), expected);
    QCOMPARE(parser.getLightningTime(which), expected);
}

void TestStationTime::fixtureTimes_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("expected");

    // log stamp, METAR group, precipitation began/ended, lightning began/ended
    QTest::newRow("example") << "weather_example_no_gps_no_ceilometer.txt"
                             << QStringList{"2018-05-31 02:37:13", "310237", "-", "-", "-", "-"};
    QTest::newRow("full") << "weather_full_gps_clouds_rain_lightning_aux.txt"
                          << QStringList{"2018-05-31 02:37:13", "310237", "0235", "0140", "0210", "0155"};
    QTest::newRow("no LD line, only LDD") << "weather_no_cl_ld_lines_aux.txt"
                                          << QStringList{"2018-12-24 18:05:59", "241805", "-", "-", "-", "-"};
    QTest::newRow("midnight") << "weather_midnight_ceilometer_off.txt"
                              << QStringList{"2018-06-01 00:10:05", "010010", "2310", "2310", "0000", "0000"};
    QTest::newRow("end of the hour") << "weather_fog_no_cloud_detected.txt"
                                     << QStringList{
                                            "2019-01-15 23:59:30", "152359", "2355", "2355", "-", "-"};
}

void TestStationTime::fixtureTimes()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, expected);

    WeatherParser parser;
    parser.setPacketText(loadPacket(fixture));
    QVERIFY(!parser.packetText().isEmpty());
    const QStringList actual = {parser.getLogTimestamp(),   parser.getMetarDayTime(),
                                parser.getPrecipTime(0),    parser.getPrecipTime(1),
                                parser.getLightningTime(0), parser.getLightningTime(1)};
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestStationTime)
#include "tst_stationtime.moc"
