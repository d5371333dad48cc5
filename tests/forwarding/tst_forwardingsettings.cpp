// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/forwardingsettings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestForwardingSettings : public QObject
{
    Q_OBJECT

private slots:
    void load();
    void userStore();
};

void TestForwardingSettings::load()
{
    QTemporaryDir dir;
    // Stored ip, port and switch, and what is read back ("-": nothing stored).
    const char *const rows[][6] = {{"-", "-", "-", "", "0", "false"},
                                   {"192.168.1.20", "10800", "true", "192.168.1.20", "10800", "true"},
                                   {"10.0.0.1", "-5", "-", "10.0.0.1", "0", "false"},
                                   // Taken modulo 65536 it would be another port (70000 is 4464): not set.
                                   {"h", "70000", "true", "h", "0", "true"}};
    int file = 0;
    for (const auto &row : rows) {
        const QString path = dir.filePath(QStringLiteral("%1.ini").arg(++file));
        {
            QSettings raw(path, QSettings::IniFormat);
            const char *const keys[] = {"forwardingIp", "forwardingPort", "enableForwarding"};
            for (int i = 0; i < 3; ++i) {
                if (qstrcmp(row[i], "-") != 0)
                    raw.setValue(keys[i], row[i]);
            }
        }
        const ForwardingSettings settings(path);
        QCOMPARE(QStringList({settings.ip(), QString::number(settings.port()),
                              settings.enabled() ? "true" : "false"}),
                 QStringList({row[3], row[4], row[5]}));
    }
}

// Without a file of its own the user's store of Vorsetti/KTR_Control holds the settings.
void TestForwardingSettings::userStore()
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    ForwardingSettings().storeTarget("198.51.100.1", 9000);
    QCOMPARE(QSettings(QSettings::UserScope, "Vorsetti", "KTR_Control").value("forwardingPort").toInt(),
             9000);
}

QTEST_GUILESS_MAIN(TestForwardingSettings)
#include "tst_forwardingsettings.moc"
