// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/alarmlog.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class AlarmListView;
class AlarmMonitor;
class AlarmTray;
class DialogAlarms;
class QAction;
class QDialog;
class QLabel;
class QMainWindow;
class QSettings;
struct Alarm;
struct Observation;

// The alarms as the main window shows them: the monitor with its thresholds
// from the settings store, the alarm log in the data folder, a red label in
// the status bar while anything is wrong, the alarm list, the thresholds
// dialog and the desktop notifications.
class AlarmPresenter : public QObject
{
    Q_OBJECT

public:
    // settingsFile: an INI file, or empty for the user's settings store.
    AlarmPresenter(const QString &settingsFile, const QString &dataFolderRoot, QMainWindow *window);
    ~AlarmPresenter() override;

    // The UTC clock of the alarms (tests set their own).
    void setClock(std::function<QDateTime()> utcNow) { m_clock = std::move(utcNow); }

    // A weather packet, and what the data view says about it in words.
    void observe(const Observation &observation, const QStringList &displayWarnings);
    // Notices silence; call it on every window tick.
    void tick();

    AlarmMonitor *monitor() const { return m_monitor; }
    QLabel *statusLabel() const { return m_label; }
    AlarmListView *listView() const { return m_list; }
    // "Alarms..." opens the thresholds, "Alarm List" the list.
    QAction *settingsAction() const { return m_settingsAction; }
    QAction *listAction() const { return m_listAction; }

public slots:
    void showSettings();
    void showList();

private:
    void logAlarm(const Alarm &alarm);
    void updateLabel();

    std::unique_ptr<QSettings> m_settings;
    std::function<QDateTime()> m_clock;
    AlarmMonitor *m_monitor;
    AlarmLog m_log;
    AlarmTray *m_tray;
    QLabel *m_label;
    QDialog *m_listDialog;
    AlarmListView *m_list;
    DialogAlarms *m_dialog = nullptr; // built when first opened
    QAction *m_settingsAction;
    QAction *m_listAction;
    QStringList m_warnings;
    QString m_logError;
};
