// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/weatherpacketscanner.h"

#include <QtTest>

// Inputs that the fuzz targets (fuzz/) found to break an invariant, kept so
// that the fault stays fixed in the ordinary test run.
namespace {
using Entries = QVector<WeatherPacketScanner::Entry>;

QByteArray readFixture(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Entries scanWhole(const QByteArray &stream)
{
    WeatherPacketScanner scanner;
    scanner.feed(stream);
    scanner.finish();
    return scanner.takeEntries();
}

Entries scanChunked(const QByteArray &stream, const QList<int> &chunkBytes)
{
    WeatherPacketScanner scanner;
    Entries entries;
    int at = 0;
    for (const int bytes : chunkBytes) {
        scanner.feed(stream.mid(at, bytes));
        at += bytes;
        entries += scanner.takeEntries();
    }
    scanner.feed(stream.mid(at));
    scanner.finish();
    return entries + scanner.takeEntries();
}

// "offset:damage:bytes" per entry, for readable comparisons.
QStringList describe(const Entries &entries)
{
    QStringList out;
    for (const WeatherPacketScanner::Entry &entry : entries)
        out << QStringLiteral("%1:%2:%3").arg(entry.offset).arg(int(entry.damage)).arg(entry.packet.size());
    return out;
}

QByteArray longKindLinePacket()
{
    return "@I:300234063909321\r\n@014" + QByteArray(300, 'x') + "\r\nTA:-5.4\r\n~\r\n";
}
} // namespace

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void packetScannerIgnoresChunking_data();
    void packetScannerIgnoresChunking();
};

void TestFuzzRegressions::packetScannerIgnoresChunking_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("chunkBytes");
    QTest::addColumn<QStringList>("expected");

    // A kind line that runs past the length allowed for the head of a packet
    // once its "@0" is known: read in one piece it used to be cut off as
    // oversized at 256 bytes, split behind its "@0" it was read on as the
    // packet it is.
    const QByteArray packet = longKindLinePacket();
    const QString whole = QStringLiteral("0:0:%1").arg(packet.size());
    QTest::newRow("long kind line, one piece") << packet << QList<int>{} << QStringList{whole};
    QTest::newRow("long kind line, split behind @0") << packet << QList<int>{24} << QStringList{whole};
    QTest::newRow("long kind line, split inside @0") << packet << QList<int>{21} << QStringList{whole};
    QTest::newRow("long kind line, byte by byte") << packet << QVector<int>(packet.size(), 1).toList() << QStringList{whole};

    // The fuzzer's input: noise, then an "@I:" whose kind line holds another
    // "@I:" and runs on without an end marker.
    QTest::newRow("fuzz input 5c48972f")
        << readFixture(QFINDTESTDATA("../data/fuzz/packetscanner-long-kind-line.bin")) << QList<int>{312, 269}
        << QStringList{QStringLiteral("68:1:0")};
}

void TestFuzzRegressions::packetScannerIgnoresChunking()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, chunkBytes);
    QFETCH(QStringList, expected);

    QVERIFY(!stream.isEmpty());
    QCOMPARE(describe(scanWhole(stream)), expected);
    QCOMPARE(describe(scanChunked(stream, chunkBytes)), expected);
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
