// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/appendfile.h"
#include "storage/atomicfile.h"
#include "storage/filesignals.h"
#include "storage/writehealth.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestFileWrites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(FileSignals::ignoreFileSizeLimit()); }
    void appendBeyondFileSizeLimitLeavesFileAsItWas();
    void numberedPath_data();
    void numberedPath();
    void writeNewKeepsEarlierFiles();
    void atomicWriteThatFailsLeavesNothing();
    void healthReportsEachEpisodeOnce();
};

// The limit cuts the write short part-way: the torn entry must go again. A
// SIGXFSZ that was not ignored would end the test here.
void TestFileWrites::appendBeyondFileSizeLimitLeavesFileAsItWas()
{
#ifndef Q_OS_UNIX
    QSKIP("needs RLIMIT_FSIZE");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    QVERIFY(AppendFile::append(path, QByteArray(100, 'a')).ok);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = 150;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const WriteResult tooLong = AppendFile::append(path, QByteArray(80, 'b'));
    const WriteResult fits = AppendFile::append(path, QByteArray(40, 'c'));
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);

    QVERIFY(!tooLong.ok);
    QVERIFY(tooLong.errorText.contains("too large", Qt::CaseInsensitive));
    QVERIFY(fits.ok);
    QCOMPARE(readFile(path), QByteArray(100, 'a') + QByteArray(40, 'c'));
#endif
}

void TestFileWrites::numberedPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("first") << "a/x_Cam2.jpg" << 1 << "a/x_Cam2.jpg";
    QTest::newRow("second") << "a/x_Cam2.jpg" << 2 << "a/x_Cam2_2.jpg";
    QTest::newRow("no extension") << "a/x" << 3 << "a/x_3";
    QTest::newRow("dot in the folder") << "a.b/x" << 12 << "a.b/x_12";
}

void TestFileWrites::numberedPath()
{
    QFETCH(QString, path);
    QFETCH(int, number);
    QFETCH(QString, numbered);
    QCOMPARE(AtomicFile::numberedPath(path, number), numbered);
}

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
    QCOMPARE(readFile(wav) + readFile(raw) + readFile(written[2]) + readFile(written[3]),
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

void TestFileWrites::healthReportsEachEpisodeOnce()
{
    WriteHealth health;
    QSignalSpy failed(&health, &WriteHealth::failed);
    QSignalSpy recovered(&health, &WriteHealth::recovered);
    const WriteResult ok = WriteResult::success("/d/CSV/a.csv");
    const WriteResult full = WriteResult::failure("/d/CSV/a.csv", "No space left on device");
    for (const WriteResult &result :
         {ok, full, full, WriteResult::failure("/d/CSV/b.csv", "other"), ok, ok, full})
        health.report(WriteHealth::Csv, result);
    health.report(WriteHealth::Raw, full);

    QCOMPARE(failed.size(), 3);
    QCOMPARE(failed.at(0), QVariantList({"/d/CSV/a.csv", "No space left on device"}));
    QCOMPARE(recovered.size(), 1);
    QCOMPARE(recovered.at(0).at(0).toString(), QStringLiteral("/d/CSV/a.csv"));
    QVERIFY(health.isFailing(WriteHealth::Csv));
}

QTEST_GUILESS_MAIN(TestFileWrites)
#include "tst_filewrites.moc"
