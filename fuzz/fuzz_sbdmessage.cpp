// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "forwarding/sbdmessage.h"

#include <cstring>

// Input, read twice: as a message off the network (parse must never crash,
// and what it accepts must build back to the same bytes), and as the parts of
// a message to build: counter (4 bytes), send time (4), IMEI length (1), the
// IMEI, then the payload. A built message must parse back to its parts.
namespace {

// Session status, MO and MT sequence numbers inside a whole message.
constexpr int kStatusOffset = 25;
constexpr int kStatusBytes = 5;

quint32 readU32(const uint8_t *data)
{
    return (quint32(data[0]) << 24) | (quint32(data[1]) << 16) | (quint32(data[2]) << 8) | quint32(data[3]);
}

void checkPrintable(const QString &text)
{
    for (const QChar c : text)
        fuzz::check(c.unicode() >= 0x20 && c.unicode() < 0x7f, "escaped text holds an unprintable character");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));

    const int length = SbdMessage::messageLength(input);
    fuzz::check(length >= -1 && length <= SbdMessage::kMaxMessageBytes, "message length out of range");
    checkPrintable(SbdMessage::escaped(input));

    SbdMessage received;
    if (SbdMessage::parse(input, &received)) {
        fuzz::check(length == input.size(), "accepted a message whose length field disagrees");
        fuzz::check(received.imei.size() == SbdMessage::kImeiBytes, "accepted IMEI of the wrong size");
        // Only the two known elements in their usual order rebuild byte for byte.
        const QByteArray rebuilt = SbdMessage::build(received.counter, received.imei, received.sendTime,
                                                     received.payload);
        SbdMessage again;
        fuzz::check(SbdMessage::parse(rebuilt, &again), "rebuilt message does not parse");
        fuzz::check(again.counter == received.counter && again.imei == received.imei
                        && again.sendTime == received.sendTime && again.payload == received.payload,
                    "rebuilt message differs");
        // The status and the two sequence fields are not decoded (always 0 here).
        if (input.size() == SbdMessage::kOverheadBytes + received.payload.size()) {
            QByteArray plain = input;
            plain.replace(kStatusOffset, kStatusBytes, QByteArray(kStatusBytes, '\0'));
            fuzz::check(rebuilt == plain, "plain message does not rebuild to the same bytes");
        }
    }

    if (size < 9)
        return 0;
    const quint32 counter = readU32(data);
    const quint32 sendTime = readU32(data + 4);
    const int imeiBytes = qMin<int>(data[8] & 0x1f, int(size) - 9);
    const QByteArray imei(reinterpret_cast<const char *>(data) + 9, imeiBytes);
    const QByteArray payload(reinterpret_cast<const char *>(data) + 9 + imeiBytes, int(size) - 9 - imeiBytes);

    const QByteArray message = SbdMessage::build(counter, imei, sendTime, payload);
    fuzz::check(message.size() == SbdMessage::kOverheadBytes + payload.size(), "built message has the wrong size");
    fuzz::check(SbdMessage::messageLength(message) == message.size(), "length field disagrees with the size");
    SbdMessage decoded;
    fuzz::check(SbdMessage::parse(message, &decoded), "built message does not parse");
    fuzz::check(decoded.counter == counter, "counter lost");
    fuzz::check(decoded.sendTime == sendTime, "send time lost");
    fuzz::check(decoded.imei == SbdMessage::fixedImei(imei), "IMEI lost");
    fuzz::check(decoded.payload == payload, "payload lost");

    // A message cut short or extended is no longer one message.
    if (!message.isEmpty()) {
        fuzz::check(!SbdMessage::parse(message.left(message.size() - 1), nullptr), "accepted a truncated message");
        fuzz::check(!SbdMessage::parse(message + '\0', nullptr), "accepted trailing bytes");
    }
    return 0;
}
