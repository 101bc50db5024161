// Slot-period arithmetic over the time helpers' week numbers.
#include "kalmoradb/sp_calendar.h"

#include "unit.h"

namespace all {

using rizediveva6::CheckRange;
using rizediveva6::time_convert;
namespace rz = rizediveva6::domains;
using tav::TrySolution;

uint32_t sp_calendar::weeks_offset(tv start) { return time_convert::tv_week_no(start) - 1; }

uint32_t sp_calendar::period_week_no(uint32_t offset, uint32_t period) { return offset + period; }

bool sp_calendar::week_no_period(uint32_t offset, uint32_t week, uint32_t* period) {
  if (week <= offset) return false;
  const uint32_t p = week - offset;
  CheckRange(domains::period_no, p);
  *period = p;
  return true;
}

dt sp_calendar::sp_dt(uint32_t offset, const sp& s) {
  CheckSp(s);
  const tv first = time_convert::week_no_tv(period_week_no(offset, s.period));
  return time_convert::tv_date(time_convert::day_no_tv(first, s.day));
}

bool sp_calendar::dt_sp(uint32_t offset, const dt& d, sp* out) {
  uint32_t day = 0, period = 0;
  const uint32_t week = time_convert::date_weekno_dayno(d, &day, nullptr);
  if (!week_no_period(offset, week, &period)) return false;
  *out = sp{day, period, 1};
  return true;
}

bool sp_calendar::next_day(uint32_t duration, const sp& s, sp* out) {
  if (s.day < 7) {
    *out = sp{s.day + 1, s.period, s.slot};
    return true;
  }
  if (s.period >= duration) return false;
  CheckRange(domains::period_no, s.period + 1);
  *out = sp{1, s.period + 1, s.slot};
  return true;
}

bool sp_calendar::prev_day(const sp& s, sp* out) {
  if (s.day > 1) {
    *out = sp{s.day - 1, s.period, s.slot};
    return true;
  }
  if (s.period <= 1) return false;
  *out = sp{7, s.period - 1, s.slot};
  return true;
}

bool sp_calendar::nd_sp(const roster_frame& f, const sp& from, tav::Each<sp> k) {
  for (uint32_t p = from.period; p <= f.duration; ++p)
    for (uint32_t s = from.slot; s <= f.slots; ++s)
      for (uint32_t d = from.day; d <= 7; ++d) {
        const sp x{d, p, s};
        CheckSp(x);
        if (TrySolution(k, x)) return true;
      }
  return false;
}

bool sp_calendar::nd_sp_week(const roster_frame& f, const sp& from, tav::Each<sp> k) {
  for (uint32_t s = from.slot; s <= f.slots; ++s)
    for (uint32_t d = from.day; d <= 7; ++d)
      for (uint32_t p = from.period; p <= f.duration; ++p) {
        const sp x{d, p, s};
        CheckSp(x);
        if (TrySolution(k, x)) return true;
      }
  return false;
}

bool sp_calendar::nd_day_slots(uint32_t slots, tav::Each<sd> k) {
  CheckRange(domains::slot_dom, slots);
  for (uint32_t d = 1; d <= 7; ++d)
    for (uint32_t s = slots; s >= 1; --s)
      if (TrySolution(k, sd{d, s})) return true;
  return false;
}

tv sp_calendar::end_date(tv start, uint32_t duration) {
  return time_convert::AddDays(start, 7 * int64_t{duration});
}

}  // namespace all
