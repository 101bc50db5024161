// Time and week conversions: the week and day tables of every day
// 2000-2040 against Python's calendar and zones, week numbers at year ends,
// day numbers, range errors, minutes and intervals, month ends.
#include <cstdlib>
#include <cstring>
#include <string>

#include "SYSTEM/timepack/mytime.h"
#include "SYSTEM/timepack/time_convert.h"
#include "rz_test.h"

using namespace rztest;

namespace {

struct OffsetChange {
  int year, month, day, offset;  // minutes east of UTC at 00:00:01 local
};
struct WeekAnchor {
  uint32_t week, day;  // of 2000-01-01
};
#include "time_vectors.inc"
const OffsetChange kUtc[] = {{2000, 1, 1, 0}};

constexpr int64_t kSecond = 10000000;

// The zone this run was started in, and from which year its vectors hold:
// the system's zone carries one rule, which New York and Sydney adopted in
// 2007 and 2008.
struct Zone {
  const OffsetChange* changes;
  size_t count;
  int comparedFrom;
};
Zone RunZone() {
  const char* tz = getenv("TZ");
  std::string z = tz ? tz : "";
  if (z == "Europe/London") return {kLondon, std::size(kLondon), 2000};
  if (z == "America/New_York") return {kNewYork, std::size(kNewYork), 2008};
  if (z == "Australia/Sydney") return {kSydney, std::size(kSydney), 2008};
  return {kUtc, 1, 2000};
}

uint64_t Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0) {
  SYSTEMTIME r{y, mo, 0, d, h, mi, s, 0};
  FILETIME ft;
  SystemTimeToFileTime(&r, &ft);
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}

// Local midnight plus one second of a date, from the vectors where they
// hold, else from the time class.
uint64_t FirstSecond(const Zone& z, const dt& d) {
  if (static_cast<int>(d.year) < z.comparedFrom)
    return tav::time::new_(d.year, d.month, d.day, 0, 0, 1.0)->getgmttime();
  int offset = z.changes[0].offset;
  for (size_t i = 0; i < z.count; ++i) {
    const OffsetChange& c = z.changes[i];
    if (std::make_tuple(c.year, c.month, c.day) <= std::make_tuple<int, int, int>(d.year, d.month, d.day))
      offset = c.offset;
  }
  return Utc(d.year, d.month, d.day, 0, 0, 1) - int64_t{offset} * 60 * kSecond;
}

dt NextDay(const dt& d) {
  SYSTEMTIME r;
  const uint64_t t = Utc(d.year, d.month, d.day) + 86400 * kSecond;
  FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  FileTimeToSystemTime(&ft, &r);
  return dt{r.wYear, r.wMonth, r.wDay};
}

std::string Show(const dt& d) {
  return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
}

using WeekTables = Rz;

// Every day 2000-2040 under both week starts: the week number and day number
// at the day's first and last second, consecutive weeks with consecutive
// numbers, week_no_tv and day_no_tv as exact inverses, next midnights, across
// both daylight-saving changes of the run's zone.
TEST_F(WeekTables, EveryDayOfFortyYears) {
  const Zone zone = RunZone();
  for (uint32_t start : {0u, 1u}) {
    SCOPED_TRACE(start);
    mytime::set_start_day(start);
    const WeekAnchor anchor = start == 0 ? kAnchor0 : kAnchor1;
    uint32_t week = anchor.week, day = anchor.day;
    uint64_t weekFirst = 0, previous = 0;
    int failures = 0;
    auto expect = [&](bool ok, const dt& d, const char* what) {
      if (ok || ++failures > 5) return;
      ADD_FAILURE() << what << " on " << Show(d);
    };
    for (dt d{2000, 1, 1}; d.year <= 2040; d = NextDay(d)) {
      const uint64_t first = FirstSecond(zone, d);
      if (day == 1) weekFirst = first;
      const uint32_t code = RunTrapped([&] {
        expect(time_convert::tv_date(first) == d, d, "tv_date");
        expect(time_convert::tv_week_no(first) == week, d, "tv_week_no");
        expect(time_convert::tv_day_no(first, nullptr) == day, d, "tv_day_no");
        uint32_t dayNo = 0;
        expect(time_convert::date_weekno_dayno(d, &dayNo, nullptr) == week && dayNo == day, d,
               "date_weekno_dayno");
        expect(time_convert::date_tv(d) == first - kSecond, d, "date_tv");
        expect(time_convert::start_of_day(first) == first - kSecond, d, "start_of_day");
        if (weekFirst) {
          expect(time_convert::week_no_tv(week) == weekFirst, d, "week_no_tv");
          expect(time_convert::day_no_tv(weekFirst, day) == first, d, "day_no_tv");
          expect(time_convert::day_no_tv(first, 1) == weekFirst, d, "day_no_tv back");
          expect(time_convert::make_date_first_day_of_week(first) == weekFirst, d,
                 "make_date_first_day_of_week");
          expect(time_convert::start_of_week(first) == weekFirst - kSecond, d, "start_of_week");
        }
        if (previous) {
          // The previous day's last second is still in the previous day's week.
          const uint64_t late = first - 2 * kSecond;
          const uint32_t lateDay = day == 1 ? 7 : day - 1;
          expect(time_convert::tv_day_no(late, nullptr) == lateDay, d, "last second's day");
          expect(time_convert::tv_week_no(late) == (day == 1 ? week - 1 : week), d,
                 "last second's week");
          expect(time_convert::start_of_tomorrow(previous) == first - kSecond, d,
                 "start_of_tomorrow");
          expect(time_convert::end_of_week(previous) ==
                     (lateDay == 7 ? late : time_convert::end_of_week(late)), d, "end_of_week");
        }
      });
      expect(code == 0, d, "an error");
      previous = first;
      if (++day == 8) day = 1, ++week;
    }
    EXPECT_EQ(failures, 0);
  }
  mytime::set_start_day(0);
}

TEST_F(WeekTables, WeekZeroHoldsTheFirstOf1950AndYearEndsDoNotSplit) {
  for (uint32_t start : {0u, 1u}) {
    mytime::set_start_day(start);
    const uint64_t jan1 = time_convert::date_tv(dt{1950, 1, 1});
    EXPECT_EQ(time_convert::tv_week_no(jan1), 0u);
    EXPECT_EQ(time_convert::tv_date(time_convert::week_no_tv(52)),
              time_convert::tv_date(time_convert::week_no_tv(0) + 364ull * 86400 * kSecond));
    // Weeks with 53 ISO weeks in their year: the last week of December and
    // its January days share one number, the next week has the next.
    for (uint32_t year : {2015u, 2020u, 2026u, 2032u}) {
      SCOPED_TRACE(year);
      const uint32_t w = time_convert::tv_week_no(time_convert::date_tv(dt{year, 12, 31}));
      const uint64_t first = time_convert::week_no_tv(w);
      for (int k = 0; k < 7; ++k)
        EXPECT_EQ(time_convert::tv_week_no(first + k * 86400ull * kSecond), w);
      EXPECT_EQ(time_convert::tv_week_no(time_convert::week_no_tv(w + 1)), w + 1);
    }
  }
  mytime::set_start_day(0);
}

TEST_F(WeekTables, DayNumbersFollowTheWeekStart) {
  // 2011-03-06 is a Sunday.
  struct Case {
    uint32_t start, day, expected;
  } cases[] = {{0, 6, 7}, {0, 7, 1}, {0, 12, 6}, {1, 6, 1}, {1, 7, 2}, {1, 12, 7}};
  for (const Case& c : cases) {
    mytime::set_start_day(c.start);
    const wchar_t* name = nullptr;
    EXPECT_EQ(time_convert::tv_day_no(time_convert::date_tv(dt{2011, 3, c.day}), &name), c.expected)
        << c.start << " " << c.day;
    EXPECT_NE(name, nullptr);
  }
  mytime::set_start_day(0);
  EXPECT_TRUE(IsRangeError(RunTrapped([] { mytime::set_start_day(2); })));
  EXPECT_EQ(mytime::get_start_day(), 0u);
}

TEST_F(WeekTables, ValuesOutsideTheirRangesRaise) {
  const uint64_t before = time_convert::date_tv(dt{1950, 1, 1}) - kSecond;
  const uint64_t after = tav::time::new_(2051, 1, 1, 0, 0, 0.0)->getgmttime();
  struct Case {
    const char* name;
    std::function<void()> call;
  } cases[] = {
      {"tv_date 1949", [&] { time_convert::tv_date(before); }},
      {"tv_date 2051", [&] { time_convert::tv_date(after); }},
      {"tv_week_no 1949", [&] { time_convert::tv_week_no(before); }},
      {"tv_day_no 2051", [&] { time_convert::tv_day_no(after, nullptr); }},
      {"date_tv month 13", [] { time_convert::date_tv(dt{2000, 13, 1}); }},
      {"date_tv day 32", [] { time_convert::date_tv(dt{2000, 1, 32}); }},
      {"date_tv 1949", [] { time_convert::date_tv(dt{1949, 12, 31}); }},
      {"day_no_tv 0", [] { time_convert::day_no_tv(time_convert::week_no_tv(3000), 0); }},
      {"day_no_tv 8", [] { time_convert::day_no_tv(time_convert::week_no_tv(3000), 8); }},
      {"mins_to_dhm -1",
       [] {
         uint32_t d, h, m;
         time_convert::mins_to_dhm(-1, &d, &h, &m);
       }},
      {"tv_minutes 1949", [] { time_convert::tv_minutes(Utc(1949, 12, 31, 22, 59)); }},
      {"dt_str day 0", [] { mytime::dt_str(dt{2000, 1, 0}); }},
  };
  for (const Case& c : cases) EXPECT_TRUE(IsRangeError(RunTrapped(c.call))) << c.name;
  // Past the time class's range: its error, never a wrapped date.
  uint64_t t = 0;
  EXPECT_NE(RunTrapped([&] { t = time_convert::week_no_tv(0xFFFFFFFFu); }), 0u);
  EXPECT_EQ(t, 0u);
  EXPECT_NE(RunTrapped([&] { t = time_convert::week_no_tv(500000); }), 0u);  // year 11532
  // 30 February is the time class's error, not a range error nor 2 March.
  const uint32_t feb30 = RunTrapped([] { time_convert::date_tv(dt{2001, 2, 30}); });
  EXPECT_NE(exception::trygetdescriptor(feb30, &time_exception::partsoutofrange), nullptr);
}

TEST_F(WeekTables, MinutesIntervalsAndComparisons) {
  const uint64_t t0 = Utc(2011, 3, 5, 9, 30);
  EXPECT_EQ(time_convert::duration_mins(t0, t0 + 59 * kSecond), 0);
  EXPECT_EQ(time_convert::duration_mins(t0, t0 - 90 * kSecond), -1);
  EXPECT_EQ(time_convert::duration_mins(t0, t0 + 3 * 86400 * kSecond), 3 * 1440);
  EXPECT_EQ(time_convert::tv_add_minutes(t0, 61), t0 + 61 * 60 * kSecond);
  EXPECT_EQ(time_convert::tv_subtract_minutes(t0, -5), t0 + 5 * 60 * kSecond);
  // Thousands of years in minutes do not fit an integer: overflow, not a wrapped count.
  EXPECT_NE(RunTrapped([&] { time_convert::duration_mins(Utc(1601, 1, 1), Utc(9000, 1, 1)); }),
            0u);

  auto g = [](uint64_t v) { return tav::gmtTime::new_(v); };
  uint32_t m = 99;
  EXPECT_TRUE(time_convert::first_is_before_second(g(t0), g(t0 - 30 * kSecond), &m));
  EXPECT_EQ(m, 0u);
  EXPECT_FALSE(time_convert::first_is_before_second(g(t0), g(t0 - 60 * kSecond), &m));
  EXPECT_TRUE(time_convert::first_is_before_second(g(t0), g(t0 + 150 * kSecond), &m));
  EXPECT_EQ(m, 2u);
  EXPECT_TRUE(time_convert::first_is_between_absolute(g(t0), g(t0), g(t0)));
  EXPECT_FALSE(time_convert::first_is_between_absolute(g(t0 - 120 * kSecond), g(t0), g(t0)));

  struct Dhm {
    int32_t n;
    uint32_t d, h, mi;
  } dhm[] = {{0, 0, 0, 0}, {45, 0, 0, 45}, {61, 0, 1, 1}, {1500, 1, 1, 0}, {1439, 0, 23, 59},
             {2147483647, 1491308, 2, 7}};
  for (const Dhm& c : dhm) {
    uint32_t d, h, mi;
    time_convert::mins_to_dhm(c.n, &d, &h, &mi);
    EXPECT_EQ(std::make_tuple(d, h, mi), std::make_tuple(c.d, c.h, c.mi)) << c.n;
  }
  struct Text {
    int32_t n;
    const wchar_t* text;
  } texts[] = {{45, L"45 mins"},          {0, L"0 mins"},
               {61, L"1h 1m "},           {1500, L"1 1h 0m "},
               {-61, L"-1h -1m "},        {-2147483647 - 1, L"-1491308 -2h -8m "}};
  for (const Text& c : texts) EXPECT_STREQ(time_convert::mins_to_str(c.n), c.text) << c.n;

  // Hours since 1950-01-01 UTC times 60: the minutes of the hour are not counted.
  EXPECT_EQ(time_convert::tv_minutes(Utc(1950, 1, 2, 1, 59)), 25u * 60);
}

TEST_F(WeekTables, TimesOfDayAndMonthEnds) {
  const uint64_t t = tav::time::new_(2011, 3, 5, 9, 30, 0.0)->getgmttime();
  const hm ten{10, 0}, nine{9, 0}, same{9, 30};
  EXPECT_TRUE(time_convert::time_gt_hm(t, ten));
  EXPECT_FALSE(time_convert::time_lt_hm(t, ten));
  EXPECT_TRUE(time_convert::time_lt_hm(t, nine));
  EXPECT_FALSE(time_convert::time_gt_hm(t, same));
  EXPECT_FALSE(time_convert::time_lt_hm(t, same));
  const hm h = time_convert::tv_time(t + 59 * kSecond);
  EXPECT_EQ(std::make_pair(h.hour, h.minute), std::make_pair(9u, 30u));
  EXPECT_TRUE(time_convert::same_date(t, t + 3600 * kSecond));
  EXPECT_FALSE(time_convert::same_date(t, t + 86400 * kSecond));

  struct Month {
    dt day;
    uint32_t last;
  } months[] = {{{2012, 2, 10}, 29}, {{2011, 2, 10}, 28}, {{2000, 2, 1}, 29},
                {{2011, 6, 30}, 30}, {{2011, 7, 1}, 31},  {{2011, 12, 31}, 31}};
  for (const Month& c : months) {
    uint64_t s, e;
    time_convert::start_and_end_of_month(time_convert::date_tv(c.day) + 3600 * kSecond, &s, &e);
    EXPECT_EQ(s, time_convert::date_tv(dt{c.day.year, c.day.month, 1}));
    EXPECT_EQ(e, time_convert::date_tv(dt{c.day.year, c.day.month, c.last}) +
                     (86400 - 1) * kSecond)
        << Show(c.day);
  }
  // Ten years on, on December 31.
  const dt end = time_convert::tv_date(time_convert::end_of_all_time());
  const dt now = time_convert::tv_date(tav::gmtTime::getcurrentgmttimevalue());
  EXPECT_EQ(std::make_tuple(end.year, end.month, end.day), std::make_tuple(now.year + 10, 12u, 31u));
}

TEST_F(WeekTables, LayingTimesOnTheWeekOfAStart) {
  mytime::set_start_day(0);
  auto at = [](uint32_t d, uint32_t h) {
    return tav::gmtTime::new_(tav::time::new_(2011, 3, d, h, 0, 0.0)->getgmttime());
  };
  // 2011-03-07 is a Monday.  Start Wednesday 08:00, end Friday 18:00.
  uint32_t minutes = 0;
  EXPECT_TRUE(time_convert::first_is_between_within_week(at(17, 12), at(9, 8), at(11, 18), &minutes));
  EXPECT_EQ(minutes, (24 + 6) * 60u);  // laid on Thursday 10th 12:00, to Friday 18:00
  EXPECT_FALSE(time_convert::first_is_between_within_week(at(12, 12), at(9, 8), at(11, 18), &minutes));
  // An end before the start's day lies in the following week (Wednesday to Monday).
  EXPECT_TRUE(time_convert::first_is_between_within_week(at(20, 12), at(9, 8), at(7, 18), &minutes));
  EXPECT_EQ(minutes, (24 + 6) * 60u);
}

TEST_F(WeekTables, TextsReadAsDateAndTime) {
  uint64_t t = 0;
  EXPECT_FALSE(time_convert::str_tv(L"no date at all", &t));
  EXPECT_EQ(Entries().size(), 0u);  // the parse error was handled
  const uint64_t now = tav::gmtTime::getcurrentgmttimevalue();
  const wchar_t* text = tav::time::new_(tav::gmtTime::new_(now))->formatshortdate();
  ASSERT_TRUE(time_convert::str_tv(text, &t)) << Narrow(text);
  EXPECT_TRUE(time_convert::same_date(t, now));
}

}  // namespace
