// Slot-period arithmetic over the small roster (16 weeks from Monday
// 2026-10-05: over the October clock changes of London and New York and
// over the year end), with both week-start days; the program runs under
// two zones and two locales (Sunday-first en-US, Monday-first en-GB).
#include <cstdlib>
#include <string>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "all_test.h"
#include "kalmoradb/sp_calendar.h"

using namespace alltest;
using rizediveva6::mytime;
using rizediveva6::time_convert;

namespace {

// The next civil date, counted here without the time helpers.
dt NextDate(dt d) {
  static const uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = d.year % 4 == 0 && (d.year % 100 != 0 || d.year % 400 == 0);
  const uint32_t last = d.month == 2 && leap ? 29 : kDays[d.month - 1];
  if (++d.day <= last) return d;
  d.day = 1;
  if (++d.month <= 12) return d;
  d.month = 1;
  ++d.year;
  return d;
}
dt AddDays(dt d, int n) {
  while (n-- > 0) d = NextDate(d);
  return d;
}

std::string Str(const dt& d) {
  return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
}
std::string Str(const sp& s) {
  return "sp(" + std::to_string(s.day) + "," + std::to_string(s.period) + "," + std::to_string(s.slot) + ")";
}

constexpr dt kStart{2026, 10, 5};  // a Monday

class Calendar : public Model {
 protected:
  void TearDown() override {
    mytime::set_start_day(0);
    Model::TearDown();
  }
  // The stored start of the small roster under a week-start day: the first
  // day of the week of a Wednesday in it, as the header stores it.
  static tv StoredStart(uint32_t startDay) {
    mytime::set_start_day(startDay);
    return time_convert::make_date_first_day_of_week(time_convert::date_tv(dt{2026, 10, 7}));
  }
};

TEST_F(Calendar, TheRunsLocaleIsTheOneItWasStartedIn) {
  // en-US weeks start on Sunday, en-GB weeks on Monday; neither moves a roster.
  const char* lang = getenv("LANG");
  const std::string l = lang ? lang : "";
  if (l.rfind("en_GB", 0) == 0) {
    EXPECT_EQ(GetUserDefaultLCID(), 0x809u);
  } else if (l.rfind("C.", 0) == 0 || l.rfind("en_US", 0) == 0) {
    EXPECT_EQ(GetUserDefaultLCID(), 0x409u);
  }
}

TEST_F(Calendar, EveryDayOfTheSmallRosterMapsToItsSlotPeriodAndBack) {
  for (uint32_t startDay : {0u, 1u}) {
    SCOPED_TRACE("start day " + std::to_string(startDay));
    uint32_t offset = 0;
    const dt first = startDay == 0 ? kStart : dt{2026, 10, 4};
    ASSERT_EQ(CodeOf([&] {
      const tv start = StoredStart(startDay);
      EXPECT_EQ(time_convert::tv_date(start), first);
      offset = sp_calendar::weeks_offset(start);
    }), 0u);
    dt d = first;
    for (uint32_t i = 0; i < 16 * 7; ++i, d = NextDate(d)) {
      const sp want{i % 7 + 1, i / 7 + 1, 1};
      sp got{}, next{};
      dt back{};
      bool found = false, stepped = false;
      ASSERT_EQ(CodeOf([&] {
        found = sp_calendar::dt_sp(offset, d, &got);
        back = sp_calendar::sp_dt(offset, want);
        stepped = sp_calendar::next_day(16, want, &next);
      }), 0u) << Str(d);
      ASSERT_TRUE(found) << Str(d);
      EXPECT_EQ(got, want) << Str(d) << " gave " << Str(got);
      EXPECT_EQ(back, d) << Str(want) << " gave " << Str(back);
      // Consecutive days step by one slot-period.
      if (i + 1 < 16 * 7) {
        EXPECT_TRUE(stepped);
        EXPECT_EQ(next, (sp{(i + 1) % 7 + 1, (i + 1) / 7 + 1, 1})) << Str(d);
      } else {
        EXPECT_FALSE(stepped);
      }
    }
  }
}

TEST_F(Calendar, HandCheckedDatesOfTheSmallRoster) {
  struct Row {
    uint32_t startDay;
    sp at;
    dt date;
  };
  const Row rows[] = {
      {0, {1, 1, 1}, {2026, 10, 5}},   {0, {7, 3, 2}, {2026, 10, 25}},  // London's change
      {0, {7, 4, 1}, {2026, 11, 1}},   {0, {1, 5, 3}, {2026, 11, 2}},   // New York's change
      {0, {5, 12, 1}, {2026, 12, 25}}, {0, {6, 12, 1}, {2026, 12, 26}},
      {0, {7, 12, 1}, {2026, 12, 27}}, {0, {1, 13, 1}, {2026, 12, 28}},
      {0, {5, 13, 1}, {2027, 1, 1}},   {0, {7, 16, 1}, {2027, 1, 24}},
      {1, {1, 1, 1}, {2026, 10, 4}},   {1, {2, 1, 1}, {2026, 10, 5}},
      {1, {1, 4, 1}, {2026, 10, 25}},  {1, {1, 5, 1}, {2026, 11, 1}},
      {1, {6, 12, 1}, {2026, 12, 25}}, {1, {7, 12, 1}, {2026, 12, 26}},
      {1, {1, 13, 1}, {2026, 12, 27}}, {1, {6, 13, 1}, {2027, 1, 1}},
      {1, {7, 16, 1}, {2027, 1, 23}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.startDay) + " " + Str(r.at));
    dt got{};
    sp back{};
    ASSERT_EQ(CodeOf([&] {
      const uint32_t offset = sp_calendar::weeks_offset(StoredStart(r.startDay));
      got = sp_calendar::sp_dt(offset, r.at);
      ASSERT_TRUE(sp_calendar::dt_sp(offset, r.date, &back));
    }), 0u);
    EXPECT_EQ(got, r.date) << Str(got);
    EXPECT_EQ(back, (sp{r.at.day, r.at.period, 1})) << Str(back);
  }
}

TEST_F(Calendar, DatesOutsideTheRosterAndTheYearRange) {
  uint32_t offset = 0;
  ASSERT_EQ(CodeOf([&] { offset = sp_calendar::weeks_offset(StoredStart(0)); }), 0u);
  sp s{};
  // The week before the start week: no slot-period.
  bool found = true;
  ASSERT_EQ(CodeOf([&] { found = sp_calendar::dt_sp(offset, dt{2026, 10, 4}, &s); }), 0u);
  EXPECT_FALSE(found);
  // After the roster's last week: no check against the duration, up to period 104.
  ASSERT_EQ(CodeOf([&] { found = sp_calendar::dt_sp(offset, AddDays(kStart, 104 * 7 - 1), &s); }), 0u);
  EXPECT_TRUE(found);
  EXPECT_EQ(s, (sp{7, 104, 1}));
  EXPECT_EQ(AddDays(kStart, 104 * 7), (dt{2028, 10, 2}));
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::dt_sp(offset, dt{2028, 10, 2}, &s); })));
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::dt_sp(offset, dt{2051, 1, 1}, &s); })));
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::dt_sp(offset, dt{1949, 12, 31}, &s); })));
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::sp_dt(offset, sp{8, 1, 1}); })));
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::sp_dt(offset, sp{1, 105, 1}); })));
  // A week number beyond period 104 raises; one at or before the offset fails.
  uint32_t period = 0;
  EXPECT_TRUE(IsRangeError(CodeOf([&] { sp_calendar::week_no_period(offset, offset + 105, &period); })));
  EXPECT_FALSE(sp_calendar::week_no_period(offset, offset, &period));
  EXPECT_TRUE(sp_calendar::week_no_period(offset, offset + 1, &period));
  EXPECT_EQ(period, 1u);
}

TEST_F(Calendar, StepsAtTheRostersEnds) {
  struct Row {
    const char* what;
    bool forward;
    sp from;
    bool ok;
    sp to;
  };
  const Row rows[] = {
      {"next of the last day", true, {7, 10, 2}, false, {}},
      {"next into the last week", true, {7, 9, 2}, true, {1, 10, 2}},
      {"next within a week", true, {3, 4, 1}, true, {4, 4, 1}},
      {"previous of the first day", false, {1, 1, 3}, false, {}},
      {"previous into the week before", false, {1, 2, 3}, true, {7, 1, 3}},
      {"previous within a week", false, {5, 2, 1}, true, {4, 2, 1}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    sp to{};
    bool ok = false;
    ASSERT_EQ(CodeOf([&] {
      ok = r.forward ? sp_calendar::next_day(10, r.from, &to) : sp_calendar::prev_day(r.from, &to);
    }), 0u);
    EXPECT_EQ(ok, r.ok);
    if (r.ok) {
      EXPECT_EQ(to, r.to) << Str(to);
    }
  }
  // Past period 104 the step raises.
  EXPECT_TRUE(IsRangeError(CodeOf([] { sp to; sp_calendar::next_day(200, sp{7, 104, 1}, &to); })));
}

TEST_F(Calendar, EnumerationOrders) {
  auto collect = [](auto nd) {
    std::vector<sp> all;
    EXPECT_EQ(CodeOf([&] {
      nd([&](sp s) {
        all.push_back(s);
        tav::K::Fail();
      });
    }), 0u);
    return all;
  };
  const roster_frame f{2, 3};
  std::vector<sp> whole = collect([&](auto k) { return sp_calendar::nd_sp(f, sp{1, 1, 1}, k); });
  ASSERT_EQ(whole.size(), 42u);
  for (uint32_t d = 1; d <= 7; ++d) EXPECT_EQ(whole[d - 1], (sp{d, 1, 1}));
  EXPECT_EQ(whole[7], (sp{1, 1, 2}));
  EXPECT_EQ(whole[21], (sp{1, 2, 1}));
  EXPECT_EQ(whole.back(), (sp{7, 2, 3}));
  // Every component restarts at From's value.
  std::vector<sp> part = collect([&](auto k) { return sp_calendar::nd_sp(f, sp{6, 1, 2}, k); });
  EXPECT_EQ(part, (std::vector<sp>{{6, 1, 2}, {7, 1, 2}, {6, 1, 3}, {7, 1, 3},
                                   {6, 2, 2}, {7, 2, 2}, {6, 2, 3}, {7, 2, 3}}));
  std::vector<sp> byWeek = collect([&](auto k) { return sp_calendar::nd_sp_week(f, sp{1, 1, 1}, k); });
  ASSERT_EQ(byWeek.size(), 42u);
  EXPECT_EQ(byWeek[0], (sp{1, 1, 1}));
  EXPECT_EQ(byWeek[1], (sp{1, 2, 1}));
  EXPECT_EQ(byWeek[2], (sp{2, 1, 1}));
  EXPECT_EQ(byWeek[14], (sp{1, 1, 2}));

  std::vector<sd> daySlots;
  EXPECT_EQ(CodeOf([&] {
    sp_calendar::nd_day_slots(2, [&](sd s) {
      daySlots.push_back(s);
      tav::K::Fail();
    });
  }), 0u);
  ASSERT_EQ(daySlots.size(), 14u);
  EXPECT_EQ(daySlots[0], (sd{1, 2}));
  EXPECT_EQ(daySlots[1], (sd{1, 1}));
  EXPECT_EQ(daySlots[13], (sd{7, 1}));
}

TEST_F(Calendar, EndDateKeepsTheLocalTimeOverClockChanges) {
  for (uint32_t startDay : {0u, 1u}) {
    SCOPED_TRACE(startDay);
    ASSERT_EQ(CodeOf([&] {
      mytime::set_start_day(startDay);
      // A Monday start: 00:00:01 local, as the header stores it.
      const tv start = time_convert::LocalValue(2026, 10, 5, 0, 0, 1.0);
      EXPECT_EQ(sp_calendar::end_date(start, 10), time_convert::LocalValue(2026, 12, 14, 0, 0, 1.0));
      EXPECT_EQ(sp_calendar::end_date(start, 16), time_convert::LocalValue(2027, 1, 25, 0, 0, 1.0));
      EXPECT_EQ(time_convert::tv_date(sp_calendar::end_date(start, 1)), (dt{2026, 10, 12}));
    }), 0u);
  }
}

}  // namespace
