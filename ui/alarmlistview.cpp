// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarmlistview.h"

#include "alarms/alarmmonitor.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Which alarm a row shows, to find it again when the alarm clears.
constexpr int kKeyRole = Qt::UserRole;

QString key(const Alarm &alarm)
{
    return Alarm::kindName(alarm.kind) + QLatin1Char('/') + alarm.sensor;
}

QString timeText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

AlarmListView::AlarmListView(QWidget *parent) : QWidget(parent), m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("AlarmListView"));
    m_tree->setObjectName(QStringLiteral("treeWidgetAlarms"));
    m_tree->setRootIsDecorated(false);
    m_tree->setUniformRowHeights(true);
    m_tree->setHeaderLabels(
        {QStringLiteral("Alarm"), QStringLiteral("Started (UTC)"), QStringLiteral("Ended (UTC)")});
    m_tree->header()->setSectionResizeMode(AlarmColumn, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(StartColumn, QHeaderView::ResizeToContents);
    m_tree->header()->setSectionResizeMode(EndColumn, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setToolTip(
        QStringLiteral("Alarms since the program started; all of them are also in Alarms/ in the "
                       "data folder."));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
}

void AlarmListView::attach(AlarmMonitor *monitor)
{
    connect(monitor, &AlarmMonitor::raised, this, &AlarmListView::addAlarm);
    connect(monitor, &AlarmMonitor::cleared, this, &AlarmListView::endAlarm);
}

void AlarmListView::addAlarm(const Alarm &alarm)
{
    auto *item = new QTreeWidgetItem({alarm.text, timeText(alarm.startUtc), QStringLiteral("active")});
    item->setData(AlarmColumn, kKeyRole, key(alarm));
    QFont bold = m_tree->font();
    bold.setBold(true);
    for (int column = 0; column < m_tree->columnCount(); ++column) {
        item->setFont(column, bold);
        item->setForeground(column, QColor(0xb0, 0, 0));
    }
    m_tree->insertTopLevelItem(0, item);
    if (!alarm.isActive())
        showEnded(item, alarm);
    // Keep the list bounded: the oldest ended rows go first.
    for (int row = m_tree->topLevelItemCount() - 1; row >= 0 && m_tree->topLevelItemCount() > kMaxRows;
         --row) {
        if (m_tree->topLevelItem(row)->text(EndColumn) != QLatin1String("active"))
            delete m_tree->takeTopLevelItem(row);
    }
}

void AlarmListView::endAlarm(const Alarm &alarm)
{
    const QString wanted = key(alarm);
    for (int row = 0; row < m_tree->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = m_tree->topLevelItem(row);
        if (item->data(AlarmColumn, kKeyRole).toString() == wanted &&
            item->text(EndColumn) == QLatin1String("active")) {
            showEnded(item, alarm);
            return;
        }
    }
    addAlarm(alarm);
}

void AlarmListView::showEnded(QTreeWidgetItem *item, const Alarm &alarm)
{
    item->setText(EndColumn, timeText(alarm.endUtc));
    for (int column = 0; column < m_tree->columnCount(); ++column) {
        item->setFont(column, m_tree->font());
        item->setForeground(column, m_tree->palette().brush(QPalette::Text));
    }
}
