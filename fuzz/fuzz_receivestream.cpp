// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "link/receivestream.h"
#include "weather/weatherparser.h"

#include <QDir>

// Input: serial chunks separated by "||" plus one control byte. The control
// byte's bits 0-2 are the 100 ms ticks that pass before the chunk arrives
// (more than 5 is an idle gap), bit 5 keeps the power-up spaces running,
// bit 6 marks a pending configuration request and bit 7 replays the chunk as
// a demo file instead of appending it. The first chunk arrives at once.
//
// Each chunk runs one receive pass as the main window does: begin, the
// banner and prompt checks, then the framing loop with the weather,
// camera and acoustic steps, and a re-run 250 ms after an "SND" wait.
namespace {

const QByteArray kSeparator = QByteArrayLiteral("||");
constexpr int kTickBits = 0x07;
constexpr int kSpacesRunning = 0x20;
constexpr int kRequestPending = 0x40;
constexpr int kReplay = 0x80;
constexpr int kSndRerunTicks = 3; // the 250 ms single shot lies between the 2nd and 3rd tick

struct Station
{
    ReceiveStream stream;
    WeatherParser parser;
    CameraAssembler camera;
    AcousticAssembler acoustic;
    QString imagePath;
    QString audioPath;
    bool rerunPending = false;
};

void checkBound(const ReceiveStream &stream)
{
    fuzz::check(stream.buffer().size() <= ReceiveStream::kMaxBufferBytes, "receive buffer above its bound",
                QByteArray::number(stream.buffer().size()));
}

void weatherStep(Station &s)
{
    const QString text = s.stream.text();
    fuzz::check(text.startsWith(QLatin1String("@I")), "weather packet does not begin with @I");
    s.parser.setPacketText(text);
    s.parser.getImei();
    s.parser.getMode();
    const QByteArray slice = s.stream.forwardingSlice();
    fuzz::check(slice.isEmpty() || slice.startsWith("@0"), "forwarding slice does not begin with @0", slice);
    fuzz::check(!slice.contains('~'), "forwarding slice holds the end marker", slice);
    fuzz::check(s.stream.firmwareCode().size() <= 2, "firmware code longer than two characters");
    s.stream.auxiliaryPart();
    s.stream.finishWeather();
    fuzz::check(s.stream.buffer().isEmpty(), "buffer not empty after a weather packet");
    fuzz::check(!s.stream.sndWaitDone(), "SND wait still marked after a weather packet");
}

// Returns whether framing goes on.
bool binaryStep(Station &s, bool camera)
{
    const QByteArray before = s.stream.buffer();
    fuzz::check(before.startsWith(camera ? "@1" : "@2"), "binary step does not start at its header", before.left(16));
    int consumed = 0;
    bool complete = false;
    if (camera) {
        const CameraStep step = s.camera.process(before, s.parser.getImei(), s.imagePath, s.parser.getOrientation(),
                                                 fuzz::fixedNowUtc());
        if (!step.filePath.isEmpty())
            fuzz::checkAndRemove(step.filePath, s.imagePath, CameraAssembler::pictureBytes(step.sequence));
        fuzz::check(step.progressValue >= 0 && step.progressValue <= step.progressMaximum, "camera progress out of range");
        complete = step.complete;
        consumed = step.consumedBytes;
    } else {
        const AcousticStep step = s.acoustic.process(before, s.parser.getImei(), s.audioPath, fuzz::fixedNowUtc());
        for (const QString &path : step.filePaths)
            fuzz::checkAndRemove(path, s.audioPath);
        fuzz::check(step.progressValue >= 0 && step.progressValue <= step.progressMaximum,
                    "acoustic progress out of range");
        complete = step.complete;
        consumed = step.consumedBytes;
    }
    if (!complete)
        return false;
    fuzz::check(consumed > 0 && consumed <= before.size(), "consumed byte count out of range",
                QByteArray::number(consumed));
    s.stream.consume(consumed);
    fuzz::check(s.stream.buffer().size() < before.size(), "consume made no progress");
    return !s.stream.buffer().isEmpty();
}

void receivePass(Station &s, const QByteArray &bytes, int control)
{
    if (control & kReplay) {
        s.stream.begin(QByteArray());
        s.stream.replaceWith(bytes);
    } else {
        s.stream.begin(bytes);
    }
    checkBound(s.stream);

    s.stream.text();
    s.stream.isModeEcho();
    s.stream.isPowerUpBanner();
    const QByteArray outgoing = (control & kSpacesRunning) ? QByteArray(80, ' ') : QByteArray("m3\r");
    s.stream.isPrompt(outgoing, control & kRequestPending);
    s.stream.lastIdLine();
    s.stream.lastKindLine();

    // Every turn of the loop either ends it or removes bytes.
    for (bool framing = true; framing;) {
        const bool sndWaitBefore = s.stream.sndWaitDone();
        switch (s.stream.frame()) {
        case ReceiveStream::Kind::Weather:
            weatherStep(s);
            framing = false;
            break;
        case ReceiveStream::Kind::SndWait:
            fuzz::check(!sndWaitBefore, "a second SND wait for the same packet");
            fuzz::check(!s.stream.buffer().contains("SND"), "SND wait although SND is there");
            fuzz::check(s.stream.idleTicks() == 0, "SND wait without restarting the idle count");
            s.rerunPending = true;
            return;
        case ReceiveStream::Kind::Camera:
            framing = binaryStep(s, true);
            break;
        case ReceiveStream::Kind::Acoustic:
            framing = binaryStep(s, false);
            break;
        case ReceiveStream::Kind::Nothing:
            framing = false;
            break;
        }
        checkBound(s.stream);
    }
    s.stream.endPass();
}

void ticksThenPass(Station &s, int ticks, const QByteArray &bytes, int control)
{
    for (int t = 0; t < ticks; ++t) {
        s.stream.tick();
        if (s.rerunPending && t + 1 == kSndRerunTicks - 1) {
            s.rerunPending = false;
            s.stream.sndRerun();
            receivePass(s, QByteArray(), 0);
        }
    }
    receivePass(s, bytes, control);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString imagePath = fuzz::scratchFolder() + QStringLiteral("/stream/Image");
    static const QString audioPath = fuzz::scratchFolder() + QStringLiteral("/stream/Audio");
    QDir().mkpath(imagePath);
    QDir().mkpath(audioPath);

    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    Station s{ReceiveStream(), WeatherParser(), CameraAssembler(), AcousticAssembler(), imagePath, audioPath, false};

    int from = 0;
    int control = 0;
    while (from <= input.size()) {
        int next = input.indexOf(kSeparator, from);
        if (next < 0)
            next = input.size();
        ticksThenPass(s, control & kTickBits, input.mid(from, next - from), control);
        if (next + kSeparator.size() >= input.size())
            break;
        control = quint8(input.at(next + kSeparator.size()));
        from = next + kSeparator.size() + 1;
    }
    if (s.rerunPending)
        ticksThenPass(s, kSndRerunTicks - 1, QByteArray(), 0);
    return 0;
}
