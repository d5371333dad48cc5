// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/jpegheader.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtTest>

class TestJpegHeader : public QObject
{
    Q_OBJECT

private slots:
    void quantisationStart();
    void tablesMatchTheReferenceCodec();
};

// The header's worked bytes: its size, and the first values of both
// quantisation tables (first DQT at 2 + 18 + 9 + 5, the second one segment
// later), which are the standard tables scaled to quality 75.
void TestJpegHeader::quantisationStart()
{
    const QByteArray header = JpegHeader::build();
    QCOMPARE(header.size(), 632);
    QCOMPARE(JpegHeader::bytes(), header);
    QCOMPARE(header.mid(34, 8), QByteArray("\x08\x06\x06\x07\x06\x05\x08\x07"));
    QCOMPARE(header.mid(34 + 69, 8), QByteArray("\x09\x09\x09\x0c\x0b\x0c\x18\x0d"));
    QCOMPARE(header.right(14).left(4), QByteArray("\xff\xda\x00\x0c", 4)); // SOS ends the header
}

// libjpeg, behind Qt's JPEG writer, uses the same IJG quality scaling and the
// same standard Huffman tables: each table, with its class and id byte as a
// DQT or DHT segment holds it, stands in both files. A typing slip in any
// table shows up here.
void TestJpegHeader::tablesMatchTheReferenceCodec()
{
    QImage image(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 8, (x + y) % 256 < 128 ? 60 : 200));
    QByteArray reference;
    QBuffer buffer(&reference);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(75);
    QVERIFY2(writer.write(image), qPrintable(writer.errorString()));

    const QByteArray header = JpegHeader::build();
    for (const JpegHeader::Table table : {JpegHeader::Luminance, JpegHeader::Chrominance}) {
        const auto quant = JpegHeader::quantTable(table);
        const QByteArray dqt = char(table) + QByteArray(reinterpret_cast<const char *>(quant.data()), 64);
        QVERIFY(reference.contains(dqt));
        QVERIFY(header.contains(dqt));
        for (const int tableClass : {0, 1}) {
            const JpegHeader::HuffmanTable huffman =
                tableClass == 0 ? JpegHeader::dcTable(table) : JpegHeader::acTable(table);
            const QByteArray dht =
                char(tableClass * 16 + table) +
                QByteArray(reinterpret_cast<const char *>(huffman.counts.data()), 16) +
                QByteArray(reinterpret_cast<const char *>(huffman.values), huffman.valueCount);
            QVERIFY(reference.contains(dht));
            QVERIFY(header.contains(dht));
        }
    }
}

QTEST_GUILESS_MAIN(TestJpegHeader)
#include "tst_jpegheader.moc"
