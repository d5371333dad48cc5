// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// ktr-demo-data: writes the demonstration data that "ktr-control --demo"
// replays: a day of station transmissions, one file per transmission, and four
// camera pictures. The output never changes between runs, so the folder kept
// in the repository can be checked against it.

#include "tools/sim/demodatagenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktr-demo-data"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the demonstration data (station transmissions and camera pictures) into a folder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Where to write; default \"%1\".")
                                     .arg(QString::fromLatin1(DemoDataGenerator::kDefaultFolder)),
                                 QStringLiteral("[folder]"));
    const QCommandLineOption quietOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Lists nothing."));
    parser.addOption(quietOption);
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "ktr-demo-data: only one folder, please\n");
        return 2;
    }
    const QString folder =
        positional.isEmpty() ? QString::fromLatin1(DemoDataGenerator::kDefaultFolder) : positional.first();

    QString error;
    if (!DemoDataGenerator::write(folder, &error)) {
        std::fprintf(stderr, "ktr-demo-data: %s\n", qUtf8Printable(error));
        return 1;
    }

    QSet<QString> written;
    for (const DemoDataGenerator::File &file : DemoDataGenerator::files()) {
        written.insert(file.name);
        if (!parser.isSet(quietOption))
            std::printf("%s  %s\n", qUtf8Printable(file.name), qUtf8Printable(file.description));
    }
    // Demo mode takes every text file and the first pictures of the folder.
    const QStringList present =
        QDir(folder).entryList({QStringLiteral("*.txt"), QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (const QString &name : present) {
        if (!written.contains(name))
            std::fprintf(stderr, "ktr-demo-data: note: %s was not written now and is replayed too\n",
                         qUtf8Printable(QDir(folder).filePath(name)));
    }
    return 0;
}
