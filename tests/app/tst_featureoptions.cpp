// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/featureoptions.h"

#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TestFeatureOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void readsFileAndAnnouncesIt();
    void statusLines();
};

void TestFeatureOptions::parse_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("expected"); // one letter per option: A F U S M, '-' when off

    QTest::newRow("empty") << QByteArray() << "-----";
    QTest::newRow("two keywords") << QByteArray("FORWARDING\r\nFAST_MODES\r\n") << "-F--M";
    QTest::newRow("suffix ignored") << QByteArray("ADVANCED=yes\n") << "A----";
    QTest::newRow("leading blank") << QByteArray(" ADVANCED\n") << "-----";
    QTest::newRow("lower case") << QByteArray("advanced\nfast_modes\n") << "-----";
    QTest::newRow("all") << QByteArray("AUDIO_COMMANDS\nSPECI_COMMANDS\nADVANCED\nFORWARDING\nFAST_MODES")
                         << "AFUSM";
    QTest::newRow("comment after keyword line")
        << QByteArray("// FAST_MODES\nAUDIO_COMMANDS // note\n") << "--U--";
}

void TestFeatureOptions::parse()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, expected);
    const FeatureOptions options = FeatureOptions::parse(contents);
    const QString actual = QString(options.advanced ? 'A' : '-') + (options.forwarding ? 'F' : '-') +
                           (options.audioCommands ? 'U' : '-') + (options.speciCommands ? 'S' : '-') +
                           (options.fastModes ? 'M' : '-');
    QCOMPARE(actual, expected);
}

void TestFeatureOptions::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO without a writer") << "fifo";
    QTest::newRow("device") << "device";
    QTest::newRow("folder") << "folder";
    QTest::newRow("no file") << "missing";
}

// Opening the FIFO would block start-up for ever; the device would read on
// without end. Neither is an options file.
void TestFeatureOptions::onlyRegularFilesAreRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("options.txt");
    if (kind == "device")
        path = QStringLiteral("/dev/zero");
#ifdef Q_OS_UNIX
    if (kind == "fifo")
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    if (kind != "missing" && !QFileInfo::exists(path))
        QSKIP("no such special file on this platform");
    const FeatureOptions options = FeatureOptions::readFile(path);
    QVERIFY(!options.advanced && !options.forwarding && !options.audioCommands && !options.speciCommands &&
            !options.fastModes);
}

void TestFeatureOptions::readsFileAndAnnouncesIt()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("options.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("FORWARDING\r\nFAST_MODES\r\n");
    file.close();
    QTest::ignoreMessage(QtDebugMsg, "Options file found");
    const FeatureOptions options = FeatureOptions::readFile(file.fileName());
    QVERIFY(options.forwarding);
    QVERIFY(options.fastModes);
    QVERIFY(!options.advanced);
}

void TestFeatureOptions::statusLines()
{
    FeatureOptions options;
    options.forwarding = true;
    options.fastModes = true;
    QCOMPARE(options.statusLines(),
             QStringList({"Advanced option: DISABLED", "Forwarding option: ENABLED",
                          "Audio commands: DISABLED", "SPECI commands: DISABLED", "Fast modes: ENABLED"}));
}

QTEST_GUILESS_MAIN(TestFeatureOptions)
#include "tst_featureoptions.moc"
