// Helpers of the drag feedback classes: drawing by inverting the screen
// (black solid pen, hollow brush, draw mode 5, the caller's mode put back),
// and saved pieces of the screen put back at the next move.  Saved pieces
// live in collected cells, newest last.
#pragma once

#include "qel6kwi.h"

namespace rizediveva6::drag_support {

// Runs draw() with the window inverting what it draws; the pen and brush
// stay as set here.
template <class F>
void Inverted(LONG_PTR w, F draw) {
  QEL_KWI::pen_struct pen{1, 0, 0};
  QEL_KWI::brush_struct brush{1, 0};
  QEL_KWI::win_SetPen(w, &pen);
  QEL_KWI::win_SetBrush(w, &brush);
  const int mode = QEL_KWI::win_GetDrawMode(w);
  QEL_KWI::win_SetDrawMode(w, 5);
  draw();
  QEL_KWI::win_SetDrawMode(w, mode);
}

inline void Line(LONG_PTR w, QEL_KWI::pnt_struct a, QEL_KWI::pnt_struct b) { QEL_KWI::draw_Line(w, &a, &b); }

// Pieces of the screen saved under the feedback: (window, picture, corner).
struct SavedScreen {
  struct Cell {
    LONG_PTR window;
    QEL_KWI::picture pict;
    QEL_KWI::pnt_struct corner;
    Cell* next;
  };
  Cell* first = nullptr;

  // Puts back and forgets the first piece when it belongs to w.
  void RestoreFirst(LONG_PTR w);
  // Saves the screen inside r behind the other pieces.
  void Save(LONG_PTR w, QEL_KWI::rect_struct r);
  // Forgets the first piece without drawing it.
  void DropFirst();
};

}  // namespace rizediveva6::drag_support
