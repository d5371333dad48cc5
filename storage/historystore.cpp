// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/historystore.h"

#include "storage/csvlog.h"
#include "storage/datafolder.h"
#include "storage/sqlitefile.h"
#include "weather/weatherparser.h"

#include <QIODevice>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr qint64 kDaySecs = 86400;
constexpr int kInterferenceBelow = 50;

// Rollups kept by triggers in the packet's own transaction, finest first.
struct Rollup
{
    const char *table;
    const char *key; // t / secs
    qint64 secs;
    const char *trigger;
};
const Rollup kRollups[] = {
    {"observations_hourly", "hour", 3600, "observations_rollup"},
    {"observations_daily", "day", kDaySecs, "observations_rollup_daily"},
};

// The stored readings in column order after the key and times.
struct Column
{
    const char *name;
    std::optional<double> Observation::*member;
};
const Column kReadings[] = {
    {"wind_dir_deg", &Observation::windDirDeg},
    {"wind_speed_kt", &Observation::windSpeedKt},
    {"gust_dir_deg", &Observation::gustDirDeg},
    {"gust_speed_kt", &Observation::gustSpeedKt},
    {"visibility_mi", &Observation::visibilityMi},
    {"precip_in_hr", &Observation::precipInHr},
    {"temperature_c", &Observation::temperatureC},
    {"dew_point_c", &Observation::dewPointC},
    {"relative_humidity", &Observation::relativeHumidity},
    {"wind_chill_c", &Observation::windChillC},
    {"heat_index_c", &Observation::heatIndexC},
    {"altimeter_inhg", &Observation::altimeterInHg},
    {"station_pressure_inhg", &Observation::stationPressureInHg},
    {"lightning_distance_mi", &Observation::lightningDistanceMi},
    {"voltage_v", &Observation::voltageV},
    {"interference", &Observation::interference},
};
constexpr int kReadingCount = int(sizeof(kReadings) / sizeof(kReadings[0]));

const char *const kQuantityColumns[HistoryStore::QuantityCount] = {
    "temperature_c", "dew_point_c",  "altimeter_inhg", "wind_speed_kt", "gust_speed_kt",
    "wind_dir_deg",  "precip_in_hr", "visibility_mi",  "voltage_v",     "interfered",
};

struct Mode
{
    const char *name;
    int secs;
};
const Mode kModes[] = {{"3 Hour", 10800}, {"1 Hour", 3600},  {"20 Minute", 1200}, {"5 Minute", 300},
                       {"1 Minute", 60},  {"20 Second", 20}, {"10 Second", 10}};

QString modeName(int secs)
{
    for (const Mode &mode : kModes) {
        if (mode.secs == secs)
            return QString::fromLatin1(mode.name);
    }
    return QString();
}

std::optional<int> modeSeconds(const QString &name)
{
    for (const Mode &mode : kModes) {
        if (name == QLatin1String(mode.name))
            return mode.secs;
    }
    return std::nullopt;
}

QVariant optionalValue(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant();
}

std::optional<double> readOptional(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

QDateTime fromSecs(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}

qint64 dayStart(const QDate &day)
{
    return QDateTime(day, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
}

QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// The SELECT list that entries() and exportCsv() read, in export order.
QString entryColumns()
{
    QString columns =
        QStringLiteral("imei, station_time, received_time, t, received_t, time_from_pc, interval_s");
    for (const Column &column : kReadings)
        columns += QStringLiteral(", ") + QLatin1String(column.name);
    columns += QStringLiteral(", interfered, present_weather, metar");
    return columns;
}
constexpr int kFirstReading = 7;

HistoryStore::Entry readEntry(const QSqlQuery &query)
{
    HistoryStore::Entry entry;
    Observation &o = entry.observation;
    o.imei = query.value(0).toString();
    o.stationTime = fromSecs(query.value(3).toLongLong());
    if (!query.value(4).isNull())
        o.receivedTime = fromSecs(query.value(4).toLongLong());
    entry.timeFromPc = query.value(5).toInt() != 0;
    o.reportingMode = modeName(query.value(6).toInt());
    for (int i = 0; i < kReadingCount; ++i)
        o.*kReadings[i].member = readOptional(query.value(kFirstReading + i));
    const QVariant interfered = query.value(kFirstReading + kReadingCount);
    if (!interfered.isNull())
        entry.interfered = interfered.toInt() != 0;
    o.presentWeather = query.value(kFirstReading + kReadingCount + 1).toString();
    o.metar = query.value(kFirstReading + kReadingCount + 2).toString();
    return entry;
}

} // namespace

const char *HistoryStore::columnName(Quantity quantity)
{
    return kQuantityColumns[quantity];
}

HistoryStore::HistoryStore(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_file(dataFolder + QLatin1Char('/') + QLatin1String(kFileName)),
      m_connection(SqliteFile::newConnection("history"))
{
}

HistoryStore::~HistoryStore()
{
    m_insert.reset();
    SqliteFile::remove(m_connection);
}

void HistoryStore::closeConnection()
{
    m_insert.reset();
    SqliteFile::close(m_connection);
}

bool HistoryStore::isOpen() const
{
    return SqliteFile::isOpen(m_connection);
}

bool HistoryStore::exec(const QString &sql)
{
    return SqliteFile::exec(m_connection, sql, &m_error);
}

bool HistoryStore::tableExists(const QString &table) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(table);
    return query.exec() && query.next();
}

bool HistoryStore::columnExists(const QString &table, const QString &column) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT 1 FROM pragma_table_xinfo(?) WHERE name = ?"));
    query.addBindValue(table);
    query.addBindValue(column);
    return query.exec() && query.next();
}

bool HistoryStore::open()
{
    if (isOpen())
        return true;
    if (!SqliteFile::open(m_connection, m_file, &m_error)) {
        m_error = QStringLiteral("%1: %2").arg(m_file, m_error);
        return false;
    }

    QString readings;
    for (const Column &column : kReadings)
        readings += QLatin1String(column.name) + QStringLiteral(" REAL, ");
    QString rollupColumns;
    QString rollupValues;
    QString rollupUpdates;
    QString rollupNames;
    QString rollupMerge;
    for (const char *name : kQuantityColumns) {
        const QString column = QLatin1String(name);
        rollupColumns += QStringLiteral(", min_%1 REAL, max_%1 REAL").arg(column);
        rollupValues += QStringLiteral(", NEW.%1, NEW.%1").arg(column);
        // The two-argument min() and max() are NULL when either side is.
        rollupUpdates += QStringLiteral(", min_%1 = min(coalesce(min_%1, excluded.min_%1), "
                                        "coalesce(excluded.min_%1, min_%1))"
                                        ", max_%1 = max(coalesce(max_%1, excluded.max_%1), "
                                        "coalesce(excluded.max_%1, max_%1))")
                             .arg(column);
        rollupNames += QStringLiteral(", min_%1, max_%1").arg(column);
        rollupMerge += QStringLiteral(", min(min_%1), max(max_%1)").arg(column);
    }

    // synchronous=NORMAL: in WAL mode a commit survives the program being
    // killed; only a power cut may take back the last commits.
    if (!exec(QStringLiteral("PRAGMA synchronous=NORMAL")) || !exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        closeConnection();
        return false;
    }
    const bool hadDaily = tableExists(QLatin1String(kRollups[1].table));
    // The METAR line is kept without its "METAR <unit> " start, which every
    // row would repeat, and the metar column puts it back; a line that does
    // not start so is kept whole in metar_whole.
    QStringList schema = {
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS observations (imei TEXT NOT NULL, t INTEGER NOT NULL, "
            "station_time TEXT GENERATED ALWAYS AS (strftime('%Y-%m-%dT%H:%M:%SZ', t, 'unixepoch')) "
            "VIRTUAL, received_t INTEGER, received_time TEXT GENERATED ALWAYS AS "
            "(strftime('%Y-%m-%dT%H:%M:%SZ', received_t, 'unixepoch')) VIRTUAL, time_from_pc INTEGER, "
            "interval_s INTEGER, %1interfered INTEGER, present_weather TEXT, metar_tail TEXT, "
            "metar_whole TEXT, metar TEXT GENERATED ALWAYS AS "
            "(coalesce(metar_whole, 'METAR ' || imei || ' ' || metar_tail)) VIRTUAL, "
            "PRIMARY KEY (imei, t)) WITHOUT ROWID")
            .arg(readings),
    };
    for (const Rollup &rollup : kRollups) {
        schema << QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (imei TEXT NOT NULL, %2 INTEGER NOT NULL, "
                                 "n INTEGER NOT NULL, first_t INTEGER NOT NULL, last_t INTEGER NOT NULL, "
                                 "interval_s INTEGER%3, PRIMARY KEY (imei, %2)) WITHOUT ROWID")
                      .arg(QLatin1String(rollup.table), QLatin1String(rollup.key), rollupColumns)
               << QStringLiteral(
                      "CREATE TRIGGER IF NOT EXISTS %1 AFTER INSERT ON observations BEGIN "
                      "INSERT INTO %2 (imei, %3, n, first_t, last_t, interval_s%4) "
                      "VALUES (NEW.imei, NEW.t / %5, 1, NEW.t, NEW.t, NEW.interval_s%6) "
                      "ON CONFLICT (imei, %3) DO UPDATE SET n = n + 1, "
                      "first_t = min(first_t, excluded.first_t), "
                      "last_t = max(last_t, excluded.last_t), interval_s = max(coalesce(interval_s, "
                      "excluded.interval_s), coalesce(excluded.interval_s, interval_s))%7; END")
                      .arg(QLatin1String(rollup.trigger), QLatin1String(rollup.table),
                           QLatin1String(rollup.key), rollupNames)
                      .arg(rollup.secs)
                      .arg(rollupValues, rollupUpdates);
    }
    // A store from before the daily rollup gets it from the hourly one.
    if (!hadDaily) {
        schema << QStringLiteral("INSERT INTO %1 (imei, %2, n, first_t, last_t, interval_s%3) "
                                 "SELECT imei, hour * %4 / %5 AS d, sum(n), min(first_t), max(last_t), "
                                 "max(interval_s)%6 FROM %7 GROUP BY imei, d")
                      .arg(QLatin1String(kRollups[1].table), QLatin1String(kRollups[1].key), rollupNames)
                      .arg(kRollups[0].secs)
                      .arg(kRollups[1].secs)
                      .arg(rollupMerge, QLatin1String(kRollups[0].table));
    }
    schema << QStringLiteral("COMMIT");
    for (const QString &sql : schema) {
        if (!exec(sql)) {
            closeConnection();
            return false;
        }
    }
    // Stores written before the short METAR column keep their whole lines.
    m_metarTail = columnExists(QStringLiteral("observations"), QStringLiteral("metar_tail"));

    QString columns = QStringLiteral("imei, t, received_t, time_from_pc, interval_s");
    QString placeholders = QStringLiteral("?, ?, ?, ?, ?");
    for (const Column &column : kReadings) {
        columns += QStringLiteral(", ") + QLatin1String(column.name);
        placeholders += QStringLiteral(", ?");
    }
    columns += m_metarTail ? QStringLiteral(", interfered, present_weather, metar_tail, metar_whole")
                           : QStringLiteral(", interfered, present_weather, metar");
    placeholders += m_metarTail ? QStringLiteral(", ?, ?, ?, ?") : QStringLiteral(", ?, ?, ?");
    m_insert = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
    if (!m_insert->prepare(QStringLiteral("INSERT OR IGNORE INTO observations (%1) VALUES (%2)")
                               .arg(columns, placeholders))) {
        m_error = m_insert->lastError().text();
        closeConnection();
        return false;
    }
    m_error.clear();
    return true;
}

int HistoryStore::intervalSeconds(const QString &modeName)
{
    return modeSeconds(modeName).value_or(kUnknownIntervalSecs);
}

bool HistoryStore::isGap(qint64 earlierSecs, qint64 laterSecs, int intervalSecs)
{
    return laterSecs - earlierSecs > 2 * qint64(intervalSecs);
}

bool HistoryStore::insert(const Entry &entry, int *added)
{
    const Observation &o = entry.observation;
    qint64 t = 0;
    bool fromPc = false;
    if (o.stationTime.isValid()) {
        t = o.stationTime.toSecsSinceEpoch();
    } else if (o.receivedTime.isValid()) {
        t = o.receivedTime.toSecsSinceEpoch();
        fromPc = true;
    } else {
        return true; // nothing to key it by; not a fault of the store
    }
    QSqlQuery &q = *m_insert;
    const QString unit = DataFolder::unitName(o.imei);
    q.addBindValue(unit);
    q.addBindValue(t);
    q.addBindValue(o.receivedTime.isValid() ? QVariant(o.receivedTime.toSecsSinceEpoch()) : QVariant());
    q.addBindValue(fromPc ? QVariant(1) : QVariant());
    const std::optional<int> interval = modeSeconds(o.reportingMode);
    q.addBindValue(interval ? QVariant(*interval) : QVariant());
    for (const Column &column : kReadings)
        q.addBindValue(optionalValue(o.*column.member));
    std::optional<bool> interfered = entry.interfered;
    if (!interfered && o.interference)
        interfered = *o.interference < kInterferenceBelow;
    q.addBindValue(interfered ? QVariant(int(*interfered)) : QVariant());
    q.addBindValue(o.presentWeather);
    const QString start = QStringLiteral("METAR ") + unit + QLatin1Char(' ');
    if (!m_metarTail) {
        q.addBindValue(o.metar);
    } else if (o.metar.startsWith(start)) {
        q.addBindValue(o.metar.mid(start.size()));
        q.addBindValue(QVariant(QVariant::String));
    } else {
        q.addBindValue(QVariant(QVariant::String));
        q.addBindValue(o.metar);
    }
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    *added += q.numRowsAffected() > 0 ? 1 : 0;
    return true;
}

void HistoryStore::fail(const QString &reason)
{
    closeConnection();
    if (m_down)
        return;
    m_down = true;
    emit unavailable(reason);
}

bool HistoryStore::writeBacklog()
{
    if (m_backlog.empty())
        return true;
    const int written = recordAll(m_backlog);
    if (written < 0)
        return false;
    m_backlog.clear();
    return true;
}

bool HistoryStore::record(const Observation &observation)
{
    if (!observation.stationTime.isValid() && !observation.receivedTime.isValid())
        return false;
    const Entry entry{observation, std::nullopt, false};
    const int waiting = int(m_backlog.size());
    int added = 0;
    if (open() && writeBacklog() && insert(entry, &added)) {
        if (m_down) {
            m_down = false;
            emit resumed(waiting);
        }
        return true;
    }
    if (m_backlog.size() >= size_t(kMaxBacklog))
        m_backlog.erase(m_backlog.begin());
    m_backlog.push_back(entry);
    fail(m_error);
    return false;
}

int HistoryStore::recordAll(const std::vector<Entry> &entries)
{
    if (!open()) {
        fail(m_error);
        return -1;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        fail(m_error);
        return -1;
    }
    int added = 0;
    for (const Entry &entry : entries) {
        if (!insert(entry, &added)) {
            const QString error = m_error;
            db.rollback();
            fail(error);
            return -1;
        }
    }
    if (!db.commit()) {
        m_error = db.lastError().text();
        db.rollback();
        fail(m_error);
        return -1;
    }
    return added;
}

QStringList HistoryStore::units() const
{
    QStringList result;
    if (!isOpen())
        return result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // Skips from one unit to the next along the key instead of reading every row.
    if (!query.exec(QStringLiteral("WITH RECURSIVE u(imei) AS (SELECT min(imei) FROM observations UNION ALL "
                                   "SELECT (SELECT min(imei) FROM observations WHERE imei > u.imei) FROM u "
                                   "WHERE u.imei IS NOT NULL) SELECT imei FROM u WHERE imei IS NOT NULL")))
        return result;
    while (query.next())
        result << query.value(0).toString();
    return result;
}

QString HistoryStore::latestUnit() const
{
    QString latest;
    qint64 latestSecs = 0;
    const QStringList all = units();
    for (const QString &unit : all) {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.prepare(QStringLiteral("SELECT max(t) FROM observations WHERE imei = ?"));
        query.addBindValue(unit);
        if (query.exec() && query.next() && (latest.isEmpty() || query.value(0).toLongLong() > latestSecs)) {
            latest = unit;
            latestSecs = query.value(0).toLongLong();
        }
    }
    return latest;
}

qint64 HistoryStore::count(const QString &unit) const
{
    if (!isOpen())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT coalesce(sum(n), 0) FROM observations_hourly WHERE imei = ?"));
    query.addBindValue(unit);
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

std::vector<HistoryStore::Entry> HistoryStore::entries(const QString &unit, const QDateTime &from,
                                                       const QDateTime &to) const
{
    std::vector<Entry> result;
    if (!isOpen())
        return result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM observations WHERE imei = ? AND t >= ? AND t < ? ORDER BY t")
                      .arg(entryColumns()));
    query.addBindValue(unit);
    query.addBindValue(from.toSecsSinceEpoch());
    query.addBindValue(to.toSecsSinceEpoch());
    if (!query.exec())
        return result;
    while (query.next())
        result.push_back(readEntry(query));
    return result;
}

std::vector<HistoryStore::Bucket> HistoryStore::reduced(const QString &unit, const QDateTime &from,
                                                        const QDateTime &to, int bucketCount) const
{
    std::vector<Bucket> result;
    if (!isOpen() || bucketCount <= 0 || from >= to)
        return result;
    qint64 start = from.toSecsSinceEpoch();
    const qint64 end = to.toSecsSinceEpoch();
    qint64 width = std::max<qint64>(1, (end - start + bucketCount - 1) / bucketCount);
    // Columns of at least half a rollup span are read from the coarsest such
    // rollup: a little coarser, but a month takes 720 rows instead of 43,200
    // and ten years 3,650.
    const Rollup *rollup = nullptr;
    for (const Rollup &candidate : kRollups) {
        if (2 * width >= candidate.secs)
            rollup = &candidate;
    }
    QString sql;
    if (rollup) {
        width = (width + rollup->secs - 1) / rollup->secs * rollup->secs;
        start = start / rollup->secs * rollup->secs;
        sql = QStringLiteral("SELECT (%1 * %2 - :start) / :width AS b, sum(n), min(first_t), max(last_t), "
                             "max(interval_s)")
                  .arg(QLatin1String(rollup->key))
                  .arg(rollup->secs);
        for (const char *name : kQuantityColumns)
            sql += QStringLiteral(", min(min_%1), max(max_%1)").arg(QLatin1String(name));
        sql += QStringLiteral(" FROM %1 WHERE imei = :unit AND %2 >= :first AND %2 < :last "
                              "GROUP BY b ORDER BY b")
                   .arg(QLatin1String(rollup->table), QLatin1String(rollup->key));
    } else {
        sql = QStringLiteral("SELECT (t - :start) / :width AS b, count(*), min(t), max(t), max(interval_s)");
        for (const char *name : kQuantityColumns)
            sql += QStringLiteral(", min(%1), max(%1)").arg(QLatin1String(name));
        sql += QStringLiteral(" FROM observations WHERE imei = :unit AND t >= :first AND t < :last "
                              "GROUP BY b ORDER BY b");
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(sql);
    query.bindValue(QStringLiteral(":start"), start);
    query.bindValue(QStringLiteral(":width"), width);
    query.bindValue(QStringLiteral(":unit"), unit);
    query.bindValue(QStringLiteral(":first"), rollup ? start / rollup->secs : start);
    query.bindValue(QStringLiteral(":last"), rollup ? (end + rollup->secs - 1) / rollup->secs : end);
    if (!query.exec())
        return result;
    while (query.next()) {
        Bucket bucket;
        bucket.count = query.value(1).toInt();
        bucket.firstSecs = query.value(2).toLongLong();
        bucket.lastSecs = query.value(3).toLongLong();
        if (!query.value(4).isNull())
            bucket.intervalSecs = query.value(4).toInt();
        for (int q = 0; q < QuantityCount; ++q) {
            bucket.min[q] = readOptional(query.value(5 + 2 * q));
            bucket.max[q] = readOptional(query.value(6 + 2 * q));
        }
        result.push_back(bucket);
    }
    return result;
}

std::vector<HistoryStore::DayExtremes> HistoryStore::dailyExtremes(const QString &unit, const QDate &first,
                                                                   const QDate &last,
                                                                   const QDateTime &nowUtc) const
{
    std::vector<DayExtremes> days;
    if (!isOpen() || !first.isValid() || !last.isValid() || first > last)
        return {};
    const qint64 rangeStart = dayStart(first);
    const qint64 rangeEnd = std::min(dayStart(last.addDays(1)), nowUtc.toSecsSinceEpoch());
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        DayExtremes extremes;
        extremes.day = day;
        days.push_back(extremes);
    }
    auto dayIndex = [rangeStart](qint64 secs) { return int((secs - rangeStart) / kDaySecs); };

    struct Sample
    {
        qint64 t;
        int interval;
        std::optional<double> temperature, gust, gustDir, precip, altimeter;
    };
    std::vector<Sample> samples;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // The packet before the range sets the interval in force at its start.
    QSqlQuery before(db);
    before.prepare(QStringLiteral("SELECT t, interval_s FROM observations WHERE imei = ? AND t < ? "
                                  "ORDER BY t DESC LIMIT 1"));
    before.addBindValue(unit);
    before.addBindValue(rangeStart);
    std::optional<Sample> previous;
    if (before.exec() && before.next()) {
        previous = Sample{before.value(0).toLongLong(),
                          before.value(1).isNull() ? kUnknownIntervalSecs : before.value(1).toInt(),
                          {},
                          {},
                          {},
                          {},
                          {}};
    }
    // Rows up to two of the slowest intervals past the range end the spans of
    // its last packets.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT t, interval_s, temperature_c, gust_speed_kt, gust_dir_deg, precip_in_hr, "
                       "altimeter_inhg FROM observations WHERE imei = ? AND t >= ? AND t < ? ORDER BY t"));
    query.addBindValue(unit);
    query.addBindValue(rangeStart);
    query.addBindValue(dayStart(last.addDays(1)) + 2 * kUnknownIntervalSecs);
    if (!query.exec())
        return {};
    while (query.next()) {
        samples.push_back(Sample{query.value(0).toLongLong(),
                                 query.value(1).isNull() ? kUnknownIntervalSecs : query.value(1).toInt(),
                                 readOptional(query.value(2)), readOptional(query.value(3)),
                                 readOptional(query.value(4)), readOptional(query.value(5)),
                                 readOptional(query.value(6))});
    }

    // Hands each day that [from, to) touches its share in seconds.
    auto spread = [&](qint64 from, qint64 to, auto &&add) {
        from = std::max(from, rangeStart);
        to = std::min(to, rangeEnd);
        while (from < to) {
            const int index = dayIndex(from);
            const qint64 piece = std::min(to, rangeStart + (index + 1) * kDaySecs) - from;
            add(index, double(piece));
            from += piece;
        }
    };
    std::vector<double> expected(days.size(), 0.0);
    auto expect = [&](qint64 from, qint64 to, int interval) {
        spread(from, to, [&](int index, double secs) { expected[index] += secs / interval; });
    };

    if (samples.empty()) {
        if (previous)
            expect(rangeStart, rangeEnd, previous->interval);
    } else {
        expect(rangeStart, samples.front().t, previous ? previous->interval : samples.front().interval);
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample &s = samples[i];
        const bool hasNext = i + 1 < samples.size();
        const qint64 next = hasNext ? samples[i + 1].t : rangeEnd;
        expect(s.t, std::max(next, s.t), s.interval);
        if (s.precip) {
            const qint64 span = hasNext ? std::min<qint64>(next - s.t, 2 * qint64(s.interval)) : s.interval;
            spread(s.t, s.t + span, [&](int index, double secs) {
                days[index].precipIn = days[index].precipIn.value_or(0.0) + *s.precip * secs / 3600.0;
            });
        }
        if (s.t >= rangeEnd || s.t < rangeStart)
            continue;
        DayExtremes &d = days[dayIndex(s.t)];
        ++d.received;
        const QDateTime when = fromSecs(s.t);
        if (s.temperature && (!d.minTemperatureC || *s.temperature < *d.minTemperatureC)) {
            d.minTemperatureC = s.temperature;
            d.minTemperatureTime = when;
        }
        if (s.temperature && (!d.maxTemperatureC || *s.temperature > *d.maxTemperatureC)) {
            d.maxTemperatureC = s.temperature;
            d.maxTemperatureTime = when;
        }
        if (s.gust && (!d.maxGustKt || *s.gust > *d.maxGustKt)) {
            d.maxGustKt = s.gust;
            d.maxGustDirDeg = s.gustDir;
            d.maxGustTime = when;
        }
        if (s.altimeter && (!d.minAltimeterInHg || *s.altimeter < *d.minAltimeterInHg)) {
            d.minAltimeterInHg = s.altimeter;
            d.minAltimeterTime = when;
        }
    }
    for (size_t i = 0; i < days.size(); ++i)
        days[i].expected = int(std::lround(expected[i]));
    return days;
}

qint64 HistoryStore::exportCsv(const QString &unit, const QDateTime &from, const QDateTime &to,
                               QIODevice *out) const
{
    if (!isOpen() || !out)
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM observations WHERE imei = ? AND t >= ? AND t < ? ORDER BY t")
                      .arg(entryColumns()));
    query.addBindValue(unit);
    query.addBindValue(from.toSecsSinceEpoch());
    query.addBindValue(to.toSecsSinceEpoch());
    if (!query.exec())
        return -1;

    QByteArray text = "imei,station_time,received_time,time_from_pc,reporting_mode";
    for (const Column &column : kReadings)
        text += ',' + QByteArray(column.name);
    text += ",interfered,present_weather,metar\r\n";
    qint64 rows = 0;
    while (query.next()) {
        const Entry entry = readEntry(query);
        const Observation &o = entry.observation;
        text += CsvLog::field(o.imei) + ',' + query.value(1).toByteArray() + ',' +
                query.value(2).toByteArray() + ',' + (entry.timeFromPc ? "1" : "0") + ',' +
                CsvLog::field(o.reportingMode);
        for (const Column &column : kReadings) {
            const std::optional<double> value = o.*column.member;
            text += ',' + (value ? shortest(*value).toLatin1() : QByteArray());
        }
        text += ',' + (entry.interfered ? QByteArray(*entry.interfered ? "1" : "0") : QByteArray());
        text += ',' + CsvLog::field(o.presentWeather) + ',' + CsvLog::field(o.metar) + "\r\n";
        ++rows;
        if (text.size() > (1 << 16)) {
            if (out->write(text) != text.size())
                return -1;
            text.clear();
        }
    }
    if (out->write(text) != text.size())
        return -1;
    return rows;
}
