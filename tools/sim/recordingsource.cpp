// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/recordingsource.h"

#include <algorithm>
#include <cmath>

namespace {

// A small generator of its own: the library distributions differ between
// platforms, and the results must not.
class Noise
{
public:
    explicit Noise(quint32 seed) : m_state(seed * 2654435761u + 0x9e3779b9u) {}

    quint32 next()
    {
        // xorshift32; the state never becomes zero from a non-zero start.
        if (m_state == 0)
            m_state = 0x6d2b79f5u;
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

    // -range .. range
    int spread(int range) { return int(next() % quint32(2 * range + 1)) - range; }

private:
    quint32 m_state;
};

} // namespace

QVector<int> RecordingSource::spectralLevels(quint32 seed)
{
    Noise noise(seed);
    QVector<int> levels(kSpectralValueCount, 0);
    const int seconds = kBlockCount - 1;
    // Wind noise falls off with frequency; a vehicle passes in seconds 8 to 16
    // and lifts the middle bands.
    for (int block = 1; block < kBlockCount; ++block) {
        const int second = (block - 1) * 2;
        const double passing = std::max(0.0, 1.0 - std::abs(second - 12) / 5.0);
        for (int band = 0; band < kBandCount; ++band) {
            const double base = 64.0 - 1.4 * band;
            const double hump = 18.0 * passing * std::exp(-std::pow((band - 9) / 4.0, 2));
            const int level = int(std::lround(base + hump)) + noise.spread(3);
            levels[block * kBandCount + band] = std::clamp(level, 0, kLevelMax);
        }
    }
    for (int band = 0; band < kBandCount; ++band) {
        int sum = 0;
        for (int block = 1; block < kBlockCount; ++block)
            sum += levels[block * kBandCount + band];
        levels[band] = (sum + seconds / 2) / seconds;
    }
    return levels;
}

QByteArray RecordingSource::packSevenBit(const QVector<int> &values)
{
    QByteArray out((values.size() * 7 + 7) / 8, '\0');
    for (int k = 0; k < values.size(); ++k) {
        const int value = std::clamp(values.at(k), 0, kLevelMax);
        for (int i = 0; i < 7; ++i) {
            if ((value >> (6 - i)) & 1) {
                const int bit = 7 * k + i;
                out[bit / 8] = char(quint8(out.at(bit / 8)) | (0x80 >> (bit % 8)));
            }
        }
    }
    return out;
}

QByteArray RecordingSource::spectralBlock(quint32 seed)
{
    return packSevenBit(spectralLevels(seed));
}

QVector<quint16> RecordingSource::toneSamples(double frequencyHz, int amplitude)
{
    const double pi = std::acos(-1.0);
    QVector<quint16> samples(kRawSampleCount);
    for (int i = 0; i < kRawSampleCount; ++i) {
        const double value = kSampleMid + amplitude * std::sin(2 * pi * frequencyHz * i / kSampleRateHz);
        samples[i] = quint16(std::clamp(int(std::lround(value)), 0, kSampleMax));
    }
    return samples;
}

QByteArray RecordingSource::packTwelveBit(const QVector<quint16> &samples)
{
    QByteArray out;
    out.reserve((samples.size() + 1) / 2 * 3);
    for (int i = 0; i < samples.size(); i += 2) {
        const int first = std::min<int>(samples.at(i), kSampleMax);
        const int second = i + 1 < samples.size() ? std::min<int>(samples.at(i + 1), kSampleMax) : 0;
        out.append(char(first & 0xff));
        out.append(char(second & 0xff));
        out.append(char((first >> 8) | ((second >> 8) << 4)));
    }
    return out;
}

QByteArray RecordingSource::rawTone(double frequencyHz, int amplitude)
{
    return packTwelveBit(toneSamples(frequencyHz, amplitude));
}
