// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "storage/datafolder.h"
#include "storage/historyimport.h"
#include "storage/historystore.h"
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kUnit = QStringLiteral("300234063909320");
const QDateTime kJune1(QDate(2025, 6, 1), QTime(0, 0), Qt::UTC);

Observation observation(const QDateTime &when, const QString &mode = QStringLiteral("1 Minute"))
{
    Observation o;
    o.imei = kUnit;
    o.stationTime = when;
    o.receivedTime = when.addSecs(2);
    o.reportingMode = mode;
    o.temperatureC = 10;
    o.gustSpeedKt = 8;
    o.gustDirDeg = 270;
    o.altimeterInHg = 30.0;
    o.precipInHr = 0;
    return o;
}

// A query on the store's file through a connection of the test's own.
QStringList sqlRow(const QString &file, const QString &sql)
{
    QStringList row;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(sql) && query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return row;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void schemaAndMissingReadings();
    void storedOnce();
    void gapRule_data();
    void gapRule();
    void reductionKeepsExtremes_data();
    void reductionKeepsExtremes();
    void dailyExtremesOfAKnownDay();
    void failureReportedOnceAndResumed();
    void importIsIdempotent();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HistoryStore> m_store;
};

void TestHistoryStore::init()
{
    m_store.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<HistoryStore>(m_dir->path());
}

void TestHistoryStore::schemaAndMissingReadings()
{
    // 'WI:1:?': a wind speed but no direction; no GPS, no lightning.
    WeatherParser parser;
    parser.setPacketText(testsupport::packetText(QStringLiteral("weather_example_no_gps_no_ceilometer.txt")));
    const Observation o = Observation::fromParser(parser, MetarEncoder::getMetar(parser), kJune1);
    QVERIFY(m_store->record(o));

    const QString file = m_dir->filePath(QStringLiteral("history.sqlite"));
    QCOMPARE(sqlRow(file, QStringLiteral("PRAGMA journal_mode")), QStringList{"wal"});
    QCOMPARE(
        sqlRow(file, QStringLiteral("SELECT imei, station_time, received_time, wind_speed_kt, "
                                    "typeof(wind_dir_deg), typeof(lightning_distance_mi), temperature_c, "
                                    "metar FROM observations")),
        QStringList(
            {kUnit, "2018-05-31T02:37:13Z", "2025-06-01T00:00:00Z", "1", "null", "null", "22.8", o.metar}));
}

void TestHistoryStore::storedOnce()
{
    QVERIFY(m_store->record(observation(kJune1)));
    QVERIFY(m_store->record(observation(kJune1)));
    QVERIFY(m_store->record(observation(kJune1.addSecs(60))));
    // Without a station time the receive time places the packet.
    Observation noClock = observation(QDateTime());
    noClock.receivedTime = kJune1.addSecs(30);
    noClock.metar = QStringLiteral("METAR 000000000000000 000000Z AUTO"); // a packet without its IMEI
    QVERIFY(m_store->record(noClock));
    noClock.receivedTime = QDateTime();
    QVERIFY(!m_store->record(noClock));
    QCOMPARE(m_store->count(kUnit), qint64(3));
    const std::vector<HistoryStore::Entry> rows = m_store->entries(kUnit, kJune1, kJune1.addDays(1));
    QCOMPARE(rows.size(), size_t(3));
    QVERIFY(rows[1].timeFromPc && !rows[0].timeFromPc);
    QCOMPARE(rows[1].observation.stationTime, kJune1.addSecs(30));
    QCOMPARE(rows[1].observation.metar, noClock.metar);
    QCOMPARE(m_store->latestUnit(), kUnit);
}

void TestHistoryStore::gapRule_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<qint64>("apartSecs");
    QTest::addColumn<bool>("gap");
    QTest::newRow("1 min, 2 min apart") << "1 Minute" << qint64(120) << false;
    QTest::newRow("1 min, 121 s apart") << "1 Minute" << qint64(121) << true;
    QTest::newRow("5 min, 10 min apart") << "5 Minute" << qint64(600) << false;
    QTest::newRow("3 h, 7 h apart") << "3 Hour" << qint64(7 * 3600) << true;
    QTest::newRow("unknown mode, 6 h apart") << "" << qint64(6 * 3600) << false;
}

void TestHistoryStore::gapRule()
{
    QFETCH(QString, mode);
    QFETCH(qint64, apartSecs);
    QFETCH(bool, gap);
    // The reduction hands over what the rule needs: the interval and the
    // times on both sides of the gap.
    QVERIFY(m_store->record(observation(kJune1, mode)));
    QVERIFY(m_store->record(observation(kJune1.addSecs(apartSecs), mode)));
    const auto buckets = m_store->reduced(kUnit, kJune1, kJune1.addDays(1), 86400);
    QCOMPARE(buckets.size(), size_t(2));
    QCOMPARE(HistoryStore::isGap(buckets[0].lastSecs, buckets[1].firstSecs, buckets[0].intervalSecs), gap);
}

void TestHistoryStore::reductionKeepsExtremes_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("buckets");
    QTest::addColumn<bool>("earlierLayout"); // a store written before the daily rollup, opened again
    QTest::newRow("6 h in 7 buckets") << 6 << 7 << false;
    QTest::newRow("3 days in 10 buckets, from the hourly rollup") << 72 << 10 << false;
    QTest::newRow("3 days in 2 buckets, from the daily rollup") << 72 << 2 << false;
    QTest::newRow("the daily rollup made from the hourly one") << 72 << 2 << true;
}

void TestHistoryStore::reductionKeepsExtremes()
{
    QFETCH(int, hours);
    QFETCH(int, buckets);
    QFETCH(bool, earlierLayout);
    std::vector<HistoryStore::Entry> entries;
    for (int minute = 0; minute < 72 * 60; ++minute) {
        Observation o = observation(kJune1.addSecs(minute * 60));
        o.gustSpeedKt = 10 + minute % 7;
        o.temperatureC = 15 + (minute % 11) / 10.0;
        if (minute == 100) {
            o.gustSpeedKt = 55;
            o.temperatureC = -3.5;
        }
        entries.push_back({o, std::nullopt, false});
    }
    QCOMPARE(m_store->recordAll(entries), int(entries.size()));
    if (earlierLayout) {
        const QString file = m_store->filePath();
        m_store = std::make_unique<HistoryStore>(m_dir->path());
        sqlRow(file, QStringLiteral("DROP TRIGGER observations_rollup_daily"));
        sqlRow(file, QStringLiteral("DROP TABLE observations_daily"));
        QVERIFY(m_store->open());
    }

    const auto reduced = m_store->reduced(kUnit, kJune1, kJune1.addSecs(hours * 3600), buckets);
    QVERIFY(reduced.size() <= size_t(buckets));
    double peakGust = 0;
    double lowest = 100;
    int packets = 0;
    for (const HistoryStore::Bucket &bucket : reduced) {
        peakGust = std::max(peakGust, bucket.max[HistoryStore::GustSpeed].value_or(0));
        lowest = std::min(lowest, bucket.min[HistoryStore::Temperature].value_or(100));
        packets += bucket.count;
    }
    QCOMPARE(peakGust, 55.0);
    QCOMPARE(lowest, -3.5);
    QCOMPARE(packets, hours * 60);
}

void TestHistoryStore::dailyExtremesOfAKnownDay()
{
    // 2025-06-01 in 5-minute mode: 288 packets expected; those from 10:00 to
    // 10:35 (8) are missing. Rain at 0.6 in/h from 06:00 to 07:00 (12 packets:
    // 0.6 in), and 0.3 in/h in the packet at 09:55 before the gap, which
    // counts for twice the interval (10 min: 0.05 in).
    std::vector<HistoryStore::Entry> entries;
    for (int slot = 0; slot < 288; ++slot) {
        if (slot >= 120 && slot < 128)
            continue;
        Observation o = observation(kJune1.addSecs(slot * 300), QStringLiteral("5 Minute"));
        o.temperatureC = 12.0 + (slot % 50) / 10.0;
        o.precipInHr = slot >= 72 && slot < 84 ? 0.6 : slot == 119 ? 0.3 : 0.0;
        entries.push_back({o, std::nullopt, false});
    }
    entries[30].observation.temperatureC = -1.5;   // 02:30
    entries[200].observation.temperatureC = 24.25; // 17:20
    entries[150].observation.gustSpeedKt = 41;     // 13:10
    entries[150].observation.gustDirDeg = 305;
    entries[10].observation.altimeterInHg = 29.42; // 00:50
    Observation nextDay = observation(kJune1.addDays(1), QStringLiteral("5 Minute"));
    nextDay.temperatureC = -30;
    entries.push_back({nextDay, std::nullopt, false});
    QCOMPARE(m_store->recordAll(entries), int(entries.size()));

    const auto days = m_store->dailyExtremes(kUnit, kJune1.date(), kJune1.date(), kJune1.addDays(3));
    QCOMPARE(days.size(), size_t(1));
    const HistoryStore::DayExtremes &d = days.front();
    QCOMPARE(d.day, QDate(2025, 6, 1));
    QCOMPARE(d.minTemperatureC, std::optional<double>(-1.5));
    QCOMPARE(d.minTemperatureTime, QDateTime(kJune1.date(), QTime(2, 30), Qt::UTC));
    QCOMPARE(d.maxTemperatureC, std::optional<double>(24.25));
    QCOMPARE(d.maxTemperatureTime, QDateTime(kJune1.date(), QTime(17, 20), Qt::UTC));
    QCOMPARE(d.maxGustKt, std::optional<double>(41));
    QCOMPARE(d.maxGustDirDeg, std::optional<double>(305));
    QCOMPARE(d.maxGustTime, QDateTime(kJune1.date(), QTime(13, 10), Qt::UTC));
    QCOMPARE(d.minAltimeterInHg, std::optional<double>(29.42));
    QCOMPARE(d.minAltimeterTime, QDateTime(kJune1.date(), QTime(0, 50), Qt::UTC));
    QVERIFY(d.precipIn && qAbs(*d.precipIn - 0.65) < 1e-9);
    QCOMPARE(d.received, 280);
    QCOMPARE(d.expected, 288);
}

void TestHistoryStore::failureReportedOnceAndResumed()
{
    const QString file = m_dir->filePath(QStringLiteral("history.sqlite"));
    QVERIFY(QDir().mkpath(file));
    QSignalSpy down(m_store.get(), &HistoryStore::unavailable);
    QSignalSpy up(m_store.get(), &HistoryStore::resumed);
    QVERIFY(!m_store->record(observation(kJune1)));
    QVERIFY(!m_store->record(observation(kJune1.addSecs(60))));
    QCOMPARE(down.count(), 1);
    QVERIFY(down.first().first().toString().contains(QStringLiteral("history.sqlite")));

    QVERIFY(QDir(file).removeRecursively());
    QVERIFY(m_store->record(observation(kJune1.addSecs(120))));
    QCOMPARE(up.count(), 1);
    QCOMPARE(up.first().first().toInt(), 2);
    QCOMPARE(m_store->count(kUnit), qint64(3));
}

void TestHistoryStore::importIsIdempotent()
{
    // Two CSV logs as the program writes them, one row of an older log with
    // its cloud layers unquoted, a row cut short and a row without a time.
    const QString csvFolder = m_dir->filePath(QStringLiteral("CSV"));
    const QString packet = testsupport::packetText(QStringLiteral("weather_midnight_ceilometer_off.txt"));
    WeatherParser parser;
    for (int minute = 0; minute < 3; ++minute) {
        parser.setPacketText(
            QString(packet).replace(QStringLiteral("00:10:05"), QStringLiteral("00:0%1:05").arg(minute)));
        QVERIFY(CsvLog::append(csvFolder, parser, kJune1.addMonths(minute / 2)).ok);
    }
    QFile old(CsvLog::filePath(csvFolder, parser.getImei(), kJune1));
    QVERIFY(old.open(QIODevice::Append));
    QString legacy = QString::fromUtf8(CsvLog::row(parser))
                         .replace(QStringLiteral("2018-06-01"), QStringLiteral("2018-06-02"));
    legacy.replace(QStringLiteral("Ceilometer OFF"), QStringLiteral("3900, 10000"));
    old.write(legacy.toUtf8() + "2018-06-03 00:00:00,METAR,1\r\n" + QByteArray(29, ',') + "\r\n");
    old.close();

    const QStringList files = HistoryImport::csvLogs(csvFolder);
    QVERIFY(m_store->open());
    QVERIFY(HistoryImport::isNeeded(*m_store));
    HistoryImport import(m_store.get());
    QSignalSpy progress(&import, &HistoryImport::progress);
    QSignalSpy finished(&import, &HistoryImport::finished);
    import.start(files);
    QVERIFY(finished.wait(10000));
    const HistoryImport::Summary first = finished.first().first().value<HistoryImport::Summary>();
    QCOMPARE(first.added, qint64(4));
    QCOMPARE(first.skipped, qint64(2));
    QCOMPARE(progress.last().at(0), progress.last().at(1));
    QVERIFY(!HistoryImport::isNeeded(*m_store));

    const std::vector<HistoryStore::Entry> rows = m_store->entries(
        DataFolder::unitName(parser.getImei()), QDateTime(QDate(2018, 1, 1), QTime(), Qt::UTC), kJune1);
    QCOMPARE(rows.size(), size_t(4));
    QCOMPARE(rows.back().observation.stationTime, QDateTime(QDate(2018, 6, 2), QTime(0, 2, 5), Qt::UTC));
    QCOMPARE(rows.back().observation.temperatureC, std::optional<double>(35.0));
    QCOMPARE(rows.back().observation.reportingMode, parser.getMode());

    const HistoryImport::Summary again = import.run(files);
    QCOMPARE(again.added, qint64(0));
    QCOMPARE(again.packets, first.packets);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
