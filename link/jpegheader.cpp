// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/jpegheader.h"

namespace {

// ITU-T T.81 Annex K, tables K.1 and K.2, row-major.
constexpr std::uint8_t kLuminanceBase[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  //
    12, 12, 14, 19, 26,  58,  60,  55,  //
    14, 13, 16, 24, 40,  57,  69,  56,  //
    14, 17, 22, 29, 51,  87,  80,  62,  //
    18, 22, 37, 56, 68,  109, 103, 77,  //
    24, 35, 55, 64, 81,  104, 113, 92,  //
    49, 64, 78, 87, 103, 121, 120, 101, //
    72, 92, 95, 98, 112, 100, 103, 99,
};
constexpr std::uint8_t kChrominanceBase[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, //
    18, 21, 26, 66, 99, 99, 99, 99, //
    24, 26, 56, 99, 99, 99, 99, 99, //
    47, 66, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99, //
    99, 99, 99, 99, 99, 99, 99, 99,
};

// Tables K.3 to K.6.
constexpr std::uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<std::uint8_t, 16> kDcLuminanceCounts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> kDcChrominanceCounts = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> kAcLuminanceCounts = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr std::uint8_t kAcLuminanceValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};
constexpr std::array<std::uint8_t, 16> kAcChrominanceCounts = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr std::uint8_t kAcChrominanceValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};

void appendWord(QByteArray &out, int value)
{
    out.append(char((value >> 8) & 0xff));
    out.append(char(value & 0xff));
}

void appendMarker(QByteArray &out, std::uint8_t code, int payloadBytes)
{
    out.append(char(0xff));
    out.append(char(code));
    appendWord(out, payloadBytes + 2); // the length counts itself
}

void appendQuantSegment(QByteArray &out, JpegHeader::Table table)
{
    appendMarker(out, 0xdb, 1 + 64);
    out.append(char(table)); // 8-bit precision in the high nibble
    for (const std::uint8_t q : JpegHeader::quantTable(table))
        out.append(char(q));
}

void appendHuffmanSegment(QByteArray &out, int tableClass, JpegHeader::Table table,
                          const JpegHeader::HuffmanTable &huffman)
{
    appendMarker(out, 0xc4, 1 + 16 + huffman.valueCount);
    out.append(char((tableClass << 4) | table));
    for (const std::uint8_t count : huffman.counts)
        out.append(char(count));
    out.append(reinterpret_cast<const char *>(huffman.values), huffman.valueCount);
}

} // namespace

const std::array<std::uint8_t, 64> &JpegHeader::zigZag()
{
    static const std::array<std::uint8_t, 64> order = [] {
        std::array<std::uint8_t, 64> result{};
        int row = 0;
        int column = 0;
        for (auto &index : result) {
            index = std::uint8_t(row * 8 + column);
            if ((row + column) % 2 == 0) { // moving up and to the right
                if (column == 7)
                    ++row;
                else if (row == 0)
                    ++column;
                else {
                    --row;
                    ++column;
                }
            } else { // moving down and to the left
                if (row == 7)
                    ++column;
                else if (column == 0)
                    ++row;
                else {
                    ++row;
                    --column;
                }
            }
        }
        return result;
    }();
    return order;
}

std::array<std::uint8_t, 64> JpegHeader::quantTable(Table table)
{
    const std::uint8_t *base = table == Luminance ? kLuminanceBase : kChrominanceBase;
    // The IJG rule: qualities of 50 and above scale by 200 - 2 * quality percent.
    constexpr int scalePercent = 200 - 2 * kQuality;
    std::array<std::uint8_t, 64> result{};
    for (int k = 0; k < 64; ++k) {
        int value = (base[zigZag()[k]] * scalePercent + 50) / 100;
        if (value < 1)
            value = 1;
        if (value > 255)
            value = 255;
        result[k] = std::uint8_t(value);
    }
    return result;
}

JpegHeader::HuffmanTable JpegHeader::dcTable(Table table)
{
    return {table == Luminance ? kDcLuminanceCounts : kDcChrominanceCounts, kDcValues, int(sizeof kDcValues)};
}

JpegHeader::HuffmanTable JpegHeader::acTable(Table table)
{
    if (table == Luminance)
        return {kAcLuminanceCounts, kAcLuminanceValues, int(sizeof kAcLuminanceValues)};
    return {kAcChrominanceCounts, kAcChrominanceValues, int(sizeof kAcChrominanceValues)};
}

QByteArray JpegHeader::build()
{
    QByteArray out;
    out.reserve(kSizeBytes);

    out.append("\xff\xd8", 2);

    appendMarker(out, 0xe0, 14);
    out.append("JFIF", 5); // with its terminating zero
    out.append(char(1));   // version 1.1
    out.append(char(1));
    out.append(char(1)); // density in dots per inch
    appendWord(out, 96);
    appendWord(out, 96);
    out.append(char(0)); // no thumbnail
    out.append(char(0));

    appendMarker(out, 0xfe, 5);
    out.append("QOVEX", 5);

    appendQuantSegment(out, Luminance);
    appendQuantSegment(out, Chrominance);

    appendMarker(out, 0xc0, 15);
    out.append(char(8));
    appendWord(out, kHeightPixels);
    appendWord(out, kWidthPixels);
    out.append(char(3));
    out.append("\x01\x21\x00", 3); // Y: 2 x 1, table 0
    out.append("\x02\x11\x01", 3); // Cb: 1 x 1, table 1
    out.append("\x03\x11\x01", 3); // Cr: 1 x 1, table 1

    appendHuffmanSegment(out, 0, Luminance, dcTable(Luminance));
    appendHuffmanSegment(out, 1, Luminance, acTable(Luminance));
    appendHuffmanSegment(out, 0, Chrominance, dcTable(Chrominance));
    appendHuffmanSegment(out, 1, Chrominance, acTable(Chrominance));

    appendMarker(out, 0xda, 10);
    out.append(char(3));
    out.append("\x01\x00", 2);
    out.append("\x02\x11", 2);
    out.append("\x03\x11", 2);
    out.append(char(0));  // spectral selection start
    out.append(char(63)); // spectral selection end
    out.append(char(0));  // successive approximation
    return out;
}

const QByteArray &JpegHeader::bytes()
{
    static const QByteArray header = build();
    return header;
}
