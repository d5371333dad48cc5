// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/sbdmessage.h"

#include <QtTest>

namespace {
const QByteArray kImei("300234010753370");

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}
} // namespace

class TestSbdMessage : public QObject
{
    Q_OBJECT

private slots:
    // Must stay the first user of the counter in this process.
    void counterStartsAtOne();
    void exactBytes();
    void lengthsAndLimits();
    void parseRoundTrip();
    void parseRejects_data();
    void parseRejects();
};

void TestSbdMessage::counterStartsAtOne()
{
    QCOMPARE(SbdMessage::nextCounter(), 1u);
    QCOMPARE(SbdMessage::nextCounter(), 2u);
}

void TestSbdMessage::exactBytes()
{
    QCOMPARE(SbdMessage::build(0x01020304, kImei, 0x65A1B2C3, "@0AB\r\n").toHex(' '),
             fromHex("01 0028 01 001C 01020304 333030323334303130373533333730 00 0000 0000 65A1B2C3"
                     "02 0006 4030 4142 0D0A")
                 .toHex(' '));
    // The IMEI is always 15 bytes: padded with zeros, or cut.
    const std::pair<QByteArray, QByteArray> imeis[] = {
        {"12345", "123450000000000"}, {"", "000000000000000"}, {"3002340107533701234", kImei}};
    for (const auto &[imei, sent] : imeis) {
        const QByteArray message = SbdMessage::build(1, imei, 0, "@0\r\n");
        QCOMPARE(message.size(), SbdMessage::kOverheadBytes + 4);
        QCOMPARE(message.mid(10, 16), sent + '\0');
    }
}

void TestSbdMessage::lengthsAndLimits()
{
    const QByteArray message = SbdMessage::build(7, kImei, 0, QByteArray(300, 'x'));
    QCOMPARE(message.size(), 337);
    QCOMPARE(message.mid(1, 5).toHex(), QByteArray("014e01001c"));
    QCOMPARE(message.mid(34, 3).toHex(), QByteArray("02012c"));

    const QByteArray largest = SbdMessage::build(1, kImei, 0, QByteArray(SbdMessage::kMaxPayloadBytes, 'a'));
    QCOMPARE(largest.size(), 65538);
    QCOMPARE(largest.mid(1, 2).toHex(), QByteArray("ffff"));
    QCOMPARE(largest.mid(35, 2).toHex(), QByteArray("ffdd"));
    QVERIFY(SbdMessage::parse(largest, nullptr));
    // One byte more cannot be described by the length field: no message at all.
    QVERIFY(SbdMessage::build(1, kImei, 0, QByteArray(SbdMessage::kMaxPayloadBytes + 1, 'a')).isEmpty());
    // The length a stream announces once its first three bytes are in.
    const std::pair<const char *, int> lengths[] = {
        {"", 0}, {"0101", 0}, {"01014e01", 337}, {"01ffff", 65538}};
    for (const auto &[hex, length] : lengths)
        QCOMPARE(SbdMessage::messageLength(fromHex(hex)), length);
    QCOMPARE(SbdMessage::messageLength("@I"), -1);
}

void TestSbdMessage::parseRoundTrip()
{
    const QByteArray payload("@0\r\nA 1 2\r\n\0\xff binary", 20);
    QByteArray message = SbdMessage::build(0xFFFFFFFF, kImei, 0x80000001, payload);
    // A location element (0x03) of a real DirectIP message between the two known ones is skipped.
    message.insert(34, fromHex("03 000B 00 0102 0304 0506 0708 090A"));
    message[2] = char(message.size() - 3);
    SbdMessage parsed;
    QVERIFY(SbdMessage::parse(message, &parsed));
    QCOMPARE(parsed.counter, 0xFFFFFFFFu);
    QCOMPARE(parsed.sendTime, 0x80000001u);
    QCOMPARE(parsed.payload, payload);
}

void TestSbdMessage::parseRejects_data()
{
    QTest::addColumn<QByteArray>("message");
    const QByteArray good = SbdMessage::build(1, kImei, 0, "abc");
    const QByteArray header = fromHex("01 001C") + QByteArray(28, '0');

    QTest::newRow("revision 2") << QByteArray(good).replace(0, 1, "\x02");
    QTest::newRow("truncated") << good.chopped(1);
    QTest::newRow("trailing byte") << good + 'x';
    QTest::newRow("header element 27 bytes") << QByteArray(good).replace(4, 2, QByteArray("\x00\x1B", 2));
    QTest::newRow("payload length too big") << QByteArray(good).replace(35, 2, QByteArray("\x00\x04", 2));
    QTest::newRow("no payload element") << fromHex("01 001F") + header;
    QTest::newRow("no header element") << fromHex("01 0006 02 0003 616263");
    QTest::newRow("two payload elements") << fromHex("01 0025") + header + fromHex("02 0000 02 0000");
    QTest::newRow("cut element header") << fromHex("01 0021") + header + fromHex("02 00");
}

void TestSbdMessage::parseRejects()
{
    QFETCH(QByteArray, message);
    SbdMessage parsed;
    parsed.counter = 42;
    QVERIFY(!SbdMessage::parse(message, &parsed));
    QCOMPARE(parsed.counter, 42u);
}

QTEST_GUILESS_MAIN(TestSbdMessage)
#include "tst_sbdmessage.moc"
