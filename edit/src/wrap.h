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

// A place in a logical line: its first row and the stored characters
// before the place.
struct LogicalPos {
  int32_t firstRow;
  uint32_t offset;
};
// Row and visible column to logical place, and back.  An offset that falls
// on a soft break maps to the end of the earlier row; one past the logical
// line's end to its end.
LogicalPos RowToLogical(EditorRecord* ed, int32_t row, int32_t col);
// The logical place of raw index `raw` (0-based, hidden markup counted) of
// a row.
LogicalPos RowRawToLogical(EditorRecord* ed, int32_t row, uint32_t raw);
void LogicalToRow(EditorRecord* ed, LogicalPos p, int32_t* row, int32_t* col);
// First row of the logical line holding `row`.
int32_t LogicalFirstRow(EditorRecord* ed, int32_t row);
// First row of the k-th logical line after the one starting at `firstRow`.
int32_t NextLogicalLine(EditorRecord* ed, int32_t firstRow, int32_t k);
// The text of the logical line starting at `firstRow` on the global stack
// (rows joined, no breaks), its length in *n and its row count in *rows.
wchar_t* ReadLogicalLine(EditorRecord* ed, int32_t firstRow, uint32_t* n, int32_t* rows);
// Replaces the rows of the logical line starting at `firstRow` by `text`
// broken into rows; false (nothing changed) when the store has no room.
bool WriteLogicalLine(EditorRecord* ed, int32_t firstRow, const wchar_t* text, uint32_t n);

struct Rebroken {
  int32_t first, last;  // the rows written again
  int32_t delta;        // rows added (removed when negative)
};
// Breaks the logical line holding `row` again from `row`, or from the row
// before when that one continues into it; the rows up to `lastEdited` may
// hold any text, the rows after it are as an earlier layout left them, so
// the breaking stops at the first of them that starts where a new row
// starts.  Rows end soft but the line's last.  With no room in the store
// the rows stay as they are.  Repaints what changed.
Rebroken RebreakLine(EditorRecord* ed, int32_t row, int32_t lastEdited);
// Re-breaks the logical lines of rows `from` to `to` (rows as written by
// an edit, each line's rows after `to` untouched); the rows added.
int32_t RebreakRows(EditorRecord* ed, int32_t from, int32_t to);

}  // namespace QEL_EDIT::detail
