// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receivestream.h"

#include <limits>

namespace {
const char kPowerUpBanner[] = "\r\n\rKTR v";
const char kBannerPrompt[] = "\r\n>";
const char kPokePrompt[] = "\n>";
const char kSndMarker[] = "SND";
const char kIdMarker[] = "@I";
const char kLineEnd[] = "\r\n";
const char kPartEnd[] = "~\r\n";
const char *const kKindMarkers[] = {"@0", "@1", "@2", "@3"};

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
    m_buffer.append(bytes);
    bound();
}

void ReceiveStream::replaceWith(const QByteArray &bytes)
{
    m_buffer = bytes;
    bound();
}

void ReceiveStream::clear()
{
    m_buffer.clear();
    m_sndWaitDone = false;
}

void ReceiveStream::bound()
{
    if (m_buffer.size() > kMaxBufferBytes)
        m_buffer.remove(0, m_buffer.size() - kMaxBufferBytes);
}

QString ReceiveStream::text() const
{
    const int nul = m_buffer.indexOf('\0');
    return QString::fromUtf8(m_buffer.constData(), nul < 0 ? m_buffer.size() : nul);
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
    const int poke = m_buffer.indexOf(kPokePrompt);
    return requestPending && (poke == 0 || poke == 1);
}

ReceiveStream::Lines ReceiveStream::scanLines() const
{
    Lines lines;
    // Binary packets may follow the text, so only the bytes before the
    // first zero byte count as lines.
    const int nul = m_buffer.indexOf('\0');
    const int textEnd = nul < 0 ? m_buffer.size() : nul;
    const int firstBreak = m_buffer.indexOf(kLineEnd);
    if (firstBreak < 0 || firstBreak + 2 > textEnd)
        return lines;

    int start = 0;
    while (start <= textEnd) {
        int end = m_buffer.indexOf(kLineEnd, start);
        if (end < 0 || end + 2 > textEnd)
            end = textEnd;
        if (startsWithAt(m_buffer, start, kIdMarker, end)) {
            lines.id = QString::fromLatin1(m_buffer.constData() + start, end - start);
        } else {
            for (const char *marker : kKindMarkers) {
                if (startsWithAt(m_buffer, start, marker, end)) {
                    lines.previousKind = lines.kind;
                    lines.previousKindOffset = lines.kindOffset;
                    lines.kind = QString::fromLatin1(m_buffer.constData() + start, end - start);
                    lines.kindOffset = start;
                    break;
                }
            }
        }
        start = end + 2;
    }
    return lines;
}

QString ReceiveStream::lastIdLine() const
{
    return scanLines().id;
}

QString ReceiveStream::lastKindLine() const
{
    return scanLines().kind;
}

bool ReceiveStream::isWeather(const Lines &lines) const
{
    if (!m_buffer.startsWith(kIdMarker))
        return false;
    if (lines.kind.startsWith(QLatin1String("@0")))
        return m_buffer.contains('~');
    // A weather part followed by its auxiliary part: both must have ended.
    if (lines.kind.startsWith(QLatin1String("@3")) && lines.previousKind.startsWith(QLatin1String("@0"))) {
        const int weatherEnd = m_buffer.indexOf(kPartEnd, lines.previousKindOffset);
        return weatherEnd >= 0 && weatherEnd < lines.kindOffset && m_buffer.indexOf(kPartEnd, lines.kindOffset) >= 0;
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
    if (!lines.id.startsWith(QLatin1String(kIdMarker)) || !lines.kind.startsWith(QLatin1String(marker))
        || !m_buffer.contains(kSndMarker))
        return false;
    // The header must stand right behind the "@I" lines, with all of it there.
    const int header = idPrefixBytes();
    return startsWithAt(m_buffer, header, marker) && m_buffer.size() - header > kHeaderBytes;
}

ReceiveStream::Kind ReceiveStream::kind() const
{
    const Lines lines = scanLines();
    if (isWeather(lines))
        return m_buffer.contains(kSndMarker) || m_sndWaitDone ? Kind::Weather : Kind::SndWait;
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
        m_idleTicks = 0;
        break;
    case Kind::Camera:
    case Kind::Acoustic:
        m_buffer.remove(0, idPrefixBytes());
        break;
    case Kind::Nothing:
    case Kind::Weather:
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
    m_buffer.remove(0, qBound(0, bytes, m_buffer.size()));
    // What the station sends between two packets of a series.
    for (;;) {
        if (m_buffer.startsWith('\r') || m_buffer.startsWith('\n'))
            m_buffer.remove(0, 1);
        else if (m_buffer.startsWith(kSndMarker))
            m_buffer.remove(0, 3);
        else
            break;
    }
}
