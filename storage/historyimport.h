// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/historystore.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <memory>

class WeatherPacketScanner;

// Fills the history store from files already on disk: CSV weather logs
// ("<unit>_yyyy-MM.csv", the unit taken from the name) and raw logs or serial
// captures (any other name; the unit from each packet's "@I:" line). Running
// it again adds nothing, as the store keys rows by unit and station time.
//
// CSV rows without a station time cannot be placed and are skipped, as are
// rows with fewer columns than the log has; rows of older logs that wrote
// several cloud layers unquoted are read with the extra fields folded back.
// The CSV log has no receive time and only the interference verdict, not the
// signal level: those stay empty. Raw packets are decoded as when received.
//
// start() works through the files a slice at a time, one slice per turn of
// the event loop, so a window stays responsive and can show progress; run()
// does all of it at once for the command-line tools.
class HistoryImport : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kSliceBytes = 256 * 1024;
    // A CSV record longer than this is damage, not a row.
    static constexpr int kMaxRecordBytes = 64 * 1024;

    struct Summary
    {
        int files = 0;
        qint64 packets = 0; // rows or packets read
        qint64 added = 0;   // of those, new in the store
        qint64 skipped = 0; // unusable rows and damaged packets
        QStringList errors; // files not read, or the store not written
        bool cancelled = false;
    };

    explicit HistoryImport(HistoryStore *store, QObject *parent = nullptr);
    ~HistoryImport() override;

    // The CSV logs of a CSV folder, oldest month first.
    static QStringList csvLogs(const QString &csvFolder);
    // True when the store is open and still empty: the first start.
    static bool isNeeded(const HistoryStore &store);

    void start(const QStringList &files);
    Summary run(const QStringList &files);
    void cancel();
    bool isRunning() const { return m_running; }
    Summary summary() const { return m_summary; }

    // Reads one CSV record of the weather log into an entry; false when it is
    // not a usable row. unit: the file's unit name.
    static bool parseCsvRow(const QByteArray &record, const QString &unit, HistoryStore::Entry *entry);

signals:
    void progress(qint64 doneBytes, qint64 totalBytes);
    void finished(const HistoryImport::Summary &summary);

private:
    void begin(const QStringList &files);
    // Imports one slice; false when everything is done.
    bool step();
    void scheduleStep();
    bool openNext();
    void finishFile();
    void importCsv(const QByteArray &bytes, bool atEnd);
    void importRaw(const QByteArray &bytes, bool atEnd);
    void flush();
    void end();

    HistoryStore *m_store;
    QStringList m_files;
    int m_next = 0;
    QFile m_file;
    bool m_csv = false;
    QString m_unit;
    QByteArray m_carry;
    std::unique_ptr<WeatherPacketScanner> m_scanner;
    std::vector<HistoryStore::Entry> m_batch;
    qint64 m_totalBytes = 0;
    qint64 m_doneBytes = 0;
    bool m_running = false;
    bool m_failed = false;
    Summary m_summary;
};

Q_DECLARE_METATYPE(HistoryImport::Summary)
