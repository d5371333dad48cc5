// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// ktr-sbd-receive: a stand-in receiver for KTR Control's data forwarding.
// Listens for TCP connections and prints every SBD message it receives.

#include "forwarding/sbdmessage.h"
#include "forwarding/sbdreceiver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QStringList>
#include <QTextStream>

namespace {
constexpr quint16 kDefaultPort = 10800;

// The payload escaped, broken into indented lines after each "\n".
QString payloadText(const QByteArray &payload)
{
    const QString indent = QStringLiteral("    ");
    QStringList lines;
    for (const QByteArray &line : payload.split('\n'))
        lines << SbdMessage::escaped(line);
    // A payload ending in "\n" leaves an empty last part, not a line of its own.
    if (lines.size() > 1 && lines.constLast().isEmpty())
        lines.removeLast();
    return indent + lines.join(QLatin1String("\\n\n") + indent) +
           (payload.endsWith('\n') ? QStringLiteral("\\n") : QString());
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktr-sbd-receive"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KTR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Receives the messages that KTR Control forwards (Iridium SBD DirectIP mobile-originated "
        "layout) and prints each one decoded: counter, IMEI, send time (UTC), payload length and "
        "payload, with non-printable bytes escaped.\n"
        "By default only this computer can connect (127.0.0.1); use --listen 0.0.0.0 to accept "
        "messages from other computers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("TCP port to listen on, 0 for any free port (default %1).").arg(kDefaultPort),
        QStringLiteral("N"), QString::number(kDefaultPort));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                          QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    parser.addOption(portOption);
    parser.addOption(listenOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 0xFFFF) {
        err << "ktr-sbd-receive: not a port: " << parser.value(portOption) << '\n';
        return 2;
    }
    QHostAddress address;
    if (!address.setAddress(parser.value(listenOption))) {
        err << "ktr-sbd-receive: not an address: " << parser.value(listenOption) << '\n';
        return 2;
    }

    SbdReceiver receiver;
    if (!receiver.listen(address, quint16(port))) {
        err << "ktr-sbd-receive: cannot listen on " << address.toString() << ':' << port << ": "
            << receiver.errorString() << '\n';
        return 1;
    }
    err << "Listening on " << receiver.serverAddress().toString() << ':' << receiver.serverPort() << Qt::endl;

    QObject::connect(&receiver, &SbdReceiver::messageReceived, &app,
                     [&out](const SbdMessage &message, const QString &peer) {
                         const QDateTime sent = QDateTime::fromSecsSinceEpoch(message.sendTime, Qt::UTC);
                         out << "Message from " << peer << '\n'
                             << "  counter:   " << message.counter << '\n'
                             << "  IMEI:      " << SbdMessage::escaped(message.imei) << '\n'
                             << "  send time: " << sent.toString(Qt::ISODate) << '\n'
                             << "  payload:   " << message.payload.size() << " bytes\n"
                             << payloadText(message.payload) << '\n'
                             << Qt::endl;
                     });
    QObject::connect(&receiver, &SbdReceiver::protocolError, &app,
                     [&err](const QString &text) { err << "ktr-sbd-receive: " << text << Qt::endl; });

    return app.exec();
}
