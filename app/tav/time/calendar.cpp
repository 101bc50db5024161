// Calendar arithmetic: civil dates to day counts and back by the era method
// (400-year cycles), so every conversion takes constant time.
#include "time/calendar.h"

#include <cmath>

namespace tav::cal {

bool IsLeap(int64_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

int32_t DaysInMonth(int64_t year, int32_t month) {
  static const int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01, shifted to 1601-01-01.
constexpr int64_t k1601 = 134774;

int64_t DaysFromCivil(int64_t y, int32_t m, int32_t d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + k1601;
}

void CivilFromDays(int64_t days, int64_t* year, int32_t* month, int32_t* day) {
  const int64_t z = days - k1601 + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  *year = yoe + era * 400 + (*month <= 2);
}

bool PartsToMs(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
               double second, int64_t* ms) {
  // Beyond 2^50 ms every result lies far outside the range.
  if (!std::isfinite(second) || std::fabs(second) > 1e12) return false;
  const int64_t secondMs = std::llround(second * 1000.0);
  const int64_t m0 = month - 1;
  const int64_t y = year + FloorDiv(m0, 12);
  if (y < -1000000 || y > 1000000) return false;
  const int64_t days = DaysFromCivil(y, static_cast<int32_t>(FloorMod(m0, 12) + 1), 1) + day - 1;
  const int64_t minutes =
      days * kMinutesPerDay + hour * 60 + minute + FloorDiv(secondMs, kMsPerMinute);
  if (minutes < 0 || minutes >= kDaysInRange * kMinutesPerDay) return false;
  *ms = minutes * kMsPerMinute + FloorMod(secondMs, kMsPerMinute);
  return true;
}

SYSTEMTIME RecordOfMs(int64_t ms) {
  const int64_t days = FloorDiv(ms, 86400000);
  int64_t rest = ms - days * 86400000;
  int64_t y;
  int32_t m, d;
  CivilFromDays(days, &y, &m, &d);
  SYSTEMTIME r;
  r.wYear = static_cast<WORD>(y);
  r.wMonth = static_cast<WORD>(m);
  r.wDay = static_cast<WORD>(d);
  r.wDayOfWeek = static_cast<WORD>(DayOfWeek(days));
  r.wHour = static_cast<WORD>(rest / 3600000);
  rest %= 3600000;
  r.wMinute = static_cast<WORD>(rest / 60000);
  rest %= 60000;
  r.wSecond = static_cast<WORD>(rest / 1000);
  r.wMilliseconds = static_cast<WORD>(rest % 1000);
  return r;
}

}  // namespace tav::cal
