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
#include <QVector>

// What one acoustic packet step asks of the window.
struct AcousticStep : PacketStep
{
    int type = 0; // AcousticAssembler::DataType
    int recordingNumber = 0;
    QStringList filePaths; // files written, in order
};

// Puts acoustic packets together in the assembly block and, on the last
// packet, writes the result to the audio folder: a spectral summary as text,
// an MP3 recording as sent, a raw recording as a WAV file plus a headerless
// ".raw" copy of its samples. Payload bytes of packets that never arrived are
// zero in the files. A result whose names are taken (same station time and
// recording) is kept beside the earlier one under numbered names
// ("..._WAV_05_2.wav" with "..._RAW_05_2.raw").
//
// Packet: "@2", six time bytes, flags (bit 0 last, bits 1-2 type, bits 3-7
// recording number), sequence number n, 330 payload bytes stored at 330 n.
class AcousticAssembler
{
public:
    enum DataType
    {
        Spectral = 0,
        Mp3 = 1,
        Raw = 2,
        Unknown = 3
    };

    static constexpr int kHeaderBytes = 10;
    static constexpr int kPayloadBytes = 330;
    static constexpr int kPacketBytes = kHeaderBytes + kPayloadBytes;
    // The highest n whose payload fits into the block (197).
    static constexpr int kMaxStoredSequence = 197;

    static constexpr int kSpectralBytes = 294;
    static constexpr int kBandCount = 21;
    static constexpr int kSpectralValueCount = 336;
    static constexpr int kRawBytes = 24000;
    static constexpr int kSampleRateHz = 16000;
    static constexpr int kWavHeaderBytes = 44;

    explicit AcousticAssembler(AssemblyBuffer &block = AssemblyBuffer::shared());

    // One step over the receive buffer, whose first byte is the packet's "@".
    // The writes of the result's files go to health (as audio writes) when given.
    AcousticStep process(const QByteArray &buffer, const QString &imei, const QString &audioPath,
                         const QDateTime &nowUtc, WriteHealth *health = nullptr);

    // "<unit>_20<stamp>_<part>", or "000000000000000_<stamp>_<part>" without a unit.
    static QString fileName(const QString &imei, const QString &stamp, int type, int recordingNumber);
    // The WAV file's path with ".wav" turned into ".raw" and "WAV" into "RAW" in
    // the file name; the folder is left alone.
    static QString rawCompanionPath(const QString &wavPath);

    // Two 12-bit samples from every three bytes b0 b1 b2: b0 + 256 (b2 & 0x0f)
    // and b1 + 16 (b2 & 0xf0). A trailing incomplete group is ignored.
    static QVector<quint16> unpack12(const QByteArray &packed);
    // 16-bit little-endian words, each sample scaled up by 16 to full range.
    static QByteArray pcm16(const QVector<quint16> &samples);
    // The 44-byte header of a mono 16-bit 16 kHz PCM WAV file.
    static QByteArray wavHeader(int dataBytes);
    // The spectral summary file: 336 seven-bit values, most significant bit
    // first, in 16 blocks of 21 one-third-octave bands. Missing bytes read 0.
    static QByteArray spectralText(const QByteArray &payload, const QString &stamp);

private:
    AssemblyBuffer &m_block;
};
