// Token queries over a line's visible tokens, and the paint runs the
// painter draws for a line.
#pragma once

#include <cstdint>

#include "lexer.h"

namespace QEL_EDIT::detail {

// The token holding a visible column (1-based): [start, end).  A blank or
// other-text column gives that one character.  False behind the last token.
bool TokenBounds(const wchar_t* text, int32_t col, int32_t* start, int32_t* end);

// The next (forward) or previous word boundary from a column of one line.
// Returns 0 with `result` when it lies in this line; non-zero when the
// caller goes on in the adjacent line (from column 1 forward, from its
// length + 1 backward) with `lineCrossed` set.  With `anyToken` every
// non-blank token stops the search, else only words.
int32_t TokenWordBoundary(const wchar_t* text, int32_t col, bool forward, bool anyToken, bool lineCrossed,
                          int32_t* result);

// Rewrites a run list in place into paint runs: runs of equal look merged
// (hyper text, code 19, never), cut to `cells` - 1 columns, the selection
// [selStart, selEnd) overlaid as code 20 (none when selStart is 0), fill
// cells 200 (behind the text) and 201 (selected, behind the text)
// appended; closed by a zero run.  The list needs room for 5 more runs
// than it holds.
ColourRun* PaintRuns(ColourRun* runs, int32_t scheme, int32_t cells, int32_t selStart, int32_t selEnd);

// The paint runs of one line of an editor, in its `colorBuffer`: a plain
// layout coloured by its scheme and keywords from `state` (the state of the
// line above; this line's on return); a wrapping layout uncoloured (one run,
// or the markup pieces of a hyper line whose marks and hidden data the
// painter leaves out) and painted in scheme 4.
ColourRun* LinePaintRuns(EditorRecord* ed, const wchar_t* text, int32_t cells, int32_t selStart, int32_t selEnd,
                         uint32_t* state);

}  // namespace QEL_EDIT::detail
