// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/idleclock.h"
#include "ui/fadinglabel.h"

#include <QtTest>

// The fading label draws what a plain label with the same rich text draws.
class TestFadingLabel : public QObject
{
    Q_OBJECT

private slots:
    void looksLikeTheRichTextLabel_data()
    {
        QTest::addColumn<int>("grey");
        QTest::addColumn<QString>("message");
        QTest::newRow("first tick") << 14 << "Received Weather Data";
        QTest::newRow("half faded") << 141 << "Sending Config Request...";
        QTest::newRow("its own colour inside")
            << 60 << "<font color=#B22222>Cannot write KTR_2026_12.csv: disk full &amp; more</font>";
        QTest::newRow("no message") << 200 << "";
    }
    void looksLikeTheRichTextLabel()
    {
        QFETCH(int, grey);
        QFETCH(QString, message);
        QFont font;
        font.setPointSize(8);
        QLabel plain;
        FadingLabel fading;
        const QString text = IdleClock::fadeTag(grey) + message + QStringLiteral("</font>");
        fading.setFaded(14, QStringLiteral("An earlier message"));
        fading.setFaded(grey, message);
        // The same message again, in the font the status bar gives it.
        for (QLabel *label : {&plain, static_cast<QLabel *>(&fading)}) {
            label->setFont(font);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        plain.setText(text);
        fading.setFaded(grey, message);
        QCOMPARE(fading.text(), text);
        QCOMPARE(fading.sizeHint(), plain.sizeHint());
        // In a box wider and taller than the text, as in the status bar.
        const QSize box = plain.sizeHint() + QSize(40, 6);
        plain.setFixedSize(box);
        fading.setFixedSize(box);
        QCOMPARE(fading.grab().toImage(), plain.grab().toImage());
    }
};

QTEST_MAIN(TestFadingLabel)
#include "tst_fadinglabel.moc"
