// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Files that tests read: what the code under test wrote, and the stored
// station packets under tests/data/packets.

#include <QFile>
#include <QString>
#include <QtTest>

namespace testsupport {

// The whole file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray packetBytes(const QString &name)
{
    return fileBytes(QFINDTESTDATA("../data/packets/" + name));
}

inline QString packetText(const QString &name)
{
    return QString::fromUtf8(packetBytes(name));
}

} // namespace testsupport
