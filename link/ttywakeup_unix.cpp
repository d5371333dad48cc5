// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ttywakeup.h"

#include <cerrno>
#include <termios.h>
#include <unistd.h>

namespace TtyWakeup {

int minBytes(qintptr handle)
{
    termios tio{};
    return ::tcgetattr(int(handle), &tio) == 0 ? tio.c_cc[VMIN] : -1;
}

bool setMinBytes(qintptr handle, int bytes)
{
    termios tio{};
    if (bytes < 0 || bytes > 255 || ::tcgetattr(int(handle), &tio) != 0)
        return false;
    tio.c_cc[VMIN] = cc_t(bytes);
    return ::tcsetattr(int(handle), TCSANOW, &tio) == 0;
}

bool readAvailable(qintptr handle, QByteArray *into)
{
    // The port is open without blocking: a read returns what is there.
    constexpr int kChunkBytes = 4096;
    char chunk[kChunkBytes];
    for (;;) {
        const ssize_t got = ::read(int(handle), chunk, sizeof chunk);
        if (got > 0) {
            into->append(chunk, int(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

} // namespace TtyWakeup
