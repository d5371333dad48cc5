// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/stationlink.h"

// A link in memory, for tests: bytes fed in arrive as one read, what the
// session writes is kept, and opening can be made to fail.
class MemoryLink : public StationLink
{
    Q_OBJECT

public:
    explicit MemoryLink(const QString &name = QStringLiteral("memory"), QObject *parent = nullptr);

    void setOpenFails(bool fails) { m_openFails = fails; }
    // Queues the bytes and announces them.
    void feed(const QByteArray &bytes);
    // The device vanishes.
    void vanish();
    QByteArray written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    int flushes() const { return m_flushes; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString name() const override { return m_name; }
    QString errorText() const override;
    QByteArray readAll() override;
    void write(const QByteArray &bytes) override;
    void flush() override { ++m_flushes; }

private:
    QString m_name;
    bool m_open = false;
    bool m_openFails = false;
    QByteArray m_incoming;
    QByteArray m_written;
    int m_flushes = 0;
};
