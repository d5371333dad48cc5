// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"

#include "storage/datafolder.h"
#include "weather/stationtime.h"

#include <QDir>

namespace {

static_assert(AcousticAssembler::kPayloadBytes * (AcousticAssembler::kMaxStoredSequence + 1) <=
                  AssemblyBuffer::kSizeBytes,
              "the last stored slot must fit");
static_assert(AcousticAssembler::kPayloadBytes * (AcousticAssembler::kMaxStoredSequence + 2) >
                  AssemblyBuffer::kSizeBytes,
              "one slot more must not fit");

struct TypeInfo
{
    const char *progressText;
    int progressMaximum;
};

constexpr TypeInfo kTypes[4] = {
    {"Acoustic Spectral Data", 1},
    {"Acoustic MP3 Data", 29},
    {"Acoustic Raw Data", 91},
    {"Unknown Acoustic Data", 91},
};

// Nominal one-third-octave band centres in Hz.
constexpr int kBandCentresHz[AcousticAssembler::kBandCount] = {50,   63,   80,   100,  125,  160,  200,
                                                               250,  315,  400,  500,  630,  800,  1000,
                                                               1250, 1600, 2000, 2500, 3150, 4000, 5000};

constexpr int kSpectralValueBits = 7;

int byteAt(const QByteArray &bytes, int index)
{
    return index >= 0 && index < bytes.size() ? quint8(bytes.at(index)) : 0;
}

void appendLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// The station time, the type and the recording number: what the packets of
// one result share.
quint64 seriesKey(const QByteArray &buffer, int flags)
{
    quint64 key = '2';
    for (int i = 2; i < AcousticAssembler::kHeaderBytes - 2; ++i)
        key = (key << 8) | quint8(buffer.at(i));
    return (key << 8) | quint64(flags & 0xfe);
}

} // namespace

AcousticAssembler::AcousticAssembler(AssemblyBuffer &block) : m_block(block) {}

QString AcousticAssembler::fileName(const QString &imei, const QString &stamp, int type, int recordingNumber)
{
    QString part;
    switch (type) {
    case Spectral:
        part = QStringLiteral("Spectral.inp");
        break;
    case Mp3:
        part = QStringLiteral("MP3_%1.mp3").arg(recordingNumber, 2, 10, QLatin1Char('0'));
        break;
    case Raw:
        part = QStringLiteral("WAV_%1.wav").arg(recordingNumber, 2, 10, QLatin1Char('0'));
        break;
    default:
        part = QStringLiteral("Unknown.dat");
        break;
    }
    const QString unit = DataFolder::unitName(imei);
    if (unit == QLatin1String(DataFolder::kNoUnitName))
        return QStringLiteral("%1_%2_%3").arg(unit, stamp, part);
    return QStringLiteral("%1_20%2_%3").arg(unit, stamp, part);
}

QString AcousticAssembler::rawCompanionPath(const QString &wavPath)
{
    const int nameStart = wavPath.lastIndexOf(QLatin1Char('/')) + 1;
    QString name = wavPath.mid(nameStart);
    name.replace(QLatin1String(".wav"), QLatin1String(".raw"));
    name.replace(QLatin1String("WAV"), QLatin1String("RAW"));
    return wavPath.left(nameStart) + name;
}

QVector<quint16> AcousticAssembler::unpack12(const QByteArray &packed)
{
    QVector<quint16> samples;
    const int groups = packed.size() / 3;
    samples.reserve(groups * 2);
    for (int g = 0; g < groups; ++g) {
        const int b0 = byteAt(packed, 3 * g);
        const int b1 = byteAt(packed, 3 * g + 1);
        const int b2 = byteAt(packed, 3 * g + 2);
        samples.append(quint16(b0 + 256 * (b2 & 0x0f)));
        samples.append(quint16(b1 + 16 * (b2 & 0xf0)));
    }
    return samples;
}

QByteArray AcousticAssembler::pcm16(const QVector<quint16> &samples)
{
    QByteArray out;
    out.reserve(samples.size() * 2);
    for (const quint16 sample : samples)
        appendLe(out, quint16(sample << 4), 2);
    return out;
}

QByteArray AcousticAssembler::wavHeader(int dataBytes)
{
    constexpr int kChannels = 1;
    constexpr int kBytesPerSample = 2;
    QByteArray out;
    out.reserve(kWavHeaderBytes);
    out.append("RIFF");
    appendLe(out, quint32(kWavHeaderBytes - 8 + dataBytes), 4);
    out.append("WAVE");
    out.append("fmt ");
    appendLe(out, 16, 4); // size of the format chunk
    appendLe(out, 1, 2);  // PCM
    appendLe(out, kChannels, 2);
    appendLe(out, kSampleRateHz, 4);
    appendLe(out, kSampleRateHz * kChannels * kBytesPerSample, 4);
    appendLe(out, kChannels * kBytesPerSample, 2);
    appendLe(out, 8 * kBytesPerSample, 2);
    out.append("data");
    appendLe(out, quint32(dataBytes), 4);
    return out;
}

QByteArray AcousticAssembler::spectralText(const QByteArray &payload, const QString &stamp)
{
    QByteArray out = "Description: \nKTR: T:" + stamp.toLatin1() + '\n';
    for (int k = 0; k < kSpectralValueCount; ++k) {
        if (k % kBandCount == 0) {
            const int block = k / kBandCount;
            if (block == 0)
                out.append("AVERAGE\n");
            else
                out.append(QByteArray("SECOND-") + QByteArray::number(block * 2 - 2).rightJustified(2, '0') +
                           '\n');
        }
        int value = 0;
        for (int bit = kSpectralValueBits * k; bit < kSpectralValueBits * (k + 1); ++bit)
            value = (value << 1) | ((byteAt(payload, bit / 8) >> (7 - bit % 8)) & 1);
        out.append(QByteArray::number(kBandCentresHz[k % kBandCount]).rightJustified(5, ' ') + ", " +
                   QByteArray::number(value) + '\n');
    }
    return out;
}

AcousticStep AcousticAssembler::process(const QByteArray &buffer, const QString &imei,
                                        const QString &audioPath, const QDateTime &nowUtc,
                                        WriteHealth *health)
{
    AcousticStep step;
    const int flags = byteAt(buffer, 8);
    const int n = byteAt(buffer, 9);
    step.last = (flags & 1) != 0;
    step.type = (flags >> 1) & 3;
    step.recordingNumber = flags >> 3;
    step.sequence = n;

    const TypeInfo &info = kTypes[step.type];
    step.progressText = QLatin1String(info.progressText);
    step.progressMaximum = info.progressMaximum;
    if (step.type == Spectral)
        step.progressValue = qMin(n, 1);
    else
        step.progressValue = n <= info.progressMaximum ? n : qRound(info.progressMaximum * 0.99);
    step.rawViewText = QStringLiteral("Acoustic Packet:%1 Bytes:%2").arg(n).arg(buffer.size());

    if (buffer.size() < kPacketBytes)
        return step;
    step.complete = true;
    step.consumedBytes = kPacketBytes;
    m_block.follow(seriesKey(buffer, flags), n);
    if (n <= kMaxStoredSequence) {
        m_block.store(kPayloadBytes * n, buffer.constData() + kHeaderBytes, kPayloadBytes);
        m_block.markStored(n);
    }
    if (!step.last)
        return step;
    m_block.endSeries();

    step.rawViewAppend = QStringLiteral("Last");
    step.progressMaximum = 1;
    step.progressValue = 1;

    // The result runs up to the last packet's slot: a slot beyond the block
    // was never stored, so such a result is dropped rather than cut short.
    if ((step.type == Mp3 || step.type == Unknown) && n > kMaxStoredSequence) {
        step.debugLines << QStringLiteral("!!-- Error: Acoustic packet %1 lies beyond the assembly buffer; "
                                          "data not saved")
                               .arg(n);
        return step;
    }
    const int fixedBytes = step.type == Spectral ? kSpectralBytes : step.type == Raw ? kRawBytes : 0;
    const int resultBytes = fixedBytes > 0 ? fixedBytes : kPayloadBytes * (n + 1);
    const int lastSlot = (resultBytes - 1) / kPayloadBytes;
    step.missingPackets = m_block.clearMissing(0, kPayloadBytes, lastSlot);
    if (step.missingPackets > 0)
        step.debugLines << QStringLiteral(
                               "!!-- Error: Acoustic data lacks %1 of its %2 packets; their bytes are zero")
                               .arg(step.missingPackets)
                               .arg(lastSlot + 1);
    const QByteArray result = m_block.copy(0, resultBytes);

    const QByteArray header = buffer.left(kHeaderBytes);
    const QString stamp = StationTime::getDateTime(header, nowUtc);
    const QString path = QDir(audioPath).filePath(fileName(imei, stamp, step.type, step.recordingNumber));
    switch (step.type) {
    case Spectral:
        step.files = {{path, spectralText(result, StationTime::getDateTimeSpectral(header, nowUtc))}};
        break;
    case Raw: {
        const QByteArray pcm = pcm16(unpack12(result));
        step.files = {{path, wavHeader(pcm.size()) + pcm}, {rawCompanionPath(path), pcm}};
        break;
    }
    default:
        step.files = {{path, result}};
        break;
    }
    if (DataFolder::ensure(audioPath)) {
        step.writes = AtomicFile::writeNew(step.files);
    } else {
        for (const AtomicFile::Content &file : qAsConst(step.files))
            step.writes << WriteResult::failure(file.path, DataFolder::cannotCreateText(audioPath));
    }
    for (int i = 0; i < step.files.size(); ++i) {
        step.files[i].path = step.writes.at(i).path;
        if (health)
            health->report(WriteHealth::Audio, step.writes.at(i));
        if (step.writes.at(i).ok)
            step.filePaths << step.writes.at(i).path;
    }
    // For a raw recording the companion's name once the WAV file is written.
    const bool companion = step.writes.size() > 1 && step.writes.at(0).ok;
    step.debugLines << QStringLiteral("    Audio Output:") + step.files.at(companion ? 1 : 0).path;
    return step;
}
