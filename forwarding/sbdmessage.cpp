// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/sbdmessage.h"

#include <QtEndian>
#include <atomic>

namespace {
constexpr char kProtocolRevision = 0x01;
constexpr char kHeaderElementId = 0x01;
constexpr char kPayloadElementId = 0x02;
constexpr int kElementHeaderBytes = 3;

// Offsets inside the header element's body.
constexpr int kImeiOffset = 4;
constexpr int kSendTimeOffset = 24;

std::atomic<quint32> g_messageCounter{0};

void appendU16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
}

void appendU32(QByteArray &out, quint32 value)
{
    appendU16(out, quint16(value >> 16));
    appendU16(out, quint16(value & 0xFFFF));
}

int readU16(const QByteArray &bytes, int at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

quint32 readU32(const QByteArray &bytes, int at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}
} // namespace

QByteArray SbdMessage::build(quint32 counter, const QByteArray &imei, quint32 sendTime,
                             const QByteArray &payload)
{
    if (payload.size() > kMaxPayloadBytes)
        return {};
    QByteArray out;
    out.reserve(kOverheadBytes + payload.size());
    out.append(kProtocolRevision);
    appendU16(out, quint16(kOverheadBytes - kProtocolHeaderBytes + payload.size()));
    out.append(kHeaderElementId);
    appendU16(out, kHeaderElementBytes);
    appendU32(out, counter);
    out.append(fixedImei(imei));
    out.append('\0');  // session status
    appendU16(out, 0); // MO sequence number
    appendU16(out, 0); // MT sequence number
    appendU32(out, sendTime);
    out.append(kPayloadElementId);
    appendU16(out, quint16(payload.size()));
    out.append(payload);
    return out;
}

bool SbdMessage::parse(const QByteArray &message, SbdMessage *out)
{
    if (messageLength(message) != message.size())
        return false;
    SbdMessage result;
    bool haveHeader = false;
    bool havePayload = false;
    int at = kProtocolHeaderBytes;
    while (at < message.size()) {
        if (message.size() - at < kElementHeaderBytes)
            return false;
        const char id = message.at(at);
        const int length = readU16(message, at + 1);
        const int body = at + kElementHeaderBytes;
        if (message.size() - body < length)
            return false;
        if (id == kHeaderElementId) {
            if (haveHeader || length != kHeaderElementBytes)
                return false;
            result.counter = readU32(message, body);
            result.imei = message.mid(body + kImeiOffset, kImeiBytes);
            result.sendTime = readU32(message, body + kSendTimeOffset);
            haveHeader = true;
        } else if (id == kPayloadElementId) {
            if (havePayload)
                return false;
            result.payload = message.mid(body, length);
            havePayload = true;
        }
        at = body + length;
    }
    if (!haveHeader || !havePayload)
        return false;
    if (out)
        *out = result;
    return true;
}

int SbdMessage::messageLength(const QByteArray &stream)
{
    if (stream.isEmpty())
        return 0;
    if (stream.at(0) != kProtocolRevision)
        return -1;
    if (stream.size() < kProtocolHeaderBytes)
        return 0;
    return kProtocolHeaderBytes + readU16(stream, 1);
}

QByteArray SbdMessage::fixedImei(const QByteArray &imei)
{
    return imei.left(kImeiBytes).leftJustified(kImeiBytes, '0');
}

quint32 SbdMessage::nextCounter()
{
    return g_messageCounter.fetch_add(1, std::memory_order_relaxed) + 1;
}

QString SbdMessage::escaped(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c >= 0x20 && c < 0x7F)
                out += QLatin1Char(c);
            else
                out += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
        }
    }
    return out;
}
