// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherpacketscanner.h"

#include <QRandomGenerator>
#include <QtTest>

using Damage = WeatherPacketScanner::Damage;

namespace {

QByteArray weatherPacket(const QByteArray &imei, const QByteArray &temperature = "22.8")
{
    return "@I:" + imei + "\r\n@014\r\nB:5.32:3:000123:0A:1F:00\r\nT:18/05/31,02:37:13\r\nTA:" + temperature
           + "\r\nWI:1:?\r\n~\r\n";
}

QByteArray logEntry(const QByteArray &packet)
{
    return "\r\n*2018-05-31T14:02:07.123L\r\n" + packet + "SND\r\n";
}

// One line per entry: "<offset> ok <packet bytes>" or "<offset> <damage>".
QStringList describe(const QVector<WeatherPacketScanner::Entry> &entries)
{
    QStringList lines;
    for (const WeatherPacketScanner::Entry &entry : entries) {
        if (entry.damage == Damage::None)
            lines << QStringLiteral("%1 ok %2").arg(entry.offset).arg(QString::fromLatin1(entry.packet.toPercentEncoding()));
        else
            lines << QStringLiteral("%1 damaged %2").arg(entry.offset).arg(int(entry.damage));
    }
    return lines;
}

QStringList scanWhole(const QByteArray &input)
{
    WeatherPacketScanner scanner;
    scanner.feed(input);
    scanner.finish();
    return describe(scanner.takeEntries());
}

QStringList scanInPieces(const QByteArray &input, int maxPiece)
{
    WeatherPacketScanner scanner;
    QVector<WeatherPacketScanner::Entry> entries;
    for (int at = 0; at < input.size();) {
        const int piece = std::min<int>(input.size() - at, 1 + QRandomGenerator::global()->bounded(maxPiece));
        scanner.feed(input.constData() + at, piece);
        entries += scanner.takeEntries();
        at += piece;
    }
    scanner.finish();
    entries += scanner.takeEntries();
    return describe(entries);
}

QString ok(qint64 offset, const QByteArray &packet)
{
    return QStringLiteral("%1 ok %2").arg(offset).arg(QString::fromLatin1(packet.toPercentEncoding()));
}

QString damaged(qint64 offset, Damage damage)
{
    return QStringLiteral("%1 damaged %2").arg(offset).arg(int(damage));
}

} // namespace

class TestWeatherPacketScanner : public QObject
{
    Q_OBJECT

private slots:
    void streams_data();
    void streams();
    void splitDoesNotMatter();
    void oversizedPacket();
    void memoryStaysBounded();
    void reusableAfterFinish();
};

void TestWeatherPacketScanner::streams_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");

    const QByteArray a = weatherPacket("300234063909320");
    const QByteArray b = weatherPacket("300234063909321", "-5.4");
    const QByteArray stamp = "\r\n*2018-05-31T14:02:07.123L\r\n";
    const qint64 entryHead = stamp.size();
    const qint64 entrySize = logEntry(a).size();

    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("bare packet") << a << QStringList{ok(0, a)};
    QTest::newRow("raw log") << logEntry(a) + logEntry(b)
                             << QStringList{ok(entryHead, a), ok(entrySize + entryHead, b)};
    QTest::newRow("end marker last byte") << a.left(a.size() - 2) << QStringList{ok(0, a.left(a.size() - 2))};
    QTest::newRow("unix line ends") << QByteArray(a).replace("\r\n", "\n")
                                    << QStringList{ok(0, QByteArray(a).replace("\r\n", "\n"))};

    // Auxiliary part and "SND" after the "~" are not part of the weather packet.
    const QByteArray aux = "@312\r\nECL:1:1150:?:?:?:?:?\r\nLDD:12.5:3:HK\r\n~\r\nSND\r\n";
    QTest::newRow("auxiliary part") << a + aux + b << QStringList{ok(0, a), ok(a.size() + aux.size(), b)};

    // A packet cut off by the next "@I:" is reported; the next one still counts.
    const QByteArray cut = a.left(a.indexOf("TA:"));
    QTest::newRow("cut short") << logEntry(cut) + logEntry(b)
                               << QStringList{damaged(entryHead, Damage::Unterminated),
                                              ok(entryHead + cut.size() + 5 + entryHead, b)};
    const QByteArray midLine = a.left(a.indexOf("TA:") + 5);
    QTest::newRow("cut mid-line") << midLine + b
                                  << QStringList{damaged(0, Damage::Unterminated), ok(midLine.size(), b)};
    QTest::newRow("input ends inside") << b + cut << QStringList{ok(0, b), damaged(b.size(), Damage::Unterminated)};

    QByteArray zero = a;
    zero.insert(a.indexOf("TA:") + 4, '\0');
    QTest::newRow("zero byte") << zero + b << QStringList{damaged(0, Damage::BinaryData), ok(zero.size(), b)};

    // Picture packets and noise are not weather packets at all: no report.
    QByteArray picture = "@I:300234063909320\r\n@1" + QByteArray(6, '\x18') + QByteArray(2, '\0');
    for (int i = 0; i < 330; ++i)
        picture += char(i * 37);
    picture.replace("@I:", "@X:");
    picture.prepend("@I:300234063909320\r\n");
    picture += "\r\n\r\nSND\r\n";
    QTest::newRow("picture between") << a + picture + b << QStringList{ok(0, a), ok(a.size() + picture.size(), b)};
    QTest::newRow("id line without kind") << "@I:1\r\nhello\r\n~\r\n" + b
                                          << QStringList{ok(QByteArray("@I:1\r\nhello\r\n~\r\n").size(), b)};
    QTest::newRow("binary in id line") << "@I:\x01\x02\r\n@0\r\n~\r\n" + b
                                       << QStringList{ok(QByteArray("@I:\x01\x02\r\n@0\r\n~\r\n").size(), b)};
    QTest::newRow("stray end marker") << "~\r\n~\r\n" + a << QStringList{ok(6, a)};
    QTest::newRow("kind line @3") << "@I:1\r\n@312\r\nECL:1\r\n~\r\n" + a
                                  << QStringList{ok(QByteArray("@I:1\r\n@312\r\nECL:1\r\n~\r\n").size(), a)};
    // "~" must stand alone on its line.
    QByteArray tilde = a;
    tilde.replace("WI:1:?", "WI:1:~");
    QTest::newRow("tilde inside a line") << tilde << QStringList{ok(0, tilde)};
}

void TestWeatherPacketScanner::streams()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    QCOMPARE(scanWhole(input), expected);
    // The result must not depend on where the input is split.
    for (int maxPiece : {1, 2, 3, 7, 64}) {
        for (int round = 0; round < 5; ++round)
            QCOMPARE(scanInPieces(input, maxPiece), expected);
    }
}

void TestWeatherPacketScanner::splitDoesNotMatter()
{
    // Streams stitched together from the pieces that trip up a framer.
    const QByteArray a = weatherPacket("300234063909320");
    const QList<QByteArray> pieces = {
        a, a.left(40), a.mid(40), "@I:", "@0", "\r\n", "\n", "~", "~\r\n", QByteArray(1, '\0'), "\x01", "SND",
        "@I:1\r\n@1\x18\x05", "\r\n*2018-05-31T14:02:07.123L\r\n", QByteArray(300, 'x'),
    };
    QRandomGenerator random(20180531);
    for (int round = 0; round < 300; ++round) {
        QByteArray input;
        const int count = random.bounded(1, 40);
        for (int i = 0; i < count; ++i)
            input += pieces.at(random.bounded(pieces.size()));
        const QStringList whole = scanWhole(input);
        QCOMPARE(scanInPieces(input, 1), whole);
        QCOMPARE(scanInPieces(input, 5), whole);
        QCOMPARE(scanInPieces(input, 50), whole);
        // Every packet found is a slice of the input at its offset.
        WeatherPacketScanner scanner;
        scanner.feed(input);
        scanner.finish();
        const QVector<WeatherPacketScanner::Entry> entries = scanner.takeEntries();
        for (const WeatherPacketScanner::Entry &entry : entries) {
            if (entry.damage == Damage::None) {
                QCOMPARE(input.mid(entry.offset, entry.packet.size()), entry.packet);
                QVERIFY(entry.packet.startsWith("@I:"));
            }
        }
    }
}

void TestWeatherPacketScanner::oversizedPacket()
{
    QByteArray big = "@I:300234063909320\r\n@014\r\n";
    while (big.size() <= WeatherPacketScanner::kMaxPacketBytes)
        big += "XA:0:0:0\r\n";
    big += "~\r\n";
    const QByteArray b = weatherPacket("300234063909321");
    QCOMPARE(scanWhole(big + b), (QStringList{damaged(0, Damage::Oversized), ok(big.size(), b)}));

    // One line without end gives the same report.
    QByteArray longLine = "@I:300234063909320\r\n@014\r\nXA:" + QByteArray(20000, '0') + "\r\n~\r\n";
    QCOMPARE(scanWhole(longLine + b), (QStringList{damaged(0, Damage::Oversized), ok(longLine.size(), b)}));

    // Just within the limit is fine.
    QByteArray fits = "@I:300234063909320\r\n@014\r\n";
    fits += "XA:" + QByteArray(WeatherPacketScanner::kMaxPacketBytes - fits.size() - 8, '0') + "\r\n~\r\n";
    QCOMPARE(fits.size(), WeatherPacketScanner::kMaxPacketBytes);
    QCOMPARE(scanWhole(fits), QStringList{ok(0, fits)});
}

void TestWeatherPacketScanner::memoryStaysBounded()
{
    WeatherPacketScanner scanner;
    const QByteArray noise(64 * 1024, 'x');
    const QByteArray open = "@I:300234063909320\r\n@014\r\n";
    scanner.feed(open);
    for (int i = 0; i < 64; ++i) {
        scanner.feed(noise);
        QVERIFY(scanner.bufferedBytes() <= WeatherPacketScanner::kMaxPacketBytes + 2);
    }
    QCOMPARE(describe(scanner.takeEntries()), QStringList{damaged(0, Damage::Oversized)});
    scanner.feed(weatherPacket("1"));
    QVERIFY(scanner.bufferedBytes() <= 2);
    QCOMPARE(scanner.takeEntries().size(), 1);

    // One huge chunk holding many packets.
    QByteArray many;
    while (many.size() < 3 * 1024 * 1024)
        many += logEntry(weatherPacket("2"));
    scanner.feed(many);
    QVERIFY(scanner.bufferedBytes() <= WeatherPacketScanner::kMaxPacketBytes);
    QCOMPARE(scanner.takeEntries().size(), many.count("@I:"));
}

void TestWeatherPacketScanner::reusableAfterFinish()
{
    WeatherPacketScanner scanner;
    const QByteArray a = weatherPacket("300234063909320");
    scanner.feed("junk " + a.left(30));
    scanner.finish();
    QCOMPARE(describe(scanner.takeEntries()), QStringList{damaged(5, Damage::Unterminated)});
    scanner.feed(a);
    scanner.finish();
    QCOMPARE(describe(scanner.takeEntries()), QStringList{ok(0, a)});
}

QTEST_GUILESS_MAIN(TestWeatherPacketScanner)
#include "tst_weatherpacketscanner.moc"
