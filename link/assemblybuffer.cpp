// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/assemblybuffer.h"

#include <algorithm>
#include <cstring>

AssemblyBuffer &AssemblyBuffer::shared()
{
    static AssemblyBuffer block;
    return block;
}

bool AssemblyBuffer::fits(int offset, int count)
{
    return offset >= 0 && count >= 0 && offset <= kSizeBytes && count <= kSizeBytes - offset;
}

void AssemblyBuffer::follow(quint64 seriesKey, int sequence)
{
    if (!m_seriesOpen || seriesKey != m_seriesKey || sequence < m_lastSequence) {
        m_bytes.fill(0);
        m_stored.reset();
        m_seriesKey = seriesKey;
        m_seriesOpen = true;
    }
    m_lastSequence = sequence;
}

void AssemblyBuffer::markStored(int sequence)
{
    if (sequence >= 0 && sequence < kMaxSequences)
        m_stored.set(size_t(sequence));
}

bool AssemblyBuffer::isStored(int sequence) const
{
    return sequence >= 0 && sequence < kMaxSequences && m_stored.test(size_t(sequence));
}

int AssemblyBuffer::clearMissing(int offset, int slotBytes, int lastSequence)
{
    int missing = 0;
    for (int n = 0; n <= lastSequence; ++n) {
        if (isStored(n))
            continue;
        ++missing;
        const int start = offset + slotBytes * n;
        if (start >= 0 && start < kSizeBytes)
            std::memset(m_bytes.data() + start, 0, size_t(std::min(slotBytes, kSizeBytes - start)));
    }
    return missing;
}

bool AssemblyBuffer::store(int offset, const char *bytes, int count)
{
    if (!fits(offset, count))
        return false;
    if (count > 0)
        std::memcpy(m_bytes.data() + offset, bytes, size_t(count));
    return true;
}

bool AssemblyBuffer::store(int offset, const QByteArray &bytes)
{
    return store(offset, bytes.constData(), bytes.size());
}

QByteArray AssemblyBuffer::copy(int offset, int count) const
{
    if (!fits(offset, count))
        return QByteArray();
    return QByteArray(m_bytes.data() + offset, count);
}
