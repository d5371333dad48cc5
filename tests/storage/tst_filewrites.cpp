// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/atomicfile.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
} // namespace

class TestFileWrites : public QObject
{
    Q_OBJECT

private slots:
    void writeNewKeepsEarlierFiles();
    void atomicWriteThatFailsLeavesNothing();
};

void TestFileWrites::writeNewKeepsEarlierFiles()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath("x_WAV_05.wav");
    const QString raw = dir.filePath("x_RAW_05.raw");
    QVERIFY(AtomicFile::write(dir.filePath("x_RAW_05_2.raw"), "taken").ok);
    QVector<WriteResult> results;
    for (const char *content : {"1", "2"})
        results += AtomicFile::writeNew({{wav, QByteArray("w") + content}, {raw, QByteArray("r") + content}});

    QCOMPARE(results.size(), 4);
    const QStringList written = {results[0].path, results[1].path, results[2].path, results[3].path};
    // Number 2 is taken by one file of the pair: both move on to 3.
    QCOMPARE(written,
             QStringList({wav, raw, dir.filePath("x_WAV_05_3.wav"), dir.filePath("x_RAW_05_3.raw")}));
    QCOMPARE(testsupport::fileBytes(wav) + testsupport::fileBytes(raw) + testsupport::fileBytes(written[2]) +
                 testsupport::fileBytes(written[3]),
             QByteArray("w1r1w2r2"));
}

void TestFileWrites::atomicWriteThatFailsLeavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(AtomicFile::write(dir.filePath("file"), "x").ok);
    const QVector<WriteResult> results =
        AtomicFile::writeNew({{dir.filePath("file/a.wav"), "a"}, {dir.filePath("b"), "b"}});
    QVERIFY(!results[0].ok && !results[1].ok);
    QCOMPARE(results[1].errorText, results[0].errorText);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file"});
}

QTEST_GUILESS_MAIN(TestFileWrites)
#include "tst_filewrites.moc"
