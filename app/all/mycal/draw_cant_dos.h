// draw_cant_dos: the duties layer with the can't-do rules of the doctor or
// group in view; a left click toggles the rule "can't do this duty", the
// pop-up menu toggles six rules built from the duty, DEL removes the
// doctor's duty and task rules.
//
// Invariants: rules are built only for the doctor or group the display
// filter shows (none: nothing is stored); a key or click with no duty
// under its point changes nothing and leaves the event unhandled.
#pragma once

#include "mycal/draw_dtbd.h"

namespace all {

class draw_cant_dos {
 public:
  static const tav::ClassInfo classInfo;
  // Menu ids: this duty, its slot, weekday, week, task, location.
  enum : uint32_t { kThisDuty = 5001, kAnySlot, kAnyDay, kThisWeek, kAnyTask, kAnyWhere };

  static draw_cant_dos* new_cant_dos(LONG_PTR window);

  // The ordered rows; false: not handled.
  virtual bool _cant_do_eh(LONG_PTR window, const event_struct* e);
  virtual void delete_pic2();
  virtual void drew_cant_dos(rule_added outcome);
  virtual void drew_one_cant_dos(rule_added outcome, const duty_dat& duty);

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();
  // The menu items' texts for the duty, in id order.
  static const wchar_t* item_text(uint32_t id, const duty_dat& duty);

  draw_dtbd dtbd;

 private:
  rule_added add_or_remove_cant_do(uint32_t id, const duty_dat& duty);
  void remove_cant_do(const duty_dat& duty);
  bool popup_cantdo_menu(LONG_PTR window, pnt_struct p);

  pnt_struct xpnt_{0, 0};
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
