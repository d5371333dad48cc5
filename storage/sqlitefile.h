// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One named Qt SQL connection to an SQLite file of the data folder, shared
// by the history store and the outboxes (each on a connection of its own).
class SqliteFile
{
public:
    // A connection name no other object uses.
    static QString newConnection(const char *prefix);
    // Opens the file on the connection, creating its folder; only a regular
    // file (or none yet) is opened, so a device or a folder in its place
    // neither blocks nor is written. False with *error set.
    static bool open(const QString &connection, const QString &file, QString *error);
    static bool isOpen(const QString &connection);
    static bool exec(const QString &connection, const QString &sql, QString *error);
    static void close(const QString &connection);
    // Closes and forgets the connection.
    static void remove(const QString &connection);
};
