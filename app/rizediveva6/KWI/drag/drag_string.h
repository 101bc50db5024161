// drag_string: a text rendered once into a picture on a coloured
// background that follows the mouse; the screen under it is saved and put
// back at the next move.  drag_vlittle: an inverted marker segment.
//
// Invariants:
//  - xrct is (0, 0, text width, text height) as measured on the window, and
//    xpic exactly that size.
//  - The saved piece spans twice the text's size centred on the mouse, so
//    it holds the picture drawn from the mouse point down and right.
#pragma once

#include "KWI/drag/drag_support.h"
#include "core/core.h"

namespace rizediveva6 {

class drag_string {
 public:
  static const tav::ClassInfo classInfo;

  static drag_string* new_(LONG_PTR window, const wchar_t* text, int32_t background);

  virtual void mousemove(QEL_KWI::pnt_struct p);

  drag_support::SavedScreen db_background2;
  QEL_KWI::rect_struct xrct{};
  QEL_KWI::picture xpic = nullptr;
  LONG_PTR thiswin = 0;
};

// drag_vlittle: one inverted segment, a marker whose ends the caller gives
// at each move; the segment drawn last is erased by drawing it again.
class drag_vlittle {
 public:
  static const tav::ClassInfo classInfo;

  static drag_vlittle* new_(LONG_PTR window);

  virtual void mousemove(QEL_KWI::pnt_struct p1, QEL_KWI::pnt_struct p2);

  LONG_PTR thiswin = 0;
  QEL_KWI::pnt_struct xpnt1{}, xpnt2{};
};

}  // namespace rizediveva6
