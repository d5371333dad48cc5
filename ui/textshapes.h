// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTextDocument;

namespace TextShapes {

// A text layout forgets its shaped glyphs once it is laid out, and shapes
// its text again on every paint. A view that paints the same lines again
// and again calls this after each edit, which only ever adds lines at the
// end or edits lines that keep theirs already: the new lines keep theirs.
void keepAtEnd(QTextDocument *document);

} // namespace TextShapes
