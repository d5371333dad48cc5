// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTextDocument;

namespace TextShapes {

// A text layout forgets its shaped glyphs once it is laid out, and shapes
// its text again on every paint. A view that paints the same lines again
// and again calls this after each edit, before the layout runs; its edits
// only ever add lines at the end or edit lines that keep theirs already, so
// the new lines at the end are the ones to keep.
void keepAtEnd(QTextDocument *document);

} // namespace TextShapes
