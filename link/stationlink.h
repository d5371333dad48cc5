// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Where the station's bytes come from and the commands go: the serial port, a
// replay of stored output, or memory in tests. The session never sees more of
// a link than this.
class StationLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False with errorText() set when the link cannot be opened.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;
    virtual QString errorText() const { return {}; }

    virtual QByteArray readAll() = 0;
    // A closed link swallows the bytes.
    virtual void write(const QByteArray &bytes) = 0;
    // Pushes out pending writes at the end of a receive pass.
    virtual void flush() {}

signals:
    void readyRead();
    // The device went away (cable pulled, far end closed); the link is closed.
    void gone(const QString &reason);
};
