// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// ktr-decode: turns stored station output (raw monthly logs, serial captures)
// into the CSV rows of the weather log or into METAR lines, offline.

#include "storage/csvlog.h"
#include "reports/metarencoder.h"
#include "reports/weatherpacketscanner.h"
#include "weather/weatherparser.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

constexpr qint64 kReadBlockBytes = 1 << 20;
constexpr int kFlushBytes = 1 << 18;

enum class Format { Csv, Metar };

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
        if (!m_pending.isEmpty()
            && std::fwrite(m_pending.constData(), 1, size_t(m_pending.size()), stdout) != size_t(m_pending.size()))
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
            m_parser.setPacketText(QString::fromUtf8(entry.packet));
            if (m_format == Format::Csv)
                m_output.write(CsvLog::row(m_parser));
            else
                m_output.write(MetarEncoder::getMetar(m_parser).toUtf8() + '\n');
        }
    }

    Format m_format;
    Output &m_output;
    WeatherParser m_parser;
};

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
        "with a warning on standard error."));
    cli.addHelpOption();
    cli.addVersionOption();
    const QCommandLineOption csvOption(QStringLiteral("csv"),
                                       QStringLiteral("Write the CSV header, then one row per packet (default)."));
    const QCommandLineOption metarOption(QStringLiteral("metar"), QStringLiteral("Write one METAR line per packet."));
    cli.addOption(csvOption);
    cli.addOption(metarOption);
    cli.addPositionalArgument(QStringLiteral("files"),
                              QStringLiteral("Files to decode; standard input when none is given, or for \"-\"."),
                              QStringLiteral("[files...]"));
    cli.process(app);

    if (cli.isSet(csvOption) && cli.isSet(metarOption)) {
        printError(QStringLiteral("--csv and --metar cannot be used together"));
        return 2;
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
