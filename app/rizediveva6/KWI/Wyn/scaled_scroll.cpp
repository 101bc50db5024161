// scaled_scroll: see the header.
#include "KWI/Wyn/scaled_scroll.h"

#include <cmath>

#include "KWI/Wyn/checked.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "unit.h"

namespace rizediveva6 {

using QEL_KWI::controlinfo;

const tav::ClassInfo scaled_scroll::classInfo{L"qel6pack/Wyn/scaled_scroll", TAV_CLASS_VERSION};

namespace {

double Increment(int32_t code) {
  switch (code) {
    case 1: return -0.1;
    case 2: return 0.1;
    case 3: return -1.0;
    case 4: return 1.0;
    default: return 0.0;
  }
}

constexpr double kCandidates[] = {0.000001, 0.00001, 0.0001, 0.001, 0.0025, 0.01, 0.025,
                                  0.1,      0.25,    1,      2.5,   10,    25,   100,
                                  250,      1000,    2500,   10000, 100000, 1000000, 10000000};

// The smallest power of ten above x > 1: x scaled by 0.1 into (0, 1), 1
// scaled by 10 as often.
double PowerAbove(double x) {
  double p = 1;
  for (double v = x; !(v > 0 && v < 1); v *= 0.1) p *= 10;
  return p;
}

// The largest power of ten below 0 < x <= 1.
double PowerBelow(double x) {
  double p = 1.0;
  for (double v = x; !(v > 1); v *= 10) p *= 0.1;
  return p;
}

}  // namespace

scaled_scroll* scaled_scroll::create_main_hsb(LONG_PTR w) {
  return NewScrollObject<scaled_scroll>(MakeBar(w, BarKind::main_h));
}
scaled_scroll* scaled_scroll::create_main_vsb(LONG_PTR w) {
  return NewScrollObject<scaled_scroll>(MakeBar(w, BarKind::main_v));
}
scaled_scroll* scaled_scroll::create_ctrl_sb(LONG_PTR c) {
  return NewScrollObject<scaled_scroll>(MakeBar(c, BarKind::control));
}

void scaled_scroll::RequireInit() const {
  if (!init_) Qel::RunTime::Kernel::Errors::RunTimeError(329, L"xmin", L"scaled_scroll");
}

void scaled_scroll::setscrollrange(double min, double max) {
  if (min > max) return myKWI::note(L"error 76 in scaled_scroll");
  if (!init_) {
    init_ = true;
    pos_ = min;
  }
  xmin_ = min;
  xmax_ = max;
  bar.SetRange(0, 100);
}

bool scaled_scroll::scroll_it(const controlinfo* info) {
  if (info->alt != QEL_KWI::ci_scroll || info->code == 0) return false;
  RequireInit();
  const int32_t code = static_cast<int32_t>(info->code);
  if (code == 5 || code == 6) {
    pos_ = (xmax_ - xmin_) / 100 * static_cast<double>(static_cast<int32_t>(info->position)) + xmin_;
    Step(0.0);
  } else {
    Step(Increment(code));
  }
  return true;
}

void scaled_scroll::Step(double increment) {
  double p = pos_ + increment;
  if (!(p > xmin_)) p = xmin_;
  if (!(p < xmax_)) p = xmax_;
  setscroll_pos(p);
}

void scaled_scroll::scroll_pos(double* pos, double* min, double* max) {
  RequireInit();
  *pos = pos_;
  *min = xmin_;
  *max = xmax_;
}

void scaled_scroll::setscroll_pos(double pos) {
  RequireInit();
  pos_ = pos;
  const double d = (xmax_ - xmin_) / 100;
  uint32_t thumb = 0;
  if (d != 0) thumb = checked::R2U((pos - xmin_) / d);
  if (thumb > INT32_MAX) RaiseRangeError();
  bar.SetPos(static_cast<int32_t>(thumb));
}

LONG_PTR scaled_scroll::get_ctrl() { return bar.xdb_ctl_win; }

void scaled_scroll::Place(double p) {
  setscroll_pos(xmin_ + 0.5 * (p - xmin_));
  Step(0.0);
}

void scaled_scroll::zoomout(double lowLimit, double highLimit) {
  RequireInit();
  const double w = xmax_ - xmin_;
  xmax_ = xmax_ + 0.1 * w;
  xmin_ = xmin_ - 0.1 * w;
  if (xmin_ < lowLimit) xmin_ = lowLimit;
  if (xmax_ > highLimit) xmax_ = highLimit;
  Place(xmin_ + 0.66 * (xmax_ - xmin_));
}

void scaled_scroll::zoomin(double x) {
  RequireInit();
  xmax_ = xmax_ - 0.666 * (xmax_ - x);
  xmin_ = xmin_ + 0.333 * (x - xmin_);
  Place(x);
}

double scaled_scroll::roundup(double x) {
  for (double c : kCandidates)
    if (c > x) return c / 10;
  return x * 0.1;
}

double scaled_scroll::power_of_ten(double x) {
  if (!std::isfinite(x) || x == 0) return 0;
  if (x > 1) return PowerAbove(x);
  if (x > 0) return PowerBelow(x);
  if (x > -1) return -PowerBelow(-x);
  return -PowerAbove(-x);
}

// From `first` by repeated addition while inside the range; empty when the
// first grain lies outside.  A step that no longer moves the grain ends it.
const List<double>* scaled_scroll::Grains(double first, double step) const {
  ListBuilder<double> grains;
  for (double g = first; g <= xmax_ && g >= xmin_;) {
    grains.Add(g);
    const double next = g + step;
    if (!(next > g)) break;
    g = next;
  }
  return grains.Finish();
}

const List<double>* scaled_scroll::small_grains() {
  RequireInit();
  const double step = roundup(0.02 * (xmax_ - xmin_));
  const int32_t n = checked::R2I(xmin_ / step);
  return Grains(n * step, step);
}

const List<double>* scaled_scroll::big_grains() {
  RequireInit();
  const double step = power_of_ten(0.2 * (xmax_ - xmin_));
  const double first = power_of_ten(xmin_);
  if (step == 0 || first == 0) return Nil<double>();
  return Grains(first, step);
}

}  // namespace rizediveva6
