// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// How many bytes a serial line must hold before a poll on it reports it
// readable (the terminal's VMIN on Unix), and a read of what it holds that
// does not wait. Where the system has no such setting (Windows) the first
// does nothing and returns false and the second returns nothing: the line
// is then read as its port reports it.
namespace TtyWakeup {

// The terminal's own setting, to restore with setMinBytes.
int minBytes(qintptr handle);
bool setMinBytes(qintptr handle, int bytes);
// Appends what the line holds; false on a read error other than "nothing there".
bool readAvailable(qintptr handle, QByteArray *into);

} // namespace TtyWakeup
