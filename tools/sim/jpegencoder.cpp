// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/jpegencoder.h"

#include "link/jpegheader.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int kWidth = JpegHeader::kWidthPixels;
constexpr int kHeight = JpegHeader::kHeightPixels;
constexpr int kMcuWidth = 16;
constexpr int kMcuHeight = 8;

using Block = std::array<float, 64>;

struct HuffmanCodes
{
    std::array<quint16, 256> code{};
    std::array<quint8, 256> length{};
};

// Code assignment of T.81 Annex C: canonical codes in order of length.
HuffmanCodes makeCodes(const JpegHeader::HuffmanTable &table)
{
    HuffmanCodes codes;
    int code = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.counts[length - 1]; ++i, ++k) {
            codes.code[table.values[k]] = quint16(code++);
            codes.length[table.values[k]] = quint8(length);
        }
        code <<= 1;
    }
    return codes;
}

class BitWriter
{
public:
    explicit BitWriter(QByteArray &out) : m_out(out) {}

    void put(quint32 bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = (m_byte << 1) | ((bits >> i) & 1);
            if (++m_used == 8)
                emitByte();
        }
    }

    void put(const HuffmanCodes &codes, int symbol) { put(codes.code[symbol], codes.length[symbol]); }

    // The last byte is filled with 1 bits.
    void finish()
    {
        while (m_used != 0)
            put(1, 1);
    }

private:
    void emitByte()
    {
        m_out.append(char(m_byte));
        if (m_byte == 0xff)
            m_out.append('\0'); // byte stuffing: FF in the data is never a marker
        m_byte = 0;
        m_used = 0;
    }

    QByteArray &m_out;
    quint32 m_byte = 0;
    int m_used = 0;
};

int magnitudeBits(int value)
{
    int magnitude = value < 0 ? -value : value;
    int bits = 0;
    while (magnitude > 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

// Low "bits" bits of a coefficient as T.81 F.1.2.1 writes them: negative values
// as their one's complement.
quint32 magnitudeCode(int value, int bits)
{
    return quint32(value < 0 ? value + (1 << bits) - 1 : value) & ((1u << bits) - 1);
}

const std::array<float, 64> &dctBasis()
{
    static const std::array<float, 64> basis = [] {
        std::array<float, 64> result{};
        const double pi = std::acos(-1.0);
        for (int u = 0; u < 8; ++u) {
            const double scale = u == 0 ? std::sqrt(0.125) : 0.5;
            for (int x = 0; x < 8; ++x)
                result[u * 8 + x] = float(scale * std::cos((2 * x + 1) * u * pi / 16));
        }
        return result;
    }();
    return basis;
}

// Two-dimensional DCT-II of a level-shifted block, row-major in and out.
Block forwardDct(const Block &samples)
{
    const auto &basis = dctBasis();
    Block rows{};
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int x = 0; x < 8; ++x)
                sum += basis[u * 8 + x] * samples[y * 8 + x];
            rows[y * 8 + u] = sum;
        }
    Block result{};
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int y = 0; y < 8; ++y)
                sum += basis[v * 8 + y] * rows[y * 8 + u];
            result[v * 8 + u] = sum;
        }
    return result;
}

class ScanEncoder
{
public:
    explicit ScanEncoder(QByteArray &out)
        : m_bits(out), m_dc{makeCodes(JpegHeader::dcTable(JpegHeader::Luminance)),
                            makeCodes(JpegHeader::dcTable(JpegHeader::Chrominance))},
          m_ac{makeCodes(JpegHeader::acTable(JpegHeader::Luminance)),
               makeCodes(JpegHeader::acTable(JpegHeader::Chrominance))},
          m_quant{JpegHeader::quantTable(JpegHeader::Luminance),
                  JpegHeader::quantTable(JpegHeader::Chrominance)}
    {
    }

    // component: 0 Y, 1 Cb, 2 Cr; samples level-shifted to -128..127.
    void encodeBlock(int component, const Block &samples)
    {
        const int table = component == 0 ? 0 : 1;
        const Block coefficients = forwardDct(samples);
        const auto &zigZag = JpegHeader::zigZag();
        std::array<int, 64> quantised{};
        for (int k = 0; k < 64; ++k)
            quantised[k] = int(std::lround(coefficients[zigZag[k]] / m_quant[table][k]));

        const int difference = quantised[0] - m_previousDc[component];
        m_previousDc[component] = quantised[0];
        const int dcBits = magnitudeBits(difference);
        m_bits.put(m_dc[table], dcBits);
        m_bits.put(magnitudeCode(difference, dcBits), dcBits);

        int run = 0;
        for (int k = 1; k < 64; ++k) {
            const int value = quantised[k];
            if (value == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16)
                m_bits.put(m_ac[table], 0xf0); // sixteen zeros
            const int bits = magnitudeBits(value);
            m_bits.put(m_ac[table], (run << 4) | bits);
            m_bits.put(magnitudeCode(value, bits), bits);
            run = 0;
        }
        if (run > 0)
            m_bits.put(m_ac[table], 0x00); // end of block
    }

    void finish() { m_bits.finish(); }

private:
    BitWriter m_bits;
    HuffmanCodes m_dc[2];
    HuffmanCodes m_ac[2];
    std::array<std::uint8_t, 64> m_quant[2];
    int m_previousDc[3] = {0, 0, 0};
};

} // namespace

QByteArray JpegEncoder::encodeScan(const QImage &image)
{
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.size() != QSize(kWidth, kHeight))
        rgb = rgb.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    // JFIF colour transform, level-shifted by 128.
    std::vector<float> y(kWidth * kHeight), cb(kWidth * kHeight), cr(kWidth * kHeight);
    for (int row = 0; row < kHeight; ++row) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(row));
        for (int column = 0; column < kWidth; ++column) {
            const float r = float(qRed(line[column]));
            const float g = float(qGreen(line[column]));
            const float b = float(qBlue(line[column]));
            const int i = row * kWidth + column;
            y[i] = 0.299f * r + 0.587f * g + 0.114f * b - 128;
            cb[i] = -0.168736f * r - 0.331264f * g + 0.5f * b;
            cr[i] = 0.5f * r - 0.418688f * g - 0.081312f * b;
        }
    }

    QByteArray out;
    ScanEncoder encoder(out);
    Block block{};
    for (int top = 0; top < kHeight; top += kMcuHeight) {
        for (int left = 0; left < kWidth; left += kMcuWidth) {
            for (int half = 0; half < 2; ++half) {
                for (int i = 0; i < 64; ++i)
                    block[i] = y[(top + i / 8) * kWidth + left + 8 * half + i % 8];
                encoder.encodeBlock(0, block);
            }
            // Chrominance covers the whole MCU at half the horizontal resolution.
            for (int component = 1; component <= 2; ++component) {
                const std::vector<float> &plane = component == 1 ? cb : cr;
                for (int i = 0; i < 64; ++i) {
                    const int at = (top + i / 8) * kWidth + left + 2 * (i % 8);
                    block[i] = (plane[at] + plane[at + 1]) / 2;
                }
                encoder.encodeBlock(component, block);
            }
        }
    }
    encoder.finish();
    return out;
}

QByteArray JpegEncoder::encode(const QImage &image)
{
    return JpegHeader::bytes() + encodeScan(image) + QByteArray("\xff\xd9", 2);
}

QList<QByteArray> JpegEncoder::splitScan(const QByteArray &scan)
{
    QList<QByteArray> packets;
    for (int offset = 0; offset < scan.size(); offset += kPacketPayloadBytes)
        packets.append(scan.mid(offset, kPacketPayloadBytes));
    if (!packets.isEmpty())
        packets.last() = packets.last().leftJustified(kPacketPayloadBytes, char(0xff));
    return packets;
}

QList<QByteArray> JpegEncoder::scanPackets(const QImage &image)
{
    return splitScan(encodeScan(image));
}
