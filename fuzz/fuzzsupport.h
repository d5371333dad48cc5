// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// Shared pieces of the fuzz targets: a fixed clock (so that a finding
// reproduces), a quiet Qt log and a scratch folder that lives for the run.
namespace fuzz {

// A broken invariant: print it and abort, so libFuzzer saves the input.
[[noreturn]] inline void fail(const char *what, const QByteArray &detail = QByteArray())
{
    std::fprintf(stderr, "INVARIANT BROKEN: %s %s\n", what, detail.constData());
    std::abort();
}

inline void check(bool ok, const char *what, const QByteArray &detail = QByteArray())
{
    if (!ok)
        fail(what, detail);
}

inline void quietMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

inline void initialise()
{
    qInstallMessageHandler(quietMessages);
}

inline QDateTime fixedNowUtc()
{
    return QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26), Qt::UTC);
}

// The scratch folder, created on first use and removed at exit.
inline const QString &scratchFolder()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fail("no scratch folder");
    static const QString path = QFileInfo(dir.path()).canonicalFilePath();
    return path;
}

// A written file must lie directly inside its folder; it is removed again so
// that a long run does not fill the disk. No file is larger than the
// assembly block it is written from.
inline void checkAndRemove(const QString &filePath, const QString &folder, qint64 maxBytes = 65536)
{
    const QFileInfo info(filePath);
    check(info.exists(), "reported file does not exist", filePath.toUtf8());
    check(info.size() <= maxBytes, "file larger than the assembly block", filePath.toUtf8());
    check(QFileInfo(info.absolutePath()).canonicalFilePath() == QFileInfo(folder).canonicalFilePath(),
          "file written outside its folder", filePath.toUtf8());
    QFile::remove(filePath);
}

} // namespace fuzz
