// The assignment gate over 10,000 assignments of the 104-week roster of the
// fixture builder (60 doctors): clearing them all and the repair after the
// roster is cut to 52 weeks, each beside a plain walk of the tree (the
// peer: one pass); and the checks of test-only assignments with the index
// beside the tree and with the plain walks.  Prints milliseconds and the
// ratio to the walk.
#include <cstdio>
#include <string>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "all_unit.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"

using namespace all;
using rizediveva6::orvDB;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

constexpr uint32_t kCount = 10000;

void Quiet() {
  rz::Dialogs d{};
  d.note = [](const wchar_t*) {};
  d.error = [](const wchar_t*) {};
  d.message_write = [](const wchar_t*) {};
  rz::myKWI::set_dialogs(d);
}

std::vector<std::wstring> duties;
std::vector<chain_ref> doctors;

// The first kCount duty keys, each to the next doctor in turn.
void Fill() {
  for (uint32_t i = 0; i < kCount && i < duties.size(); ++i)
    sc_assign::assign_person(test_ass::make_ass_only, duties[i].c_str(), doctors[i % doctors.size()]);
}

double WalkMs() {
  uint8_t* mark = K::Memory::MarkGStack();
  const double start = bench::Now();
  uint32_t n = 0;
  for (auto* e = all_entries(sc_assign::tree()); !e->Empty(); e = e->tail) ++n;
  const double ms = (bench::Now() - start) * 1000;
  K::Memory::ReleaseGStack(mark);
  return ms;
}

template <class F>
double Ms(F body) {
  uint8_t* mark = K::Memory::MarkGStack();
  const double start = bench::Now();
  body();
  const double ms = (bench::Now() - start) * 1000;
  K::Memory::ReleaseGStack(mark);
  return ms;
}

// Test-only checks of `count` free duties for the doctors in turn, per check.
double CheckUs(uint32_t count) {
  const uint32_t first = kCount;
  return Ms([&] {
           for (uint32_t i = 0; i < count; ++i)
             sc_assign::assign_person(test_ass::test_ass_only, duties[first + i % (duties.size() - first)].c_str(),
                                      doctors[i % doctors.size()]);
         }) * 1000 / count;
}

void Run(const std::wstring& path) {
  rz::document* d = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(path.c_str()), true, rz::kBackupNone));
  kalmora_DB::init(d);
  alltest::RosterSpec spec = alltest::LargeSpec(104);  // 9,984 duties: a fourth task makes room
  spec.tasks.push_back(L"clinic");
  for (const std::wstring& slot : spec.slots) spec.typical.push_back({kWeekday, {L"clinic", spec.locations[0], slot}});
  alltest::WriteSpec(spec);
  if (ties::ties_active()) ties::toggle_activate();
  for (auto* e = all_entries(sc_phase1::key_tree()); !e->Empty(); e = e->tail) duties.push_back(e->head.key);
  staff_db::nd_person([&](const PersonTerm* p) {
    doctors.push_back(p->ref);
    K::Fail();
  });
  printf("%zu duties, %zu doctors\n", duties.size(), doctors.size());
  Fill();
  const double walk = WalkMs();
  printf("plain walk of %u entries: %.1f ms\n", sc_assign::number_assigned(), walk);
  const double clear = Ms([] { sc_assign::clear_assignments(clear_dom{clear_kind::clear_all, 0}); });
  printf("clear_assignments(clear_all): %.1f ms (%.1fx the walk), %u left\n", clear, clear / walk,
         sc_assign::number_assigned());
  Fill();
  kalmora_DB::put_weeks_duration(52);
  sc_phase1::generate();
  const double repair = Ms([] { sc_assign::repair_ass(); });
  printf("repair_ass after cutting to 52 weeks: %.1f ms (%.1fx the walk), %u left\n", repair, repair / walk,
         sc_assign::number_assigned());
  kalmora_DB::put_weeks_duration(104);
  sc_phase1::generate();
  sc_assign::repair_ass();
  Fill();
  printf("test-only check with the index: %.1f us\n", CheckUs(5000));
  sc_assign::boo_walks = true;
  printf("test-only check with plain walks: %.1f us\n", CheckUs(100));
  sc_assign::boo_walks = false;
  kalmora_DB::uninit();
  d->set_as_modified(false);
  d->orv_close(rz::Nil<const wchar_t*>(), false);
}

}  // namespace

int main() {
  if (all::InitializeUnit() != 0) return 1;
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  Quiet();
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const uint32_t code = K::RunTrapped([&] { Run(std::wstring(tmp) + L"bench_gate.km6"); });
  if (code) {
    printf("error %u\n", code);
    return 1;
  }
  return 0;
}
