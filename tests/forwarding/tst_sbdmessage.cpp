// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/sbdmessage.h"

#include <QtTest>

class TestSbdMessage : public QObject
{
    Q_OBJECT

private slots:
    // Must stay the first user of the counter in this process.
    void counterStartsAtOne();
    void exactBytes();
    void lengthFieldsOf300BytePayload();
    void imeiIsFixedTo15Bytes_data();
    void imeiIsFixedTo15Bytes();
    void payloadLimit();
    void parseRoundTrip();
    void parseSkipsUnknownElements();
    void parseRejects_data();
    void parseRejects();
    void messageLength_data();
    void messageLength();
    void escaped_data();
    void escaped();
};

namespace {
const QByteArray kImei("300234010753370");

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}
} // namespace

void TestSbdMessage::counterStartsAtOne()
{
    QCOMPARE(SbdMessage::nextCounter(), 1u);
    QCOMPARE(SbdMessage::nextCounter(), 2u);
}

void TestSbdMessage::exactBytes()
{
    const QByteArray message = SbdMessage::build(0x01020304, kImei, 0x65A1B2C3, "@0AB\r\n");
    const QByteArray expected =
        fromHex("01 0028"
                "01 001C 01020304 333030323334303130373533333730 00 0000 0000 65A1B2C3"
                "02 0006 4030 4142 0D0A");
    QCOMPARE(message.toHex(' '), expected.toHex(' '));
}

void TestSbdMessage::lengthFieldsOf300BytePayload()
{
    const QByteArray payload(300, 'x');
    const QByteArray message = SbdMessage::build(7, kImei, 0, payload);
    QCOMPARE(message.size(), 337);
    QCOMPARE(message.mid(1, 2), QByteArray("\x01\x4E"));
    QCOMPARE(message.mid(4, 2), QByteArray("\x00\x1C", 2));
    QCOMPARE(message.mid(35, 2), QByteArray("\x01\x2C"));
    QCOMPARE(message.mid(37), payload);
}

void TestSbdMessage::imeiIsFixedTo15Bytes_data()
{
    QTest::addColumn<QByteArray>("imei");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("15 digits") << kImei << kImei;
    QTest::newRow("short") << QByteArray("12345") << QByteArray("123450000000000");
    QTest::newRow("empty") << QByteArray() << QByteArray("000000000000000");
    QTest::newRow("long") << QByteArray("3002340107533701234") << kImei;
}

void TestSbdMessage::imeiIsFixedTo15Bytes()
{
    QFETCH(QByteArray, imei);
    QFETCH(QByteArray, sent);
    const QByteArray message = SbdMessage::build(1, imei, 0, "@0\r\n");
    QCOMPARE(message.size(), SbdMessage::kOverheadBytes + 4);
    QCOMPARE(message.mid(10, 15), sent);
    QCOMPARE(message.at(25), '\0'); // the status keeps its place
}

void TestSbdMessage::payloadLimit()
{
    const QByteArray largest = SbdMessage::build(1, kImei, 0, QByteArray(SbdMessage::kMaxPayloadBytes, 'a'));
    QCOMPARE(largest.size(), 65538);
    QCOMPARE(largest.mid(1, 2), QByteArray("\xFF\xFF"));
    QCOMPARE(largest.mid(35, 2), QByteArray("\xFF\xDD"));
    QVERIFY(SbdMessage::parse(largest, nullptr));

    // One byte more cannot be described by the length field: no message at all.
    QVERIFY(SbdMessage::build(1, kImei, 0, QByteArray(SbdMessage::kMaxPayloadBytes + 1, 'a')).isEmpty());
}

void TestSbdMessage::parseRoundTrip()
{
    const QByteArray payload("@0\r\nA 1 2\r\n\0\xff binary", 20);
    SbdMessage parsed;
    QVERIFY(SbdMessage::parse(SbdMessage::build(0xFFFFFFFF, kImei, 0x80000001, payload), &parsed));
    QCOMPARE(parsed.counter, 0xFFFFFFFFu);
    QCOMPARE(parsed.imei, kImei);
    QCOMPARE(parsed.sendTime, 0x80000001u);
    QCOMPARE(parsed.payload, payload);

    QVERIFY(SbdMessage::parse(SbdMessage::build(3, kImei, 0, QByteArray()), &parsed));
    QVERIFY(parsed.payload.isEmpty());
}

void TestSbdMessage::parseSkipsUnknownElements()
{
    // A location element (0x03) of a real DirectIP message, placed between the two known ones.
    QByteArray message = SbdMessage::build(9, kImei, 0, "data");
    message.insert(34, fromHex("03 000B 00 0102 0304 0506 0708 090A"));
    message[1] = 0;
    message[2] = char(message.size() - 3);
    SbdMessage parsed;
    QVERIFY(SbdMessage::parse(message, &parsed));
    QCOMPARE(parsed.counter, 9u);
    QCOMPARE(parsed.payload, QByteArray("data"));
}

void TestSbdMessage::parseRejects_data()
{
    QTest::addColumn<QByteArray>("message");
    const QByteArray good = SbdMessage::build(1, kImei, 0, "abc");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("revision 2") << QByteArray(good).replace(0, 1, "\x02");
    QTest::newRow("truncated") << good.chopped(1);
    QTest::newRow("trailing byte") << good + 'x';
    QTest::newRow("protocol header only") << fromHex("01 0000");
    QTest::newRow("header element 27 bytes") << QByteArray(good).replace(4, 2, QByteArray("\x00\x1B", 2));
    QTest::newRow("payload length too big") << QByteArray(good).replace(35, 2, QByteArray("\x00\x04", 2));
    QTest::newRow("no payload element") << fromHex("01 001F 01 001C") + QByteArray(28, '0');
    QTest::newRow("no header element") << fromHex("01 0006 02 0003 616263");
    QTest::newRow("two payload elements")
        << fromHex("01 0025 01 001C") + QByteArray(28, '0') + fromHex("02 0000 02 0000");
    QTest::newRow("cut element header")
        << fromHex("01 0021 01 001C") + QByteArray(28, '0') + fromHex("02 00");
}

void TestSbdMessage::parseRejects()
{
    QFETCH(QByteArray, message);
    SbdMessage parsed;
    parsed.counter = 42;
    QVERIFY(!SbdMessage::parse(message, &parsed));
    QCOMPARE(parsed.counter, 42u);
}

void TestSbdMessage::messageLength_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("length");

    QTest::newRow("nothing yet") << QByteArray() << 0;
    QTest::newRow("half the length") << fromHex("01 01") << 0;
    QTest::newRow("300-byte payload") << fromHex("01 014E 01") << 337;
    QTest::newRow("largest") << fromHex("01 FFFF") << 65538;
    QTest::newRow("text") << QByteArray("@I") << -1;
}

void TestSbdMessage::messageLength()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, length);
    QCOMPARE(SbdMessage::messageLength(stream), length);
}

void TestSbdMessage::escaped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << QByteArray("@0 T 26/01/02,03:04:05") << "@0 T 26/01/02,03:04:05";
    QTest::newRow("line end") << QByteArray("A\r\n~") << "A\\r\\n~";
    QTest::newRow("backslash") << QByteArray("a\\n") << "a\\\\n";
    QTest::newRow("binary") << QByteArray("\0\x7f\xff\t", 4) << "\\x00\\x7f\\xff\\t";
}

void TestSbdMessage::escaped()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(SbdMessage::escaped(bytes), text);
}

QTEST_GUILESS_MAIN(TestSbdMessage)
#include "tst_sbdmessage.moc"
