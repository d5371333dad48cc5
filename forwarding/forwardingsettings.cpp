// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingsettings.h"

#include <QSettings>

namespace {
const QString kIpKey = QStringLiteral("forwardingIp");
const QString kPortKey = QStringLiteral("forwardingPort");
const QString kEnabledKey = QStringLiteral("enableForwarding");
} // namespace

ForwardingSettings::ForwardingSettings()
    : m_store(
          std::make_unique<QSettings>(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication)))
{
}

ForwardingSettings::ForwardingSettings(const QString &iniFilePath)
    : m_store(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat))
{
}

ForwardingSettings::~ForwardingSettings() = default;

QString ForwardingSettings::ip() const
{
    return m_store->value(kIpKey).toString();
}

int ForwardingSettings::usablePort(int port)
{
    return port >= kMinPort && port <= kMaxPort ? port : 0;
}

int ForwardingSettings::port() const
{
    bool ok = false;
    const int port = m_store->value(kPortKey).toInt(&ok);
    return ok ? usablePort(port) : 0;
}

bool ForwardingSettings::enabled() const
{
    return m_store->value(kEnabledKey, false).toBool();
}

void ForwardingSettings::storeTarget(const QString &ip, int port)
{
    m_store->setValue(kIpKey, ip);
    m_store->setValue(kPortKey, usablePort(port));
    m_store->sync();
}

void ForwardingSettings::storeEnabled(bool enabled)
{
    m_store->setValue(kEnabledKey, enabled);
    m_store->sync();
}
