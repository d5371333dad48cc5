// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class AlarmMonitor;
class QIcon;
class QSystemTrayIcon;
struct Alarm;

// Desktop notifications of the monitor's alarms through the system tray,
// where the desktop has one; elsewhere it does nothing (the status bar and
// the alarm list still show every alarm). The tray icon's tooltip lists the
// active alarms.
class AlarmTray : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMessageMs = 10000;

    AlarmTray(AlarmMonitor *monitor, const QIcon &icon, QObject *parent = nullptr);

    bool isAvailable() const { return m_tray != nullptr; }

private:
    void notify(const QString &title, const Alarm &alarm, bool warning);
    void updateToolTip();

    AlarmMonitor *m_monitor;
    QSystemTrayIcon *m_tray = nullptr;
};
