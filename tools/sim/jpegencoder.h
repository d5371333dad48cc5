// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// A small baseline JPEG encoder that writes exactly what the station's cameras
// send: 320 x 240 pixels, MCUs of 16 x 8 pixels (two Y blocks, one Cb, one Cr)
// and the tables of JpegHeader. Its scan data therefore decodes behind that
// fixed header, which is how the program puts pictures together.
class JpegEncoder
{
public:
    static constexpr int kPacketPayloadBytes = 330;

    // Images of another size are scaled to 320 x 240 first.
    // The complete file: JpegHeader::bytes(), the scan data, FF D9.
    static QByteArray encode(const QImage &image);
    // Only the entropy-coded scan data, byte-stuffed and padded with 1 bits.
    static QByteArray encodeScan(const QImage &image);
    // The scan data in 330-byte packet payloads; the last one is filled up with
    // 0xFF, which a decoder skips as fill bytes in front of the end marker.
    static QList<QByteArray> splitScan(const QByteArray &scan);
    static QList<QByteArray> scanPackets(const QImage &image);
};
