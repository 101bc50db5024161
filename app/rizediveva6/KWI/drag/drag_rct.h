// drag_rct: the feedback of a rectangle dragged with the mouse, drawn with
// the window's pen and brush over a saved copy of the screen, and the
// domains that say how it follows the mouse.
//
// Invariants:
//  - The kind of drag is chosen once, at creation, from the mouse-down point
//    (edges within 4 pixels, left before right, sides before top and
//    bottom); `stretch_only` without a near edge leaves the state `bad`.
//  - Each new position derives from the creation rectangle, never from the
//    previous one; nothing is clamped to the client area.
//  - The saved screen covers the last rectangle drawn with its pen's width
//    around it (before the first draw, the creation rectangle), so putting
//    it back erases the previous feedback.  It is kept in a memory bitmap of
//    the screen's format, reused from move to move, and freed by drop_it or
//    the object's finaliser.
//  - From creation to drop_it there is one drag record; after it drag_it
//    and drop_it fail.  The last feedback stays until the caller repaints.
#pragma once

#include "KWI/drag/screen_piece.h"
#include "core/core.h"
#include "qel6kwi.h"

namespace rizediveva6 {

using QEL_KWI::picture;
using QEL_KWI::pnt_struct;
using QEL_KWI::rect_struct;

// How a constrained move follows the mouse: smooth, by_box_size, by_dx(N).
struct grainy {
  enum Kind : uint32_t { smooth = 1, by_box_size, by_dx };
  uint32_t alt;
  int32_t dx;
};
// Allowed direction of a move: any_direc, vert_only(grainy), horz_only(grainy).
struct direct {
  enum Kind : uint32_t { any_direc = 1, vert_only, horz_only };
  uint32_t alt;
  grainy grain;
};
// The kind of drag: an edge stretched (right, left, top, bottom) or the
// whole rectangle moved with the grip offset and the direction.
struct drag_obj_dom {
  enum Kind : uint32_t { right = 1, left, top, bottom, move };
  uint32_t alt;
  pnt_struct offset;  // move only
  direct direction;   // move only
};
enum class allow_stetch : uint32_t { stretch_only = 1, whole_rct_only, both };
enum class state_dom : uint32_t { bad = 1, good };

class drag_rct {
 public:
  static const tav::ClassInfo classInfo;

  static drag_rct* new_drag_rct(LONG_PTR window, rect_struct r, pnt_struct p, direct direction,
                                allow_stetch allow);

  virtual rect_struct get_draw_rct();
  virtual void take_background_picture();
  // Ends the drag: the rectangle for p, the kind and the creation rectangle;
  // false when already dropped.
  virtual bool drop_it(pnt_struct p, rect_struct* final, drag_obj_dom* kind, rect_struct* start);
  // One mouse move: the feedback at the position for p; false (nothing
  // drawn) when the state is bad or the drag was dropped.
  virtual bool drag_it(pnt_struct p, drag_obj_dom* kind);
  virtual state_dom get_state();

  // The rectangle a drag of kind k from start s shows for the mouse at p.
  static rect_struct position(const drag_obj_dom& k, pnt_struct p, rect_struct s);

 private:
  LONG_PTR thiswin_ = 0;
  rect_struct xrct_{};
  drag_obj_dom xdrag_{drag_obj_dom::right, {}, {}};
  state_dom state_ = state_dom::good;
  allow_stetch xallow_stretch_ = allow_stetch::both;
  bool dragging_ = false;  // the db_drag record
  rect_struct start_{};
  void save(HDC dc, rect_struct r);

  drag_support::ScreenPiece saved_;  // db_drag_pic
  picture background_ = nullptr;  // db_background
};

}  // namespace rizediveva6
