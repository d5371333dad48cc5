// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QPlainTextEdit;

// The raw data view. A packet that is still arriving is shown again on every
// receive pass, its first line (with the byte count) and then its bytes so
// far: when the new text only changes that first line and adds to the end of
// what is shown, just those two parts are edited instead of laying out the
// whole text again, and the first line only when it changed (an edit there
// repaints everything below it). A text is shown at once unless another was
// shown less than kMinIntervalMs before; then the newest one waits for that
// interval to end, so that a packet arriving a few bytes per pass is drawn
// at most ten times a second.
class RawView : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMinIntervalMs = 100;

    explicit RawView(QPlainTextEdit *edit);

    // The view shows text, replacing what was there.
    void show(const QString &text);
    // A line of its own after what is shown (a text still waiting goes first).
    void append(const QString &line);

private:
    void apply(const QString &text);
    void applyWaiting();

    QPlainTextEdit *m_edit;
    QString m_shown;                  // empty unless the view shows it
    std::optional<QString> m_waiting; // the newest text, until the interval ends
    bool m_editing = false;
    QTimer m_interval;
};
