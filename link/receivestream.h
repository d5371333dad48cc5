// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <deque>

// The receive buffer and the framing of what the station sends. The line has
// no length fields and no checksums: packets are told apart by their leading
// marker, a weather packet is complete at its "~", a binary packet at its
// fixed size, and a silence of more than half a second separates two
// transmissions.
//
// A receive pass drives it like this:
//   begin(bytes read)               (or begin({}) then replaceWith() for a replay)
//   isModeEcho(), isPowerUpBanner(), isPrompt(...)    -> show / hand over
//   frame() -> Weather:    use text(), firmwareCode(), forwardingSlice(),
//                          auxiliaryPart(), then finishWeather()
//              SndWait:    run the pass once more after kSndWaitMs and end
//                          this pass here (without endPass())
//              Camera / Acoustic: the buffer begins at the packet header; once
//                          the step has stored a complete packet, consume()
//                          its bytes and call frame() again for what follows
//              Nothing:    keep waiting
//   endPass()
class ReceiveStream
{
public:
    enum class Kind { Nothing, Weather, SndWait, Camera, Acoustic };

    // Several times the largest transmission; a line that never pauses drops
    // its oldest bytes instead of growing the buffer.
    static constexpr int kMaxBufferBytes = 16 * 1024;
    // A pass after more than this many idle ticks starts a new transmission.
    static constexpr int kIdleGapTicks = 5;
    // The one extra wait that a weather packet gets for its "SND" marker.
    static constexpr int kSndWaitMs = 250;
    static constexpr int kHeaderBytes = 10;
    static constexpr int kPayloadBytes = 330;
    // A binary packet counts as complete from this size on.
    static constexpr int kBinaryPacketBytes = kHeaderBytes + kPayloadBytes;

    // The 100 ms tick.
    void tick();
    int idleTicks() const { return m_idleTicks; }

    // Starts a pass: after an idle gap the old bytes are dropped, then the new
    // ones are appended.
    void begin(const QByteArray &bytes);
    // A replayed recording stands for the whole buffer.
    void replaceWith(const QByteArray &bytes);
    // Ends a pass; the idle count starts again.
    void endPass() { m_idleTicks = 0; }
    // Drops everything, for a pass that failed.
    void clear();

    const QByteArray &buffer() const { return m_buffer; }
    bool sndWaitDone() const { return m_sndWaitDone; }
    // The re-run after an "SND" wait has come: the packet is processed now,
    // with or without its marker. Until then a pass that finds the packet
    // still without "SND" leaves it waiting (a read may end right behind its
    // "~" while the auxiliary part and the marker are still on the line).
    void sndRerun() { m_sndRerunPending = false; }

    // The buffer's text up to its first zero byte, as shown and as handed to
    // the weather parser.
    QString text() const;

    // A reply to a reporting-mode command: the buffer begins with "m".
    bool isModeEcho() const;
    // The station has powered up and not shown its prompt yet.
    bool isPowerUpBanner() const;
    // The station shows its prompt and the configuration should be handed
    // over: (a) the power-up banner with its prompt while the power-up spaces
    // still run (the second outgoing byte is a space), or (b) a prompt at the
    // start of a transmission ("\n>" first at offset 0 or 1) while a request
    // is pending.
    bool isPrompt(const QByteArray &outgoingCommand, bool requestPending) const;

    // The last line that begins with "@I", and the last that begins with a
    // kind marker "@0" to "@3", in the text before the first zero byte; empty
    // when there is none or the text is a single line.
    QString lastIdLine() const;
    QString lastKindLine() const;

    // What the buffer holds, without changing anything.
    Kind kind() const;
    // The same decision, acted on: SndWait records the wait and restarts the
    // idle count (so the re-run keeps the buffer); Camera and Acoustic drop
    // the "@I" lines in front of the packet header.
    Kind frame();

    // Weather packet processing.
    // The two characters behind the first "@0".
    QString firmwareCode() const;
    // From the first "@0" up to, not including, the next "~": what is forwarded.
    QByteArray forwardingSlice() const;
    // From the first "@3" to the end, when the buffer also holds the ends of
    // both parts; empty otherwise.
    QByteArray auxiliaryPart() const;
    // The packet is done: bytes behind it go with it.
    void finishWeather();

    // Cuts a stored binary packet off the front, together with the "SND"
    // marker that follows it, so that the next packet is framed next.
    void consume(int bytes);

private:
    // A line of the buffer's text without its "\r\n", in stream positions:
    // counted from the first byte since the buffer was last emptied, so that
    // bytes dropped at the front move no position.
    struct Line
    {
        qint64 start = 0;
        qint64 end = 0;
    };
    enum class LineKind { Other, Id, Kind };

    // The last "@I" line, the last kind line and the kind line before it, as
    // offsets into the buffer; -1 for none.
    struct Lines
    {
        int idStart = -1;
        int idEnd = -1;
        int kindStart = -1;
        int kindEnd = -1;
        int previousKindStart = -1;
    };
    Lines scanLines() const;
    bool isWeather(const Lines &lines) const;
    bool isBinary(const Lines &lines, const char *marker) const;
    int idPrefixBytes() const;
    void bound();

    // Every pass would otherwise search the whole buffer again, which at the
    // bound costs thousands of times what the new bytes do. So what framing
    // looks for is kept up to date as bytes arrive and leave: the first zero
    // byte, "~" and "SND", and the "@I" and kind lines of the text.
    void append(const QByteArray &bytes);
    void dropFront(int bytes);
    void resetIndex();
    void indexFrom(int oldSize);
    void indexLines();
    int offset(qint64 position) const { return int(position - m_front); }
    int textEnd() const;
    LineKind lineKind(const Line &line) const;

    QByteArray m_buffer;
    int m_idleTicks = 0;
    bool m_sndWaitDone = false;
    bool m_sndRerunPending = false;

    qint64 m_front = 0;       // stream position of the buffer's first byte
    qint64 m_firstZero = -1;  // stream positions of the first zero byte, "~"
    qint64 m_firstTilde = -1; // and "SND" in the buffer; -1 for none
    qint64 m_firstSnd = -1;
    // The text's lines: those before the last one that begin with "@I" or a
    // kind marker, in order, then where the last line starts (the buffer's
    // start when the text has a single line), the first line's end (-1 with
    // a single line), and where a line end not yet seen may begin.
    std::deque<Line> m_idLines;
    std::deque<Line> m_kindLines;
    qint64 m_lastLineStart = 0;
    qint64 m_firstLineEnd = -1;
    qint64 m_lineEndSearchFrom = 0;
};
