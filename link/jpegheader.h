// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// The fixed JFIF header that is put in front of the scan data the station's
// cameras send: baseline, 320 x 240 pixels, Y sampled 2 x 1 against Cb and Cr,
// quality-75 quantisation and the standard Huffman tables. The tables are
// public so that an encoder can produce scan data that fits this header.
class JpegHeader
{
public:
    static constexpr int kSizeBytes = 632;
    static constexpr int kWidthPixels = 320;
    static constexpr int kHeightPixels = 240;
    static constexpr int kQuality = 75;

    // Table 0 serves the luminance component, table 1 both chrominance components.
    enum Table { Luminance = 0, Chrominance = 1 };

    struct HuffmanTable
    {
        std::array<std::uint8_t, 16> counts; // number of codes of length 1 to 16
        const std::uint8_t *values;          // symbols in code order
        int valueCount;
    };

    // The complete 632-byte header, from SOI up to and including the SOS segment.
    static QByteArray build();
    // The same bytes, built once.
    static const QByteArray &bytes();

    // Quantisation table in zig-zag order, as written in the DQT segment.
    static std::array<std::uint8_t, 64> quantTable(Table table);
    static HuffmanTable dcTable(Table table);
    static HuffmanTable acTable(Table table);
    // zigZag()[k] is the row-major index (row * 8 + column) of zig-zag position k.
    static const std::array<std::uint8_t, 64> &zigZag();
};
