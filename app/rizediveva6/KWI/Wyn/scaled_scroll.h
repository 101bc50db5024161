// scaled_scroll: one scroll bar (always 0..100) over a real range
// [xmin, xmax] with the position in value units, zoom and tick grains.
//
// Invariants:
//  - Nothing but get_ctrl and setscrollrange works before the first
//    setscrollrange (error 329); Min > Max there only shows a note.
//  - After every scroll step the position lies in [xmin, xmax] and the
//    thumb on round((pos - xmin) / ((xmax - xmin) / 100)); an empty range
//    (xmin = xmax) puts the thumb at 0.  A thumb outside 0..2147483647 is
//    error 302, raised after the position was stored.
//  - Grain lists are increasing, each grain inside the range, made by
//    repeated addition; a power-of-ten rounding of 0 gives no grains.
#pragma once

#include "KWI/Wyn/scroll_bar.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

class scaled_scroll {
 public:
  static const tav::ClassInfo classInfo;

  static scaled_scroll* create_main_hsb(LONG_PTR window);
  static scaled_scroll* create_main_vsb(LONG_PTR window);
  static scaled_scroll* create_ctrl_sb(LONG_PTR control);

  virtual void setscrollrange(double min, double max);
  // False for code 0 and for notifications other than scroll.
  virtual bool scroll_it(const QEL_KWI::controlinfo* info);
  virtual void scroll_pos(double* pos, double* min, double* max);
  virtual void setscroll_pos(double pos);
  virtual LONG_PTR get_ctrl();
  virtual void zoomout(double lowLimit, double highLimit);
  virtual void zoomin(double x);
  virtual const List<double>* big_grains();
  virtual const List<double>* small_grains();

  // The step of small grains for a width share X (one tenth of the first
  // candidate above X) and the power-of-ten rounding of big grains (0 for 0).
  static double roundup(double x);
  static double power_of_ten(double x);

  scroll_bar bar;

 private:
  explicit scaled_scroll(scroll_bar b) : bar(b) {}
  template <class C, class... A>
  friend C* NewScrollObject(A&&... args);

  void RequireInit() const;
  void Step(double increment);
  void Place(double p);
  const List<double>* Grains(double first, double step) const;

  double xmin_ = 0, xmax_ = 0, pos_ = 0;
  bool init_ = false;
};

}  // namespace rizediveva6
