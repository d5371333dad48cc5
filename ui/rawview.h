// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QPlainTextEdit;

// The raw data view. A packet that is still arriving is shown again on every
// receive pass, its first line (with the byte count) and then its bytes so
// far: when the new text only changes that first line and adds to the end of
// what is shown, just those two parts are edited instead of laying out the
// whole text again.
class RawView : public QObject
{
    Q_OBJECT

public:
    explicit RawView(QPlainTextEdit *edit);

    // The view shows text, replacing what was there.
    void show(const QString &text);
    // A line of its own after what is shown.
    void append(const QString &line);

private:
    QPlainTextEdit *m_edit;
    QString m_shown; // empty unless the view shows it
    bool m_editing = false;
};
