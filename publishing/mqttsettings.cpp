// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/mqttsettings.h"

#include <QSettings>
#include <limits>

namespace {
const char kGroup[] = "mqtt/";
constexpr int kMaxPort = 65535;
// libmosquitto's own floor for the keep-alive.
constexpr int kMinKeepAliveS = 5;
constexpr int kMaxKeepAliveS = 65535;
constexpr int kMaxOutboxDays = 366;

QString key(const char *name)
{
    return QLatin1String(kGroup) + QLatin1String(name);
}

int boundedInt(const QSettings &store, const char *name, int fallback, int low, int high)
{
    bool ok = false;
    const int value = store.value(key(name)).toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}
} // namespace

MqttSettings MqttSettings::load(const QSettings &store)
{
    MqttSettings s;
    s.enabled = store.value(key("enabled"), false).toBool();
    s.host = store.value(key("host")).toString().trimmed();
    s.port = boundedInt(store, "port", kDefaultPort, 1, kMaxPort);
    s.clientId = store.value(key("clientId")).toString();
    s.username = store.value(key("username")).toString();
    s.password = store.value(key("password")).toString();
    s.tls = store.value(key("tls"), false).toBool();
    s.caFile = store.value(key("caFile")).toString();
    s.certFile = store.value(key("certFile")).toString();
    s.keyFile = store.value(key("keyFile")).toString();
    s.keepAliveS = boundedInt(store, "keepAlive", kDefaultKeepAliveS, kMinKeepAliveS, kMaxKeepAliveS);
    const QString prefix = store.value(key("prefix"), QLatin1String(kDefaultPrefix)).toString();
    s.prefix = isValidPrefix(prefix) ? prefix : QString::fromLatin1(kDefaultPrefix);
    s.outboxDays = boundedInt(store, "outboxDays", kDefaultOutboxDays, 1, kMaxOutboxDays);
    return s;
}

void MqttSettings::save(QSettings &store) const
{
    store.setValue(key("enabled"), enabled);
    store.setValue(key("host"), host);
    store.setValue(key("port"), port);
    store.setValue(key("clientId"), clientId);
    store.setValue(key("username"), username);
    store.setValue(key("password"), password);
    store.setValue(key("tls"), tls);
    store.setValue(key("caFile"), caFile);
    store.setValue(key("certFile"), certFile);
    store.setValue(key("keyFile"), keyFile);
    store.setValue(key("keepAlive"), keepAliveS);
    store.setValue(key("prefix"), prefix);
    store.setValue(key("outboxDays"), outboxDays);
}

int MqttSettings::outboxMaxMessages() const
{
    const qint64 messages = qint64(outboxDays) * kPacketsPerDay;
    return int(qMin<qint64>(messages, std::numeric_limits<int>::max()));
}

bool MqttSettings::isValidPrefix(const QString &prefix)
{
    if (prefix.isEmpty() || prefix.size() > 200)
        return false;
    for (const QString &level : prefix.split(QLatin1Char('/'))) {
        if (level.isEmpty())
            return false;
        for (const QChar c : level) {
            if (c == QLatin1Char('+') || c == QLatin1Char('#') || c.unicode() < 0x20 || c.unicode() == 0x7f)
                return false;
        }
    }
    return true;
}

bool MqttSettings::parseHostPort(const QString &text, QString *host, int *port)
{
    QString name = text.trimmed();
    QString portText;
    if (name.startsWith(QLatin1Char('['))) {
        const int close = name.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        const QString rest = name.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        portText = rest.mid(1);
        name = name.mid(1, close - 1);
        if (!rest.isEmpty() && portText.isEmpty())
            return false;
    } else if (name.count(QLatin1Char(':')) == 1) {
        portText = name.section(QLatin1Char(':'), 1);
        name = name.section(QLatin1Char(':'), 0, 0);
        if (portText.isEmpty())
            return false;
    } else if (name.contains(QLatin1Char(':'))) {
        return false; // a bare v6 address is ambiguous; it needs brackets
    }
    if (name.isEmpty() || name.contains(QLatin1Char(' ')))
        return false;
    int value = kDefaultPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        value = portText.toInt(&ok);
        if (!ok || value < 1 || value > kMaxPort)
            return false;
    }
    *host = name;
    *port = value;
    return true;
}
