// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/alarm.h"
#include "alarms/alarmsettings.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <deque>

struct Observation;

// Watches the station's packets, and the silence between them, for the alarm
// conditions of AlarmSettings. Time is always passed in (UTC), so the monitor
// runs on any clock: the program's, or a test's.
//
// observe() takes every weather packet, tick() should be called about once a
// second so that silence is noticed. Each condition is raised once when it
// begins and cleared once when it ends; a reading that is missing leaves its
// condition as it was (the failed-sensor alarm covers it).
class AlarmMonitor : public QObject
{
    Q_OBJECT

public:
    // A battery alarm clears only this far above its threshold, so a voltage
    // hovering at the threshold does not raise and clear it on every packet.
    static constexpr double kBatteryHysteresisVolts = 0.1;
    static constexpr int kPressureWindowSecs = 3 * 3600;
    // Ten-second reporting fills the 3-hour window with 1080 samples.
    static constexpr int kMaxPressureSamples = 4096;

    explicit AlarmMonitor(QObject *parent = nullptr);

    AlarmSettings settings() const { return m_settings; }
    // Takes effect with the next packet or tick; alarms switched off then clear.
    void setSettings(const AlarmSettings &settings);

    void observe(const Observation &observation, const QDateTime &nowUtc);
    void tick(const QDateTime &nowUtc);

    // The active alarms, oldest first.
    QList<Alarm> active() const { return m_active; }
    // The active alarms' texts for the status bar, joined by "; "; empty when all is well.
    QString statusText() const;

    // The readings watched for a failed sensor, in their display names.
    static QStringList watchedReadings();

signals:
    void raised(const Alarm &alarm);
    void cleared(const Alarm &alarm);

private:
    bool enabled(Alarm::Kind kind) const;
    void raise(Alarm::Kind kind, const QString &sensor, const QString &text, const QDateTime &startUtc);
    void clear(Alarm::Kind kind, const QString &sensor, const QDateTime &nowUtc);
    void clearDisabled(const QDateTime &nowUtc);
    void checkBattery(const Observation &observation, const QDateTime &nowUtc);
    void checkInterference(const Observation &observation, const QDateTime &nowUtc);
    void checkSensors(const Observation &observation, const QDateTime &nowUtc);
    void checkClock(const Observation &observation, const QDateTime &nowUtc);
    void checkPressure(const Observation &observation, const QDateTime &nowUtc);

    struct PressureSample
    {
        QDateTime timeUtc;
        double hpa;
    };

    AlarmSettings m_settings;
    QList<Alarm> m_active;
    QString m_unit;
    QDateTime m_firstSeenUtc;
    QDateTime m_lastPacketUtc;
    int m_intervalSecs = 0;
    std::deque<PressureSample> m_pressure;
    QSet<QString> m_seenReadings;
    QHash<QString, int> m_missingPackets;
};
