// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogalarms.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename Box> Box *threshold(QWidget *parent, const char *objectName, const QString &suffix)
{
    auto *box = new Box(parent);
    box->setObjectName(QLatin1String(objectName));
    box->setSuffix(suffix);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QCheckBox *toggle(QWidget *parent, const char *objectName, const QString &text, const QString &toolTip,
                  QWidget *threshold)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(objectName));
    box->setToolTip(toolTip);
    threshold->setToolTip(toolTip);
    QObject::connect(box, &QCheckBox::toggled, threshold, &QWidget::setEnabled);
    return box;
}

} // namespace

DialogAlarms::DialogAlarms(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogAlarms"));
    setWindowTitle(QStringLiteral("Alarms"));

    m_noDataMinutes = threshold<QSpinBox>(this, "spinBoxNoDataMinutes", QStringLiteral(" min"));
    m_noDataMinutes->setRange(0, AlarmSettings::kMaxNoDataMinutes);
    m_noDataMinutes->setSpecialValueText(QStringLiteral("twice the reporting interval"));
    m_noData =
        toggle(this, "checkBoxNoData", QStringLiteral("&No packet for more than"),
               QStringLiteral("Raised when the station sends nothing for this long."), m_noDataMinutes);

    m_lowBatteryVolts = threshold<QDoubleSpinBox>(this, "doubleSpinBoxBatteryVolts", QStringLiteral(" V"));
    m_lowBatteryVolts->setRange(0.0, AlarmSettings::kMaxVolts);
    m_lowBatteryVolts->setDecimals(2);
    m_lowBatteryVolts->setSingleStep(0.1);
    m_lowBattery =
        toggle(this, "checkBoxLowBattery", QStringLiteral("&Battery below"),
               QStringLiteral("Raised when the battery voltage falls below this; cleared 0.1 V above it."),
               m_lowBatteryVolts);

    m_signalBelow = threshold<QSpinBox>(this, "spinBoxSignalBelow", QString());
    m_signalBelow->setRange(0, AlarmSettings::kMaxSignalLevel);
    m_interference = toggle(
        this, "checkBoxInterference", QStringLiteral("&Interference: signal level below"),
        QStringLiteral("The station's signal level (PW line); below 50 means interference."), m_signalBelow);

    m_sensorPackets = threshold<QSpinBox>(this, "spinBoxSensorPackets", QStringLiteral(" packets in a row"));
    m_sensorPackets->setRange(1, AlarmSettings::kMaxPackets);
    m_sensorFailed = toggle(
        this, "checkBoxSensorFailed", QStringLiteral("&Sensor failed: reading missing in"),
        QStringLiteral("Raised when a reading the station has sent before stops coming."), m_sensorPackets);

    m_clockMinutes = threshold<QSpinBox>(this, "spinBoxClockMinutes", QStringLiteral(" min"));
    m_clockMinutes->setRange(1, AlarmSettings::kMaxClockOffMinutes);
    m_clockOff = toggle(this, "checkBoxClockOff", QStringLiteral("Station &clock off by more than"),
                        QStringLiteral("Compares the station time of each packet with the PC's UTC clock."),
                        m_clockMinutes);

    m_pressureHpa =
        threshold<QDoubleSpinBox>(this, "doubleSpinBoxPressureHpa", QStringLiteral(" hPa in 3 hours"));
    m_pressureHpa->setRange(AlarmSettings::kMinPressureFallHpa, AlarmSettings::kMaxPressureFallHpa);
    m_pressureHpa->setDecimals(1);
    m_pressureHpa->setSingleStep(0.5);
    m_pressureFall =
        toggle(this, "checkBoxPressureFall", QStringLiteral("&Pressure falling more than"),
               QStringLiteral("A fast pressure fall often comes before a storm."), m_pressureHpa);

    auto *form = new QFormLayout;
    form->addRow(m_noData, m_noDataMinutes);
    form->addRow(m_lowBattery, m_lowBatteryVolts);
    form->addRow(m_interference, m_signalBelow);
    form->addRow(m_sensorFailed, m_sensorPackets);
    form->addRow(m_clockOff, m_clockMinutes);
    form->addRow(m_pressureFall, m_pressureHpa);

    auto *note = new QLabel(
        QStringLiteral("Alarms show in the status bar, in the alarm list, as desktop notifications and in "
                       "Alarms/alarms_yyyy-MM.csv in the data folder."),
        this);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setSettings(AlarmSettings());
}

void DialogAlarms::setSettings(const AlarmSettings &s)
{
    m_noData->setChecked(s.noDataEnabled);
    m_noDataMinutes->setValue(s.noDataMinutes);
    m_lowBattery->setChecked(s.lowBatteryEnabled);
    m_lowBatteryVolts->setValue(s.lowBatteryVolts);
    m_interference->setChecked(s.interferenceEnabled);
    m_signalBelow->setValue(s.interferenceSignalBelow);
    m_sensorFailed->setChecked(s.sensorFailedEnabled);
    m_sensorPackets->setValue(s.sensorFailedPackets);
    m_clockOff->setChecked(s.clockOffEnabled);
    m_clockMinutes->setValue(s.clockOffMinutes);
    m_pressureFall->setChecked(s.pressureFallEnabled);
    m_pressureHpa->setValue(s.pressureFallHpa);
    // toggled() does not fire for an unchanged state, so set the enabled states here too.
    m_noDataMinutes->setEnabled(s.noDataEnabled);
    m_lowBatteryVolts->setEnabled(s.lowBatteryEnabled);
    m_signalBelow->setEnabled(s.interferenceEnabled);
    m_sensorPackets->setEnabled(s.sensorFailedEnabled);
    m_clockMinutes->setEnabled(s.clockOffEnabled);
    m_pressureHpa->setEnabled(s.pressureFallEnabled);
}

AlarmSettings DialogAlarms::settings() const
{
    AlarmSettings s;
    s.noDataEnabled = m_noData->isChecked();
    s.noDataMinutes = m_noDataMinutes->value();
    s.lowBatteryEnabled = m_lowBattery->isChecked();
    s.lowBatteryVolts = m_lowBatteryVolts->value();
    s.interferenceEnabled = m_interference->isChecked();
    s.interferenceSignalBelow = m_signalBelow->value();
    s.sensorFailedEnabled = m_sensorFailed->isChecked();
    s.sensorFailedPackets = m_sensorPackets->value();
    s.clockOffEnabled = m_clockOff->isChecked();
    s.clockOffMinutes = m_clockMinutes->value();
    s.pressureFallEnabled = m_pressureFall->isChecked();
    s.pressureFallHpa = m_pressureHpa->value();
    return s;
}
