// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "storage/filesignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstring>

namespace {
const QCommandLineOption
    kPortOption(QStringLiteral("port"),
                QStringLiteral("Adds a serial port (such as a pseudo-terminal) that the system list lacks. "
                               "Repeatable; named ports are tried first, in their order."),
                QStringLiteral("path"));
const QCommandLineOption
    kDemoOption(QStringLiteral("demo"),
                QStringLiteral("Replays the station output in the \"Demo\" folder of the working directory "
                               "(switches on the ADVANCED option; only ports given with --port are used)."));

void describe(QCoreApplication &app, QCommandLineParser &parser)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vorsetti"));
    QCoreApplication::setApplicationName(QStringLiteral("KTR_Control"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Controls and monitors a KTR automatic weather station on a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kPortOption);
    parser.addOption(kDemoOption);
    parser.process(app);
}

// --help and --version answer without a display.
bool onlyAsksAboutItself(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    // Past a file-size limit a write must fail like a full disk, not end the program.
    FileSignals::ignoreFileSizeLimit();
    QCommandLineParser parser;
    if (onlyAsksAboutItself(argc, argv)) {
        QCoreApplication app(argc, argv);
        describe(app, parser);
        return 0;
    }
    // The window's updates are a few small labels ten times a second. On X11
    // a shared-memory image costs each of them a round trip to the server
    // before it is painted and a completion event after it; sent over the
    // connection, the few kilobytes cost neither. Whoever set it keeps theirs.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    // Nothing here draws with OpenGL, yet on X11 the first window loads the
    // GLX driver to probe it, which is most of the time to the first window.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("KTR Control"));
    describe(app, parser);

    MainWindowOptions options;
    options.extraPorts = parser.values(kPortOption);
    options.demo = parser.isSet(kDemoOption);
    // A demonstration needs no station: only ports named on the command line are used.
    options.systemPorts = !options.demo;

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ktr-control.png")));
    MainWindow window(options);
    window.show();
    return app.exec();
}
