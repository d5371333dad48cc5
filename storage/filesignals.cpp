// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/filesignals.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

bool FileSignals::ignoreFileSizeLimit()
{
#ifdef Q_OS_UNIX
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGXFSZ, &action, nullptr) == 0;
#else
    return true;
#endif
}
