// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Process-wide reactions to file-system signals.
class FileSignals
{
public:
    // A write beyond the file-size limit (ulimit -f) raises SIGXFSZ, whose
    // default action ends the process. Ignored, the write fails with "File too
    // large" instead and is handled like a full disk. Call once at the start
    // of main(); true when the signal is ignored (always true where there is
    // no such signal).
    static bool ignoreFileSizeLimit();
};
