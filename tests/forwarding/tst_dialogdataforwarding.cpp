// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/dialogdataforwarding.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

class TestDialogDataForwarding : public QObject
{
    Q_OBJECT

private slots:
    void setValuesAndValues();
    void typedPortStaysInRange();
};

void TestDialogDataForwarding::setValuesAndValues()
{
    DialogDataForwarding fresh;
    QCOMPARE(fresh.findChild<QSpinBox *>("spinBoxPort")->text(), QString("not set"));
    // Ports beyond 65535 are not set; the address is cut at 64 characters.
    const struct
    {
        QString ip;
        int port;
        QString shownIp;
        int shownPort;
    } rows[] = {{"192.168.0.10", 10800, "192.168.0.10", 10800},
                {"h", 65535, "h", 65535},
                {"h", 65536, "h", 0},
                {QString(70, 'a'), 1, QString(64, 'a'), 1}};
    for (const auto &row : rows) {
        DialogDataForwarding dialog;
        dialog.setValues(row.ip, row.port);
        QCOMPARE(dialog.values().ip, row.shownIp);
        QCOMPARE(dialog.values().port, row.shownPort);
    }
}

void TestDialogDataForwarding::typedPortStaysInRange()
{
    // The digit that would pass 65535 is refused.
    const std::pair<const char *, int> rows[] = {{"65535", 65535}, {"70000", 7000}};
    for (const auto &[typed, port] : rows) {
        DialogDataForwarding dialog;
        dialog.setValues("10.0.0.1", 5000);
        auto *ip = dialog.findChild<QLineEdit *>("lineEditIp");
        ip->clear();
        QTest::keyClicks(ip, "203.0.113.9");
        dialog.findChild<QSpinBox *>("spinBoxPort")->selectAll();
        QTest::keyClicks(dialog.findChild<QSpinBox *>("spinBoxPort"), typed);
        QCOMPARE(dialog.values().ip, QString("203.0.113.9"));
        QCOMPARE(dialog.values().port, port);
    }
}

QTEST_MAIN(TestDialogDataForwarding)
#include "tst_dialogdataforwarding.moc"
