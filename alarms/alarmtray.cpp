// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmtray.h"

#include "alarms/alarmmonitor.h"

#include <QSystemTrayIcon>

AlarmTray::AlarmTray(AlarmMonitor *monitor, const QIcon &icon, QObject *parent)
    : QObject(parent), m_monitor(monitor)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(icon, this);
    updateToolTip();
    m_tray->show();
    connect(monitor, &AlarmMonitor::raised, this,
            [this](const Alarm &alarm) { notify(QStringLiteral("KTR Control alarm"), alarm, true); });
    connect(monitor, &AlarmMonitor::cleared, this, [this](const Alarm &alarm) {
        notify(QStringLiteral("KTR Control alarm cleared"), alarm, false);
    });
}

void AlarmTray::notify(const QString &title, const Alarm &alarm, bool warning)
{
    updateToolTip();
    if (QSystemTrayIcon::supportsMessages())
        m_tray->showMessage(title, alarm.text,
                            warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, kMessageMs);
}

void AlarmTray::updateToolTip()
{
    const QString active = m_monitor->statusText();
    m_tray->setToolTip(active.isEmpty() ? QStringLiteral("KTR Control: no alarms")
                                        : QStringLiteral("KTR Control: ") + active);
}
