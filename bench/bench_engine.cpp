// The rostering engine filling generated rosters (52 and 104 weeks, 60
// doctors, nothing assigned before), normal and force, with its progress
// window on screen so that event processing is part of the time.  Prints
// per run the time of each pass, the candidates offered, the event rounds
// and their time, and the validator's fill rate and deviations from the
// loadings' shares.  Goal: the 52-week fill well under 1 s.
#include <cstdio>
#include <string>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "all_unit.h"
#include "exception/exception.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_engine.h"
#include "qel6run_lib.h"
#include "roster_fixture.h"
#include "roster_generator.h"
#include "roster_validator.h"

using namespace all;
using rizediveva6::orvDB;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

void Quiet() {
  rz::Dialogs d{};
  d.note = [](const wchar_t*) {};
  d.error = [](const wchar_t*) {};
  d.message_write = [](const wchar_t*) {};
  rz::myKWI::set_dialogs(d);
}

void Measure(uint32_t seed, uint32_t weeks, bool force, const std::wstring& dir) {
  static alltest::RosterSpec spec;  // outside the frames an error unwinds
  spec = alltest::GeneratedSpec(seed, weeks);
  const std::wstring path = dir + L"bench_engine.km6";
  DeleteFileW(path.c_str());
  rz::document* d = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(path.c_str()), true, rz::kBackupNone));
  kalmora_DB::init(d);
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
  kalmora_DB::uninit();
  d->set_as_modified(false);
  d->orv_close(rz::Nil<const wchar_t*>(), false);
  DeleteFileW(path.c_str());
}

}  // namespace

int main() {
  if (all::InitializeUnit() != 0) return 1;
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  Quiet();
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::wstring dir = tmp;
  const uint32_t code = K::RunTrapped([&] {
    for (uint32_t weeks : {52u, 104u})
      for (bool force : {false, true}) Measure(3, weeks, force, dir);
  });
  if (code) {
    std::printf("error %u\n", code);
    return 1;
  }
  return 0;
}
