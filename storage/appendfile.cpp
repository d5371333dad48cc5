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
    // A short write says nothing of why; the next one, for the rest, either
    // goes through or fails with the reason (no space, file too large).
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            break;
        written += step;
    }
    if (written == bytes.size()) {
        file.close();
        return WriteResult::success(path);
    }
    QString reason = file.errorString();
    if (file.error() == QFileDevice::NoError)
        reason = QStringLiteral("only %1 of %2 bytes could be written").arg(written).arg(bytes.size());
    const bool cutBack = file.resize(sizeBefore);
    file.close();
    if (!cutBack)
        return WriteResult::failure(
            path,
            reason +
                QStringLiteral(" (and the torn entry could not be removed: %1)").arg(file.errorString()));
    return WriteResult::failure(path, reason);
}
