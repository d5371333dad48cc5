// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/stationtime.h"
#include "weather/weatherparser.h"

#include <QTest>

namespace {

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
};

void TestStationTime::fileStamps_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("stationClock"); // else the PC clock, 2026-02-14 19:59:08

    QTest::newRow("station clock") << header({0x18, 0x05, 0x31, 0x02, 0x37, 0x13, 0x00, 0x01}) << true;
    QTest::newRow("bit 7 ignored") << header({0x98, 0x85, 0xB1, 0x82, 0xB7, 0x93}) << true;
    QTest::newRow("digit above 9") << header({0x1F, 0x05, 0x31, 0x02, 0x37, 0x13}) << false;
    QTest::newRow("31 April") << header({0x18, 0x04, 0x31, 0x02, 0x37, 0x13}) << false;
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

    const struct
    {
        const char *name, *text, *logStamp, *metarGroup;
        bool notFound;
    } rows[] = {
        {"station time", "@I:1\r\nT:18/05/31,02:37:13\r\nLA:?\r\n", "2018-05-31 02:37:13", "310237", false},
        {"more after the seconds", "T:18/05/31,02:37:13:44\r\n", "2018-05-31 02:37:13", "000000", false},
        {"T: inside LAT:", "@I:1\r\nLAT:18/05/31,02:37:13\r\n", "", "000000", false},
        {"unknown time", "T:?\r\nTA:1\r\n", "", "000000", true},
        {"cut short", "T:18/05/31,02:37:1", "", "000000", true},
        {"a further T: cuts the window", "T:18/05/T:31,02:37:13\r\n", "", "000000", true},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.text << row.logStamp << row.metarGroup << row.notFound;
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

    const char *const t0237 = "T:18/05/31,02:37:13";
    const struct
    {
        const char *name, *tLine, *code;
        int which;
        const char *expected;
    } rows[] = {
        {"began in this hour", t0237, "HI", 0, "0235"},
        {"ended in the hour before", t0237, "HI", 1, "0140"},
        {"slot equal to the minute, across midnight", "T:18/06/01,00:10:05", "CC", 0, "2310"},
        {"which below 0 is began", t0237, "HI", -4, "0235"},
        {"no event", t0237, "--", 0, "-"},
        {"unknown begin", t0237, "?A", 0, "-"},
        {"letter after L", t0237, "MZ", 0, "-"},
        {"one letter, ended", t0237, "H", 1, "-"},
        {"no usable time", "T:18/05/31,02:37:13:44", "HI", 0, ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString(row.tLine) << QString(row.code) << row.which
                                << QString(row.expected);
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

QTEST_GUILESS_MAIN(TestStationTime)
#include "tst_stationtime.moc"
