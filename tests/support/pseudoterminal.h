// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A pseudo-terminal pair that stands in for a station on a serial line: the
// program under test opens portName() with QSerialPort, the test plays the
// station on the master side with write() and readAll().
//
// Unix only (openpty). On other platforms isOpen() is false and the test
// should skip. On Linux with a C library older than glibc 2.34, openpty lives
// in libutil: link the test with "util".

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <pty.h>
#elif defined(Q_OS_MACOS) || defined(Q_OS_OPENBSD) || defined(Q_OS_NETBSD)
#include <util.h>
#elif defined(Q_OS_FREEBSD)
#include <libutil.h>
#endif

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <limits.h>
#include <termios.h>
#include <unistd.h>
#endif

// In a namespace of its own: the station simulator has a class of this name.
namespace testsupport {

class PseudoTerminal
{
public:
    PseudoTerminal() { open(); }
    ~PseudoTerminal()
    {
        closeMaster();
        closeSlave();
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return m_master >= 0; }
    // The device name of the port side, e.g. "/dev/pts/3".
    QString portName() const { return m_portName; }

    // Bytes as the station would send them; true when all were written.
    bool write(const QByteArray &bytes)
    {
#if defined(Q_OS_UNIX)
        qsizetype done = 0;
        while (m_master >= 0 && done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return done == bytes.size();
#else
        Q_UNUSED(bytes);
        return false;
#endif
    }

    // Whatever the port side has written so far; never blocks.
    QByteArray readAll()
    {
        QByteArray bytes;
#if defined(Q_OS_UNIX)
        char chunk[512];
        while (m_master >= 0) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            bytes.append(chunk, int(n));
        }
#endif
        return bytes;
    }

    // Hangs up the station's side: the port then sees its device vanish.
    void closeMaster()
    {
#if defined(Q_OS_UNIX)
        if (m_master >= 0)
            ::close(m_master);
#endif
        m_master = -1;
    }

private:
    void open()
    {
#if defined(Q_OS_UNIX)
        char name[PATH_MAX] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            m_master = m_slave = -1;
            return;
        }
        // Our own descriptor of the slave stays open, so the line does not
        // hang up while the port is closed and opened again.
        termios settings {};
        if (::tcgetattr(m_slave, &settings) == 0) {
            // Bytes pass unchanged: no echo, no line editing, no CR/LF mapping.
            ::cfmakeraw(&settings);
            ::tcsetattr(m_slave, TCSANOW, &settings);
        }
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_portName = QString::fromLocal8Bit(name);
#endif
    }

    void closeSlave()
    {
#if defined(Q_OS_UNIX)
        if (m_slave >= 0)
            ::close(m_slave);
#endif
        m_slave = -1;
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_portName;
};

} // namespace testsupport
