// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/acousticassembler.h"
#include "tools/sim/recordingsource.h"
#include "tools/sim/stationsimulator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

// The simulated station's acoustic results, read back the way the program
// reads them.
class TestRecordingSource : public QObject
{
    Q_OBJECT

private slots:
    // Seven-bit levels and twelve-bit samples, most significant bit first; out of range clamped.
    void packing()
    {
        QCOMPARE(RecordingSource::packSevenBit({127}).toHex(' '), "fe");
        QCOMPARE(RecordingSource::packSevenBit({200, -5}).toHex(' '), "fe 00");
        QCOMPARE(RecordingSource::packTwelveBit({0x401, 0x302}).toHex(' '), "01 02 34");
        QCOMPARE(RecordingSource::packTwelveBit({0xffff, 0}).toHex(' '), "ff 00 0f");
    }
    // The file the program writes from the station's packets plays: a real
    // decoder reads it to the recording's length.
    void mp3FileDecodesToItsDuration()
    {
        const QString mpg123 = QStandardPaths::findExecutable("mpg123");
        if (mpg123.isEmpty())
            QSKIP("mpg123 is not installed");
        QTemporaryDir dir;
        AssemblyBuffer block;
        AcousticAssembler assembler(block);
        const QDateTime utc(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        const QList<QByteArray> packets =
            StationSimulator::acousticPackets(StationSimulator::Mp3, 7, utc, RecordingSource::mp3Recording());
        QStringList files;
        for (const QByteArray &packet : packets)
            files += assembler.process(packet, "300234064380150", dir.path(), utc).filePaths;
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().endsWith("_MP3_07.mp3"));

        const QString wav = dir.filePath("decoded.wav");
        QProcess decoder;
        decoder.start(mpg123, {"-q", "-w", wav, files.first()});
        QVERIFY(decoder.waitForFinished(30000));
        QCOMPARE(decoder.exitCode(), 0);
        QFile decoded(wav);
        QVERIFY(decoded.open(QIODevice::ReadOnly));
        const QByteArray header = decoded.read(44);
        // Byte rate at 28, data size behind the header; the encoder adds at most
        // a few frames of padding.
        const double seconds =
            double(decoded.size() - 44) / qFromLittleEndian<quint32>(header.constData() + 28);
        QVERIFY2(seconds >= RecordingSource::kMp3DurationMs / 1000.0 &&
                     seconds < RecordingSource::kMp3DurationMs / 1000.0 + 0.25,
                 qPrintable(QString::number(seconds)));
    }
};

QTEST_APPLESS_MAIN(TestRecordingSource)
#include "tst_recordingsource.moc"
