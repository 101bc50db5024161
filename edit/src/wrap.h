// The word-wrap layout: logical lines broken into display rows at blank
// runs so that each row fits the wrap width, loading a text into rows,
// flattening rows back into a text and laying the whole text out again.
#pragma once

#include <cstdint>

#include "record.h"

namespace QEL_EDIT::detail {

// Runs of this many non-blank characters are cut; such a run at a row's
// start ends the row.
constexpr uint32_t MaxWordRun = 1000;

// Length of the first row of `text` (n stored characters) at width w
// pixels: the end of the last blank run before the width is reached, so
// blanks stay at the row's end; n when the text fits or no blank run
// allows a break (a word wider than the row stays whole).
uint32_t FindBreak(EditorRecord* ed, const wchar_t* text, uint32_t n, int32_t w);

// The width rows are broken at (wrap width less the left margin).
int32_t RowWidth(const EditorRecord* ed);

// Loads a text into a fresh store as rows at width w (LF ends a logical
// line, control codes become spaces).  False when the store cannot hold
// it: its pages are then freed and `active` cleared.
bool LoadRows(EditorRecord* ed, const wchar_t* text, int32_t w);

// The whole text as one heap string, LF after each row ending hard but
// the last; the caller frees it with ReleaseHeap.
wchar_t* FlattenText(EditorRecord* ed, uint32_t* length);

// Lays the whole text out again at the current wrap width, keeping the
// text, `modified` and the caret's text position; the undo ring is emptied
// (its rows are stale) and its clean state dropped when modified.  False
// when the text no longer fits (editor inactive).
bool RelayoutText(EditorRecord* ed);

// The wrap width the window's client area gives (right edge less the
// vertical bar), or 32000 with wrapping off.
int32_t WindowWrapWidth(EditorRecord* ed);

}  // namespace QEL_EDIT::detail

namespace QEL_EDIT::detail {

// Loads a text in the editor's layout: rows for a word-wrap editor, lines
// otherwise; 6902 when the store cannot hold it (editor inactive).
void LoadEditorText(EditorRecord* ed, const wchar_t* text);

// After a resize or font change: a wrapping editor whose client area holds
// a row is laid out again when its wrap width changed (always with force).
void RewrapIfNeeded(EditorRecord* ed, bool force);

// After an edit wrote rows `from` to `to`: in wrap mode, when one of them
// has become at least as wide as the wrap width, the whole text is laid out
// again (the undo ring is then emptied, so undo and redo never call it).
void RewrapIfTooWide(EditorRecord* ed, int32_t from, int32_t to);

}  // namespace QEL_EDIT::detail
