// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portscanner.h"
#include "link/receivestream.h"
#include "tests/support/stationline.h"

#include <QSerialPort>
#include <QTimer>
#include <QtTest>

namespace {
const QByteArray kWeather = "@I:300234010123450\r\n"
                            "@0A7\r\n"
                            "B:5.32:3:000000:00:00:00\r\n"
                            "T:18/05/31,14:02:07\r\n"
                            "TA:21.5\r\n"
                            "~\r\n";
} // namespace

// The receive side of the window in miniature: every readyRead runs a pass.
// No tick runs here, so no idle gap can cut a packet in two.
class Receiver : public QObject
{
    Q_OBJECT

public:
    explicit Receiver(QSerialPort &port) : m_port(port)
    {
        connect(&m_port, &QSerialPort::readyRead, this, &Receiver::pass);
    }

    ReceiveStream stream;
    QStringList packets;
    int sndWaits = 0;

public slots:
    void pass()
    {
        stream.begin(m_port.readAll());
        switch (stream.frame()) {
        case ReceiveStream::Kind::SndWait:
            ++sndWaits;
            QTimer::singleShot(ReceiveStream::kSndWaitMs, this, [this] {
                stream.sndRerun();
                pass();
            });
            return;
        case ReceiveStream::Kind::Weather:
            packets << stream.text();
            stream.finishWeather();
            break;
        case ReceiveStream::Kind::Camera:
        case ReceiveStream::Kind::Acoustic:
        case ReceiveStream::Kind::Nothing:
            break;
        }
        stream.endPass();
    }

private:
    QSerialPort &m_port;
};

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void weatherPacketInPiecesIsProcessedOnce();
    void hangUpMeansPortGone();
};

void TestSerialLink::initTestCase()
{
    qRegisterMetaType<QSerialPort::SerialPortError>();
}

void TestSerialLink::weatherPacketInPiecesIsProcessedOnce()
{
    testsupport::StationLine station;
    if (!station.isOpen())
        QSKIP("no pseudo-terminals on this system");
    QSerialPort port;
    port.setPortName(station.portName());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    Receiver receiver(port);

    // In pieces, the end marker and "SND" in the last: processed by the pass
    // that completes it.
    const QByteArray first = kWeather + "SND\r\n";
    const int endMarker = first.indexOf('~');
    QByteArray sent;
    for (int at = 0; at < endMarker; at += 17) {
        const QByteArray piece = first.mid(at, qMin(17, endMarker - at));
        QVERIFY(station.write(piece));
        sent += piece;
        QTRY_COMPARE(receiver.stream.buffer(), sent);
    }
    QVERIFY(station.write(first.mid(endMarker)));
    QTRY_COMPARE(receiver.packets, QStringList {QString::fromLatin1(first)});
    QCOMPARE(receiver.sndWaits, 0);
    QVERIFY(receiver.stream.buffer().isEmpty());

    // Without "SND": one wait, then processed by the re-run, once.
    QByteArray second = kWeather;
    second.replace("A7", "B2");
    QVERIFY(station.write(second.left(40)));
    QTRY_COMPARE(receiver.stream.buffer(), second.left(40));
    QVERIFY(station.write(second.mid(40)));
    QTRY_COMPARE(receiver.packets.size(), 2);
    QCOMPARE(receiver.packets.last(), QString::fromLatin1(second));
    QCOMPARE(receiver.sndWaits, 1);

    // The port writes reach the station unchanged.
    QCOMPARE(port.write("    m3\r"), qint64(7));
    QByteArray heard;
    QTRY_COMPARE((heard += station.readAll()), QByteArray("    m3\r"));
}

void TestSerialLink::hangUpMeansPortGone()
{
    testsupport::StationLine station;
    if (!station.isOpen())
        QSKIP("no pseudo-terminals on this system");
    QSerialPort port;
    port.setPortName(station.portName());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QSignalSpy errors(&port, &QSerialPort::errorOccurred);

    station.closeMaster();
    QTRY_VERIFY(!errors.isEmpty());
    const auto error = errors.first().first().value<QSerialPort::SerialPortError>();
    qInfo() << "hang-up reported as" << error;
    QVERIFY(PortScanner::meansPortGone(error));
    port.close();
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
