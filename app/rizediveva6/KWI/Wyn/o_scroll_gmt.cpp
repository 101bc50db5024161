// o_scroll_gmt: see the header.
#include "KWI/Wyn/o_scroll_gmt.h"

#include "KWI/Wyn/checked.h"

namespace rizediveva6 {

using QEL_KWI::controlinfo;
using tav::gmtTime;
using tav::timeInterval;

const tav::ClassInfo o_scroll_gmt::classInfo{L"qel6pack/Wyn/o_scroll_gmt", TAV_CLASS_VERSION};

namespace {

constexpr int64_t kHour = 36'000'000'000;

int32_t BuiltInDays(int32_t code) {
  switch (code) {
    case 1: return -1;
    case 2: return 1;
    case 3: return -7;
    case 4: return 7;
    default: return 0;
  }
}

}  // namespace

o_scroll_gmt::o_scroll_gmt(scroll_bar b, uint64_t time)
    : bar(b),
      xgmtmin_(gmtTime::new_(time)),
      xgmtmax_(gmtTime::new_(time)),
      xgmtpos_(gmtTime::new_(time)),
      xinterval_(timeInterval::new_()) {}

o_scroll_gmt* o_scroll_gmt::create_main_hsb(LONG_PTR w, uint64_t t) {
  return NewScrollObject<o_scroll_gmt>(MakeBar(w, BarKind::main_h), t);
}
o_scroll_gmt* o_scroll_gmt::create_main_vsb(LONG_PTR w, uint64_t t) {
  return NewScrollObject<o_scroll_gmt>(MakeBar(w, BarKind::main_v), t);
}
o_scroll_gmt* o_scroll_gmt::create_ctrl_sb(LONG_PTR c, uint64_t t) {
  return NewScrollObject<o_scroll_gmt>(MakeBar(c, BarKind::control), t);
}

int32_t o_scroll_gmt::hours_between(const gmtTime* a, const gmtTime* b) {
  return checked::Narrow(timeInterval::new_(a, b)->get() / kHour);
}

void o_scroll_gmt::setscrollrange(uint64_t start, uint64_t end) {
  if (end < start) end = start;
  xgmtmin_->setgmttime(start);
  xgmtmax_->setgmttime(end);
  bar.SetRange(0, hours_between(xgmtmin_, xgmtmax_));
  setscroll_pos(xgmtpos_->getgmttime());
}

void o_scroll_gmt::setscrolldef(int32_t code, int64_t increment) { scodes_.Define(code, increment); }

bool o_scroll_gmt::scroll_it(const controlinfo* info) {
  if (info->alt != QEL_KWI::ci_scroll || info->code == 0) return false;
  const int32_t code = static_cast<int32_t>(info->code);
  if (code == 5 || code == 6) {
    xinterval_ = timeInterval::new_(0, static_cast<int32_t>(info->position), 0, 0.0);
    xgmtpos_->setgmttime(xgmtmin_->getgmttime());
    xgmtpos_->addinterval(xinterval_);
    xinterval_ = timeInterval::new_();
    Step(0);
  } else {
    Step(Increment(code));
  }
  return true;
}

int64_t o_scroll_gmt::Increment(int32_t code) {
  int64_t increment;
  if (scodes_.Find(code, &increment)) return increment;
  xinterval_->setinterval(BuiltInDays(code), 0, 0, 0);
  return xinterval_->get();
}

void o_scroll_gmt::Step(int64_t increment) {
  xinterval_ = timeInterval::new_(increment);
  xgmtpos_->addinterval(xinterval_);
  setscroll_pos(xgmtpos_->getgmttime());
}

void o_scroll_gmt::scroll_pos(uint64_t* pos, uint64_t* start, uint64_t* end) {
  *pos = xgmtpos_->getgmttime();
  *start = xgmtmin_->getgmttime();
  *end = xgmtmax_->getgmttime();
}

void o_scroll_gmt::setscroll_pos(uint64_t pos) {
  xgmtpos_->setgmttime(pos);
  bar.SetPos(hours_between(xgmtmin_, xgmtpos_));
}

LONG_PTR o_scroll_gmt::get_ctrl() { return bar.xdb_ctl_win; }

}  // namespace rizediveva6
