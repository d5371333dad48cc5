// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The configuration send cycle. The station takes commands only at its
// prompt, so a request is queued, the station is poked with spaces until it
// prompts, and then the command is handed to a paced writer that sends one
// byte per tick. The owner supplies the bytes, writes what tickBytes()
// returns, shows status() and caption(), and restarts its forwarding timer
// on every press and hand-over.
class SendCycle
{
public:
    static constexpr int kPowerUpSpaceBytes = 80;
    static constexpr int kPokeSpaceBytes = 4;

    struct PressResult
    {
        bool pending = false;
        QString status;
        QString caption;
    };

    // The send button: queues the snapshot (the configuration command of this
    // moment) when idle, cancels the request when one is pending; the snapshot
    // is then ignored. Bytes already outgoing are not withdrawn.
    PressResult press(const QByteArray &snapshot);
    // A pending request takes this snapshot instead of its own.
    void requeue(const QByteArray &snapshot);

    // One step of the paced writer: the next outgoing byte, else four spaces
    // while a request waits for the prompt, else nothing.
    QByteArray tickBytes();

    // The power-up banner without a prompt yet: keep the station at its
    // prompt with 80 spaces, replacing whatever was outgoing.
    void powerUpSeen();

    // The station prompts: the queued snapshot, or without a request the
    // current selection, becomes the outgoing command, and the request ends
    // as if the button had been pressed (one more forwarding restart). Returns
    // the outgoing command.
    QByteArray handOver(const QByteArray &currentSelection);

    bool isPending() const { return m_pending; }
    QByteArray queuedCommand() const { return m_queued; }
    QByteArray outgoingCommand() const { return m_outgoing; }
    // The status text that the last press, power-up or hand-over set.
    QString status() const { return m_status; }
    QString caption() const;

private:
    bool m_pending = false;
    QByteArray m_queued;
    QByteArray m_outgoing;
    QString m_status;
};
