// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/datafolder.h"

#include <QDir>
#include <QStandardPaths>

namespace {
constexpr int kMaxUnitNameChars = 32;
}

DataFolder::DataFolder(const QString &root) : m_root(root.isEmpty() ? defaultRoot() : root) {}

QString DataFolder::defaultRoot()
{
    const QStringList documents = QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && !documents.first().isEmpty())
        return documents.first() + QStringLiteral("/KTR Control Data");
#ifdef Q_OS_WIN
    return QStringLiteral("C:/KTR Control Data");
#else
    return QDir::homePath() + QStringLiteral("/KTR Control Data");
#endif
}

bool DataFolder::createRoot() const
{
    return ensure(m_root);
}

bool DataFolder::ensure(const QString &path)
{
    return QDir().mkpath(path);
}

QString DataFolder::cannotCreateText(const QString &path)
{
    return QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(path));
}

QString DataFolder::unitName(const QString &imei)
{
    if (imei.isEmpty() || imei.size() > kMaxUnitNameChars)
        return QLatin1String(kNoUnitName);
    for (const QChar c : imei) {
        const ushort u = c.unicode();
        const bool plain = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (!plain)
            return QLatin1String(kNoUnitName);
    }
    return imei;
}
