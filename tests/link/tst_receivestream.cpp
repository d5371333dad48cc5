// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receivestream.h"

#include <QtTest>

namespace {
const QByteArray kWeather = "@I:300234010123450\r\n"
                            "@0A7\r\n"
                            "B:5.32:3:000000:00:00:00\r\n"
                            "T:18/05/31,14:02:07\r\n"
                            "TA:21.5\r\n"
                            "~\r\n";
const QByteArray kAuxiliary = "@3A7\r\n"
                              "ECL:12:34\r\n"
                              "LDD:5:6\r\n"
                              "~\r\n";
const QByteArray kIdLine = "@I:300234010123450\r\n";

// Header (station time, camera 1 or no flags, sequence 0), payload, trailer.
QByteArray binaryPacket(char kind)
{
    QByteArray packet = "@" + QByteArray(1, kind) +
                        QByteArray::fromHex(kind == '1' ? "1805311402071000" : "1805311402070000");
    for (int i = 0; i < ReceiveStream::kPayloadBytes; ++i)
        packet += char((i * 7) & 0xff);
    return kind == '1' ? packet + "\r\n\r\n" : packet;
}

// One receive pass per piece, as the window runs them; an empty piece is the
// re-run after the "SND" wait. Returns one letter per pass.
QString runPasses(ReceiveStream &stream, const QByteArrayList &pieces, const QList<int> &ticksBefore)
{
    QString kinds;
    for (int i = 0; i < pieces.size(); ++i) {
        for (int t = 0; t < ticksBefore.value(i); ++t)
            stream.tick();
        if (pieces.at(i).isEmpty())
            stream.sndRerun();
        stream.begin(pieces.at(i));
        const ReceiveStream::Kind kind = stream.frame();
        kinds += QLatin1Char(".WSCA"[int(kind)]);
        if (kind == ReceiveStream::Kind::Weather)
            stream.finishWeather();
        if (kind != ReceiveStream::Kind::SndWait)
            stream.endPass();
    }
    return kinds;
}

// The stream keeps what framing looks for up to date as bytes come and go;
// a stream that reads the same buffer in one go must see the same.
void compareWithAFreshLook(const ReceiveStream &stream)
{
    ReceiveStream fresh;
    fresh.replaceWith(stream.buffer());
    QCOMPARE(stream.lastIdLine(), fresh.lastIdLine());
    QCOMPARE(stream.lastKindLine(), fresh.lastKindLine());
    QCOMPARE(stream.text(), fresh.text());
    if (!stream.sndWaitDone())
        QCOMPARE(int(stream.kind()), int(fresh.kind()));
}
} // namespace

class TestReceiveStream : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void stationChat_data();
    void stationChat();
    void weatherParts_data();
    void weatherParts();
    void consumeTakesTheGapBetweenPackets();
    void endlessLineKeepsNewestBytes();
    void keptIndexAgreesWithAFreshLook();
};

void TestReceiveStream::framing_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QList<int>>("ticksBefore");
    QTest::addColumn<QString>("kinds");

    const QByteArray camera = binaryPacket('1');
    const QByteArray acoustic = binaryPacket('2');
    const QByteArray openAuxiliary = kAuxiliary.left(kAuxiliary.indexOf("LDD"));

    QTest::newRow("whole packet with SND") << QByteArrayList{kWeather + "SND\r\n"} << QList<int>{} << "W";
    QTest::newRow("pieces, SND with the last")
        << QByteArrayList{kWeather.left(7), kWeather.mid(7, 30), kWeather.mid(37) + "SND"} << QList<int>{}
        << "..W";
    QTest::newRow("no SND: one wait, then the re-run")
        << QByteArrayList{kWeather, {}} << QList<int>{} << "SW";
    QTest::newRow("gap of 6 ticks starts afresh")
        << QByteArrayList{kWeather.left(20), kWeather.mid(20) + "SND"} << QList<int>{0, 6} << "..";
    QTest::newRow("gap of 5 ticks keeps the bytes")
        << QByteArrayList{kWeather.left(20), kWeather.mid(20) + "SND"} << QList<int>{0, 5} << ".W";
    QTest::newRow("SND split across two reads")
        << QByteArrayList{kWeather + "SN", "D"} << QList<int>{} << "SW";
    QTest::newRow("re-run within the gap") << QByteArrayList{kWeather, {}} << QList<int>{3, 3} << "SW";
    QTest::newRow("an abandoned wait does not carry over")
        << QByteArrayList{kWeather, kWeather} << QList<int>{0, 6} << "SS";
    QTest::newRow("no end marker") << QByteArrayList{kWeather.left(kWeather.indexOf('~')) + "SND"}
                                   << QList<int>{} << ".";
    QTest::newRow("zero byte hides the @3 line")
        << QByteArrayList{kWeather + QByteArray(1, '\0') + openAuxiliary + "SND"} << QList<int>{} << "W";
    QTest::newRow("auxiliary part still open")
        << QByteArrayList{kWeather + openAuxiliary + "SND"} << QList<int>{} << ".";
    QTest::newRow("weather and auxiliary part wait for SND")
        << QByteArrayList{kWeather + kAuxiliary, {}} << QList<int>{} << "SW";
    QTest::newRow("camera header of 10 bytes") << QByteArrayList{camera.left(10)} << QList<int>{} << ".";
    QTest::newRow("camera header of 11 bytes") << QByteArrayList{camera.left(11)} << QList<int>{} << "C";
    QTest::newRow("acoustic packet") << QByteArrayList{acoustic} << QList<int>{} << "A";
    QTest::newRow("camera behind @I waits for SND")
        << QByteArrayList{kIdLine + camera, "SND"} << QList<int>{} << ".C";
}

void TestReceiveStream::framing()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QList<int>, ticksBefore);
    QFETCH(QString, kinds);
    ReceiveStream stream;
    QCOMPARE(runPasses(stream, pieces, ticksBefore), kinds);
}

void TestReceiveStream::stationChat_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("outgoing");
    QTest::addColumn<bool>("pending");
    QTest::addColumn<QString>("seen"); // mode echo, power-up banner, prompt to hand over at

    const QByteArray banner = "\r\n\rKTR v2.14 (c) Vorsetti\r\n";
    const QByteArray spaces(80, ' ');
    QTest::newRow("banner") << banner << spaces << false << "b";
    QTest::newRow("banner and prompt, spaces running") << banner + "\r\n>" << spaces << false << "p";
    QTest::newRow("banner and prompt, one space left") << banner + "\r\n>" << QByteArray(" ") << false << "";
    QTest::newRow("banner and prompt, a command drains")
        << banner + "\r\n>" << QByteArray("m3\r\r") << true << "";
    QTest::newRow("banner not at the start") << "x" + banner + "\r\n>" << spaces << false << "";
    QTest::newRow("poke prompt at offset 1") << QByteArray("\r\n>") << QByteArray() << true << "p";
    QTest::newRow("poke prompt, nothing pending") << QByteArray("\n>") << QByteArray() << false << "";
    QTest::newRow("poke prompt at offset 2") << QByteArray("\r\r\n>") << QByteArray() << true << "";
    QTest::newRow("first poke prompt late") << QByteArray("abc\n>\n>") << QByteArray() << true << "";
    QTest::newRow("mode echo") << QByteArray("m3\r\n>") << QByteArray() << false << "e";
}

void TestReceiveStream::stationChat()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, outgoing);
    QFETCH(bool, pending);
    QFETCH(QString, seen);
    ReceiveStream stream;
    stream.begin(buffer);
    QCOMPARE(stream.isModeEcho(), seen.contains('e'));
    QCOMPARE(stream.isPowerUpBanner(), seen.contains('b'));
    QCOMPARE(stream.isPrompt(outgoing, pending), seen.contains('p'));
}

void TestReceiveStream::weatherParts_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QByteArray>("slice");
    QTest::addColumn<QByteArray>("auxiliary");

    const QByteArray full = kWeather + kAuxiliary + "SND\r\n";
    const QByteArray slice = kWeather.mid(20, kWeather.indexOf('~') - 20);
    const QByteArray open = kWeather + "@3A7\r\nECL:1\r\n";
    QTest::newRow("weather and auxiliary part")
        << full << QString::fromLatin1(full) << "A7" << slice << kAuxiliary + "SND\r\n";
    QTest::newRow("text is UTF-8 up to the zero byte")
        << QByteArray("@I:1\r\n@0A7\r\nTA:21.5\xc2\xb0\r\n~\0@3B\r\n", 30)
        << QString::fromUtf8("@I:1\r\n@0A7\r\nTA:21.5°\r\n~") << "A7"
        << QByteArray("@0A7\r\nTA:21.5\xc2\xb0\r\n") << QByteArray();
    QTest::newRow("auxiliary part not ended")
        << open << QString::fromLatin1(open) << "A7" << slice << QByteArray();
}

void TestReceiveStream::weatherParts()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, text);
    QFETCH(QString, firmware);
    QFETCH(QByteArray, slice);
    QFETCH(QByteArray, auxiliary);
    ReceiveStream stream;
    stream.begin(buffer);
    QCOMPARE(stream.text(), text);
    QCOMPARE(stream.firmwareCode(), firmware);
    QCOMPARE(stream.forwardingSlice(), slice);
    QCOMPARE(stream.auxiliaryPart(), auxiliary);
}

// What the station sends between two packets of a series goes with the first.
void TestReceiveStream::consumeTakesTheGapBetweenPackets()
{
    ReceiveStream stream;
    stream.begin("@2abc\r\nSND\r\n@1x");
    stream.consume(-5);
    QCOMPARE(stream.buffer(), QByteArray("@2abc\r\nSND\r\n@1x"));
    stream.consume(5);
    QCOMPARE(stream.buffer(), QByteArray("@1x"));
    stream.consume(1 << 30);
    QVERIFY(stream.buffer().isEmpty());
}

void TestReceiveStream::endlessLineKeepsNewestBytes()
{
    QByteArray garbage(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 31 + i / 4099) & 0xff);

    ReceiveStream chunked;
    for (int at = 0; at < garbage.size(); at += 4096) {
        chunked.begin(garbage.mid(at, 4096));
        chunked.frame();
        chunked.endPass();
    }
    QCOMPARE(chunked.buffer(), garbage.right(ReceiveStream::kMaxBufferBytes));

    // After the next silence the line is read as before.
    for (int i = 0; i <= ReceiveStream::kIdleGapTicks; ++i)
        chunked.tick();
    QCOMPARE(runPasses(chunked, {kWeather + "SND"}, {}), QString("W"));
}

// Random traffic of every kind, through every operation that adds or drops
// bytes, with the buffer often at its bound: after each step the stream reads
// its buffer exactly as a look at the whole buffer from scratch does.
void TestReceiveStream::keptIndexAgreesWithAFreshLook()
{
    const QByteArrayList tokens{"\r\n", "\r",      "\n",  "@I", "@I:300234010123450",
                                "@0",   "@0A7",    "@1",  "@2", "@3",
                                "~",    "~\r\n",   "SND", "SN", "D",
                                "x",    "TA:21.5", ":",   ">",  "\n>",
                                "@",    "I",       "0",   "3"};
    QRandomGenerator random(4711);
    ReceiveStream stream;
    auto randomBytes = [&](int count) {
        QByteArray bytes;
        while (bytes.size() < count)
            bytes +=
                random.bounded(400) == 0 ? QByteArray(1, '\0') : tokens.at(random.bounded(tokens.size()));
        return bytes;
    };
    for (int step = 0; step < 10000; ++step) {
        const int op = random.bounded(100);
        if (op < 65) {
            // Mostly a few bytes, sometimes one pass per byte, now and then
            // enough to reach the bound.
            const QByteArray piece =
                randomBytes(random.bounded(100) < 3 ? 4000 + random.bounded(9000) : 1 + random.bounded(12));
            if (piece.size() < 100 && random.bounded(4) == 0) {
                for (const char byte : piece)
                    stream.begin(QByteArray(1, byte));
            } else {
                stream.begin(piece);
            }
        } else if (op < 85) {
            if (stream.frame() == ReceiveStream::Kind::Weather)
                stream.finishWeather();
        } else if (op < 95) {
            stream.consume(random.bounded(24));
        } else if (op < 96) {
            for (int t = 0; t <= ReceiveStream::kIdleGapTicks; ++t)
                stream.tick();
        } else if (op < 97) {
            stream.replaceWith(randomBytes(random.bounded(400)));
        } else if (op < 98) {
            stream.clear();
        } else {
            stream.endPass();
        }
        compareWithAFreshLook(stream);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_GUILESS_MAIN(TestReceiveStream)
#include "tst_receivestream.moc"
