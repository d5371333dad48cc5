// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair that stands in for a serial line: the simulated
// station works on the master side, a serial client opens the slave path
// ("/dev/pts/5") like any other port.
//
// This class holds all of the simulator's operating-system code. It is for
// Linux and other Unix systems only (openpty and termios); nothing else in the
// simulator touches file descriptors directly.
//
// The slave is put in raw mode, so bytes pass unchanged in both directions:
// no echo, no carriage-return or line-feed translation, no line editing. The
// object keeps its own descriptor of the slave open for its whole life, so the
// pair survives clients that open and close the port, and the master never
// sees a hang-up in between.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens a new pair; the master becomes non-blocking. False with
    // errorString() set when the system refuses.
    bool open();
    void close();
    bool isOpen() const { return m_masterFd >= 0; }
    QString errorString() const { return m_error; }

    int masterFd() const { return m_masterFd; }
    QString slavePath() const { return m_slavePath; }

    // Bytes written by the master that no client has read yet.
    int unreadBytes() const;
    // Drops those bytes, as a serial line drops what nobody listens to.
    void discardUnread();

    // Non-blocking I/O on any master descriptor, for a station that runs on a
    // descriptor it did not open itself. Both return the number of bytes
    // moved, 0 when nothing can be moved now, -1 on a lasting error.
    static qint64 readSome(int fd, char *data, qint64 maxBytes);
    static qint64 writeSome(int fd, const char *data, qint64 bytes);
    static bool setNonBlocking(int fd);

private:
    int m_masterFd = -1;
    int m_slaveFd = -1;
    QString m_slavePath;
    QString m_error;
};
