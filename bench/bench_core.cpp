// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// bench_core: the costs that the station's traffic puts on the core library.
// Run it with "-median 5" for wall time, or with "-callgrind" (under
// valgrind) for instruction counts, which stay the same on a busy machine.

#include "forwarding/sbdmessage.h"
#include "link/assemblybuffer.h"
#include "link/cameraassembler.h"
#include "link/receivestream.h"
#include "storage/csvlog.h"
#include "reports/metarencoder.h"
#include "reports/weatherdisplay.h"
#include "tools/sim/weathergenerator.h"
#include "weather/weatherparser.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDateTime kPacketTime(QDate(2025, 6, 1), QTime(14, 35), Qt::UTC);
constexpr int kOneMinuteMode = 4;
constexpr int kFiveMinuteMode = 3; // a slow mode: the packet ends with "SND"

QByteArray weatherPacket(int modeDigit, bool withAux)
{
    WeatherGenerator weather;
    return weather.packet(kPacketTime, modeDigit, withAux);
}

// The stream calls of one receive pass of the window, in its order; returns
// what the pass framed.
ReceiveStream::Kind receivePass(ReceiveStream &stream, const QByteArray &bytes)
{
    static const QByteArray kNoCommand;
    stream.begin(bytes);
    volatile bool shown = stream.isModeEcho() || stream.isPowerUpBanner();
    shown = stream.isPrompt(kNoCommand, false);
    Q_UNUSED(shown)
    const ReceiveStream::Kind kind = stream.frame();
    switch (kind) {
    case ReceiveStream::Kind::Weather:
        stream.finishWeather();
        break;
    case ReceiveStream::Kind::SndWait:
        return kind;
    case ReceiveStream::Kind::Camera:
    case ReceiveStream::Kind::Acoustic:
    case ReceiveStream::Kind::Nothing:
        break;
    }
    stream.endPass();
    return kind;
}

// Bytes that never form a packet, repeated up to size.
QByteArray garbage(const QByteArray &pattern, int size)
{
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += pattern;
    bytes.truncate(size);
    return bytes;
}

QByteArray picturePacket(int sequence, bool last)
{
    QByteArray packet("@1");
    packet += QByteArray::fromHex("250601143500");
    packet += char(0x10 | (last ? CameraAssembler::kLastPacketCode : 0));
    packet += char(sequence);
    for (int i = 0; i < CameraAssembler::kPayloadBytes; ++i)
        packet += char((i * 13 + sequence) & 0xff);
    packet += "\r\n\r\n";
    return packet;
}
} // namespace

class BenchCore : public QObject
{
    Q_OBJECT

private slots:
    void weatherPacketThroughReports_data();
    void weatherPacketThroughReports();
    void packetOneBytePerPass_data();
    void packetOneBytePerPass();
    void garbageAtBufferBound_data();
    void garbageAtBufferBound();
    void picturePacket_data();
    void picturePacket();
    void forwardingMessage_data();
    void forwardingMessage();
};

void BenchCore::weatherPacketThroughReports_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::newRow("weather") << weatherPacket(kFiveMinuteMode, false);
    QTest::newRow("weather+auxiliary") << weatherPacket(kFiveMinuteMode, true);
}

// What the window does with one complete packet: frame it, read it once,
// fill the data view, build the METAR and the CSV row.
void BenchCore::weatherPacketThroughReports()
{
    QFETCH(QByteArray, packet);
    ReceiveStream stream;
    WeatherParser parser;
    QByteArray row;
    auto process = [&] {
        stream.begin(packet);
        if (stream.frame() != ReceiveStream::Kind::Weather)
            return false;
        parser.setPacketText(stream.text());
        const WeatherValues values = parser.values();
        const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(values);
        const QString metar = MetarEncoder::getMetar(values);
        row = CsvLog::row(values, metar);
        const QString firmware = stream.firmwareCode();
        stream.auxiliaryPart();
        stream.finishWeather();
        stream.endPass();
        return !fields.isEmpty() && !metar.isEmpty() && firmware.size() == 2;
    };
    // Once beforehand, so that one-time set-up (patterns, caches) is not counted.
    QVERIFY(process());
    QBENCHMARK {
        if (!process())
            QFAIL("not framed as a weather packet");
    }
    QVERIFY(row.endsWith("\r\n"));
}

void BenchCore::packetOneBytePerPass_data()
{
    QTest::addColumn<QByteArray>("packet");
    for (const bool withAux : {false, true}) {
        const QByteArray packet = weatherPacket(kOneMinuteMode, withAux);
        const QString name = QStringLiteral("%1, %2 passes").arg(withAux ? "weather+auxiliary" : "weather").arg(packet.size());
        QTest::newRow(qPrintable(name)) << packet;
    }
}

// One whole packet that arrives one byte per receive pass: the cost of a
// packet at 9600 baud when every byte wakes the program. Divide by the
// number of passes in the row's name for the cost of one pass.
void BenchCore::packetOneBytePerPass()
{
    QFETCH(QByteArray, packet);
    ReceiveStream stream;
    int framed = 0;
    QBENCHMARK {
        framed = 0;
        bool sndWait = false;
        for (int i = 0; i < packet.size(); ++i) {
            const ReceiveStream::Kind kind = receivePass(stream, packet.mid(i, 1));
            framed += kind == ReceiveStream::Kind::Weather ? 1 : 0;
            sndWait = sndWait || kind == ReceiveStream::Kind::SndWait;
        }
        // A packet without "SND" is taken when its wait has run out.
        if (sndWait) {
            stream.sndRerun();
            framed += receivePass(stream, QByteArray()) == ReceiveStream::Kind::Weather ? 1 : 0;
        }
        // The silence after the transmission.
        for (int t = 0; t <= ReceiveStream::kIdleGapTicks; ++t)
            stream.tick();
    }
    QCOMPARE(framed, 1);
}

void BenchCore::garbageAtBufferBound_data()
{
    QTest::addColumn<QByteArray>("pattern");
    // A station that never pauses and whose transmissions lost their "@I:"
    // line: kind lines, tagged lines and "~" forever.
    const QByteArray packet = weatherPacket(kOneMinuteMode, true);
    QTest::newRow("station text") << packet.mid(packet.indexOf("\r\n") + 2);
    QTest::newRow("line noise") << QByteArray("Xq#9!h;T}v$z\x7f\x1b" "r2&'k=L%\r\n");
    QTest::newRow("kind lines") << QByteArray("@0\r\n");
    QTest::newRow("binary") << QByteArray::fromHex("00ff1340fe0a0d3ec5");
}

// One receive pass of one byte on a buffer held full at its bound by bytes
// that never form a packet.
void BenchCore::garbageAtBufferBound()
{
    QFETCH(QByteArray, pattern);
    const QByteArray fill = garbage(pattern, ReceiveStream::kMaxBufferBytes + pattern.size());
    ReceiveStream stream;
    receivePass(stream, fill.left(ReceiveStream::kMaxBufferBytes));
    int next = ReceiveStream::kMaxBufferBytes;
    QBENCHMARK {
        receivePass(stream, fill.mid(next, 1));
        if (++next == fill.size())
            next = ReceiveStream::kMaxBufferBytes;
    }
    QCOMPARE(stream.buffer().size(), ReceiveStream::kMaxBufferBytes);
}

void BenchCore::picturePacket_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("writesFile");
    QTest::newRow("middle packet") << ::picturePacket(5, false) << false;
    QTest::newRow("last packet, file written") << ::picturePacket(5, true) << true;
}

void BenchCore::picturePacket()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, writesFile);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString imagePath = folder.filePath(QStringLiteral("Image"));
    AssemblyBuffer block;
    CameraAssembler assembler(block);
    CameraStep step = assembler.process(packet, QStringLiteral("300234064380150"), imagePath,
                                        QStringLiteral("123.4"), kPacketTime);
    QBENCHMARK {
        step = assembler.process(packet, QStringLiteral("300234064380150"), imagePath, QStringLiteral("123.4"),
                                 kPacketTime);
    }
    QVERIFY(step.complete);
    QCOMPARE(!step.filePath.isEmpty(), writesFile);
}

void BenchCore::forwardingMessage_data()
{
    QTest::addColumn<QByteArray>("payload");
    ReceiveStream stream;
    stream.begin(weatherPacket(kFiveMinuteMode, false));
    QTest::newRow("weather packet") << stream.forwardingSlice();
    QTest::newRow("picture packet") << ::picturePacket(5, false).left(CameraAssembler::kPacketBytes);
}

void BenchCore::forwardingMessage()
{
    QFETCH(QByteArray, payload);
    const QByteArray imei = WeatherGenerator::kDefaultImei;
    QByteArray message;
    QBENCHMARK {
        message = SbdMessage::build(SbdMessage::nextCounter(), imei, 1748788500u, payload);
    }
    QCOMPARE(message.size(), SbdMessage::kOverheadBytes + payload.size());
}

QTEST_GUILESS_MAIN(BenchCore)
#include "bench_core.moc"
