// The rostering engine filling generated rosters (52 and 104 weeks, 60
// doctors, nothing assigned before), normal and force, with its progress
// window on screen so that event processing is part of the time.  Prints
// per run the time of each pass, the candidates offered, the event rounds
// and their time, and the validator's fill rate and deviations from the
// loadings' shares, and beside them the same instance solved exactly
// (roster_optimum.py).  Goal: the 52-week fill well under 1 s.
#include <cstdio>
#include <string>

#include "kalmoradb/sc_engine.h"
#include "bench_util.h"
#include "qel6run_lib.h"
#include "roster_fixture.h"
#include "roster_bench.h"
#include "roster_generator.h"
#include "roster_validator.h"

using namespace all;
namespace rz = rizediveva6;

namespace {

void Measure(uint32_t seed, uint32_t weeks, bool force, const std::wstring& dir) {
  static alltest::RosterSpec spec;  // outside the frames an error unwinds
  spec = alltest::GeneratedSpec(seed, weeks);
  const std::wstring path = dir + L"bench_engine.km6";
  rz::document* d = rosterbench::NewDocument(path);
  alltest::WriteSpec(spec);
  QelMath::RandomInit(seed);
  sc_engine* e = sc_engine::new_engine();
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  e->fill_empties(force);
  QueryPerformanceCounter(&t1);
  const rostercheck::Report r = rostercheck::Judge(kalmora_DB::db(), nullptr);
  const engine_figures& g = e->figures;
  std::printf("%3u weeks %-6s fill %.3f s (rapid %.3f, main %.3f, force %.3f)  candidates %llu  events %llu in %.3f s"
              "  fill rate %.2f %%  sum deviation %.2f  max deviation %.2f  placeable %u\n",
              weeks, force ? "force" : "normal", double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart),
              g.rapid_seconds, g.main_seconds, g.force_seconds, (unsigned long long)g.candidates,
              (unsigned long long)g.event_rounds, g.event_seconds, r.figures.FillRate(2), r.figures.doctorAll.sum,
              r.figures.doctorAll.max, r.figures.placeable);
  rosterbench::DropDocument(d, path);
}

// The same instance solved exactly by roster_optimum.py (CBC through PuLP),
// run on the host; its figures on one line.
void Optimum(uint32_t seed, uint32_t weeks, const std::wstring& dir) {
  static alltest::RosterSpec spec;
  spec = alltest::GeneratedSpec(seed, weeks);
  const std::wstring path = dir + L"bench_engine_optimum.km6";
  rz::document* d = rosterbench::NewDocument(path);
  alltest::WriteSpec(spec);
  const std::string instance = rostercheck::Instance(kalmora_DB::db());
  rosterbench::DropDocument(d, path);
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::string unixIn = "/tmp/bench_engine_" + pid + ".txt", unixOut = "/tmp/bench_engine_" + pid + ".out";
  const std::wstring in = L"Z:" + std::wstring(unixIn.begin(), unixIn.end());
  FILE* f = _wfopen(in.c_str(), L"wb");
  if (!f) {
    std::printf("%3u weeks optimum: the instance could not be written\n", weeks);
    return;
  }
  fwrite(instance.data(), 1, instance.size(), f);
  fclose(f);
  std::wstring out = L"Z:" + std::wstring(unixOut.begin(), unixOut.end());
  for (wchar_t& c : out) c = c == L'/' ? L'\\' : c;
  const std::string text = bench::RunUnixProgram(
      nullptr,
      L"/usr/bin/python3 " _CRT_WIDE(ENGINE_BENCH_DIR) L"/roster_optimum.py " +
          std::wstring(unixIn.begin(), unixIn.end()) + L" " + std::wstring(unixOut.begin(), unixOut.end()) + L" 300",
      out.c_str(), 900);
  _wunlink(in.c_str());
  uint32_t duties = 0;
  for (size_t at = instance.find("duty "); at != std::string::npos; at = instance.find("\nduty ", at + 1)) ++duties;
  char fillStatus[16] = "", devStatus[16] = "";
  double fill = 0, fillBound = 0, fillTime = 0, dev = 0, devBound = 0, devTime = 0;
  if (std::sscanf(text.c_str(), "fill %15s %lf %lf %lf deviation %15s %lf %lf %lf", fillStatus, &fill, &fillBound,
                  &fillTime, devStatus, &dev, &devBound, &devTime) != 8) {
    std::printf("%3u weeks optimum: not solved (%s)\n", weeks,
                text.empty() ? "python3-pulp with CBC not available" : text.c_str());
    return;
  }
  std::printf("%3u weeks optimum (CBC): fill rate %.2f %% (%s in %.0f s, bound %.2f %%)  max deviation %.2f (%s in %.0f s,"
              " bound %.2f, gap %.2f)\n",
              weeks, duties ? 100.0 * fill / duties : 0.0, fillStatus, fillTime,
              duties ? 100.0 * fillBound / duties : 0.0, dev, devStatus, devTime, devBound, dev - devBound);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    for (uint32_t weeks : {52u, 104u}) {
      for (bool force : {false, true}) Measure(3, weeks, force, dir);
      Optimum(3, weeks, dir);
    }
  });
}
