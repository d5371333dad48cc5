// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingcontroller.h"

#include "forwarding/forwardingpolicy.h"
#include "forwarding/forwardingsettings.h"
#include "forwarding/qmythread.h"
#include "storage/outbox.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {
const QString kChannel = QStringLiteral("sbd");
const QString kInMemory = QStringLiteral(":memory:");
const QString kErrorTitle = QStringLiteral("Error");
const QString kReceivedText = QStringLiteral("Received Weather Data");
} // namespace

ForwardingController::ForwardingController(std::unique_ptr<ForwardingSettings> settings,
                                           const QString &outboxFile, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_outboxFile(outboxFile),
      m_outbox(std::make_unique<Outbox>(outboxFile, kChannel, kDefaultOutboxLimit))
{
    m_forwardingTimer.setInterval(ForwardingPolicy::kForwardingIntervalMs);
    connect(&m_forwardingTimer, &QTimer::timeout, this, &ForwardingController::handleForwardingTimer);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &ForwardingController::sendNext);
}

ForwardingController::~ForwardingController()
{
    for (const QPointer<QMyThread> &attempt : qAsConst(m_attempts)) {
        if (attempt)
            attempt->wait();
    }
}

QString ForwardingController::historyFile(const QString &dataFolderRoot)
{
    return dataFolderRoot + QStringLiteral("/history.sqlite");
}

void ForwardingController::loadSettings()
{
    m_ip = m_settings->ip();
    m_port = m_settings->port();
    if (openOutbox() && queueLength() > 0)
        emit queueLengthChanged(queueLength());
    if (m_settings->enabled())
        setEnabled(true);
}

void ForwardingController::setTarget(const QString &ip, int port)
{
    m_ip = ip;
    m_port = port;
    m_settings->storeTarget(ip, port);
    m_outageReported = false;
    if (m_retryTimer.isActive()) {
        m_retryDelayMs = kFirstRetryMs;
        retryForwarding();
    }
}

void ForwardingController::setEnabled(bool enabled)
{
    qDebug().noquote() << (enabled ? "Enabled data forwarding" : "Disabled data forwarding");
    m_windowOpen = enabled;
    if (enabled)
        m_forwardingTimer.start(ForwardingPolicy::kForwardingIntervalMs);
    else
        m_forwardingTimer.stop();
    m_settings->storeEnabled(enabled);
    const bool changed = m_enabled != enabled;
    m_enabled = enabled;
    if (changed)
        emit enabledChanged(enabled);
    if (enabled) {
        m_retryDelayMs = kFirstRetryMs;
        retryForwarding();
    }
}

void ForwardingController::setOutboxLimit(int maxMessages)
{
    m_outboxLimit = maxMessages;
    m_outbox->setMaxMessages(maxMessages);
}

int ForwardingController::queueLength() const
{
    return m_outbox->isOpen() ? m_outbox->count() : 0;
}

int ForwardingController::retryIntervalMs() const
{
    return m_retryTimer.isActive() ? m_retryTimer.interval() : 0;
}

QString ForwardingController::countdownText(int modeDigit) const
{
    return ForwardingPolicy::countdownText(modeDigit, m_forwardingTimer.remainingTime());
}

bool ForwardingController::CheckIfSendablePacket(int modeDigit, const QByteArray &receiveBuffer) const
{
    return ForwardingPolicy::isSendable(modeDigit, receiveBuffer, m_windowOpen);
}

void ForwardingController::weatherPacketReceived(int modeDigit, const QByteArray &receiveBuffer,
                                                 const QByteArray &payload, const QByteArray &imei)
{
    if (!m_enabled) {
        emit statusText(kReceivedText);
        return;
    }
    if (!CheckIfSendablePacket(modeDigit, receiveBuffer)) {
        qDebug().noquote() << "--Not forwarding";
        emit statusText(kReceivedText);
        return;
    }
    if (forwardData(payload, imei)) {
        m_windowOpen = false;
        m_forwardingTimer.start(ForwardingPolicy::kForwardingIntervalMs);
    }
    qDebug().noquote() << "--Attempting to forward";
}

bool ForwardingController::forwardData(const QByteArray &payload, const QByteArray &imei)
{
    if (!m_enabled)
        return false;
    if (imei.isEmpty()) {
        m_enabled = false;
        emit enabledChanged(false);
        emit messageBox(
            kErrorTitle,
            QStringLiteral("Data cannot be forwarded until IMEI is known. Please wait until weather "
                           "data is received."),
            true);
        return false;
    }
    openOutbox();
    const Outbox::Queued queued =
        m_outbox->enqueue(QString::fromLatin1(imei), payload, QDateTime::currentDateTimeUtc());
    if (queued.id < 0) {
        qDebug().noquote() << "!!-- Error: Message not forwarded, the outbox cannot keep it: " +
                                  m_outbox->errorText();
        failed();
        return false;
    }
    if (queued.dropped > 0)
        qDebug().noquote() << "!!-- Error: Forwarding outbox full, dropped the" << queued.dropped
                           << "oldest messages";
    emit queueLengthChanged(queueLength());
    sendNext();
    return true;
}

void ForwardingController::handleForwardingTimer()
{
    qDebug().noquote() << "Forwarding timer elapsed: ok to forward";
    m_windowOpen = true;
    m_forwardingTimer.stop();
}

void ForwardingController::restartForwardingTimer()
{
    m_forwardingTimer.start(ForwardingPolicy::kForwardingIntervalMs);
}

void ForwardingController::forwardStatus(qint64 id, bool result)
{
    if (id != m_inFlightId)
        return;
    m_inFlightId = -1;
    if (!result) {
        m_outbox->countAttempt(id);
        failed();
        return;
    }
    if (!m_outbox->remove(id)) {
        // Sent, but still stored: sending on now would repeat it at once, forever.
        qDebug().noquote() << "!!-- Error: Delivered message stays in the outbox: " + m_outbox->errorText();
        failed();
        return;
    }
    m_retryDelayMs = kFirstRetryMs;
    m_outageReported = false;
    emit statusText(withQueueLength(QStringLiteral("Data Forwarding Successful")));
    emit queueLengthChanged(queueLength());
    sendNext();
}

void ForwardingController::retryForwarding()
{
    m_retryTimer.stop();
    sendNext();
}

bool ForwardingController::openOutbox()
{
    if (m_outbox->isOpen())
        return true;
    QDir().mkpath(QFileInfo(m_outboxFile).absolutePath());
    if (m_outbox->open())
        return true;
    qDebug().noquote() << "!!-- Error: Cannot open " + m_outboxFile + ": " + m_outbox->errorText() +
                              "; messages waiting for forwarding are kept in memory only";
    m_outbox = std::make_unique<Outbox>(kInMemory, kChannel, m_outboxLimit);
    return m_outbox->open();
}

void ForwardingController::sendNext()
{
    if (!m_enabled || m_inFlightId >= 0 || m_retryTimer.isActive() || !openOutbox())
        return;
    const QVector<Outbox::Message> next = m_outbox->oldest(1);
    if (next.isEmpty())
        return;
    const qint64 id = next.first().id;
    m_inFlightId = id;
    auto *attempt = new QMyThread(next.first().payload, m_ip, m_port, next.first().topic.toLatin1());
    connect(
        attempt, &QMyThread::resultReady, this, [this, id](bool result) { forwardStatus(id, result); },
        Qt::QueuedConnection);
    connect(attempt, &QThread::finished, attempt, &QObject::deleteLater);
    m_attempts.removeAll(nullptr);
    m_attempts.append(attempt);
    attempt->start(QThread::InheritPriority);
}

void ForwardingController::failed()
{
    emit statusText(withQueueLength(QStringLiteral("Data Forwarding Failed")));
    if (!m_outageReported) {
        m_outageReported = true;
        emit messageBox(
            kErrorTitle,
            QStringLiteral("Data forwarding failed. Forwarding stays on: the messages are kept and "
                           "sent again until the receiver takes them. Please verify parameters."),
            true);
    }
    if (queueLength() == 0)
        return;
    qDebug().noquote() << "Forwarding again in" << m_retryDelayMs / 1000
                       << "s; messages waiting:" << queueLength();
    m_retryTimer.start(m_retryDelayMs);
    m_retryDelayMs = qMin(2 * m_retryDelayMs, kLongestRetryMs);
}

QString ForwardingController::withQueueLength(const QString &text) const
{
    const int waiting = queueLength();
    if (waiting == 0)
        return text;
    return waiting == 1 ? text + QStringLiteral(" (1 message waiting)")
                        : text + QStringLiteral(" (%1 messages waiting)").arg(waiting);
}
