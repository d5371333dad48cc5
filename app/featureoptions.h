// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The service features that "options.txt" switches on. Everything is off
// unless the file names it; nothing switches an option off again.
class FeatureOptions
{
public:
    bool advanced = false;
    bool forwarding = false;
    bool audioCommands = false;
    bool speciCommands = false;
    bool fastModes = false;

    // Reads an options file: "//" starts a comment line, any other line
    // switches on every option whose keyword it begins with (case-sensitive).
    // A missing or unreadable file, or anything but a regular file (a FIFO,
    // a device, a folder), leaves every option off.
    static FeatureOptions readFile(const QString &path);
    static FeatureOptions parse(const QByteArray &contents);

    // The five "... ENABLED"/"... DISABLED" lines, in keyword order.
    QStringList statusLines() const;

    // The options of this process, read once at start.
    static FeatureOptions &process();
};
