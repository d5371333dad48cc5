// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/textshapes.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace TextShapes {

void keepAtEnd(QTextDocument *document)
{
    for (QTextBlock block = document->lastBlock(); block.isValid() && !block.layout()->cacheEnabled();
         block = block.previous())
        block.layout()->setCacheEnabled(true);
}

} // namespace TextShapes
