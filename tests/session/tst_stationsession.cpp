// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingcontroller.h"
#include "forwarding/forwardingsettings.h"
#include "link/memorylink.h"
#include "session/stationsession.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray kImei = "300234063909320";
const QByteArray kWeather = "@I:" + kImei +
                            "\r\n@012\r\nB:5.32:3:000123:0A:1F:00\r\nT:18/05/31,02:37:13\r\nTA:22.8\r\n"
                            "BA:1012.3:2990\r\nRH:52\r\nWI:8.0:240\r\nGU:12.0:300\r\n~\r\n";
const QDateTime kNow(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);

// "@1", the time 18/05/31 02:37:13 packed, flags, sequence, 330 bytes, trailer.
QByteArray cameraPacket(int camera, int sequence, bool last)
{
    QByteArray packet("@1\x18\x05\x31\x02\x37\x13", 8);
    packet += char((camera << 4) | (last ? 0x0b : 0));
    packet += char(sequence);
    packet += QByteArray(330, char('A' + sequence));
    return packet + "\r\n\r\n";
}
} // namespace

class TestStationSession : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = m_dir->filePath("data");
        m_session = std::make_unique<StationSession>(DataFolder(m_root));
        m_session->setClock([] { return kNow; });
        m_link = std::make_unique<MemoryLink>(QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(m_session->connectLink(m_link.get()));
    }
    void weatherPacketArrivals_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<bool>("waitsForSnd");

        QTest::newRow("whole, with SND") << QList<QByteArray>{kWeather + "SND\r\n"} << false;
        QTest::newRow("in three pieces")
            << QList<QByteArray>{kWeather.left(20), kWeather.mid(20, 60), kWeather.mid(80) + "SND\r\n"}
            << false;
        QTest::newRow("no SND: after the wait") << QList<QByteArray>{kWeather} << true;
        QTest::newRow("SND arrives during the wait") << QList<QByteArray>{kWeather, "SND\r\n"} << false;
        QTest::newRow("more bytes but no SND during the wait") << QList<QByteArray>{kWeather, "\r\n"} << true;
        QByteArray broken = cameraPacket(1, 0, false);
        broken.replace(340, 4, "\0\0\0\0");
        QTest::newRow("behind a broken camera packet")
            << QList<QByteArray>{broken + kWeather + "SND\r\n"} << false;
    }
    void weatherPacketArrivals()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(bool, waitsForSnd);
        QSignalSpy reports(m_session.get(), &StationSession::weatherReceived);
        QSignalSpy status(m_session.get(), &StationSession::statusChanged);

        for (const QByteArray &piece : pieces) {
            QCOMPARE(reports.count(), 0);
            m_link->feed(piece);
            ticks(1);
        }
        QCOMPARE(m_session->isWaitingForSnd(), waitsForSnd);
        if (waitsForSnd) {
            QCOMPARE(reports.count(), 0);
            m_session->sndWaitElapsed();
        }
        QCOMPARE(reports.count(), 1);
        const Observation observation = reports.first().first().value<Observation>();
        QCOMPARE(observation.temperatureC, std::optional<double>(22.8));
        QCOMPARE(status.last().first().toString(), QStringLiteral("Received Weather Data"));

        QFile csv(m_root + "/CSV/" + kImei + "_2026-12.csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = csv.readAll().split('\n');
        QCOMPARE(rows.size(), 3); // header, one row, nothing behind the last line end
        QVERIFY(rows.at(1).startsWith("2018-05-31 02:37:13,"));
        m_session->sndWaitElapsed(); // a late re-run finds nothing to do again
        QCOMPARE(reports.count(), 1);
    }
    // Six silent ticks between two parts of a packet: the bytes before are dropped.
    void idleGapStartsAfresh()
    {
        QSignalSpy spy(m_session.get(), &StationSession::weatherReceived);
        m_link->feed(kWeather.left(40));
        ticks(6);
        m_link->feed(kWeather.mid(40) + "SND\r\n");
        QCOMPARE(spy.count(), 0);
    }
    // At power-up the station waits for spaces; the prompt then takes the current selection.
    void powerUpTakesTheSelection()
    {
        m_session->setConfigSource([] { return QByteArray("m2\r"); });
        QSignalSpy status(m_session.get(), &StationSession::statusChanged);
        QSignalSpy caption(m_session.get(), &StationSession::sendCaptionChanged);
        m_link->feed("\r\n\rKTR v3.21\r\n");
        QCOMPARE(status.last().first().toString(), QStringLiteral("KTR Power-up"));
        ticks(2);
        QCOMPARE(m_link->written(), QByteArray(2, ' ')); // poking for the prompt

        m_link->clearWritten();
        m_link->feed("\r\n>");
        QCOMPARE(status.last().first().toString(), QStringLiteral("KTR Configured"));
        QCOMPARE(caption.last().first().toString(), QStringLiteral("Send Command"));
        ticks(2);
        QCOMPARE(m_link->written(), QByteArray("m2")); // one byte per tick
        ticks(5);
        QCOMPARE(m_link->written(), QByteArray("m2\r"));
    }
    void pictureSeries()
    {
        // A receiver that refuses: whatever is forwarded waits in the outbox.
        ForwardingController forwarding(std::make_unique<ForwardingSettings>(m_dir->filePath("settings.ini")),
                                        m_dir->filePath("history.sqlite"));
        forwarding.setTarget(QStringLiteral("127.0.0.1"), 1);
        forwarding.setEnabled(true);
        m_session->setForwarder(&forwarding);
        m_link->feed(kWeather + "SND\r\n");
        QSignalSpy pictures(m_session.get(), &StationSession::pictureReady);
        QSignalSpy progress(m_session.get(), &StationSession::progressChanged);

        for (int sequence = 0; sequence < 3; ++sequence) {
            ticks(6);
            m_link->feed(cameraPacket(2, sequence, sequence == 2));
        }
        QCOMPARE(progress.count(), 3);
        QCOMPARE(pictures.count(), 1);
        QCOMPARE(forwarding.queueLength(), 1 + 3); // the weather packet and each camera packet

        QFile file(m_root + "/Image/" + kImei + "_20180531_023713Z_KTRtime_Cam2.jpg");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), qint64(632 + 3 * 330 + 2));
    }

private:
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            m_session->tick();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationSession> m_session;
    std::unique_ptr<MemoryLink> m_link;
    QString m_root;
};

QTEST_GUILESS_MAIN(TestStationSession)
#include "tst_stationsession.moc"
