// The event rows the weekend and holiday layers share, with each layer's
// own repaint, Escape, toggle and forgetting handed in.
//
// Invariants: the answer is -1 (on to draw_dtbd's rows), 0 (not handled)
// or 1 (handled); a mouse move only keeps its point; a right press is
// swallowed; DEL only removes.
#pragma once

#include "mycal/calendarWIN.h"

namespace all {

template <class Repaint, class Escape, class Toggle, class Forget>
int ToggleRows(const event_struct* e, pnt_struct* xpnt, Repaint repaint, Escape escape, Toggle toggle,
               Forget forget) {
  switch (e->kind) {
    case QEL_KWI::e_update: repaint(); return 1;
    case QEL_KWI::e_char:
      if (e->w[0] == 27) {
        escape();
        return 1;
      }
      if (e->w[0] == 127) return toggle(true) ? 1 : 0;
      return -1;
    case QEL_KWI::e_mousemove: *xpnt = EventPoint(e); return -1;
    case QEL_KWI::e_mousedown:
      if (e->w[2] == 1) return 1;
      if (e->w[2] == 0) return toggle(false) ? 1 : 0;
      return -1;
    case QEL_KWI::e_control:
      if (e->w[0] == 981 || e->w[0] == 982) forget();
      return -1;
    default: return -1;
  }
}

}  // namespace all
