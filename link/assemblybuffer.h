// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <bitset>

// The one fixed block in which picture and acoustic packets are put together.
// Both reassembly steps share it, so that storing a packet never allocates.
//
// The block follows one series (the packets of one picture or recording) at
// a time. A packet of another series empties it first, so bytes left by an
// earlier transfer never reach a file: the slot of a packet that did not
// arrive reads zero.
class AssemblyBuffer
{
public:
    static constexpr int kSizeBytes = 65536;
    static constexpr int kMaxSequences = 256;

    AssemblyBuffer() = default;
    AssemblyBuffer(const AssemblyBuffer &) = delete;
    AssemblyBuffer &operator=(const AssemblyBuffer &) = delete;

    // The process-wide block.
    static AssemblyBuffer &shared();

    // True when the count bytes from offset lie wholly inside the block.
    static bool fits(int offset, int count);

    // Called with every complete packet before it is stored. A new series
    // begins (block zeroed, nothing stored) when the key differs from the
    // current one, when the sequence number is lower than the previous
    // packet's, or after endSeries().
    void follow(quint64 seriesKey, int sequence);
    // After a series' last packet.
    void endSeries() { m_seriesOpen = false; }
    void markStored(int sequence);
    bool isStored(int sequence) const;
    // Zeroes the slot (count bytes at offset + slotBytes * n) of every n in
    // 0..lastSequence not stored in this series; returns how many there were.
    int clearMissing(int offset, int slotBytes, int lastSequence);

    // Copies count bytes to offset; writes nothing and returns false unless they fit.
    bool store(int offset, const char *bytes, int count);
    bool store(int offset, const QByteArray &bytes);
    // A copy of the count bytes from offset; empty unless they fit.
    QByteArray copy(int offset, int count) const;

    const char *constData() const { return m_bytes.data(); }

private:
    std::array<char, kSizeBytes> m_bytes{};
    std::bitset<kMaxSequences> m_stored;
    quint64 m_seriesKey = 0;
    int m_lastSequence = -1;
    bool m_seriesOpen = false;
};
