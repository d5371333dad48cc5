// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/configcommand.h"

#include <QtTest>

Q_DECLARE_METATYPE(ConfigSelection)

class TestConfigCommand : public QObject
{
    Q_OBJECT

private slots:
    void itemTables();
    void groupCommands_data();
    void groupCommands();
    void build_data();
    void build();
    void longestCommand();
    void updateReportingMode_data();
    void updateReportingMode();
    void reportingIndexForMode();
    void fastModeNote();
    void argumentInputs();
};

void TestConfigCommand::itemTables()
{
    QCOMPARE(ConfigCommand::reportingItems(),
             QStringList({"No command", "3 Hour", "1 Hour", "20 Minute", "5 Minute", "1 Minute", "20 Second",
                          "10 Second"}));
    QCOMPARE(ConfigCommand::ceilItems(), QStringList({"No command", "Disable", "Enable Auto", "Enable Always"}));
    QCOMPARE(ConfigCommand::speciItems(), QStringList({"No command", "Disable", "Enable"}));
    QCOMPARE(ConfigCommand::gpsItems(),
             QStringList({"No command", "Disable Lat/Lon", "Enable Lat/Lon", "Update GPS Lat/Lon",
                          "Update GPS Lat/Lon and Elevation", "Set Elevation (m)"}));
    QCOMPARE(ConfigCommand::imgItems(),
             QStringList({"No command", "Off", "Request Images", "Request Single Camera", "Set Auto Image Capture",
                          "Cancel Auto Image Capture"}));
    QCOMPARE(ConfigCommand::audioItems(),
             QStringList({"No command", "Off", "Record Acoustic and Get Spectral Data", "Get Spectral Data",
                          "Get MP3 Data", "Get Raw Data"}));
}

// One group on an item, every other group on "No command" (whose camera CR
// comes last unless the camera group itself is under test).
void TestConfigCommand::groupCommands_data()
{
    QTest::addColumn<ConfigSelection>("selection");
    QTest::addColumn<QByteArray>("expected");

    const char *const reporting[] = {"m0\r", "m1\r", "m2\r", "m3\r", "m4\r", "m5\r", "m6\r"};
    for (int i = 1; i <= 7; ++i) {
        ConfigSelection s;
        s.reporting = i;
        QTest::addRow("reporting %d", i) << s << QByteArray(reporting[i - 1]) + "\r";
    }
    const char *const ceilometer[] = {"C0\r", "C1\r", "C2\r"};
    for (int i = 1; i <= 3; ++i) {
        ConfigSelection s;
        s.ceilometer = i;
        QTest::addRow("ceilometer %d", i) << s << QByteArray(ceilometer[i - 1]) + "\r";
    }
    for (int i = 1; i <= 2; ++i) {
        ConfigSelection s;
        s.speci = i;
        QTest::addRow("speci %d", i) << s << QByteArray(i == 1 ? "S0\r" : "S1\r") + "\r";
    }
    const char *const gps[] = {"G0\r", "G1\r", "GI\r", "Gi\r"};
    for (int i = 1; i <= 4; ++i) {
        ConfigSelection s;
        s.gps = i;
        s.elevation = 77; // ignored unless "Set Elevation (m)"
        QTest::addRow("gps %d", i) << s << QByteArray(gps[i - 1]) + "\r";
    }
    const QList<QPair<int, QByteArray>> elevations = {
        {0, "GE+0000\r"},     {5, "GE+0005\r"},     {-5, "GE-0005\r"},    {123, "GE+0123\r"},
        {-45, "GE-0045\r"},   {9999, "GE+9999\r"},  {-9999, "GE-9999\r"}, {10000, "GE+9999\r"},
        {-123456, "GE-9999\r"},
    };
    for (const auto &[metres, bytes] : elevations) {
        ConfigSelection s;
        s.gps = 5;
        s.elevation = metres;
        QTest::addRow("elevation %d", metres) << s << bytes + "\r";
    }

    const QList<QPair<int, QByteArray>> cameras = {{0, "\r"}, {1, "I0\r\r"}, {2, "I5\r\r"}, {5, "i-\r"}};
    for (const auto &[index, bytes] : cameras) {
        ConfigSelection s;
        s.camera = index;
        s.cameraNumber = 3;
        s.autoImageCommand = "i07\r";
        QTest::addRow("camera item %d", index) << s << bytes;
    }
    for (int camera = 0; camera <= 5; ++camera) {
        ConfigSelection s;
        s.camera = 3;
        s.cameraNumber = camera;
        QTest::addRow("single camera %d", camera) << s << "I" + QByteArray::number(qBound(1, camera, 4)) + "\r";
    }
    {
        ConfigSelection s;
        s.camera = 4;
        s.autoImageCommand = "i00\ri06\ri18\r";
        QTest::newRow("auto capture as stored") << s << QByteArray("i00\ri06\ri18\r");
        s.autoImageCommand.clear();
        QTest::newRow("auto capture empty") << s << QByteArray();
        s.autoImageCommand = QByteArray("i05\r").repeated(30);
        QTest::newRow("auto capture bounded") << s << QByteArray("i05\r").repeated(24);
    }

    const char *const acoustic[] = {"A0\r", "A1\r", "A2\r"};
    for (int i = 1; i <= 3; ++i) {
        ConfigSelection s;
        s.audio = i;
        s.audioOffset = 12; // ignored by the items without an argument
        QTest::addRow("acoustic %d", i) << s << "\r" + QByteArray(acoustic[i - 1]);
    }
    const struct
    {
        int index;
        int offset;
        const char *bytes;
    } offsets[] = {
        {4, 0, "A300\r"},  {4, 7, "A307\r"},  {4, 25, "A325\r"}, {4, 28, "A325\r"},
        {4, -3, "A300\r"}, {5, 0, "A400\r"},  {5, 25, "A425\r"}, {5, 29, "A429\r"},
        {5, 30, "A429\r"},
    };
    for (const auto &row : offsets) {
        ConfigSelection s;
        s.audio = row.index;
        s.audioOffset = row.offset;
        QTest::addRow("acoustic %d offset %d", row.index, row.offset) << s << "\r" + QByteArray(row.bytes);
    }

    const int outOfRange[] = {-1, 99};
    for (const int index : outOfRange) {
        ConfigSelection s;
        s.reporting = s.ceilometer = s.speci = s.gps = s.audio = index;
        QTest::addRow("tables out of range %d", index) << s << QByteArray("\r");
        s.camera = index;
        QTest::addRow("all out of range %d", index) << s << QByteArray();
    }
}

void TestConfigCommand::groupCommands()
{
    QFETCH(ConfigSelection, selection);
    QFETCH(QByteArray, expected);
    QCOMPARE(ConfigCommand::build(selection), expected);
}

void TestConfigCommand::build_data()
{
    QTest::addColumn<ConfigSelection>("selection");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("everything no command") << ConfigSelection{} << QByteArray("\r");

    ConfigSelection fiveMinute;
    fiveMinute.reporting = 4;
    fiveMinute.ceilometer = 2;
    QTest::newRow("5 minute, auto ceilometer") << fiveMinute << QByteArray("m3\rC1\r\r");

    ConfigSelection mixed;
    mixed.reporting = 2;
    mixed.gps = 5;
    mixed.elevation = 35;
    mixed.camera = 3;
    mixed.cameraNumber = 2;
    mixed.audio = 4;
    mixed.audioOffset = 7;
    QTest::newRow("1 hour, elevation, camera 2, mp3") << mixed << QByteArray("m1\rGE+0035\rI2\rA307\r");

    ConfigSelection order;
    order.reporting = 1;
    order.ceilometer = 1;
    order.speci = 2;
    order.gps = 1;
    order.camera = 1;
    order.audio = 1;
    QTest::newRow("group order") << order << QByteArray("m0\rC0\rS1\rG0\rI0\r\rA0\r");
}

void TestConfigCommand::build()
{
    QFETCH(ConfigSelection, selection);
    QFETCH(QByteArray, expected);
    QCOMPARE(ConfigCommand::build(selection), expected);
}

void TestConfigCommand::longestCommand()
{
    ConfigSelection s;
    s.reporting = 7;
    s.ceilometer = 3;
    s.speci = 2;
    s.gps = 5;
    s.elevation = -9999;
    s.camera = 4;
    for (int hour = 0; hour < 24; ++hour)
        s.autoImageCommand += QStringLiteral("i%1\r").arg(hour, 2, 10, QLatin1Char('0')).toLatin1();
    s.audio = 5;
    s.audioOffset = 29;
    const QByteArray command = ConfigCommand::build(s);
    QCOMPARE(command.size(), ConfigCommand::kCommandMaxBytes);
    QVERIFY(command.startsWith("m6\rC2\rS1\rGE-9999\ri00\ri01\r"));
    QVERIFY(command.endsWith("i23\rA429\r"));
}

void TestConfigCommand::updateReportingMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("code");

    QTest::newRow("3 Hour") << "3 Hour" << 1;
    QTest::newRow("1 Hour") << "1 Hour" << 2;
    QTest::newRow("20 Minute") << "20 Minute" << 3;
    QTest::newRow("5 Minute") << "5 Minute" << 4;
    QTest::newRow("1 Minute") << "1 Minute" << 5;
    QTest::newRow("20 Second") << "20 Second" << 6;
    QTest::newRow("10 Second") << "10 Second" << 7;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("lower case") << "5 minute" << 0;
    QTest::newRow("upper case") << "1 HOUR" << 0;
    QTest::newRow("padded") << " 3 Hour" << 0;
    QTest::newRow("no command") << "No command" << 0;
    QTest::newRow("digit") << "3" << 0;
}

void TestConfigCommand::updateReportingMode()
{
    QFETCH(QString, mode);
    QFETCH(int, code);
    QCOMPARE(ConfigCommand::updateReportingMode(mode), code);
}

void TestConfigCommand::reportingIndexForMode()
{
    // Full list: the station's mode selects its item.
    QCOMPARE(ConfigCommand::reportingIndexForMode("10 Second", 8), 7);
    QCOMPARE(ConfigCommand::reportingIndexForMode("5 Minute", 8), 4);
    // Fast modes removed: the list ends at "5 Minute".
    QCOMPARE(ConfigCommand::reportingIndexForMode("5 Minute", 5), 4);
    QCOMPARE(ConfigCommand::reportingIndexForMode("1 Minute", 5), 0);
    QCOMPARE(ConfigCommand::reportingIndexForMode("20 Second", 5), 0);
    QCOMPARE(ConfigCommand::reportingIndexForMode("10 Second", 5), 0);
    QCOMPARE(ConfigCommand::reportingIndexForMode(QString(), 8), 0);
}

void TestConfigCommand::fastModeNote()
{
    QCOMPARE(ConfigCommand::fastModeNote(), "Note: Modes faster than 5-minute will disable modem communications");
    QCOMPARE(ConfigCommand::fastModeColourName(), "#d12424");
    QCOMPARE(ConfigCommand::fastModeNoteHtml(),
             "<span style=\" color:#d12424;\">Note: Modes faster than 5-minute will disable modem "
             "communications</span>");
    for (int index = 0; index < 8; ++index)
        QCOMPARE(ConfigCommand::isFastModeIndex(index), index > 4);
}

void TestConfigCommand::argumentInputs()
{
    for (int index = 0; index < 6; ++index) {
        QCOMPARE(ConfigCommand::showsElevationInput(index), index == 5);
        QCOMPARE(ConfigCommand::showsCameraNumberInput(index), index == 3);
        QCOMPARE(ConfigCommand::showsAudioOffsetInput(index), index == 4 || index == 5);
    }
    QCOMPARE(ConfigCommand::clampAudioOffset(4, 28), 25);
    QCOMPARE(ConfigCommand::clampAudioOffset(5, 28), 28);
    QCOMPARE(ConfigCommand::clampAudioOffset(5, 40), 29);
    QCOMPARE(ConfigCommand::clampAudioOffset(0, -1), 0);
    QCOMPARE(ConfigCommand::clampElevation(-10000), -9999);
    QCOMPARE(ConfigCommand::clampElevation(42), 42);
    QCOMPARE(ConfigCommand::clampCameraNumber(0), 1);
    QCOMPARE(ConfigCommand::clampCameraNumber(9), 4);
}

QTEST_APPLESS_MAIN(TestConfigCommand)
#include "tst_configcommand.moc"
