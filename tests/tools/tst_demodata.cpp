// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/jpegheader.h"
#include "link/receivestream.h"
#include "reports/metarencoder.h"
#include "reports/weatherdisplay.h"
#include "tools/sim/demodatagenerator.h"
#include "weather/weatherparser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

// The demonstration data: a day of station transmissions and four pictures,
// generated, and kept in the repository's "Demo" folder.
class TestDemoData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void everyTextFileIsOneWeatherTransmission();
    void nameOrderIsTimeOrder();
    void scenarios_data();
    void scenarios();
    void firstTransmissionFillsTheDataView();
    void shippedFolderMatchesGenerator();

private:
    QList<DemoDataGenerator::File> m_transmissions;
    QList<DemoDataGenerator::File> m_pictures;
    QStringList m_profiles; // one text per transmission, searched by the scenario table
};

namespace {

QString describe(const QByteArray &transmission)
{
    ReceiveStream stream;
    stream.replaceWith(transmission);
    WeatherParser parser;
    parser.setPacketText(stream.text());
    const bool hot = !parser.getHeatIndex().isEmpty() &&
                     parser.getHeatIndex().toDouble() >= parser.getTemperature().toDouble() + 3.0;
    return QStringList{
        MetarEncoder::getMetar(parser),
        QStringLiteral("voltage: ") + WeatherDisplay::voltageStyle(parser),
        QStringLiteral("interference: ") + WeatherDisplay::interferenceStyle(parser),
        QStringLiteral("clouds: ") + parser.getCloudLayers(),
        QStringLiteral("position: ") + parser.getLat() + QLatin1Char(',') + parser.getLon(),
        QStringLiteral("temperature: ") + parser.getTemperature(),
        QStringLiteral("heat index well above temperature: ") + (hot ? "yes" : "no"),
    }
        .join(QLatin1Char('\n'));
}

QDateTime stationTime(const QByteArray &transmission)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("\r\nT:(\\d\\d/\\d\\d/\\d\\d,\\d\\d:\\d\\d:\\d\\d)\r\n"))
            .match(QString::fromLatin1(transmission));
    if (!match.hasMatch())
        return QDateTime();
    QDateTime time = QDateTime::fromString(match.captured(1), QStringLiteral("yy/MM/dd,hh:mm:ss"));
    time.setTimeSpec(Qt::UTC);
    return time.addYears(100); // two-digit years read as 19yy
}

QStringList demoFilesIn(const QString &folder)
{
    // What demo mode picks up from a folder.
    return QDir(folder).entryList({QStringLiteral("*.txt"), QStringLiteral("*.jpg")}, QDir::Files,
                                  QDir::Name);
}

} // namespace

void TestDemoData::initTestCase()
{
    for (const DemoDataGenerator::File &file : DemoDataGenerator::files()) {
        if (file.name.endsWith(QLatin1String(".txt"))) {
            m_transmissions.append(file);
            m_profiles.append(describe(file.bytes));
        } else {
            m_pictures.append(file);
        }
    }
    QVERIFY(m_transmissions.size() >= 24);
    QVERIFY(m_transmissions.size() <= 48);
}

void TestDemoData::everyTextFileIsOneWeatherTransmission()
{
    for (const DemoDataGenerator::File &file : qAsConst(m_transmissions)) {
        const QByteArray &bytes = file.bytes;
        QVERIFY2(bytes.startsWith("@I:"), qPrintable(file.name));
        QVERIFY2(bytes.endsWith("~\r\nSND\r\n"), qPrintable(file.name)); // all in slow modes
        QCOMPARE(bytes.count("@I:"), 1);

        ReceiveStream stream;
        stream.begin(QByteArray());
        stream.replaceWith(bytes);
        QCOMPARE(int(stream.frame()), int(ReceiveStream::Kind::Weather));
        QCOMPARE(stream.firmwareCode(), QStringLiteral("21"));
        QVERIFY2(stream.forwardingSlice().startsWith("@0"), qPrintable(file.name));
    }
}

void TestDemoData::nameOrderIsTimeOrder()
{
    QStringList names;
    QDateTime previous;
    for (const DemoDataGenerator::File &file : qAsConst(m_transmissions)) {
        names.append(file.name);
        const QDateTime time = stationTime(file.bytes);
        QVERIFY2(time.isValid(), qPrintable(file.name));
        QCOMPARE(time.date(), DemoDataGenerator::day());
        QCOMPARE(file.name, time.toString(QStringLiteral("yyyy-MM-dd_hhmm")) + QStringLiteral(".txt"));
        if (previous.isValid())
            QVERIFY(previous < time);
        previous = time;
    }
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(sorted, names);
}

void TestDemoData::scenarios_data()
{
    QTest::addColumn<QString>("pattern");

    QTest::newRow("lightning in the vicinity") << " VCTS ";
    QTest::newRow("distant lightning") << " LTG DSNT .*RMK.* LTG DSNT ";
    QTest::newRow("heavy rain") << " \\+RA ";
    QTest::newRow("gusts") << " \\d{5}G\\d\\dKT ";
    QTest::newRow("variable direction") << "KT \\d{3}V\\d{3} ";
    QTest::newRow("clear sky") << " NCD ";
    QTest::newRow("ceilometer switched off") << "^clouds: Ceilometer OFF$";
    QTest::newRow("ceilometer not answering") << "^clouds: No Ceilometer$";
    QTest::newRow("no GPS fix") << "^position: ,$";
    QTest::newRow("interference") << "^interference: .*red";
    QTest::newRow("heat index") << "^heat index well above temperature: yes$";
}

void TestDemoData::scenarios()
{
    QFETCH(QString, pattern);
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    QVERIFY(expression.isValid());
    const bool shown =
        std::any_of(m_profiles.cbegin(), m_profiles.cend(),
                    [&expression](const QString &profile) { return expression.match(profile).hasMatch(); });
    QVERIFY2(shown, qPrintable(QStringLiteral("no transmission matches %1").arg(pattern)));
}

void TestDemoData::firstTransmissionFillsTheDataView()
{
    // Demo mode shows the first file at once: it should leave no box empty
    // that a hot summer afternoon can fill (wind chill only exists in the cold,
    // tampering is never reported).
    ReceiveStream stream;
    stream.replaceWith(m_transmissions.first().bytes);
    WeatherParser parser;
    parser.setPacketText(stream.text());
    QStringList empty;
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(parser)) {
        if (field.text.isEmpty())
            empty.append(field.objectName);
    }
    QCOMPARE(empty, (QStringList{QStringLiteral("lineEditWindChill"), QStringLiteral("lineEditTampering")}));
    QVERIFY(parser.getOrientation().toDouble() >= 0); // the camera captions carry the heading
}

void TestDemoData::shippedFolderMatchesGenerator()
{
    // The shipped data is the generator's output, so the two cannot drift
    // apart. After a deliberate change, refresh it with
    // "ktr-demo-data Demo" in the source folder.
    const QString folder = QStringLiteral(KTR_SOURCE_DIR "/Demo");
    QStringList expected;
    for (const DemoDataGenerator::File &file : m_transmissions + m_pictures)
        expected.append(file.name);
    expected.sort();
    QCOMPARE(demoFilesIn(folder), expected);

    qint64 totalBytes = 0;
    for (const DemoDataGenerator::File &file : m_transmissions + m_pictures) {
        QFile shipped(QDir(folder).filePath(file.name));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray bytes = shipped.readAll();
        totalBytes += bytes.size();
        if (file.name.endsWith(QLatin1String(".jpg"))) {
            // Painted pictures may differ in the last bit between processors
            // (Qt picks its raster code at run time); the scene must not.
            QImage ours;
            QImage theirs;
            QVERIFY(ours.loadFromData(file.bytes, "JPG"));
            QVERIFY(theirs.loadFromData(bytes, "JPG"));
            QCOMPARE(theirs.size(), ours.size());
            qint64 difference = 0;
            for (int y = 0; y < ours.height(); ++y) {
                for (int x = 0; x < ours.width(); ++x) {
                    const QRgb a = ours.pixel(x, y);
                    const QRgb b = theirs.pixel(x, y);
                    difference +=
                        qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
                }
            }
            const double meanDifference = double(difference) / (3.0 * ours.width() * ours.height());
            QVERIFY2(meanDifference < 2.0,
                     qPrintable(QStringLiteral("Demo/%1 shows another scene").arg(file.name)));
            continue;
        }
        QVERIFY2(bytes == file.bytes,
                 qPrintable(QStringLiteral("Demo/%1 differs from the generator's output").arg(file.name)));
    }
    QVERIFY(totalBytes < 300 * 1024);
}

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demodata.moc"
