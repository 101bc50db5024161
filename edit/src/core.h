// The editing core of the plain layout: caret movement and view, selection,
// text insertion and removal, the single-step commands, recording and
// applying undo entries.  Every operation works on a record; the window is
// reached only through view.h.
#pragma once

#include <cstdint>

#include "record.h"

namespace QEL_EDIT::detail {

// --- Caret and view ---------------------------------------------------------
void BringIntoView(EditorRecord* ed, int32_t line, int32_t col, int32_t preferredRow);
// Puts the caret on (line, col), clamped into the text, keeping its row
// where the line is visible.
void MoveCaretTo(EditorRecord* ed, int32_t line, int32_t col);
void MoveLeft(EditorRecord* ed, bool select);
void MoveRight(EditorRecord* ed, bool select);
void MoveUp(EditorRecord* ed, bool select);
void MoveDown(EditorRecord* ed, bool select);
void MoveLineHome(EditorRecord* ed, bool select);
void MoveLineEnd(EditorRecord* ed, bool select);
void MoveTextHome(EditorRecord* ed, bool select);
void MoveTextEnd(EditorRecord* ed, bool select);
void MoveWord(EditorRecord* ed, bool right, bool select);
// The next (right) or previous word boundary from (line, col), across lines.
void FindWordBoundary(EditorRecord* ed, bool right, int32_t* line, int32_t* col);
void VerticalScroll(EditorRecord* ed, int32_t code, int32_t position);
// Horizontal scroll by code (1 left, 2 right, 3 page left, 4 page right, 5
// thumb at `position`), in steps of 8 pixels.
void HorizontalScroll(EditorRecord* ed, int32_t code, int32_t position);


// The token at (line, col) of the line's visible text as columns
// [start, end); false when the column lies behind the last token.
bool WordAt(EditorRecord* ed, int32_t line, int32_t col, int32_t* start, int32_t* end);
// Selects the token at (line, col), caret at its end, with a selection-
// change entry; false when there is none.
bool SelectWordAt(EditorRecord* ed, int32_t line, int32_t col);

// --- Selection -----------------------------------------------------------------
bool PositionNotBefore(int32_t col1, int32_t line1, int32_t col2, int32_t line2);
void BeginSelection(EditorRecord* ed, bool enabled);
void ExtendSelection(EditorRecord* ed, bool extend);
void ClearSelection(EditorRecord* ed);

// Hyper editors: the field test at visible column `col` of `line` (0 none,
// 1 inside a field's visible text, 2 on its first character with `first`);
// 0 in other editors.
int32_t FieldTest(EditorRecord* ed, int32_t line, int32_t col, bool first);

// --- Primitives ----------------------------------------------------------------
// Inserts `text` (store form: lines split at CR, an LF after a CR skipped) at
// the caret.  6902 when the store cannot hold it, text unchanged.  A
// malloc'd `heapText` (the same text) is taken over as the undo entry's copy,
// or freed.
void InsertText(EditorRecord* ed, bool recordUndo, bool keepView, const wchar_t* text,
                wchar_t* heapText = nullptr);
// The selected text (CR LF between lines) on the global stack, unless
// noResult; deletes it when `del`; records kind 3 with keepCopy and del.
wchar_t* TakeSelection(EditorRecord* ed, bool del, bool keepCopy, bool keepView, bool noResult);
void ChangeCase(EditorRecord* ed, int32_t mode, bool recordUndo);

// Clipboard: the selection's text put on it (cut also deletes, with undo);
// its text inserted with undo, the selection dropped.  Nothing without a
// selection or without text on the clipboard.
void CopyToClipboard(EditorRecord* ed);
void CutToClipboard(EditorRecord* ed);
void PasteFromClipboard(EditorRecord* ed);

// --- Commands ------------------------------------------------------------------
void DeleteChar(EditorRecord* ed, bool record);
void BackspaceChar(EditorRecord* ed, bool record);
void NewLine(EditorRecord* ed, bool split, bool copyIndent, bool record);
void DeleteLine(EditorRecord* ed, bool record);
void DeleteWord(EditorRecord* ed, bool right);
void DeleteToLineEdge(EditorRecord* ed, bool toStart);
void TypeChar(EditorRecord* ed, wchar_t ch, bool insert, bool record);
// Key event of the GUI layer: code and modifier flags (1 shift, 2 control,
// 4 alt).
void DispatchKey(EditorRecord* ed, int32_t code, int32_t flags);

// --- Undo ----------------------------------------------------------------------
// Fills the positions and adds the entry; sets `modified` for a text change.
void RecordUndo(EditorRecord* ed, UndoEntry& e, int32_t lineBefore, int32_t colBefore,
                int32_t lineAfter, int32_t colAfter);
// A selection-change entry (kind 1) from a saved selection and caret.
void RecordSelectionChange(EditorRecord* ed, const Selection& before, int32_t lineBefore,
                           int32_t colBefore);
void UndoStep(EditorRecord* ed);  // 6904 with nothing to undo
void RedoStep(EditorRecord* ed);  // 6905 with nothing to redo
// Empties the ring; the modified flag stays, and a modified text can no
// longer be undone back to "unmodified".
void EmptyUndoRing(EditorRecord* ed);

// --- Drag and drop --------------------------------------------------------------
// Whether (line, col) lies within the selection, its ends included.
bool DropInsideSelection(const Selection& s, int32_t line, int32_t col);
// Moves or copies the dragged selection to (line, col) of the text before
// the drop; the inserted text ends selected; kind 4 or 5 with `record`.
void MoveDrop(EditorRecord* ed, const Selection& dragged, int32_t line, int32_t col, bool record);
void CopyDrop(EditorRecord* ed, const Selection& dragged, int32_t line, int32_t col, bool record);
// Applies an entry of kind 4, 5 or 6.
void ApplyDragEntry(EditorRecord* ed, const UndoEntry& e);

// --- Whole text ----------------------------------------------------------------
// The text on the global stack: lines joined by LF (rows: LF after hard ends).
wchar_t* TextGet(EditorRecord* ed);
uint32_t TextLength(EditorRecord* ed);

}  // namespace QEL_EDIT::detail
