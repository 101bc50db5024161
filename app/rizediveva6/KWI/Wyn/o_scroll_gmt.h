// o_scroll_gmt: one scroll bar over a range of UTC times, counted in whole
// hours from the start (truncated toward zero, so a time before the start
// gives a negative thumb).
//
// Invariants:
//  - xgmtmin, xgmtmax and xgmtpos are made once by the constructor (all the
//    given time) and changed in place; xinterval is the last step applied.
//  - The bar's range is 0..H (H the hours of the range) and its thumb the
//    hours from the start to the position; the position is never clamped.
//  - An End before Start gives the empty range at Start.  Hour counts beyond
//    32 bits raise "Integral overflow".
//  - Steps: the owner's definition of a code, else -1, +1, -7, +7 days for
//    codes 1-4 and 0 for others.
#pragma once

#include "KWI/Wyn/scroll_bar.h"
#include "time/time.h"

namespace rizediveva6 {

class o_scroll_gmt {
 public:
  static const tav::ClassInfo classInfo;

  static o_scroll_gmt* create_main_hsb(LONG_PTR window, uint64_t time);
  static o_scroll_gmt* create_main_vsb(LONG_PTR window, uint64_t time);
  static o_scroll_gmt* create_ctrl_sb(LONG_PTR control, uint64_t time);

  virtual void setscrollrange(uint64_t start, uint64_t end);
  virtual void setscrolldef(int32_t code, int64_t increment);
  // False for code 0 and for notifications other than scroll.
  virtual bool scroll_it(const QEL_KWI::controlinfo* info);
  virtual void scroll_pos(uint64_t* pos, uint64_t* start, uint64_t* end);
  virtual void setscroll_pos(uint64_t pos);
  virtual LONG_PTR get_ctrl();

  // Whole hours from a to b, truncated toward zero.
  static int32_t hours_between(const tav::gmtTime* a, const tav::gmtTime* b);

  scroll_bar bar;

 private:
  o_scroll_gmt(scroll_bar b, uint64_t time);
  template <class C, class... A>
  friend C* NewScrollObject(A&&... args);

  int64_t Increment(int32_t code);
  void Step(int64_t increment);

  tav::gmtTime* xgmtmin_;
  tav::gmtTime* xgmtmax_;
  tav::gmtTime* xgmtpos_;
  tav::timeInterval* xinterval_;
  scode_list<int64_t> scodes_;
};

}  // namespace rizediveva6
