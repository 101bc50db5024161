// sc_engine: the passes over the roster and the candidate lists.
//
// Invariants: see sc_engine.h.  No frame here holds an object with a
// destructor, so fails and raises may cross every call.
#include "kalmoradb/sc_engine.h"

#include <windows.h>

#include <cwchar>

#include "KWI/Wyn/checked.h"
#include "KWI/stop_pack/stop.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "commandtree/comtree.h"
#include "kalmoradb/actual_dtbd.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "qel6kwi_win.h"
#include "qel6run_lib.h"

namespace all {

namespace K = tav::K;
using rizediveva6::stop;

const tav::ClassInfo sc_engine::classInfo{L"qel6pack/all/kalmoradb/sc_engine", TAV_CLASS_VERSION};

namespace {

constexpr double kEventInterval = 0.010;  // seconds between event rounds

int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

bool IsPLoading(const LoadingTerm* l, uint32_t weekend) {
  return l->functor == 1 && l->kind->Kind() == stat_kind::weekend && l->kind->a == weekend;
}

bool IsWeekendCategory(const what_stat& c) { return c.kind == stat_kind::weekend && c.a <= 1; }

}  // namespace

// --- Creation and the run -------------------------------------------------------------------------

sc_engine* sc_engine::new_windowless() {
  sc_engine* e = new (K::Memory::AllocHeap(sizeof(sc_engine))) sc_engine();
  e->ndb_already_assigned.atomic = false;
  e->ndb_loading.atomic = false;
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  e->xfrequency = f.QuadPart;
  e->xlast_events = Now();
  if (kalmora_DB::is_init()) e->xdb = kalmora_DB::db();
  return e;
}

sc_engine* sc_engine::new_engine() {
  sc_engine* e = new_windowless();
  stop* window = stop::new_();
  window->show(QEL_KWI::kwi_GetTaskWin());
  e->db_stop = window;
  return e;
}

totals* sc_engine::get_xtotals() const {
  if (!xtotals) K::Errors::Qel_ErrorExit(1);  // read before it was set
  return xtotals;
}

void sc_engine::fill_empties(bool force) {
  xdb = kalmora_DB::db();
  xlast_events = Now();
  uint8_t* mark = K::Memory::MarkGStack();
  const uint32_t error = K::RunTrapped([&] {
    int64_t start = Now();
    rapid_regular_fill();
    figures.rapid_seconds = double(Now() - start) / double(xfrequency);
    if (load_db::all_loadings_are_zero()) {
      rizediveva6::myKWI::note(L"You have not defined the loadings (under Rules)");
      return;
    }
    kalmora_DB::set_as_mod();
    start = Now();
    calc_tots_and_fill();
    calc_tots_and_fill();
    figures.main_seconds = double(Now() - start) / double(xfrequency);
    if (force && !boo_stop_generating) {
      start = Now();
      force_last_ones();
      figures.force_seconds = double(Now() - start) / double(xfrequency);
    }
  });
  if (!error) K::Memory::ReleaseGStack(mark);
  end_path();
  if (error) K::Errors::Qel_ErrorExit(error);
}

void sc_engine::end_path() {
  boo_stop_generating = false;
  comtree::retract_engine();
  // An engine the command tree did not hold is stopped here.
  if (!boo_stop_generating) stop_generating();
}

void sc_engine::stop_generating() {
  boo_stop_generating = true;
  ndb_unass.clear();
  ndb_already_assigned.clear();
  ndb_to_be_assigned.clear();
  if (stop* window = db_stop) {
    db_stop = nullptr;
    window->del_win();
  }
  comtree::refresh();
}

bool sc_engine::events_round(bool* ran) {
  const int64_t now = Now();
  if (double(now - xlast_events) < kEventInterval * double(xfrequency)) return !boo_stop_generating;
  if (ran) *ran = true;
  ++figures.event_rounds;
  // Dispatched input may run commands that change the stores.
  if (HIWORD(GetQueueStatus(QS_ALLINPUT))) ++xepoch;
  if (stop* window = db_stop) {
    if (!window->can_continue()) {
      db_stop = nullptr;
      boo_stop_generating = true;
    }
  } else {
    tav::kwi::processevents();
  }
  xlast_events = Now();
  figures.event_seconds += double(xlast_events - now) / double(xfrequency);
  if (!kalmora_DB::is_init() || kalmora_DB::db() != xdb) boo_stop_generating = true;
  return !boo_stop_generating;
}

bool sc_engine::doctor_reads(chain_ref doctor) {
  // Doctors go only through commands run by an event round, which moves
  // the epoch on.
  if (doctor == xread_doctor && xepoch == xread_epoch) return true;
  // Looked up in the chain: a deleted doctor's reference is never read.
  bool found = false;
  staff_db::nd_person([&](const PersonTerm* p) {
    if (p->ref != doctor) K::Fail();
    found = p->dat->deleted->functor == kExists;
  });
  if (!found) return false;
  xread_doctor = doctor;
  xread_epoch = xepoch;
  return true;
}

// --- Candidate lists ------------------------------------------------------------------------------

void sc_engine::prepare_unassigned() {
  f_store_all_unsassigned_duties();
  if (!db_stop) return;
  wchar_t text[64];
  swprintf(text, 64, L"%u to assign", xcount_unassigned);
  db_stop->set_text(text);
}

uint32_t* sc_engine::chain_head(uint32_t weekend, uint32_t period, uint32_t day) const {
  if (weekend > 1 || period < 1 || period > xweeks || day < 1 || day > 7) return nullptr;
  return &xheads[(weekend * xweeks + period - 1) * 7 + day - 1];
}

void sc_engine::index_unass(uint32_t at) {
  const unass_entry& e = ndb_unass.items[at];
  uint32_t* head = chain_head(e.weekend, e.period, e.day);
  if (!head) return;
  uint32_t* tail = xtails + (head - xheads);
  if (*head == kNone) *head = at;
  else ndb_unass.items[*tail].next = at;
  *tail = at;
}

void sc_engine::f_store_all_unsassigned_duties() {
  if (boo_stop_generating) return;
  ndb_unass.clear();
  ++xepoch;
  xcount_unassigned = 0;
  xweeks = kalmora_DB::get_weeks_duration();
  const uint64_t heads = uint64_t(xweeks) * 14;
  if (heads * sizeof(uint32_t) > UINT32_MAX / 2) tav::RaiseIntegerOverflow();
  const uint32_t bytes = uint32_t(heads * sizeof(uint32_t));
  xheads = static_cast<uint32_t*>(K::Memory::AllocAtomicHeap(bytes ? bytes : 4));
  xtails = static_cast<uint32_t*>(K::Memory::AllocAtomicHeap(bytes ? bytes : 4));
  memset(xheads, 0xFF, bytes);
  sc_phase1::nd_duty_ref([&](const dated_duty& d) {
    const DutyDatTerm* dat = d.duty->dat;
    const duty_dat data = DutyDatOf(dat);
    const duty_key key = sc_phase1::get_dtbd_key(data);
    chain_ref holder;
    if (!sc_assign::is_assigned(key.text, &holder)) {
      ++xcount_unassigned;
      const uint32_t weekend = sc_stat_weekend::sp_is_weekend(data.at) == 1 ? 1 : 0;
      ndb_unass.push(unass_entry{weekend, data.at.period, data.at.day, key, kNone, 0, 0});
      index_unass(ndb_unass.size - 1);
    }
    K::Fail();
  });
}

void sc_engine::reset_unassigned_count(uint32_t assigned, uint32_t count) {
  const int32_t a = rizediveva6::checked::U2I(assigned), c = rizediveva6::checked::U2I(count);
  if (a <= c) return;
  xassigned = 0;
  f_store_all_unsassigned_duties();
}

void sc_engine::prepare_loading(const what_stat& category) {
  if (!IsWeekendCategory(category)) return;
  ndb_loading.clear();
  load_db::nd_load([&](const LoadingTerm* l) {
    if (IsPLoading(l, category.a))
      ndb_loading.push(engine_loading{category.a, tav::HeapCopy(l->name), l->fraction});
    K::Fail();
  });
}

bool sc_engine::get_already_assigned(const wchar_t* name, already_entry* out) const {
  for (uint32_t i = ndb_already_assigned.head; i < ndb_already_assigned.size; ++i)
    if (wcscmp(ndb_already_assigned.items[i].name, name) == 0) {
      *out = ndb_already_assigned.items[i];
      return true;
    }
  return false;
}

void sc_engine::add_duties_to_be_assigned(uint32_t weekend, int32_t count, chain_ref doctor) {
  for (int32_t i = 0; i < count; ++i) ndb_to_be_assigned.push(owed_entry{weekend, doctor});
}

bool sc_engine::get_unass(uint32_t weekend, uint32_t period, uint32_t day, duty_key* key) const {
  const uint32_t* head = chain_head(weekend, period, day);
  if (!head || *head == kNone || ndb_unass.empty()) return false;
  *key = ndb_unass.items[*head].key;
  return true;
}

void sc_engine::pop_unass(uint32_t weekend, uint32_t period, uint32_t day) {
  uint32_t* head = chain_head(weekend, period, day);
  if (head && *head != kNone) *head = ndb_unass.items[*head].next;
}

bool sc_engine::get_to_be_assigned(owed_entry* out) const {
  if (ndb_to_be_assigned.empty()) return false;
  *out = ndb_to_be_assigned.items[ndb_to_be_assigned.head];
  return true;
}

void sc_engine::make_quotas(do_what_stat doWhat, const what_stat& category) {
  ndb_already_assigned.clear();
  totals* t = get_xtotals();
  const uint32_t total = t->get_tot_to_be_done(kToBeDone, category);
  for (uint32_t i = 0; i < ndb_loading.size; ++i) {
    const engine_loading& l = ndb_loading.items[i];
    const PersonTerm* p;
    if (l.weekend != category.a || !staff_db::get_person(l.name, &p)) continue;
    const chain_ref doctor = p->ref;
    uint8_t* mark = K::Memory::MarkGStack();
    t->calculate_total_to_be_done(are_assigned(pg(doctor)), stat_type::pc_of_required, doWhat);
    const stat_row row = t->get_stat_dom(pg(doctor), category);
    K::Memory::ReleaseGStack(mark);
    ndb_already_assigned.push(already_entry{l.name, doctor, total, row.second});
  }
  ndb_to_be_assigned.clear();
  for (uint32_t i = 0; i < ndb_loading.size; ++i) {
    const engine_loading& l = ndb_loading.items[i];
    already_entry a;
    if (l.weekend != category.a || !get_already_assigned(l.name, &a)) continue;
    const int32_t count = rizediveva6::checked::R2I(double(a.total) * l.fraction - double(a.assigned));
    add_duties_to_be_assigned(category.a, count, a.doctor);
  }
}

// --- Passes ---------------------------------------------------------------------------------------

void sc_engine::rapid_regular_fill() {
  const uint32_t total = actual_dtbd::total_number();
  if (total <= 1) return;
  // The roster's assigned count, counted once: the gate stores only keys
  // that name duties, so each new entry adds one.
  xtotals = totals::new_();
  xtotals->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_assigned, do_what_stat::do_totals);
  const uint32_t counted = xtotals->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::total});
  const uint32_t entries = sc_assign::number_assigned();
  actual_dtbd::nd_dats_to_be_done_week([&](const sp_duties& s) {
    for (uint32_t i = 0; i < s.count; ++i) {
      uint8_t* mark = K::Memory::MarkGStack();
      const uint32_t assigned = sc_assign::number_assigned();
      // Tested before each duty: the pass ends once a fifth is assigned.
      if (double(assigned) / double(total) >= 0.2) return;
      xrapid_first = counted + (assigned - entries);
      const duty_key key = sc_phase1::get_dtbd_key(s.first[i]);
      chain_ref holder;
      if (!sc_assign::is_assigned(key.text, &holder) && try_ass(key.text))
        comtree::drew_few_assigns(rizediveva6::MakeList<const wchar_t*>({key.text}));
      K::Memory::ReleaseGStack(mark);
    }
    K::Fail();
  });
}

bool sc_engine::holds_fewer(chain_ref doctor, uint32_t first) {
  // Nobody holds fewer than none.
  if (first == 0) return false;
  // The doctor's roster duties are among their entries: fewer entries
  // settle it without counting.
  uint32_t raw = 0;
  for (const rizediveva6::List<rizediveva6::KeyRef>* e = sc_assign::entries_of(doctor); !e->Empty() && raw < first;
       e = e->tail)
    ++raw;
  if (raw < first) return true;
  totals* t = get_xtotals();
  t->calculate_total_to_be_done(are_assigned(pg(doctor)), stat_type::pc_of_assigned, do_what_stat::do_totals);
  return t->get_stat_dom(pg(doctor), what_stat{stat_kind::total}).second < first;
}

bool sc_engine::try_ass(const wchar_t* key) {
  return staff_db::nd_random_person([&](const PersonTerm* p) {
    const chain_ref doctor = p->ref;
    if (holds_fewer(doctor, xrapid_first) &&
        sc_assign::assign_person(test_ass::test_and_make, key, doctor)->Kind() == reason_kind::can_do_it)
      return;
    K::Fail();
  });
}

void sc_engine::calc_tots_and_fill() {
  if (boo_stop_generating) return;
  xtotals = totals::new_();
  xtotals->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
  fill_unass_duts();
}

void sc_engine::fill_unass_duts() {
  if (boo_stop_generating) return;
  ndb_unass.clear();
  ndb_already_assigned.clear();
  ndb_to_be_assigned.clear();
  prepare_unassigned();
  sc_assign::repair_ass();
  prepare_loading(weekend_stat(1));
  fill(do_what_stat::do_weekend, weekend_stat(1));
  if (boo_stop_generating) return;
  ndb_unass.clear();
  ndb_already_assigned.clear();
  ndb_to_be_assigned.clear();
  prepare_unassigned();
  prepare_loading(weekend_stat(0));
  fill(do_what_stat::do_weekend, weekend_stat(0));
}

uint32_t sc_engine::sweeps(uint32_t unassigned) { return rizediveva6::checked::R2U(double(unassigned) / 6.0); }

void sc_engine::fill(do_what_stat doWhat, const what_stat& category) {
  if (boo_stop_generating) return;
  make_quotas(doWhat, category);
  const uint32_t n = sweeps(xcount_unassigned);
  for (uint32_t i = 0; i < n && !boo_stop_generating; ++i) assign_one();
}

void sc_engine::build_random() {
  uint32_t have = 0;
  while (have < 7) {
    const int32_t r = QelMath::Random_1(8);
    bool seen = r < 1 || r > 7;
    for (uint32_t i = 0; i < have && !seen; ++i) seen = ndb[i] == uint32_t(r);
    if (!seen) ndb[have++] = uint32_t(r);
  }
}

void sc_engine::assign_one() {
  if (boo_stop_generating) return;
  uint8_t* mark = K::Memory::MarkGStack();
  xassigned = sc_assign::number_assigned();
  const uint64_t accepted = xaccepted;
  build_random();
  sweep_positions();
  // A sweep that assigned nothing offered the head doctor every position
  // the next one would, and would be refused the same: that doctor's owed
  // duties go, so the doctors behind are served.
  if (accepted == xaccepted && !boo_stop_generating) drop_head_doctor();
  K::Memory::ReleaseGStack(mark);
}

void sc_engine::drop_head_doctor() {
  owed_entry head;
  if (!get_to_be_assigned(&head)) return;
  heap_array<owed_entry>& q = ndb_to_be_assigned;
  while (!q.empty() && q.items[q.head].doctor == head.doctor && q.items[q.head].weekend == head.weekend) ++q.head;
}

void sc_engine::sweep_positions() {
  const uint32_t weeks = kalmora_DB::get_weeks_duration();
  for (uint32_t d = 0; d < 7; ++d)
    for (uint32_t p = 1; p <= weeks; ++p) {
      owed_entry owed;
      // With nobody owed anything the rest of the sweep has no candidate.
      if (!get_to_be_assigned(&owed)) return;
      const uint32_t* head = chain_head(owed.weekend, p, ndb[d]);
      if (!head || *head == kNone) continue;
      if (!events_round()) return;
      ++figures.candidates;
      unass_entry& entry = ndb_unass.items[*head];
      if (entry.refused_epoch == xepoch && entry.refused_by == owed.doctor) continue;
      if (!doctor_reads(owed.doctor)) {
        ++ndb_to_be_assigned.head;  // a doctor deleted meanwhile: the candidate is dropped
        continue;
      }
      const duty_key key = entry.key;
      const uint32_t at = *head;
      if (!try_assign(owed.weekend, owed.doctor, key) && !boo_stop_generating) {
        ndb_unass.items[at].refused_by = owed.doctor;
        ndb_unass.items[at].refused_epoch = xepoch;
      }
      if (boo_stop_generating) return;
    }
}

bool sc_engine::try_assign(uint32_t weekend, chain_ref doctor, const duty_key& key) {
  if (sc_assign::assign_person(test_ass::test_and_make, key.text, doctor)->Kind() != reason_kind::can_do_it)
    return false;
  // The candidate came from the heads of both lists.
  ++xepoch;
  ++xaccepted;
  ++ndb_to_be_assigned.head;
  sp at;
  if (sc_phase1::dtbd_key_sp(key.text, &at)) pop_unass(weekend, at.period, at.day);
  comtree::drew_few_assigns(rizediveva6::MakeList<const wchar_t*>({key.text}));
  ++xassigned;
  bool ran = false;
  if (!events_round(&ran) || !db_stop) return true;
  // The text shows at event rounds only, so it is written only then.
  if (ran) {
    wchar_t text[64];
    swprintf(text, 64, L"Assigned %u out of %u", xassigned, xcount_unassigned);
    db_stop->set_text(text);
  }
  reset_unassigned_count(xassigned, xcount_unassigned);
  return true;
}

void sc_engine::force_last_ones() {
  if (boo_stop_generating) return;
  actual_dtbd::nd_dats_to_be_done([&](const sp_duties& s) {
    for (uint32_t i = 0; i < s.count; ++i) {
      const duty_key key = sc_phase1::get_dtbd_key(s.first[i]);
      chain_ref holder;
      if (sc_assign::is_assigned(key.text, &holder)) continue;
      uint8_t* mark = K::Memory::MarkGStack();
      // The order is drawn whole before the first doctor, so ending at the
      // first taker draws as trying every doctor would.
      staff_db::nd_random_person([&](const PersonTerm* p) {
        if (sc_assign::assign_person(test_ass::test_ass_only, key.text, p->ref)->Kind() != reason_kind::can_do_it)
          K::Fail();
        sc_assign::assign_person(test_ass::make_ass_only, key.text, p->ref);
      });
      K::Memory::ReleaseGStack(mark);
    }
    K::Fail();
  });
}

}  // namespace all
