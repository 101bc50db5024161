// o_drag_pic: a copy of a piece of the window that follows the mouse; the
// screen under it is saved before each draw and put back at the next move.
//
// Invariants:
//  - xorig holds the dragged picture (the box with its right and bottom
//    edges), the box and the grip offset; xwid/xht are the box's size + 5.
//  - The saved piece covers the area of twice that size around the mouse and
//    the picture drawn, wherever its direction puts it.
//  - A move puts back the saved piece only when it belongs to the window
//    moved in; another window's piece stays recorded.
#pragma once

#include "KWI/drag/drag_rct.h"
#include "KWI/drag/drag_support.h"

namespace rizediveva6 {

struct orig {
  QEL_KWI::picture pict;
  QEL_KWI::rect_struct box;
  QEL_KWI::pnt_struct offset;
};

class o_drag_pic {
 public:
  static const tav::ClassInfo classInfo;

  // Range error 302 when the box is more than 5 pixels inverted.
  static o_drag_pic* new_(LONG_PTR window, QEL_KWI::pnt_struct p, QEL_KWI::rect_struct box,
                          direct direction);

  virtual void pic_mousemove(LONG_PTR window, QEL_KWI::pnt_struct p);
  virtual QEL_KWI::pnt_struct get_offset();
  // Forgets the saved screen and the picture; draws nothing.
  virtual void delete_();

  // Where the picture goes for the mouse at p, and the raster operation.
  QEL_KWI::pnt_struct Corner(QEL_KWI::pnt_struct p, int32_t* rasterOp) const;

  orig xorig{};
  direct xdirection{direct::any_direc, {}};
  drag_support::SavedScreen db_background2;
  uint32_t xwid = 0, xht = 0;
};

}  // namespace rizediveva6
