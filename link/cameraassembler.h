// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/assemblybuffer.h"
#include "link/packetstep.h"
#include "storage/writehealth.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// What one camera packet step asks of the window.
struct CameraStep : PacketStep
{
    int camera = 0;     // 0 to 7; views exist for 1 to 4
    QByteArray packet;  // header and scan data of a complete packet, for forwarding
    QString filePath;   // the picture file written, or empty (see PacketStep::files)
    QByteArray picture; // JPEG to show in the camera's view; empty when nothing is shown
    QString caption;    // the camera's caption, set together with the picture
    QString stamp;      // when it was taken: "yyMMdd_hhmmssZ_KTRtime" (or "_PCtime")
};

// Puts the scan data of camera packets together behind the fixed JPEG header,
// and on a picture's last packet writes the file and hands back the picture.
// The scan bytes of a packet that never arrived are zero in the file. A
// picture whose name is taken (same station time and camera) is kept beside
// the earlier one under a numbered name ("..._Cam2_2.jpg").
//
// Packet: "@1", six time bytes, flags (camera in bits 4-6, 0x0B in bits 0-3 on
// the last packet), sequence number n, 330 scan bytes, "\r\n\r\n". Packet n
// lands at offset 632 + 330 n of the assembly block, with the end-of-image
// marker behind it.
class CameraAssembler
{
public:
    static constexpr int kHeaderBytes = 10;
    static constexpr int kPayloadBytes = 330;
    static constexpr int kPacketBytes = kHeaderBytes + kPayloadBytes;
    static constexpr int kTrailerBytes = 4;
    static constexpr int kFramedPacketBytes = kPacketBytes + kTrailerBytes;
    static constexpr int kProgressMaximum = 44;
    static constexpr int kLastPacketCode = 0x0b;
    static constexpr int kEndMarkerBytes = 2;
    // The highest n whose scan bytes and end marker fit into the block (195).
    static constexpr int kMaxStoredSequence = 195;

    explicit CameraAssembler(AssemblyBuffer &block = AssemblyBuffer::shared());

    // One step over the receive buffer, whose first byte is the packet's "@".
    // A packet whose trailer is wrong is complete but stores nothing: it is
    // reported and its bytes consumed.
    // imei may be empty; orientation is the station's heading field as text.
    // The picture file's write goes to health (as an image write) when given.
    CameraStep process(const QByteArray &buffer, const QString &imei, const QString &imagePath,
                       const QString &orientation, const QDateTime &nowUtc, WriteHealth *health = nullptr);

    // "<unit>_20<stamp>_Cam<c>.jpg", or "000000000000000_<stamp>_Cam<c>.jpg" without a unit.
    static QString imageFileName(const QString &imei, const QString &stamp, int camera);
    // "Camera c (h°)" with h = ((c - 1) * 90 + orientation) mod 360, or "Camera c"
    // when the orientation is negative; a text that is not a number reads 0.
    static QString caption(int camera, const QString &orientation);
    // Size of a picture whose last packet is n: header, n + 1 packets, end marker.
    static int pictureBytes(int lastSequence);

private:
    AssemblyBuffer &m_block;
};
