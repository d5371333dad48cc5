// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/fadinglabel.h"

#include "app/idleclock.h"
#include "ui/textshapes.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QtMath>

FadingLabel::FadingLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    m_document.setDocumentMargin(0);
    m_document.setUndoRedoEnabled(false);
    layOut(QString());
}

void FadingLabel::setFaded(int grey, const QString &message)
{
    if (message != m_message || m_document.defaultFont() != font())
        layOut(message);
    m_grey = grey;
    // A new text repaints the label; the same text leaves it alone.
    setText(IdleClock::fadeTag(grey) + message + QStringLiteral("</font>"));
}

void FadingLabel::layOut(const QString &message)
{
    m_message = message;
    m_document.setDefaultFont(font());
    m_document.setHtml(message);
    TextShapes::keepAtEnd(&m_document);
    m_document.setTextWidth(-1);
    const QSizeF size = m_document.size();
    m_textSize = QSize(qCeil(size.width()), qCeil(size.height()));
    // At a fixed size a new grey repaints the label alone, where a label
    // that may change its size makes the status bar lay out and repaint all
    // of itself ten times a second.
    setFixedSize(sizeHint());
}

QSize FadingLabel::sizeHint() const
{
    return m_textSize.grownBy(contentsMargins());
}

QSize FadingLabel::minimumSizeHint() const
{
    return sizeHint();
}

void FadingLabel::paintEvent(QPaintEvent *)
{
    // Placed as a label places its rich text: aligned across the whole
    // width by the document, centred in height by the label.
    const QRect box = contentsRect();
    QTextOption option = m_document.defaultTextOption();
    if (option.alignment() != alignment() || m_document.textWidth() != box.width()) {
        option.setAlignment(alignment());
        option.setWrapMode(QTextOption::ManualWrap);
        m_document.setDefaultTextOption(option);
        m_document.setTextWidth(box.width());
    }
    qreal top = 0;
    const qreal height = m_document.size().height();
    if (alignment() & Qt::AlignVCenter)
        top = qMax((box.height() - height) / 2, qreal(0));
    else if (alignment() & Qt::AlignBottom)
        top = qMax(box.height() - height, qreal(0));

    QPainter painter(this);
    drawFrame(&painter);
    painter.translate(QRectF(box.x(), box.y() + top, box.width(), box.height()).toAlignedRect().topLeft());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    // The colour of the font tag: what the message does not colour itself.
    context.palette.setColor(QPalette::Text, QColor(m_grey, m_grey, m_grey));
    m_document.documentLayout()->draw(&painter, context);
}
