// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/writeresult.h"

#include <QObject>
#include <QString>
#include <array>

// Keeps track of whether each kind of file in the data folder can be
// written. Every writer reports each write here; a run of failures of one
// kind is one episode, announced once by failed() and ended by recovered()
// at the first write of that kind that works again.
class WriteHealth : public QObject
{
    Q_OBJECT

public:
    enum FileKind
    {
        Raw,
        Auxiliary,
        Csv,
        Image,
        Audio,
        FileKindCount
    };

    explicit WriteHealth(QObject *parent = nullptr);

    void report(FileKind kind, const WriteResult &result);
    bool isFailing(FileKind kind) const { return m_failing[kind]; }

    // "Cannot write <file>: <reason>", the file in the platform's notation.
    static QString failureText(const QString &file, const QString &reason);
    // "Writing <file> again".
    static QString recoveryText(const QString &file);

signals:
    void failed(const QString &file, const QString &reason);
    void recovered(const QString &file);

private:
    std::array<bool, FileKindCount> m_failing{};
};
