// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/appendfile.h"

#include <QFile>

WriteResult AppendFile::append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    // Unbuffered: a short write shows up here, not later in a flush or close
    // that can no longer say how much of the entry reached the file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return WriteResult::failure(path, file.errorString());
    const qint64 sizeBefore = file.size();
    const qint64 written = file.write(bytes);
    if (written == bytes.size()) {
        file.close();
        return WriteResult::success(path);
    }
    const QString reason = file.errorString();
    const bool cutBack = file.resize(sizeBefore);
    file.close();
    if (!cutBack)
        return WriteResult::failure(path, reason + QStringLiteral(" (and the torn entry could not be removed: %1)")
                                              .arg(file.errorString()));
    return WriteResult::failure(path, reason);
}
