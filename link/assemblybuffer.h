// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <array>

// The one fixed block in which picture and acoustic packets are put together.
// Both reassembly steps share it, so that storing a packet never allocates;
// whatever a transfer leaves behind stays until another transfer overwrites it.
class AssemblyBuffer
{
public:
    static constexpr int kSizeBytes = 65536;

    AssemblyBuffer() = default;
    AssemblyBuffer(const AssemblyBuffer &) = delete;
    AssemblyBuffer &operator=(const AssemblyBuffer &) = delete;

    // The process-wide block.
    static AssemblyBuffer &shared();

    // True when the count bytes from offset lie wholly inside the block.
    static bool fits(int offset, int count);

    // Copies count bytes to offset; writes nothing and returns false unless they fit.
    bool store(int offset, const char *bytes, int count);
    bool store(int offset, const QByteArray &bytes);
    // A copy of the count bytes from offset; empty unless they fit.
    QByteArray copy(int offset, int count) const;

    const char *constData() const { return m_bytes.data(); }

private:
    std::array<char, kSizeBytes> m_bytes{};
};
