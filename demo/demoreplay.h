// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/stationlink.h"

#include <QStringList>

class QTimer;

// Stored station output played back as if it had just arrived: one file of
// the demo folder every 20 s, round and round. Every read returns the whole
// file at the current position (it stands for the whole receive buffer);
// only the timer moves on to the next file.
class DemoReplay : public StationLink
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 20000;
    static constexpr int kMaxPictures = 4;

    explicit DemoReplay(const QString &folder, QObject *parent = nullptr);

    // Lists the folder's "*.txt" files and starts from the first, replaying it
    // at once; false (and "No demo data files found") without any.
    bool start();
    void stop();
    bool isRunning() const;
    // The timer's step: replay the current file, then move on.
    void advance();

    QStringList files() const { return m_files; }
    int position() const { return m_position; }
    // Up to four "*.jpg" files of the folder, in name order, as bytes.
    QList<QByteArray> pictures() const;

    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QString name() const override { return QStringLiteral("Demo replay"); }
    QByteArray readAll() override;
    void write(const QByteArray &) override {}

private:
    QString m_folder;
    QStringList m_files;
    int m_position = 0;
    QTimer *m_timer;
};
