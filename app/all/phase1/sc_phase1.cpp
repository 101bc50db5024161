// The duty index: rebuild, keys and lookups.
#include "phase1/sc_phase1.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "unit.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;
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

}  // namespace all
