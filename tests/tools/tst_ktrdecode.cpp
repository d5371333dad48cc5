// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/csvlog.h"
#include "reports/metarencoder.h"
#include "weather/weatherparser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kFixtures = {
    QStringLiteral("weather_example_no_gps_no_ceilometer.txt"),
    QStringLiteral("weather_full_gps_clouds_rain_lightning_aux.txt"),
    QStringLiteral("weather_midnight_ceilometer_off.txt"),
    QStringLiteral("weather_no_cl_ld_lines_aux.txt"),
    QStringLiteral("weather_fog_no_cloud_detected.txt"),
};

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
QByteArray csvRow(const QByteArray &buffer)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(buffer));
    return CsvLog::row(parser);
}

QByteArray metarLine(const QByteArray &buffer)
{
    WeatherParser parser;
    parser.setPacketText(QString::fromUtf8(buffer));
    return MetarEncoder::getMetar(parser).toUtf8() + '\n';
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runDecoder(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    QProcess process;
    process.start(QStringLiteral(KTR_DECODE_PATH), arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

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
    void initTestCase();
    void rawLogToCsv();
    void rawLogToMetar();
    void standardInput();
    void severalFiles();
    void damagedPacketWarns();
    void unreadableFile();
    void helpAndVersion();
    void conflictingFormats();

private:
    QTemporaryDir m_dir;
    QString m_rawLog;
    QByteArray m_csv;
    QByteArray m_metar;
};

void TestKtrDecode::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QByteArray log;
    QDateTime when(QDate(2018, 5, 31), QTime(2, 37, 14, 123));
    for (const QString &name : kFixtures) {
        const QByteArray packet = fixture(name);
        QVERIFY2(!packet.isEmpty(), qPrintable(name));
        log += rawLogEntry(packet, when);
        when = when.addSecs(60);
        m_csv += csvRow(packet);
        m_metar += metarLine(packet);
    }
    m_rawLog = m_dir.filePath(QStringLiteral("300234063909320_201805.txt"));
    QVERIFY(writeFile(m_rawLog, log));
}

void TestKtrDecode::rawLogToCsv()
{
    const Run run = runDecoder({m_rawLog});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, CsvLog::header() + "\r\n" + m_csv);
    QCOMPARE(run.err, QByteArray());

    QCOMPARE(runDecoder({QStringLiteral("--csv"), m_rawLog}).out, run.out);
}

void TestKtrDecode::rawLogToMetar()
{
    const Run run = runDecoder({QStringLiteral("--metar"), m_rawLog});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, m_metar);
    QVERIFY(run.out.startsWith("METAR 300234063909320 310237Z AUTO VRB01KT M1/4SM FG 23/03 RMK AO2 SLPNO "
                               "WND DATA ESTMD ALSTG/SLP ESTMD \n"));
}

void TestKtrDecode::standardInput()
{
    // A serial capture: bare packets, a picture packet and noise in between.
    QByteArray capture = "\r\n\rKTR v2.14\r\n>";
    capture += fixture(kFixtures.at(0));
    capture += "@I:300234063909320\r\n@1" + QByteArray(8, '\0') + QByteArray(330, '\x7f') + "\r\n\r\nSND\r\n";
    capture += fixture(kFixtures.at(1));

    Run run = runDecoder({}, capture);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, CsvLog::header() + "\r\n" + csvRow(fixture(kFixtures.at(0))) + csvRow(fixture(kFixtures.at(1))));
    QCOMPARE(run.err, QByteArray());

    run = runDecoder({QStringLiteral("--metar"), QStringLiteral("-")}, capture);
    QCOMPARE(run.out, metarLine(fixture(kFixtures.at(0))) + metarLine(fixture(kFixtures.at(1))));
}

void TestKtrDecode::severalFiles()
{
    const Run run = runDecoder({m_rawLog, m_rawLog});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, CsvLog::header() + "\r\n" + m_csv + m_csv);
}

void TestKtrDecode::damagedPacketWarns()
{
    const QByteArray good = fixture(kFixtures.at(0));
    const QByteArray other = fixture(kFixtures.at(2));
    const QDateTime when(QDate(2018, 5, 31), QTime(2, 37, 14, 123));
    const QByteArray first = rawLogEntry(good, when);
    const QByteArray cut = rawLogEntry(other.left(other.indexOf("TA:")), when);
    QByteArray log = first + cut + rawLogEntry(other, when);
    // A zero byte in the last packet.
    QByteArray noisy = good;
    noisy[noisy.indexOf("VI:") + 3] = '\0';
    log += rawLogEntry(noisy, when);

    const QString path = m_dir.filePath(QStringLiteral("damaged.txt"));
    QVERIFY(writeFile(path, log));
    const Run run = runDecoder({path});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, CsvLog::header() + "\r\n" + csvRow(good) + csvRow(other));

    const QList<QByteArray> warnings = run.err.trimmed().split('\n');
    QCOMPARE(warnings.size(), 2);
    const qint64 cutAt = first.size() + log.mid(first.size()).indexOf("@I:");
    QVERIFY2(warnings.at(0).contains(path.toUtf8()), warnings.at(0));
    QVERIFY2(warnings.at(0).contains("byte " + QByteArray::number(cutAt) + ":"), warnings.at(0));
    QVERIFY2(warnings.at(0).contains("warning"), warnings.at(0));
    QVERIFY2(warnings.at(1).contains("binary"), warnings.at(1));
}

void TestKtrDecode::unreadableFile()
{
    const QString missing = m_dir.filePath(QStringLiteral("no such file.txt"));
    Run run = runDecoder({missing, m_rawLog});
    QVERIFY(run.exitCode != 0);
    QVERIFY2(run.err.contains(missing.toUtf8()), run.err);
    // The readable file is still decoded.
    QCOMPARE(run.out, CsvLog::header() + "\r\n" + m_csv);

    run = runDecoder({m_dir.path()});
    QVERIFY(run.exitCode != 0);
    QVERIFY(!run.err.isEmpty());
}

void TestKtrDecode::helpAndVersion()
{
    Run run = runDecoder({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains("--metar"));
    QVERIFY(run.out.contains("--csv"));

    run = runDecoder({QStringLiteral("--version")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(KTR_VERSION), run.out);
}

void TestKtrDecode::conflictingFormats()
{
    const Run run = runDecoder({QStringLiteral("--csv"), QStringLiteral("--metar"), m_rawLog});
    QVERIFY(run.exitCode != 0);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!run.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestKtrDecode)
#include "tst_ktrdecode.moc"
