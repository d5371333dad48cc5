// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/dialogimageschedule.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

namespace {
QCheckBox *hourBox(const dialogImageSchedule &dialog, int hour)
{
    return dialog.findChild<QCheckBox *>(QStringLiteral("checkBox%1").arg(hour, 2, 10, QLatin1Char('0')));
}
} // namespace

class TestDialogImageSchedule : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void hourCommand_data();
    void hourCommand();
    void toggleAllNone();
    void buttonsAcceptAndReject();
    void scaleFactor();
};

void TestDialogImageSchedule::layout()
{
    dialogImageSchedule dialog;
    QCOMPARE(qgetenv("QT_AUTO_SCREEN_SCALE_FACTOR"), QByteArray("1"));
    QCOMPARE(dialog.windowTitle(), "Set Auto Image Capture");
    const int factor = dialogImageSchedule::scaleFactor(dialog.logicalDpiX());
    QCOMPARE(dialog.size(), QSize(231 * factor, 354 * factor));

    auto *group = dialog.findChild<QGroupBox *>("groupBox");
    QVERIFY(group);
    QCOMPARE(group->title(), "Select Hour(s) in UTC");
    QCOMPARE(group->font().pointSize(), 10);
    auto *toggle = dialog.findChild<QPushButton *>("pushButtonToggle");
    QVERIFY(toggle);
    QCOMPARE(toggle->text(), "Toggle All/None");
    QCOMPARE(toggle->font().pointSize(), 10);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (int hour = 0; hour < 24; ++hour) {
        QCheckBox *box = hourBox(dialog, hour);
        QVERIFY2(box, qPrintable(QString::number(hour)));
        QCOMPARE(box->text(), QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0')));
        QVERIFY(!box->isChecked());
        QCOMPARE(box->font().pointSize(), 10);
        QVERIFY(group->isAncestorOf(box));
    }
    // Two columns: 00-11 on the left, 12-23 on the right, hours downwards.
    for (int row = 0; row < 12; ++row) {
        QVERIFY(hourBox(dialog, row)->x() < hourBox(dialog, row + 12)->x());
        QCOMPARE(hourBox(dialog, row)->y(), hourBox(dialog, row + 12)->y());
        if (row > 0)
            QVERIFY(hourBox(dialog, row - 1)->y() < hourBox(dialog, row)->y());
    }
    QVERIFY(hourBox(dialog, 11)->y() < toggle->y());

    auto *buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(buttons);
    QCOMPARE(buttons->orientation(), Qt::Vertical);
    QVERIFY(!group->isAncestorOf(buttons));
    QVERIFY(group->x() < buttons->x());
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    QPushButton *cancel = buttons->button(QDialogButtonBox::Cancel);
    QVERIFY(ok && cancel);
    QVERIFY(ok->mapTo(&dialog, QPoint()).y() < cancel->mapTo(&dialog, QPoint()).y());
}

void TestDialogImageSchedule::hourCommand_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("none") << QList<int>() << QByteArray();
    QTest::newRow("00, 06, 18") << QList<int>{0, 6, 18} << QByteArray("i00\ri06\ri18\r");
    QTest::newRow("23 then 00") << QList<int>{23, 0} << QByteArray("i00\ri23\r");
    QTest::newRow("checked and unchecked") << QList<int>{5, 11, 5} << QByteArray("i11\r");
    QTest::newRow("12 and 09") << QList<int>{12, 9} << QByteArray("i09\ri12\r");
}

void TestDialogImageSchedule::hourCommand()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QByteArray, expected);

    dialogImageSchedule dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const int hour : clicks)
        QTest::mouseClick(hourBox(dialog, hour), Qt::LeftButton);
    QCOMPARE(dialog.hourCommand(), expected);
}

void TestDialogImageSchedule::toggleAllNone()
{
    dialogImageSchedule dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *toggle = dialog.findChild<QPushButton *>("pushButtonToggle");

    QByteArray all;
    for (int hour = 0; hour < 24; ++hour)
        all += QStringLiteral("i%1\r").arg(hour, 2, 10, QLatin1Char('0')).toLatin1();

    // The first press checks everything, whatever the boxes showed before.
    QTest::mouseClick(hourBox(dialog, 4), Qt::LeftButton);
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(dialog.hourCommand(), all);
    QCOMPARE(dialog.hourCommand().size(), 96);

    // The second clears everything, even after a box was cleared by hand.
    QTest::mouseClick(hourBox(dialog, 4), Qt::LeftButton);
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(dialog.hourCommand(), QByteArray());

    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(dialog.hourCommand(), all);
    QVERIFY(dialog.isVisible());
}

void TestDialogImageSchedule::buttonsAcceptAndReject()
{
    {
        dialogImageSchedule dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTest::mouseClick(hourBox(dialog, 7), Qt::LeftButton);
        auto *buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.hourCommand(), QByteArray("i07\r"));
    }
    {
        dialogImageSchedule dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
        QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
}

void TestDialogImageSchedule::scaleFactor()
{
    QCOMPARE(dialogImageSchedule::scaleFactor(96), 1);
    QCOMPARE(dialogImageSchedule::scaleFactor(120), 1);
    QCOMPARE(dialogImageSchedule::scaleFactor(191), 1);
    QCOMPARE(dialogImageSchedule::scaleFactor(192), 2);
    QCOMPARE(dialogImageSchedule::scaleFactor(288), 3);
    QCOMPARE(dialogImageSchedule::scaleFactor(72), 1);
    QCOMPARE(dialogImageSchedule::scaleFactor(0), 1);
}

QTEST_MAIN(TestDialogImageSchedule)
#include "tst_dialogimageschedule.moc"
