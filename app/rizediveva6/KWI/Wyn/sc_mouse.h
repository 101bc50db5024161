// sc_mouse: the mouse cursor of a window chosen from a list of hot spots
// (lines, draggable edges, stretchable rectangles, segments).
//
// Invariants:
//  - The first hot spot of the list that matches decides; a point matches a
//    line when the difference lies strictly within the tolerance.
//  - The cursor is changed (and pending events processed) only when the
//    answer differs from xcursor, the cursor this class set last, whatever
//    the window.
//  - With no match the newest temporary default is shown, else
//    xcursor_default.
//  - Differences and area products beyond 32 bits raise "Integral overflow".
#pragma once

#include <vector>

#include "core/core.h"
#include "qel6kwi.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

// A hot spot.
struct o_mouse_dom {
  enum Kind : uint32_t {
    in_rct = 1,
    in_rct_stretch_horz,
    on_vert,
    on_horz,
    on_line,
    on_vert_in_y,
    on_horz_in_x
  };
  uint32_t alt;
  QEL_KWI::rect_struct rct;  // in_rct, in_rct_stretch_horz
  int32_t at;                // x of on_vert(_in_y), y of on_horz(_in_x)
  int32_t from, to;          // the bounds of on_vert_in_y (y1, y2) and on_horz_in_x (x1, x2)
  QEL_KWI::pnt_struct a, b;  // on_line
  int32_t cursor;            // on_line
};
using o_mouse_doms = List<o_mouse_dom>;

class sc_mouse {
 public:
  static const tav::ClassInfo classInfo;

  static void o_mouse_set_default(int32_t cursor);
  static void o_mouse_set_temp_default(int32_t cursor);
  static void o_mouse_remove_temp_default();
  static void o_mouse_remove_temp_default_all();
  static void o_mouse_set_ns(int32_t cursor);
  static void o_mouse_set_we(int32_t cursor);
  // Sets the cursor for point p; whether a hot spot was hit.
  static bool o_mouse_set(LONG_PTR window, QEL_KWI::pnt_struct p, const o_mouse_doms* spots,
                          int32_t tolerance);
  // Whether p lies on the segment a-b (areas compared within the tolerance).
  static bool is_on_line(QEL_KWI::pnt_struct a, QEL_KWI::pnt_struct b, QEL_KWI::pnt_struct p,
                         int32_t tolerance);

  static int32_t xcursor, xcursor_default, xdb_ns, xdb_we;
  static std::vector<int32_t> ndb_cursor_temp_default;  // newest last
};

}  // namespace rizediveva6
