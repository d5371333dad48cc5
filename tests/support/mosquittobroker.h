// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real mosquitto broker on 127.0.0.1 and a free port, with its configuration
// and persistence in a temporary folder, and mosquitto_sub as a consumer.
// Stopping and starting it again keeps the port and the persisted sessions.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <pwd.h>
#include <unistd.h>

namespace testsupport {

class MosquittoBroker
{
public:
    static constexpr const char *kBroker = "/usr/sbin/mosquitto";
    static bool available() { return QFileInfo::exists(QLatin1String(kBroker)); }

    // extraConfig: further lines for mosquitto.conf (password_file, ...).
    explicit MosquittoBroker(const QString &extraConfig = QString())
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (conf.open(QIODevice::WriteOnly))
            conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                      "persistence_location %2/\nuser %3\n%4\n")
                           .arg(m_port)
                           .arg(m_dir.path(), userName(), extraConfig)
                           .toUtf8());
    }
    ~MosquittoBroker() { stop(); }

    int port() const { return m_port; }

    // True once the broker accepts connections.
    bool start()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QLatin1String(kBroker),
                        {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        for (int attempt = 0; attempt < 100 && m_process.state() != QProcess::NotRunning; ++attempt) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
            if (socket.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    // SIGTERM, so that the broker saves its sessions.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    // Started as root, mosquitto would otherwise become "mosquitto" and lose
    // the temporary folder.
    static QString userName()
    {
        const passwd *entry = getpwuid(geteuid());
        return entry ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("mosquitto");
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

// mosquitto_sub on the broker; each message one line in the given format
// (%t topic, %p payload, %x payload in hex, %r retained flag). Its session is
// persistent and subscribed before the constructor returns, so it misses
// nothing published afterwards, not even while the broker was away.
class Subscriber
{
public:
    Subscriber(int port, const QString &topic, const QString &format)
    {
        static int counter = 0;
        const QStringList arguments = QStringLiteral("-h 127.0.0.1 -p %1 -q 1 -c -i sub-%2-%3 -t")
                                          .arg(port)
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(++counter)
                                          .split(QLatin1Char(' ')) +
                                      QStringList{topic, QStringLiteral("-F"), format};
        QProcess subscribe;
        subscribe.start(QStringLiteral("mosquitto_sub"), arguments + QStringList{"-E"});
        subscribe.waitForFinished(5000);
        m_process.start(QStringLiteral("mosquitto_sub"), arguments);
        m_process.waitForStarted(5000);
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished(1000);
    }

    // The complete lines so far.
    QStringList lines()
    {
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        QStringList all = m_text.split(QLatin1Char('\n'));
        all.removeLast();
        return all;
    }

private:
    QProcess m_process;
    QString m_text;
};

// What a consumer that subscribes later finds: "1 <payload>" when retained.
inline QString retained(int port, const QString &topic)
{
    Subscriber consumer(port, topic, QStringLiteral("%r %p"));
    return QTest::qWaitFor([&consumer] { return !consumer.lines().isEmpty(); }, 10000)
               ? consumer.lines().first()
               : QString();
}

} // namespace testsupport
