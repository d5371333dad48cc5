// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

WriteResult AtomicFile::write(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(path, file.errorString());
    // An uncommitted save file takes its temporary file with it.
    if (file.write(bytes) != bytes.size())
        return WriteResult::failure(path, file.errorString());
    if (!file.commit())
        return WriteResult::failure(path, file.errorString());
    return WriteResult::success(path);
}

QString AtomicFile::numberedPath(const QString &path, int number)
{
    if (number <= 1)
        return path;
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= nameStart)
        dot = path.size();
    return path.left(dot) + QLatin1Char('_') + QString::number(number) + path.mid(dot);
}

QVector<WriteResult> AtomicFile::writeNew(const QVector<Content> &files)
{
    QVector<WriteResult> results;
    results.reserve(files.size());
    int number = 1;
    const auto taken = [&files](int n) {
        for (const Content &file : files) {
            if (QFileInfo::exists(numberedPath(file.path, n)))
                return true;
        }
        return false;
    };
    while (number <= kMaxNumber && taken(number))
        ++number;
    bool failed = number > kMaxNumber;
    QString reason = QStringLiteral("no free file name");
    for (const Content &file : files) {
        const QString path = numberedPath(file.path, number);
        // A set is written in order and stops at its first failure: a raw
        // copy without its recording would be no use.
        if (failed) {
            results << WriteResult::failure(path, reason);
            continue;
        }
        results << write(path, file.bytes);
        failed = !results.constLast().ok;
        reason = results.constLast().errorText;
    }
    return results;
}
