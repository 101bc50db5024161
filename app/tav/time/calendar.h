// Calendar arithmetic of the time package (proleptic Gregorian, days counted
// from 1601-01-01, a Monday).  All counts are 64-bit, so any 32-bit part or
// carry is computed without overflow before the range check.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tav::cal {

constexpr int64_t kUnitsPerMs = 10000;
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kUnitsPerMinute = 600000000;
constexpr int64_t kMsPerMinute = 60000;
constexpr int64_t kMinutesPerDay = 1440;

inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
inline int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

bool IsLeap(int64_t year);
int32_t DaysInMonth(int64_t year, int32_t month);  // month 1..12
int64_t DaysFromCivil(int64_t year, int32_t month, int32_t day);
void CivilFromDays(int64_t days, int64_t* year, int32_t* month, int32_t* day);
// Sunday = 0.
inline int32_t DayOfWeek(int64_t days) { return static_cast<int32_t>(FloorMod(days + 1, 7)); }
// Days of years 1601..9999.
constexpr int64_t kDaysInRange = 3067671;

// Parts as given, rolled over into milliseconds since 1601-01-01 00:00;
// false when the result lies outside 1601..9999 or the seconds are not a
// finite number within reach.
bool PartsToMs(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
               double second, int64_t* ms);
// A record of milliseconds since 1601 (0 <= ms within range), day of week
// filled.
SYSTEMTIME RecordOfMs(int64_t ms);
inline int64_t MsOfRecord(const SYSTEMTIME& r) {
  return ((DaysFromCivil(r.wYear, r.wMonth, r.wDay) * 24 + r.wHour) * 60 + r.wMinute) * 60000 +
         r.wSecond * 1000 + r.wMilliseconds;
}

}  // namespace tav::cal
