// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rawview.h"

#include "ui/textshapes.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <utility>

RawView::RawView(QPlainTextEdit *edit) : QObject(edit), m_edit(edit)
{
    // The document tells of every change before its layout lays the new
    // lines out: they keep their shapes for the paint that follows. Whoever
    // else changes the view (a clear, an append) ends the continuation; a
    // text still waiting belongs to what was cleared.
    connect(edit->document(), &QTextDocument::contentsChange, this, [this] {
        TextShapes::keepAtEnd(m_edit->document());
        if (m_editing)
            return;
        m_shown.clear();
        m_waiting.reset();
    });
}

void RawView::show(const QString &text)
{
    if (m_shownThisTick) {
        m_waiting = text;
        return;
    }
    apply(text);
}

void RawView::append(const QString &line)
{
    applyWaiting();
    m_edit->appendPlainText(line);
}

void RawView::tick()
{
    m_shownThisTick = false;
    applyWaiting();
}

void RawView::applyWaiting()
{
    if (m_waiting)
        apply(*std::exchange(m_waiting, std::nullopt));
}

void RawView::apply(const QString &text)
{
    // The document keeps "\r\n" as one line break, so a line ends at either.
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    const int head = text.indexOf(lineBreak);
    const int shownHead = m_shown.indexOf(lineBreak);
    const QStringView shownRest = QStringView(m_shown).mid(qMax(shownHead, 0));
    const bool continues = head >= 0 && shownHead >= 0 && QStringView(text).mid(head).startsWith(shownRest);
    m_editing = true;
    if (continues) {
        // Two edits, not one edit block: the document would lay out all that
        // lies between them again.
        QTextCursor cursor(m_edit->document()->firstBlock());
        if (QStringView(text).left(head) != QStringView(m_shown).left(shownHead)) {
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            cursor.insertText(text.left(head));
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text.mid(head + shownRest.size()));
    } else {
        m_edit->setPlainText(text);
    }
    m_editing = false;
    m_shown = text;
    m_shownThisTick = true;
}
