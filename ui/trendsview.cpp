// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trendsview.h"

#include "storage/datafolder.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>

using namespace QtCharts;

namespace {

constexpr int kFallbackColumns = 800;
constexpr qint64 kHourSecs = 3600;

struct Reading
{
    HistoryStore::Quantity quantity;
    const char *label;
    const char *unit;
};
const Reading kReadings[] = {
    {HistoryStore::Temperature, "Temperature", "°C"}, {HistoryStore::DewPoint, "Dew point", "°C"},
    {HistoryStore::Altimeter, "Altimeter", "inHg"},   {HistoryStore::WindSpeed, "Wind", "kt"},
    {HistoryStore::GustSpeed, "Gust", "kt"},          {HistoryStore::WindDir, "Direction", "°"},
    {HistoryStore::Precip, "Precipitation", "in/h"},  {HistoryStore::Visibility, "Visibility", "mi"},
    {HistoryStore::Voltage, "Battery", "V"},
};

const char *const kChartTitles[TrendsView::ChartCount] = {
    "Temperature and dew point (°C)", "Altimeter (inHg)", "Wind and gusts (kt), direction (°)",
    "Precipitation rate (in/h)",      "Visibility (mi)",  "Battery (V) and interference",
};

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

// Labels in UTC at round times, about six across the range.
void setTimeTicks(QCategoryAxis *axis, const QDateTime &from, const QDateTime &to)
{
    static const qint64 kStepsSecs[] = {600,        1800,       3600,        3 * 3600,   6 * 3600,
                                        12 * 3600,  86400,      2 * 86400,   7 * 86400,  14 * 86400,
                                        30 * 86400, 91 * 86400, 182 * 86400, 365 * 86400};
    const qint64 span = std::max<qint64>(1, from.secsTo(to));
    qint64 step = kStepsSecs[std::size(kStepsSecs) - 1];
    for (qint64 candidate : kStepsSecs) {
        if (span / candidate <= 7) {
            step = candidate;
            break;
        }
    }
    const QStringList old = axis->categoriesLabels();
    for (const QString &label : old)
        axis->remove(label);
    axis->setRange(qreal(from.toMSecsSinceEpoch()), qreal(to.toMSecsSinceEpoch()));
    const QString format = step < 86400 ? QStringLiteral("MM-dd hh:mm") : QStringLiteral("yyyy-MM-dd");
    for (qint64 t = (from.toSecsSinceEpoch() / step + 1) * step; t < to.toSecsSinceEpoch(); t += step)
        axis->append(QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(format), qreal(t * 1000));
}

qint64 centreSecs(const HistoryStore::Bucket &bucket)
{
    return (bucket.firstSecs + bucket.lastSecs) / 2;
}

QString timeText(const QDateTime &utc)
{
    return utc.isValid() ? utc.toString(QStringLiteral("hh:mm")) : QString();
}

QString optionalText(const std::optional<double> &value)
{
    return value ? number(*value) : QString();
}

} // namespace

TrendsView::TrendsView(HistoryStore *store, QWidget *parent)
    : QWidget(parent), m_store(store), m_now([] { return QDateTime::currentDateTimeUtc(); })
{
    buildControls();
    buildCharts();
    refresh();
}

void TrendsView::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    m_rangeBox = new QComboBox(this);
    m_rangeBox->addItems({tr("6 h"), tr("24 h"), tr("7 days"), tr("30 days"), tr("Custom span")});
    m_rangeBox->setCurrentIndex(int(m_range));
    m_fromEdit = new QDateTimeEdit(this);
    m_toEdit = new QDateTimeEdit(this);
    for (QDateTimeEdit *edit : {m_fromEdit, m_toEdit}) {
        edit->setTimeSpec(Qt::UTC);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm 'UTC'"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(edit, &QDateTimeEdit::editingFinished, this, [this] {
            if (m_range == Range::Custom && m_fromEdit->dateTime() < m_toEdit->dateTime())
                setCustomRange(m_fromEdit->dateTime(), m_toEdit->dateTime());
        });
    }
    auto *exportButton = new QPushButton(tr("Export CSV..."), this);
    bar->addWidget(new QLabel(tr("Range:"), this));
    bar->addWidget(m_rangeBox);
    bar->addWidget(m_fromEdit);
    bar->addWidget(new QLabel(tr("to"), this));
    bar->addWidget(m_toEdit);
    bar->addStretch();
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    connect(m_rangeBox, QOverload<int>::of(&QComboBox::activated), this, &TrendsView::rangeChosen);
    connect(exportButton, &QPushButton::clicked, this, &TrendsView::exportClicked);

    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs, 1);
    m_readOut = new QLabel(this);
    m_readOut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_readOut);

    m_table = new QTableWidget(0, 13, this);
    m_table->setHorizontalHeaderLabels({tr("Day (UTC)"), tr("Min temp (°C)"), tr("at"), tr("Max temp (°C)"),
                                        tr("at"), tr("Max gust (kt)"), tr("from (°)"), tr("at"),
                                        tr("Precipitation (in)"), tr("Min altimeter (inHg)"), tr("at"),
                                        tr("Packets"), tr("Expected")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void TrendsView::buildCharts()
{
    auto *page = new QWidget(m_tabs);
    auto *charts = new QVBoxLayout(page);
    charts->setSpacing(0);
    charts->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < ChartCount; ++i) {
        auto *chart = new QChart;
        chart->setTitle(tr(kChartTitles[i]));
        chart->legend()->setAlignment(Qt::AlignRight);
        chart->setMargins(QMargins(4, 0, 4, 0));
        // A category axis, so that the labels can show UTC, not the PC's zone.
        m_timeAxes[i] = new QCategoryAxis(chart);
        m_timeAxes[i]->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        m_valueAxes[i] = new QValueAxis(chart);
        // Five labels do not fit the height of a chart on a small screen.
        m_valueAxes[i]->setTickCount(3);
        chart->addAxis(m_timeAxes[i], Qt::AlignBottom);
        chart->addAxis(m_valueAxes[i], Qt::AlignLeft);
        m_views[i] = new QChartView(chart, page);
        m_views[i]->setRenderHint(QPainter::Antialiasing);
        m_views[i]->setMinimumHeight(140);
        m_views[i]->setMouseTracking(true);
        m_views[i]->viewport()->installEventFilter(this);
        charts->addWidget(m_views[i]);
    }
    m_directionAxis = new QValueAxis(m_views[WindChart]->chart());
    m_directionAxis->setRange(0, 360);
    m_directionAxis->setTickCount(3);
    m_directionAxis->setLabelFormat(QStringLiteral("%d"));
    m_views[WindChart]->chart()->addAxis(m_directionAxis, Qt::AlignRight);
    m_tabs->addTab(page, tr("Charts"));
    m_tabs->addTab(m_table, tr("Daily Extremes"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentWidget() == m_table)
            fillTable();
    });
}

QChart *TrendsView::chart(Chart which) const
{
    return m_views[which]->chart();
}

void TrendsView::setClock(const std::function<QDateTime()> &nowUtc)
{
    m_now = nowUtc;
    refresh();
}

void TrendsView::setUnit(const QString &unit)
{
    m_unit = DataFolder::unitName(unit);
    refresh();
}

void TrendsView::rangeChosen(int index)
{
    if (index == int(Range::Custom))
        setCustomRange(m_from, m_to);
    else
        setRange(Range(index));
}

void TrendsView::setRange(Range range)
{
    m_range = range;
    m_rangeBox->setCurrentIndex(int(range));
    m_fromEdit->setEnabled(range == Range::Custom);
    m_toEdit->setEnabled(range == Range::Custom);
    refresh();
}

void TrendsView::setCustomRange(const QDateTime &from, const QDateTime &to)
{
    if (!from.isValid() || !to.isValid() || from >= to)
        return;
    m_from = from.toUTC();
    m_to = to.toUTC();
    setRange(Range::Custom);
}

void TrendsView::updateRange()
{
    if (m_range == Range::Custom && m_from.isValid())
        return;
    static const qint64 kSpanSecs[] = {6 * kHourSecs, 24 * kHourSecs, 7 * 24 * kHourSecs,
                                       30 * 24 * kHourSecs};
    const int index = m_range == Range::Custom ? int(Range::Hours24) : int(m_range);
    m_to = m_now().toUTC();
    m_from = m_to.addSecs(-kSpanSecs[index]);
}

void TrendsView::addObservation(const Observation &observation)
{
    const QString unit = DataFolder::unitName(observation.imei);
    if (unit != m_unit)
        m_unit = unit;
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    refresh();
}

void TrendsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void TrendsView::refresh()
{
    m_stale = false;
    updateRange();
    if (m_unit.isEmpty() && m_store)
        m_unit = m_store->latestUnit();
    m_fromEdit->setDateTime(m_from);
    m_toEdit->setDateTime(m_to);
    // A column per pixel of the chart's width once it is shown; the plot area
    // itself is only known after the charts have been laid out, which
    // drawing changes.
    m_columns = m_views[0]->isVisible() ? m_views[0]->viewport()->width() : 0;
    const int columns = m_columns > 1 ? m_columns : kFallbackColumns;
    m_buckets =
        m_store ? m_store->reduced(m_unit, m_from, m_to, columns) : std::vector<HistoryStore::Bucket>();

    m_bucketSecs = std::max<qint64>(1, m_from.secsTo(m_to) / columns);
    for (int i = 0; i < ChartCount; ++i) {
        m_views[i]->chart()->removeAllSeries();
        setTimeTicks(m_timeAxes[i], m_from, m_to);
        m_valueAxes[i]->setRange(0, 1);
        m_valueRanges[i] = ValueRange();
    }
    drawLine(TemperatureChart, HistoryStore::Temperature, tr("Temperature"), QColor(200, 40, 40));
    drawLine(TemperatureChart, HistoryStore::DewPoint, tr("Dew point"), QColor(40, 110, 200));
    drawLine(PressureChart, HistoryStore::Altimeter, tr("Altimeter"), QColor(90, 60, 160));
    drawLine(WindChart, HistoryStore::WindSpeed, tr("Wind"), QColor(30, 140, 60));
    drawLine(WindChart, HistoryStore::GustSpeed, tr("Gust"), QColor(230, 130, 20));
    drawPoints(WindChart, HistoryStore::WindDir, tr("Direction"), QColor(120, 120, 120), true);
    drawLine(PrecipChart, HistoryStore::Precip, tr("Precipitation"), QColor(20, 90, 200));
    drawLine(VisibilityChart, HistoryStore::Visibility, tr("Visibility"), QColor(100, 100, 100));
    drawLine(BatteryChart, HistoryStore::Voltage, tr("Battery"), QColor(40, 140, 140));
    drawInterference();
    // The table costs a pass over the raw rows: only while it is shown.
    if (m_tabs->currentWidget() == m_table)
        fillTable();
}

void TrendsView::drawLine(Chart which, HistoryStore::Quantity quantity, const QString &name,
                          const QColor &color)
{
    std::vector<QVector<QPointF>> segments;
    QVector<QPointF> current;
    const HistoryStore::Bucket *previous = nullptr;
    auto close = [&] {
        if (!current.isEmpty())
            segments.push_back(current);
        current.clear();
    };
    for (const HistoryStore::Bucket &bucket : m_buckets) {
        const std::optional<double> low = bucket.min[quantity];
        const std::optional<double> high = bucket.max[quantity];
        if (!low || !high) {
            close();
            previous = nullptr;
            continue;
        }
        if (previous && HistoryStore::isGap(previous->lastSecs, bucket.firstSecs, previous->intervalSecs))
            close();
        const qreal x = qreal(centreSecs(bucket) * 1000);
        current << QPointF(x, *low);
        if (*high != *low)
            current << QPointF(x, *high);
        previous = &bucket;
    }
    close();

    QChart *c = m_views[which]->chart();
    QValueAxis *axis = m_valueAxes[which];
    auto *points = new QScatterSeries;
    points->setName(name);
    points->setColor(color);
    points->setBorderColor(color);
    points->setMarkerSize(4);
    bool legendShown = false;
    auto add = [&](QXYSeries *series) {
        c->addSeries(series);
        series->attachAxis(m_timeAxes[which]);
        series->attachAxis(axis);
        const QList<QLegendMarker *> markers = c->legend()->markers(series);
        for (QLegendMarker *marker : markers)
            marker->setVisible(!legendShown);
        legendShown = true;
    };
    const bool asPoints = int(segments.size()) > kMaxSegments;
    for (const QVector<QPointF> &segment : segments) {
        // One column alone makes no line; it is shown as a point.
        if (asPoints || segment.first().x() == segment.last().x()) {
            points->append(segment.toList());
            continue;
        }
        auto *line = new QLineSeries;
        line->setName(name);
        line->setPen(QPen(color, 1.5));
        line->replace(segment);
        add(line);
    }
    if (points->count() > 0)
        add(points);
    else
        delete points;

    // Grow the value axis over what this chart shows.
    ValueRange &range = m_valueRanges[which];
    for (const QVector<QPointF> &segment : segments) {
        for (const QPointF &p : segment) {
            range.low = range.empty ? p.y() : std::min(range.low, p.y());
            range.high = range.empty ? p.y() : std::max(range.high, p.y());
            range.empty = false;
        }
    }
    if (!range.empty) {
        const double pad = std::max(0.05 * (range.high - range.low), 0.05);
        axis->setRange(range.low - pad, range.high + pad);
    }
}

void TrendsView::drawPoints(Chart which, HistoryStore::Quantity quantity, const QString &name,
                            const QColor &color, bool onRightAxis)
{
    auto *points = new QScatterSeries;
    points->setName(name);
    points->setColor(color);
    points->setBorderColor(color);
    points->setMarkerSize(4);
    for (const HistoryStore::Bucket &bucket : m_buckets) {
        const qreal x = qreal(centreSecs(bucket) * 1000);
        if (bucket.min[quantity])
            points->append(x, *bucket.min[quantity]);
        if (bucket.max[quantity] && bucket.max[quantity] != bucket.min[quantity])
            points->append(x, *bucket.max[quantity]);
    }
    QChart *c = m_views[which]->chart();
    c->addSeries(points);
    points->attachAxis(m_timeAxes[which]);
    points->attachAxis(onRightAxis ? m_directionAxis : m_valueAxes[which]);
}

void TrendsView::drawInterference()
{
    auto *marks = new QScatterSeries;
    marks->setName(tr("Interference"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    marks->setColor(QColor(220, 30, 30));
    marks->setMarkerSize(6);
    for (const HistoryStore::Bucket &bucket : m_buckets) {
        if (bucket.max[HistoryStore::Interfered].value_or(0) > 0) {
            const double y = bucket.min[HistoryStore::Voltage].value_or(m_valueAxes[BatteryChart]->min());
            marks->append(qreal(centreSecs(bucket) * 1000), y);
        }
    }
    QChart *c = m_views[BatteryChart]->chart();
    c->addSeries(marks);
    marks->attachAxis(m_timeAxes[BatteryChart]);
    marks->attachAxis(m_valueAxes[BatteryChart]);
}

void TrendsView::fillTable()
{
    m_table->setRowCount(0);
    if (!m_store || m_unit.isEmpty())
        return;
    const QDate last = m_to.addSecs(-1).date();
    const QDate first = std::max(m_from.date(), last.addDays(1 - kMaxTableDays));
    const std::vector<HistoryStore::DayExtremes> days = m_store->dailyExtremes(m_unit, first, last, m_now());
    m_table->setRowCount(int(days.size()));
    int row = 0;
    // Newest day on top.
    for (auto day = days.rbegin(); day != days.rend(); ++day, ++row) {
        const QString cells[] = {
            day->day.toString(Qt::ISODate),
            optionalText(day->minTemperatureC),
            timeText(day->minTemperatureTime),
            optionalText(day->maxTemperatureC),
            timeText(day->maxTemperatureTime),
            optionalText(day->maxGustKt),
            optionalText(day->maxGustDirDeg),
            timeText(day->maxGustTime),
            day->precipIn ? QString::number(*day->precipIn, 'f', 2) : QString(),
            optionalText(day->minAltimeterInHg),
            timeText(day->minAltimeterTime),
            QString::number(day->received),
            QString::number(day->expected),
        };
        for (int column = 0; column < int(std::size(cells)); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

QString TrendsView::readOutAt(const QDateTime &utc) const
{
    if (m_buckets.empty() || !utc.isValid())
        return QString();
    const qint64 t = utc.toSecsSinceEpoch();
    const auto nearest =
        std::min_element(m_buckets.begin(), m_buckets.end(), [t](const auto &a, const auto &b) {
            return std::llabs(centreSecs(a) - t) < std::llabs(centreSecs(b) - t);
        });
    if (std::llabs(centreSecs(*nearest) - t) >
        2 * m_bucketSecs + (nearest->lastSecs - nearest->firstSecs) / 2)
        return QString();
    QStringList parts;
    parts << QDateTime::fromSecsSinceEpoch(centreSecs(*nearest), Qt::UTC)
                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss 'UTC'"));
    for (const Reading &reading : kReadings) {
        const std::optional<double> low = nearest->min[reading.quantity];
        const std::optional<double> high = nearest->max[reading.quantity];
        if (!low || !high)
            continue;
        const QString value = *low == *high ? number(*low) : tr("%1 to %2").arg(number(*low), number(*high));
        parts << QStringLiteral("%1 %2 %3").arg(tr(reading.label), value, QString::fromUtf8(reading.unit));
    }
    if (nearest->max[HistoryStore::Interfered].value_or(0) > 0)
        parts << tr("Interference");
    if (nearest->count > 1)
        parts << tr("%n packets", nullptr, nearest->count);
    return parts.join(QStringLiteral(", "));
}

bool TrendsView::eventFilter(QObject *watched, QEvent *event)
{
    // Shown for the first time or resized: as many columns as it now has.
    if (event->type() == QEvent::Resize && watched == m_views[0]->viewport() &&
        static_cast<QResizeEvent *>(event)->size().width() != m_columns)
        QMetaObject::invokeMethod(this, &TrendsView::refresh, Qt::QueuedConnection);
    if (event->type() == QEvent::MouseMove) {
        for (QChartView *view : m_views) {
            if (view->viewport() != watched)
                continue;
            const QRectF plot = view->chart()->plotArea();
            const QPointF scene = view->mapToScene(static_cast<QMouseEvent *>(event)->pos());
            if (plot.width() > 0 && plot.left() <= scene.x() && scene.x() <= plot.right()) {
                const double fraction = (scene.x() - plot.left()) / plot.width();
                m_readOut->setText(readOutAt(m_from.addSecs(qint64(fraction * m_from.secsTo(m_to)))));
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TrendsView::exportTo(const QString &path)
{
    QSaveFile file(path);
    qint64 rows = -1;
    if (m_store && file.open(QIODevice::WriteOnly)) {
        rows = m_store->exportCsv(m_unit, m_from, m_to, &file);
        if (rows < 0 || !file.commit())
            rows = -1;
    }
    if (rows < 0) {
        m_readOut->setText(tr("Export failed: %1").arg(file.errorString()));
        return false;
    }
    m_readOut->setText(
        tr("%n packets exported to %1", nullptr, int(rows)).arg(QDir::toNativeSeparators(path)));
    return true;
}

void TrendsView::exportClicked()
{
    const QString name = QStringLiteral("%1_%2_%3.csv")
                             .arg(m_unit, m_from.toString(QStringLiteral("yyyyMMddThhmm")),
                                  m_to.toString(QStringLiteral("yyyyMMddThhmm")));
    const QString path = QFileDialog::getSaveFileName(this, tr("Export CSV"), name, tr("CSV files (*.csv)"));
    if (!path.isEmpty())
        exportTo(path);
}

void TrendsView::showPage(int page)
{
    m_tabs->setCurrentIndex(page);
}
