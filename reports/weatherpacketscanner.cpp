// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherpacketscanner.h"

#include "weather/sse2.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>

namespace {

// The "@I:" line and the kind line together are short; anything longer
// before the kind is known is not a weather packet.
constexpr qsizetype kMaxHeadBytes = 256;
constexpr char kStartMarker[] = "@I:";
constexpr qsizetype kStartMarkerBytes = 3;
constexpr qsizetype kSliceBytes = 1 << 20;

bool isBinary(unsigned char c)
{
    return (c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F;
}

// The first position from i before stop that holds a line feed or a binary
// byte, or stop. Sixteen bytes are tested at a time where the processor
// allows it: this loop sees every byte of the input.
qsizetype lineStop(const char *bytes, qsizetype i, qsizetype stop)
{
#ifdef KTR_HAVE_SSE2
    const __m128i controlMax = _mm_set1_epi8(0x1F);
    const __m128i returns = _mm_set1_epi8('\r');
    const __m128i tabs = _mm_set1_epi8('\t');
    const __m128i deletes = _mm_set1_epi8(0x7F);
    for (; stop - i >= 16; i += 16) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(chars, controlMax), chars);
        const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(chars, returns), _mm_cmpeq_epi8(chars, tabs));
        const __m128i stops =
            _mm_or_si128(_mm_andnot_si128(allowed, control), _mm_cmpeq_epi8(chars, deletes));
        const uint mask = uint(_mm_movemask_epi8(stops));
        if (mask)
            return i + qCountTrailingZeroBits(mask);
    }
#endif
    while (i < stop && bytes[i] != '\n' && !isBinary(static_cast<unsigned char>(bytes[i])))
        ++i;
    return i;
}

// The first "@I:" in [from, to), or to.
const char *findStartMarker(const char *from, const char *to)
{
    while (to - from >= kStartMarkerBytes) {
        const auto *at = static_cast<const char *>(std::memchr(from, '@', size_t(to - from - 2)));
        if (at == nullptr)
            return to;
        if (at[1] == 'I' && at[2] == ':')
            return at;
        from = at + 1;
    }
    return to;
}

bool isEndLine(const char *line, qsizetype size)
{
    if (size > 0 && line[size - 1] == '\r')
        --size;
    return size == 1 && line[0] == '~';
}

} // namespace

void WeatherPacketScanner::feed(const char *data, qsizetype size)
{
    // Large chunks are taken in slices, so the buffer never holds more than
    // one slice beside the open packet.
    while (size > 0) {
        const qsizetype slice = std::min(size, kSliceBytes);
        feedSlice(data, slice);
        data += slice;
        size -= slice;
    }
}

void WeatherPacketScanner::feedSlice(const char *data, qsizetype size)
{
    m_buffer.append(data, int(size));
    scan(false);

    // Keep only the open packet, or the last bytes of a split "@I:".
    const qsizetype keepFrom =
        m_inPacket ? m_start : std::max(m_pos, m_buffer.size() - (kStartMarkerBytes - 1));
    if (keepFrom > 0) {
        m_buffer.remove(0, int(keepFrom));
        m_bufferOffset += keepFrom;
        m_pos -= std::min(m_pos, keepFrom);
        m_start -= std::min(m_start, keepFrom);
        m_lineStart -= std::min(m_lineStart, keepFrom);
    }
}

void WeatherPacketScanner::finish()
{
    scan(true);
    m_buffer.clear();
    m_inPacket = false;
    m_pos = m_start = m_lineStart = 0;
    m_line = 0;
    m_bufferOffset = 0;
}

QVector<WeatherPacketScanner::Entry> WeatherPacketScanner::takeEntries()
{
    QVector<Entry> entries;
    entries.swap(m_entries);
    return entries;
}

QString WeatherPacketScanner::describe(Damage damage)
{
    switch (damage) {
    case Damage::None:
        break;
    case Damage::Unterminated:
        return QStringLiteral("no end marker \"~\" before the next packet or the end of the input");
    case Damage::Oversized:
        return QStringLiteral("longer than %1 bytes").arg(kMaxPacketBytes);
    case Damage::BinaryData:
        return QStringLiteral("binary data inside the packet");
    }
    return QString();
}

void WeatherPacketScanner::scan(bool atEnd)
{
    for (;;) {
        if (!m_inPacket) {
            const qsizetype at = m_buffer.indexOf(kStartMarker, m_pos);
            if (at < 0) {
                m_pos = std::max(m_pos, m_buffer.size() - (kStartMarkerBytes - 1));
                return;
            }
            startPacket(at);
        }
        if (!scanPacket(atEnd))
            return;
    }
}

void WeatherPacketScanner::startPacket(qsizetype at)
{
    m_inPacket = true;
    m_start = at;
    m_lineStart = at;
    m_pos = at + kStartMarkerBytes;
    m_line = 0;
}

// A packet counts as a weather packet once its second line begins with "@0".
bool WeatherPacketScanner::kindConfirmed(qsizetype lineEnd) const
{
    return m_line >= 2 || (m_line == 1 && lineEnd - m_lineStart >= 2 && m_buffer.at(m_lineStart) == '@' &&
                           m_buffer.at(m_lineStart + 1) == '0');
}

void WeatherPacketScanner::abandon(qsizetype resumeAt, Damage damage)
{
    if (damage != Damage::None)
        m_entries.append(Entry{m_bufferOffset + m_start, QByteArray(), damage});
    m_inPacket = false;
    m_pos = resumeAt;
}

void WeatherPacketScanner::emitPacket(qsizetype end)
{
    m_entries.append(Entry{m_bufferOffset + m_start, m_buffer.mid(m_start, end - m_start), Damage::None});
    m_inPacket = false;
    m_pos = end;
}

bool WeatherPacketScanner::scanPacket(bool atEnd)
{
    const char *bytes = m_buffer.constData();
    const qsizetype size = m_buffer.size();
    for (;;) {
        const bool headLimit = !kindConfirmed(m_pos);
        const qsizetype cap = m_start + (headLimit ? kMaxHeadBytes : kMaxPacketBytes);
        const qsizetype stop = std::min(size, cap);
        const qsizetype i = lineStop(bytes, m_pos, stop);
        m_pos = i;
        // Once the kind line shows "@0" a fault is worth a report; before
        // that the "@I:" was not the start of a weather packet at all, and
        // the search goes on just behind it. Complete lines were searched
        // for "@I:" already, so a weather packet resumes at its current line.
        const bool weather = kindConfirmed(i);
        const qsizetype resumeAt = weather ? m_lineStart : m_start + 1;

        if (i == stop) {
            // The kind line showed "@0" inside the head: from here on the
            // packet's own limit applies, wherever the input was split.
            if (stop == cap && headLimit && weather)
                continue;
            if (stop == cap) {
                abandon(resumeAt, weather ? Damage::Oversized : Damage::None);
                return true;
            }
            if (!atEnd)
                return false;
            if (m_line >= 2 && isEndLine(bytes + m_lineStart, size - m_lineStart))
                emitPacket(size);
            else
                abandon(resumeAt, weather ? Damage::Unterminated : Damage::None);
            return true;
        }
        if (bytes[i] != '\n') {
            abandon(resumeAt, weather ? Damage::BinaryData : Damage::None);
            return true;
        }

        // A complete line [m_lineStart, i).
        if (m_line == 1 && !weather) {
            abandon(resumeAt, Damage::None);
            return true;
        }
        if (m_line >= 2) {
            if (isEndLine(bytes + m_lineStart, i - m_lineStart)) {
                emitPacket(i + 1);
                return true;
            }
            const char *line = bytes + m_lineStart;
            const char *lineEnd = bytes + i;
            const char *next = findStartMarker(line, lineEnd);
            if (next != lineEnd) {
                const qsizetype at = next - bytes;
                abandon(at, Damage::Unterminated);
                startPacket(at);
                return true;
            }
        }
        ++m_line;
        m_lineStart = m_pos = i + 1;
    }
}
