// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class AlarmMonitor;
class QTreeWidget;
class QTreeWidgetItem;
struct Alarm;

// The alarms of this session, newest first, each with its start and end
// (UTC). An active alarm says "active" in its end column and is drawn in bold
// red, so its state does not hang on the colour alone.
class AlarmListView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxRows = 1000;
    enum Column
    {
        AlarmColumn,
        StartColumn,
        EndColumn,
    };

    explicit AlarmListView(QWidget *parent = nullptr);

    // Follows the monitor's raised and cleared signals.
    void attach(AlarmMonitor *monitor);

    void addAlarm(const Alarm &alarm);
    void endAlarm(const Alarm &alarm);

    QTreeWidget *tree() const { return m_tree; }

private:
    void showEnded(QTreeWidgetItem *item, const Alarm &alarm);

    QTreeWidget *m_tree;
};
