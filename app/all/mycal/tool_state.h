// tool_state: the pen, brush, text colour and background mode that one
// drawing routine last set on its target, so that setting an equal tool
// again costs no GDI calls (each pen or brush set makes, selects and deletes
// an object).
//
// Invariants:
//  - A tool is known only from its own setter here until forget(): the
//    routine forgets at its start and after every call that may set tools
//    itself (fades, other layers), so every drawing call sees exactly the
//    tools it would see with every set made.
//  - A brush asked for later (brush_later) is set by flush(), unless a
//    brush() call comes first: only for a brush that no drawing uses before
//    the next brush() or flush().
#pragma once

#include "KWI/Wyn/wyn.h"

namespace all {

class tool_state {
 public:
  void forget() { known_ = 0; }
  void forget_pen() { known_ &= ~kPen; }
  void pen(rizediveva6::wyndow t, QEL_KWI::pen_struct p) {
    if ((known_ & kPen) && p.width == pen_.width && p.style == pen_.style && p.colour == pen_.colour) return;
    rizediveva6::wyn::wsetpen(t, p);
    pen_ = p;
    known_ |= kPen;
  }
  void brush_later(QEL_KWI::brush_struct b) {
    later_ = b;
    known_ |= kLater;
  }
  void flush(rizediveva6::wyndow t) {
    if (known_ & kLater) brush(t, later_);
  }
  void brush(rizediveva6::wyndow t, QEL_KWI::brush_struct b) {
    known_ &= ~kLater;
    if ((known_ & kBrush) && b.style == brush_.style && b.colour == brush_.colour) return;
    rizediveva6::wyn::wsetbrush(t, b);
    brush_ = b;
    known_ |= kBrush;
  }
  void fore(rizediveva6::wyndow t, int32_t colour) {
    if ((known_ & kFore) && colour == fore_) return;
    rizediveva6::wyn::wsetforecolor(t, colour);
    fore_ = colour;
    known_ |= kFore;
  }
  void backmode(rizediveva6::wyndow t, int32_t mode) {
    if ((known_ & kBackMode) && mode == backMode_) return;
    rizediveva6::wyn::wsetbackmode(t, mode);
    backMode_ = mode;
    known_ |= kBackMode;
  }

 private:
  enum : uint32_t { kPen = 1, kBrush = 2, kFore = 4, kBackMode = 8, kLater = 16 };
  uint32_t known_ = 0;
  QEL_KWI::pen_struct pen_{};
  QEL_KWI::brush_struct brush_{}, later_{};
  int32_t fore_ = 0;
  int32_t backMode_ = 0;
};

}  // namespace all
