// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder tree under which every log, picture and recording is written.
// Paths use "/" throughout; Qt maps them to the platform's separator.
class DataFolder
{
public:
    // root: the "KTR Control Data" folder itself.
    explicit DataFolder(const QString &root = QString());

    // The documents location followed by "KTR Control Data"; without a
    // documents location, the home folder (or "C:/KTR Control Data" on Windows).
    static QString defaultRoot();

    QString root() const { return m_root; }
    QString rawPath() const { return m_root + QStringLiteral("/Raw"); }
    QString imagePath() const { return m_root + QStringLiteral("/Image"); }
    QString audioPath() const { return m_root + QStringLiteral("/Audio"); }
    QString auxiliaryPath() const { return m_root + QStringLiteral("/Auxiliary"); }
    QString csvPath() const { return m_root + QStringLiteral("/CSV"); }

    // Creates the root with every missing parent; false when that fails.
    bool createRoot() const;
    // Creates a sub-folder (and the root) if missing; false when that fails.
    static bool ensure(const QString &path);
    // The reason given when ensure() fails.
    static QString cannotCreateText(const QString &path);

    // The unit part of a file name. The IMEI comes off the serial line, so only
    // a plain run of digits and letters is used; anything else, or nothing,
    // gives the fifteen-zero name. A file name can never leave its folder.
    static QString unitName(const QString &imei);
    static constexpr const char *kNoUnitName = "000000000000000";

private:
    QString m_root;
};
