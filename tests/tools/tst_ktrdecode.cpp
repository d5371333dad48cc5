// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/metarencoder.h"
#include "storage/csvlog.h"
#include "weather/weatherparser.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kFixtures = {"weather_example_no_gps_no_ceilometer.txt",
                               "weather_full_gps_clouds_rain_lightning_aux.txt",
                               "weather_midnight_ceilometer_off.txt", "weather_no_cl_ld_lines_aux.txt",
                               "weather_fog_no_cloud_detected.txt"};

QByteArray fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("../data/packets/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One entry of a raw monthly log as the program writes it.
QByteArray rawLogEntry(const QByteArray &packet, const QDateTime &when)
{
    return "\r\n*" + when.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzL\r\n")).toLatin1() + packet;
}

// What the program itself logs for a received buffer.
QByteArray decoded(const QByteArray &buffer, bool metar = false)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(buffer));
    return metar ? MetarEncoder::getMetar(parser).toUtf8() + '\n' : CsvLog::row(parser);
}

struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

Run runDecoder(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    QProcess process;
    process.start(QStringLiteral(KTR_DECODE_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return Run();
    return Run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestKtrDecode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodes_data();
    void decodes();
    void historyImportKilledAndExport();

private:
    QTemporaryDir m_dir;
    QString m_rawLog, m_damagedLog;
    qint64 m_cutAt = 0;
    QByteArray m_csv, m_metar, m_capture;
};

void TestKtrDecode::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QByteArray log;
    QDateTime when(QDate(2018, 5, 31), QTime(2, 37, 14, 123));
    for (const QString &name : kFixtures) {
        const QByteArray packet = fixture(name);
        log += rawLogEntry(packet, when);
        when = when.addSecs(60);
        m_csv += decoded(packet);
        m_metar += decoded(packet, true);
    }
    m_rawLog = m_dir.filePath(QStringLiteral("300234063909320_201805.txt"));
    QVERIFY(writeFile(m_rawLog, log));
    QVERIFY(m_metar.startsWith("METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 SLPNO "
                               "WND DATA ESTMD ALSTG/SLP ESTMD \n"));
    // A packet cut short, then one with a zero byte in it.
    const QByteArray good = fixture(kFixtures.at(0)), other = fixture(kFixtures.at(2));
    QByteArray noisy = good;
    noisy[noisy.indexOf("VI:") + 3] = '\0';
    const QByteArray damaged = rawLogEntry(good, when) + rawLogEntry(other.left(other.indexOf("TA:")), when) +
                               rawLogEntry(other, when) + rawLogEntry(noisy, when);
    m_cutAt = damaged.indexOf("@I:", damaged.indexOf("@I:") + 1);
    m_damagedLog = m_dir.filePath(QStringLiteral("damaged.txt"));
    QVERIFY(writeFile(m_damagedLog, damaged));
    // A serial capture: bare packets, a picture packet and noise in between.
    m_capture = "\r\n\rKTR v2.14\r\n>" + fixture(kFixtures.at(0)) + "@I:300234063909320\r\n@1" +
                QByteArray(8, '\0') + QByteArray(330, '\x7f') + "\r\n\r\nSND\r\n" + fixture(kFixtures.at(1));
}

void TestKtrDecode::decodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("fromCapture");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out"); // also what still comes out on an error
    QTest::addColumn<QByteArrayList>("warnings");
    const QByteArray header = CsvLog::header() + "\r\n";
    const QByteArray first = fixture(kFixtures.at(0)), second = fixture(kFixtures.at(1));
    const QString metar = QStringLiteral("--metar");
    const QByteArrayList none;
    QTest::newRow("raw log to CSV") << QStringList{m_rawLog} << false << 0 << header + m_csv << none;
    QTest::newRow("damaged packets") << QStringList{m_damagedLog} << false << 0
                                     << header + decoded(first) + decoded(fixture(kFixtures.at(2)))
                                     << QByteArrayList{m_damagedLog.toUtf8() + ": byte " +
                                                           QByteArray::number(m_cutAt) +
                                                           ": warning: damaged weather packet skipped",
                                                       "binary"};
    QTest::newRow("--metar") << QStringList{metar, m_rawLog} << false << 0 << m_metar << none;
    QTest::newRow("capture on stdin")
        << QStringList{} << true << 0 << header + decoded(first) + decoded(second) << none;
    QTest::newRow("capture on -, --metar") << QStringList{metar, QStringLiteral("-")} << true << 0
                                           << decoded(first, true) + decoded(second, true) << none;
    QTest::newRow("missing file") << QStringList{m_dir.filePath(QStringLiteral("none.txt")), m_rawLog}
                                  << false << 1 << header + m_csv << none;
    QTest::newRow("--csv --metar") << QStringList{QStringLiteral("--csv"), metar, m_rawLog} << false << 2
                                   << QByteArray() << none;
    QTest::newRow("export without TO")
        << QStringList{QStringLiteral("--export-history"), QStringLiteral("2018-05-31")} << false << 2
        << QByteArray() << none;
}

void TestKtrDecode::decodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, fromCapture);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArrayList, warnings);
    const Run run = runDecoder(arguments, fromCapture ? m_capture : QByteArray());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err.count('\n'), warnings.size() + (exitCode == 0 ? 0 : 1));
    for (const QByteArray &warning : warnings)
        QVERIFY2(run.err.contains(warning), run.err);
}

void TestKtrDecode::historyImportKilledAndExport()
{
    // The sanitizer build runs this import ten times slower than its waits allow.
    if (qEnvironmentVariableIsSet("KTR_SANITIZED"))
        QSKIP("too slow under the sanitizers; runs in the plain build");
    // 60,000 one-minute packets; the import is killed once it has committed.
    const QByteArray packet = fixture(kFixtures.at(1));
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    const int kPackets = 60000;
    QByteArray log;
    for (int i = 0; i < kPackets; ++i)
        log += QByteArray(packet).replace("18/05/31,02:37:13",
                                          start.addSecs(60 * i).toString("yy/MM/dd,hh:mm:ss").toLatin1());
    const QString path = m_dir.filePath(QStringLiteral("year.txt")),
                  folder = m_dir.filePath(QStringLiteral("data"));
    QVERIFY(writeFile(path, log));
    const QStringList arguments = {QStringLiteral("--import-history"), QStringLiteral("--data-folder"),
                                   folder, path};
    QProcess process;
    process.start(QStringLiteral(KTR_DECODE_PATH), arguments);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + QStringLiteral("/history.sqlite-wal")).size() > 0, 60000);
    process.kill();
    QVERIFY(process.waitForFinished(30000));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    db.setDatabaseName(folder + QStringLiteral("/history.sqlite"));
    QSqlQuery query(db);
    QVERIFY(db.open() && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
    // Imported again, then exported: every packet once.
    QCOMPARE(runDecoder(arguments).exitCode, 0);
    const Run run = runDecoder({QStringLiteral("--export-history"), QStringLiteral("--data-folder"), folder,
                                QStringLiteral("2020-01-01"), QStringLiteral("2021-01-01")});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), kPackets + 2);
    QCOMPARE(lines.at(1),
             "300234063909321,2020-01-01T00:00:00Z,,0,1 Minute,275,12.4,280,18,2,0.35,-5.4,-7.5,85,"
             "-12.52,-7.66,29.76,28.87,4.3,12.74,40,1,RA BR," +
                 decoded(QByteArray(packet).replace("18/05/31,02:37", "20/01/01,00:00"), true).trimmed() +
                 "\r");
}

QTEST_GUILESS_MAIN(TestKtrDecode)
#include "tst_ktrdecode.moc"
