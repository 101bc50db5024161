// The time package against the C runtime and the system: formatting
// against wcsftime, parsing against swscanf + SystemTimeToFileTime, UTC to
// local time against FileTimeToLocalFileTime, and both against Python's
// strftime and strptime.  Each line prints the library's and the other's
// time per call and the ratio library/other with its goal.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <string>

#include "bench_util.h"
#include "time/time.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;

namespace {

volatile uint64_t g_sink;

// Seconds per call, best of 3 runs of `rounds`.
template <class F>
double Time(int rounds, F&& body) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    double start = bench::Now();
    for (int i = 0; i < rounds; ++i) body(i);
    best = std::min(best, (bench::Now() - start) / rounds);
    Kn::Memory::ReleaseGStack(mark);
  }
  return best;
}

void Line(const char* what, double ours, double theirs, const char* other, double goal) {
  const double ratio = ours / theirs;
  printf("  %-28s %8.0f ns  %-24s %8.0f ns  %5.2f (goal <= %.1f)%s\n", what, ours * 1e9, other,
         theirs * 1e9, ratio, goal, ratio <= goal ? "" : "  below goal");
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  const TimeZone* london = timeFormatter::gettimezoneinformation(L"GMT Standard Time");
  timeFormatter* f = timeFormatter::new_(london);
  const uint64_t base = 127224099070000000;  // 2004-02-29 13:05:07 UTC
  gmtTime* t = gmtTime::new_(base);
  const wchar_t* picture = L"yyyy-MM-dd HH:mm:ss";
  printf("time package: library against the C runtime, the system and Python (per call)\n");

  const double format = Time(200000, [&](int i) {
    t->setgmttime(base + uint64_t(i) * 10000000);
    g_sink += f->format(t, picture)[18];
  });
  struct tm tm{};
  tm.tm_year = 104, tm.tm_mon = 1, tm.tm_mday = 29, tm.tm_hour = 13, tm.tm_min = 5;
  const double strf = Time(200000, [&](int i) {
    wchar_t out[64];
    tm.tm_sec = i % 60;
    g_sink += wcsftime(out, 64, L"%Y-%m-%d %H:%M:%S", &tm);
  });
  Line("format", format, strf, "wcsftime", 2.0);

  const double parse = Time(100000, [&](int) {
    f->setfromstring(t, L"2004-02-29 13:05:07", picture);
    g_sink += t->getgmttime();
  });
  const double scan = Time(100000, [&](int) {
    int y, mo, d, h, mi, s;
    swscanf(L"2004-02-29 13:05:07", L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    SYSTEMTIME r{WORD(y), WORD(mo), 0, WORD(d), WORD(h), WORD(mi), WORD(s), 0};
    FILETIME ft;
    SystemTimeToFileTime(&r, &ft);
    g_sink += ft.dwLowDateTime;
  });
  Line("parse", parse, scan, "swscanf+SystemTimeToFT", 3.0);

  const double local = Time(1000000, [&](int i) {
    g_sink += f->getlocaletime(base + uint64_t(i) * 36000000000).wHour;
  });
  const double native = Time(1000000, [&](int i) {
    const uint64_t u = base + uint64_t(i) * 36000000000;
    FILETIME in{DWORD(u), DWORD(u >> 32)}, out;
    FileTimeToLocalFileTime(&in, &out);
    g_sink += out.dwLowDateTime;
  });
  Line("UTC to local", local, native, "FileTimeToLocalFileTime", 1.5);

  std::string py = bench::RunUnixProgram(
      nullptr, L"/usr/bin/python3 " _CRT_WIDE(TAV_BENCH_DIR) L"/time_python.py /tmp/tav_bench_time.txt",
      L"Z:\\tmp\\tav_bench_time.txt", 120);
  double pyFormat = 0, pyParse = 0;
  if (py.empty() || sscanf(py.c_str(), "%lf %lf", &pyFormat, &pyParse) != 2) {
    printf("  Python not available\n");
    return 0;
  }
  printf("  %-28s %8.0f ns  %-24s %8.0f ns  %5.1f times faster\n", "format", format * 1e9,
         "Python strftime", pyFormat * 1e9, pyFormat / format);
  printf("  %-28s %8.0f ns  %-24s %8.0f ns  %5.1f times faster (goal >= 5)%s\n", "parse",
         parse * 1e9, "Python strptime", pyParse * 1e9, pyParse / parse,
         pyParse / parse >= 5 ? "" : "  below goal");
  return 0;
}
