// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// bench_linefeeder: a station line at full speed on a pseudo-terminal. It
// prints the terminal's path, waits for the receiver to open it, then writes
// one byte at a time at the line's byte rate (9600 baud, 960 bytes a second),
// so that a receiver that keeps up runs one receive pass per byte.
//
//   bench_linefeeder [--rate <bytes/s>] [--seconds <n>] [--delay <s>]
//                    [--pictures | --garbage [--burst <bytes>]]
//
// By default it sends weather packets ("1 Minute" mode, every sixth with its
// auxiliary part) back to back, each followed by the silence that ends a
// transmission (0.7 s). With --pictures it sends picture series instead (the
// four cameras in turn, each packet its own transmission as the station
// sends them). With --garbage it sends the packets' text without their "@I:"
// lines and without any silence: nothing ever forms a packet and the
// receiver's buffer stays at its bound; --burst sends that many bytes at
// once first, so that the bound is reached at the start.

#include "tools/sim/camerapictures.h"
#include "tools/sim/jpegencoder.h"
#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"
#include "tools/sim/weathergenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cstdio>
#include <ctime>

#include <poll.h>

namespace {
constexpr double kLineBytesPerSec = 960;
constexpr qint64 kTransmissionGapNs = 700'000'000;
constexpr int kAuxEvery = 6;
constexpr int kOneMinuteMode = 4;
constexpr int kCameras = 4;

qint64 nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntil(qint64 deadlineNs)
{
    timespec deadline{};
    deadline.tv_sec = time_t(deadlineNs / 1'000'000'000);
    deadline.tv_nsec = long(deadlineNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) != 0) {
    }
}

// One byte, waiting up to a second for room on the line.
bool writeWhenReady(int fd, const char *byte)
{
    pollfd ready{fd, POLLOUT, 0};
    return poll(&ready, 1, 1000) == 1 && PseudoTerminal::writeSome(fd, byte, 1) == 1;
}

double option(const QStringList &args, const QString &name, double fallback)
{
    const int at = args.indexOf(name);
    if (at < 0 || at + 1 >= args.size())
        return fallback;
    bool ok = false;
    const double value = args.at(at + 1).toDouble(&ok);
    return ok ? value : fallback;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const double rate = option(args, QStringLiteral("--rate"), kLineBytesPerSec);
    const double seconds = option(args, QStringLiteral("--seconds"), 60);
    const double delay = option(args, QStringLiteral("--delay"), 3);
    const bool garbage = args.contains(QStringLiteral("--garbage"));
    const bool pictures = !garbage && args.contains(QStringLiteral("--pictures"));
    qint64 burst = garbage ? qint64(option(args, QStringLiteral("--burst"), 0)) : 0;
    if (rate <= 0 || seconds <= 0 || delay < 0) {
        std::fprintf(stderr, "bench_linefeeder: rate and seconds must be positive\n");
        return 2;
    }

    PseudoTerminal terminal;
    if (!terminal.open()) {
        std::fprintf(stderr, "bench_linefeeder: %s\n", qUtf8Printable(terminal.errorString()));
        return 1;
    }
    std::printf("%s\n", qUtf8Printable(terminal.slavePath()));
    std::fflush(stdout);

    const qint64 byteNs = qint64(1e9 / rate);
    qint64 due = nowNs() + qint64(delay * 1e9);
    sleepUntil(due);
    terminal.discardUnread();
    const qint64 end = due + qint64(seconds * 1e9);

    WeatherGenerator weather;
    QDateTime utc(QDate(2025, 6, 1), QTime(0, 0), Qt::UTC);
    qint64 written = 0;
    qint64 dropped = 0;
    int packets = 0;
    int picturesSent = 0;
    QList<QByteArray> series;
    while (due < end) {
        QByteArray transmission;
        if (pictures) {
            if (series.isEmpty()) {
                const int camera = picturesSent++ % kCameras + 1;
                series = StationSimulator::picturePackets(
                    camera, utc, JpegEncoder::encodeScan(CameraPictures::picture(camera, utc)));
                utc = utc.addSecs(60);
            }
            transmission = series.takeFirst();
        } else {
            transmission = weather.packet(utc, kOneMinuteMode, packets % kAuxEvery == 0);
            utc = utc.addSecs(60);
        }
        ++packets;
        if (garbage)
            transmission.remove(0, transmission.indexOf("\r\n") + 2);
        for (int i = 0; i < transmission.size() && due < end; ++i) {
            const char *byte = transmission.constData() + i;
            if (burst > 0) {
                // As fast as the receiver takes them.
                --burst;
                if (writeWhenReady(terminal.masterFd(), byte))
                    ++written;
                else
                    ++dropped;
                due = nowNs();
                continue;
            }
            sleepUntil(due);
            if (PseudoTerminal::writeSome(terminal.masterFd(), byte, 1) == 1) {
                ++written;
            } else {
                // Nobody reads: the line drops what the receiver misses.
                terminal.discardUnread();
                ++dropped;
            }
            due += byteNs;
        }
        if (!garbage)
            due += kTransmissionGapNs;
    }
    std::fprintf(stderr, "bench_linefeeder: %lld bytes written, %lld dropped, %d transmissions\n",
                 static_cast<long long>(written), static_cast<long long>(dropped), packets);
    return 0;
}
