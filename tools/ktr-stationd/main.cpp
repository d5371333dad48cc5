// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/datafolder.h"
#include "storage/filesignals.h"
#include "tools/ktr-stationd/serviceconfig.h"
#include "tools/ktr-stationd/signalwatcher.h"
#include "tools/ktr-stationd/stationservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {
// The longest a stop may take before the service quits regardless.
constexpr int kStopDeadlineMs = 900;
constexpr int kUsageExitCode = 2;

// One line per event on stderr: time, level, text; control characters
// (a command's carriage returns) written as escapes, so a line stays a line.
void logLine(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const char *level = "info";
    switch (type) {
    case QtDebugMsg:
        level = "debug";
        break;
    case QtInfoMsg:
        break;
    case QtWarningMsg:
        level = "warning";
        break;
    case QtCriticalMsg:
        level = "error";
        break;
    case QtFatalMsg:
        level = "fatal";
        break;
    }
    QString text;
    text.reserve(message.size());
    for (const QChar c : message) {
        if (c == QLatin1Char('\r'))
            text += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            text += QLatin1String("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    const QByteArray line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
                            level + ": " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

int usageError(const QString &text)
{
    std::fprintf(stderr, "ktr-stationd: %s\n", qPrintable(text));
    return kUsageExitCode;
}
} // namespace

int main(int argc, char *argv[])
{
    FileSignals::ignoreFileSizeLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorsetti"));
    QCoreApplication::setApplicationName(QStringLiteral("ktr-stationd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs a KTR weather station without a window: receives and logs its data under the data "
        "folder, configures it at every power-up, publishes what it sends over MQTT and forwards it "
        "to an SBD receiver when the settings file says so. Stops "
        "cleanly on SIGTERM or SIGINT."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Settings file (INI) with the groups [station], [commands], "
                       "[mqtt] and the forwarding keys."),
        QStringLiteral("file"));
    const QCommandLineOption dataOption(
        QStringLiteral("data-dir"),
        QStringLiteral("Data folder (default: the file's station/dataDir, else "
                       "\"KTR Control Data\" in the documents folder)."),
        QStringLiteral("dir"));
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Serial port of the station; repeatable, the first present "
                       "one is used. Default: every port the system lists."),
        QStringLiteral("path"));
    const QCommandLineOption mqttOption(QStringLiteral("mqtt"),
                                        QStringLiteral("Publishes to this broker (default port 1883)."),
                                        QStringLiteral("host[:port]"));
    const QCommandLineOption prefixOption(QStringLiteral("mqtt-prefix"),
                                          QStringLiteral("Topic prefix (default \"ktr\")."),
                                          QStringLiteral("prefix"));
    parser.addOptions({configOption, dataOption, portOption, mqttOption, prefixOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    qInstallMessageHandler(logLine);

    ServiceConfig config;
    if (parser.isSet(configOption)) {
        const QString path = parser.value(configOption);
        if (!QFileInfo(path).isReadable())
            return usageError(QStringLiteral("cannot read the settings file %1").arg(path));
        const QSettings file(path, QSettings::IniFormat);
        if (file.status() != QSettings::NoError)
            return usageError(QStringLiteral("the settings file %1 is not a valid INI file").arg(path));
        QStringList warnings;
        config = ServiceConfig::load(file, &warnings);
        config.settingsFile = path;
        for (const QString &warning : warnings)
            qWarning().noquote() << QStringLiteral("%1: %2").arg(path, warning);
    }
    if (parser.isSet(dataOption))
        config.dataDir = parser.value(dataOption);
    if (config.dataDir.isEmpty())
        config.dataDir = DataFolder::defaultRoot();
    if (parser.isSet(portOption))
        config.ports = parser.values(portOption);
    if (parser.isSet(mqttOption)) {
        if (!MqttSettings::parseHostPort(parser.value(mqttOption), &config.mqtt.host, &config.mqtt.port))
            return usageError(
                QStringLiteral("--mqtt %1 is not host or host:port").arg(parser.value(mqttOption)));
        config.mqtt.enabled = true;
    }
    if (parser.isSet(prefixOption)) {
        if (!MqttSettings::isValidPrefix(parser.value(prefixOption)))
            return usageError(QStringLiteral("--mqtt-prefix %1 is not a usable topic prefix (no '+', '#' or "
                                             "empty levels)")
                                  .arg(parser.value(prefixOption)));
        config.mqtt.prefix = parser.value(prefixOption);
    }

    qInfo().noquote()
        << QStringLiteral("ktr-stationd %1 starting").arg(QCoreApplication::applicationVersion());
    StationService service(config);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::received, &app, [&service, &app](int number) {
        qInfo().noquote() << QStringLiteral("Signal %1 (%2): stopping")
                                 .arg(number)
                                 .arg(QLatin1String(number == SIGTERM ? "SIGTERM" : "SIGINT"));
        QTimer::singleShot(kStopDeadlineMs, &app, [&app] {
            qWarning() << "Stop took too long; quitting";
            app.exit(0);
        });
        service.stop();
    });
    QObject::connect(&service, &StationService::stopped, &app, [&app] {
        qInfo() << "Stopped";
        app.exit(0);
    });
    if (!service.start())
        return 1;
    return app.exec();
}
