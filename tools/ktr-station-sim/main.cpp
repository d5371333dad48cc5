// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later

// ktr-station-sim: a KTR weather station on a pseudo-terminal, for trying
// KTR Control without hardware and for end-to-end tests. Point the program
// (or any serial terminal) at the printed path or at the --link symlink.

#include "tools/sim/pseudoterminal.h"
#include "tools/sim/stationsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {
constexpr int kSignalPollMs = 200;

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "ktr-station-sim: %s\n", qPrintable(message));
    return 1;
}

bool isImei(const QString &text)
{
    if (text.size() != 15)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Removes the symlink on exit, but only while it still leads to our terminal.
class LinkGuard
{
public:
    LinkGuard(const QString &link, const QString &target) : m_link(link), m_target(target) {}
    ~LinkGuard()
    {
        if (!m_link.isEmpty() && QFileInfo(m_link).symLinkTarget() == m_target)
            QFile::remove(m_link);
    }
    LinkGuard(const LinkGuard &) = delete;
    LinkGuard &operator=(const LinkGuard &) = delete;

private:
    QString m_link;
    QString m_target;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktr-station-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates a KTR weather station on a pseudo-terminal. The first line printed names the\n"
        "terminal to open as the station's serial port. Mode digits: 0 \"3 Hour\", 1 \"1 Hour\",\n"
        "2 \"20 Minute\", 3 \"5 Minute\", 4 \"1 Minute\", 5 \"20 Second\", 6 \"10 Second\"."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption intervalOption(
        QStringLiteral("interval"), QStringLiteral("Report every <seconds>, whatever the reporting mode."),
        QStringLiteral("seconds"));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
                                        QStringLiteral("Reporting mode digit 0-6 at start (default 4)."),
                                        QStringLiteral("digit"), QStringLiteral("4"));
    const QCommandLineOption imeiOption(QStringLiteral("imei"), QStringLiteral("The modem's 15-digit IMEI."),
                                        QStringLiteral("digits"),
                                        QString::fromLatin1(WeatherGenerator::kDefaultImei));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the simulated weather (default 1)."),
                                        QStringLiteral("number"), QStringLiteral("1"));
    const QCommandLineOption noBannerOption(
        QStringLiteral("no-banner"),
        QStringLiteral("Start as a running, sleeping station, without power-up banner."));
    const QCommandLineOption countOption(
        QStringLiteral("count"), QStringLiteral("Quit after <n> weather packets."), QStringLiteral("n"));
    const QCommandLineOption auxOption(
        QStringLiteral("aux-every"),
        QStringLiteral("Add the auxiliary part to every <n>-th packet, 0 for never (default 6)."),
        QStringLiteral("n"), QStringLiteral("6"));
    const QCommandLineOption linkOption(
        QStringLiteral("link"), QStringLiteral("Also reach the terminal through a symlink at <path>."),
        QStringLiteral("path"));
    const QCommandLineOption clockSpeedOption(
        QStringLiteral("clock-speed"),
        QStringLiteral(
            "Run the station clock <n> times as fast as the PC's (60: an hour in a minute); reporting "
            "intervals and automatic image hours follow it (default 1)."),
        QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({intervalOption, modeOption, imeiOption, seedOption, noBannerOption, countOption,
                       auxOption, linkOption, clockSpeedOption});
    parser.process(app);

    StationSimulatorOptions options;
    bool ok = true;
    if (parser.isSet(intervalOption)) {
        const double seconds = parser.value(intervalOption).toDouble(&ok);
        if (!ok || seconds < 1.0 || seconds > 86400.0)
            return fail(QStringLiteral("--interval takes 1 to 86400 seconds"));
        options.intervalMs = qRound(seconds * 1000.0);
    }
    options.modeDigit = parser.value(modeOption).toInt(&ok);
    if (!ok || options.modeDigit < 0 || options.modeDigit > 6)
        return fail(QStringLiteral("--mode takes one digit 0 to 6"));
    if (!isImei(parser.value(imeiOption)))
        return fail(QStringLiteral("--imei takes exactly 15 digits"));
    options.imei = parser.value(imeiOption).toLatin1();
    options.seed = parser.value(seedOption).toUInt(&ok);
    if (!ok)
        return fail(QStringLiteral("--seed takes a whole number"));
    options.banner = !parser.isSet(noBannerOption);
    if (parser.isSet(countOption)) {
        options.packetLimit = parser.value(countOption).toInt(&ok);
        if (!ok || options.packetLimit < 1)
            return fail(QStringLiteral("--count takes a number of packets, 1 or more"));
    }
    options.auxEvery = parser.value(auxOption).toInt(&ok);
    if (!ok || options.auxEvery < 0)
        return fail(QStringLiteral("--aux-every takes 0 or a number of packets"));

    options.clockSpeed = parser.value(clockSpeedOption).toDouble(&ok);
    if (!ok || options.clockSpeed < 1.0 || options.clockSpeed > 3600.0)
        return fail(QStringLiteral("--clock-speed takes 1 to 3600"));

    PseudoTerminal terminal;
    if (!terminal.open())
        return fail(QStringLiteral("cannot open a pseudo-terminal (%1)").arg(terminal.errorString()));

    QString linkPath;
    if (parser.isSet(linkOption)) {
        linkPath = parser.value(linkOption);
        const QFileInfo existing(linkPath);
        if (existing.isSymLink()) {
            QFile::remove(linkPath); // left behind by an earlier run
        } else if (existing.exists()) {
            return fail(QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(linkPath));
        }
        if (!QFile::link(terminal.slavePath(), linkPath))
            return fail(QStringLiteral("cannot create the symlink %1").arg(linkPath));
    }
    const LinkGuard linkGuard(linkPath, terminal.slavePath());

    std::printf("Station on %s\n", qPrintable(terminal.slavePath()));
    std::fflush(stdout);

    StationSimulator station(options, &terminal);
    QObject::connect(&station, &StationSimulator::packetSent, &app, [&station](const QByteArray &packet) {
        std::fprintf(stderr, "Weather packet %d sent, mode %d, %d bytes\n", station.packetsSent(),
                     station.modeDigit(), static_cast<int>(packet.size()));
    });
    QObject::connect(&station, &StationSimulator::commandReceived, &app, [](const QByteArray &command) {
        std::fprintf(stderr, "Command: %s\n", command.constData());
    });
    QObject::connect(&station, &StationSimulator::pictureTaken, &app,
                     [](int camera, const QDateTime &utc, const QByteArray &) {
                         std::fprintf(stderr, "Picture of camera %d at %s\n", camera,
                                      qPrintable(utc.toString(Qt::ISODate)));
                     });
    QObject::connect(&station, &StationSimulator::finished, &app, &QCoreApplication::quit);

    // Ctrl+C and kill end the event loop normally, so the symlink is removed.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &app, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    signalPoll.start(kSignalPollMs);

    station.start();
    return app.exec();
}
