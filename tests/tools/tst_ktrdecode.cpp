// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "support/testfiles.h"
#include "weather/weatherparser.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {
// What the program itself logs for a received buffer.
QByteArray decoded(const QByteArray &buffer, bool metar = false)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(buffer));
    return metar ? MetarEncoder::getMetar(parser).toUtf8() + '\n' : CsvLog::row(parser);
}

struct Run
{
    Run(const QStringList &arguments, const QByteArray &input = QByteArray())
    {
        QProcess process;
        process.start(KTR_DECODE_PATH, arguments);
        process.write(input);
        process.closeWriteChannel();
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
            exitCode = process.exitCode(), out = process.readAllStandardOutput(),
            err = process.readAllStandardError();
    }
    int exitCode = -1;
    QByteArray out, err;
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

class TestKtrDecode : public QObject
{
    Q_OBJECT

private slots:
    void decodes()
    {
        const QByteArray packet = testsupport::packetBytes("weather_full_gps_clouds_rain_lightning_aux.txt"),
                         stamp = "\r\n*2018-05-31T02:37:14.123\r\n"; // as the program logs
        const QByteArray logged = CsvLog::header() + "\r\n" + decoded(packet) + decoded(packet);
        const QString path = m_dir.filePath("300234063909320_201805.txt");
        check({m_dir.filePath("none.txt"), path}, stamp + packet + stamp + packet, 1, logged, "none.txt", 1);
        // A packet cut short, then one with a zero byte in it.
        const QByteArray damaged = stamp + packet + stamp + packet.left(packet.indexOf("TA:")) + stamp +
                                   packet + stamp + QByteArray(packet).replace("VI:", QByteArray("VI:\0", 4));
        const QByteArray cutAt = QByteArray::number(damaged.indexOf("@I:", damaged.indexOf("@I:") + 1));
        check({path}, damaged, 0, logged,
              path.toUtf8() + ": byte " + cutAt + ": warning: damaged weather packet skipped", 2);
        // A serial capture: bare packets, a picture packet and noise in between.
        check({"--metar", "-"},
              "\r\n\rKTR v2.14\r\n>" + packet + "@I:300234063909320\r\n@1" + QByteArray(8, '\0') +
                  QByteArray(330, '\x7f') + "\r\n\r\nSND\r\n" + packet,
              0, decoded(packet, true).repeated(2), "", 0);
    }

    // 60,000 one-minute packets; the import is killed once it has committed.
    void historyImportKilledAndExport()
    {
        // The sanitizer build runs this import ten times slower than its waits allow.
        if (qEnvironmentVariableIsSet("KTR_SANITIZED"))
            QSKIP("too slow under the sanitizers; runs in the plain build");
        const QByteArray packet = testsupport::packetBytes("weather_full_gps_clouds_rain_lightning_aux.txt");
        const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
        const int kPackets = 60000;
        QByteArray log;
        for (int i = 0; i < kPackets; ++i)
            log += QByteArray(packet).replace("18/05/31,02:37:13",
                                              start.addSecs(60 * i).toString("yy/MM/dd,hh:mm:ss").toLatin1());
        const QString path = m_dir.filePath("year.txt"), folder = m_dir.filePath("data");
        QVERIFY(writeFile(path, log));
        const QStringList arguments = {"--import-history", "--data-folder", folder, path};
        QProcess process;
        process.start(KTR_DECODE_PATH, arguments);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + "/history.sqlite-wal").size() > 0, 60000);
        process.kill();
        QVERIFY(process.waitForFinished(30000));
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(folder + "/history.sqlite");
        QSqlQuery query(db);
        QVERIFY(db.open() && query.exec("PRAGMA integrity_check") && query.next());
        QCOMPARE(query.value(0).toString(), "ok");
        // Imported again, then exported: every packet once.
        QCOMPARE(Run(arguments).exitCode, 0);
        const Run run({"--export-history", "--data-folder", folder, "2020-01-01", "2021-01-01"});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.size(), kPackets + 2);
        QVERIFY(lines.at(1).startsWith(
            "300234063909321,2020-01-01T00:00:00Z,,0,1 Minute,275,12.4,280,18,2,0.35,-5.4,"
            "-7.5,85,-12.52,-7.66,29.76,28.87,4.3,12.74,40,1,RA BR,METAR "));
    }

private:
    // The input goes to the raw log named, or to stdin for "-"; out is also what still comes out on an error.
    void check(const QStringList &arguments, const QByteArray &input, int exitCode, const QByteArray &out,
               const QByteArray &warning, int errorLines)
    {
        QVERIFY(writeFile(m_dir.filePath("300234063909320_201805.txt"), input));
        const Run run(arguments, arguments.contains("-") ? input : QByteArray());
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.count('\n'), errorLines);
        QVERIFY2(run.err.contains(warning), run.err);
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestKtrDecode)
#include "tst_ktrdecode.moc"
