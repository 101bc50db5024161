// What the editing core asks of the window: repainting rows, scrolling the
// text area, scroll-bar values, the status line and text widths.  Every
// operation does nothing for a record without a window (the core is then
// driven on its own), and scroll-bar values are set only when they change.
#pragma once

#include <cstdint>

#include "record.h"

namespace QEL_EDIT::detail {

// Colouring states of the plain layout again from line `from`, at least to
// `to` and on while a line's state changes.
void Recolour(EditorRecord* ed, int32_t from, int32_t to);
// Recolours and invalidates the rows of the lines from `from` to `to`
// (either order).
void RedrawLines(EditorRecord* ed, int32_t from, int32_t to);
// Invalidates the rows from a line to the bottom of the window.
void RedrawFrom(EditorRecord* ed, int32_t line);
void InvalidateAll(EditorRecord* ed);
// Moves the text rows from window row `fromRow` down by `dy` pixels (up
// when negative) and invalidates what is uncovered.
void ScrollRows(EditorRecord* ed, int32_t fromRow, int32_t dy);
void InvalidateStatus(EditorRecord* ed);
void RefreshStatusPos(EditorRecord* ed);
void SetVScrollRange(EditorRecord* ed, int32_t max);
void SetVScrollPos(EditorRecord* ed, int32_t pos);
void SetHScrollPos(EditorRecord* ed, int32_t pos);
// Vertical range 0 .. max(0, lineCount - visibleRows).
void UpdateVScrollRange(EditorRecord* ed);
// Sets on the window the bar values that differ from what it shows.
void FlushScrollBars(EditorRecord* ed);
// A batch of changes: bars set and the window invalidated once at its end.
void BeginBatch(EditorRecord* ed);
void EndBatch(EditorRecord* ed);
// Pixel width of the first `count` characters of a line's text, hidden
// markup taking no width.
int32_t TextWidth(EditorRecord* ed, const wchar_t* text, int32_t count);
// The same for characters that start at display column `startCol`.
int32_t PieceWidth(EditorRecord* ed, const wchar_t* text, int32_t count, int32_t startCol);
int32_t ClientWidth(EditorRecord* ed);
// The caret: hidden while a command works (it stays created), placed
// afterwards.
void HideCaret(EditorRecord* ed);
// Destroys the caret (focus lost, caret switched off, resized elsewhere).
void DropCaret(EditorRecord* ed);
void PlaceCaret(EditorRecord* ed);
// Display columns of the first `count` characters (tabs expanded, hidden
// markup none).
int32_t ExpandedColumns(EditorRecord* ed, const wchar_t* text, int32_t count);
// Font measures of the window's font: charWidth, proportional, fontDescent,
// lineHeight (at least 1).
void MeasureFont(EditorRecord* ed);
// Client size, visible rows (kept when no row fits), top line and the
// vertical range; true when the number of rows changed.
bool ComputeRows(EditorRecord* ed);
// Paints the rows that meet the rectangle.
void PaintRows(EditorRecord* ed, const QEL_KWI::rect_struct& r);

}  // namespace QEL_EDIT::detail
