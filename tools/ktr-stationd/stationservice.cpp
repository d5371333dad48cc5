// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ktr-stationd/stationservice.h"

#include "forwarding/forwardingcontroller.h"
#include "forwarding/forwardingsettings.h"
#include "link/portscanner.h"
#include "link/seriallink.h"
#include "publishing/mqttpublisher.h"
#include "session/portselector.h"
#include "session/stationsession.h"
#include "storage/datafolder.h"

#include <QDebug>
#include <QRegularExpression>

namespace {
// The connection label's rich text as a log line.
QString plainText(const QString &html)
{
    QString text = html;
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.simplified();
}
} // namespace

StationService::StationService(const ServiceConfig &config, QObject *parent)
    : QObject(parent), m_config(config), m_session(new StationSession(DataFolder(config.dataDir), this)),
      m_serial(new SerialLink(this)),
      m_ports(new PortSelector(m_session, m_serial, config.ports, config.ports.isEmpty(), nullptr, this)),
      m_publisher(
          new MqttPublisher(DataFolder(config.dataDir).root() + QStringLiteral("/history.sqlite"), this))
{
    m_session->setLoggingEnabled(config.logging);
    const QByteArray command = config.command();
    m_session->setConfigSource([command] { return command; });
    connect(m_session, &StationSession::statusChanged, this, [this](const QString &text) {
        if (!text.isEmpty() && text != m_lastStatus)
            qInfo().noquote() << text;
        m_lastStatus = text;
    });
    connect(m_session, &StationSession::connectionChanged, this, [this](const QString &html) {
        const QString text = plainText(html);
        if (text != m_lastConnection)
            qInfo().noquote() << text;
        m_lastConnection = text;
    });
    connect(m_session, &StationSession::linkGone, this, [this](const QString &reason) {
        qWarning().noquote() << QStringLiteral("Port %1 closed: %2").arg(m_serial->name(), reason);
    });
    connect(m_session, &StationSession::weatherReceived, this, [this](const Observation &observation) {
        m_publisher->publishObservation(observation);
        qInfo().noquote() << QStringLiteral("Weather packet from %1, station time %2")
                                 .arg(observation.imei, Observation::isoTime(observation.stationTime));
    });
    connect(m_session, &StationSession::pictureReady, this, [this](int camera, const QByteArray &jpeg) {
        if (!jpeg.isEmpty())
            m_publisher->publishPicture(QString::fromLatin1(m_session->stationImei()), camera, jpeg);
    });
    connect(m_publisher, &MqttPublisher::shutdownFinished, this, &StationService::stopped);
    m_tick.setInterval(StationSession::kTickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        if (++m_scanTicks >= PortScanner::kScanIntervalTicks) {
            m_scanTicks = 0;
            m_ports->scan();
        }
        m_session->tick();
    });
}

StationService::~StationService() = default;

bool StationService::start()
{
    const DataFolder &folder = m_session->dataFolder();
    if (!folder.createRoot()) {
        qCritical().noquote() << QStringLiteral("Cannot create the data folder %1").arg(folder.root());
        return false;
    }
    qInfo().noquote() << QStringLiteral("Data folder %1; configuration at power-up: %2")
                             .arg(folder.root(), QString::fromLatin1(m_config.command()));
    m_publisher->setSettings(m_config.mqtt);
    if (!m_config.mqtt.enabled || m_config.mqtt.host.isEmpty())
        qInfo() << "MQTT publishing off";
    startForwarding();
    m_tick.start();
    m_ports->scan();
    return true;
}

void StationService::startForwarding()
{
    if (m_config.settingsFile.isEmpty() || !ForwardingSettings(m_config.settingsFile).enabled()) {
        qInfo() << "Data forwarding off";
        return;
    }
    m_forwarding =
        new ForwardingController(std::make_unique<ForwardingSettings>(m_config.settingsFile),
                                 ForwardingController::historyFile(m_session->dataFolder().root()), this);
    connect(m_forwarding, &ForwardingController::statusText, this,
            [](const QString &text) { qInfo().noquote() << text; });
    connect(m_forwarding, &ForwardingController::messageBox, this,
            [](const QString &title, const QString &text, bool warning) {
                if (warning)
                    qWarning().noquote() << QStringLiteral("%1: %2").arg(title, text);
                else
                    qInfo().noquote() << QStringLiteral("%1: %2").arg(title, text);
            });
    m_forwarding->loadSettings();
    m_session->setForwarder(m_forwarding);
    qInfo().noquote()
        << QStringLiteral("Data forwarding to %1:%2").arg(m_forwarding->ip()).arg(m_forwarding->port());
}

void StationService::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_tick.stop();
    m_session->disconnectLink();
    m_publisher->shutdown();
}
