// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QVector>

// Made-up acoustic results in the forms the station's acoustic sensor sends
// them: a spectral summary, an MP3 recording and a raw recording. All of them
// are pure functions of their arguments, the same bytes on every platform.
class RecordingSource
{
public:
    // Spectral summary: 16 blocks of 21 one-third-octave band levels, block 0
    // the average of the other 15 (seconds 0, 2, ... 28), each level 7 bits.
    static constexpr int kBandCount = 21;
    static constexpr int kBlockCount = 16;
    static constexpr int kSpectralValueCount = kBandCount * kBlockCount;     // 336
    static constexpr int kSpectralBytes = (kSpectralValueCount * 7 + 7) / 8; // 294
    static constexpr int kLevelMax = 127;

    // Raw recording: one second of 12-bit samples at 16 kHz, two samples in three bytes.
    static constexpr int kSampleRateHz = 16000;
    static constexpr int kRawSampleCount = kSampleRateHz;
    static constexpr int kRawBytes = kRawSampleCount / 2 * 3; // 24000
    static constexpr int kSampleMax = 4095;
    static constexpr int kSampleMid = 2048;

    // The MP3 recording: two seconds of a 440 Hz tone (tone.mp3).
    static constexpr int kMp3DurationMs = 2000;

    // The 336 levels of one recording. The seed varies the site's noise.
    static QVector<int> spectralLevels(quint32 seed);
    // Seven-bit values packed most significant bit first, value k at bit 7 k;
    // values are clamped to 0..127, the last byte is filled with zero bits.
    static QByteArray packSevenBit(const QVector<int> &values);
    // packSevenBit(spectralLevels(seed)): 294 bytes.
    static QByteArray spectralBlock(quint32 seed);

    // Real MPEG audio that any player decodes, made with lame.
    static QByteArray mp3Recording();

    // A sine tone around the mid level, 16000 samples of 12 bits.
    static QVector<quint16> toneSamples(double frequencyHz, int amplitude);
    // Two samples in three bytes b0 b1 b2 such that the first is
    // b0 + 256 (b2 & 0x0F) and the second b1 + 16 (b2 & 0xF0). An odd last
    // sample is paired with a zero one; samples are clamped to 12 bits.
    static QByteArray packTwelveBit(const QVector<quint16> &samples);
    // packTwelveBit(toneSamples(...)): 24000 bytes.
    static QByteArray rawTone(double frequencyHz, int amplitude);
};
