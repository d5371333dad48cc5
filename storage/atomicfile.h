// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/writeresult.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Whole-file writes for pictures and recordings: the bytes go to a temporary
// file in the same folder, which is renamed to its name only once all of it
// is written. A reader never sees half a file; a failed write leaves nothing.
class AtomicFile
{
public:
    struct Content
    {
        QString path;
        QByteArray bytes;
    };

    // Highest number tried for a new name before giving up.
    static constexpr int kMaxNumber = 9999;

    // Writes the file, replacing one of the same name.
    static WriteResult write(const QString &path, const QByteArray &bytes);

    // path for number 1; otherwise "_<number>" put in front of the extension
    // of the file name ("a/x_Cam2.jpg", 2 -> "a/x_Cam2_2.jpg"; "a/x", 3 -> "a/x_3").
    static QString numberedPath(const QString &path, int number);

    // Writes files that belong together (a recording and its raw copy) as new
    // files: under the first number at which none of their names is taken, so
    // an earlier file is never replaced. Written in order; after a failure the
    // rest of the set is not written. One result per file, in order, whose
    // path is the name used.
    static QVector<WriteResult> writeNew(const QVector<Content> &files);
};
