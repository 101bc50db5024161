// draw_hols: the duties layer with the holiday marks; a click on a duty
// toggles the holiday status of its date, DEL removes it.
//
// Invariants: only the changed date's duties are repainted after a change;
// a key or click with no duty under the last mouse-move point changes
// nothing and leaves the event unhandled.
#pragma once

#include "mycal/draw_dtbd.h"

namespace all {

class draw_hols {
 public:
  static const tav::ClassInfo classInfo;

  static draw_hols* new_hols(LONG_PTR window);

  virtual void drew_hols();
  // The ordered rows; false: not handled.
  virtual bool _hols_eh(LONG_PTR window, const event_struct* e);
  virtual void delete_pic2();
  virtual void drew_one_hol(const duty_dat& duty);

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();

  draw_dtbd dtbd;

 private:
  bool toggle(bool removeOnly);

  pnt_struct xpnt_{0, 0};
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
