// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QPlainTextEdit;

// The raw data view. A packet that is still arriving is shown again on every
// receive pass, its first line (with the byte count) and then its bytes so
// far: when the new text only changes that first line and adds to the end of
// what is shown, just those two parts are edited instead of laying out the
// whole text again, and the first line only when it changed (an edit there
// repaints everything below it). A text is shown at once when none was shown
// since the last tick of the window's clock; otherwise the newest one waits
// for the next tick, so that a packet arriving a few bytes per pass is drawn
// at most once a tick, together with the clock.
class RawView : public QObject
{
    Q_OBJECT

public:
    explicit RawView(QPlainTextEdit *edit);

    // The view shows text, replacing what was there.
    void show(const QString &text);
    // A line of its own after what is shown (a text still waiting goes first).
    void append(const QString &line);
    // The clock's tick: the text still waiting is shown.
    void tick();

private:
    void apply(const QString &text);
    void applyWaiting();

    QPlainTextEdit *m_edit;
    QString m_shown;                  // empty unless the view shows it
    std::optional<QString> m_waiting; // the newest text, until the next tick
    bool m_editing = false;
    bool m_shownThisTick = false;
};
