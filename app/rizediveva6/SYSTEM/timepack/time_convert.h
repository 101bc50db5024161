// time_convert: conversions between time values (100-ns units since
// 1601-01-01 UTC), local dates, week numbers, day numbers within the week
// and minutes; and the records `dt`, `hm`, `dt_range` they use.
//
// Invariants:
//  - Calendar parts are local time of the class library's shared formatter,
//    unless an operation says UTC.
//  - Every produced year (1950..2050), month, day, hour, minute and day
//    number passes the runtime's range check (302) before it is delivered.
//  - A week starts on the program's week-start day (mytime::get_start_day:
//    0 Monday, 1 Sunday); the week number counts whole weeks since the week
//    that holds 1950-01-01 (week 0), so consecutive weeks have consecutive
//    numbers and week_no_tv is the exact inverse of tv_week_no.
//  - Moving by days moves by calendar days and keeps the local time of day
//    (a time that a daylight-saving change skips reads as the time class
//    reads it).
//  - Nothing but the week start (mytime) survives a call.
#pragma once

#include <cstdint>

#include "time/time.h"

namespace rizediveva6 {

using tv = uint64_t;

// dt(year, month, day): a calendar date.
struct dt {
  uint32_t year, month, day;
  bool operator==(const dt& o) const { return year == o.year && month == o.month && day == o.day; }
};
// hm(hour, minute): a time of day.
struct hm {
  uint32_t hour, minute;
};
// dt_range(first, last)
struct dt_range {
  dt first, last;
};

class time_convert {
 public:
  static const tav::ClassInfo classInfo;

  static dt tv_date(tv t);
  static tv date_tv(const dt& d);
  static hm tv_time(tv t);
  static bool same_date(tv a, tv b);
  static uint32_t tv_week_no(tv t);
  // The day number; `dayName` (may be null) gets the locale's full weekday name.
  static uint32_t tv_day_no(tv t, const wchar_t** dayName);
  static uint32_t date_weekno_dayno(const dt& d, uint32_t* dayNo, const wchar_t** dayName);
  static tv day_no_tv(tv t, uint32_t dayNo);
  // The first day of the week at 00:00:01 local time.
  static tv week_no_tv(uint32_t weekNo);
  static tv make_date_first_day_of_week(tv t);
  static tv tv_add_minutes(tv t, int32_t minutes);
  static tv tv_subtract_minutes(tv t, int32_t minutes);
  static int32_t duration_mins(tv from, tv to);
  static void mins_to_dhm(int32_t minutes, uint32_t* days, uint32_t* hours, uint32_t* mins);
  static const wchar_t* mins_to_str(int32_t minutes);
  static uint32_t tv_minutes(tv t);
  static bool time_gt_hm(tv t, const hm& h);
  static bool time_lt_hm(tv t, const hm& h);
  static tv start_of_day(tv t);
  static tv start_of_tomorrow(tv t);
  static tv start_of_week(tv t);
  static tv end_of_week(tv t);
  static void start_and_end_of_month(tv t, tv* start, tv* end);
  static tv end_of_all_time();
  static bool str_tv(const wchar_t* text, tv* t);
  static bool first_is_before_second(const tav::gmtTime* first, const tav::gmtTime* second,
                                     uint32_t* minutes);
  static bool first_is_between_absolute(const tav::gmtTime* x, const tav::gmtTime* low,
                                        const tav::gmtTime* high);
  static bool first_is_between_within_week(const tav::gmtTime* t, const tav::gmtTime* start,
                                           const tav::gmtTime* end, uint32_t* minutes);

  // Shared with mytime: the local record of a time value; the time value of
  // local parts (days roll over); the record moved by whole calendar days,
  // time of day kept.
  static SYSTEMTIME Local(tv t);
  static tv LocalValue(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       double second);
  static tv AddDays(tv t, int64_t days);
  // The range checks of a date's fields.
  static void CheckDate(const dt& d);
  // The day number (1..7) of a weekday (0 Sunday .. 6 Saturday) under the week start.
  static uint32_t DayNo(int32_t weekday);
  // Whole minutes from `from` to `to`, truncated towards zero.
  static int64_t Minutes(tv from, tv to);
};

}  // namespace rizediveva6
