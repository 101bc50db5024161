// Calendar arithmetic of slot-periods: period P, day D of a roster is the
// day (D - 1) + 7 * (P - 1) calendar days after the first day of the week
// that holds the start date, weeks beginning on the program's week-start
// day (mytime), whatever the locale's first weekday.
//
// Invariants:
//  - Week numbers are the time helpers' continuous count (week_no_tv is the
//    exact inverse of tv_week_no), so periods are differences of week
//    numbers and consecutive days step by one across clock changes and
//    year ends.
//  - Every computed day (1..7), period (1..104), slot (1..10) and year
//    (1950..2050) passes the runtime's range check (302).
//  - Reads nothing but its arguments and the week-start day: the document
//    root hands in the header's values.
#pragma once

#include "kalmoradb/roster_types.h"

namespace all {

using rizediveva6::tv;

// The header values the enumerations read.
struct roster_frame {
  uint32_t duration;  // weeks, 1..104
  uint32_t slots;     // slots per day, 1..10
};

class sp_calendar {
 public:
  // The week number of the start date minus 1.
  static uint32_t weeks_offset(tv start);
  static uint32_t period_week_no(uint32_t offset, uint32_t period);
  // Fails when the week lies before the start week; above period 104: 302.
  static bool week_no_period(uint32_t offset, uint32_t week, uint32_t* period);
  // The date of the slot-period.
  static dt sp_dt(uint32_t offset, const sp& s);
  // sp(day, period, 1) of the date; fails before the start week.
  static bool dt_sp(uint32_t offset, const dt& d, sp* out);
  // Fails on the last day of the last week.
  static bool next_day(uint32_t duration, const sp& s, sp* out);
  // Fails on day 1 of period 1.
  static bool prev_day(const sp& s, sp* out);
  // From `from` on: period outermost, then slot, then day; each component
  // restarts at from's value in every round of the loop outside it.
  static bool nd_sp(const roster_frame& f, const sp& from, tav::Each<sp> k);
  // The same set: slot outermost, then day, then period.
  static bool nd_sp_week(const roster_frame& f, const sp& from, tav::Each<sp> k);
  // The day-slots of one week: days 1..7, within a day slots from `slots` down to 1.
  static bool nd_day_slots(uint32_t slots, tav::Each<sd> k);
  // The start plus 7 * duration calendar days at the same local time.
  static tv end_date(tv start, uint32_t duration);
};

}  // namespace all
