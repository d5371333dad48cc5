// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rawview.h"

#include <QPlainTextEdit>
#include <QtTest>

namespace {
// What the session shows of a camera packet while its bytes arrive.
QString cameraText(int packet, int bytes)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = char(i * 7 + packet);
    return QStringLiteral("Camera:1 Packet:%1 Bytes:%2\r\n\r\n").arg(packet).arg(bytes) +
           QString::fromLatin1(data.toHex(' ') + ' ');
}
} // namespace

class TestRawView : public QObject
{
    Q_OBJECT

private slots:
    void showsWhatItIsGiven_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("clearedBefore");  // the view cleared from outside before this text, or -1
        QTest::addColumn<int>("largestRemoval"); // characters replaced by the last show
        QTest::newRow("a packet arriving")
            << QStringList{cameraText(3, 10), cameraText(3, 100), cameraText(3, 344)} << -1 << 30;
        QTest::newRow("the next packet")
            << QStringList{cameraText(3, 344), cameraText(4, 20)} << -1 << cameraText(3, 344).size();
        QTest::newRow("cleared in between") << QStringList{cameraText(3, 10), cameraText(3, 20)} << 1 << 1;
        // Weather text: the first line stays as it is, only the end grows.
        QTest::newRow("weather arriving")
            << QStringList{"@I:300234063909320\r\n@0", "@I:300234063909320\r\n@014\r\nTA"} << -1 << 0;
    }
    void showsWhatItIsGiven()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, clearedBefore);
        QFETCH(int, largestRemoval);
        QPlainTextEdit edit;
        QPlainTextEdit fresh;
        RawView view(&edit);
        int removed = 0;
        connect(edit.document(), &QTextDocument::contentsChange, this,
                [&removed](int, int charsRemoved, int) { removed = qMax(removed, charsRemoved); });
        for (int i = 0; i < texts.size(); ++i) {
            if (i == clearedBefore)
                edit.clear();
            removed = 0;
            view.show(texts.at(i));
            view.tick();
            fresh.setPlainText(texts.at(i));
            QCOMPARE(edit.toPlainText(), fresh.toPlainText());
            QCOMPARE(edit.blockCount(), fresh.blockCount());
        }
        // A packet that goes on arriving edits its first line and its end, not the whole text.
        QVERIFY2(removed <= largestRemoval, qPrintable(QString::number(removed)));
        view.append(QStringLiteral("\r\nLast Packet of Image"));
        fresh.appendPlainText(QStringLiteral("\r\nLast Packet of Image"));
        view.show(texts.last());
        view.tick();
        fresh.setPlainText(texts.last());
        QCOMPARE(edit.toPlainText(), fresh.toPlainText());
    }

    // A packet arriving a few bytes per pass: the first text at once, then
    // only the newest one at the next tick.
    void burstIsDrawnOnceATick()
    {
        QPlainTextEdit edit;
        RawView view(&edit);
        view.show(cameraText(3, 10));
        QCOMPARE(edit.toPlainText(), QPlainTextEdit(cameraText(3, 10)).toPlainText());
        int edits = 0;
        connect(edit.document(), &QTextDocument::contentsChange, this, [&edits] { ++edits; });
        for (int bytes = 20; bytes <= 340; bytes += 10)
            view.show(cameraText(3, bytes));
        QCOMPARE(edits, 0);
        view.tick();
        QCOMPARE(edit.toPlainText(), QPlainTextEdit(cameraText(3, 340)).toPlainText());
        QCOMPARE(edits, 2); // the byte count and the new bytes
        // Shown at this tick: the next text waits for the one after.
        view.show(cameraText(3, 344));
        QCOMPARE(edits, 2);
        view.tick();
        QCOMPARE(edit.toPlainText(), QPlainTextEdit(cameraText(3, 344)).toPlainText());
        // A tick that showed nothing: the next text is shown at once.
        view.tick();
        view.show(cameraText(4, 10));
        QCOMPARE(edit.toPlainText(), QPlainTextEdit(cameraText(4, 10)).toPlainText());

        // A text still waiting when the view is cleared is not shown after the clear.
        view.show(cameraText(4, 20));
        edit.clear();
        view.tick();
        QCOMPARE(edit.toPlainText(), QString());
    }
};

QTEST_MAIN(TestRawView)
#include "tst_rawview.moc"
