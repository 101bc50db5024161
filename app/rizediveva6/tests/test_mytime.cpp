// Date and time texts: day names, number texts, template texts, sort keys,
// dates read from text, day differences, stepping and enumerating dates.
#include <string>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "rz_test.h"

using namespace rztest;

namespace {

constexpr int64_t kSecond = 10000000;
using DateTexts = Rz;

uint64_t Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0) {
  SYSTEMTIME r{y, mo, 0, d, h, mi, s, 0};
  FILETIME ft;
  SystemTimeToFileTime(&r, &ft);
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}
uint64_t Local(uint32_t y, uint32_t mo, uint32_t d, uint32_t h = 0, uint32_t mi = 0) {
  return tav::time::new_(y, mo, d, h, mi, 0.0)->getgmttime();
}
std::vector<std::wstring> Texts(const tav::StringList* l) {
  std::vector<std::wstring> v;
  for (; !l->Empty(); l = l->tail) v.push_back(l->head);
  return v;
}

TEST_F(DateTexts, DayNamesInWeekStartOrder) {
  mytime::set_start_day(1);
  std::vector<std::wstring> sunday{L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                   L"Thursday", L"Friday", L"Saturday"};
  EXPECT_EQ(Texts(mytime::daynames()), sunday);
  mytime::set_start_day(0);
  std::vector<std::wstring> monday(sunday.begin() + 1, sunday.end());
  monday.push_back(L"Sunday");
  EXPECT_EQ(Texts(mytime::daynames()), monday);
  const wchar_t* name = nullptr;
  EXPECT_TRUE(mytime::dayno_dayname(7, &name));
  EXPECT_STREQ(name, L"Sunday");
  EXPECT_FALSE(mytime::dayno_dayname(0, &name));
  EXPECT_FALSE(mytime::dayno_dayname(8, &name));
  std::vector<uint32_t> numbers;
  EXPECT_FALSE(mytime::nd_day_no([&](uint32_t n) {
    numbers.push_back(n);
    K::Fail();
  }));
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DateTexts, NumberAndTemplateTexts) {
  EXPECT_STREQ(mytime::dt_str(dt{2011, 3, 5}), L"5/3/2011");
  EXPECT_STREQ(mytime::dt_str(dt{2050, 12, 31}), L"31/12/2050");
  struct Mins {
    int32_t n;
    const wchar_t* text;
  } mins[] = {{90, L"1:30"}, {65, L"1:5"}, {1500, L"1:0"}, {0, L"0:0"}, {-2147483647 - 1, L"-2:-8"}};
  for (const Mins& c : mins) EXPECT_STREQ(mytime::mins_str(c.n), c.text) << c.n;

  // The locale's English names; digits wherever the template asks for them.
  const uint64_t t = Local(2011, 3, 5, 9, 7);  // a Saturday
  EXPECT_STREQ(mytime::dt_str2(dt{2011, 3, 5}), L"03 05");
  EXPECT_STREQ(mytime::tv_tadstr(t), L"09:07 05/03/11");
  EXPECT_STREQ(mytime::tv_dayname_str(t), L"Saturday 09:07");
  EXPECT_STREQ(mytime::dt_dayname(dt{2011, 3, 5}), L"Saturday");
  EXPECT_STREQ(mytime::tv_dtstr(t), L"05 Mar");
  EXPECT_STREQ(mytime::dt_str1(dt{2011, 3, 5}), L"05Mar");
  EXPECT_STREQ(mytime::time_dtstr(tav::time::new_(tav::gmtTime::new_(t))), L"05Mar");
  EXPECT_STREQ(mytime::tv_format(t, L"yyyy"), L"2011");
  EXPECT_STRNE(mytime::tv_hmsstr(t), L"");
  EXPECT_TRUE(IsRangeError(RunTrapped([] { mytime::dt_dayname(dt{1949, 12, 31}); })));
  EXPECT_TRUE(IsRangeError(RunTrapped([] { mytime::dt_str1(dt{2051, 1, 1}); })));
}

TEST_F(DateTexts, SortKeysAreHoursSince1601AndOrderAsText) {
  EXPECT_STREQ(mytime::tv_date_order(0), L"00000000");
  EXPECT_STREQ(mytime::tv_date_order(Utc(1601, 1, 1, 23, 59, 59)), L"00000023");
  const uint64_t h2010 = Utc(2010, 1, 1) / (3600 * kSecond);
  EXPECT_EQ(mytime::tv_date_order(Utc(2010, 1, 1)), L"0" + std::to_wstring(h2010));
  EXPECT_EQ(mytime::tv_date_order(Utc(2010, 1, 2, 6, 30)), L"0" + std::to_wstring(h2010 + 30));
  EXPECT_EQ(mytime::tv_date_order(Utc(2009, 12, 31, 23, 30)), L"0" + std::to_wstring(h2010 - 1));
  EXPECT_EQ(mytime::tv_date_order(Utc(2009, 12, 31, 12)), L"0" + std::to_wstring(h2010 - 12));
  // Monotonic as text over 1601-2200, where the old key changed length.
  const uint64_t end = Utc(2200, 1, 1);
  std::wstring last = mytime::tv_date_order(0);
  uint64_t lastT = 0;
  for (uint64_t t = 1; t < end; t += 7919ull * 3600 * kSecond / 7 + 13) {
    const std::wstring key = mytime::tv_date_order(t);
    ASSERT_EQ(key.size(), 8u);
    ASSERT_LE(last, key) << t;
    ASSERT_EQ(last == key, lastT / (3600 * kSecond) == t / (3600 * kSecond));
    last = key, lastT = t;
  }
}

TEST_F(DateTexts, DatesReadFromText) {
  struct Case {
    const wchar_t* text;
    bool read;
    dt date;
  } cases[] = {
      {L"12-Jan-11", true, {2011, 1, 12}},  {L"5-jan-07", true, {2007, 1, 5}},
      {L"31-DEC-99", true, {1999, 12, 31}}, {L"1-MAR-2012", true, {2012, 3, 1}},
      {L"1-mar-60", true, {1960, 3, 1}},    {L"1-MAR-50", true, {2050, 3, 1}},
      {L"1-MAR-1955", false, {}},           {L"1-MAR-51", false, {}},
      {L"12/01/11", false, {}},             {L"", false, {}},
  };
  for (const Case& c : cases) {
    dt d{};
    EXPECT_EQ(mytime::str_date(c.text, &d), c.read) << Narrow(c.text);
    if (c.read) EXPECT_TRUE(d == c.date) << Narrow(c.text);
  }
  // Day or year texts that are no numbers of their type: the conversion or range error.
  for (const wchar_t* text : {L"-JAN-", L"99999999999-JAN-07", L"x-JAN-07", L"1-JAN-", L"1-JAN-x"}) {
    dt d{};
    bool read = true;
    const uint32_t code = RunTrapped([&] { read = mytime::str_date(text, &d); });
    EXPECT_NE(code, 0u) << Narrow(text);
  }
  dt d{};
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { mytime::str_date(L"32-JAN-07", &d); })));
}

TEST_F(DateTexts, DayDifferencesAndTodayInUtc) {
  int32_t days, absDays;
  mytime::days_diff(dt{2011, 3, 1}, dt{2011, 2, 28}, &days, &absDays);
  EXPECT_EQ(std::make_pair(days, absDays), std::make_pair(-1, 1));
  mytime::days_diff(dt{1999, 12, 31}, dt{2000, 3, 1}, &days, &absDays);
  EXPECT_EQ(std::make_pair(days, absDays), std::make_pair(61, 61));
  SYSTEMTIME now;
  GetSystemTime(&now);
  const dt today = mytime::now_dt();
  if (now.wHour != 23 || now.wMinute != 59)
    EXPECT_TRUE(today == (dt{now.wYear, now.wMonth, now.wDay}));
}

TEST_F(DateTexts, StepsAreCalendarDaysAtTheSameTimeOfDay) {
  // Across the autumn and spring changes of the zones in use (and plain days in UTC).
  for (auto [y, m, d] : {std::tuple{2011, 10, 29}, std::tuple{2011, 11, 5}, std::tuple{2011, 4, 2},
                         std::tuple{2011, 3, 26}, std::tuple{2011, 3, 12}}) {
    tav::gmtTime* t = tav::gmtTime::new_(Local(y, m, d, 12, 30));
    mytime::add_n_days(2, t);
    EXPECT_EQ(t->getgmttime(), Local(y, m, d + 2, 12, 30)) << y << "-" << m << "-" << d;
    mytime::add_n_days(-2, t);
    EXPECT_EQ(t->getgmttime(), Local(y, m, d, 12, 30));
  }
  // Enumerations: none for equal objects, one for a day apart, and ten
  // days across the European and the US autumn changes, each at 06:00.
  auto dates = [](uint64_t from, uint64_t to) {
    std::vector<std::wstring> out;
    tav::gmtTime* current = tav::gmtTime::new_(from);
    mytime::nd_dt(current, tav::gmtTime::new_(to), [&](dt d) {
      out.push_back(mytime::dt_str(d));
      K::Fail();
    });
    return out;
  };
  EXPECT_TRUE(dates(Local(2011, 10, 29, 6), Local(2011, 10, 29, 6)).empty());
  EXPECT_EQ(dates(Local(2011, 10, 28, 6), Local(2011, 10, 29, 6)),
            std::vector<std::wstring>{L"28/10/2011"});
  const std::vector<std::wstring> ten = dates(Local(2011, 10, 27, 6), Local(2011, 11, 6, 6));
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.front(), L"27/10/2011");
  EXPECT_EQ(ten.back(), L"5/11/2011");
  // The enumeration stops where asked and leaves Current on that day.
  tav::gmtTime* current = tav::gmtTime::new_(Local(2011, 10, 27, 6));
  dt found{};
  EXPECT_TRUE(mytime::nd_dt(current, tav::gmtTime::new_(Local(2011, 11, 6, 6)), [&](dt d) {
    if (d.day != 31) K::Fail();
    found = d;
  }));
  EXPECT_TRUE(found == (dt{2011, 10, 31}));
  EXPECT_EQ(current->getgmttime(), Local(2011, 10, 31, 6));
}

TEST_F(DateTexts, MembershipAndRanges) {
  const dt list[] = {{2011, 1, 1}, {2011, 1, 2}};
  EXPECT_TRUE(mytime::dt_member(dt{2011, 1, 2}, list, 2));
  EXPECT_FALSE(mytime::dt_member(dt{2011, 2, 1}, list, 2));
  const dt_range r{{2011, 1, 10}, {2011, 1, 20}};
  struct Case {
    dt d;
    bool in;
  } cases[] = {{{2011, 1, 10}, true}, {{2011, 1, 20}, true}, {{2011, 1, 15}, true},
               {{2011, 1, 9}, false}, {{2011, 1, 21}, false}};
  for (const Case& c : cases) EXPECT_EQ(mytime::dt_in_range(nullptr, 0, c.d, r), c.in) << c.d.day;
  EXPECT_FALSE(mytime::dt_in_range(list, 2, dt{2011, 1, 15}, r));
}

}  // namespace
