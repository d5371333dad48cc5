// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The station's end of a serial line for tests: the program under test opens
// portName() with QSerialPort, the test plays the station with write() and
// readAll(). Built on the simulator's pseudo-terminal (Unix only); tests that
// include this link ktrsim.

#include "tools/sim/pseudoterminal.h"

#include <QByteArray>
#include <QString>

namespace testsupport {

class StationLine
{
public:
    StationLine() { m_line.open(); }

    bool isOpen() const { return m_line.isOpen(); }
    // The device name of the port side, e.g. "/dev/pts/3".
    QString portName() const { return m_line.slavePath(); }

    // Bytes as the station would send them; true when all were written.
    bool write(const QByteArray &bytes)
    {
        // The test and the program share one thread: a line buffer that fills
        // up would never drain, so that counts as a failure, not a wait.
        qint64 done = 0;
        while (isOpen() && done < bytes.size()) {
            const qint64 n =
                ::PseudoTerminal::writeSome(m_line.masterFd(), bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += n;
        }
        return done == bytes.size();
    }

    // Hangs up the station's side: the port then sees its device vanish.
    void closeMaster() { m_line.close(); }

private:
    ::PseudoTerminal m_line;
};

} // namespace testsupport
