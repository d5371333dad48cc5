// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QTextDocument>

// The status bar's fading message. Its text is the message inside a font
// tag of a grey, as rich text; it looks as a label with that text looks.
// From one tick to the next only the grey changes, so the message is laid
// out once, when it changes, and then only drawn in the new grey: a label
// parses and lays out its whole rich text again for every new text, several
// times over, ten times a second. Its size is fixed, fitted to the message.
class FadingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit FadingLabel(QWidget *parent = nullptr);

    // The text becomes the font tag of grey, message and "</font>".
    void setFaded(int grey, const QString &message);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void layOut(const QString &message);

    QTextDocument m_document; // the message, laid out at the label's width
    QString m_message;
    QSize m_textSize; // the message's own size, on one line
    int m_grey = 0;
};
