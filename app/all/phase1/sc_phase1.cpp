// The duty index: rebuild, keys and lookups.
#include "phase1/sc_phase1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <vector>

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


// --- The index held in memory ---------------------------------------------------------------
//
// A copy of the stored duties, their keys and the date order, made in one
// pass over the period chains and both trees at the first query after a
// change, and dropped before a rebuild writes and at init and uninit.
// Duties whose key has the form the rebuild writes are found by the key's
// position in slot-period order; any other stored key goes to a map, and a
// key found in neither is searched in the tree (its comparison may equal
// texts that differ).

constexpr uint32_t kOrdinals = kMaxPeriods * kDays * kMax * kMax * kMax;

// One stored duty on the collected heap.
struct memo_duty {
  DutyTerm term;
  DutyDatTerm dat;
  SpTerm at;
  tav::BooleanTerm changed;
};

// One entry of the key tree: its reference and the duty stored there (null:
// none in a period chain, read on use).
struct memo_key {
  chain_ref ref;
  const DutyTerm* duty;
};

// Reads "[n" of one key part: digits without a leading zero within lo..hi.
bool KeyPart(const wchar_t*& at, wchar_t lead, uint32_t lo, uint32_t hi, uint32_t* out) {
  if (*at++ != lead || *at < L'1' || *at > L'9') return false;
  uint32_t v = 0;
  for (; *at >= L'0' && *at <= L'9'; ++at)
    if ((v = v * 10 + (*at - L'0')) > hi) return false;
  if (v < lo) return false;
  *out = v;
  return true;
}

// The position of a key of the rebuild's form in slot-period order, then
// task, then location; false for any other text.
bool Ordinal(const wchar_t* key, uint32_t* out) {
  uint32_t p, s, d, t, w;
  const wchar_t* at = key;
  if (!KeyPart(at, L'[', 101, 100 + kMaxPeriods, &p) || !KeyPart(at, L',', 11, 10 + kMax, &s) ||
      !KeyPart(at, L',', 11, 10 + kDays, &d) || !KeyPart(at, L',', 1, kMax, &t) || !KeyPart(at, L',', 1, kMax, &w) ||
      at[0] != L']' || at[1] != 0)
    return false;
  *out = ((((p - 101) * kDays + d - 11) * kMax + s - 11) * kMax + t - 1) * kMax + w - 1;
  return true;
}

// The first ordinal of a slot-period; false outside the index's ranges.
bool SpOrdinal(const sp& s, uint32_t* out) {
  if (s.period < 1 || s.period > kMaxPeriods || s.day < 1 || s.day > kDays || s.slot < 1 || s.slot > kMax)
    return false;
  *out = (((s.period - 1) * kDays + s.day - 1) * kMax + s.slot - 1) * kMax * kMax;
  return true;
}

struct DutyMemo {
  bool built = false;
  std::vector<uint32_t> byOrdinal;  // key entry + 1, 0 for none
  std::unordered_map<std::wstring, uint32_t> otherKeys;  // key entry + 1
  std::unordered_map<chain_ref, uint32_t> byRef;  // stored duty number
  void Drop() {
    built = false;
    byOrdinal.clear();
    byOrdinal.shrink_to_fit();
    otherKeys.clear();
    byRef.clear();
  }
};
DutyMemo memo;
// Collected blocks, reached from here only while the memo is built.
memo_duty* x_memo_duties = nullptr;
memo_key* x_memo_keys = nullptr;
dated_duty* x_memo_dates = nullptr;
uint32_t x_memo_date_count = 0;
uint64_t x_generation = 0;  // memo drops

// Scratch of a build: static, so that a raise skips no destructor.
struct stored_duty {
  chain_ref ref, own;
  duty_dat dat;
};
std::vector<stored_duty> x_stored;
std::vector<KeyRef> x_entries;

void DropMemo() {
  ++x_generation;
  memo.Drop();
  x_memo_duties = nullptr;
  x_memo_keys = nullptr;
  x_memo_dates = nullptr;
  x_memo_date_count = 0;
}

// The cached duty at a reference; null when no period chain holds it.
const DutyTerm* MemoDuty(chain_ref ref) {
  auto it = memo.byRef.find(ref);
  return it == memo.byRef.end() ? nullptr : &x_memo_duties[it->second].term;
}

// The duties of every period chain; a chain whose terms do not read as
// duties is left out (the trees' references into it are read on use, as
// before there was a memo).
void ReadStoredDuties(tav::chainDB* db) {
  x_stored.clear();
  for (const List<const wchar_t*>* l = PeriodChains(db); !l->Empty(); l = l->tail) {
    const size_t before = x_stored.size();
    const uint32_t code = K::RunTrapped([&] {
      db->chain_terms(tav::D(domains::duty_to_be_done), l->head, [&](tav::RefTerm rt) {
        const auto* t = reinterpret_cast<const DutyTerm*>(rt.t);
        x_stored.push_back(stored_duty{rt.ref, t->ref, DutyDatOf(t->dat)});
        K::Fail();
      });
    });
    if (code != 0) x_stored.resize(before);
  }
  const uint64_t bytes = (x_stored.size() + 1) * sizeof(memo_duty);
  if (bytes > 0x7FFFFFFF) rizediveva6::RaiseRangeError();
  auto* duties = static_cast<memo_duty*>(K::Memory::AllocHeap(static_cast<uint32_t>(bytes)));
  for (uint32_t i = 0; i < x_stored.size(); ++i) {
    const stored_duty& s = x_stored[i];
    memo_duty& m = duties[i];
    m.at = SpTerm{1, s.dat.at.day, s.dat.at.period, s.dat.at.slot};
    m.changed = s.dat.changed ? kTrue : kFalse;
    m.dat = DutyDatTerm{1, &m.at, s.dat.where, s.dat.task, &m.changed};
    m.term = DutyTerm{1, s.own, &m.dat};
    memo.byRef.emplace(s.ref, i);  // a reference is stored once
  }
  x_memo_duties = duties;
  x_stored.clear();
}

// Every entry of a tree in key order into x_entries (keys on the heap).
void ReadTree(bt* tree) {
  x_entries.clear();
  chain_ref first;
  if (tree->kee_first(&first))
    tree->nd_kee1([&](KeyRef e) {
      x_entries.push_back(KeyRef{tav::HeapCopy(e.key), e.ref});
      K::Fail();
    });
}

void ReadKeys(bt* keys) {
  ReadTree(keys);
  auto* entries = static_cast<memo_key*>(K::Memory::AllocHeap(static_cast<uint32_t>((x_entries.size() + 1) * sizeof(memo_key))));
  memo.byOrdinal.assign(kOrdinals, 0);
  for (uint32_t i = 0; i < x_entries.size(); ++i) {
    entries[i] = memo_key{x_entries[i].ref, MemoDuty(x_entries[i].ref)};
    uint32_t ordinal;
    if (Ordinal(x_entries[i].key, &ordinal)) memo.byOrdinal[ordinal] = i + 1;
    else memo.otherKeys.emplace(x_entries[i].key, i + 1);
  }
  x_memo_keys = entries;
  x_entries.clear();
}

void ReadDates(bt* dates) {
  ReadTree(dates);
  const uint64_t bytes = (x_entries.size() + 1) * sizeof(dated_duty);
  if (bytes > 0x7FFFFFFF) rizediveva6::RaiseRangeError();
  auto* walk = static_cast<dated_duty*>(K::Memory::AllocHeap(static_cast<uint32_t>(bytes)));
  const wchar_t* last = nullptr;
  for (uint32_t i = 0; i < x_entries.size(); ++i) {
    const wchar_t* key = x_entries[i].key;
    if (last && wcscmp(last, key) == 0) key = last;  // one text per date
    walk[i] = dated_duty{x_entries[i].ref, MemoDuty(x_entries[i].ref), last = key};
  }
  x_memo_dates = walk;
  x_memo_date_count = static_cast<uint32_t>(x_entries.size());
  x_entries.clear();
}

// The memo of the open document, built when missing (329 while closed).
const DutyMemo& Memo() {
  bt* keys = sc_phase1::key_tree();
  bt* dates = sc_phase1::date_tree();
  if (!memo.built) {
    DropMemo();
    ReadStoredDuties(sc_phase1::state.db());
    ReadKeys(keys);
    ReadDates(dates);
    memo.built = true;
  }
  return memo;
}

// The key entry of a key; null when the key is in neither table.
const memo_key* MemoKey(const wchar_t* key) {
  const DutyMemo& m = Memo();
  uint32_t ordinal, entry = 0;
  if (Ordinal(key, &ordinal)) {
    entry = m.byOrdinal[ordinal];
  } else if (!m.otherKeys.empty()) {
    auto it = m.otherKeys.find(key);
    if (it != m.otherKeys.end()) entry = it->second;
  }
  return entry ? &x_memo_keys[entry - 1] : nullptr;
}

const DutyTerm* DutyAt(const memo_key& k) { return k.duty ? k.duty : sc_phase1::get_duty_by_ref(k.ref); }

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
  DropMemo();
}

void sc_phase1::uninit() {
  state.uninit();
  DropMemo();
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
  DropMemo();
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
  wchar_t* at = k.text;
  const uint32_t parts[5] = {d.at.period + 100, d.at.slot + 10, d.at.day + 10, d.task, d.where};
  for (uint32_t i = 0; i < 5; ++i) {
    *at++ = i == 0 ? L'[' : L',';
    wchar_t digits[10];
    uint32_t n = 0;
    for (uint32_t v = parts[i]; n == 0 || v; v /= 10) digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
    while (n) *at++ = digits[--n];
  }
  *at++ = L']';
  *at = 0;
  return k;
}

bool sc_phase1::parse_key(const wchar_t* key, duty_dat* out) {
  uint32_t ordinal;
  if (!Ordinal(key, &ordinal)) return false;
  const uint32_t where = ordinal % kMax + 1, task = ordinal / kMax % kMax + 1, slot = ordinal / (kMax * kMax) % kMax + 1;
  const uint32_t days = ordinal / (kMax * kMax * kMax);
  *out = duty_dat{sp{days % kDays + 1, days / kDays + 1, slot}, where, task, false};
  return true;
}

uint64_t sc_phase1::generation() { return x_generation; }

duty_key sc_phase1::get_key_by_sp(const sp& s, uint32_t where, uint32_t task) {
  return get_dtbd_key(duty_dat{s, where, task, false});
}

date_key sc_phase1::get_date_key(const dt& d) {
  date_key k;
  swprintf(k.text, 16, L"%d%d%d", d.year, d.month + 10, d.day + 10);
  return k;
}

bool sc_phase1::get_duty_by_key(const wchar_t* key, const DutyTerm** duty) {
  if (const memo_key* k = MemoKey(key)) {
    *duty = DutyAt(*k);
    return true;
  }
  chain_ref ref;
  if (!key_tree()->kee_search(key, &ref)) return false;
  *duty = get_duty_by_ref(ref);
  return true;
}

const DutyTerm* sc_phase1::get_duty_by_ref(chain_ref ref) {
  Memo();
  if (const DutyTerm* d = MemoDuty(ref)) return d;
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
  Memo();
  dated_duty* const walk = x_memo_dates;  // stays whole if k changes the index
  const uint32_t count = x_memo_date_count;
  for (uint32_t i = 0; i < count; ++i) {
    dated_duty e = walk[i];
    if (!e.duty) e.duty = get_duty_by_ref(e.ref);
    if (tav::TrySolution(k, e)) return true;
  }
  return false;
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

// A slot-period's duties by task then location number: read from the
// memo's slot-period order, or, when the tree holds keys of another form,
// by one search and a walk over the "[P,S,D," prefix (the tree's order
// keeps each prefix contiguous), sorted.
const duty_terms* sc_phase1::duties_to_be_done_on_sp(const sp& s) {
  const admitted taskNumbers = AdmittedTasks();
  const admitted whereNumbers = AdmittedLocations();
  bool taskShown[kMax + 1] = {}, whereShown[kMax + 1] = {};
  for (uint32_t i = 0; i < taskNumbers.count; ++i) taskShown[taskNumbers.number[i]] = true;
  for (uint32_t i = 0; i < whereNumbers.count; ++i) whereShown[whereNumbers.number[i]] = true;
  ListBuilder<const DutyTerm*> out;
  if (Memo().otherKeys.empty()) {  // every key in the table, by task then location
    uint32_t base;
    if (!SpOrdinal(s, &base)) return out.Finish();
    for (uint32_t task = 1; task <= kMax; ++task)
      for (uint32_t where = 1; taskShown[task] && where <= kMax; ++where)
        if (const uint32_t entry = memo.byOrdinal[base + (task - 1) * kMax + where - 1]; entry && whereShown[where])
          out.Add(DutyAt(x_memo_keys[entry - 1]));
    return out.Finish();
  }

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
