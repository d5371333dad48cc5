// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/demodatagenerator.h"

#include <QImage>
#include <QtTest>

// The demonstration data: a day of station transmissions and four pictures,
// generated, and kept in the repository's "Demo" folder.
class TestDemoData : public QObject
{
    Q_OBJECT

private slots:
    // Each text file is one slow-mode weather transmission, named by its station time.
    // The shipped data is the generator's output; after a deliberate change,
    // refresh it with "ktr-demo-data Demo" in the source folder.
    void shippedFolderMatchesGenerator()
    {
        const QDir folder(KTR_SOURCE_DIR "/Demo");
        QStringList expected;
        qint64 totalBytes = 0;
        for (const DemoDataGenerator::File &file : DemoDataGenerator::files()) {
            expected << file.name;
            QFile shipped(folder.filePath(file.name));
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            const QByteArray bytes = shipped.readAll();
            totalBytes += bytes.size();
            if (!file.name.endsWith(".jpg")) {
                QVERIFY2(bytes == file.bytes, qPrintable(file.name));
                QVERIFY(bytes.startsWith("@I:") && bytes.endsWith("~\r\nSND\r\n") && bytes.count("@I:") == 1);
                const QString time = QRegularExpression("\r\nT:([^\r]*)\r\n").match(bytes).captured(1);
                const QDateTime utc = QDateTime::fromString(time, "yy/MM/dd,hh:mm:ss").addYears(100);
                QCOMPARE(utc.date(), DemoDataGenerator::day());
                QCOMPARE(file.name, utc.toString("yyyy-MM-dd_hhmm") + ".txt");
                continue;
            }
            // Painted pictures may differ in the last bit between processors; the scene must not.
            const QImage ours = QImage::fromData(file.bytes).scaled(32, 24);
            const QImage theirs = QImage::fromData(bytes).scaled(32, 24);
            for (int i = 0; i < 32 * 24; ++i)
                QVERIFY2(qAbs(qGray(ours.pixel(i % 32, i / 32)) - qGray(theirs.pixel(i % 32, i / 32))) < 16,
                         qPrintable(file.name));
        }
        QVERIFY(expected.filter(".txt").size() >= 24 && expected.filter(".txt").size() <= 48);
        expected.sort();
        QCOMPARE(folder.entryList({"*.txt", "*.jpg"}, QDir::Files, QDir::Name), expected);
        QVERIFY(totalBytes < 300 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demodata.moc"
