// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portmemory.h"

#include "link/portinfo.h"

#include <QSettings>

namespace {
const QString kStationPortKey = QStringLiteral("stationPort");
const QString kMenuChoiceKey = QStringLiteral("portChoice");
} // namespace

PortMemory::PortMemory(QSettings &settings) : m_settings(settings) {}

QString PortMemory::stationPort() const
{
    return m_settings.value(kStationPortKey).toString();
}

void PortMemory::storeStationPort(const PortInfo &port)
{
    m_settings.setValue(kStationPortKey, port.identity());
    m_settings.sync();
}

QString PortMemory::menuChoice() const
{
    return m_settings.value(kMenuChoiceKey).toString();
}

void PortMemory::storeMenuChoice(const PortInfo &port)
{
    m_settings.setValue(kMenuChoiceKey, port.identity());
    m_settings.sync();
}
