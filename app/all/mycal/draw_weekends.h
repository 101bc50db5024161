// draw_weekends: the duties layer with the weekend marks; a click on a duty
// toggles the weekend status of its weekday and slot in every week, DEL
// removes it.
//
// Invariants: the whole calendar is repainted after a change; a key or
// click with no duty under the last mouse-move point changes nothing and
// leaves the event unhandled.
#pragma once

#include "mycal/draw_dtbd.h"

namespace all {

class draw_weekends {
 public:
  static const tav::ClassInfo classInfo;

  static draw_weekends* new_weekend(LONG_PTR window);

  virtual void drew_all_weekends();
  virtual void delete_pic2();
  virtual void drew_one_weekend(const duty_dat& duty);
  // The ordered rows; false: not handled.
  virtual bool _we_eh(LONG_PTR window, const event_struct* e);

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();

  draw_dtbd dtbd;

 private:
  bool toggle(bool removeOnly);

  pnt_struct xpnt_{0, 0};
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
