// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/configcommand.h"

#include <QtTest>

namespace {
// "r=4 c=2": reporting, ceilometer, speci, gps, elevation, image (camera),
// number of the camera, audio, offset of the audio; t= the auto image hours.
ConfigSelection selection(const QByteArray &words)
{
    ConfigSelection s;
    for (const QByteArray &word : words.split(' ')) {
        const int value = word.mid(2).toInt();
        int *const fields[] = {&s.reporting, &s.ceilometer,   &s.speci, &s.gps,        &s.elevation,
                               &s.camera,    &s.cameraNumber, &s.audio, &s.audioOffset};
        const int at = QByteArray("rcsgeinao").indexOf(word.left(1));
        if (word.startsWith("t="))
            s.autoImageCommand = QByteArray::fromPercentEncoding(word.mid(2));
        else if (at >= 0 && word.size() > 2)
            *fields[at] = value;
    }
    return s;
}
} // namespace

class TestConfigCommand : public QObject
{
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void reportingMode();
};

void TestConfigCommand::build_data()
{
    QTest::addColumn<QByteArray>("selection");
    QTest::addColumn<QByteArray>("expected");

    // Every group on "No command" leaves the camera's CR alone.
    const char *const rows[][2] = {
        {"", "\r"},
        {"r=7 c=3 s=1 g=4 a=3 o=12", "m6\rC2\rS0\rGi\r\rA2\r"},
        {"r=1 c=1 s=2 g=1 e=77 i=1 a=1", "m0\rC0\rS1\rG0\rI0\r\rA0\r"},
        {"g=3 e=77 i=2 n=3 t=i07%0D", "GI\rI5\r\r"},
        {"g=5 e=5 i=5 t=i07%0D a=4 o=28", "GE+0005\ri-\rA325\r"},
        {"g=5 e=-45 i=3 n=0 a=4 o=-3", "GE-0045\rI1\rA300\r"},
        {"g=5 e=10000 i=3 n=5 a=5 o=30", "GE+9999\rI4\rA429\r"},
        {"r=2 g=5 e=35 i=3 n=2 a=4 o=7", "m1\rGE+0035\rI2\rA307\r"},
        {"i=4 t=i00%0Di06%0Di18%0D", "i00\ri06\ri18\r"},
        {"r=-1 c=-1 s=-1 g=-1 a=-1", "\r"},
        {"r=99 c=99 s=99 g=99 a=99 i=99", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(*row[0] ? row[0] : "no command") << QByteArray(row[0]) << QByteArray(row[1]);
    QTest::newRow("auto capture bounded")
        << "i=4 t=" + QByteArray("i05%0D").repeated(30) << QByteArray("i05\r").repeated(24);
    QByteArray hours;
    for (int hour = 0; hour < 24; ++hour)
        hours += QStringLiteral("i%1\r").arg(hour, 2, 10, QLatin1Char('0')).toLatin1();
    QTest::newRow("every group at its longest")
        << "r=7 c=3 s=2 g=5 e=-9999 i=4 a=5 o=29 t=" + hours.toPercentEncoding()
        << "m6\rC2\rS1\rGE-9999\r" + hours + "A429\r";
}

void TestConfigCommand::build()
{
    QFETCH(QByteArray, selection);
    QFETCH(QByteArray, expected);
    QCOMPARE(ConfigCommand::build(::selection(selection)), expected);
    QVERIFY(expected.size() <= ConfigCommand::kCommandMaxBytes);
}

// Mode names as the station reports them, exactly.
void TestConfigCommand::reportingMode()
{
    QCOMPARE(ConfigCommand::updateReportingMode("3 Hour"), 1);
    QCOMPARE(ConfigCommand::updateReportingMode("10 Second"), 7);
    for (const char *other : {"5 minute", " 3 Hour", "No command"})
        QCOMPARE(ConfigCommand::updateReportingMode(other), 0);
    // Fast modes removed from the list: their item is gone.
    QCOMPARE(ConfigCommand::reportingIndexForMode("10 Second", 8), 7);
    QCOMPARE(ConfigCommand::reportingIndexForMode("5 Minute", 5), 4);
    QCOMPARE(ConfigCommand::reportingIndexForMode("1 Minute", 5), 0);
}

QTEST_APPLESS_MAIN(TestConfigCommand)
#include "tst_configcommand.moc"
