// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/mqttpublisher.h"

#include "publishing/mqttclient.h"
#include "publishing/observationjson.h"
#include "storage/datafolder.h"
#include "weather/observation.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcMqtt, "ktr.mqtt")

const char kStatusOnline[] = "online";
const char kStatusOffline[] = "offline";
constexpr qint64 kSecondsPerDay = 86400;
} // namespace

MqttPublisher::MqttPublisher(const QString &databaseFile, QObject *parent)
    : QObject(parent), m_outbox(databaseFile, QLatin1String(kChannel), m_settings.outboxMaxMessages()),
      m_client(new MqttClient(this))
{
    connect(m_client, &MqttClient::connected, this, &MqttPublisher::onConnected);
    connect(m_client, &MqttClient::disconnected, this, &MqttPublisher::onDisconnected);
    connect(m_client, &MqttClient::published, this, &MqttPublisher::onPublished);
    connect(m_client, &MqttClient::errorOccurred, this, &MqttPublisher::onError);
    m_shutdownTimer.setSingleShot(true);
    connect(&m_shutdownTimer, &QTimer::timeout, this, [this] {
        qCWarning(lcMqtt) << "MQTT: no acknowledgement of \"offline\" from the broker; disconnecting anyway";
        finishShutdown();
    });
}

MqttPublisher::~MqttPublisher()
{
    delete m_client;
}

void MqttPublisher::setSettings(const MqttSettings &settings)
{
    m_settings = settings;
    if (!MqttSettings::isValidPrefix(m_settings.prefix)) {
        qCWarning(lcMqtt).noquote() << QStringLiteral(
                                           "MQTT: the topic prefix \"%1\" is not usable; using \"%2\"")
                                           .arg(m_settings.prefix,
                                                QLatin1String(MqttSettings::kDefaultPrefix));
        m_settings.prefix = QLatin1String(MqttSettings::kDefaultPrefix);
    }
    m_outbox.setMaxMessages(m_settings.outboxMaxMessages());
    m_client->setSettings(m_settings);
    if (!m_settings.enabled || m_settings.host.isEmpty()) {
        if (m_client->isStarted()) {
            qCInfo(lcMqtt) << "MQTT publishing off";
            m_client->stop();
        }
        return;
    }
    if (!m_outbox.open())
        qCWarning(lcMqtt).noquote()
            << QStringLiteral("MQTT: the outbox cannot be opened: %1").arg(m_outbox.errorText());
    m_lastAgeCheck = QDateTime();
    dropAged();
    qCInfo(lcMqtt).noquote() << QStringLiteral(
                                    "MQTT publishing to %1:%2%3 as %4 under \"%5/\"; %6 messages queued")
                                    .arg(m_settings.host)
                                    .arg(m_settings.port)
                                    .arg(m_settings.tls ? QStringLiteral(" (TLS)") : QString())
                                    .arg(m_client->clientId(), m_settings.prefix)
                                    .arg(m_outbox.count());
    if (m_client->isStarted())
        m_client->restart();
    else
        m_client->start();
}

void MqttPublisher::setRetryDelays(int firstMs, int lastMs)
{
    m_client->setRetryDelays(firstMs, lastMs);
}

void MqttPublisher::setStationImei(const QString &imei)
{
    const QString unit = DataFolder::unitName(imei);
    if (unit == QLatin1String(DataFolder::kNoUnitName) || unit == m_unit)
        return;
    m_unit = unit;
    m_client->setWill(topic(unit, QStringLiteral("status")), kStatusOffline);
    if (m_client->isStarted() && !m_shuttingDown) {
        qCInfo(lcMqtt).noquote()
            << QStringLiteral("MQTT: station %1; connecting again with its Last Will").arg(unit);
        m_client->restart();
    }
}

bool MqttPublisher::publishObservation(const Observation &observation)
{
    if (!m_client->isStarted())
        return false;
    setStationImei(observation.imei);
    QByteArray json;
    const bool queued = queue(topic(observation.imei, QStringLiteral("observation")), [&](qint64 id) {
        json = ObservationJson::toJson(observation, id);
        return json;
    });
    if (!queued)
        return false;
    const QString stateTopic = topic(observation.imei, QStringLiteral("state"));
    m_outbox.removeTopic(stateTopic);
    queue(stateTopic, [&json](qint64) { return json; });
    pump();
    return true;
}

bool MqttPublisher::publishPicture(const QString &imei, int camera, const QByteArray &jpeg)
{
    if (!m_client->isStarted())
        return false;
    setStationImei(imei);
    if (!queue(topic(imei, QStringLiteral("camera/%1").arg(camera)), [&jpeg](qint64) { return jpeg; }))
        return false;
    pump();
    return true;
}

void MqttPublisher::shutdown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    if (m_client->isConnected() && !m_unit.isEmpty()) {
        m_offlineMessageId = m_client->publish(topic(m_unit, QStringLiteral("status")), kStatusOffline, true);
        if (m_offlineMessageId >= 0) {
            m_shutdownTimer.start(kShutdownWaitMs);
            return;
        }
    }
    QTimer::singleShot(0, this, &MqttPublisher::finishShutdown);
}

void MqttPublisher::finishShutdown()
{
    if (!m_shuttingDown)
        return;
    m_shutdownTimer.stop();
    m_offlineMessageId = -1;
    const bool wasStarted = m_client->isStarted();
    m_client->stop();
    if (wasStarted)
        qCInfo(lcMqtt).noquote()
            << QStringLiteral("MQTT disconnected; %1 messages stay queued").arg(m_outbox.count());
    emit shutdownFinished();
}

bool MqttPublisher::isConnected() const
{
    return m_client->isConnected();
}

QString MqttPublisher::topic(const QString &imei, const QString &leaf) const
{
    return m_settings.prefix + QLatin1Char('/') + DataFolder::unitName(imei) + QLatin1Char('/') + leaf;
}

bool MqttPublisher::queue(const QString &topic, const std::function<QByteArray(qint64)> &payloadFor)
{
    const Outbox::Queued queued = m_outbox.enqueue(topic, payloadFor, QDateTime::currentDateTimeUtc());
    if (queued.id < 0) {
        const QString text =
            QStringLiteral("MQTT: the outbox cannot store a message for %1 (%2); it is not published")
                .arg(topic, m_outbox.errorText());
        qCWarning(lcMqtt).noquote() << text;
        emit errorOccurred(text);
        return false;
    }
    if (queued.dropped > 0)
        qCWarning(lcMqtt).noquote() << QStringLiteral("MQTT outbox full (%1 messages): dropped the %2 oldest")
                                           .arg(m_outbox.maxMessages())
                                           .arg(queued.dropped);
    dropAged();
    return true;
}

void MqttPublisher::dropAged()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (m_lastAgeCheck.isValid() && m_lastAgeCheck.msecsTo(now) < kAgeCheckMs)
        return;
    m_lastAgeCheck = now;
    const int dropped = m_outbox.dropQueuedBefore(now.addSecs(-kSecondsPerDay * m_settings.outboxDays));
    if (dropped > 0)
        qCWarning(lcMqtt).noquote() << QStringLiteral("MQTT outbox: dropped %1 messages older than %2 days")
                                           .arg(dropped)
                                           .arg(m_settings.outboxDays);
}

void MqttPublisher::onConnected()
{
    m_lastErrorLogged.clear();
    qCInfo(lcMqtt).noquote() << QStringLiteral("MQTT connected to %1:%2; %3 messages queued")
                                    .arg(m_settings.host)
                                    .arg(m_settings.port)
                                    .arg(m_outbox.count());
    if (!m_unit.isEmpty())
        m_client->publish(topic(m_unit, QStringLiteral("status")), kStatusOnline, true);
    emit connectionChanged(true);
    pump();
}

void MqttPublisher::onDisconnected()
{
    // Whatever was not acknowledged goes again, from the oldest on.
    m_inFlight.clear();
    m_lastSentId = 0;
    emit connectionChanged(false);
}

void MqttPublisher::onError(const QString &text)
{
    if (text != m_lastErrorLogged) {
        qCWarning(lcMqtt).noquote()
            << QStringLiteral("MQTT: %1; %2 messages kept in the outbox").arg(text).arg(m_outbox.count());
        m_lastErrorLogged = text;
    }
    emit errorOccurred(text);
}

void MqttPublisher::onPublished(int messageId)
{
    if (m_shuttingDown && messageId == m_offlineMessageId) {
        finishShutdown();
        return;
    }
    const auto it = m_inFlight.find(messageId);
    if (it == m_inFlight.end())
        return;
    const qint64 id = it.value();
    m_inFlight.erase(it);
    m_outbox.remove(id);
    emit delivered(id);
    pump();
}

void MqttPublisher::pump()
{
    if (!m_client->isConnected() || m_shuttingDown)
        return;
    while (m_inFlight.size() < kWindow) {
        const QVector<Outbox::Message> batch = m_outbox.oldest(kWindow - m_inFlight.size(), m_lastSentId);
        if (batch.isEmpty())
            return;
        for (const Outbox::Message &message : batch) {
            bool rejected = false;
            const bool retain = message.topic.endsWith(QLatin1String("/state"));
            const int messageId = m_client->publish(message.topic, message.payload, retain, &rejected);
            if (rejected) {
                qCWarning(lcMqtt).noquote()
                    << QStringLiteral("MQTT: message %1 for %2 (%3 bytes) cannot be published; dropped")
                           .arg(message.id)
                           .arg(message.topic)
                           .arg(message.payload.size());
                m_outbox.remove(message.id);
                m_lastSentId = message.id;
                continue;
            }
            if (messageId < 0)
                return;
            m_inFlight.insert(messageId, message.id);
            m_lastSentId = message.id;
        }
    }
}
