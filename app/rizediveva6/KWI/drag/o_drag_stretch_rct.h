// o_drag_stretch_rct: a rubber-band rectangle from an anchor to the mouse,
// drawn so that drawing it twice leaves the screen as it was.
//
// Invariants:
//  - The anchor only moves left or up (to the mouse), so the band drawn
//    never has a negative width or height.
//  - xdb_old_rct is the band on the screen; each move erases it by drawing
//    it again, then draws the new one.
//  - freeform_rct bands are a light-grey area combined by XOR; a
//    horz_fixed_ht(Top, Bottom) band is an inverted outline from Top to
//    Bottom.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"

namespace rizediveva6 {

// The shape rule: freeform_rct, or horz_fixed_ht(Top, Bottom).
struct rct_type {
  enum Kind : uint32_t { freeform_rct = 1, horz_fixed_ht };
  uint32_t alt;
  int32_t top, bottom;
};

class o_drag_stretch_rct {
 public:
  static const tav::ClassInfo classInfo;

  static o_drag_stretch_rct* new_(LONG_PTR window, QEL_KWI::pnt_struct anchor);

  virtual void set_type(rct_type t);
  virtual void mousemove(QEL_KWI::pnt_struct p);
  // The final rectangle; draws nothing.
  virtual QEL_KWI::rect_struct mouseup(QEL_KWI::pnt_struct p);

  QEL_KWI::rect_struct xdb_old_rct{};
  QEL_KWI::pnt_struct xdb_pnt{};
  LONG_PTR thiswin = 0;
  rct_type xdb_type{rct_type::freeform_rct, 0, 0};

 private:
  void DrawShape(QEL_KWI::rect_struct r);
};

}  // namespace rizediveva6
