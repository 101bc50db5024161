// Editing services on whole lines of an editor record: bookmark types and
// the cursor-to-line mark, hyper fields, tab expansion and trimming.  The
// exported functions add the window, the read-only checks and the events.
#pragma once

#include <cstdint>

#include "record.h"

namespace QEL_EDIT::detail {

// Bookmark types live in the spare header word of each line's first chunk,
// so they travel with their line.
uint16_t BookmarkType(EditorRecord* ed, int32_t line);  // 0 for no such line
void SetBookmarkType(EditorRecord* ed, int32_t line, uint16_t type);
void ClearBookmarks(EditorRecord* ed);
// Calls f(line, type) for every line whose type holds every bit of mask (0: every line).
template <class F>
void ForEachBookmark(EditorRecord* ed, uint16_t mask, F&& f);
void SetCursorLine(EditorRecord* ed, int32_t line, int32_t color);
// The process-wide bookmark handler (null: none); the painter asks it.
extern uint32_t (*bookmarkHandler)(uint32_t type);

// Hyper fields at the selection or the caret (plain layout).  Create: false
// when the selection is empty, spans lines or touches a field.
bool CreateHyperField(EditorRecord* ed, const wchar_t* data);
// The data of the field at the caret; false when the caret is on none.
bool FieldDataAtCaret(EditorRecord* ed, const wchar_t** data);
// Removes the markup of the field at the caret (its text stays), one undo step.
bool RemoveFieldAtCaret(EditorRecord* ed);

// Sends user event 10003 with {2, data of the field at the caret} when the
// caret's line holds fields (a double click on a field's text).
void HyperActivate(LONG_PTR window, EditorRecord* ed);
// 6901 for text whose hyper markup is malformed (text entering a hyper editor).
void CheckMarkupOrRaise(const wchar_t* text);

// Whole-text utilities, each one undo step; caret and view stay (trimming
// pulls the caret back to the end of a trimmed current line).
void ExpandTabs(EditorRecord* ed);
void TrimTrailingSpaces(EditorRecord* ed);

template <class F>
void ForEachBookmark(EditorRecord* ed, uint16_t mask, F&& f) {
  ChunkRef r = ed->store.textHead;
  for (int32_t line = 1; !r.IsEnd(); ++line, r = ed->store.NextLine(r)) {
    uint16_t type = ed->store.At(r)->unused;
    if ((type & mask) == mask) f(line, type);
  }
}

}  // namespace QEL_EDIT::detail
