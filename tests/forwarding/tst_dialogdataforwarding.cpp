// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/dialogdataforwarding.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class TestDialogDataForwarding : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void setValuesAndValues_data();
    void setValuesAndValues();
    void typedPortStaysInRange_data();
    void typedPortStaysInRange();
};

namespace {
QLineEdit *ipEdit(const DialogDataForwarding &dialog)
{
    return dialog.findChild<QLineEdit *>("lineEditIp");
}

QSpinBox *portBox(const DialogDataForwarding &dialog)
{
    return dialog.findChild<QSpinBox *>("spinBoxPort");
}
} // namespace

void TestDialogDataForwarding::form()
{
    DialogDataForwarding dialog;
    QCOMPARE(dialog.windowTitle(), QString("Data Forwarding Settings"));
    QLineEdit *ip = ipEdit(dialog);
    QSpinBox *port = portBox(dialog);
    QVERIFY(ip && port);
    QCOMPARE(ip->maxLength(), 64);
    QCOMPARE(ip->placeholderText(), QString("xxx.xxx.xxx.xxx"));
    QCOMPARE(port->maximum(), 65535);
    // The dialog starts without a receiver.
    QCOMPARE(dialog.values().ip, QString());
    QCOMPARE(dialog.values().port, 0);
    QCOMPARE(port->text(), QString("not set"));
}

void TestDialogDataForwarding::setValuesAndValues_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("shownIp");
    QTest::addColumn<int>("shownPort");

    QTest::newRow("address and port") << "192.168.0.10" << 10800 << "192.168.0.10" << 10800;
    QTest::newRow("port 65535") << "h" << 65535 << "h" << 65535;
    QTest::newRow("port 65536 is not set") << "h" << 65536 << "h" << 0;
    QTest::newRow("port 99999 is not set") << "10.0.0.1" << 99999 << "10.0.0.1" << 0;
    QTest::newRow("address cut at 64") << QString(70, 'a') << 1 << QString(64, 'a') << 1;
}

void TestDialogDataForwarding::setValuesAndValues()
{
    QFETCH(QString, ip);
    QFETCH(int, port);
    QFETCH(QString, shownIp);
    QFETCH(int, shownPort);

    DialogDataForwarding dialog;
    dialog.setValues(ip, port);
    QCOMPARE(dialog.values().ip, shownIp);
    QCOMPARE(dialog.values().port, shownPort);
}

void TestDialogDataForwarding::typedPortStaysInRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("port");
    QTest::newRow("6001") << "6001" << 6001;
    QTest::newRow("65535") << "65535" << 65535;
    // The digit that would pass 65535 is refused.
    QTest::newRow("70000") << "70000" << 7000;
}

void TestDialogDataForwarding::typedPortStaysInRange()
{
    QFETCH(QString, typed);
    QFETCH(int, port);
    DialogDataForwarding dialog;
    dialog.setValues("10.0.0.1", 5000);
    ipEdit(dialog)->clear();
    QTest::keyClicks(ipEdit(dialog), "203.0.113.9");
    portBox(dialog)->selectAll();
    QTest::keyClicks(portBox(dialog), typed);
    QCOMPARE(dialog.values().ip, QString("203.0.113.9"));
    QCOMPARE(dialog.values().port, port);
}

QTEST_MAIN(TestDialogDataForwarding)
#include "tst_dialogdataforwarding.moc"
