// time_convert: see the header.  Every conversion works on the shared
// formatter's local records directly; no time object is made on the way
// except where a foundation object is part of the interface.
#include "SYSTEM/timepack/time_convert.h"

#include "SYSTEM/timepack/mytime.h"
#include "exception/exception.h"
#include "time/calendar.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;

const ClassInfo time_convert::classInfo{L"qel6pack/timepack/time_convert", TAV_CLASS_VERSION};

namespace {

constexpr int64_t kUnitsPerMinute = cal::kUnitsPerMinute;
constexpr int64_t kUnitsPerMs = cal::kUnitsPerMs;

timeFormatter* Formatter() { return tav::time::initformattimeobject(); }

// The weekday (0 Sunday) on which weeks start.
int32_t FirstWeekday() { return mytime::get_start_day() == 0 ? 1 : 0; }

// The day count (since 1601-01-01) of the first day of the week holding `days`.
int64_t WeekStart(int64_t days) {
  return days - cal::FloorMod(cal::DayOfWeek(days) - FirstWeekday(), 7);
}
// The first day of week 0, the week that holds 1950-01-01 (a Sunday):
// Monday 1949-12-26 or Sunday 1950-01-01.
int64_t WeekZero() {
  static const int64_t sunday = cal::DaysFromCivil(1950, 1, 1);
  return mytime::get_start_day() == 0 ? sunday - 6 : sunday;
}

int64_t DaysOf(const SYSTEMTIME& r) { return cal::DaysFromCivil(r.wYear, r.wMonth, r.wDay); }

// The local record of t with its date checked against the records' ranges.
SYSTEMTIME LocalDate(tv t) {
  SYSTEMTIME r = time_convert::Local(t);
  CheckRange(domains::year, r.wYear);
  CheckRange(domains::month, r.wMonth);
  CheckRange(domains::day, r.wDay);
  return r;
}

// Week number of a checked local date.
uint32_t WeekNo(const SYSTEMTIME& r) {
  const int64_t w = (WeekStart(DaysOf(r)) - WeekZero()) / 7;
  CheckRange(tav::domains::unsigned_, w);
  return static_cast<uint32_t>(w);
}

// t's local time of day on the day `days` (since 1601-01-01).
tv OnDay(tv t, const SYSTEMTIME& r, int64_t days) {
  int64_t y;
  int32_t m, d;
  cal::CivilFromDays(days, &y, &m, &d);
  if (y < INT32_MIN) y = INT32_MIN;
  if (y > INT32_MAX) y = INT32_MAX;
  // The local parts keep milliseconds; the units below a millisecond are
  // the same in UTC and local time.
  return time_convert::LocalValue(static_cast<int32_t>(y), m, d, r.wHour, r.wMinute,
                                  r.wSecond + r.wMilliseconds / 1000.0) +
         t % kUnitsPerMs;
}

// t moved to day `dayNo` of week `weekNo`, time of day kept.
tv ToWeek(tv t, int64_t weekNo, uint32_t dayNo) {
  return OnDay(t, time_convert::Local(t), WeekZero() + 7 * weekNo + (dayNo - 1));
}

tv Midnight(const SYSTEMTIME& r, int64_t dayOffset) {
  return time_convert::LocalValue(r.wYear, r.wMonth, r.wDay + static_cast<int32_t>(dayOffset), 0,
                                  0, 0.0);
}

hm TimeOfDay(tv t) {
  SYSTEMTIME r = time_convert::Local(t);
  CheckRange(domains::hour, r.wHour);
  CheckRange(domains::minute, r.wMinute);
  return hm{r.wHour, r.wMinute};
}

struct Dhm {
  int64_t days, hours, minutes;
};
Dhm Split(int32_t minutes) {
  const int64_t n = minutes;
  return Dhm{n / 1440, n % 1440 / 60, n % 60};
}

}  // namespace

// --- shared helpers ---

SYSTEMTIME time_convert::Local(tv t) { return Formatter()->getlocaletime(t); }

tv time_convert::LocalValue(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                            double second) {
  return Formatter()->localinstant(year, month, day, hour, minute, second);
}

tv time_convert::AddDays(tv t, int64_t days) {
  SYSTEMTIME r = Local(t);
  return OnDay(t, r, DaysOf(r) + days);
}

uint32_t time_convert::DayNo(int32_t weekday) {
  const uint32_t n = static_cast<uint32_t>(weekday) + mytime::get_start_day();
  return n == 0 ? 7 : n;
}

int64_t time_convert::Minutes(tv from, tv to) {
  const int64_t units = to >= from ? static_cast<int64_t>(to - from)
                                   : -static_cast<int64_t>(from - to);
  return units / kUnitsPerMinute;
}

// --- dates and times of day ---

dt time_convert::tv_date(tv t) {
  SYSTEMTIME r = LocalDate(t);
  return dt{r.wYear, r.wMonth, r.wDay};
}

void time_convert::CheckDate(const dt& d) {
  CheckRange(domains::year, d.year);
  CheckRange(domains::month, d.month);
  CheckRange(domains::day, d.day);
}

tv time_convert::date_tv(const dt& d) {
  CheckDate(d);
  // An impossible date (30 February) is the time class's error, not the next month.
  if (static_cast<int32_t>(d.day) > cal::DaysInMonth(d.year, d.month))
    time_exception::raise_partsoutofrange(&tav::time::classInfo, d.year, d.month, d.day, 0, 0, 0.0);
  return LocalValue(d.year, d.month, d.day, 0, 0, 0.0);
}

hm time_convert::tv_time(tv t) { return TimeOfDay(t); }

bool time_convert::same_date(tv a, tv b) { return tv_date(a) == tv_date(b); }

bool time_convert::time_gt_hm(tv t, const hm& h) {
  const hm x = TimeOfDay(t);
  return x.hour * 60 + x.minute < h.hour * 60 + h.minute;
}

bool time_convert::time_lt_hm(tv t, const hm& h) {
  const hm x = TimeOfDay(t);
  return h.hour * 60 + h.minute < x.hour * 60 + x.minute;
}

// --- weeks and day numbers ---

uint32_t time_convert::tv_week_no(tv t) { return WeekNo(LocalDate(t)); }

uint32_t time_convert::tv_day_no(tv t, const wchar_t** dayName) {
  SYSTEMTIME r = LocalDate(t);
  const uint32_t n = DayNo(r.wDayOfWeek);
  CheckRange(domains::day_no, n);
  if (dayName) *dayName = Formatter()->format(gmtTime::new_(t), L"dddd");
  return n;
}

uint32_t time_convert::date_weekno_dayno(const dt& d, uint32_t* dayNo, const wchar_t** dayName) {
  const tv t = date_tv(d);
  const uint32_t week = tv_week_no(t);
  *dayNo = tv_day_no(t, dayName);
  return week;
}

tv time_convert::day_no_tv(tv t, uint32_t dayNo) {
  CheckRange(domains::day_no, dayNo);
  SYSTEMTIME r = LocalDate(t);
  return OnDay(t, r, DaysOf(r) + (int64_t{dayNo} - DayNo(r.wDayOfWeek)));
}

tv time_convert::week_no_tv(uint32_t weekNo) {
  int64_t y;
  int32_t m, d;
  cal::CivilFromDays(WeekZero() + 7 * int64_t{weekNo}, &y, &m, &d);
  return LocalValue(static_cast<int32_t>(y), m, d, 0, 0, 1.0);
}

tv time_convert::make_date_first_day_of_week(tv t) { return week_no_tv(tv_week_no(t)); }

tv time_convert::start_of_day(tv t) { return Midnight(LocalDate(t), 0); }

tv time_convert::start_of_tomorrow(tv t) { return Midnight(LocalDate(t), 1); }

tv time_convert::start_of_week(tv t) {
  SYSTEMTIME r = LocalDate(t);
  return Midnight(r, 1 - int64_t{DayNo(r.wDayOfWeek)});
}

tv time_convert::end_of_week(tv t) {
  SYSTEMTIME r = LocalDate(t);
  return LocalValue(r.wYear, r.wMonth, r.wDay + 7 - static_cast<int32_t>(DayNo(r.wDayOfWeek)), 23,
                    59, 59.0);
}

void time_convert::start_and_end_of_month(tv t, tv* start, tv* end) {
  SYSTEMTIME r = LocalDate(t);
  const tv s = LocalValue(r.wYear, r.wMonth, 1, 0, 0, 0.0);
  *end = LocalValue(r.wYear, r.wMonth, cal::DaysInMonth(r.wYear, r.wMonth), 23, 59, 59.0);
  *start = s;
}

tv time_convert::end_of_all_time() {
  const tv now = gmtTime::getcurrentgmttimevalue();
  SYSTEMTIME r = Local(now);
  return LocalValue(r.wYear + 10, 12, 31, r.wHour, r.wMinute,
                    r.wSecond + r.wMilliseconds / 1000.0);
}

// --- minutes ---

tv time_convert::tv_add_minutes(tv t, int32_t minutes) {
  gmtTime* g = gmtTime::new_(t);
  g->addinterval(timeInterval::new_(0, 0, minutes, 0.0));
  return g->getgmttime();
}

tv time_convert::tv_subtract_minutes(tv t, int32_t minutes) {
  gmtTime* g = gmtTime::new_(t);
  g->subtractinterval(timeInterval::new_(0, 0, minutes, 0.0));
  return g->getgmttime();
}

int32_t time_convert::duration_mins(tv from, tv to) {
  const int64_t m = Minutes(from, to);
  if (m < INT32_MIN || m > INT32_MAX) RaiseIntegerOverflow();
  return static_cast<int32_t>(m);
}

void time_convert::mins_to_dhm(int32_t minutes, uint32_t* days, uint32_t* hours, uint32_t* mins) {
  // A negative count has negative parts, which no unsigned result holds.
  const Dhm p = Split(minutes);
  CheckRange(tav::domains::unsigned_, p.days);
  CheckRange(domains::hour, p.hours);
  CheckRange(domains::minute, p.minutes);
  *days = static_cast<uint32_t>(p.days);
  *hours = static_cast<uint32_t>(p.hours);
  *mins = static_cast<uint32_t>(p.minutes);
}

const wchar_t* time_convert::mins_to_str(int32_t minutes) {
  const Dhm p = Split(minutes);
  const auto* integer = D(tav::domains::integer);
  if (p.days == 0 && p.hours == 0) {
    Qel::RunTime::Terms::TEllipsisArgs<1> a;
    a.SetValue(0, integer, static_cast<int32_t>(p.minutes));
    return string::format(L"% mins", a);
  }
  if (p.days == 0) {
    Qel::RunTime::Terms::TEllipsisArgs<2> a;
    a.SetValue(0, integer, static_cast<int32_t>(p.hours));
    a.SetValue(1, integer, static_cast<int32_t>(p.minutes));
    return string::format(L"%h %m ", a);
  }
  Qel::RunTime::Terms::TEllipsisArgs<3> a;
  a.SetValue(0, integer, static_cast<int32_t>(p.days));
  a.SetValue(1, integer, static_cast<int32_t>(p.hours));
  a.SetValue(2, integer, static_cast<int32_t>(p.minutes));
  return string::format(L"%d %h %m ", a);
}

uint32_t time_convert::tv_minutes(tv t) {
  // Whole hours since 1950-01-01 00:00 UTC, times 60.
  const tv epoch = static_cast<tv>(cal::DaysFromCivil(1950, 1, 1)) * 1440 * kUnitsPerMinute;
  const int64_t hours = Minutes(epoch, t) / 60;
  CheckRange(tav::domains::unsigned_, hours * 60);
  return static_cast<uint32_t>(hours * 60);
}

// --- parsing and comparisons of objects ---

bool time_convert::str_tv(const wchar_t* text, tv* t) {
  gmtTime* g = gmtTime::new_();
  timeFormatter* f = timeFormatter::new_();
  if (TrapAndForget([&] { f->setfromstring(g, text); }) != 0) return false;
  *t = g->getgmttime();
  return true;
}

bool time_convert::first_is_before_second(const gmtTime* first, const gmtTime* second,
                                          uint32_t* minutes) {
  const int64_t m = Minutes(first->getgmttime(), second->getgmttime());
  if (m < 0) return false;
  CheckRange(tav::domains::unsigned_, m);
  if (minutes) *minutes = static_cast<uint32_t>(m);
  return true;
}

bool time_convert::first_is_between_absolute(const gmtTime* x, const gmtTime* low,
                                             const gmtTime* high) {
  return first_is_before_second(low, x, nullptr) && first_is_before_second(x, high, nullptr);
}

bool time_convert::first_is_between_within_week(const gmtTime* t, const gmtTime* start,
                                                const gmtTime* end, uint32_t* minutes) {
  const SYSTEMTIME rt = LocalDate(t->getgmttime()), rs = LocalDate(start->getgmttime()),
                   re = LocalDate(end->getgmttime());
  const uint32_t ws = WeekNo(rs), ds = DayNo(rs.wDayOfWeek);
  // A day before the start's day belongs to the following week.
  auto lay = [&](tv v, const SYSTEMTIME& r) {
    const uint32_t d = DayNo(r.wDayOfWeek);
    const int64_t week = d >= ds ? ws : ws >= 1 ? int64_t{ws} + 1 : ws;
    return gmtTime::new_(ToWeek(v, week, d));
  };
  const gmtTime* e = lay(end->getgmttime(), re);
  const gmtTime* x = lay(t->getgmttime(), rt);
  if (!first_is_between_absolute(x, start, e)) return false;
  return first_is_before_second(x, e, minutes);
}

}  // namespace rizediveva6
