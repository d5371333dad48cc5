// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/pseudoterminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#if defined(__APPLE__) || defined(__NetBSD__) || defined(__OpenBSD__)
#include <util.h>
#elif defined(__FreeBSD__)
#include <libutil.h>
#else
#include <pty.h>
#endif

namespace {
QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open()
{
    close();
    m_error.clear();
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        m_error = systemError("openpty");
        return false;
    }
    m_masterFd = master;
    m_slaveFd = slave;

    char name[256] = {};
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        m_error = systemError("ttyname_r");
        close();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);

    termios settings{};
    if (::tcgetattr(slave, &settings) != 0) {
        m_error = systemError("tcgetattr");
        close();
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(slave, TCSANOW, &settings) != 0) {
        m_error = systemError("tcsetattr");
        close();
        return false;
    }
    // Both ends are ours: neither may leak into programs started later.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    if (!setNonBlocking(master)) {
        m_error = systemError("fcntl");
        close();
        return false;
    }
    return true;
}

void PseudoTerminal::close()
{
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    m_slaveFd = -1;
    m_masterFd = -1;
    m_slavePath.clear();
}

int PseudoTerminal::unreadBytes() const
{
    int count = 0;
    if (m_slaveFd < 0 || ::ioctl(m_slaveFd, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PseudoTerminal::discardUnread()
{
    if (m_slaveFd >= 0)
        ::tcflush(m_slaveFd, TCIFLUSH);
}

qint64 PseudoTerminal::readSome(int fd, char *data, qint64 maxBytes)
{
    for (;;) {
        const ssize_t got = ::read(fd, data, static_cast<size_t>(maxBytes));
        if (got > 0 || maxBytes <= 0)
            return got > 0 ? got : 0;
        if (got == 0)
            return -1; // end of file: the other side is gone for good
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

qint64 PseudoTerminal::writeSome(int fd, const char *data, qint64 bytes)
{
    for (;;) {
        const ssize_t put = ::write(fd, data, static_cast<size_t>(bytes));
        if (put >= 0)
            return put;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool PseudoTerminal::setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}
