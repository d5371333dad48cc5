// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "reports/weatherpacketscanner.h"

// Input: one byte that seeds the chunk sizes, then station output (logs,
// captures, noise). The stream is scanned twice, in one piece and in chunks
// of varying size: both must find the same packets at the same offsets, each
// packet must be the stream's own bytes there, and the scanner may never hold
// more than a chunk plus one packet.
namespace {

bool sameEntries(const QVector<WeatherPacketScanner::Entry> &a, const QVector<WeatherPacketScanner::Entry> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).offset != b.at(i).offset || a.at(i).packet != b.at(i).packet || a.at(i).damage != b.at(i).damage)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    quint32 random = data[0] * 2654435761u + 1;
    const QByteArray stream(reinterpret_cast<const char *>(data) + 1, int(size) - 1);

    WeatherPacketScanner whole;
    whole.feed(stream);
    whole.finish();
    const QVector<WeatherPacketScanner::Entry> expected = whole.takeEntries();

    qint64 previousOffset = -1;
    for (const WeatherPacketScanner::Entry &entry : expected) {
        fuzz::check(entry.offset > previousOffset, "entries out of stream order");
        previousOffset = entry.offset;
        if (entry.damage != WeatherPacketScanner::Damage::None) {
            fuzz::check(entry.packet.isEmpty(), "damaged entry carries bytes");
            continue;
        }
        fuzz::check(entry.packet == stream.mid(int(entry.offset), entry.packet.size()),
                    "packet is not the stream's bytes at its offset");
        fuzz::check(entry.packet.startsWith("@I:"), "packet does not begin with @I:", entry.packet.left(32));
        const int kindLine = entry.packet.indexOf('\n') + 1;
        fuzz::check(kindLine > 0 && entry.packet.mid(kindLine, 2) == "@0", "second line is not @0");
        fuzz::check(entry.packet.size() <= WeatherPacketScanner::kMaxPacketBytes, "packet above its bound");
        QByteArray last = entry.packet;
        if (last.endsWith('\n'))
            last.chop(1);
        if (last.endsWith('\r'))
            last.chop(1);
        fuzz::check(last.endsWith('~') && (last.size() == 1 || last.at(last.size() - 2) == '\n'),
                    "packet does not end with its ~ line", entry.packet.right(16));
    }

    WeatherPacketScanner chunked;
    QVector<WeatherPacketScanner::Entry> found;
    int at = 0;
    while (at < stream.size()) {
        random = random * 1664525u + 1013904223u;
        const int chunk = qMin(int(1 + (random >> 16) % 700), stream.size() - at);
        chunked.feed(stream.constData() + at, chunk);
        at += chunk;
        fuzz::check(chunked.bufferedBytes() <= chunk + WeatherPacketScanner::kMaxPacketBytes,
                    "scanner holds more than a chunk and a packet");
        found += chunked.takeEntries();
    }
    chunked.finish();
    fuzz::check(chunked.bufferedBytes() == 0, "bytes held after the end");
    found += chunked.takeEntries();
    fuzz::check(sameEntries(found, expected), "chunked scan differs from the scan in one piece");
    return 0;
}
