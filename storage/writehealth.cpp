// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/writehealth.h"

#include <QDir>

WriteHealth::WriteHealth(QObject *parent) : QObject(parent) {}

void WriteHealth::report(FileKind kind, const WriteResult &result)
{
    const bool failing = !result.ok;
    if (kind < 0 || kind >= FileKindCount || failing == m_failing[kind])
        return;
    m_failing[kind] = failing;
    if (result.ok)
        emit recovered(result.path);
    else
        emit failed(result.path, result.errorText);
}

QString WriteHealth::failureText(const QString &file, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(file), reason);
}

QString WriteHealth::recoveryText(const QString &file)
{
    return QStringLiteral("Writing %1 again").arg(QDir::toNativeSeparators(file));
}
