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
    void initTestCase();
    void load_data();
    void load();
    void storedValuesComeBack();
    void userStoreIsVorsettiKtrControl();

private:
    QTemporaryDir m_dir;
};

void TestForwardingSettings::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Keep the user's own store out of reach of this test.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("user"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("user"));
}

void TestForwardingSettings::load_data()
{
    QTest::addColumn<QVariant>("storedIp");
    QTest::addColumn<QVariant>("storedPort");
    QTest::addColumn<QVariant>("storedEnabled");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("nothing stored") << QVariant() << QVariant() << QVariant() << "" << 0 << false;
    QTest::newRow("complete") << QVariant("192.168.1.20") << QVariant(10800) << QVariant(true)
                              << "192.168.1.20" << 10800 << true;
    QTest::newRow("negative port") << QVariant("10.0.0.1") << QVariant(-5) << QVariant() << "10.0.0.1" << 0
                                   << false;
    QTest::newRow("port and switch as text")
        << QVariant("host") << QVariant("5000") << QVariant("true") << "host" << 5000 << true;
    QTest::newRow("port 65535") << QVariant("h") << QVariant(65535) << QVariant() << "h" << 65535 << false;
    // Taken modulo 65536 it would be another port (70000 is 4464): not set.
    QTest::newRow("port 65536") << QVariant("h") << QVariant(65536) << QVariant() << "h" << 0 << false;
    QTest::newRow("port 70000") << QVariant("h") << QVariant(70000) << QVariant(true) << "h" << 0 << true;
}

void TestForwardingSettings::load()
{
    QFETCH(QVariant, storedIp);
    QFETCH(QVariant, storedPort);
    QFETCH(QVariant, storedEnabled);
    QFETCH(QString, ip);
    QFETCH(int, port);
    QFETCH(bool, enabled);

    const QString path = m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag()));
    {
        QSettings raw(path, QSettings::IniFormat);
        const std::pair<const char *, QVariant> stored[] = {
            {"forwardingIp", storedIp}, {"forwardingPort", storedPort}, {"enableForwarding", storedEnabled}};
        for (const auto &entry : stored) {
            if (entry.second.isValid())
                raw.setValue(entry.first, entry.second);
        }
    }
    const ForwardingSettings settings(path);
    QCOMPARE(settings.ip(), ip);
    QCOMPARE(settings.port(), port);
    QCOMPARE(settings.enabled(), enabled);
}

void TestForwardingSettings::storedValuesComeBack()
{
    const QString path = m_dir.filePath("forwarding.ini");
    {
        ForwardingSettings settings(path);
        settings.storeTarget("192.0.2.7", 4001);
        settings.storeEnabled(true);
    }
    {
        ForwardingSettings settings(path);
        QCOMPARE(settings.ip(), QString("192.0.2.7"));
        QCOMPARE(settings.port(), 4001);
        QVERIFY(settings.enabled());
        settings.storeEnabled(false);
        settings.storeTarget(QString(), 70000);
    }
    const QSettings raw(path, QSettings::IniFormat);
    QCOMPARE(raw.value("enableForwarding").toBool(), false);
    QCOMPARE(raw.value("forwardingIp").toString(), QString());
    QCOMPARE(raw.value("forwardingPort").toInt(), 0);
}

void TestForwardingSettings::userStoreIsVorsettiKtrControl()
{
#ifdef Q_OS_WIN
    QSKIP("The user store is the registry here");
#endif
    ForwardingSettings().storeTarget("198.51.100.1", 9000);
    const QSettings raw(m_dir.filePath("user/Vorsetti/KTR_Control.conf"), QSettings::IniFormat);
    QCOMPARE(raw.value("forwardingIp").toString(), QString("198.51.100.1"));
    QCOMPARE(ForwardingSettings().port(), 9000);
}

QTEST_GUILESS_MAIN(TestForwardingSettings)
#include "tst_forwardingsettings.moc"
