// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The outcome of one write to the data folder: the file meant (or, for a new
// file that had to take a numbered name, the file written) and, on failure,
// the reason in the system's words.
struct WriteResult
{
    bool ok = false;
    QString path;
    QString errorText;

    static WriteResult success(const QString &path) { return {true, path, QString()}; }
    static WriteResult failure(const QString &path, const QString &errorText)
    {
        return {false, path, errorText};
    }
};
