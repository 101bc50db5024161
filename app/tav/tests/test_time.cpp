// Time values and calendar time: instants and durations, normalisation with
// its roll-overs and bounds, days in a month, day of week and day of year.
#include <cmath>
#include <limits>

#include "tav_test.h"
#include "time/time.h"

using namespace tavtest;

namespace {

using TimeValues = Library;

constexpr uint64_t kUnitsPerSecond = 10000000;

// The instant of a UTC date and time, through the system.
uint64_t Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME r{y, mo, 0, d, h, mi, s, ms};
  FILETIME ft;
  SystemTimeToFileTime(&r, &ft);
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}

TEST_F(TimeValues, InstantsCompareAndMoveByIntervals) {
  gmtTime* a = gmtTime::new_(Utc(2004, 2, 29, 12));
  gmtTime* b = gmtTime::new_(Utc(2004, 3, 1, 13, 1, 1));
  EXPECT_TRUE(a->before(b));
  EXPECT_FALSE(a->before(a));
  EXPECT_TRUE(a->beforeorsametime(a));
  EXPECT_FALSE(b->beforeorsametime(a));
  timeInterval* i = a->getinterval(b);
  int32_t d, h, m;
  double s;
  i->getintervaldetailed(&d, &h, &m, &s);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 1);
  EXPECT_DOUBLE_EQ(s, 1.0);
  a->addinterval(i);
  EXPECT_TRUE(a->sametime(b));
  a->subtractinterval(i);
  EXPECT_EQ(a->getgmttime(), Utc(2004, 2, 29, 12));

  timeInterval* back = timeInterval::new_(b, gmtTime::new_(Utc(2004, 2, 29, 12)));
  EXPECT_LT(back->get(), 0);
  EXPECT_TRUE(back->less(timeInterval::new_()));
  EXPECT_FALSE(timeInterval::new_()->less(back));
  EXPECT_TRUE(back->lessorequal(back));

  // 90,061.5 seconds.
  timeInterval* x = timeInterval::new_(int64_t{900615} * 1000000);
  int32_t si;
  x->getinterval(&d, &h, &m, &si);
  EXPECT_EQ(si, 1);
  x->getintervaldetailed(&d, &h, &m, &s);
  EXPECT_EQ((std::vector<int>{d, h, m}), (std::vector<int>{1, 1, 1}));
  EXPECT_DOUBLE_EQ(s, 1.5);
  EXPECT_TRUE(timeInterval::new_(1, 1, 1, 1.5)->equal(x));
  timeInterval* y = timeInterval::new_(0, -1, 30, 0.0);  // a negative part subtracts
  EXPECT_EQ(y->get(), -int64_t{30} * 60 * kUnitsPerSecond);
  y->multiply(-2.0);
  EXPECT_EQ(y->get(), int64_t{60} * 60 * kUnitsPerSecond);
  y->add(x);
  y->subtract(x);
  EXPECT_EQ(y->get(), int64_t{3600} * kUnitsPerSecond);

  // Overflow of the 64-bit sum is an error, not a wrapped instant.
  timeInterval* huge = timeInterval::new_(std::numeric_limits<int64_t>::max());
  gmtTime* late = gmtTime::new_(Utc(9999, 1, 1));
  EXPECT_NE(RunTrapped([&] { late->addinterval(huge); }), 0u);
  EXPECT_EQ(late->getgmttime(), Utc(9999, 1, 1));
}

TEST_F(TimeValues, GmtPartsRollOverAndRoundMilliseconds) {
  gmtTime* t = gmtTime::new_(2001, 13, 1, 0, 0, 0.0);
  EXPECT_EQ(t->getgmttime(), Utc(2002, 1, 1));
  t->setgmtdateandtime(2004, 2, 29, 13, 5, 7.045);
  EXPECT_EQ(t->getgmttime(), Utc(2004, 2, 29, 13, 5, 7, 45));
  int32_t y, mo, d, h, mi;
  double s;
  t->getgmtdateandtime(&y, &mo, &d, &h, &mi, &s);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi}), (std::vector<int>{2004, 2, 29, 13, 5}));
  EXPECT_DOUBLE_EQ(s, 7.045);
  // 59.9996 s rounds to the next minute instead of failing.
  t->setgmtdateandtime(2004, 12, 31, 23, 59, 59.9996);
  EXPECT_EQ(t->getgmttime(), Utc(2005, 1, 1));
}

TEST_F(TimeValues, NativeLayerFailuresRaiseWithTheirDetails) {
  const SYSTEMTIME r{2004, 2, 0, 29, 13, 5, 7, 45};
  uint32_t id = RunTrapped([&] { time_api::getdateformat(0x7FFF1234, 0, r, L"yyyy"); });
  const TraceEntry* e = exception::trygetdescriptor(id, &time_api::cannotgetdatetimeformat);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Locale", L"Flags", L"Year", L"Month", L"Day of week", L"Day",
                                                 L"Hour", L"Minute", L"Second", L"Seconds fraction",
                                                 L"Format picture", L"Code of last error"}));
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Seconds fraction")), 45u);
  EXPECT_EQ(Extra(e, L"Format picture"), L"yyyy");
  EXPECT_NE(Unsigned(exception::trygetextrainfo(e, L"Code of last error")), 0u);

  id = RunTrapped([&] { time_api::getlocaleinfo(GetUserDefaultLCID(), 0xFFFF); });
  e = exception::trygetdescriptor(id, &time_api::cannotgetlocaleinfo);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Type of information")), 0xFFFFu);

  id = RunTrapped([&] { time_api::filetimetosystemtime(0x8000000000000000); });
  e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"API function name"), L"FileTimeToSystemTime");
  EXPECT_EQ(time_api::systemtimetofiletime(r), Utc(2004, 2, 29, 13, 5, 7, 45));
  SYSTEMTIME bad = r;
  bad.wMilliseconds = 1000;
  id = RunTrapped([&] { time_api::systemtimetofiletime(bad); });
  EXPECT_NE(exception::trygetdescriptor(id, &common_exception::nativecallexception), nullptr);
}

TEST_F(TimeValues, LeapYears) {
  for (int y : {2000, 2400, 2004, 1604}) EXPECT_TRUE(time_api::isleapyear(y)) << y;
  for (int y : {1900, 2100, 2001, 1700}) EXPECT_FALSE(time_api::isleapyear(y)) << y;
}

struct Parts {
  int32_t y, mo, d, h, mi;
  double s;
  bool operator==(const Parts& o) const {
    return y == o.y && mo == o.mo && d == o.d && h == o.h && mi == o.mi && std::fabs(s - o.s) < 1e-9;
  }
};
std::ostream& operator<<(std::ostream& os, const Parts& p) {
  return os << p.y << "-" << p.mo << "-" << p.d << " " << p.h << ":" << p.mi << ":" << p.s;
}
Parts Normal(const Parts& p) {
  Parts r{};
  tav::time::normalize(p.y, p.mo, p.d, p.h, p.mi, p.s, &r.y, &r.mo, &r.d, &r.h, &r.mi, &r.s);
  return r;
}

TEST_F(TimeValues, NormalizeRollsEveryPartOver) {
  struct Case {
    Parts in, out;
  };
  const Case cases[] = {
      {{2000, 2, 30, 0, 0, 0}, {2000, 3, 1, 0, 0, 0}},
      {{2001, 2, 29, 0, 0, 0}, {2001, 3, 1, 0, 0, 0}},
      {{2004, 1, 0, 0, 0, 0}, {2003, 12, 31, 0, 0, 0}},
      {{2004, 3, 0, 0, 0, 0}, {2004, 2, 29, 0, 0, 0}},
      {{2004, 1, 1, 0, 0, -0.5}, {2003, 12, 31, 23, 59, 59.5}},
      {{2004, 1, 1, 25, 61, 3600}, {2004, 1, 2, 3, 1, 0}},
      {{1600, 12, 31, 24, 0, 0}, {1601, 1, 1, 0, 0, 0}},
      {{2004, 0, 1, 0, 0, 0}, {2003, 12, 1, 0, 0, 0}},
      {{2004, -11, 1, 0, 0, 0}, {2003, 1, 1, 0, 0, 0}},
      {{2004, -12, 1, 0, 0, 0}, {2002, 12, 1, 0, 0, 0}},
      {{2004, 1, 1, 0, -1, 0}, {2003, 12, 31, 23, 59, 0}},
      {{2004, 1, 1, 0, 0, -60}, {2003, 12, 31, 23, 59, 0}},
      // A rest between -61 and -60 seconds stays non-negative.
      {{2004, 1, 1, 0, 0, -60.5}, {2003, 12, 31, 23, 58, 59.5}},
      {{2004, 1, 1, 0, 0, 59.9996}, {2004, 1, 1, 0, 1, 0}},
      {{2004, 1, 1, 0, 0, 12.3454}, {2004, 1, 1, 0, 0, 12.345}},
      {{9999, 12, 31, 23, 59, 59.999}, {9999, 12, 31, 23, 59, 59.999}},
      {{2000, 1, 1, 0, 0, 86400.0 * 366}, {2001, 1, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(Normal(c.in), c.out) << c.in;
}

TEST_F(TimeValues, NormalizeRaisesOutsideTheRangeWithThePartsGiven) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  const Parts cases[] = {
      {1600, 12, 31, 0, 0, 0}, {10000, 1, 1, 0, 0, 0}, {9999, 12, 31, 23, 59, 60},
      {hi, 1, 1, 0, 0, 0},     {lo, 1, 1, 0, 0, 0},    {2000, hi, 1, 0, 0, 0},
      {2000, lo, 1, 0, 0, 0},  {2000, 1, hi, 0, 0, 0}, {2000, 1, lo, 0, 0, 0},
      {2000, 1, 1, hi, hi, 0}, {2000, 1, 1, lo, lo, 0}, {2000, 1, 1, 0, 0, 1e300},
      {2000, 1, 1, 0, 0, -1e300}, {2000, 1, 1, 0, 0, nan},
      {2000, 1, 1, 0, 0, std::numeric_limits<double>::infinity()},
  };
  for (const Parts& p : cases) {
    uint32_t id = RunTrapped([&] { Normal(p); });
    const TraceEntry* e = exception::trygetdescriptor(id, &time_exception::partsoutofrange);
    ASSERT_NE(e, nullptr) << p;
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Year", L"Month", L"Day", L"Hour", L"Minute", L"Second"}));
    EXPECT_EQ(exception::trygetextrainfo(e, L"Day")->As<int32_t>(), p.d);
  }
  // Large parts that cancel stay within reach.
  EXPECT_EQ(Normal({2000, 1, 1, 24 * 1000, -60 * 24 * 1000, 0}), (Parts{2000, 1, 1, 0, 0, 0}));
}

TEST_F(TimeValues, MonthLengthsWeekdaysAndDaysOfTheYear) {
  EXPECT_EQ(tav::time::getdaysinmonth(2001, 14), 28);
  EXPECT_EQ(tav::time::getdaysinmonth(2001, 0), 31);
  EXPECT_EQ(tav::time::getdaysinmonth(2004, 2), 29);
  EXPECT_EQ(tav::time::getdaysinmonth(2004, -22), 28);  // February 2002
  EXPECT_EQ(tav::time::getdayofweek(2000, 1, 1), 6);
  EXPECT_EQ(tav::time::getdayofweek(1601, 1, 1), 1);
  EXPECT_EQ(tav::time::getdayofweek(2024, 3, 31), 0);
  EXPECT_EQ(tav::time::dayofyear(2004, 12, 31), 366);
  EXPECT_EQ(tav::time::dayofyear(2005, 12, 31), 365);
  EXPECT_EQ(tav::time::dayofyear(2005, 13, 1), 1);
  // Every day of 1601-9999 against the system's conversion, by weekday.
  for (uint64_t u = Utc(1601, 1, 1); u < Utc(9999, 12, 31); u += uint64_t{86400} * kUnitsPerSecond * 97) {
    FILETIME ft{static_cast<DWORD>(u), static_cast<DWORD>(u >> 32)};
    SYSTEMTIME r;
    FileTimeToSystemTime(&ft, &r);
    ASSERT_EQ(tav::time::getdayofweek(r.wYear, r.wMonth, r.wDay), r.wDayOfWeek) << r.wYear;
  }
}

// --- time objects through the shared formatter (the program's own zone) ---

// Minutes the program's zone is ahead of UTC on 1 July 2026.
int64_t JulyOffset() {
  wchar_t tz[64] = L"";
  GetEnvironmentVariableW(L"TZ", tz, 64);
  if (wcscmp(tz, L"Europe/London") == 0) return 60;
  if (wcscmp(tz, L"Australia/Sydney") == 0) return 600;
  return 0;
}
constexpr uint64_t kUnitsPerMinute = 600000000;

TEST_F(TimeValues, TimeObjectsReadAndWriteLocalParts) {
  const uint64_t july = Utc(2026, 7, 1, 12, 30, 15, 500) - JulyOffset() * kUnitsPerMinute;
  tav::time* t = tav::time::new_(2026, 7, 1, 12, 30, 15.5);
  EXPECT_EQ(t->getgmttime(), july);
  EXPECT_EQ(tav::time::new_(gmtTime::new_(july))->getgmttime(), july);
  int32_t y, mo, d, h, mi, si;
  double s;
  t->getdateandtime(&y, &mo, &d, &h, &mi);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi}), (std::vector<int>{2026, 7, 1, 12, 30}));
  t->gettimedetailed(&h, &mi, &s);
  EXPECT_DOUBLE_EQ(s, 15.5);
  t->setdate(2026, 7, 31);  // keeps the time of day with its milliseconds
  EXPECT_EQ(t->getgmttime(), july + 30 * 1440 * kUnitsPerMinute);
  t->settime(8, 0, 1);  // keeps the date, milliseconds 0
  t->gettime(&h, &mi, &si);
  t->getdate(&y, &mo, &d);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, si}), (std::vector<int>{2026, 7, 31, 8, 0, 1}));
  t->settimedetailed(23, 59, 60.25);  // rolls into 1 August
  t->getdate(&y, &mo, &d);
  EXPECT_EQ((std::vector<int>{mo, d}), (std::vector<int>{8, 1}));
  t->setdateandtime(2004, 2, 29, 15, 4, 5);
  EXPECT_STREQ(t->tosimplestring(), L"20040229150405");
  EXPECT_STREQ(t->format(L"d/M/yyyy H:mm"), L"29/2/2004 15:04");
  EXPECT_TRUE(t->isleapyear());
  t->setfromsimplestring(L"20050301000000");
  EXPECT_FALSE(t->isleapyear());
  t->setfromstring(L"2005-07-04 10:11", L"yyyy-MM-dd HH:mm");
  int32_t week, day;
  t->getweek(&week, &day);
  t->setdate(2005, 1, 1);
  t->setweek(week, day);
  t->getdate(&y, &mo, &d);
  EXPECT_EQ((std::vector<int>{y, mo, d}), (std::vector<int>{2005, 7, 4}));
  EXPECT_EQ(t->isdaylighttime(), JulyOffset() == 60);

  tav::time* midnight = tav::time::newdate(2004, 2, 29);
  midnight->gettimedetailed(&h, &mi, &s);
  EXPECT_EQ((std::vector<int>{h, mi}), (std::vector<int>{0, 0}));
  EXPECT_EQ(s, 0.0);
}

TEST_F(TimeValues, TimeObjectsAreBuiltFromTheirPartsAtOnce) {
  // The first local day exists wherever local midnight is not before the
  // first UTC instant: not east of Greenwich.
  uint32_t id = RunTrapped([&] { tav::time::newdate(1601, 1, 1); });
  if (JulyOffset() == 600) {
    EXPECT_NE(exception::trygetdescriptor(id, &time_exception::partsoutofrange), nullptr);
  } else {
    EXPECT_EQ(id, 0u);
  }
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { tav::time::newdate(2004, 2, 30 + 10000 * 365); }),
                                        &time_exception::partsoutofrange),
            nullptr);
  // newtime takes today's local date.
  tav::time* now = tav::time::new_();
  tav::time* t = tav::time::newtime(0, 0, 0.0);
  int32_t y, mo, d, y2, mo2, d2;
  now->getdate(&y, &mo, &d);
  t->getdate(&y2, &mo2, &d2);
  if (now->getgmttime() / (kUnitsPerMinute * 1440) == gmtTime::getcurrentgmttimevalue() / (kUnitsPerMinute * 1440))
    EXPECT_EQ((std::vector<int>{y, mo, d}), (std::vector<int>{y2, mo2, d2}));
  EXPECT_LE(t->getgmttime(), now->getgmttime());
}

}  // namespace
