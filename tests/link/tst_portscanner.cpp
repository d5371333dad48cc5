// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portscanner.h"

#include <QSerialPortInfo>
#include <QtTest>

class TestPortScanner : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void cablePulledThenNothingLeft();
    void availablePorts_data();
    void availablePorts();
    void portGone_data();
    void portGone();
    void systemPortsFollowTheSystemList();
};

void TestPortScanner::scan_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<QString>("currentName");
    QTest::addColumn<QStringList>("actionsAfter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("start with one port")
        << QStringList() << QStringList {"ttyUSB0"} << -1 << QString() << QStringList {"ttyUSB0"} << 0 << "ttyUSB0"
        << true << QStringList {"Adding ttyUSB0", "Connecting to first available port: ttyUSB0"};
    QTest::newRow("port listed at start, nothing chosen yet")
        << QStringList {"ttyUSB0", "ttyS0"} << QStringList {"ttyUSB0", "ttyS0"} << -1 << QString()
        << QStringList {"ttyUSB0", "ttyS0"} << 0 << "ttyUSB0" << true
        << QStringList {"Connecting to first available port: ttyUSB0"};
    QTest::newRow("no port at all") << QStringList() << QStringList() << -1 << QString() << QStringList() << -1 << ""
                                    << false << QStringList {"No COM port detected"};
    QTest::newRow("chosen port vanishes")
        << QStringList {"ttyUSB0"} << QStringList() << 0 << "ttyUSB0" << QStringList() << -1 << "" << false
        << QStringList {"Removing ttyUSB0"};
    QTest::newRow("second port appears")
        << QStringList {"ttyUSB0"} << QStringList {"ttyACM0", "ttyUSB0"} << 0 << "ttyUSB0"
        << QStringList {"ttyUSB0", "ttyACM0"} << 0 << "ttyUSB0" << false << QStringList {"Adding ttyACM0"};
    QTest::newRow("chosen port vanishes, another is left")
        << QStringList {"ttyUSB0", "ttyUSB1"} << QStringList {"ttyUSB1"} << 0 << "ttyUSB0"
        << QStringList {"ttyUSB1"} << 0 << "ttyUSB1" << true
        << QStringList {"Removing ttyUSB0", "Connecting to first available port: ttyUSB1"};
    QTest::newRow("port in front of the chosen one vanishes")
        << QStringList {"ttyUSB0", "ttyUSB1"} << QStringList {"ttyUSB1"} << 1 << "ttyUSB1"
        << QStringList {"ttyUSB1"} << 0 << "ttyUSB1" << false << QStringList {"Removing ttyUSB0"};
    QTest::newRow("other port vanishes") << QStringList {"ttyUSB0", "ttyUSB1"} << QStringList {"ttyUSB0"} << 0
                                         << "ttyUSB0" << QStringList {"ttyUSB0"} << 0 << "ttyUSB0" << false
                                         << QStringList {"Removing ttyUSB1"};
    QTest::newRow("after a resource error the first port is taken")
        << QStringList {"ttyUSB0", "ttyUSB1"} << QStringList {"ttyUSB0", "ttyUSB1"} << -1 << QString()
        << QStringList {"ttyUSB0", "ttyUSB1"} << 0 << "ttyUSB0" << true
        << QStringList {"Connecting to first available port: ttyUSB0"};
    QTest::newRow("port comes back") << QStringList() << QStringList {"ttyUSB0"} << -1 << QString()
                                     << QStringList {"ttyUSB0"} << 0 << "ttyUSB0" << true
                                     << QStringList {"Adding ttyUSB0", "Connecting to first available port: ttyUSB0"};
    QTest::newRow("port named on the command line first")
        << QStringList() << PortScanner::availablePorts({"/dev/pts/7"}, {"ttyS0", "/dev/pts/7"}) << -1 << QString()
        << QStringList {"/dev/pts/7", "ttyS0"} << 0 << "/dev/pts/7" << true
        << QStringList {"Adding /dev/pts/7", "Adding ttyS0", "Connecting to first available port: /dev/pts/7"};
}

void TestPortScanner::scan()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, available);
    QFETCH(int, currentIndex);
    QFETCH(QString, currentName);
    QFETCH(QStringList, actionsAfter);
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(bool, connect);
    QFETCH(QStringList, log);

    const PortScanner::Result result = PortScanner::scan(actions, available, currentIndex, currentName);
    QCOMPARE(result.actions, actionsAfter);
    QCOMPARE(result.portIndex, index);
    QCOMPARE(result.portName, name);
    QCOMPARE(result.connect, connect);
    QCOMPARE(result.log, log);

    // added and removed are the changes between the two groups
    QStringList rebuilt = actions;
    for (const QString &gone : result.removed)
        rebuilt.removeOne(gone);
    QCOMPARE(rebuilt + result.added, actionsAfter);
}

void TestPortScanner::cablePulledThenNothingLeft()
{
    // The resource error has cleared the choice before the scan runs.
    PortScanner::Result result = PortScanner::scan({"ttyUSB0"}, {}, -1, QString());
    QCOMPARE(result.log, QStringList {"Removing ttyUSB0"});
    QCOMPARE(result.removed, QStringList {"ttyUSB0"});
    for (int i = 0; i < 2; ++i) {
        result = PortScanner::scan(result.actions, {}, result.portIndex, result.portName);
        QCOMPARE(result.log, QStringList {"No COM port detected"});
        QCOMPARE(result.portIndex, -1);
    }
}

void TestPortScanner::availablePorts_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("available");

    QTest::newRow("system only") << QStringList() << QStringList {"ttyS0", "ttyUSB0"}
                                 << QStringList {"ttyS0", "ttyUSB0"};
    QTest::newRow("extra first, in their order")
        << QStringList {"/dev/pts/9", "/dev/pts/3"} << QStringList {"ttyS0"}
        << QStringList {"/dev/pts/9", "/dev/pts/3", "ttyS0"};
    QTest::newRow("no duplicates") << QStringList {"ttyUSB0", "ttyUSB0", ""} << QStringList {"ttyS0", "ttyUSB0"}
                                   << QStringList {"ttyUSB0", "ttyS0"};
}

void TestPortScanner::availablePorts()
{
    QFETCH(QStringList, extra);
    QFETCH(QStringList, system);
    QFETCH(QStringList, available);
    QCOMPARE(PortScanner::availablePorts(extra, system), available);
}

void TestPortScanner::portGone_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("gone");
    QTest::newRow("resource") << QSerialPort::ResourceError << true;
    QTest::newRow("read") << QSerialPort::ReadError << true;
    QTest::newRow("none") << QSerialPort::NoError << false;
    QTest::newRow("write") << QSerialPort::WriteError << false;
    QTest::newRow("timeout") << QSerialPort::TimeoutError << false;
    QTest::newRow("open") << QSerialPort::OpenError << false;
}

void TestPortScanner::portGone()
{
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, gone);
    QCOMPARE(PortScanner::meansPortGone(error), gone);
}

// The second look is answered without reading the system's list again; it
// must still be the list the system gives.
void TestPortScanner::systemPortsFollowTheSystemList()
{
    QStringList expected;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        expected << info.portName();
    QCOMPARE(PortScanner::systemPorts(), expected);
    QCOMPARE(PortScanner::systemPorts(), expected);
}

QTEST_GUILESS_MAIN(TestPortScanner)
#include "tst_portscanner.moc"
