// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/historyimportdialog.h"
#include "ui/trendsview.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtTest>

using namespace QtCharts;

namespace {

const QString kUnit = QStringLiteral("300234063909320");
const QDateTime kStart(QDate(2025, 6, 1), QTime(0, 0), Qt::UTC);

Observation observation(int minute, double temperature)
{
    Observation o;
    o.imei = kUnit;
    o.stationTime = kStart.addSecs(60 * minute);
    o.reportingMode = QStringLiteral("1 Minute");
    o.temperatureC = temperature;
    o.gustSpeedKt = minute == 30 ? 48 : 10;
    return o;
}

// The lines of a chart as [first x, last x] in seconds.
QVector<QPair<qint64, qint64>> lineSpans(QChart *chart)
{
    QVector<QPair<qint64, qint64>> spans;
    const QList<QAbstractSeries *> all = chart->series();
    for (QAbstractSeries *series : all) {
        if (auto *line = qobject_cast<QLineSeries *>(series))
            spans << qMakePair(qint64(line->at(0).x() / 1000),
                               qint64(line->at(line->count() - 1).x() / 1000));
    }
    return spans;
}

} // namespace

class TestTrendsView : public QObject
{
    Q_OBJECT

private slots:
    void gapsBreakTheLinesAndLiveUpdates();
    void drawsAColumnPerPixelOnceShown();
};

void TestTrendsView::gapsBreakTheLinesAndLiveUpdates()
{
    // Minutes 0 to 59 and 120 to 179: a one-hour silence in between.
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    std::vector<HistoryStore::Entry> entries;
    for (int minute = 0; minute < 180; ++minute) {
        if (minute < 60 || minute >= 120)
            entries.push_back({observation(minute, 10 + minute / 10.0), std::nullopt, false});
    }
    QCOMPARE(store.recordAll(entries), 120);

    TrendsView view(&store);
    view.resize(1000, 900);
    view.setClock([] { return kStart.addSecs(4 * 3600); });
    view.setRange(TrendsView::Range::Hours6);
    QCOMPARE(view.unit(), kUnit);
    QCOMPARE(view.rangeStart(), kStart.addSecs(-2 * 3600));
    const QVector<QPair<qint64, qint64>> spans = lineSpans(view.chart(TrendsView::TemperatureChart));
    QCOMPARE(spans.size(), 2);
    QCOMPARE(spans.at(0).second, kStart.addSecs(59 * 60).toSecsSinceEpoch());
    QCOMPARE(spans.at(1).first, kStart.addSecs(120 * 60).toSecsSinceEpoch());

    // The peak gust of one minute is drawn even 30 days wide.
    view.setRange(TrendsView::Range::Days30);
    double peak = 0;
    const QList<QAbstractSeries *> wind = view.chart(TrendsView::WindChart)->series();
    for (QAbstractSeries *series : wind) {
        if (series->name() == QLatin1String("Gust")) {
            const QVector<QPointF> points = static_cast<QXYSeries *>(series)->pointsVector();
            for (const QPointF &p : points)
                peak = std::max(peak, p.y());
        }
    }
    QCOMPARE(peak, 48.0);

    // A live packet closes nothing and is read out under the mouse; a hidden
    // view draws it once it is shown.
    view.setRange(TrendsView::Range::Hours6);
    QVERIFY(store.record(observation(180, 31.5)));
    view.addObservation(observation(180, 31.5));
    const qint64 liveEnd = kStart.addSecs(180 * 60).toSecsSinceEpoch();
    QVERIFY(lineSpans(view.chart(TrendsView::TemperatureChart)).last().second != liveEnd);
    view.show();
    QCOMPARE(lineSpans(view.chart(TrendsView::TemperatureChart)).last().second, liveEnd);
    const QString readOut = view.readOutAt(kStart.addSecs(180 * 60));
    QVERIFY2(readOut.startsWith(QStringLiteral("2025-06-01 03:00:00 UTC")), qPrintable(readOut));
    QVERIFY2(readOut.contains(QStringLiteral("Temperature 31.5 °C")), qPrintable(readOut));
    QCOMPARE(view.readOutAt(kStart.addSecs(90 * 60)), QString());

    // The day's row and the export of the shown range.
    view.showPage(1);
    QTableWidget *table = view.extremesTable();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("2025-06-01"));
    QCOMPARE(table->item(0, 3)->text(), QStringLiteral("31.5"));
    QCOMPARE(table->item(0, 11)->text(), QStringLiteral("121"));
    const QString path = dir.filePath(QStringLiteral("shown.csv"));
    QVERIFY(view.exportTo(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 1 + 121);
    QVERIFY(!view.exportTo(dir.filePath(QStringLiteral("no/such/folder/x.csv"))));

    HistoryImport::Summary summary;
    summary.added = 3;
    QCOMPARE(HistoryImportDialog::summaryText(summary), QStringLiteral("History imported: 3 packets"));
}

void TestTrendsView::drawsAColumnPerPixelOnceShown()
{
    // A day of one-minute packets: drawn before the view is shown in the
    // default 800 columns; shown 1400 pixels wide, in as many as it has.
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    std::vector<HistoryStore::Entry> entries;
    for (int minute = 0; minute < 1440; ++minute)
        entries.push_back({observation(minute, 20), std::nullopt, false});
    QCOMPARE(store.recordAll(entries), 1440);
    TrendsView view(&store);
    view.setClock([] { return kStart.addDays(1); });
    view.setRange(TrendsView::Range::Hours24);
    auto points = [&view] {
        const QList<QAbstractSeries *> all = view.chart(TrendsView::TemperatureChart)->series();
        int count = 0;
        for (QAbstractSeries *series : all)
            count += series->name() == QLatin1String("Temperature")
                         ? static_cast<QXYSeries *>(series)->count()
                         : 0;
        return count;
    };
    QCOMPARE(points(), 800);
    view.resize(1400, 900);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_VERIFY2(points() > 1200, qPrintable(QString::number(points())));
}

QTEST_MAIN(TestTrendsView)
#include "tst_trendsview.moc"
