// celndar_Def: the modeless "Calendar Definition" dialog: roster start date,
// duration in weeks, first day of the week and slot names, each stored in
// the open roster the moment its control is used.
//
// Invariants:
//  - thiswin is the dialog while it exists, else 0.
//  - xgmt holds the start date as last read back from the roster.
//  - The start-date edit's keys change the stored date by calendar days;
//    a date outside the years 1950..2050 is never stored, and typed text
//    changes nothing stored.
//  - Control events count only after creation has filled the controls.
//  - A duration is stored only from a text that is a whole number, clamped
//    to 1..104.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "time/time.h"

namespace all {

class celndar_Def {
 public:
  static const tav::ClassInfo classInfo;
  // Control ids.
  enum : int32_t {
    kStartDate = 10052, kSlots = 10056, kExample = 10057, kAdd = 10058, kDelete = 10059, kUp = 10061,
    kDown = 10062, kDuration = 10063, kSunday = 10068, kMonday = 10069, kEndDate = 10064, kSlotDesc = 10065,
    kWeekday = 10066
  };

  static celndar_Def* new_();
  // Creates the dialog over `parent`.
  virtual void show(LONG_PTR parent);
  // Destroys the dialog; succeeds also when it is gone already.
  virtual void closeit();

  // The window definition (for its test).
  static QEL_KWI::windef_list_struct* windef_list();

 private:
  static LONG_PTR OnEvent(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
  static LONG_PTR OnDateKey(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
  bool act(int32_t id);
  void show_start_date();
  void move_n_days(int32_t days);
  void duration_changed();
  void add_slot();
  void set_week_start(uint32_t day, int32_t id);
  void update_end();
  void update_win();
  const wchar_t* selected_slot();

  LONG_PTR thiswin_ = 0;
  tav::gmtTime* xgmt_ = nullptr;
  bool ready_ = false;  // created: control events are the user's
};

}  // namespace all
