// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorsetti"));
    QCoreApplication::setApplicationName(QStringLiteral("KTR_Control"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("KTR Control"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Controls and monitors a KTR automatic weather station on a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Adds a serial port (such as a pseudo-terminal) that the system list lacks. "
                       "Repeatable; named ports come first, and the first one is connected by itself."),
        QStringLiteral("path"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Replays the station output in the \"Demo\" folder of the working directory "
                       "(switches on the ADVANCED option; only ports given with --port are used)."));
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.process(app);

    MainWindowOptions options;
    options.extraPorts = parser.values(portOption);
    options.demo = parser.isSet(demoOption);
    // A demonstration needs no station: only ports named on the command line are used.
    options.systemPorts = !options.demo;

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ktr-control.png")));
    MainWindow window(options);
    window.show();
    return app.exec();
}
