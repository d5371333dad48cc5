// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;
struct PortInfo;

// What the port choice carries from one run to the next: the port that last
// delivered station data and the port the user last picked in the menu, each
// kept as the identity of PortInfo so that a USB adapter is found again under
// another name.
class PortMemory
{
public:
    explicit PortMemory(QSettings &settings);

    QString stationPort() const;
    void storeStationPort(const PortInfo &port);
    QString menuChoice() const;
    void storeMenuChoice(const PortInfo &port);

private:
    QSettings &m_settings;
};
