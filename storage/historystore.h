// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "weather/observation.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <memory>
#include <optional>

class QIODevice;
class QSqlQuery;

// The weather history: one row per weather packet in "history.sqlite" in the
// data folder (SQLite in WAL mode, shared with the outbox through separate
// connections).
//
// Rows are keyed by unit and station time: a packet seen twice is stored
// once. The unit is DataFolder::unitName of the IMEI, the same name the CSV
// and raw logs use, so live packets and imported ones meet. A packet without
// a station time (clock not set) is keyed by its receive time instead and
// marked time_from_pc; one with neither is refused.
//
// Times are whole seconds in UTC. The table keeps them as integers (t,
// received_t) and offers the text form "yyyy-MM-ddThh:mm:ssZ" as the
// generated columns station_time and received_time, which cost no space; the
// key on (imei, t) is therefore the key on (imei, station_time).
//
// An hourly and a daily rollup (observations_hourly, observations_daily:
// count, first and last time, minimum and maximum of every charted reading)
// are kept by triggers in the same transaction as the row, so ranges of
// months or years are reduced from them instead of from millions of rows.
//
// When the file cannot be opened or written, the store says so once
// (unavailable), keeps the packets it could not write in a bounded backlog,
// tries again with every packet, and says resumed once it has written them.
class HistoryStore : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kFileName = "history.sqlite";
    // A week of one-minute packets waits in memory while the file is unusable.
    static constexpr int kMaxBacklog = 7 * 24 * 60;
    // Without a known reporting mode the slowest one is assumed, so no
    // break is drawn that the station may not have made.
    static constexpr int kUnknownIntervalSecs = 3 * 3600;

    // The readings that the reduction keeps (minimum and maximum per bucket).
    enum Quantity
    {
        Temperature,
        DewPoint,
        Altimeter,
        WindSpeed,
        GustSpeed,
        WindDir,
        Precip,
        Visibility,
        Voltage,
        Interfered, // 1 when the receiver reported interference, else 0
        QuantityCount
    };
    static const char *columnName(Quantity quantity);

    // One stored packet. interfered comes from the signal level when the
    // packet had one, or from the CSV log's "Interference" column.
    struct Entry
    {
        Observation observation;
        std::optional<bool> interfered;
        bool timeFromPc = false;
    };

    // One pixel column of a reduced range.
    struct Bucket
    {
        qint64 firstSecs = 0; // first and last packet in the bucket
        qint64 lastSecs = 0;
        int count = 0;
        int intervalSecs = kUnknownIntervalSecs; // the longest reporting interval in it
        std::array<std::optional<double>, QuantityCount> min{};
        std::array<std::optional<double>, QuantityCount> max{};
    };

    // The extremes of one UTC day.
    struct DayExtremes
    {
        QDate day;
        std::optional<double> minTemperatureC;
        QDateTime minTemperatureTime;
        std::optional<double> maxTemperatureC;
        QDateTime maxTemperatureTime;
        std::optional<double> maxGustKt;
        std::optional<double> maxGustDirDeg;
        QDateTime maxGustTime;
        std::optional<double> precipIn; // rate integrated over time, see dailyExtremes
        std::optional<double> minAltimeterInHg;
        QDateTime minAltimeterTime;
        int received = 0;
        int expected = 0;
    };

    explicit HistoryStore(const QString &dataFolder, QObject *parent = nullptr);
    ~HistoryStore() override;

    QString filePath() const { return m_file; }
    // Opens (and creates) the file and its tables; false with errorText() set.
    bool open();
    bool isOpen() const;
    QString errorText() const { return m_error; }
    // False from the report of a failure until the store has resumed.
    bool isAvailable() const { return !m_down; }
    int backlogSize() const { return int(m_backlog.size()); }

    // Stores one live packet. True when it is in the store now (stored now or
    // before). False when it has no time at all, or when the store is
    // unusable: then it waits in the backlog and is written on resumption.
    bool record(const Observation &observation);
    // Stores many packets in one transaction (imports): the number of new
    // rows, or -1 when nothing could be written.
    int recordAll(const std::vector<Entry> &entries);

    // Units in the store, and the one with the latest packet.
    QStringList units() const;
    QString latestUnit() const;
    qint64 count(const QString &unit) const;
    // Packets of [from, to), oldest first.
    std::vector<Entry> entries(const QString &unit, const QDateTime &from, const QDateTime &to) const;

    // [from, to) cut into about bucketCount equal spans, minimum and maximum
    // of each reading per span; empty spans are left out. Spans of half an
    // hour or more become whole hours, spans of half a day or more whole days,
    // read from the rollups (so there may be fewer buckets than asked for).
    std::vector<Bucket> reduced(const QString &unit, const QDateTime &from, const QDateTime &to,
                                int bucketCount) const;

    // Per UTC day from first to last: the extremes with their times, the
    // precipitation total and the packets received against expected.
    //
    // The rate of each packet (inches per hour) holds until the next packet,
    // for at most twice its reporting interval (the gap rule), and for one
    // interval after the last packet; the depth is split at midnight. The
    // expected count is the time of the day divided by the reporting interval
    // in force (the mode of the latest packet before each moment). The day in
    // progress counts up to nowUtc.
    std::vector<DayExtremes> dailyExtremes(const QString &unit, const QDate &first, const QDate &last,
                                           const QDateTime &nowUtc) const;

    // The packets of [from, to) as RFC 4180 CSV, header first; the number of
    // rows written, or -1 on a read or write error.
    qint64 exportCsv(const QString &unit, const QDateTime &from, const QDateTime &to, QIODevice *out) const;

    // Seconds between packets in a reporting mode ("5 Minute" = 300), or
    // kUnknownIntervalSecs for an unknown name.
    static int intervalSeconds(const QString &modeName);
    // The gap rule: no packet for more than twice the reporting interval of
    // the earlier packet is a break in the record.
    static bool isGap(qint64 earlierSecs, qint64 laterSecs, int intervalSecs);

signals:
    // The store could not be opened or written; said once per outage.
    void unavailable(const QString &reason);
    // Writing works again; backlogWritten packets were caught up.
    void resumed(int backlogWritten);

private:
    bool exec(const QString &sql);
    bool tableExists(const QString &table) const;
    bool columnExists(const QString &table, const QString &column) const;
    void closeConnection();
    bool insert(const Entry &entry, int *added);
    bool writeBacklog();
    void fail(const QString &reason);

    QString m_file;
    QString m_connection;
    QString m_error;
    bool m_down = false;
    std::vector<Entry> m_backlog;
    std::unique_ptr<QSqlQuery> m_insert;
    bool m_metarTail = true;
};
