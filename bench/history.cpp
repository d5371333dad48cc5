// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// bench_history: ten years of one-minute weather packets in the history
// store. Prints the time to fill it, the store's size, the time to record
// one live packet, the reduced 30-day and 10-year range queries and the
// Trends view drawing those ranges offscreen.
//
//   bench_history [folder] [packets]   (default: a temporary folder, 5,259,600)

#include "reports/metarencoder.h"
#include "storage/datafolder.h"
#include "storage/historystore.h"
#include "tools/sim/weathergenerator.h"
#include "ui/trendsview.h"
#include "weather/weatherparser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kBatch = 20000;
constexpr int kWeekPackets = 7 * 24 * 60;
constexpr int kLivePackets = 1000;
constexpr int kBuckets = 1000;
constexpr int kRuns = 5;
const QDateTime kStart(QDate(2016, 1, 1), QTime(0, 0), Qt::UTC);

double medianMs(const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

HistoryStore::Entry entryAt(WeatherGenerator &weather, WeatherParser &parser, const QDateTime &when)
{
    parser.setPacketText(QString::fromLatin1(weather.packet(when, 4, false)));
    return {Observation::fromParser(parser, MetarEncoder::getMetar(parser), when.addSecs(2)), std::nullopt,
            false};
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const qint64 packets = argc > 2 ? QByteArray(argv[2]).toLongLong() : qint64(10 * 365.25 * 24 * 60);

    HistoryStore store(folder);
    if (!store.open()) {
        std::fprintf(stderr, "bench_history: %s\n", qUtf8Printable(store.errorText()));
        return 1;
    }
    WeatherGenerator weather;
    WeatherParser parser;
    const QString unit = DataFolder::unitName(QString::fromLatin1(weather.imei()));
    qint64 have = store.count(unit);
    QElapsedTimer timer;
    timer.start();
    qint64 insertNs = 0;
    // A week of generated packets, repeated with later times: filling ten
    // years then costs the store's time, not the generator's.
    std::vector<HistoryStore::Entry> week;
    for (int i = 0; i < kWeekPackets; ++i)
        week.push_back(entryAt(weather, parser, kStart.addSecs(60 * i)));
    std::vector<HistoryStore::Entry> batch;
    for (qint64 i = have; i < packets; ++i) {
        HistoryStore::Entry entry = week[size_t(i % kWeekPackets)];
        entry.observation.stationTime = kStart.addSecs(60 * i);
        entry.observation.receivedTime = entry.observation.stationTime.addSecs(2);
        batch.push_back(entry);
        if (int(batch.size()) == kBatch || i + 1 == packets) {
            QElapsedTimer insert;
            insert.start();
            if (store.recordAll(batch) < 0) {
                std::fprintf(stderr, "bench_history: %s\n", qUtf8Printable(store.errorText()));
                return 1;
            }
            insertNs += insert.nsecsElapsed();
            batch.clear();
            if ((i + 1) % (kBatch * 25) == 0)
                std::fprintf(stderr, "  %lld packets\n", i + 1);
        }
    }
    const qint64 added = packets - have;
    std::printf("filled: %lld packets in %.1f s (%.1f s in the store, %.1f us per packet in batches)\n",
                added, timer.nsecsElapsed() / 1e9, insertNs / 1e9, added > 0 ? insertNs / 1e3 / added : 0.0);

    // Live packets: one transaction each, as the session records them.
    std::vector<double> live;
    const QDateTime end = kStart.addSecs(60 * packets);
    for (int i = 0; i < kLivePackets; ++i) {
        const HistoryStore::Entry entry = entryAt(weather, parser, end.addSecs(60 * i));
        QElapsedTimer one;
        one.start();
        store.record(entry.observation);
        live.push_back(one.nsecsElapsed() / 1e6);
    }
    std::sort(live.begin(), live.end());
    std::printf("record one packet: median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n",
                live[live.size() / 2], live[live.size() * 99 / 100], live.back());

    const qint64 fileBytes = QFileInfo(store.filePath()).size();
    const qint64 walBytes = QFileInfo(store.filePath() + QStringLiteral("-wal")).size();
    std::printf("store: %lld rows, %.1f MiB (%.0f bytes per row), WAL %.1f MiB\n", store.count(unit),
                fileBytes / 1048576.0, double(fileBytes) / std::max<qint64>(1, store.count(unit)),
                walBytes / 1048576.0);

    const QDateTime last = end.addSecs(60 * kLivePackets);
    std::size_t buckets = 0;
    const double month =
        medianMs([&] { buckets = store.reduced(unit, last.addDays(-30), last, kBuckets).size(); });
    std::printf("reduced 30 days to %d columns: %.1f ms (%zu buckets)\n", kBuckets, month, buckets);
    const double decade = medianMs([&] { buckets = store.reduced(unit, kStart, last, kBuckets).size(); });
    std::printf("reduced 10 years to %d columns: %.1f ms (%zu buckets)\n", kBuckets, decade, buckets);
    const double days =
        medianMs([&] { store.dailyExtremes(unit, last.addDays(-30).date(), last.date(), last); });
    std::printf("daily extremes of 31 days: %.1f ms\n", days);

    TrendsView view(&store);
    view.resize(1200, 1000);
    view.setClock([last] { return last; });
    view.show();
    view.grab();
    const double drawMonth = medianMs([&] {
        view.setRange(TrendsView::Range::Days30);
        view.grab();
    });
    std::printf("Trends view, 30 days, query and draw: %.1f ms\n", drawMonth);
    const double drawDecade = medianMs([&] {
        view.setCustomRange(kStart, last);
        view.grab();
    });
    std::printf("Trends view, 10 years, query and draw: %.1f ms\n", drawDecade);
    return 0;
}
