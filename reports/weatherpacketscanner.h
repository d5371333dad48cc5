// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Finds the complete weather packets in arbitrary station output: a raw
// monthly log with its "*<stamp>L" entry lines, a serial capture with picture
// packets in between, or a mixture. A weather packet runs from an "@I:" line
// through the line that holds only "~"; its second line begins with "@0".
//
// Input is fed in chunks of any size; only the packet being collected is
// kept, so memory stays bounded by one 1 MiB slice plus kMaxPacketBytes.
// An "@I:" line followed by anything but an "@0" line (a picture header,
// noise) is not a weather packet and is passed over silently. A packet that
// has begun but is damaged is skipped and reported: the next "@I:" or the end
// of the input comes before its "~", it grows beyond kMaxPacketBytes, or it
// holds binary bytes.
class WeatherPacketScanner
{
public:
    static constexpr qsizetype kMaxPacketBytes = 16 * 1024;

    enum class Damage { None, Unterminated, Oversized, BinaryData };

    struct Entry
    {
        qint64 offset = 0;     // stream position of the packet's "@I:"
        QByteArray packet;     // the packet's bytes; empty when damaged
        Damage damage = Damage::None;
    };

    void feed(const char *data, qsizetype size);
    void feed(const QByteArray &chunk) { feed(chunk.constData(), chunk.size()); }
    // Marks the end of the input: a packet still open is reported, and the
    // scanner is ready for a new stream.
    void finish();

    // Packets and damage reports found so far, in stream order.
    QVector<Entry> takeEntries();

    static QString describe(Damage damage);

    // Bytes held back for the next feed: the open packet, or a split "@I:".
    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    void feedSlice(const char *data, qsizetype size);
    void scan(bool atEnd);
    // Returns false when more input is needed.
    bool scanPacket(bool atEnd);
    void startPacket(qsizetype at);
    void abandon(qsizetype resumeAt, Damage damage);
    bool kindConfirmed(qsizetype lineEnd) const;
    void emitPacket(qsizetype end);

    QByteArray m_buffer;
    qint64 m_bufferOffset = 0; // stream position of m_buffer[0]
    bool m_inPacket = false;
    qsizetype m_pos = 0;       // next byte to look at
    qsizetype m_start = 0;     // the packet's "@I:"
    qsizetype m_lineStart = 0; // start of the packet's current line
    int m_line = 0;            // 0 the "@I:" line, 1 the kind line, ...
    QVector<Entry> m_entries;
};
