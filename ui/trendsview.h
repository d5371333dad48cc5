// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/historystore.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <vector>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QTableWidget;
class QTabWidget;

namespace QtCharts {
class QChart;
class QChartView;
class QCategoryAxis;
class QValueAxis;
} // namespace QtCharts

// The weather history of one unit as stacked charts on one time axis:
// temperature with dew point, altimeter, wind speed with gusts and the wind
// direction as points, precipitation rate, visibility, battery voltage with
// the packets that reported interference. Below them a read-out of the time
// and values under the mouse; beside them, a table of daily extremes.
//
// Each chart column of pixels gets one bucket of the store's reduction, drawn
// as its minimum and maximum, so a short peak stays visible at any range.
// Where the gap rule finds a break, or a reading is missing, the line stops
// and a new one begins: a gap is never bridged.
class TrendsView : public QWidget
{
    Q_OBJECT

public:
    enum class Range
    {
        Hours6,
        Hours24,
        Days7,
        Days30,
        Custom
    };
    enum Chart
    {
        TemperatureChart,
        PressureChart,
        WindChart,
        PrecipChart,
        VisibilityChart,
        BatteryChart,
        ChartCount
    };
    // More segments than this and a reading is drawn as points only.
    static constexpr int kMaxSegments = 300;
    // The daily table covers at most this many days (the latest of the range).
    static constexpr int kMaxTableDays = 92;

    explicit TrendsView(HistoryStore *store, QWidget *parent = nullptr);

    void setUnit(const QString &unit);
    QString unit() const { return m_unit; }
    void setRange(Range range);
    // Shows [from, to) and selects the custom range.
    void setCustomRange(const QDateTime &from, const QDateTime &to);
    QDateTime rangeStart() const { return m_from; }
    QDateTime rangeEnd() const { return m_to; }
    // The clock that the rolling ranges end at; the system clock by default.
    void setClock(const std::function<QDateTime()> &nowUtc);

    // A packet just stored: the view follows its unit and redraws, or, while
    // it is hidden, redraws when it is shown (the charts' layout costs more
    // than anything else a packet does).
    void addObservation(const Observation &observation);
    // Reads the range from the store again and redraws.
    void refresh();

    // The time and values of the bucket nearest to the time, as the read-out
    // shows them; empty when nothing lies within a pixel column or two.
    QString readOutAt(const QDateTime &utc) const;
    // Writes the shown range as CSV; false (with a message in the read-out)
    // when it cannot.
    bool exportTo(const QString &path);

    QtCharts::QChart *chart(Chart which) const;
    QTableWidget *extremesTable() const { return m_table; }
    // Shows the charts (0) or the daily extremes (1).
    void showPage(int page);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildCharts();
    void rangeChosen(int index);
    void updateRange();
    void drawLine(Chart which, HistoryStore::Quantity quantity, const QString &name, const QColor &color);
    void drawPoints(Chart which, HistoryStore::Quantity quantity, const QString &name, const QColor &color,
                    bool onRightAxis);
    void drawInterference();
    void fillTable();
    void exportClicked();

    HistoryStore *m_store;
    QString m_unit;
    Range m_range = Range::Hours24;
    QDateTime m_from;
    QDateTime m_to;
    std::function<QDateTime()> m_now;
    std::vector<HistoryStore::Bucket> m_buckets;
    qint64 m_bucketSecs = 1;
    struct ValueRange
    {
        bool empty = true;
        double low = 0;
        double high = 0;
    };
    ValueRange m_valueRanges[ChartCount];

    QComboBox *m_rangeBox = nullptr;
    QDateTimeEdit *m_fromEdit = nullptr;
    QDateTimeEdit *m_toEdit = nullptr;
    QLabel *m_readOut = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_table = nullptr;
    QtCharts::QChartView *m_views[ChartCount] = {};
    int m_columns = 0;    // the chart width last drawn for, 0 while not shown
    bool m_stale = false; // a packet came while hidden
    QtCharts::QCategoryAxis *m_timeAxes[ChartCount] = {};
    QtCharts::QValueAxis *m_valueAxes[ChartCount] = {};
    QtCharts::QValueAxis *m_directionAxis = nullptr;
};
