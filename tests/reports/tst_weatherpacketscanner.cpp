// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherpacketscanner.h"

#include <QtTest>

using Damage = WeatherPacketScanner::Damage;

namespace {

QByteArray weatherPacket(const QByteArray &imei)
{
    return "@I:" + imei +
           "\r\n@014\r\nB:5.32:3:000123:0A:1F:00\r\nT:18/05/31,02:37:13\r\nTA:22.8\r\nWI:1:?\r\n~\r\n";
}

const QByteArray kStamp = "\r\n*2018-05-31T14:02:07.123L\r\n";

// One line per entry: "<offset> <packet bytes>" or "<offset> damaged <damage>".
QString ok(qint64 offset, const QByteArray &packet)
{
    return QStringLiteral("%1 %2").arg(offset).arg(QString::fromLatin1(packet.toPercentEncoding()));
}

QString damaged(qint64 offset, Damage damage)
{
    return QStringLiteral("%1 damaged %2").arg(offset).arg(int(damage));
}

// The input fed in pieces of the given size (0: all at once).
QStringList scan(const QByteArray &input, int piece = 0)
{
    WeatherPacketScanner scanner;
    const int step = piece > 0 ? piece : int(input.size());
    for (int at = 0; at < input.size(); at += step)
        scanner.feed(input.mid(at, step));
    scanner.finish();
    QStringList lines;
    for (const WeatherPacketScanner::Entry &entry : scanner.takeEntries())
        lines << (entry.damage == Damage::None ? ok(entry.offset, entry.packet)
                                               : damaged(entry.offset, entry.damage));
    return lines;
}

} // namespace

class TestWeatherPacketScanner : public QObject
{
    Q_OBJECT

private slots:
    void streams_data();
    void streams();
    void memoryStaysBounded();
};

void TestWeatherPacketScanner::streams_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");

    const QByteArray a = weatherPacket("300234063909320");
    const QByteArray b = weatherPacket("300234063909321");
    const int head = kStamp.size();
    const QByteArray entryA = kStamp + a + "SND\r\n";

    QTest::newRow("raw log") << entryA + kStamp + b << QStringList{ok(head, a), ok(entryA.size() + head, b)};
    QTest::newRow("end marker last byte") << a.chopped(2) << QStringList{ok(0, a.chopped(2))};
    // The auxiliary part and "SND" after the "~" are no part of the weather packet.
    const QByteArray aux = "@312\r\nECL:1:1150:?:?:?:?:?\r\n~\r\nSND\r\n";
    QTest::newRow("auxiliary part") << a + aux + b << QStringList{ok(0, a), ok(a.size() + aux.size(), b)};
    // A packet cut off by the next "@I:" is reported; the next one still counts.
    const QByteArray cut = a.left(a.indexOf("TA:") + 5);
    QTest::newRow("cut mid-line") << cut + b
                                  << QStringList{damaged(0, Damage::Unterminated), ok(cut.size(), b)};
    QTest::newRow("input ends inside")
        << b + cut << QStringList{ok(0, b), damaged(b.size(), Damage::Unterminated)};
    QByteArray zero = a;
    zero.insert(a.indexOf("TA:") + 4, '\0');
    QTest::newRow("zero byte") << zero + b << QStringList{damaged(0, Damage::BinaryData), ok(zero.size(), b)};
    // Long lines are searched sixteen bytes at a time: a tab stays text, a DEL does not.
    QByteArray tab = a, del = a;
    tab.insert(a.indexOf("B:") + 17, '\t');
    del.insert(a.indexOf("B:") + 17, '\x7f');
    QTest::newRow("tab in a long line") << tab << QStringList{ok(0, tab)};
    QTest::newRow("DEL in a long line")
        << del + b << QStringList{damaged(0, Damage::BinaryData), ok(del.size(), b)};
    // Picture packets, other kinds and noise are no weather packets at all.
    const QByteArray picture =
        "@I:300234063909320\r\n@1" + QByteArray(8, '\x18') + QByteArray(330, '@') + "\r\n";
    QTest::newRow("picture between") << a + picture + b
                                     << QStringList{ok(0, a), ok(a.size() + picture.size(), b)};
    const QByteArray other =
        "@I:1\r\nhello\r\n~\r\n@I:\x01\r\n@0\r\n~\r\n~\r\n@I:1\r\n@312\r\nECL:1\r\n~\r\n";
    QTest::newRow("no weather kind") << other + a << QStringList{ok(other.size(), a)};
    QByteArray big =
        "@I:300234063909320\r\n@014\r\nXA:" + QByteArray(WeatherPacketScanner::kMaxPacketBytes, '0');
    QTest::newRow("oversized") << big + "\r\n~\r\n" + b
                               << QStringList{damaged(0, Damage::Oversized), ok(big.size() + 5, b)};
    QByteArray fits = "@I:300234063909320\r\n@014\r\n";
    fits += "XA:" + QByteArray(WeatherPacketScanner::kMaxPacketBytes - fits.size() - 8, '0') + "\r\n~\r\n";
    QTest::newRow("just within the limit") << fits << QStringList{ok(0, fits)};
}

void TestWeatherPacketScanner::streams()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    // The result must not depend on where the input is split.
    for (int piece : {0, 1, 2, 3, 7, 64})
        QCOMPARE(scan(input, piece), expected);
}

void TestWeatherPacketScanner::memoryStaysBounded()
{
    WeatherPacketScanner scanner;
    scanner.feed("@I:300234063909320\r\n@014\r\n");
    for (int i = 0; i < 64; ++i) {
        scanner.feed(QByteArray(64 * 1024, 'x'));
        QVERIFY(scanner.bufferedBytes() <= WeatherPacketScanner::kMaxPacketBytes + 2);
    }
    QCOMPARE(scanner.takeEntries().size(), 1);
    // One huge chunk holding many packets.
    const QByteArray many = (kStamp + weatherPacket("2") + "SND\r\n").repeated(20000);
    scanner.feed(many);
    QVERIFY(scanner.bufferedBytes() <= WeatherPacketScanner::kMaxPacketBytes);
    QCOMPARE(scanner.takeEntries().size(), 20000);
}

QTEST_GUILESS_MAIN(TestWeatherPacketScanner)
#include "tst_weatherpacketscanner.moc"
