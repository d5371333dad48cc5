// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// ktr-decode: turns stored station output (raw monthly logs, serial captures)
// into the CSV rows of the weather log or into METAR lines, offline; fills a
// data folder's weather history from such files and exports it as CSV.

#include "reports/metarencoder.h"
#include "reports/weatherpacketscanner.h"
#include "storage/csvlog.h"
#include "storage/datafolder.h"
#include "storage/historyimport.h"
#include "storage/historystore.h"
#include "weather/weatherparser.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr qint64 kReadBlockBytes = 1 << 20;
constexpr int kFlushBytes = 1 << 18;

enum class Format
{
    Csv,
    Metar
};

// Collects output and hands it to stdout in large writes.
class Output
{
public:
    void write(const QByteArray &bytes)
    {
        m_pending += bytes;
        if (m_pending.size() >= kFlushBytes)
            flush();
    }

    void flush()
    {
        if (!m_pending.isEmpty() && std::fwrite(m_pending.constData(), 1, size_t(m_pending.size()), stdout) !=
                                        size_t(m_pending.size()))
            m_failed = true;
        m_pending.clear();
    }

    bool finish()
    {
        flush();
        return std::fflush(stdout) == 0 && !m_failed;
    }

private:
    QByteArray m_pending;
    bool m_failed = false;
};

void printError(const QString &text)
{
    std::fprintf(stderr, "ktr-decode: %s\n", qUtf8Printable(text));
}

class Decoder
{
public:
    Decoder(Format format, Output &output) : m_format(format), m_output(output) {}

    // Decodes every weather packet of one input; false when it cannot be read.
    bool decode(QFile &input, const QString &name)
    {
        WeatherPacketScanner scanner;
        QByteArray block(int(kReadBlockBytes), Qt::Uninitialized);
        for (;;) {
            const qint64 got = input.read(block.data(), kReadBlockBytes);
            if (got < 0) {
                printError(QStringLiteral("%1: read error: %2").arg(name, input.errorString()));
                return false;
            }
            if (got == 0)
                break;
            scanner.feed(block.constData(), int(got));
            handle(scanner.takeEntries(), name);
        }
        scanner.finish();
        handle(scanner.takeEntries(), name);
        return true;
    }

private:
    void handle(const QVector<WeatherPacketScanner::Entry> &entries, const QString &name)
    {
        for (const WeatherPacketScanner::Entry &entry : entries) {
            if (entry.damage != WeatherPacketScanner::Damage::None) {
                printError(QStringLiteral("%1: byte %2: warning: damaged weather packet skipped (%3)")
                               .arg(name)
                               .arg(entry.offset)
                               .arg(WeatherPacketScanner::describe(entry.damage)));
                continue;
            }
            // A weather packet holds no NUL byte (the scanner refuses binary
            // data), so its size is taken as it is, without a search for one.
            m_parser.setPacketText(QString::fromUtf8(entry.packet.constData(), entry.packet.size()));
            const WeatherValues values = m_parser.values();
            const QString metar = MetarEncoder::getMetar(values);
            if (m_format == Format::Csv)
                m_output.write(CsvLog::row(values, metar));
            else
                m_output.write(metar.toUtf8() + '\n');
        }
    }

    Format m_format;
    Output &m_output;
    WeatherParser m_parser;
};

// "yyyy-MM-dd" (the day's start, or with endOfDay the next day's) or
// "yyyy-MM-ddThh:mm:ssZ".
QDateTime parseTime(const QString &text, bool endOfDay)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return QDateTime(endOfDay ? day.addDays(1) : day, QTime(0, 0), Qt::UTC);
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddThh:mm:ssZ"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

int importHistory(HistoryStore &store, const QStringList &files)
{
    if (!store.open()) {
        printError(QStringLiteral("cannot open %1: %2").arg(store.filePath(), store.errorText()));
        return 1;
    }
    HistoryImport import(&store);
    const HistoryImport::Summary summary = import.run(files);
    for (const QString &error : summary.errors)
        printError(error);
    std::fprintf(stderr, "ktr-decode: %lld packets read from %d files, %lld new in %s, %lld skipped\n",
                 summary.packets, summary.files, summary.added, qUtf8Printable(store.filePath()),
                 summary.skipped);
    return summary.errors.isEmpty() ? 0 : 1;
}

int exportHistory(HistoryStore &store, const QString &unitOption, const QStringList &range)
{
    const QDateTime from = range.size() == 2 ? parseTime(range.at(0), false) : QDateTime();
    const QDateTime to = range.size() == 2 ? parseTime(range.at(1), true) : QDateTime();
    if (!from.isValid() || !to.isValid()) {
        printError(
            QStringLiteral("--export-history needs FROM and TO, as yyyy-MM-dd or yyyy-MM-ddThh:mm:ssZ"));
        return 2;
    }
    if (!QFileInfo(store.filePath()).isFile() || !store.open()) {
        printError(QStringLiteral("cannot open %1: %2").arg(store.filePath(), store.errorText()));
        return 1;
    }
    const QString unit = unitOption.isEmpty() ? store.latestUnit() : DataFolder::unitName(unitOption);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || store.exportCsv(unit, from, to, &out) < 0 ||
        !out.flush()) {
        printError(QStringLiteral("cannot export the history: %1").arg(store.errorText()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktr-decode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Decodes the weather packets in KTR station output (raw monthly log files or serial captures)\n"
        "into rows of the CSV weather log or into METAR report lines. Damaged packets are skipped\n"
        "with a warning on standard error.\n"
        "\n"
        "With --import-history the packets of the files (raw logs and captures; files ending in .csv\n"
        "as CSV weather logs) go into the weather history of the data folder instead; importing a\n"
        "file twice adds nothing. With --export-history FROM TO the history of one unit from FROM up\n"
        "to TO is written to standard output as CSV; FROM and TO are UTC dates (yyyy-MM-dd, TO\n"
        "included) or times (yyyy-MM-ddThh:mm:ssZ, TO excluded)."));
    cli.addHelpOption();
    cli.addVersionOption();
    const QCommandLineOption csvOption(
        QStringLiteral("csv"), QStringLiteral("Write the CSV header, then one row per packet (default)."));
    const QCommandLineOption metarOption(QStringLiteral("metar"),
                                         QStringLiteral("Write one METAR line per packet."));
    const QCommandLineOption importOption(
        QStringLiteral("import-history"),
        QStringLiteral("Import the files into the data folder's weather history."));
    const QCommandLineOption exportOption(
        QStringLiteral("export-history"),
        QStringLiteral("Export the history from FROM to TO (the arguments) as CSV."));
    const QCommandLineOption folderOption(
        QStringLiteral("data-folder"),
        QStringLiteral("The data folder holding the history (default: %1).").arg(DataFolder::defaultRoot()),
        QStringLiteral("folder"), DataFolder::defaultRoot());
    const QCommandLineOption unitOption(QStringLiteral("unit"),
                                        QStringLiteral("The unit (IMEI) to export; default: the latest one."),
                                        QStringLiteral("imei"));
    cli.addOption(csvOption);
    cli.addOption(metarOption);
    cli.addOption(importOption);
    cli.addOption(exportOption);
    cli.addOption(folderOption);
    cli.addOption(unitOption);
    cli.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Files to decode; standard input when none is given, or for \"-\"."),
        QStringLiteral("[files...]"));
    cli.process(app);

    const int modes = int(cli.isSet(csvOption)) + int(cli.isSet(metarOption)) + int(cli.isSet(importOption)) +
                      int(cli.isSet(exportOption));
    if (modes > 1) {
        printError(
            QStringLiteral("--csv, --metar, --import-history and --export-history cannot be used together"));
        return 2;
    }
    if (cli.isSet(importOption) || cli.isSet(exportOption)) {
        HistoryStore store(cli.value(folderOption));
        if (cli.isSet(exportOption))
            return exportHistory(store, cli.value(unitOption), cli.positionalArguments());
        if (cli.positionalArguments().isEmpty()) {
            printError(QStringLiteral("--import-history needs the files to import"));
            return 2;
        }
        return importHistory(store, cli.positionalArguments());
    }
    const Format format = cli.isSet(metarOption) ? Format::Metar : Format::Csv;
    QStringList files = cli.positionalArguments();
    if (files.isEmpty())
        files << QStringLiteral("-");

    Output output;
    if (format == Format::Csv)
        output.write(CsvLog::header() + "\r\n");

    Decoder decoder(format, output);
    bool allRead = true;
    for (const QString &path : qAsConst(files)) {
        QFile input;
        QString name = path;
        bool opened = false;
        if (path == QLatin1String("-")) {
            name = QStringLiteral("<stdin>");
            opened = input.open(stdin, QIODevice::ReadOnly);
        } else {
            input.setFileName(path);
            opened = input.open(QIODevice::ReadOnly);
        }
        if (!opened) {
            printError(QStringLiteral("cannot read %1: %2").arg(path, input.errorString()));
            allRead = false;
            continue;
        }
        if (!decoder.decode(input, name))
            allRead = false;
    }

    if (!output.finish()) {
        printError(QStringLiteral("cannot write to standard output"));
        return 1;
    }
    return allRead ? 0 : 1;
}
