// The duty index: rebuild, keys and lookups.
#include "phase1/sc_phase1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/kalmora_DB.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "unit.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;
using rizediveva6::mytime;
using rizediveva6::SList;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo sc_phase1::classInfo{L"qel6pack/all/phase1/sc_phase1", TAV_CLASS_VERSION};
store_state sc_phase1::state{L"sc_phase1", L"sc_phase1 not initialised"};
bool sc_phase1::boo_must_regenerate = false;
bt* sc_phase1::x_bt_duty_date = nullptr;
bt* sc_phase1::xdb_bt = nullptr;
uint32_t sc_phase1::xcount = 0;

namespace {

constexpr uint32_t kDays = 7, kMax = 10, kMaxPeriods = 104;
const tav::BooleanTerm kFalse{1}, kTrue{2};

// True when the chain name reads as an integer: a period chain.
bool IsPeriodChain(const wchar_t* name) {
  const wchar_t* p = name[0] == L'-' ? name + 1 : name;
  if (!*p) return false;
  int64_t v = 0;
  for (; *p; ++p) {
    if (*p < L'0' || *p > L'9') return false;
    v = v * 10 + (*p - L'0');
    if (v > 0x80000000LL) return false;
  }
  return name[0] == L'-' || v <= 0x7FFFFFFF;
}

// Every period chain's name, copied before any is deleted.
const List<const wchar_t*>* PeriodChains(tav::chainDB* db) {
  ListBuilder<const wchar_t*> names(true);
  db->db_chains([&](const wchar_t* name) {
    if (IsPeriodChain(name)) names.Add(tav::HeapCopy(name));
    K::Fail();
  });
  return names.Finish();
}

// One duty of a rebuild with its place in the trees.
struct planned {
  duty_dat dat;
  duty_key key;
  const date_key* dateKey;
};

// Keeps the first duty of every key, with its key and date key; nothing is
// written.
struct plan {
  planned* duties;
  uint32_t count;
};

plan Plan(const roster_duties& r, uint32_t offset) {
  auto* seen = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kMaxPeriods * kDays * kMax * kMax * kMax / 8 + 1));
  memset(seen, 0, kMaxPeriods * kDays * kMax * kMax * kMax / 8 + 1);
  auto* dateKeys = static_cast<date_key*>(K::Memory::AllocAtomicHeap(kMaxPeriods * kDays * sizeof(date_key)));
  auto* dated = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kMaxPeriods * kDays));
  memset(dated, 0, kMaxPeriods * kDays);
  const uint64_t bytes = static_cast<uint64_t>(r.dutyCount ? r.dutyCount : 1) * sizeof(planned);
  if (bytes > 0x7FFFFFFF) rizediveva6::RaiseRangeError();
  auto* out = static_cast<planned*>(K::Memory::AllocHeap(static_cast<uint32_t>(bytes)));
  uint32_t n = 0;
  for (uint32_t i = 0; i < r.dutyCount; ++i) {
    const duty_dat& d = r.duties[i];
    CheckSp(d.at);
    rizediveva6::CheckRange(domains::task_dom, d.task);
    rizediveva6::CheckRange(domains::where_dom, d.where);
    const uint32_t bit =
        ((((d.at.period - 1) * kDays + d.at.day - 1) * kMax + d.at.slot - 1) * kMax + d.task - 1) * kMax +
        d.where - 1;
    if (seen[bit >> 3] & (1u << (bit & 7))) continue;  // a repeated key: the first stays
    seen[bit >> 3] |= static_cast<uint8_t>(1u << (bit & 7));
    const uint32_t day = (d.at.period - 1) * kDays + d.at.day - 1;
    if (!dated[day]) {
      dateKeys[day] = sc_phase1::get_date_key(sp_calendar::sp_dt(offset, d.at));
      dated[day] = 1;
    }
    out[n++] = planned{d, sc_phase1::get_dtbd_key(d), &dateKeys[day]};
  }
  return plan{out, n};
}

// Deletes every period chain and empties the key tree.
void Clear(tav::chainDB* db, bt* keys) {
  for (const List<const wchar_t*>* l = PeriodChains(db); !l->Empty(); l = l->tail) db->chain_delete(l->head);
  keys->beet_clear();
}

// Stores one duty in its period chain: the term's own reference inside.
chain_ref Store(tav::chainDB* db, const duty_dat& d) {
  wchar_t chain[12];
  swprintf(chain, 12, L"%u", d.at.period);
  const SpTerm at{1, d.at.day, d.at.period, d.at.slot};
  const DutyDatTerm dat{1, &at, d.where, d.task, d.changed ? &kTrue : &kFalse};
  DutyTerm duty{1, 0, &dat};
  const IDomainDefinition* domain = tav::D(domains::duty_to_be_done);
  chain_ref ref;
  db->chain_inserta(domain, chain, reinterpret_cast<T::term>(&duty), &ref);
  duty.ref = ref;
  db->term_replace(domain, ref, reinterpret_cast<T::term>(&duty));
  return ref;
}

}  // namespace

duty_dat DutyDatOf(const DutyDatTerm* t) {
  return duty_dat{SpOf(t->at), t->where, t->task, t->changed->functor == kTrue.functor};
}

void sc_phase1::init(tav::chainDB* db) {
  if (state.boo_init) return;
  bt* dates = bt::new_(db, L"bt_date", 13, 4, 1);
  bt* keys = bt::new_(db, L"phase1_bt", 20, 4, 0);
  state.init(db);
  x_bt_duty_date = dates;
  xdb_bt = keys;
}

void sc_phase1::uninit() {
  state.uninit();
  x_bt_duty_date = nullptr;
  xdb_bt = nullptr;
  boo_must_regenerate = false;
}

void sc_phase1::must_regenerate(const wchar_t*) { boo_must_regenerate = true; }

bt* sc_phase1::key_tree() {
  if (!xdb_bt) K::Errors::RunTimeError(329, L"xdb_bt", L"sc_phase1");
  return xdb_bt;
}

bt* sc_phase1::date_tree() {
  if (!x_bt_duty_date) K::Errors::RunTimeError(329, L"x_bt_duty_date", L"sc_phase1");
  return x_bt_duty_date;
}

void sc_phase1::generate() {
  if (!boo_must_regenerate) return;
  state.is_initialised();
  // Everything derived and checked before the first write.
  const derivation_input in = actual_dtbd::read_input();
  const plan p = Plan(actual_dtbd::derive(in), in.offset);
  tav::chainDB* db = state.db();
  bt* keys = key_tree();
  bt* dates = date_tree();

  kalmora_DB::set_as_mod();
  Clear(db, keys);
  dates->beet_clear();
  for (uint32_t i = 0; i < p.count; ++i) {
    const chain_ref ref = Store(db, p.duties[i].dat);
    keys->kee_insert(p.duties[i].key.text, ref);
    dates->kee_insert(p.duties[i].dateKey->text, ref);
  }
  boo_must_regenerate = false;
  load_db::drop_weekend_tots();
  sc_assign::must_be_repaired();
  lock_ass::repair();
}

duty_key sc_phase1::get_dtbd_key(const duty_dat& d) {
  duty_key k;
  swprintf(k.text, 24, L"[%u,%u,%u,%u,%u]", d.at.period + 100, d.at.slot + 10, d.at.day + 10, d.task, d.where);
  return k;
}

duty_key sc_phase1::get_key_by_sp(const sp& s, uint32_t where, uint32_t task) {
  return get_dtbd_key(duty_dat{s, where, task, false});
}

date_key sc_phase1::get_date_key(const dt& d) {
  date_key k;
  swprintf(k.text, 16, L"%d%d%d", d.year, d.month + 10, d.day + 10);
  return k;
}

bool sc_phase1::get_duty_by_key(const wchar_t* key, const DutyTerm** duty) {
  chain_ref ref;
  if (!key_tree()->kee_search(key, &ref)) return false;
  *duty = get_duty_by_ref(ref);
  return true;
}

const DutyTerm* sc_phase1::get_duty_by_ref(chain_ref ref) {
  return reinterpret_cast<const DutyTerm*>(state.db()->ref_term(tav::D(domains::duty_to_be_done), ref));
}

bool sc_phase1::dtbd_key_sp(const wchar_t* key, sp* out) {
  const DutyTerm* d;
  if (!get_duty_by_key(key, &d)) return false;
  *out = SpOf(d->dat->at);
  return true;
}

bool sc_phase1::dtbd_key_dt(const wchar_t* key, dt* out) {
  sp s;
  if (!dtbd_key_sp(key, &s)) return false;
  *out = kalmora_DB::sp_dt(s);
  return true;
}

dt sc_phase1::dtbd_dt(const DutyTerm* duty) { return kalmora_DB::sp_dt(SpOf(duty->dat->at)); }

bool sc_phase1::nd_duty_ref(tav::Each<dated_duty> k) {
  bt* dates = date_tree();
  chain_ref first;
  if (!dates->kee_first(&first)) return false;
  return dates->nd_kee1([&](KeyRef e) { k(dated_duty{e.ref, get_duty_by_ref(e.ref), e.key}); });
}

namespace {

// The key beside `key` in the key tree: a search, then one cursor step.
bool Neighbour(const wchar_t* key, bool forward, const wchar_t** out) {
  bt* keys = sc_phase1::key_tree();
  chain_ref ref;
  if (!keys->kee_search(key, &ref)) return false;
  const wchar_t* at;
  if (!keys->kee_current(&at, &ref) || wcscmp(at, key) != 0) return false;
  if (!(forward ? keys->kee_next(&ref) : keys->kee_prev(&ref))) return false;
  return keys->kee_current(out, &ref);
}

}  // namespace

bool sc_phase1::next_key(const wchar_t* key, const wchar_t** out) { return Neighbour(key, true, out); }
bool sc_phase1::prev_key(const wchar_t* key, const wchar_t** out) { return Neighbour(key, false, out); }

uint32_t sc_phase1::how_many() {
  tav::chainDB* db = state.db();
  xcount = 0;
  for (const List<const wchar_t*>* l = PeriodChains(db); !l->Empty(); l = l->tail) {
    chain_ref ref;
    for (bool more = db->chain_first(l->head, &ref); more; more = db->chain_next(ref, &ref)) ++xcount;
  }
  return xcount;
}

void sc_phase1::show_how_many() {
  wchar_t text[48];
  swprintf(text, 48, L"Number of duties = %u", how_many());
  myKWI::note(text);
}

// --- slot-periods, descriptions, listings ---

namespace {

// The texts joined by single spaces, on the collected heap (rows outlive
// the walk's backtracking).
const wchar_t* Join(std::initializer_list<const wchar_t*> parts) {
  size_t n = 0;
  for (const wchar_t* p : parts) n += wcslen(p) + 1;
  wchar_t* out = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
  wchar_t* at = out;
  bool first = true;
  for (const wchar_t* p : parts) {
    if (!first) *at++ = L' ';
    first = false;
    const size_t len = wcslen(p);
    memcpy(at, p, len * sizeof(wchar_t));
    at += len;
  }
  *at = 0;
  return out;
}

// The numbers of a store's list that the filter admits (at most 10).
struct admitted {
  uint32_t number[kMax];
  uint32_t count = 0;
};

// The numbers a list walk yields, range-checked, that `allow` admits.
template <class Entry, class Walk, class Allow>
admitted Admitted(Walk walk, T::RIntegralDomain& domain, Allow allow) {
  admitted a;
  walk([&](Entry e) {
    rizediveva6::CheckRange(domain, e.number);
    if (allow(e.number) && a.count < kMax) a.number[a.count++] = e.number;
    K::Fail();
  });
  return a;
}

admitted AdmittedTasks() {
  return Admitted<task_entry>(tasks::nd_tasks, domains::task_dom, sc_include::allow_task);
}

admitted AdmittedLocations() {
  return Admitted<where_entry>(locations::nd_locs, domains::where_dom, sc_include::allow_where);
}

const wchar_t* DayName(uint32_t day) {
  const wchar_t* name;
  return mytime::dayno_dayname(day, &name) ? name : L"";
}

// The row of a stored duty with its person text; the day name from the
// day number or, with byDate, from the date.
duty_row RowOf(const DutyTerm* duty, const wchar_t* person, bool byDate) {
  const sp at = SpOf(duty->dat->at);
  const dt date = kalmora_DB::sp_dt(at);
  const wchar_t* parts[6] = {
      Join({mytime::dt_str(date)}),
      Join({byDate ? mytime::dt_dayname(date) : DayName(at.day)}),
      Join({kalmora_DB::get_slot_name(at.slot)}),
      Join({locations::get_where_name(duty->dat->where)}),
      Join({tasks::get_task_name(duty->dat->task)}),
      Join({person}),
  };
  ListBuilder<const wchar_t*> row(true);
  for (const wchar_t* p : parts) row.Add(p);
  return duty_row{Join({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]}), row.Finish()};
}

}  // namespace

namespace {

// "T,L]" after a slot-period's key prefix; false for another text.
bool TaskAndLocation(const wchar_t* text, uint32_t* task, uint32_t* where) {
  uint32_t* parts[2] = {task, where};
  for (int i = 0; i < 2; ++i) {
    uint32_t v = 0;
    const wchar_t* start = text;
    for (; *text >= L'0' && *text <= L'9' && v <= kMax; ++text) v = v * 10 + (*text - L'0');
    if (text == start || *text++ != (i == 0 ? L',' : L']')) return false;
    *parts[i] = v;
  }
  return *text == 0;
}

}  // namespace

// The keys of one slot-period lie together in the key tree (the tree's
// order keeps each "[P,S,D," prefix contiguous): one search, a walk over
// the prefix, then the Part's order of task and location list positions.
const duty_terms* sc_phase1::duties_to_be_done_on_sp(const sp& s) {
  const admitted taskNumbers = AdmittedTasks();
  const admitted whereNumbers = AdmittedLocations();
  bool taskShown[kMax + 1] = {}, whereShown[kMax + 1] = {};
  for (uint32_t i = 0; i < taskNumbers.count; ++i) taskShown[taskNumbers.number[i]] = true;
  for (uint32_t i = 0; i < whereNumbers.count; ++i) whereShown[whereNumbers.number[i]] = true;

  wchar_t prefix[24];
  const size_t length =
      static_cast<size_t>(swprintf(prefix, 24, L"[%u,%u,%u,", s.period + 100, s.slot + 10, s.day + 10));
  struct hit {
    uint32_t task, where;
    chain_ref ref;
  } hits[kMax * kMax];
  uint32_t n = 0;
  bt* keys = key_tree();
  chain_ref ref;
  const wchar_t* at;
  keys->kee_search(prefix, &ref);  // not a key: the cursor stops on the first greater one
  for (bool more = keys->kee_current(&at, &ref); more && wcsncmp(at, prefix, length) == 0;
       more = keys->kee_next(&ref) && keys->kee_current(&at, &ref)) {
    uint32_t task, where;
    if (!TaskAndLocation(at + length, &task, &where) || task > kMax || where > kMax) continue;
    if (taskShown[task] && whereShown[where] && n < kMax * kMax) hits[n++] = hit{task, where, ref};
  }
  std::sort(hits, hits + n, [](const hit& a, const hit& b) {
    return a.task != b.task ? a.task < b.task : a.where < b.where;
  });
  ListBuilder<const DutyTerm*> out;
  for (uint32_t i = 0; i < n; ++i) out.Add(get_duty_by_ref(hits[i].ref));
  return out.Finish();
}

bool sc_phase1::duties_to_be_done_on_dt(const dt& date, uint32_t slot, const duty_terms** out) {
  sp at;
  if (!kalmora_DB::dt_sp(date, &at)) return false;
  at.slot = slot;
  *out = duties_to_be_done_on_sp(at);
  return true;
}

const wchar_t* sc_phase1::key_desc(const wchar_t* key) {
  const DutyTerm* duty;
  if (!get_duty_by_key(key, &duty)) return L"Unknown??";
  const sp at = SpOf(duty->dat->at);
  return Join({tasks::get_task_name(duty->dat->task), locations::get_where_name(duty->dat->where), DayName(at.day),
               kalmora_DB::get_slot_name(at.slot), mytime::dt_str(kalmora_DB::sp_dt(at))});
}

bool sc_phase1::done_by(uint32_t mode, const wchar_t* key, const wchar_t** text) {
  chain_ref doctor;
  if (sc_assign::is_assigned(key, &doctor)) {
    if (mode == kUnassignedDuty) return false;
    *text = Join({L"", staff_db::get_personref(doctor)->dat->name});
    return true;
  }
  if (mode == kAssignedDuty) return false;
  *text = L"unassigned";
  return true;
}

bool sc_phase1::nd_duty_desc(uint32_t mode, tav::Each<duty_row> k) {
  return nd_duty_ref([&](dated_duty e) {
    const wchar_t* person;
    if (!done_by(mode, get_dtbd_key(DutyDatOf(e.duty->dat)).text, &person)) K::Fail();
    k(RowOf(e.duty, person, false));
  });
}

bool sc_phase1::nd_duty_desc_by_person(const wchar_t* name, tav::Each<duty_row> k) {
  return nd_duty_ref([&](dated_duty e) {
    chain_ref doctor;
    if (!sc_assign::is_assigned(get_dtbd_key(DutyDatOf(e.duty->dat)).text, &doctor)) K::Fail();
    const wchar_t* person = staff_db::get_personref(doctor)->dat->name;
    if (wcscmp(person, name) != 0) K::Fail();
    k(RowOf(e.duty, Join({L"", person}), true));
  });
}

const List<const SList*>* sc_phase1::the_duties_to_be_done(const SList* query) {
  ListBuilder<const SList*> rows(true);
  auto collect = [&](duty_row r) {
    rows.Add(r.row);
    K::Fail();
  };
  uint32_t n = 0;
  for (const SList* l = query; !l->Empty(); l = l->tail) ++n;
  if (n == 1 && wcscmp(query->head, L"assigned") == 0) {
    nd_duty_desc(kAssignedDuty, collect);
  } else if (n == 2 && wcscmp(query->head, L"assigned") == 0) {
    nd_duty_desc_by_person(query->tail->head, collect);
  } else if (n == 1 && wcscmp(query->head, L"unassigned") == 0) {
    nd_duty_desc(kUnassignedDuty, collect);
  } else {
    ListBuilder<const wchar_t*> error(true);
    error.Add(L"Error 855");
    rows.Add(error.Finish());
  }
  return rows.Finish();
}

}  // namespace all
