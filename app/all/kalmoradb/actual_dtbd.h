// actual_dtbd: the concrete duties of the roster, derived from the typical
// week and the date changes.  Stores nothing.
//
// Invariants:
//  - A derivation reads the typical week and the date changes once, checks
//    every stored number against its range (302) and then works on plain
//    arrays on the collected heap: nothing it holds has a destructor.
//  - Slot-periods come in nd_sp order from sp(1, 1, 1) (period, slot, day);
//    within one, the typical duties of its day kind in chain order (not
//    removed on its date, flag false), then the duties its date changes add
//    (flag true) in change order.
//  - A change whose date lies outside the roster's weeks adds and removes
//    nothing; its stored day number picks the slot-periods it is judged in,
//    the day of its date the slot-period of the duty it adds.
#pragma once

#include "kalmoradb/sp_calendar.h"

namespace all {

// duty_to_be_done_dat as a plain value.
struct duty_dat {
  sp at;
  uint32_t where, task;
  bool changed;  // false: typical week; true: added on its date
  bool operator==(const duty_dat& o) const = default;
};

// One typical duty with its day kind (1001..1003).
struct typical_entry {
  uint32_t kind;
  tls duty;
};
// One date change dt_duty(date, day number, tls).
struct date_change {
  dt date;
  uint32_t day;
  tls duty;
};

// What a derivation reads: header values, the typical week (saturday,
// sunday, weekday chains in turn) and the date changes in chain order.
struct derivation_input {
  roster_frame frame;
  uint32_t offset;  // the start date's week number minus 1
  const typical_entry* typical;
  uint32_t typicalCount;
  const date_change* changes;
  uint32_t changeCount;
};

// The duties of one slot-period: `count` records from `first`.
struct sp_duties {
  sp at;
  const duty_dat* first;
  uint32_t count;
};

// A derivation of the whole roster: every slot-period in nd_sp order.
struct roster_duties {
  const sp_duties* periods;  // one per slot-period
  uint32_t periodCount;
  const duty_dat* duties;  // all duties, slot-period after slot-period
  uint32_t dutyCount;
};

class actual_dtbd {
 public:
  static const tav::ClassInfo classInfo;
  static uint32_t xcount;

  // Reads the open document's header, typical week and date changes.
  static derivation_input read_input();
  // The whole roster's duties from the input; 302 for a stored number out
  // of range.
  static roster_duties derive(const derivation_input& in);

  // For every slot-period (period, slot, day order) its duties.
  static bool nd_dats_to_be_done(tav::Each<sp_duties> k);
  // The same in slot, day, period order.
  static bool nd_dats_to_be_done_week(tav::Each<sp_duties> k);
  static uint32_t total_number();
  static bool nd_member(const sp_duties& list, tav::Each<duty_dat> k);
  static bool nd_dats_in_sp(const sp& s, tav::Each<duty_dat> k);
};

}  // namespace all
