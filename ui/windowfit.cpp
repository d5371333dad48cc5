// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windowfit.h"

#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>

namespace WindowFit {

void fitToScreen(QMainWindow *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    auto *scroll = new QScrollArea(window);
    scroll->setObjectName(QStringLiteral("scrollAreaCentral"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(window->takeCentralWidget());
    window->setCentralWidget(scroll);
    const QSize available = screen->availableSize();
    window->setMinimumSize(window->minimumSize().boundedTo(available * 0.9));
    window->resize(std::min(window->width(), available.width()),
                   std::min(window->height(), available.height()));
}

void setFixedText(QLabel *label, const QString &text)
{
    const bool resized =
        text.size() != label->text().size() || label->minimumWidth() != label->maximumWidth();
    label->setText(text);
    if (resized) {
        label->ensurePolished();
        label->setFixedSize(label->sizeHint());
    }
}

} // namespace WindowFit
