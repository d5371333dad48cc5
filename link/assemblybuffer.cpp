// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/assemblybuffer.h"

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
