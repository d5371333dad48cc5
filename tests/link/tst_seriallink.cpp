// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/seriallink.h"
#include "support/stationline.h"

#include <QSignalSpy>
#include <QtTest>

// The serial link over a real pseudo-terminal: a byte at a time comes out
// whole, in order and in few chunks; a short tail still comes out.
class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void bytesAtLineRateComeOutWholeInFewChunks()
    {
        testsupport::StationLine line;
        SerialLink link;
        link.setPortName(line.portName());
        QVERIFY(link.open());
        QSignalSpy chunks(&link, &StationLink::readyRead);
        QByteArray received;
        connect(&link, &StationLink::readyRead, this, [&] { received += link.readAll(); });

        const QByteArray packet = "@I:300234063909320\r\n@014\r\nTA:22.8\r\n~\r\n";
        for (const char byte : packet) {
            QVERIFY(line.write(QByteArray(1, byte)));
            QTest::qWait(1);
        }
        QTRY_COMPARE(received, packet);
        // One chunk per byte without the gathering; a slow machine still gathers several.
        QVERIFY2(chunks.count() < packet.size() / 2, qPrintable(QString::number(chunks.count())));

        // A prompt of three bytes, far fewer than the terminal waited for while gathering.
        QVERIFY(line.write("\r\n>"));
        QTRY_COMPARE(received, packet + "\r\n>");
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
