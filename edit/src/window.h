// The editor window: creation through the GUI layer and the event handler.
#pragma once

#include "qel6kwi.h"
#include "record.h"

namespace QEL_EDIT::detail {

// The handler of every editor window.
LONG_PTR EditorHandler(LONG_PTR window, QEL_KWI::event_struct* e);
// Checks the position (6903), builds the record and creates the window;
// raises the load's error (6902) after the window exists.
LONG_PTR CreateEditor(const RecordParams& p, QEL_KWI::rect_struct* rect, QEL_KWI::menu_struct* menu,
                      LONG_PTR parent, QEL_KWI::wsflags_struct* flags, uint8_t* font,
                      const wchar_t* text, uint32_t position);
// Makes an existing window of type 1, 2, 4 or 20 an editor (6001 for
// another type, 6903 for a position outside the text).
void SubclassEditor(LONG_PTR window, RecordParams p, uint8_t* font, const wchar_t* text, uint32_t position);
// Puts the caret on a text position; false when the position is not in the
// text.  Records a selection change when asked and the caret moved.
bool GotoPosition(EditorRecord* ed, uint32_t position, bool recordUndo);

}  // namespace QEL_EDIT::detail
