// o_scroll: see the header.
#include "KWI/Wyn/o_scroll.h"

#include "KWI/Wyn/checked.h"
#include "SYSTEM/myKWI/myKWI.h"

namespace rizediveva6 {

using QEL_KWI::controlinfo;

const tav::ClassInfo o_scroll::classInfo{L"qel6pack/Wyn/o_scroll", TAV_CLASS_VERSION};

namespace {

int32_t DefaultIncrement(int32_t code) {
  switch (code) {
    case 1: return -1;
    case 2: return 1;
    case 3: return -10;
    case 4: return 10;
    default: return 0;
  }
}

}  // namespace

o_scroll* o_scroll::create_main_hsb(LONG_PTR w) { return NewScrollObject<o_scroll>(MakeBar(w, BarKind::main_h)); }
o_scroll* o_scroll::create_main_vsb(LONG_PTR w) { return NewScrollObject<o_scroll>(MakeBar(w, BarKind::main_v)); }
o_scroll* o_scroll::create_ctrl_sb(LONG_PTR c) { return NewScrollObject<o_scroll>(MakeBar(c, BarKind::control)); }

int32_t o_scroll::Pos() const {
  if (!hasPos_) Qel::RunTime::Kernel::Errors::RunTimeError(329, L"xdb_scroll_pos", L"o_scroll");
  return pos_;
}

void o_scroll::setscrollrange(int32_t min, int32_t max) {
  if (min > max) min = max = 0;
  if (!init_) {
    init_ = true;
    pos_ = min;
    hasPos_ = true;
    if (min <= -32000 || min >= 32000) myKWI::note(L"Scroll range either >32000 or <-32000");
  }
  min_ = min;
  max_ = max;
  bar.SetRange(min, max);
  bar.SetPos(Pos());
}

void o_scroll::setscrolldef(int32_t code, int32_t increment) { scodes_.Define(code, increment); }

bool o_scroll::scroll_it(const controlinfo* info) {
  if (info->alt != QEL_KWI::ci_scroll || info->code == 0) return false;
  const int32_t code = static_cast<int32_t>(info->code);
  if (code == 5 || code == 6) {
    pos_ = static_cast<int32_t>(info->position);
    hasPos_ = true;
    Step(0);
    return true;
  }
  int32_t increment;
  if (!scodes_.Find(code, &increment)) increment = DefaultIncrement(code);
  Step(increment);
  return true;
}

void o_scroll::Step(int32_t increment) {
  int32_t p = checked::Add(Pos(), increment);
  if (p <= min_) p = min_;
  if (p >= max_) p = max_;
  pos_ = p;
  bar.SetPos(p);
}

void o_scroll::scroll_pos(int32_t* pos, int32_t* min, int32_t* max) {
  *pos = Pos();
  *min = min_;
  *max = max_;
}

void o_scroll::setscroll_pos(int32_t pos) {
  pos_ = pos;
  hasPos_ = true;
  bar.SetPos(pos);
}

LONG_PTR o_scroll::get_ctrl() { return bar.xdb_ctl_win; }

}  // namespace rizediveva6
