// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/dialogimageschedule.h"

#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

class TestDialogImageSchedule : public QObject
{
    Q_OBJECT

private slots:
    void hourCommand_data();
    void hourCommand();
    void scaleFactor();
};

void TestDialogImageSchedule::hourCommand_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QByteArray>("expected");

    QByteArray all;
    for (int hour = 0; hour < 24; ++hour)
        all += QStringLiteral("i%1\r").arg(hour, 2, 10, QLatin1Char('0')).toLatin1();
    QTest::newRow("in hour order") << QStringList{"23", "00", "12", "09"}
                                   << QByteArray("i00\ri09\ri12\ri23\r");
    QTest::newRow("checked and unchecked") << QStringList{"05", "11", "05"} << QByteArray("i11\r");
    // The first press checks everything, whatever the boxes showed; the second clears everything.
    QTest::newRow("toggle all") << QStringList{"04", "Toggle"} << all;
    QTest::newRow("toggle none") << QStringList{"04", "Toggle", "04", "Toggle"} << QByteArray();
}

void TestDialogImageSchedule::hourCommand()
{
    QFETCH(QStringList, clicks);
    QFETCH(QByteArray, expected);
    dialogImageSchedule dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &name : clicks) {
        QWidget *box = name == "Toggle"
                           ? static_cast<QWidget *>(dialog.findChild<QPushButton *>("pushButtonToggle"))
                           : dialog.findChild<QCheckBox *>("checkBox" + name);
        QVERIFY(box);
        QTest::mouseClick(box, Qt::LeftButton);
    }
    QCOMPARE(dialog.hourCommand(), expected);
}

void TestDialogImageSchedule::scaleFactor()
{
    const int rows[][2] = {{0, 1}, {191, 1}, {192, 2}};
    for (const auto &row : rows)
        QCOMPARE(dialogImageSchedule::scaleFactor(row[0]), row[1]);
}

QTEST_MAIN(TestDialogImageSchedule)
#include "tst_dialogimageschedule.moc"
