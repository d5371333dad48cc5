// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/mainwindow.h"

#include <QFile>
#include <QTemporaryDir>

namespace testsupport {

// The window as a test starts it: only the given ports, and everything it
// reads or writes (data, options, settings, demo files) in one temporary folder.
inline MainWindowOptions testWindowOptions(const QTemporaryDir &dir, const QStringList &ports = QStringList(),
                                           const QByteArray &options = QByteArray())
{
    MainWindowOptions start;
    start.extraPorts = ports;
    start.systemPorts = false;
    start.dataFolder = dir.filePath(QStringLiteral("KTR Control Data"));
    start.optionsFile = dir.filePath(QStringLiteral("options.txt"));
    start.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    start.demoFolder = dir.filePath(QStringLiteral("Demo"));
    QFile file(start.optionsFile);
    if (!options.isEmpty() && file.open(QIODevice::WriteOnly))
        file.write(options);
    return start;
}

} // namespace testsupport
