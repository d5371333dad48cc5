// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portmemory.h"
#include "link/portscanner.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The ports of the tests: a built-in port, two USB adapters with serial
// numbers (ttyUSB9 is the second one plugged in again under a new name), one
// without, and paths named on the command line.
PortInfo port(const QString &name)
{
    const QHash<QString, PortInfo> known = {
        {"ttyUSB0", {"ttyUSB0", "FT1", 0x0403, 0x6001, true}},
        {"ttyUSB1", {"ttyUSB1", "FT2", 0x0403, 0x6001, true}},
        {"ttyUSB9", {"ttyUSB9", "FT2", 0x0403, 0x6001, true}},
        {"ttyACM0", {"ttyACM0", "", 0x2341, 0x0043, true}},
    };
    return known.value(name, PortInfo{name, QString(), 0, 0, false});
}

QVector<PortInfo> ports(const QString &names)
{
    QVector<PortInfo> list;
    const QStringList split = names.split(' ', Qt::SkipEmptyParts);
    for (const QString &name : split)
        list << port(name);
    return list;
}

QString names(const QVector<PortInfo> &list)
{
    QStringList out;
    for (const PortInfo &info : list)
        out << info.name;
    return out.join(' ');
}
} // namespace

class TestPortScanner : public QObject
{
    Q_OBJECT

private slots:
    void availablePortInfos();
    void candidateOrder_data();
    void candidateOrder();
    void scanSequence_data();
    void scanSequence();
    void memoryKeepsBothPorts();
    void portGone();
};

void TestPortScanner::availablePortInfos()
{
    QCOMPARE(
        names(PortScanner::availablePortInfos({"/dev/pts/9", "/dev/pts/3", ""}, ports("ttyS0 /dev/pts/3"))),
        QString("/dev/pts/9 /dev/pts/3 ttyS0"));
}

void TestPortScanner::candidateOrder_data()
{
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QString>("available");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("order");
    QTest::newRow("USB before the built-in port") << QStringList() << "ttyS0 ttyACM0 ttyUSB0"
                                                  << ""
                                                  << ""
                                                  << "ttyACM0 ttyUSB0 ttyS0";
    QTest::newRow("named, choice, station, USB, rest")
        << QStringList{"/dev/pts/4", "ttyS1", "/dev/pts/3"}
        << "ttyS0 ttyUSB0 ttyACM0 ttyUSB9 /dev/pts/3 /dev/pts/4"
        << "usb:0403:6001:FT2"
        << "name:ttyS0"
        << "/dev/pts/4 /dev/pts/3 ttyS0 ttyUSB9 ttyUSB0 ttyACM0";
}

void TestPortScanner::candidateOrder()
{
    QFETCH(QStringList, named);
    QFETCH(QString, available);
    QFETCH(QString, station);
    QFETCH(QString, choice);
    QFETCH(QString, order);
    QCOMPARE(names(PortScanner::candidateOrder(named, ports(available), station, choice)), order);
}

void TestPortScanner::scanSequence_data()
{
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QString>("station");
    // One scan each: "available|ports that fail to open|port tried, - for
    // none|data: station data arrives on the open port, pick X: the user
    // picks X in the menu (after the scan)".
    QTest::addColumn<QStringList>("scans");

    QTest::newRow("named path that is no serial port")
        << QStringList{"/dev/null", "/dev/pts/3"} << ""
        << QStringList{"/dev/null /dev/pts/3 ttyS0|/dev/null|/dev/null",
                       "/dev/null /dev/pts/3 ttyS0|/dev/null|/dev/pts/3",
                       "/dev/null /dev/pts/3 ttyS0|/dev/null|-"};
    QTest::newRow("round robin, never stuck")
        << QStringList() << ""
        << QStringList{"ttyS0 ttyUSB0|ttyS0 ttyUSB0|ttyUSB0", "ttyS0 ttyUSB0|ttyS0 ttyUSB0|ttyS0",
                       "ttyS0 ttyUSB0|ttyS0|ttyUSB0", "ttyS0 ttyUSB0||-"};
    QTest::newRow("single failing port is retried")
        << QStringList() << ""
        << QStringList{"ttyS0|ttyS0|ttyS0", "ttyS0|ttyS0|ttyS0", "ttyS0||ttyS0", "ttyS0||-"};
    QTest::newRow("station port comes back")
        << QStringList{"/dev/pts/3", "/dev/pts/4"} << ""
        << QStringList{"/dev/pts/3 /dev/pts/4||/dev/pts/3|data", "/dev/pts/4||/dev/pts/4", "/dev/pts/4||-",
                       "/dev/pts/4 /dev/pts/3||/dev/pts/3", "/dev/pts/4 /dev/pts/3||-"};
    QTest::newRow("returning station port refuses at first")
        << QStringList{"/dev/pts/3", "/dev/pts/4"} << ""
        << QStringList{"/dev/pts/3 /dev/pts/4||/dev/pts/3|data", "/dev/pts/4||/dev/pts/4",
                       "/dev/pts/3 /dev/pts/4|/dev/pts/3|/dev/pts/3", "/dev/pts/3 /dev/pts/4||/dev/pts/3"};
    QTest::newRow("the user's pick is not left for the station")
        << QStringList() << ""
        << QStringList{"ttyUSB1 ttyUSB0||ttyUSB1|data", "ttyUSB0||ttyUSB0|pick ttyUSB0",
                       "ttyUSB0 ttyUSB1||-"};
}

// Drives the choice as the window does: opens what it offers, reports a
// failure, and closes a port that has gone.
void TestPortScanner::scanSequence()
{
    QFETCH(QStringList, named);
    QFETCH(QString, station);
    QFETCH(QStringList, scans);
    PortScanner scanner(named, station);
    QString open;
    for (const QString &scan : qAsConst(scans)) {
        const QStringList parts = scan.split('|');
        const QVector<PortInfo> available = ports(parts.at(0));
        if (!names(available).split(' ').contains(open))
            open.clear();
        const PortInfo tried = scanner.nextCandidate(available, open);
        QCOMPARE(tried.name.isEmpty() ? QString("-") : tried.name, parts.at(2));
        if (!tried.name.isEmpty()) {
            const bool fails = parts.at(1).split(' ').contains(tried.name);
            open = fails ? QString() : tried.name;
            if (fails)
                scanner.noteOpenFailed(tried.name);
        }
        const QString action = parts.value(3);
        if (action == "data")
            scanner.noteStationData(port(open));
        if (action.startsWith("pick ")) {
            open = action.mid(5);
            scanner.noteMenuChoice(port(open));
        }
    }
}

void TestPortScanner::memoryKeepsBothPorts()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("ports.ini"), QSettings::IniFormat);
    PortMemory(settings).storeStationPort(port("ttyUSB1"));
    PortMemory(settings).storeMenuChoice(port("ttyS0"));
    QSettings again(dir.filePath("ports.ini"), QSettings::IniFormat);
    QCOMPARE(PortMemory(again).stationPort(), QString("usb:0403:6001:FT2"));
    QCOMPARE(PortMemory(again).menuChoice(), QString("name:ttyS0"));
    QCOMPARE(port("ttyACM0").identity(), QString("usb:2341:0043"));
}

void TestPortScanner::portGone()
{
    QVERIFY(PortScanner::meansPortGone(QSerialPort::ResourceError));
    QVERIFY(PortScanner::meansPortGone(QSerialPort::ReadError));
    QVERIFY(!PortScanner::meansPortGone(QSerialPort::WriteError));
}

QTEST_GUILESS_MAIN(TestPortScanner)
#include "tst_portscanner.moc"
