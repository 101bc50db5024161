// drag_line: rubber-band lines from the mouse to fixed points, drawn by
// inverting the screen.
//
// Invariants:
//  - Once a move has drawn, the lines on the screen are exactly those from
//    xpnt_old to each point of xpnt_list (before it, none): a move erases
//    them by drawing them again, and replacing the points erases the old
//    lines before drawing the new ones.
//  - xpnt_list lives on the collected heap.  Nothing marks the end of a
//    drag: moves after line_drag_mouseup go on drawing.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

using pntlist = List<QEL_KWI::pnt_struct>;

class drag_line {
 public:
  static const tav::ClassInfo classInfo;

  static drag_line* new_(LONG_PTR window, QEL_KWI::pnt_struct p);
  static drag_line* new_(LONG_PTR window, QEL_KWI::pnt_struct p, const pntlist* points);

  virtual void line_drag_reset_pnts(const pntlist* points);
  // The start point and the fixed points; draws nothing.
  virtual void line_drag_mouseup(QEL_KWI::pnt_struct* start, const pntlist** points);
  virtual void line_drag_mousemove(QEL_KWI::pnt_struct p);

  QEL_KWI::pnt_struct xpnt{};
  const pntlist* xpnt_list = nullptr;
  QEL_KWI::pnt_struct xpnt_old{};
  LONG_PTR thiswin = 0;

 private:
  bool drawn_ = false;  // whether the lines from xpnt_old are on the screen

  void DrawLines(QEL_KWI::pnt_struct from);
};

}  // namespace rizediveva6
