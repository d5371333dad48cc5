// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class QSettings;

// The forwarding choices kept from one run to the next: receiver address,
// receiver port and whether forwarding is switched on. Missing or unusable
// values read as the defaults: empty address, port 0 (not set), forwarding off.
class ForwardingSettings
{
public:
    static constexpr const char *kOrganisation = "Vorsetti";
    static constexpr const char *kApplication = "KTR_Control";
    // The TCP ports a receiver can listen on; 0 stands for "not set".
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 65535;

    // port when it is a usable TCP port, else 0.
    static int usablePort(int port);

    // The user's settings store of the platform.
    ForwardingSettings();
    // An INI file of its own, for tests and tools.
    explicit ForwardingSettings(const QString &iniFilePath);
    ~ForwardingSettings();

    QString ip() const;
    // A stored port that is not a whole number from 1 to 65535 reads as 0.
    int port() const;
    bool enabled() const;

    void storeTarget(const QString &ip, int port);
    void storeEnabled(bool enabled);

private:
    std::unique_ptr<QSettings> m_store;
};
