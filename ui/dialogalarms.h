// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/alarmsettings.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

// The alarm thresholds, one row per alarm: a check box that switches it on
// and its threshold. The caller loads the settings in, and after OK takes
// them out and stores them.
class DialogAlarms : public QDialog
{
    Q_OBJECT

public:
    explicit DialogAlarms(QWidget *parent = nullptr);

    void setSettings(const AlarmSettings &settings);
    AlarmSettings settings() const;

private:
    QCheckBox *m_noData;
    QSpinBox *m_noDataMinutes;
    QCheckBox *m_lowBattery;
    QDoubleSpinBox *m_lowBatteryVolts;
    QCheckBox *m_interference;
    QSpinBox *m_signalBelow;
    QCheckBox *m_sensorFailed;
    QSpinBox *m_sensorPackets;
    QCheckBox *m_clockOff;
    QSpinBox *m_clockMinutes;
    QCheckBox *m_pressureFall;
    QDoubleSpinBox *m_pressureHpa;
};
