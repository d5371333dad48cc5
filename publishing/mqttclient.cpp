// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/mqttclient.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QSysInfo>
#include <cerrno>
#include <mosquitto.h>
#include <utility>

namespace {
constexpr int kHousekeepingMs = 1000;
constexpr int kClientIdHostChars = 10;

void ensureLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static Library library;
}

// "ktr-<host>-<random>", at most 23 characters as every broker must accept.
QString defaultClientId()
{
    QString host;
    for (const QChar c : QSysInfo::machineHostName()) {
        if (host.size() < kClientIdHostChars && c.unicode() < 0x80 && c.isLetterOrNumber())
            host.append(c);
    }
    const quint32 random = QRandomGenerator::global()->generate();
    return QStringLiteral("ktr-%1-%2").arg(host).arg(random, 8, 16, QLatin1Char('0'));
}

bool isMessageFault(int result)
{
    return result == MOSQ_ERR_INVAL || result == MOSQ_ERR_PAYLOAD_SIZE || result == MOSQ_ERR_MALFORMED_UTF8 ||
           result == MOSQ_ERR_OVERSIZE_PACKET || result == MOSQ_ERR_QOS_NOT_SUPPORTED;
}
} // namespace

MqttClient::MqttClient(QObject *parent) : QObject(parent), m_clientId(defaultClientId())
{
    ensureLibrary();
    m_housekeepingTimer.setInterval(kHousekeepingMs);
    connect(&m_housekeepingTimer, &QTimer::timeout, this, &MqttClient::housekeeping);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttClient::connectNow);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (m_lookupId >= 0)
            connectionLost(
                tr("cannot resolve %1 within %2 s").arg(m_settings.host).arg(kConnectTimeoutMs / 1000));
        else if (m_mosq && !m_connected)
            connectionLost(tr("no answer from %1:%2 within %3 s")
                               .arg(m_settings.host)
                               .arg(m_settings.port)
                               .arg(kConnectTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient()
{
    m_started = false;
    dropSession();
}

void MqttClient::setSettings(const MqttSettings &settings)
{
    m_settings = settings;
    m_clientId = settings.clientId.isEmpty() ? defaultClientId() : settings.clientId;
}

void MqttClient::setWill(const QString &topic, const QByteArray &payload)
{
    m_willTopic = topic;
    m_willPayload = payload;
}

void MqttClient::setRetryDelays(int firstMs, int lastMs)
{
    m_firstRetryMs = qMax(1, firstMs);
    m_lastRetryMs = qMax(m_firstRetryMs, lastMs);
    m_retryMs = m_firstRetryMs;
}

void MqttClient::start()
{
    if (m_started)
        return;
    m_started = true;
    m_retryMs = m_firstRetryMs;
    connectNow();
}

void MqttClient::restart()
{
    if (!m_started) {
        start();
        return;
    }
    const bool wasConnected = m_connected;
    dropSession();
    m_retryMs = m_firstRetryMs;
    if (wasConnected)
        emit disconnected();
    if (m_started && !m_mosq)
        connectNow();
}

void MqttClient::stop()
{
    m_started = false;
    m_retryTimer.stop();
    const bool wasConnected = m_connected;
    if (m_mosq && m_connected)
        mosquitto_disconnect(m_mosq);
    dropSession();
    if (wasConnected)
        emit disconnected();
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain, bool *rejected)
{
    if (rejected)
        *rejected = false;
    if (!m_mosq || !m_connected)
        return -1;
    int messageId = -1;
    const QByteArray topicBytes = topic.toUtf8();
    const int result = mosquitto_publish(m_mosq, &messageId, topicBytes.constData(), payload.size(),
                                         payload.constData(), 1, retain);
    if (result == MOSQ_ERR_SUCCESS) {
        syncNotifiers();
        return messageId;
    }
    if (isMessageFault(result)) {
        if (rejected)
            *rejected = true;
        return -1;
    }
    // The connection is in trouble; deal with it from the event loop, not
    // under the caller's feet.
    const QString reason = describe(result);
    const quint64 session = m_session;
    QTimer::singleShot(0, this, [this, session, reason] {
        if (m_mosq && session == m_session)
            connectionLost(reason);
    });
    return -1;
}

void MqttClient::connectNow()
{
    m_retryTimer.stop();
    dropSession();
    if (!m_started)
        return;
    if (m_settings.host.isEmpty()) {
        connectionLost(tr("no broker host is set"));
        return;
    }
    if (m_settings.tls) {
        const struct
        {
            QString path;
            QString what;
        } files[] = {{m_settings.caFile, tr("CA file")},
                     {m_settings.certFile, tr("client certificate")},
                     {m_settings.keyFile, tr("client key")}};
        for (const auto &file : files) {
            if (!file.path.isEmpty() && !QFileInfo(file.path).isReadable()) {
                connectionLost(tr("TLS failure: cannot read the %1 %2").arg(file.what, file.path));
                return;
            }
        }
        if (m_settings.certFile.isEmpty() != m_settings.keyFile.isEmpty()) {
            connectionLost(tr("TLS failure: a client certificate needs its key, and a key its certificate"));
            return;
        }
        if (!m_settings.certFile.isEmpty() && m_settings.caFile.isEmpty()) {
            connectionLost(tr("TLS failure: a client certificate needs a CA file"));
            return;
        }
    }
    // libmosquitto resolves a name on the calling thread, which a resolver
    // that never answers would hold up: the name is looked up first, without
    // blocking, and handed over only once it has resolved, so that the second
    // lookup is answered at once (and libmosquitto still tries every address).
    if (QHostAddress(m_settings.host).isNull()) {
        m_connectTimer.start();
        m_lookupId = QHostInfo::lookupHost(m_settings.host, this, SLOT(hostLookedUp(QHostInfo)));
        return;
    }
    openSession();
}

void MqttClient::hostLookedUp(const QHostInfo &info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    m_connectTimer.stop();
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        connectionLost(tr("cannot resolve %1: %2").arg(m_settings.host, info.errorString()));
        return;
    }
    openSession();
}

void MqttClient::openSession()
{
    const QString target = QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
    ++m_session;
    m_mosq = mosquitto_new(m_clientId.toUtf8().constData(), true, this);
    if (!m_mosq) {
        connectionLost(tr("cannot create an MQTT client (%1)").arg(qt_error_string(errno)));
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    mosquitto_log_callback_set(m_mosq, &MqttClient::onLog);
    if (!m_settings.username.isEmpty()) {
        const QByteArray user = m_settings.username.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(),
                                  m_settings.password.isEmpty() ? nullptr : password.constData());
    }
    if (!m_willTopic.isEmpty()) {
        const QByteArray topic = m_willTopic.toUtf8();
        mosquitto_will_set(m_mosq, topic.constData(), m_willPayload.size(), m_willPayload.constData(), 1,
                           true);
    }
    if (m_settings.tls && m_settings.caFile.isEmpty()) {
        // The system's trusted authorities.
        mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    } else if (m_settings.tls) {
        const QByteArray ca = QFile::encodeName(m_settings.caFile);
        const QByteArray cert = QFile::encodeName(m_settings.certFile);
        const QByteArray key = QFile::encodeName(m_settings.keyFile);
        const int result =
            mosquitto_tls_set(m_mosq, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                              key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            connectionLost(tr("TLS failure: %1").arg(QString::fromUtf8(mosquitto_strerror(result))));
            return;
        }
    }
    m_libraryError.clear();
    const QByteArray host = m_settings.host.toUtf8();
    const int result =
        mosquitto_connect_async(m_mosq, host.constData(), m_settings.port, m_settings.keepAliveS);
    if (result != MOSQ_ERR_SUCCESS) {
        connectionLost(tr("cannot connect to %1: %2").arg(target, describe(result)));
        return;
    }
    m_awaitingWritable = true;
    m_connectTimer.start();
    m_housekeepingTimer.start();
    syncNotifiers();
}

void MqttClient::readReady()
{
    if (m_mosq)
        afterCall(mosquitto_loop_read(m_mosq, 1));
}

void MqttClient::writeReady()
{
    m_awaitingWritable = false;
    if (m_mosq)
        afterCall(mosquitto_loop_write(m_mosq, 1));
}

void MqttClient::housekeeping()
{
    if (m_mosq)
        afterCall(mosquitto_loop_misc(m_mosq));
}

void MqttClient::afterCall(int result)
{
    const int error = errno;
    const quint64 session = m_session;
    if (m_acceptedNow) {
        m_acceptedNow = false;
        m_connected = true;
        m_connectTimer.stop();
        m_retryMs = m_firstRetryMs;
        m_lastError.clear();
        emit connected();
    }
    const QVector<int> acks = std::exchange(m_acks, {});
    for (const int messageId : acks) {
        if (session != m_session)
            return;
        emit published(messageId);
    }
    if (session != m_session || !m_mosq)
        return;
    const bool lost =
        m_lost || mosquitto_socket(m_mosq) < 0 || (result != MOSQ_ERR_SUCCESS && result != MOSQ_ERR_NO_CONN);
    if (!lost) {
        syncNotifiers();
        return;
    }
    const QString target = QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
    int cause = m_lost ? m_lostResult : result;
    if (cause == MOSQ_ERR_SUCCESS)
        cause = MOSQ_ERR_CONN_LOST;
    errno = error;
    QString reason;
    if (!m_refusal.isEmpty())
        reason = m_refusal;
    else if (m_connected)
        reason = tr("connection to %1 lost: %2").arg(target, describe(cause));
    else
        reason = tr("cannot connect to %1: %2").arg(target, describe(cause));
    connectionLost(reason);
}

void MqttClient::connectionLost(const QString &reason)
{
    const bool wasConnected = m_connected;
    dropSession();
    if (m_started) {
        m_retryTimer.start(m_retryMs);
        m_retryMs = qMin(m_retryMs * 2, m_lastRetryMs);
    }
    m_lastError = reason;
    emit errorOccurred(reason);
    if (wasConnected)
        emit disconnected();
}

void MqttClient::dropSession()
{
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    removeNotifiers();
    m_connectTimer.stop();
    m_housekeepingTimer.stop();
    if (m_mosq) {
        // Without a DISCONNECT first, the broker sends the Will.
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        ++m_session;
    }
    m_connected = false;
    m_awaitingWritable = false;
    m_acceptedNow = false;
    m_lost = false;
    m_lostResult = 0;
    m_refusal.clear();
    m_acks.clear();
}

void MqttClient::syncNotifiers()
{
    const int socket = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (socket != m_socket) {
        removeNotifiers();
        m_socket = socket;
        if (socket >= 0) {
            m_readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttClient::readReady);
            m_writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttClient::writeReady);
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_awaitingWritable || mosquitto_want_write(m_mosq));
}

void MqttClient::removeNotifiers()
{
    // Disabled at once, so that a socket libmosquitto has closed is never
    // watched; deleted later, as one of them may be calling us now.
    for (QSocketNotifier **notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    m_socket = -1;
}

QString MqttClient::describe(int result) const
{
    if (result == MOSQ_ERR_TLS || m_libraryError.contains(QLatin1String("SSL")) ||
        m_libraryError.contains(QLatin1String("TLS")))
        return tr("TLS failure: %1").arg(m_libraryError.isEmpty() ? tr("handshake failed") : m_libraryError);
    if (result == MOSQ_ERR_ERRNO)
        return qt_error_string(errno);
    return QString::fromUtf8(mosquitto_strerror(result));
}

void MqttClient::onConnect(mosquitto *, void *self, int result)
{
    auto *client = static_cast<MqttClient *>(self);
    if (result == 0)
        client->m_acceptedNow = true;
    else
        client->m_refusal = tr("the broker refused the connection: %1")
                                .arg(QString::fromUtf8(mosquitto_connack_string(result)));
}

void MqttClient::onDisconnect(mosquitto *, void *self, int result)
{
    auto *client = static_cast<MqttClient *>(self);
    client->m_lost = true;
    client->m_lostResult = result;
}

void MqttClient::onPublish(mosquitto *, void *self, int messageId)
{
    static_cast<MqttClient *>(self)->m_acks.append(messageId);
}

void MqttClient::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (level & MOSQ_LOG_ERR)
        static_cast<MqttClient *>(self)->m_libraryError = QString::fromUtf8(text);
}
