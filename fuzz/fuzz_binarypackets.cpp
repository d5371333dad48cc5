// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "weather/stationtime.h"

#include <QDir>

// Input: one selector byte, then binary packets back to back (any flags, any
// sequence number, any length). Bits 0-1 of the selector pick the unit's
// IMEI, bits 2-3 the orientation, bit 4 whether the bytes go to the camera
// or the acoustic step. Packets are stepped through as the receive pass does:
// a complete packet is cut off the front and the rest is stepped again.
namespace {

const char *const kImeis[] = {"300234063909321", "", "../../x/..", "30023406390932\xc3\xa9/\\:*"};
const char *const kOrientations[] = {"271.3", "?", "-12", "1e308"};
constexpr int kCameraBit = 0x10;
constexpr int kMaxSteps = 400;

void checkStamp(const QString &stamp)
{
    for (const QChar c : stamp)
        fuzz::check(c.isLetterOrNumber() || c == QLatin1Char('_'), "file stamp holds a character unsafe in a name",
                    stamp.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString imagePath = fuzz::scratchFolder() + QStringLiteral("/binary/Image");
    static const QString audioPath = fuzz::scratchFolder() + QStringLiteral("/binary/Audio");
    static CameraAssembler camera;
    static AcousticAssembler acoustic;
    if (size < 1)
        return 0;

    const int selector = data[0];
    const QString imei = QString::fromUtf8(kImeis[selector & 3]);
    const QString orientation = QLatin1String(kOrientations[(selector >> 2) & 3]);
    QByteArray buffer(reinterpret_cast<const char *>(data) + 1, int(size) - 1);

    const QDateTime now = fuzz::fixedNowUtc();
    checkStamp(StationTime::getDateTime(buffer, now));
    StationTime::getDateTimeSpectral(buffer, now);

    for (int steps = 0; steps < kMaxSteps && !buffer.isEmpty(); ++steps) {
        int consumed = 0;
        if (selector & kCameraBit) {
            const CameraStep step = camera.process(buffer, imei, imagePath, orientation, now);
            fuzz::check(step.camera >= 0 && step.camera <= 7, "camera number out of range");
            fuzz::check(step.progressValue >= 0 && step.progressValue <= step.progressMaximum,
                        "camera progress out of range");
            if (!step.filePath.isEmpty()) {
                fuzz::check(step.sequence <= CameraAssembler::kMaxStoredSequence, "picture written beyond the block");
                fuzz::checkAndRemove(step.filePath, imagePath, CameraAssembler::pictureBytes(step.sequence));
            }
            if (!step.picture.isEmpty())
                fuzz::check(step.picture.size() == CameraAssembler::pictureBytes(step.sequence)
                                && step.picture.startsWith("\xff\xd8") && step.picture.endsWith("\xff\xd9"),
                            "shown picture is not the assembled JPEG");
            if (!step.packet.isEmpty())
                fuzz::check(step.packet == buffer.left(CameraAssembler::kPacketBytes), "forwarded packet differs");
            if (!step.complete)
                break;
            consumed = step.consumedBytes;
        } else {
            const AcousticStep step = acoustic.process(buffer, imei, audioPath, now);
            fuzz::check(step.type >= 0 && step.type <= 3, "acoustic type out of range");
            fuzz::check(step.recordingNumber >= 0 && step.recordingNumber <= 31, "recording number out of range");
            fuzz::check(step.progressValue >= 0 && step.progressValue <= step.progressMaximum,
                        "acoustic progress out of range");
            for (const QString &path : step.filePaths)
                fuzz::checkAndRemove(path, audioPath);
            if (!step.complete)
                break;
            consumed = step.consumedBytes;
        }
        fuzz::check(consumed > 0 && consumed <= buffer.size(), "consumed byte count out of range");
        buffer.remove(0, consumed);
    }
    return 0;
}
