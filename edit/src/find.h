// Searching and replacing in an editor: where a search starts (origin and
// scope), one search with the process-wide options, a replace step, Change
// All as one undo step, and the go-to operations.  Plain layout.
#pragma once

#include <cstdint>

#include "record.h"

namespace QEL_EDIT::detail {

// One search with the current options from the start position; selects the
// match.  1 found, 0 not.
int32_t SearchStr(EditorRecord* ed, const wchar_t* text);
// The same from the caret, never in selection scope (Find next).
int32_t SearchAgain(EditorRecord* ed, const wchar_t* text);
// The Replace Text dialog's step: Change All while the change-all flag is
// set (result 0, count in searchState.replacementCount), else replace the
// pending match and find the next, or find one (1 found, 0 not).  Fails when
// a template cannot be filled.
int32_t ReplaceDriver(EditorRecord* ed, const wchar_t* find, const wchar_t* replace,
                      bool findOnly);

// 1, or 0 when the line is not within 1..lineCount.
int32_t GoToLine(EditorRecord* ed, int32_t line);
int32_t GoToLineColumn(EditorRecord* ed, int32_t line, int32_t column, bool withUndo);
// A 1-based text position; 0 (with a repaint) when it maps to no line.
int32_t GoToPosition(EditorRecord* ed, uint32_t position, bool withUndo);

// Gives the new text of a line, or false to keep it; *text stays valid until
// the next call.
struct LineRewrite {
  virtual bool Rewrite(int32_t line, const wchar_t* old, int32_t length, const wchar_t** text,
                       int32_t* newLength) = 0;
};
// Rewrites the lines from `first` to `last` that `rw` changes, as one undo
// step; caret and selection stay.  *full when the store filled (what was
// rewritten stays, undoable; the caller raises 6902).  The lines changed.
int32_t RewriteLines(EditorRecord* ed, int32_t first, int32_t last, LineRewrite& rw, bool* full);

// Writes the lines of a Change All block back (undo and redo).
void WriteLineBlock(EditorRecord* ed, const wchar_t* block, int32_t length);

}  // namespace QEL_EDIT::detail
