// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ttywakeup.h"

namespace TtyWakeup {

int minBytes(qintptr)
{
    return -1;
}

bool setMinBytes(qintptr, int)
{
    return false;
}

bool readAvailable(qintptr, QByteArray *)
{
    return true;
}

} // namespace TtyWakeup
