// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The smallest program with what KTR Control has at the least: a main window
// and a timer that fires every 100 ms. Its start-up time, memory and idle CPU
// are the yardstick for the real program.
//
//   bench_minimalwindow [--clock] [--port <path>]
//
// Two options add the least of what KTR Control does besides, for a floor
// under its costs: --clock shows a label whose text changes on every tick (as
// the idle clock does); --port reads a serial port and throws the bytes away.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QSerialPort>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal Window"));
    window.resize(640, 480);
    QLabel *clock = nullptr;
    if (args.contains(QStringLiteral("--clock"))) {
        clock = new QLabel(&window);
        window.setCentralWidget(clock);
    }

    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&ticks, clock] {
        ++ticks;
        if (clock)
            clock->setText(QString::asprintf("Idle:\t\t%02d:%02d:%02d.%01d", ticks / 36000, ticks / 600 % 60,
                                             ticks / 10 % 60, ticks % 10));
    });
    tick.start(100);

    QSerialPort port;
    const int portAt = args.indexOf(QStringLiteral("--port"));
    if (portAt >= 0 && portAt + 1 < args.size()) {
        port.setPortName(args.at(portAt + 1));
        QObject::connect(&port, &QSerialPort::readyRead, &port, [&port] { port.readAll(); });
        if (!port.open(QIODevice::ReadWrite))
            qWarning("cannot open %s", qPrintable(port.portName()));
    }

    window.show();
    return app.exec();
}
