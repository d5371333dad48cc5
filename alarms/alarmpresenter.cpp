// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/alarmpresenter.h"

#include "alarms/alarmmonitor.h"
#include "alarms/alarmtray.h"
#include "ui/alarmlistview.h"
#include "ui/dialogalarms.h"

#include <QAction>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

AlarmPresenter::AlarmPresenter(const QString &settingsFile, const QString &dataFolderRoot,
                               QMainWindow *window)
    : QObject(window),
      m_settings(settingsFile.isEmpty()
                     ? std::make_unique<QSettings>(QStringLiteral("Vorsetti"), QStringLiteral("KTR_Control"))
                     : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }), m_monitor(new AlarmMonitor(this)),
      m_log(AlarmLog::folderIn(dataFolderRoot)), m_tray(new AlarmTray(m_monitor, window->windowIcon(), this)),
      m_label(new QLabel(window)), m_listDialog(new QDialog(window)), m_list(new AlarmListView(m_listDialog)),
      m_settingsAction(new QAction(QStringLiteral("&Alarms..."), this)),
      m_listAction(new QAction(QStringLiteral("Alarm &List"), this))
{
    m_monitor->setSettings(AlarmSettings::load(*m_settings));
    connect(m_monitor, &AlarmMonitor::raised, this, &AlarmPresenter::logAlarm);
    connect(m_monitor, &AlarmMonitor::cleared, this, &AlarmPresenter::logAlarm);

    m_label->setObjectName(QStringLiteral("alarmLabel"));
    m_label->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_label->setToolTip(QStringLiteral("Active alarms; Settings > Alarm List shows them with start and end"));
    m_label->hide();
    window->statusBar()->addPermanentWidget(m_label);

    m_listDialog->setObjectName(QStringLiteral("dialogAlarmList"));
    m_listDialog->setWindowTitle(QStringLiteral("Alarm List"));
    auto *layout = new QVBoxLayout(m_listDialog);
    layout->addWidget(m_list);
    m_listDialog->resize(m_list->sizeHint().expandedTo(QSize(640, 320)));
    m_list->attach(m_monitor);

    m_settingsAction->setObjectName(QStringLiteral("actionAlarms"));
    m_listAction->setObjectName(QStringLiteral("actionAlarmList"));
    connect(m_settingsAction, &QAction::triggered, this, &AlarmPresenter::showSettings);
    connect(m_listAction, &QAction::triggered, this, &AlarmPresenter::showList);
}

AlarmPresenter::~AlarmPresenter() = default;

void AlarmPresenter::observe(const Observation &observation, const QStringList &displayWarnings)
{
    m_warnings = displayWarnings;
    m_monitor->observe(observation, m_clock());
    updateLabel();
}

void AlarmPresenter::tick()
{
    m_monitor->tick(m_clock());
}

void AlarmPresenter::showSettings()
{
    if (!m_dialog)
        m_dialog = new DialogAlarms(m_listDialog->parentWidget());
    m_dialog->setSettings(m_monitor->settings());
    if (m_dialog->exec() != QDialog::Accepted)
        return;
    const AlarmSettings settings = m_dialog->settings();
    settings.save(*m_settings);
    m_monitor->setSettings(settings);
    tick();
    updateLabel();
}

void AlarmPresenter::showList()
{
    // The list records from the start; its buttons wait for the first
    // opening (looking up their icons weighs on the window's start).
    if (!m_listDialog->findChild<QDialogButtonBox *>()) {
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_listDialog);
        connect(buttons, &QDialogButtonBox::rejected, m_listDialog, &QDialog::reject);
        m_listDialog->layout()->addWidget(buttons);
    }
    m_listDialog->show();
    m_listDialog->raise();
}

void AlarmPresenter::logAlarm(const Alarm &alarm)
{
    if (alarm.isActive())
        qDebug().noquote() << "!!-- Alarm: " + alarm.text;
    else
        qDebug().noquote() << "--Alarm cleared: " + alarm.text;
    const bool written = m_log.write(alarm);
    const QString error = written ? QString() : m_log.errorString();
    if (error != m_logError && !error.isEmpty())
        qDebug().noquote() << "!!-- Error: " + error;
    m_logError = error;
    updateLabel();
}

void AlarmPresenter::updateLabel()
{
    // The data view's words go along unless an alarm already says the same.
    QStringList texts;
    for (const Alarm &alarm : m_monitor->active())
        texts.append(alarm.text);
    for (const QString &warning : qAsConst(m_warnings)) {
        if (!texts.contains(warning))
            texts.append(warning);
    }
    if (!m_logError.isEmpty())
        texts.append(m_logError);
    m_label->setText(texts.join(QLatin1String("; ")));
    m_label->setVisible(!texts.isEmpty());
}
