// mytime: the program's week start, and the texts built on the time
// conversions: day names in week-start order, date and time texts, sort
// keys, dates read from text, and enumerations of dates and day numbers.
//
// Invariants:
//  - The week start is one class-wide value, 0 (Monday) until set.
//  - Day names are the fixed English names; the template texts follow the
//    locale of the class library's shared formatter.
//  - Dates given to the template operations and produced dates pass the
//    range checks of time_convert's records.
#pragma once

#include "SYSTEM/timepack/time_convert.h"
#include "string/string.h"

namespace rizediveva6 {

class mytime {
 public:
  static const tav::ClassInfo classInfo;

  static void set_start_day(uint32_t startDay);
  static uint32_t get_start_day();

  static const wchar_t* tv_format(tv t, const wchar_t* picture);
  static const wchar_t* tv_dayname_str(tv t);
  static const wchar_t* tv_dtstr(tv t);
  static const wchar_t* tv_tadstr(tv t);
  static const wchar_t* tv_hmsstr(tv t);
  static const wchar_t* time_dayname_str(const tav::time* t);
  static const wchar_t* time_dtstr(const tav::time* t);
  static const wchar_t* dt_dayname(const dt& d);
  static const wchar_t* dt_str(const dt& d);
  static const wchar_t* dt_str1(const dt& d);
  static const wchar_t* dt_str2(const dt& d);
  static const wchar_t* mins_str(int32_t minutes);
  // Eight digits with leading zeros: the whole hours since 1601-01-01 00:00 UTC.
  static const wchar_t* tv_date_order(tv t);
  static bool str_date(const wchar_t* text, dt* d);
  static dt now_dt();
  static void days_diff(const dt& first, const dt& second, int32_t* days, int32_t* absDays);
  static void add_n_days(int32_t n, tav::gmtTime* t);
  static const tav::StringList* daynames();
  static bool dayno_dayname(uint32_t dayNo, const wchar_t** name);
  static bool dt_member(const dt& d, const dt* list, size_t count);
  static bool dt_in_range(const dt* list, size_t count, const dt& d, const dt_range& range);
  // Each date from Current on while Current is earlier than Limit by a
  // whole minute or more; Current moves one calendar day per solution.
  static bool nd_dt(tav::gmtTime* current, const tav::gmtTime* limit, tav::Each<dt> k);
  static bool nd_day_no(tav::Each<uint32_t> k);
};

}  // namespace rizediveva6
