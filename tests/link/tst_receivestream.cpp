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
constexpr int kCameraPacketBytes = ReceiveStream::kBinaryPacketBytes + 4;

// A literal with its zero bytes.
template<int N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

QByteArray binaryPacket(char kind, int sequence)
{
    QByteArray packet("@");
    packet += kind;
    packet += QByteArray::fromHex("180531140207"); // station time, packed decimal
    packet += char(kind == '1' ? 0x10 : 0x00);
    packet += char(sequence);
    for (int i = 0; i < ReceiveStream::kPayloadBytes; ++i)
        packet += char((i * 7 + sequence) & 0xff);
    if (kind == '1')
        packet += "\r\n\r\n";
    return packet;
}

QChar letter(ReceiveStream::Kind kind)
{
    switch (kind) {
    case ReceiveStream::Kind::Weather:
        return 'W';
    case ReceiveStream::Kind::SndWait:
        return 'S';
    case ReceiveStream::Kind::Camera:
        return 'C';
    case ReceiveStream::Kind::Acoustic:
        return 'A';
    case ReceiveStream::Kind::Nothing:
        break;
    }
    return '.';
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
        kinds += letter(kind);
        if (kind == ReceiveStream::Kind::Weather)
            stream.finishWeather();
        if (kind != ReceiveStream::Kind::SndWait)
            stream.endPass();
    }
    return kinds;
}

// The framing decision and the lines worked out from scratch on the buffer
// as it stands. The stream keeps what it needs up to date as bytes come and
// go instead; both must always agree.
struct Reading
{
    QString idLine;
    QString kindLine;
    ReceiveStream::Kind kind = ReceiveStream::Kind::Nothing;
};

Reading readFromScratch(const QByteArray &buffer, bool sndWaitDone)
{
    Reading reading;
    const int nul = buffer.indexOf('\0');
    const QString text = QString::fromLatin1(buffer.constData(), nul < 0 ? buffer.size() : nul);
    const QStringList pieces = text.split(QStringLiteral("\r\n"));
    QString previousKind;
    int kindOffset = -1;
    int previousKindOffset = -1;
    int at = 0;
    for (const QString &piece : pieces) {
        if (pieces.size() < 2)
            break;
        if (piece.startsWith(QLatin1String("@I"))) {
            reading.idLine = piece;
        } else if (piece.startsWith(QLatin1String("@0")) || piece.startsWith(QLatin1String("@1"))
                   || piece.startsWith(QLatin1String("@2")) || piece.startsWith(QLatin1String("@3"))) {
            previousKind = reading.kindLine;
            previousKindOffset = kindOffset;
            reading.kindLine = piece;
            kindOffset = at;
        }
        at += piece.size() + 2;
    }

    bool weather = false;
    if (buffer.startsWith("@I")) {
        if (reading.kindLine.startsWith(QLatin1String("@0"))) {
            weather = buffer.contains('~');
        } else if (reading.kindLine.startsWith(QLatin1String("@3")) && previousKind.startsWith(QLatin1String("@0"))) {
            const int weatherEnd = buffer.indexOf("~\r\n", previousKindOffset);
            weather = weatherEnd >= 0 && weatherEnd < kindOffset && buffer.indexOf("~\r\n", kindOffset) >= 0;
        }
    }
    auto binary = [&](const char *marker) {
        if (buffer.startsWith(marker))
            return buffer.size() > ReceiveStream::kHeaderBytes;
        if (!reading.idLine.startsWith(QLatin1String("@I")) || !reading.kindLine.startsWith(QLatin1String(marker))
            || !buffer.contains("SND"))
            return false;
        int header = 0;
        while (buffer.mid(header).startsWith("@I")) {
            const int end = buffer.indexOf("\r\n", header);
            if (end < 0)
                break;
            header = end + 2;
        }
        return buffer.mid(header).startsWith(marker) && buffer.size() - header > ReceiveStream::kHeaderBytes;
    };
    if (weather)
        reading.kind = buffer.contains("SND") || sndWaitDone ? ReceiveStream::Kind::Weather
                                                            : ReceiveStream::Kind::SndWait;
    else if (binary("@1"))
        reading.kind = ReceiveStream::Kind::Camera;
    else if (binary("@2"))
        reading.kind = ReceiveStream::Kind::Acoustic;
    return reading;
}
} // namespace

class TestReceiveStream : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void lines_data();
    void lines();
    void stationChat_data();
    void stationChat();
    void weatherParts_data();
    void weatherParts();
    void weatherWithAuxiliaryPartIsProcessedOnce();
    void sndWaitRestartsIdleCount();
    void idLinesAreCutBeforeBinaryPackets_data();
    void idLinesAreCutBeforeBinaryPackets();
    void backToBackPacketsAreEachFramedOnce();
    void consumeStaysInBounds();
    void endlessLineKeepsNewestBytes();
    void mixedFragmentsKeepTheInvariants();
    void edgesAgreeWithAFreshLook_data();
    void edgesAgreeWithAFreshLook();
    void keptIndexAgreesWithAFreshLook();
};

void TestReceiveStream::framing_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QList<int>>("ticksBefore");
    QTest::addColumn<QString>("kinds");

    const QByteArray camera = binaryPacket('1', 0);
    const QByteArray acoustic = binaryPacket('2', 0);
    const QByteArray openAuxiliary = kAuxiliary.left(kAuxiliary.indexOf("LDD"));

    QTest::newRow("whole packet with SND") << QByteArrayList {kWeather + "SND\r\n"} << QList<int> {} << "W";
    QTest::newRow("pieces, SND with the last")
        << QByteArrayList {kWeather.left(7), kWeather.mid(7, 30), kWeather.mid(37) + "SND"} << QList<int> {}
        << "..W";
    QTest::newRow("SND in a piece of its own")
        << QByteArrayList {kWeather.left(30), kWeather.mid(30), "SND"} << QList<int> {} << ".SW";
    QTest::newRow("no SND: one wait, then the re-run") << QByteArrayList {kWeather, {}} << QList<int> {} << "SW";
    QTest::newRow("gap of 6 ticks starts afresh")
        << QByteArrayList {kWeather.left(20), kWeather.mid(20) + "SND"} << QList<int> {0, 6} << "..";
    QTest::newRow("gap of 5 ticks keeps the bytes")
        << QByteArrayList {kWeather.left(20), kWeather.mid(20) + "SND"} << QList<int> {0, 5} << ".W";
    QTest::newRow("re-run within the gap") << QByteArrayList {kWeather, {}} << QList<int> {3, 3} << "SW";
    QTest::newRow("an abandoned wait does not carry over")
        << QByteArrayList {kWeather, kWeather} << QList<int> {0, 6} << "SS";
    QTest::newRow("weather not at the start") << QByteArrayList {"x" + kWeather + "SND"} << QList<int> {} << ".";
    QTest::newRow("no end marker") << QByteArrayList {kWeather.left(kWeather.indexOf('~')) + "SND"} << QList<int> {}
                                   << ".";
    QTest::newRow("markers are case-sensitive")
        << QByteArrayList {"@i:1\r\n@0A7\r\n~\r\nSND"} << QList<int> {} << ".";
    QTest::newRow("last kind line @1 after a weather part")
        << QByteArrayList {kWeather + "@1xx\r\nSND"} << QList<int> {} << ".";
    QTest::newRow("zero byte hides the @3 line")
        << QByteArrayList {kWeather + QByteArray(1, '\0') + openAuxiliary + "SND"} << QList<int> {} << "W";
    QTest::newRow("zero byte hides the @0 line")
        << QByteArrayList {kIdLine + QByteArray(1, '\0') + "@0A7\r\n~\r\nSND"} << QList<int> {} << ".";
    QTest::newRow("auxiliary part still open")
        << QByteArrayList {kWeather + openAuxiliary + "SND"} << QList<int> {} << ".";
    QTest::newRow("auxiliary part completes")
        << QByteArrayList {kWeather + openAuxiliary, kAuxiliary.mid(openAuxiliary.size()) + "SND"} << QList<int> {}
        << ".W";
    QTest::newRow("weather and auxiliary part wait for SND")
        << QByteArrayList {kWeather + kAuxiliary, {}} << QList<int> {} << "SW";
    QTest::newRow("auxiliary part arrives after the wait began")
        << QByteArrayList {kWeather, openAuxiliary, kAuxiliary.mid(openAuxiliary.size()), {}} << QList<int> {}
        << "S..W";
    QTest::newRow("auxiliary part without its line end")
        << QByteArrayList {kWeather + kAuxiliary.chopped(2) + "SND"} << QList<int> {} << ".";
    QTest::newRow("auxiliary part alone") << QByteArrayList {kIdLine + kAuxiliary + "SND"} << QList<int> {} << ".";
    QTest::newRow("camera header of 10 bytes") << QByteArrayList {camera.left(10)} << QList<int> {} << ".";
    QTest::newRow("camera header of 11 bytes") << QByteArrayList {camera.left(11)} << QList<int> {} << "C";
    QTest::newRow("camera behind @I waits for SND")
        << QByteArrayList {kIdLine + camera, "SND"} << QList<int> {} << ".C";
    QTest::newRow("acoustic packet") << QByteArrayList {acoustic} << QList<int> {} << "A";
    QTest::newRow("acoustic behind @I waits for SND")
        << QByteArrayList {kIdLine + acoustic, "SND"} << QList<int> {} << ".A";
    QTest::newRow("camera behind @I and other bytes")
        << QByteArrayList {"xy\r\n" + kIdLine + camera + "SND"} << QList<int> {} << ".";
    QTest::newRow("camera header cut short behind @I")
        << QByteArrayList {kIdLine + "@1abcSND"} << QList<int> {} << ".";
}

void TestReceiveStream::framing()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QList<int>, ticksBefore);
    QFETCH(QString, kinds);
    ReceiveStream stream;
    QCOMPARE(runPasses(stream, pieces, ticksBefore), kinds);
}

void TestReceiveStream::lines_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("idLine");
    QTest::addColumn<QString>("kindLine");

    QTest::newRow("weather packet") << kWeather << "@I:300234010123450"
                                    << "@0A7";
    QTest::newRow("single piece is not examined") << QByteArray("@I:1") << ""
                                                  << "";
    QTest::newRow("last kind line wins") << kWeather + kAuxiliary << "@I:300234010123450"
                                         << "@3A7";
    QTest::newRow("last id line wins") << QByteArray("@I:1\r\n@0A\r\n@I:2\r\n") << "@I:2"
                                       << "@0A";
    QTest::newRow("text ends at the zero byte") << bytes("@I:1\r\n@0A\r\n\0@3B\r\n") << "@I:1"
                                                << "@0A";
    QTest::newRow("zero byte before the first break") << bytes("@I:1\0\r\n@0A\r\n") << ""
                                                      << "";
    QTest::newRow("empty pieces kept") << QByteArray("\r\n\r\n@2x") << ""
                                       << "@2x";
    QTest::newRow("bare line feed does not split") << QByteArray("@I:1\n@0A\r\n") << "@I:1\n@0A"
                                                   << "";
    QTest::newRow("lower case") << QByteArray("@i:1\r\n@0a\r\n") << ""
                                << "@0a";
    QTest::newRow("marker alone") << QByteArray("@I\r\n@1") << "@I"
                                  << "@1";
}

void TestReceiveStream::lines()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, idLine);
    QFETCH(QString, kindLine);
    ReceiveStream stream;
    stream.begin(buffer);
    QCOMPARE(stream.lastIdLine(), idLine);
    QCOMPARE(stream.lastKindLine(), kindLine);
}

void TestReceiveStream::stationChat_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("outgoing");
    QTest::addColumn<bool>("pending");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("banner");
    QTest::addColumn<bool>("prompt");

    const QByteArray banner = "\r\n\rKTR v2.14 (c) Vorsetti\r\n";
    const QByteArray spaces(80, ' ');
    QTest::newRow("banner") << banner << spaces << false << false << true << false;
    QTest::newRow("banner and prompt, spaces running") << banner + "\r\n>" << spaces << false << false << false
                                                       << true;
    QTest::newRow("banner and prompt, one space left") << banner + "\r\n>" << QByteArray(" ") << false << false
                                                       << false << false;
    QTest::newRow("banner and prompt, second byte no space")
        << banner + "\r\n>" << QByteArray("m3\r") << false << false << false << false;
    QTest::newRow("banner not at the start") << "x" + banner + "\r\n>" << spaces << false << false << false
                                             << false;
    QTest::newRow("prompt without banner") << QByteArray("xx\r\n>") << spaces << false << false << false << false;
    QTest::newRow("poke prompt at offset 0") << QByteArray("\n>") << QByteArray() << true << false << false << true;
    QTest::newRow("poke prompt at offset 1") << QByteArray("\r\n>") << QByteArray() << true << false << false
                                             << true;
    QTest::newRow("poke prompt at offset 2") << QByteArray("  \n>") << QByteArray() << true << false << false
                                             << false;
    QTest::newRow("first poke prompt decides") << QByteArray("ab\n>\n>") << QByteArray() << true << false << false
                                               << false;
    QTest::newRow("poke prompt, nothing pending") << QByteArray("\n>") << QByteArray() << false << false << false
                                                  << false;
    QTest::newRow("mode echo") << QByteArray("m3\r\n>") << QByteArray() << false << true << false << false;
    QTest::newRow("upper-case M is no echo") << QByteArray("M3") << QByteArray() << false << false << false
                                             << false;
}

void TestReceiveStream::stationChat()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, outgoing);
    QFETCH(bool, pending);
    QFETCH(bool, echo);
    QFETCH(bool, banner);
    QFETCH(bool, prompt);
    ReceiveStream stream;
    stream.begin(buffer);
    QCOMPARE(stream.isModeEcho(), echo);
    QCOMPARE(stream.isPowerUpBanner(), banner);
    QCOMPARE(stream.isPrompt(outgoing, pending), prompt);
}

void TestReceiveStream::weatherParts_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QByteArray>("slice");
    QTest::addColumn<QByteArray>("auxiliary");

    const QByteArray full = kWeather + kAuxiliary + "SND\r\n";
    QTest::newRow("weather and auxiliary part")
        << full << QString::fromLatin1(full) << "A7" << kWeather.mid(20, kWeather.indexOf('~') - 20)
        << kAuxiliary + "SND\r\n";
    QTest::newRow("text is UTF-8 up to the zero byte")
        << bytes("@I:1\r\n@0A7\r\nTA:21.5\xc2\xb0\r\n~\0zz") << QString::fromUtf8("@I:1\r\n@0A7\r\nTA:21.5°\r\n~")
        << "A7" << QByteArray("@0A7\r\nTA:21.5\xc2\xb0\r\n") << QByteArray();
    QTest::newRow("firmware cut short") << QByteArray("@I:1\r\n@0A") << "@I:1\r\n@0A"
                                        << "A" << QByteArray("@0A") << QByteArray();
    QTest::newRow("firmware stops at a zero byte") << bytes("@0\0A~") << "@0"
                                                   << "" << bytes("@0\0A") << QByteArray();
    QTest::newRow("no kind line") << QByteArray("@I:1\r\n~\r\n~\r\n") << "@I:1\r\n~\r\n~\r\n"
                                  << "" << QByteArray() << QByteArray();
    QTest::newRow("end marker in the id line") << QByteArray("@I:~\r\n@0A7\r\nX\r\n~\r\n")
                                               << "@I:~\r\n@0A7\r\nX\r\n~\r\n"
                                               << "A7" << QByteArray("@0A7\r\nX\r\n") << QByteArray();
    QTest::newRow("auxiliary part not ended") << kWeather + "@3A7\r\nECL:1\r\n"
                                              << QString::fromLatin1(kWeather + "@3A7\r\nECL:1\r\n") << "A7"
                                              << kWeather.mid(20, kWeather.indexOf('~') - 20) << QByteArray();
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

void TestReceiveStream::weatherWithAuxiliaryPartIsProcessedOnce()
{
    ReceiveStream stream;
    stream.begin(kWeather + kAuxiliary);
    QCOMPARE(stream.frame(), ReceiveStream::Kind::SndWait);
    QVERIFY(stream.sndWaitDone());
    stream.begin("SND\r\n");
    QCOMPARE(stream.frame(), ReceiveStream::Kind::Weather);
    QCOMPARE(stream.buffer(), kWeather + kAuxiliary + "SND\r\n");
    QCOMPARE(stream.auxiliaryPart(), kAuxiliary + "SND\r\n");
    stream.finishWeather();
    stream.endPass();
    QVERIFY(stream.buffer().isEmpty());
    QVERIFY(!stream.sndWaitDone());
    stream.begin({});
    QCOMPARE(stream.frame(), ReceiveStream::Kind::Nothing);
}

void TestReceiveStream::sndWaitRestartsIdleCount()
{
    ReceiveStream stream;
    for (int i = 0; i < 4; ++i)
        stream.tick();
    QCOMPARE(stream.idleTicks(), 4);
    stream.begin(kWeather);
    QCOMPARE(stream.frame(), ReceiveStream::Kind::SndWait);
    QCOMPARE(stream.idleTicks(), 0);

    stream.clear();
    QVERIFY(stream.buffer().isEmpty());
    QVERIFY(!stream.sndWaitDone());
}

void TestReceiveStream::idLinesAreCutBeforeBinaryPackets_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("remaining");

    const QByteArray camera = binaryPacket('1', 3);
    const QByteArray acoustic = binaryPacket('2', 3);
    QTest::newRow("camera") << kIdLine + camera + "SND" << int(ReceiveStream::Kind::Camera) << camera + "SND";
    QTest::newRow("acoustic") << kIdLine + acoustic + "SND" << int(ReceiveStream::Kind::Acoustic)
                              << acoustic + "SND";
    QTest::newRow("two id lines") << kIdLine + kIdLine + acoustic + "SND" << int(ReceiveStream::Kind::Acoustic)
                                  << acoustic + "SND";
    QTest::newRow("header at the start") << camera << int(ReceiveStream::Kind::Camera) << camera;
}

void TestReceiveStream::idLinesAreCutBeforeBinaryPackets()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, kind);
    QFETCH(QByteArray, remaining);
    ReceiveStream stream;
    stream.begin(buffer);
    QCOMPARE(int(stream.kind()), kind);
    QCOMPARE(stream.buffer(), buffer);
    QCOMPARE(int(stream.frame()), kind);
    QCOMPARE(stream.buffer(), remaining);
}

void TestReceiveStream::backToBackPacketsAreEachFramedOnce()
{
    // Stands in for the packet step: a whole packet is stored and consumed.
    const auto storeAll = [](ReceiveStream &stream, QList<int> &stored) {
        while (stream.frame() == ReceiveStream::Kind::Camera && stream.buffer().size() >= kCameraPacketBytes) {
            stored << quint8(stream.buffer().at(9));
            stream.consume(kCameraPacketBytes);
        }
    };

    ReceiveStream stream;
    QList<int> stored;
    stream.begin(kIdLine + binaryPacket('1', 0) + "SND" + kIdLine + binaryPacket('1', 1) + "SND\r\n"
                 + binaryPacket('1', 2));
    storeAll(stream, stored);
    QCOMPARE(stored, QList<int>({0, 1, 2}));
    QVERIFY(stream.buffer().isEmpty());

    // A packet split over two passes is stored once, when it is whole.
    const QByteArray next = binaryPacket('1', 3) + binaryPacket('1', 4);
    stream.begin(next.left(kCameraPacketBytes + 100));
    storeAll(stream, stored);
    QCOMPARE(stored, QList<int>({0, 1, 2, 3}));
    QCOMPARE(stream.buffer().size(), 100);
    stream.begin(next.mid(kCameraPacketBytes + 100));
    storeAll(stream, stored);
    QCOMPARE(stored, QList<int>({0, 1, 2, 3, 4}));
}

void TestReceiveStream::consumeStaysInBounds()
{
    ReceiveStream stream;
    stream.begin("@2abc");
    stream.consume(-5);
    QCOMPARE(stream.buffer(), QByteArray("@2abc"));
    stream.consume(1 << 30);
    QVERIFY(stream.buffer().isEmpty());
}

void TestReceiveStream::endlessLineKeepsNewestBytes()
{
    QByteArray garbage(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 31 + i / 4099) & 0xff);
    const QByteArray newest = garbage.right(ReceiveStream::kMaxBufferBytes);

    ReceiveStream chunked;
    for (int at = 0; at < garbage.size(); at += 4096) {
        chunked.begin(garbage.mid(at, 4096));
        chunked.frame();
        chunked.endPass();
    }
    QCOMPARE(chunked.buffer(), newest);

    ReceiveStream whole;
    whole.begin(garbage);
    QCOMPARE(whole.buffer(), newest);

    ReceiveStream replayed;
    replayed.replaceWith(garbage);
    QCOMPARE(replayed.buffer(), newest);

    // After the next silence the line is read as before.
    for (int i = 0; i <= ReceiveStream::kIdleGapTicks; ++i)
        chunked.tick();
    QCOMPARE(runPasses(chunked, {kWeather + "SND"}, {}), QString("W"));
}

void TestReceiveStream::mixedFragmentsKeepTheInvariants()
{
    const QByteArrayList fragments {kWeather.left(25), kWeather.mid(25), kAuxiliary, kIdLine, "SND", "~\r\n",
                                    "\r\n", QByteArray(1, '\0'), "@1", "@2", "@3", "@0", "@I",
                                    binaryPacket('1', 1), binaryPacket('2', 2), QByteArray(5000, 'x')};
    QRandomGenerator random(20260101);
    ReceiveStream stream;
    for (int pass = 0; pass < 5000; ++pass) {
        for (int t = random.bounded(8); t > 0; --t)
            stream.tick();
        QByteArray piece;
        for (int n = random.bounded(4); n > 0; --n)
            piece += fragments.at(random.bounded(fragments.size()));
        stream.begin(piece);
        const ReceiveStream::Kind kind = stream.frame();
        QVERIFY(stream.buffer().size() <= ReceiveStream::kMaxBufferBytes);
        // A packet step can always read the whole header at offset 0.
        if (kind == ReceiveStream::Kind::Camera || kind == ReceiveStream::Kind::Acoustic) {
            QVERIFY(stream.buffer().startsWith(kind == ReceiveStream::Kind::Camera ? "@1" : "@2"));
            QVERIFY(stream.buffer().size() > ReceiveStream::kHeaderBytes);
            if (stream.buffer().size() >= ReceiveStream::kBinaryPacketBytes)
                stream.consume(ReceiveStream::kBinaryPacketBytes);
        }
        if (kind == ReceiveStream::Kind::Weather) {
            QVERIFY(stream.text().startsWith("@I"));
            stream.finishWeather();
        }
        if (kind != ReceiveStream::Kind::SndWait)
            stream.endPass();
    }
}

void TestReceiveStream::edgesAgreeWithAFreshLook_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("kinds");
    // A first piece that fills the buffer to its bound, so that each byte
    // of the next piece pushes one byte out at the front.
    auto full = [](const QByteArray &head) {
        return head + QByteArray(ReceiveStream::kMaxBufferBytes - head.size(), 'x');
    };
    QTest::newRow("line end split") << QByteArrayList{"@I:1\r\n@0A7\r", "\n@3B\r\n"} << "..";
    QTest::newRow("SND split") << QByteArrayList{kWeather + "SN", "D"} << "SW";
    QTest::newRow("SND split in three") << QByteArrayList{kWeather + "S", "N", "D"} << "SSW";
    QTest::newRow("end marker pushed out")
        << QByteArrayList{full("~" + kWeather.left(kWeather.indexOf("B:"))), "y"} << "..";
    QTest::newRow("SND pushed out") << QByteArrayList{full("SND" + kWeather), "yyy"} << ".S";
    QTest::newRow("zero byte pushed out") << QByteArrayList{full(bytes("\0") + kWeather + "SND"), "y"} << ".W";
    QTest::newRow("cut line becomes the id line") << QByteArrayList{full("x" + kWeather), "y"} << ".S";
    QTest::newRow("line end cut in half") << QByteArrayList{full("ab\r\n@0A7\r\n@3B\r\n"), "yyy"} << "..";
    QTest::newRow("last line joins the first") << QByteArrayList{full("ab\r\n@I:1"), "yyy"} << "..";
    QTest::newRow("last line cut") << QByteArrayList{"@0A7\r\n@I:1", QByteArray(ReceiveStream::kMaxBufferBytes, 'x')}
                                   << "..";
}

// Markers split across passes, and lines, markers and zero bytes pushed out
// at the bound, are read exactly as a look at the whole buffer reads them.
void TestReceiveStream::edgesAgreeWithAFreshLook()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, kinds);
    ReceiveStream stream;
    QString seen;
    for (const QByteArray &piece : qAsConst(pieces)) {
        stream.begin(piece);
        const Reading expected = readFromScratch(stream.buffer(), stream.sndWaitDone());
        QCOMPARE(stream.lastIdLine(), expected.idLine);
        QCOMPARE(stream.lastKindLine(), expected.kindLine);
        QCOMPARE(int(stream.kind()), int(expected.kind));
        seen += letter(stream.kind());
    }
    QCOMPARE(seen, kinds);
}

// Random traffic of every kind, through every operation that adds or drops
// bytes, with the buffer often at its bound: after each step the stream reads
// its buffer exactly as a look at the whole buffer from scratch does.
void TestReceiveStream::keptIndexAgreesWithAFreshLook()
{
    const QByteArrayList tokens {"\r\n", "\r", "\n", "@I", "@I:300234010123450", "@0", "@0A7", "@1", "@2", "@3",
                                 "~", "~\r\n", "SND", "SN", "D", "x", "TA:21.5", ":", ">", "\n>", "@", "I", "0", "3"};
    QRandomGenerator random(4711);
    ReceiveStream stream;
    auto randomBytes = [&](int count) {
        QByteArray bytes;
        while (bytes.size() < count)
            bytes += random.bounded(400) == 0 ? QByteArray(1, '\0') : tokens.at(random.bounded(tokens.size()));
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
        const Reading expected = readFromScratch(stream.buffer(), stream.sndWaitDone());
        static int stats[8]; static int maxSize; static int bound; stats[int(expected.kind)]++; maxSize = qMax(maxSize, stream.buffer().size()); if (stream.buffer().size()==ReceiveStream::kMaxBufferBytes) ++bound; if (!expected.idLine.isEmpty()) stats[6]++; if (!expected.kindLine.isEmpty()) stats[7]++;
        if (step == 9999) qInfo() << stats[0] << stats[1] << stats[2] << stats[3] << stats[4] << "id" << stats[6] << "kind" << stats[7] << maxSize << bound;
        QCOMPARE(stream.lastIdLine(), expected.idLine);
        QCOMPARE(stream.lastKindLine(), expected.kindLine);
        QCOMPARE(int(stream.kind()), int(expected.kind));
        const int nul = stream.buffer().indexOf('\0');
        QCOMPARE(stream.text(), QString::fromUtf8(stream.buffer().left(nul < 0 ? stream.buffer().size() : nul)));
    }
}

QTEST_GUILESS_MAIN(TestReceiveStream)
#include "tst_receivestream.moc"
