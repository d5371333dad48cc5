// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// bench_makeyear: writes a raw weather log of one packet a minute, as the
// program itself logs them ("\r\n*<local stamp>L\r\n" and the packet), the
// input on which ktr-decode is timed. The same arguments always give the same
// file, byte for byte.
//
//   bench_makeyear <file> [packets, default a year: 525600] [first packet's
//                  UTC time, yyyy-MM-ddThh:mm:ssZ, default 2025-01-01T00:00:00Z]

#include "storage/rawlog.h"
#include "tools/sim/weathergenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cstdio>

namespace {
constexpr int kPacketsPerYear = 365 * 24 * 60;
constexpr int kMinuteSecs = 60;
constexpr int kAuxEvery = 6; // as the station simulator sends them
constexpr int kOneMinuteMode = 4;
constexpr int kFlushBytes = 1 << 20;
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 4) {
        std::fprintf(stderr, "usage: bench_makeyear <file> [packets] [first time]\n");
        return 2;
    }
    bool ok = true;
    const int packets = args.size() >= 3 ? args.at(2).toInt(&ok) : kPacketsPerYear;
    if (!ok || packets < 1) {
        std::fprintf(stderr, "bench_makeyear: the packet count must be a positive number\n");
        return 2;
    }

    QFile file(args.at(1));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "bench_makeyear: cannot write %s\n", qUtf8Printable(args.at(1)));
        return 1;
    }
    WeatherGenerator weather;
    const QDateTime start = args.size() == 4 ? QDateTime::fromString(args.at(3), Qt::ISODate).toUTC()
                                             : QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    if (!start.isValid()) {
        std::fprintf(stderr, "bench_makeyear: the first time must be yyyy-MM-ddThh:mm:ssZ\n");
        return 2;
    }
    QByteArray pending;
    pending.reserve(kFlushBytes + 4096);
    for (int i = 0; i < packets; ++i) {
        const QDateTime utc = start.addSecs(qint64(i) * kMinuteSecs);
        pending += RawLog::weatherEntry(weather.packet(utc, kOneMinuteMode, i % kAuxEvery == 0), utc);
        if (pending.size() >= kFlushBytes || i + 1 == packets) {
            if (file.write(pending) != pending.size()) {
                std::fprintf(stderr, "bench_makeyear: write error\n");
                return 1;
            }
            pending.clear();
        }
    }
    return file.flush() ? 0 : 1;
}
