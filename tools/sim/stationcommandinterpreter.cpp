// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/stationcommandinterpreter.h"

#include <algorithm>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of a field made only of digits, -1 otherwise.
int digitsValue(const QByteArray &digits)
{
    if (digits.isEmpty() || !std::all_of(digits.cbegin(), digits.cend(), isDigit))
        return -1;
    return digits.toInt();
}

// A single digit from lowest to highest, -1 otherwise.
int digitIn(const QByteArray &line, int lowest, int highest)
{
    if (line.size() != 2 || !isDigit(line.at(1)))
        return -1;
    const int value = line.at(1) - '0';
    return value >= lowest && value <= highest ? value : -1;
}
} // namespace

bool StationSettings::operator==(const StationSettings &other) const
{
    return mode == other.mode && ceilometer == other.ceilometer && speci == other.speci &&
           gpsEnabled == other.gpsEnabled && elevationMetres == other.elevationMetres &&
           autoHours == other.autoHours && camerasOn == other.camerasOn;
}

StationCommandInterpreter::StationCommandInterpreter(const StationSettings &initial) : m_settings(initial) {}

QList<QByteArray> StationCommandInterpreter::feed(const QByteArray &bytes)
{
    QList<QByteArray> understood;
    for (const char c : bytes) {
        if (c != '\r') {
            if (m_line.size() < kLineMaxBytes)
                m_line += c;
            else
                m_lineOverflow = true;
            continue;
        }
        const QByteArray line = m_line.trimmed();
        const bool overflow = m_lineOverflow;
        m_line.clear();
        m_lineOverflow = false;
        if (line.isEmpty())
            continue;
        if (!overflow && execute(line))
            understood += line;
        else
            ++m_ignored;
    }
    return understood;
}

bool StationCommandInterpreter::execute(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    const char letter = line.at(0);
    const QByteArray rest = line.mid(1);
    switch (letter) {
    case 'm': {
        const int mode = digitIn(line, 0, 6);
        if (mode < 0)
            return false;
        m_settings.mode = mode;
        return true;
    }
    case 'C': {
        const int ceilometer = digitIn(line, 0, 2);
        if (ceilometer < 0)
            return false;
        m_settings.ceilometer = ceilometer;
        return true;
    }
    case 'S': {
        const int speci = digitIn(line, 0, 1);
        if (speci < 0)
            return false;
        m_settings.speci = speci == 1;
        return true;
    }
    case 'G':
        if (rest == "0" || rest == "1") {
            m_settings.gpsEnabled = rest == "1";
            return true;
        }
        if (rest == "I" || rest == "i") {
            addAction(rest == "I" ? StationAction::UpdateGps : StationAction::UpdateGpsAndElevation);
            return true;
        }
        if (rest.size() == 6 && rest.startsWith('E') && (rest.at(1) == '+' || rest.at(1) == '-')) {
            const int metres = digitsValue(rest.mid(2));
            if (metres < 0)
                return false;
            m_settings.elevationMetres = rest.at(1) == '-' ? -metres : metres;
            return true;
        }
        return false;
    case 'I': {
        const int camera = digitIn(line, 0, 5);
        if (camera < 0)
            return false;
        m_settings.camerasOn = camera != 0;
        if (camera != 0)
            addAction(StationAction::RequestImages, camera == 5 ? 0 : camera);
        return true;
    }
    case 'i': {
        if (rest == "-") {
            m_settings.autoHours.clear();
            return true;
        }
        const int hour = rest.size() == 2 ? digitsValue(rest) : -1;
        if (hour < 0 || hour > 23)
            return false;
        auto &hours = m_settings.autoHours;
        const auto at = std::lower_bound(hours.begin(), hours.end(), hour);
        if (at == hours.end() || *at != hour)
            hours.insert(at, hour);
        return true;
    }
    case 'A': {
        const int simple = digitIn(line, 0, 2);
        if (simple >= 0) {
            static const StationAction::Kind kinds[] = {StationAction::AcousticOff,
                                                        StationAction::RecordAcousticSpectral,
                                                        StationAction::GetSpectral};
            addAction(kinds[simple]);
            return true;
        }
        if (rest.size() != 3 || (rest.at(0) != '3' && rest.at(0) != '4'))
            return false;
        const bool mp3 = rest.at(0) == '3';
        const int offset = digitsValue(rest.mid(1));
        if (offset < 0 || offset > (mp3 ? 25 : 29))
            return false;
        addAction(mp3 ? StationAction::GetMp3 : StationAction::GetRaw, offset);
        return true;
    }
    default:
        return false;
    }
}

QList<StationAction> StationCommandInterpreter::takeActions()
{
    QList<StationAction> actions;
    actions.swap(m_actions);
    return actions;
}

void StationCommandInterpreter::addAction(StationAction::Kind kind, int argument)
{
    if (m_actions.size() < kActionsMax)
        m_actions.append({kind, argument});
}
