// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receivestream.h"

#include <cstring>
#include <limits>

namespace {
const char kPowerUpBanner[] = "\r\n\rKTR v";
const char kBannerPrompt[] = "\r\n>";
const char kPokePrompt[] = "\n>";
const char kSndMarker[] = "SND";
const char kIdMarker[] = "@I";
const char kLineEnd[] = "\r\n";
const char kPartEnd[] = "~\r\n";

// Whether marker stands at pos, within the first end bytes.
bool startsWithAt(const QByteArray &bytes, int pos, const char *marker, int end)
{
    const int length = int(qstrlen(marker));
    return pos >= 0 && pos + length <= end && qstrncmp(bytes.constData() + pos, marker, uint(length)) == 0;
}

bool startsWithAt(const QByteArray &bytes, int pos, const char *marker)
{
    return startsWithAt(bytes, pos, marker, bytes.size());
}

// Offset of the first "\r\n" that lies wholly in [from, to) of data, or -1.
int findLineEnd(const char *data, int from, int to)
{
    const char *next = data + from;
    const char *const stop = data + to;
    while (next < stop) {
        const auto *feed = static_cast<const char *>(std::memchr(next, '\n', size_t(stop - next)));
        if (!feed)
            break;
        if (feed > data + from && feed[-1] == '\r')
            return int(feed - 1 - data);
        next = feed + 1;
    }
    return -1;
}

// Offset of the first byte c in data from `from` on, or -1.
int findByte(const QByteArray &data, char c, int from)
{
    if (from >= data.size())
        return -1;
    const auto *at = static_cast<const char *>(std::memchr(data.constData() + from, c, size_t(data.size() - from)));
    return at ? int(at - data.constData()) : -1;
}
} // namespace

void ReceiveStream::tick()
{
    // The count also drives the idle clock, so it runs on but never overflows.
    if (m_idleTicks < std::numeric_limits<int>::max())
        ++m_idleTicks;
}

void ReceiveStream::begin(const QByteArray &bytes)
{
    if (m_idleTicks > kIdleGapTicks) {
        // A new transmission: a packet still waiting for its "SND" is gone.
        clear();
    }
    append(bytes);
    bound();
}

void ReceiveStream::replaceWith(const QByteArray &bytes)
{
    m_buffer = bytes;
    resetIndex();
    bound();
}

void ReceiveStream::clear()
{
    m_buffer.clear();
    m_sndWaitDone = false;
    m_sndRerunPending = false;
    resetIndex();
}

void ReceiveStream::bound()
{
    if (m_buffer.size() > kMaxBufferBytes)
        dropFront(m_buffer.size() - kMaxBufferBytes);
}

void ReceiveStream::append(const QByteArray &bytes)
{
    const int oldSize = m_buffer.size();
    m_buffer.append(bytes);
    indexFrom(oldSize);
}

void ReceiveStream::resetIndex()
{
    m_front = 0;
    m_firstZero = m_firstTilde = m_firstSnd = -1;
    m_idLines.clear();
    m_kindLines.clear();
    m_lastLineStart = 0;
    m_firstLineEnd = -1;
    m_lineEndSearchFrom = 0;
    indexFrom(0);
}

// Looks at the bytes from oldSize on, which are new.
void ReceiveStream::indexFrom(int oldSize)
{
    if (m_firstZero < 0) {
        const int at = findByte(m_buffer, '\0', oldSize);
        m_firstZero = at < 0 ? -1 : m_front + at;
    }
    if (m_firstTilde < 0) {
        const int at = findByte(m_buffer, '~', oldSize);
        m_firstTilde = at < 0 ? -1 : m_front + at;
    }
    if (m_firstSnd < 0) {
        // The marker may have begun in the old bytes.
        const int at = m_buffer.indexOf(kSndMarker, qMax(0, oldSize - 2));
        m_firstSnd = at < 0 ? -1 : m_front + at;
    }
    indexLines();
}

// Takes in the complete lines that the text has gained.
void ReceiveStream::indexLines()
{
    const char *data = m_buffer.constData();
    const int end = textEnd();
    int from = offset(qMax(m_lineEndSearchFrom, m_lastLineStart));
    for (int lineEnd; (lineEnd = findLineEnd(data, from, end)) >= 0; from = lineEnd + 2) {
        const Line line{m_lastLineStart, m_front + lineEnd};
        const LineKind kind = lineKind(line);
        if (kind == LineKind::Id)
            m_idLines.push_back(line);
        else if (kind == LineKind::Kind)
            m_kindLines.push_back(line);
        if (m_firstLineEnd < 0)
            m_firstLineEnd = line.end;
        m_lastLineStart = line.end + 2;
    }
    // A "\r" at the very end may yet be followed by its "\n".
    m_lineEndSearchFrom = qMax(m_lastLineStart, m_front + qMax(0, end - 1));
}

void ReceiveStream::dropFront(int bytes)
{
    bytes = qBound(0, bytes, m_buffer.size());
    if (bytes == 0)
        return;
    m_buffer.remove(0, bytes);
    if (m_buffer.isEmpty()) {
        resetIndex();
        return;
    }
    const qint64 front = m_front + bytes;
    m_front = front;

    for (std::deque<Line> *lines : {&m_idLines, &m_kindLines}) {
        while (!lines->empty() && lines->front().start < front)
            lines->pop_front();
        // A line that began behind a "\r\n" whose "\r" has gone is now
        // part of the first line.
        if (!lines->empty() && lines->front().start == front + 1)
            lines->pop_front();
    }

    if (m_firstZero >= 0 && m_firstZero < front) {
        const int at = findByte(m_buffer, '\0', 0);
        m_firstZero = at < 0 ? -1 : front + at;
    }
    if (m_firstTilde >= 0 && m_firstTilde < front) {
        const int at = findByte(m_buffer, '~', 0);
        m_firstTilde = at < 0 ? -1 : front + at;
    }
    if (m_firstSnd >= 0 && m_firstSnd < front) {
        const int at = m_buffer.indexOf(kSndMarker);
        m_firstSnd = at < 0 ? -1 : front + at;
    }

    if (m_lastLineStart <= front + 1) {
        // The last line was cut, or joined the first: one line is left.
        m_lastLineStart = front;
        m_firstLineEnd = -1;
    } else {
        // The first line may have been cut; what it begins with now counts.
        if (m_firstLineEnd < front)
            m_firstLineEnd = front + findLineEnd(m_buffer.constData(), 0, offset(m_lastLineStart));
        const Line first{front, m_firstLineEnd};
        const LineKind kind = lineKind(first);
        std::deque<Line> *lines = kind == LineKind::Id ? &m_idLines : kind == LineKind::Kind ? &m_kindLines : nullptr;
        if (lines && (lines->empty() || lines->front().start != front))
            lines->push_front(first);
    }
    m_lineEndSearchFrom = qMax(m_lineEndSearchFrom, front);
    // Without its zero byte the text may reach further now.
    indexLines();
}

int ReceiveStream::textEnd() const
{
    return m_firstZero < 0 ? m_buffer.size() : offset(m_firstZero);
}

ReceiveStream::LineKind ReceiveStream::lineKind(const Line &line) const
{
    if (line.end - line.start < 2)
        return LineKind::Other;
    const char *bytes = m_buffer.constData() + offset(line.start);
    if (bytes[0] != '@')
        return LineKind::Other;
    if (bytes[1] == 'I')
        return LineKind::Id;
    return bytes[1] >= '0' && bytes[1] <= '3' ? LineKind::Kind : LineKind::Other;
}

QString ReceiveStream::text() const
{
    return QString::fromUtf8(m_buffer.constData(), textEnd());
}

bool ReceiveStream::isModeEcho() const
{
    return m_buffer.startsWith('m');
}

bool ReceiveStream::isPowerUpBanner() const
{
    return m_buffer.startsWith(kPowerUpBanner) && !m_buffer.contains(kBannerPrompt);
}

bool ReceiveStream::isPrompt(const QByteArray &outgoingCommand, bool requestPending) const
{
    const bool powerUpSpacesRunning = outgoingCommand.size() >= 2 && outgoingCommand.at(1) == ' ';
    if (powerUpSpacesRunning && m_buffer.startsWith(kPowerUpBanner) && m_buffer.contains(kBannerPrompt))
        return true;
    // The first "\n>" at offset 0 or 1.
    return requestPending && (startsWithAt(m_buffer, 0, kPokePrompt) || startsWithAt(m_buffer, 1, kPokePrompt));
}

ReceiveStream::Lines ReceiveStream::scanLines() const
{
    Lines lines;
    // Binary packets may follow the text, so only the bytes before the
    // first zero byte count as lines; a text of one line has none.
    if (m_lastLineStart == m_front)
        return lines;
    const Line last{m_lastLineStart, m_front + textEnd()};
    const LineKind lastKind = lineKind(last);

    const Line *id = lastKind == LineKind::Id ? &last : m_idLines.empty() ? nullptr : &m_idLines.back();
    const Line *kind = nullptr;
    const Line *previousKind = nullptr;
    const std::size_t kinds = m_kindLines.size();
    if (lastKind == LineKind::Kind) {
        kind = &last;
        previousKind = kinds > 0 ? &m_kindLines[kinds - 1] : nullptr;
    } else if (kinds > 0) {
        kind = &m_kindLines[kinds - 1];
        previousKind = kinds > 1 ? &m_kindLines[kinds - 2] : nullptr;
    }
    if (id) {
        lines.idStart = offset(id->start);
        lines.idEnd = offset(id->end);
    }
    if (kind) {
        lines.kindStart = offset(kind->start);
        lines.kindEnd = offset(kind->end);
    }
    if (previousKind)
        lines.previousKindStart = offset(previousKind->start);
    return lines;
}

QString ReceiveStream::lastIdLine() const
{
    const Lines lines = scanLines();
    return lines.idStart < 0 ? QString()
                             : QString::fromLatin1(m_buffer.constData() + lines.idStart, lines.idEnd - lines.idStart);
}

QString ReceiveStream::lastKindLine() const
{
    const Lines lines = scanLines();
    return lines.kindStart < 0
               ? QString()
               : QString::fromLatin1(m_buffer.constData() + lines.kindStart, lines.kindEnd - lines.kindStart);
}

bool ReceiveStream::isWeather(const Lines &lines) const
{
    if (!m_buffer.startsWith(kIdMarker) || lines.kindStart < 0)
        return false;
    const char kindDigit = m_buffer.at(lines.kindStart + 1);
    if (kindDigit == '0')
        return m_firstTilde >= 0;
    // A weather part followed by its auxiliary part: both must have ended.
    if (kindDigit == '3' && lines.previousKindStart >= 0 && m_buffer.at(lines.previousKindStart + 1) == '0') {
        const int weatherEnd = m_buffer.indexOf(kPartEnd, lines.previousKindStart);
        return weatherEnd >= 0 && weatherEnd < lines.kindStart && m_buffer.indexOf(kPartEnd, lines.kindStart) >= 0;
    }
    return false;
}

int ReceiveStream::idPrefixBytes() const
{
    int pos = 0;
    while (startsWithAt(m_buffer, pos, kIdMarker)) {
        const int end = m_buffer.indexOf(kLineEnd, pos);
        if (end < 0)
            break;
        pos = end + 2;
    }
    return pos;
}

bool ReceiveStream::isBinary(const Lines &lines, const char *marker) const
{
    if (m_buffer.startsWith(marker))
        return m_buffer.size() > kHeaderBytes;
    if (lines.idStart < 0 || lines.kindStart < 0 || m_buffer.at(lines.kindStart + 1) != marker[1] || m_firstSnd < 0)
        return false;
    // The header must stand right behind the "@I" lines, with all of it there.
    const int header = idPrefixBytes();
    return startsWithAt(m_buffer, header, marker) && m_buffer.size() - header > kHeaderBytes;
}

ReceiveStream::Kind ReceiveStream::kind() const
{
    const Lines lines = scanLines();
    if (isWeather(lines))
        return m_firstSnd >= 0 || m_sndWaitDone ? Kind::Weather : Kind::SndWait;
    if (isBinary(lines, "@1"))
        return Kind::Camera;
    if (isBinary(lines, "@2"))
        return Kind::Acoustic;
    return Kind::Nothing;
}

ReceiveStream::Kind ReceiveStream::frame()
{
    const Kind result = kind();
    switch (result) {
    case Kind::SndWait:
        m_sndWaitDone = true;
        m_sndRerunPending = true;
        m_idleTicks = 0;
        break;
    case Kind::Camera:
    case Kind::Acoustic:
        dropFront(idPrefixBytes());
        break;
    case Kind::Weather:
        if (m_sndRerunPending && m_firstSnd < 0)
            return Kind::Nothing;
        break;
    case Kind::Nothing:
        break;
    }
    return result;
}

QString ReceiveStream::firmwareCode() const
{
    const int kindLine = m_buffer.indexOf("@0");
    if (kindLine < 0)
        return QString();
    QByteArray code = m_buffer.mid(kindLine + 2, 2);
    const int nul = code.indexOf('\0');
    if (nul >= 0)
        code.truncate(nul);
    return QString::fromUtf8(code);
}

QByteArray ReceiveStream::forwardingSlice() const
{
    const int kindLine = m_buffer.indexOf("@0");
    if (kindLine < 0)
        return QByteArray();
    const int end = m_buffer.indexOf('~', kindLine);
    return end < 0 ? m_buffer.mid(kindLine) : m_buffer.mid(kindLine, end - kindLine);
}

QByteArray ReceiveStream::auxiliaryPart() const
{
    const int start = m_buffer.indexOf("@3");
    if (start < 0 || m_buffer.count(kPartEnd) < 2)
        return QByteArray();
    return m_buffer.mid(start);
}

void ReceiveStream::finishWeather()
{
    clear();
}

void ReceiveStream::consume(int bytes)
{
    dropFront(bytes);
    // What the station sends between two packets of a series.
    for (;;) {
        if (m_buffer.startsWith('\r') || m_buffer.startsWith('\n'))
            dropFront(1);
        else if (m_buffer.startsWith(kSndMarker))
            dropFront(3);
        else
            break;
    }
}
