// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// A forwarded packet in the Iridium Short Burst Data DirectIP mobile-originated
// layout: protocol revision and length, the MO header element (the message
// counter in place of the reference number, the IMEI, the send time) and the
// MO payload element. All numbers are big-endian.
class SbdMessage
{
public:
    quint32 counter = 0;
    QByteArray imei;
    quint32 sendTime = 0; // low 32 bits of the seconds since 1970-01-01 UTC
    QByteArray payload;

    static constexpr int kProtocolHeaderBytes = 3;
    static constexpr int kHeaderElementBytes = 28;
    static constexpr int kImeiBytes = 15;
    // Protocol header, both element headers and the header element body.
    static constexpr int kOverheadBytes = 37;
    // The message length field is 16 bits and counts everything after it.
    static constexpr int kMaxMessageBytes = kProtocolHeaderBytes + 0xFFFF;
    static constexpr int kMaxPayloadBytes = kMaxMessageBytes - kOverheadBytes;

    // The whole message. The IMEI is cut or padded with '0' to 15 bytes so the
    // header element keeps its fixed size. A payload longer than
    // kMaxPayloadBytes cannot be described by the length fields: the result is
    // then empty and no message exists.
    static QByteArray build(quint32 counter, const QByteArray &imei, quint32 sendTime,
                            const QByteArray &payload);

    // Decodes one complete message (exactly its bytes). Elements other than
    // the header and the payload element are skipped. False, leaving *out
    // alone, when the bytes are not a well-formed message.
    static bool parse(const QByteArray &message, SbdMessage *out);

    // Size of the message that starts the stream: 0 while fewer than three
    // bytes are known, -1 when the stream does not start with a message.
    static int messageLength(const QByteArray &stream);

    static QByteArray fixedImei(const QByteArray &imei);

    // Counter value for the next message of this process: 1, 2, 3, ...
    // Safe to call from any thread.
    static quint32 nextCounter();

    // Printable ASCII as it is; "\\", "\r", "\n", "\t" and "\xHH" for the rest.
    static QString escaped(const QByteArray &bytes);
};

Q_DECLARE_METATYPE(SbdMessage)
