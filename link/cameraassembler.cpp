// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cameraassembler.h"

#include "link/jpegheader.h"
#include "storage/datafolder.h"
#include "weather/stationtime.h"

#include <QDir>
#include <cmath>

namespace {

constexpr char kTrailer[] = "\r\n\r\n";
constexpr char kEndMarker[] = "\xff\xd9";

static_assert(JpegHeader::kSizeBytes +
                      CameraAssembler::kPayloadBytes * (CameraAssembler::kMaxStoredSequence + 1) +
                      CameraAssembler::kEndMarkerBytes <=
                  AssemblyBuffer::kSizeBytes,
              "the last stored slot must fit");
static_assert(JpegHeader::kSizeBytes +
                      CameraAssembler::kPayloadBytes * (CameraAssembler::kMaxStoredSequence + 2) +
                      CameraAssembler::kEndMarkerBytes >
                  AssemblyBuffer::kSizeBytes,
              "one slot more must not fit");

// Every byte as two lower-case hexadecimal digits and a blank, sixteen to a
// line: the raw view lays out again only the lines that a pass adds to, not
// one line of a thousand characters on every pass.
QString hexLines(const QByteArray &bytes)
{
    constexpr int kBytesPerLine = 16;
    static constexpr char kDigits[] = "0123456789abcdef";
    const int size = bytes.size();
    QString text(size * 3 + (size > 0 ? (size - 1) / kBytesPerLine * 2 : 0), Qt::Uninitialized);
    QChar *out = text.data();
    for (int i = 0; i < size; ++i) {
        if (i > 0 && i % kBytesPerLine == 0) {
            *out++ = QLatin1Char('\r');
            *out++ = QLatin1Char('\n');
        }
        const auto byte = quint8(bytes.at(i));
        *out++ = QLatin1Char(kDigits[byte >> 4]);
        *out++ = QLatin1Char(kDigits[byte & 0xf]);
        *out++ = QLatin1Char(' ');
    }
    return text;
}

int byteAt(const QByteArray &bytes, int index)
{
    return index < bytes.size() ? quint8(bytes.at(index)) : 0;
}

// The bytes of a packet whose trailer is wrong: the packet and its trailer,
// or less when the next packet's "@" already begins where the trailer should
// be (a trailer that was lost rather than damaged).
int damagedPacketBytes(const QByteArray &buffer)
{
    for (int at = CameraAssembler::kPacketBytes; at < CameraAssembler::kFramedPacketBytes; ++at) {
        if (buffer.at(at) == '@')
            return at;
    }
    return CameraAssembler::kFramedPacketBytes;
}

// The station time and the camera: what the packets of one picture share.
quint64 seriesKey(const QByteArray &buffer, int camera)
{
    quint64 key = '1';
    for (int i = 2; i < CameraAssembler::kHeaderBytes - 2; ++i)
        key = (key << 8) | quint8(buffer.at(i));
    return (key << 8) | quint64(camera);
}

} // namespace

CameraAssembler::CameraAssembler(AssemblyBuffer &block) : m_block(block) {}

int CameraAssembler::pictureBytes(int lastSequence)
{
    return JpegHeader::kSizeBytes + kPayloadBytes * (lastSequence + 1) + kEndMarkerBytes;
}

QString CameraAssembler::imageFileName(const QString &imei, const QString &stamp, int camera)
{
    const QString unit = DataFolder::unitName(imei);
    if (unit == QLatin1String(DataFolder::kNoUnitName))
        return QStringLiteral("%1_%2_Cam%3.jpg").arg(unit, stamp).arg(camera);
    return QStringLiteral("%1_20%2_Cam%3.jpg").arg(unit, stamp).arg(camera);
}

QString CameraAssembler::caption(int camera, const QString &orientation)
{
    bool ok = false;
    double heading = orientation.toDouble(&ok);
    if (!ok || !std::isfinite(heading))
        heading = 0;
    if (heading < 0)
        return QStringLiteral("Camera %1").arg(camera);
    const double view = std::fmod((camera - 1) * 90 + heading, 360.0);
    return QStringLiteral("Camera %1 (%2\u00b0)").arg(camera).arg(QString::number(view, 'g', 6));
}

CameraStep CameraAssembler::process(const QByteArray &buffer, const QString &imei, const QString &imagePath,
                                    const QString &orientation, const QDateTime &nowUtc, WriteHealth *health)
{
    CameraStep step;
    const int flags = byteAt(buffer, 8);
    const int n = byteAt(buffer, 9);
    step.camera = (flags >> 4) & 7;
    step.sequence = n;
    step.progressText = QStringLiteral("Camera %1 Data").arg(step.camera);
    step.progressMaximum = kProgressMaximum;
    step.progressValue = qMin(n, kProgressMaximum);

    step.rawViewText =
        QStringLiteral("Camera:%1 Packet:%2 Bytes:%3\r\n\r\n").arg(step.camera).arg(n).arg(buffer.size()) +
        hexLines(buffer);

    // The trailer is looked for right behind the packet, not at the end of the
    // buffer, so that a packet followed at once by the next one is still framed.
    if (buffer.size() < kFramedPacketBytes)
        return step;
    if (buffer.mid(kPacketBytes, kTrailerBytes) != kTrailer) {
        // A damaged packet is dropped at once, so that what follows it in the
        // same transmission is framed in this pass.
        step.complete = true;
        step.consumedBytes = damagedPacketBytes(buffer);
        step.debugLines << QStringLiteral(
                               "!!-- Error: Camera %1 packet %2 has a damaged trailer; packet dropped")
                               .arg(step.camera)
                               .arg(n);
        return step;
    }
    step.complete = true;
    step.consumedBytes = kFramedPacketBytes;
    step.packet = buffer.left(kPacketBytes);
    step.debugLines << QStringLiteral("Cam: %1, Seq: %2").arg(step.camera).arg(n);

    m_block.follow(seriesKey(buffer, step.camera), n);
    const int slot = JpegHeader::kSizeBytes + kPayloadBytes * n;
    if (n <= kMaxStoredSequence) {
        m_block.store(slot, buffer.constData() + kHeaderBytes, kPayloadBytes);
        m_block.store(slot + kPayloadBytes, kEndMarker, kEndMarkerBytes);
        m_block.markStored(n);
    }

    if ((flags & 0x0f) != kLastPacketCode)
        return step;
    step.last = true;
    m_block.endSeries();
    step.rawViewAppend = QStringLiteral("\r\nLast Packet of Image");
    step.progressValue = kProgressMaximum;

    // A last packet beyond the block would need bytes that were never stored
    // (and no end marker): such a picture is dropped, no file and no view.
    if (n > kMaxStoredSequence) {
        step.debugLines << QStringLiteral(
                               "!!-- Error: Image packet %1 lies beyond the assembly buffer; image not saved")
                               .arg(n);
        return step;
    }

    // The header goes in first, whatever happens to the file, so that the
    // picture shown never carries another transfer's bytes at its front.
    m_block.store(0, JpegHeader::bytes());
    step.missingPackets = m_block.clearMissing(JpegHeader::kSizeBytes, kPayloadBytes, n - 1);
    if (step.missingPackets > 0)
        step.debugLines << QStringLiteral(
                               "!!-- Error: Image lacks %1 of its %2 packets; their bytes are zero")
                               .arg(step.missingPackets)
                               .arg(n + 1);
    const QByteArray picture = m_block.copy(0, pictureBytes(n));

    const QString stamp = StationTime::getDateTime(buffer.left(kHeaderBytes), nowUtc);
    const QString path = QDir(imagePath).filePath(imageFileName(imei, stamp, step.camera));
    step.files = {{path, picture}};
    step.writes =
        DataFolder::ensure(imagePath)
            ? AtomicFile::writeNew(step.files)
            : QVector<WriteResult>{WriteResult::failure(path, DataFolder::cannotCreateText(imagePath))};
    step.files[0].path = step.writes[0].path;
    if (health)
        health->report(WriteHealth::Image, step.writes[0]);
    if (step.writes[0].ok) {
        step.filePath = step.writes[0].path;
        step.debugLines << QStringLiteral("    Image Output: ") + step.filePath;
    }

    if (step.camera >= 1 && step.camera <= 4) {
        step.picture = picture;
        step.caption = caption(step.camera, orientation);
        step.stamp = stamp;
    }
    return step;
}
