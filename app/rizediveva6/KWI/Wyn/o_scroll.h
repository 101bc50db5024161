// o_scroll: one scroll bar coupled with an integer position in [Min, Max],
// one value per scroll unit.
//
// Invariants:
//  - The position has no value until the first setscrollrange (or
//    setscroll_pos, or a thumb event); reading it before is error 329.
//  - Every step (scroll_it with a code other than 0) leaves the position in
//    [Min, Max] and the bar's thumb on it; setscroll_pos and setscrollrange
//    store and show positions unclamped.
//  - Min > Max is taken as (0, 0); a first Min of +-32000 or beyond shows a
//    note and is applied anyway.
//  - Increments: the owner's definition of a code, else -1, +1, -10, +10
//    for codes 1-4 and 0 for others.
#pragma once

#include "KWI/Wyn/scroll_bar.h"

namespace rizediveva6 {

class o_scroll {
 public:
  static const tav::ClassInfo classInfo;

  static o_scroll* create_main_hsb(LONG_PTR window);
  static o_scroll* create_main_vsb(LONG_PTR window);
  static o_scroll* create_ctrl_sb(LONG_PTR control);

  virtual void setscrollrange(int32_t min, int32_t max);
  virtual void setscrolldef(int32_t code, int32_t increment);
  // False for code 0 and for notifications other than scroll.
  virtual bool scroll_it(const QEL_KWI::controlinfo* info);
  virtual void scroll_pos(int32_t* pos, int32_t* min, int32_t* max);
  virtual void setscroll_pos(int32_t pos);
  virtual LONG_PTR get_ctrl();

  scroll_bar bar;

 private:
  explicit o_scroll(scroll_bar b) : bar(b) {}
  template <class C, class... A>
  friend C* NewScrollObject(A&&... args);

  int32_t Pos() const;
  void Step(int32_t increment);

  int32_t min_ = 0, max_ = 100;
  int32_t pos_ = 0;
  bool hasPos_ = false;
  bool init_ = false;
  scode_list<int32_t> scodes_;
};

}  // namespace rizediveva6
