// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// The two socket operations Qt does not offer, kept apart from the rest of
// the program: a host lookup that gives up in time, and the end of a TCP
// connection that tells an orderly close by the peer from a reset.
class NetPlatform
{
public:
    // Resolves a host name (an address text is taken as it is). A system
    // resolver that does not answer cannot be stopped, so the lookup runs on
    // a detached thread of its own that touches nothing of the program and
    // ends whenever the resolver gives up; the caller waits at most
    // timeoutMs and never on that thread, neither now nor at exit. Empty,
    // with *error set, when the name is unknown or the time ran out.
    static QList<QHostAddress> resolve(const QString &host, int timeoutMs, QString *error);

    enum class PeerEnd
    {
        Closed,
        Reset,
        TimedOut,
        Failed
    };

    // For a connected socket whose bytes have all been written: closes the
    // sending direction and waits at most timeoutMs for the peer to end the
    // connection. Closed means the peer read up to the end and closed; a
    // peer that stopped reading early or aborts resets instead. Bytes the
    // peer sends are discarded. *error describes every other outcome.
    static PeerEnd finishSending(qintptr socket, int timeoutMs, QString *error);
};
