// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/datafolder.h"
#include "storage/rawlog.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kImei = QStringLiteral("300234010123450");
const QByteArray kPacket = "@I:300234010123450\r\n@0A7\r\nTA:21.5\r\n~\r\nSND\r\n";

// 2018-05-31 14:02:07.123 in a zone two hours ahead of UTC.
QDateTime may31()
{
    return QDateTime(QDate(2018, 5, 31), QTime(14, 2, 7, 123), Qt::OffsetFromUTC, 2 * 3600);
}

} // namespace

class TestRawLog : public QObject
{
    Q_OBJECT

private slots:
    void filePath_data();
    void filePath();
    void logWeatherPacket_data();
    void logWeatherPacket();
};

void TestRawLog::filePath_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("name");

    QTest::newRow("unit and month") << kImei << may31() << "300234010123450_201805.txt";
    QTest::newRow("month in UTC") << kImei
                                  << QDateTime(QDate(2018, 6, 1), QTime(0, 30), Qt::OffsetFromUTC, 2 * 3600)
                                  << "300234010123450_201805.txt";
    // IMEIs that could leave the folder or make no name all go to the unit without a number.
    QTest::newRow("parent folders") << "../../x" << may31() << "000000000000000_201805.txt";
    QTest::newRow("no IMEI") << QString() << may31() << "000000000000000_201805.txt";
}

void TestRawLog::filePath()
{
    QFETCH(QString, imei);
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(RawLog::filePath("/data/Raw", imei, when), "/data/Raw/" + name);
}

void TestRawLog::logWeatherPacket_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QByteArray>("auxiliary");
    QTest::addColumn<bool>("logging");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("auxiliaryLog");

    const QByteArray stamped = "\r\n*2018-05-31T14:02:07.123L\r\n" + kPacket;
    const QByteArray part = "@3A7\r\nECL:1\r\n~\r\nSND\r\n";
    QTest::newRow("logging off") << kImei << part << false << QByteArray() << QByteArray();
    QTest::newRow("logging on, auxiliary part")
        << kImei << part << true << stamped << "*2018-05-31T14:02:07.123L\r\n" + part;
    QTest::newRow("no IMEI, logging off") << QString() << QByteArray() << false << kPacket << QByteArray();
    QTest::newRow("no IMEI, logging on")
        << QString() << QByteArray() << true << kPacket + stamped << QByteArray();
}

void TestRawLog::logWeatherPacket()
{
    QFETCH(QString, imei);
    QFETCH(QByteArray, auxiliary);
    QFETCH(bool, logging);
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, auxiliaryLog);

    QTemporaryDir dir;
    const DataFolder folders(dir.path());
    RawLog::logWeatherPacket(folders, imei, kPacket, auxiliary, logging, may31());
    QCOMPARE(testsupport::fileBytes(RawLog::filePath(folders.rawPath(), imei, may31())), raw);
    QCOMPARE(testsupport::fileBytes(RawLog::filePath(folders.auxiliaryPath(), imei, may31())), auxiliaryLog);
}

QTEST_GUILESS_MAIN(TestRawLog)
#include "tst_rawlog.moc"
