// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

class ForwardingSettings;
class Outbox;
class QMyThread;

// Everything about forwarding that is not a widget: the receiver and the
// switch (kept in the settings), the forwarding window of the fast reporting
// modes with its timer, and the delivery of each message on a worker thread.
//
// Every message is stored in a durable outbox before it is sent and leaves
// it only once the receiver has it, so an outage or a restart loses nothing.
// Messages go one at a time, oldest first; after a failure the oldest is
// tried again with a growing pause (5 s, doubling, at most 10 min) while new
// messages queue behind it. Forwarding stays on through an outage and the
// user is told once per outage.
class ForwardingController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFirstRetryMs = 5000;
    static constexpr int kLongestRetryMs = 600000;
    static constexpr int kDefaultOutboxLimit = 10000;

    // outboxFile: usually historyFile() of the data folder.
    ForwardingController(std::unique_ptr<ForwardingSettings> settings, const QString &outboxFile,
                         QObject *parent = nullptr);
    // Waits for the attempt under way (its waits are bounded); a message it
    // was sending stays in the outbox.
    ~ForwardingController() override;

    static QString historyFile(const QString &dataFolderRoot);

    // Start-up with the forwarding option: takes the stored receiver and
    // switches forwarding on when it was on; then sends what an earlier run left.
    void loadSettings();

    QString ip() const { return m_ip; }
    int port() const { return m_port; }
    // Accepted settings: kept, and a pending retry goes at once to the new receiver.
    void setTarget(const QString &ip, int port);

    bool isEnabled() const { return m_enabled; }
    // The user's switch: stored, opens the forwarding window and starts its
    // timer when on, stops the timer and closes the window when off.
    void setEnabled(bool enabled);
    bool isWindowOpen() const { return m_windowOpen; }

    void setOutboxLimit(int maxMessages);
    // Messages not yet delivered, the one under way included.
    int queueLength() const;
    // The pause before the next try of the oldest message; 0 when none is planned.
    int retryIntervalMs() const;

    // Rich text for the countdown label.
    QString countdownText(int modeDigit) const;
    bool CheckIfSendablePacket(int modeDigit, const QByteArray &receiveBuffer) const;

    // The forwarding decision for one complete weather packet. Taking a
    // packet closes the window and restarts its timer, so an outage changes
    // nothing about which packets go.
    void weatherPacketReceived(int modeDigit, const QByteArray &receiveBuffer, const QByteArray &payload,
                               const QByteArray &imei);
    // Queues one payload (a weather packet slice or a camera packet) while
    // forwarding is on; false when nothing was queued.
    bool forwardData(const QByteArray &payload, const QByteArray &imei);

public slots:
    void handleForwardingTimer();
    // "Send Command" starts the forwarding interval again.
    void restartForwardingTimer();
    // Tries the oldest waiting message now instead of after the pause; a
    // further failure pauses longer still.
    void retryForwarding();

signals:
    void statusText(const QString &text);
    void messageBox(const QString &title, const QString &text, bool warning);
    void queueLengthChanged(int length);
    // Also when forwarding switches itself off (no IMEI known): the stored
    // choice then stays as it was.
    void enabledChanged(bool enabled);

private:
    // Outcome of the attempt that was sending message id.
    void forwardStatus(qint64 id, bool result);
    bool openOutbox();
    void sendNext();
    void failed();
    QString withQueueLength(const QString &text) const;

    std::unique_ptr<ForwardingSettings> m_settings;
    QString m_outboxFile;
    std::unique_ptr<Outbox> m_outbox;
    QTimer m_forwardingTimer;
    QTimer m_retryTimer;
    QString m_ip;
    int m_port = 0;
    bool m_enabled = false;
    bool m_windowOpen = false;
    int m_outboxLimit = kDefaultOutboxLimit;
    int m_retryDelayMs = kFirstRetryMs;
    bool m_outageReported = false;
    qint64 m_inFlightId = -1;
    QList<QPointer<QMyThread>> m_attempts;
};
