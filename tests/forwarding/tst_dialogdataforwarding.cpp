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
    void properties();
    void startsEmpty();
    void setValuesAndValues_data();
    void setValuesAndValues();
    void valuesFollowTyping();
    void okAcceptsCancelRejects();
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

QLabel *labelWithText(const DialogDataForwarding &dialog, const QString &text)
{
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}
} // namespace

void TestDialogDataForwarding::properties()
{
    DialogDataForwarding dialog;
    QCOMPARE(dialog.windowTitle(), QString("Data Forwarding Settings"));
    QCOMPARE(dialog.size(), QSize(325, 150));

    QLineEdit *ip = ipEdit(dialog);
    QVERIFY(ip);
    QCOMPARE(ip->maxLength(), 64);
    QVERIFY(ip->alignment() & Qt::AlignRight);
    QCOMPARE(ip->placeholderText(), QString("xxx.xxx.xxx.xxx"));

    QSpinBox *port = portBox(dialog);
    QVERIFY(port);
    QCOMPARE(port->minimum(), 0);
    QCOMPARE(port->maximum(), 99999);
    QCOMPARE(port->buttonSymbols(), QAbstractSpinBox::PlusMinus);
    QVERIFY(port->alignment() & Qt::AlignRight);

    QLabel *ipLabel = labelWithText(dialog, "Destination IP Address:");
    QVERIFY(ipLabel);
    QCOMPARE(ipLabel->buddy(), ip);
    QLabel *portLabel = labelWithText(dialog, "Port:");
    QVERIFY(portLabel);
    QCOMPARE(portLabel->buddy(), port);
    QLabel *note = labelWithText(dialog, "Forwarding settings are persistent across sessions");
    QVERIFY(note);
    QVERIFY(note->wordWrap());

    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(buttons);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void TestDialogDataForwarding::startsEmpty()
{
    const DialogDataForwarding dialog;
    QCOMPARE(dialog.values().ip, QString());
    QCOMPARE(dialog.values().port, 0);
}

void TestDialogDataForwarding::setValuesAndValues_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("shownIp");
    QTest::addColumn<int>("shownPort");

    QTest::newRow("address and port") << "192.168.0.10" << 10800 << "192.168.0.10" << 10800;
    QTest::newRow("host name") << "receiver.example.org" << 65535 << "receiver.example.org" << 65535;
    QTest::newRow("beyond 16 bits") << "10.0.0.1" << 99999 << "10.0.0.1" << 99999;
    QTest::newRow("beyond the input") << "10.0.0.1" << 123456 << "10.0.0.1" << 99999;
    QTest::newRow("negative") << "" << -1 << "" << 0;
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

void TestDialogDataForwarding::valuesFollowTyping()
{
    DialogDataForwarding dialog;
    dialog.setValues("10.0.0.1", 5000);
    ipEdit(dialog)->clear();
    QTest::keyClicks(ipEdit(dialog), "203.0.113.9");
    portBox(dialog)->selectAll();
    QTest::keyClicks(portBox(dialog), "6001");
    QCOMPARE(dialog.values().ip, QString("203.0.113.9"));
    QCOMPARE(dialog.values().port, 6001);
}

void TestDialogDataForwarding::okAcceptsCancelRejects()
{
    DialogDataForwarding dialog;
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(buttons);

    dialog.show();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());

    dialog.setValues("typed", 1);
    dialog.show();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    // Cancel keeps what was typed; the caller decides what to do with it.
    QCOMPARE(dialog.values().ip, QString("typed"));
}

QTEST_MAIN(TestDialogDataForwarding)
#include "tst_dialogdataforwarding.moc"
