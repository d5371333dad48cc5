// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The smallest program with what KTR Control has at the least: a main window
// and a timer that fires every 100 ms. Its start-up time, memory and idle CPU
// are the yardstick for the real program.

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal Window"));
    window.resize(640, 480);
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&ticks] { ++ticks; });
    tick.start(100);
    window.show();
    return app.exec();
}
