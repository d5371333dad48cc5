// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/featureoptions.h"

#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
// One letter per option: A F U S M, '-' when off.
QString letters(const FeatureOptions &options)
{
    return QString(options.advanced ? 'A' : '-') + (options.forwarding ? 'F' : '-') +
           (options.audioCommands ? 'U' : '-') + (options.speciCommands ? 'S' : '-') +
           (options.fastModes ? 'M' : '-');
}
} // namespace

class TestFeatureOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected");
        QTest::newRow("suffix ignored") << QByteArray("ADVANCED=yes\n") << "A----";
        QTest::newRow("leading blank") << QByteArray(" ADVANCED\n") << "-----";
        QTest::newRow("lower case") << QByteArray("advanced\nfast_modes\n") << "-----";
        QTest::newRow("all") << QByteArray(
                                    "AUDIO_COMMANDS\r\nSPECI_COMMANDS\r\nADVANCED\nFORWARDING\nFAST_MODES")
                             << "AFUSM";
        QTest::newRow("comment after keyword line")
            << QByteArray("// FAST_MODES\nAUDIO_COMMANDS // note\n") << "--U--";
    }
    void parse()
    {
        QFETCH(QByteArray, contents);
        QTEST(letters(FeatureOptions::parse(contents)), "expected");
    }
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO without a writer") << "fifo";
        QTest::newRow("device") << "device";
    }
    // Opening the FIFO would block start-up for ever; the device would read on
    // without end. Neither is an options file.
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = kind == "device" ? QStringLiteral("/dev/zero") : dir.filePath("options.txt");
#ifdef Q_OS_UNIX
        if (kind == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        if (!QFileInfo::exists(path))
            QSKIP("no such special file on this platform");
        QCOMPARE(letters(FeatureOptions::readFile(path)), "-----");
    }
};

QTEST_GUILESS_MAIN(TestFeatureOptions)
#include "tst_featureoptions.moc"
