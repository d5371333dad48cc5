// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QMainWindow;
class QString;

// Sizes that keep the window usable at any scaling and cheap to repaint.
namespace WindowFit {
// At 200 % a small screen cannot hold the form: the window fits the screen
// and its content scrolls.
void fitToScreen(QMainWindow *window);
// A label whose size follows its text asks for a layout of the whole window
// on every new text, which repaints all of it; at a fixed size it repaints
// only itself. The size is fixed again when the text changes length.
void setFixedText(QLabel *label, const QString &text);
} // namespace WindowFit
