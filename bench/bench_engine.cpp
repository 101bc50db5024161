// The rostering engine filling generated rosters (52 and 104 weeks, 60
// doctors, nothing assigned before), normal and force, with its progress
// window on screen so that event processing is part of the time.  Prints
// per run the time of each pass, the candidates offered, the event rounds
// and their time, and the validator's fill rate and deviations from the
// loadings' shares.  Goal: the 52-week fill well under 1 s.
#include <cstdio>
#include <string>

#include "kalmoradb/sc_engine.h"
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

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    for (uint32_t weeks : {52u, 104u})
      for (bool force : {false, true}) Measure(3, weeks, force, dir);
  });
}
