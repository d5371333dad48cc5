// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/jpegheader.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtTest>

namespace {

struct Segment
{
    int marker;
    int offset; // of the marker's FF
    QByteArray payload;
};

// The marker segments from the start of a file up to and including SOS.
QList<Segment> segments(const QByteArray &jpeg)
{
    QList<Segment> result;
    int at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xff) {
        const int marker = quint8(jpeg[at + 1]);
        const int length = quint8(jpeg[at + 2]) * 256 + quint8(jpeg[at + 3]);
        result.append({marker, at, jpeg.mid(at + 4, length - 2)});
        at += 2 + length;
        if (marker == 0xda)
            break;
    }
    return result;
}

// Quantisation tables by id and Huffman tables by class * 16 + id, however the
// writer grouped them into segments.
void collectTables(const QByteArray &jpeg, QMap<int, QByteArray> &quant, QMap<int, QByteArray> &huffman)
{
    for (const Segment &segment : segments(jpeg)) {
        const QByteArray &p = segment.payload;
        int at = 0;
        if (segment.marker == 0xdb) {
            while (at + 65 <= p.size()) {
                quant.insert(quint8(p[at]) & 0x0f, p.mid(at + 1, 64));
                at += 65;
            }
        } else if (segment.marker == 0xc4) {
            while (at + 17 <= p.size()) {
                int count = 0;
                for (int i = 1; i <= 16; ++i)
                    count += quint8(p[at + i]);
                huffman.insert(quint8(p[at]), p.mid(at + 1, 16 + count));
                at += 17 + count;
            }
        }
    }
}

QImage testPattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x + y) % 256 < 128 ? 60 : 200));
    return image;
}

} // namespace

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
    QCOMPARE(segments(header).last().offset + 2 + 12, 632); // SOS ends the header
}

// libjpeg, behind Qt's JPEG writer, uses the same IJG quality scaling and the
// same standard Huffman tables; a typing slip in any table shows up here.
void TestJpegHeader::tablesMatchTheReferenceCodec()
{
    QByteArray reference;
    QBuffer buffer(&reference);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(75);
    QVERIFY2(writer.write(testPattern(64, 32)), qPrintable(writer.errorString()));

    QMap<int, QByteArray> ourQuant, ourHuffman, referenceQuant, referenceHuffman;
    collectTables(JpegHeader::build(), ourQuant, ourHuffman);
    collectTables(reference, referenceQuant, referenceHuffman);
    QCOMPARE(ourQuant.keys(), QList<int>({0, 1}));
    QCOMPARE(ourHuffman.keys(), QList<int>({0x00, 0x01, 0x10, 0x11}));
    QCOMPARE(ourQuant, referenceQuant);
    QCOMPARE(ourHuffman, referenceHuffman);
}

QTEST_GUILESS_MAIN(TestJpegHeader)
#include "tst_jpegheader.moc"
