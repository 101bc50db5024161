// The time helpers against the C runtime in the same process and zone:
// tv_date against localtime_s, date_tv against mktime, tv_week_no against
// localtime_s and the week arithmetic, day_no_tv(week_no_tv(n), k) against
// mktime of the week's first day, localtime_s and mktime of the day,
// tv_date_order and dt_str against swprintf.  Prints the nanoseconds per
// call of each and the ratio helper/C runtime with its goal.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>

#include "SYSTEM/timepack/mytime.h"
#include "SYSTEM/timepack/time_convert.h"
#include "bench_util.h"
#include "unit.h"

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;

namespace {

uint64_t g_sink;  // read at the end, so the calls are kept
constexpr int kRounds = 200000;
constexpr uint64_t kUnitsPerSecond = 10000000;
constexpr uint64_t kEpoch1970 = 116444736000000000;  // 1970-01-01 in 100-ns units since 1601
constexpr uint64_t kBase = 130000000000000000;        // 2012-12-16 UTC

template <class F>
double Time(F&& body) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    const double start = bench::Now();
    for (int i = 0; i < kRounds; ++i) body(i);
    best = std::min(best, (bench::Now() - start) / kRounds);
    Kn::Memory::ReleaseGStack(mark);
  }
  return best;
}

void Line(const char* what, double ours, double theirs, const char* other) {
  const double ratio = ours / theirs;
  printf("  %-32s %7.0f ns  %-30s %7.0f ns  %5.2f (goal <= 1.5)%s\n", what, ours * 1e9, other,
         theirs * 1e9, ratio, ratio <= 1.5 ? "" : "  below goal");
}

uint64_t At(int i) { return kBase + uint64_t(i) * 3607 * kUnitsPerSecond; }
time_t Seconds(int i) { return static_cast<time_t>((At(i) - kEpoch1970) / kUnitsPerSecond); }

// The same week number from the C runtime's local record: whole weeks
// since Monday 1949-12-26, the start of the week that holds 1950-01-01.
int32_t CrtWeek(const tm& t) {
  auto leaps = [](int y) { return y / 4 - y / 100 + y / 400; };
  const int y = t.tm_year + 1900;
  const int days = 365 * (y - 1950) + leaps(y - 1) - leaps(1949) + t.tm_yday;
  return (days + 6) / 7;
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  // The C runtime reads the zone from the system, as the helpers do.
  _wputenv(L"TZ=");
  _tzset();
  printf("time helpers against the C runtime (per call)\n");

  const double date = Time([](int i) { g_sink += time_convert::tv_date(At(i)).day; });
  const double local = Time([](int i) {
    tm t;
    const time_t s = Seconds(i);
    localtime_s(&t, &s);
    g_sink += t.tm_mday;
  });
  Line("tv_date", date, local, "localtime_s");

  const double tv = Time([](int i) {
    g_sink += time_convert::date_tv(dt{2012, uint32_t(1 + i % 12), uint32_t(1 + i % 28)});
  });
  const double mk = Time([](int i) {
    tm t{};
    t.tm_year = 112, t.tm_mon = i % 12, t.tm_mday = 1 + i % 28, t.tm_isdst = -1;
    g_sink += mktime(&t);
  });
  Line("date_tv", tv, mk, "mktime");

  const double week = Time([](int i) { g_sink += time_convert::tv_week_no(At(i)); });
  const double crtWeek = Time([](int i) {
    tm t;
    const time_t s = Seconds(i);
    localtime_s(&t, &s);
    g_sink += CrtWeek(t);
  });
  Line("tv_week_no", week, crtWeek, "localtime_s + arithmetic");

  const double day = Time([](int i) {
    g_sink += time_convert::day_no_tv(time_convert::week_no_tv(3183 + i % 1000), 1 + i % 7);
  });
  const double crtDay = Time([](int i) {
    // The week's first day (weeks of 2011 on), then day k of it, both local.
    tm first{};
    first.tm_year = 111, first.tm_mon = 0, first.tm_mday = 3 + 7 * (i % 1000), first.tm_sec = 1;
    first.tm_isdst = -1;
    const time_t f = mktime(&first);
    tm day;
    localtime_s(&day, &f);
    day.tm_mday += i % 7;
    day.tm_isdst = -1;
    g_sink += mktime(&day);
  });
  Line("day_no_tv(week_no_tv(n), k)", day, crtDay, "mktime, localtime_s, mktime");

  const double order = Time([](int i) { g_sink += mytime::tv_date_order(At(i))[7]; });
  const double crtOrder = Time([](int i) {
    wchar_t out[24];
    g_sink += swprintf(out, 24, L"%08llu", static_cast<unsigned long long>(At(i) / 36000000000));
  });
  Line("tv_date_order", order, crtOrder, "swprintf %08llu");

  const double str = Time([](int i) {
    g_sink += mytime::dt_str(dt{2012, uint32_t(1 + i % 12), uint32_t(1 + i % 28)})[0];
  });
  const double crtStr = Time([](int i) {
    wchar_t out[24];
    g_sink += swprintf(out, 24, L"%u/%u/%u", 1 + i % 28, 1 + i % 12, 2012);
  });
  Line("dt_str", str, crtStr, "swprintf %u/%u/%u");
  return g_sink == 42 ? 2 : 0;
}
