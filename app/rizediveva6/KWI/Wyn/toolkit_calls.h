// The window toolkit's four calls that the drawing package uses: pending
// events processed without waiting, a cursor shown at once, a whole text at a
// point, a picture with its palette.
#pragma once

#include "qel6kwi.h"

namespace rizediveva6::toolkit {

inline void processevents() { QEL_KWI::kwi_ProcessEvents(1, 0); }
inline void cursorset(LONG_PTR window, int32_t cursor) { QEL_KWI::cursor_Set(window, cursor, 1); }
inline void drawtext(LONG_PTR window, int32_t x, int32_t y, const wchar_t* text) {
  QEL_KWI::draw_Text(window, x, y, text, -1);
}
inline void pictdraw(LONG_PTR window, QEL_KWI::picture p, QEL_KWI::pnt_struct* at, int32_t op) {
  QEL_KWI::pict_DrawEx_0(window, p, at, op, 1);
}

}  // namespace rizediveva6::toolkit
