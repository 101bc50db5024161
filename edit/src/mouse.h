// Mouse selection of an editor window.
#pragma once

#include "qel6kwi.h"
#include "record.h"

namespace QEL_EDIT::detail {

// Row of the window at y (1 .. the last row holding a line) and the column
// of a line whose left edge is nearest to x.
int32_t RowAt(EditorRecord* ed, int32_t y);
int32_t ColumnAt(EditorRecord* ed, int32_t line, int32_t x);
void MouseDown(EditorRecord* ed, const QEL_KWI::pnt_struct& p, bool shift);
void MouseMove(EditorRecord* ed, const QEL_KWI::pnt_struct& p);
// Ends the action at p; a drag drops there (a copy with `copy`, control).
void MouseUp(EditorRecord* ed, const QEL_KWI::pnt_struct& p, bool copy);
// The auto-scroll timer's tick: a move to the mouse cursor's position.
void MouseTimer(EditorRecord* ed, LONG_PTR id);
// The library's cursor resource shown while selected text is dragged.
constexpr int DragCursorId = 101;
// Ends a mouse action of this editor (keys end it), releasing the mouse.
void CancelMouse(EditorRecord* ed);
// The editor's pop-up menu at a point; its command comes back as e_menu.
void PopupMenu(EditorRecord* ed, const QEL_KWI::pnt_struct& p);
// Drops the action of an editor being destroyed.
void ForgetMouse(EditorRecord* ed);

}  // namespace QEL_EDIT::detail
