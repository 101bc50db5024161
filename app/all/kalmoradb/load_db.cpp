// The loadings over "loading_chain": shares, their normalising, the computed
// total share, repair and the clipboard copy.
#include "kalmoradb/load_db.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/stats_pack/totals.h"
#include "qel6kwi.h"
#include "qel6kwi_exchange.h"
#include "unit.h"

namespace all {

using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;

const tav::ClassInfo load_db::classInfo{L"qel6pack/all/kalmoradb/load_db", TAV_CLASS_VERSION};
store_state load_db::state{L"load_db", L"loadings not initialised"};
bool load_db::sdb_tell_user_to_check_loadings = true;
bool load_db::has_weekend_tots = false;
uint32_t load_db::weekend_tots[2] = {0, 0};

namespace {

constexpr const wchar_t* kChain = L"loading_chain";
constexpr uint64_t kPLoading = 1;

const IDomainDefinition* Loading() { return tav::D(domains::loading); }

// One stored loading, copied to the heap.
struct stored_load {
  chain_ref ref;
  const LoadingTerm* load;
};

const WhatStatTerm* HeapStat(const WhatStatTerm* s) {
  auto* c = static_cast<WhatStatTerm*>(tav::K::Memory::AllocHeap(sizeof(WhatStatTerm)));
  *c = WhatStatTerm{s->functor, 0, 0};
  if (s->Kind() != stat_kind::total) c->a = s->a;
  if (s->Kind() == stat_kind::day_slot) c->b = s->b;
  return c;
}

// The stored loadings held in memory: read in one walk at the first query
// after a change; marked unread before every write of the chain (and at
// init, uninit and stored_changed).  The store's own zero-share append adds
// its record after the write succeeded.  x_first finds the first doctor
// share of a (kind, name) by a hash of the name.
struct held_load {
  chain_ref ref;
  uint64_t functor;
  WhatStatTerm kind;  // the arguments the kind does not use are 0
  std::wstring name;
  double fraction;
  uint32_t parts;
};
std::vector<held_load> x_loads;
std::unordered_multimap<size_t, size_t> x_first;
bool x_read = false;

void DropMemo() {
  x_loads.clear();
  x_first.clear();
  x_read = false;
}

WhatStatTerm Normal(const WhatStatTerm* s) {
  WhatStatTerm c{s->functor, 0, 0};
  if (s->Kind() != stat_kind::total) c.a = s->a;
  if (s->Kind() == stat_kind::day_slot) c.b = s->b;
  return c;
}

size_t NameHash(const wchar_t* name) { return std::hash<std::wstring_view>{}(std::wstring_view(name)); }

bool IsDoctorShare(const LoadingTerm* l) { return l->functor == kPLoading; }

// The index of the first held doctor share of the kind and name.
bool FirstHeld(const WhatStatTerm* kind, const wchar_t* name, size_t* index) {
  auto range = x_first.equal_range(NameHash(name));
  for (auto it = range.first; it != range.second; ++it) {
    const held_load& h = x_loads[it->second];
    if (SameStat(&h.kind, kind) && h.name == name) {
      *index = it->second;
      return true;
    }
  }
  return false;
}

void Hold(chain_ref ref, const LoadingTerm* t) {
  size_t first;
  const bool share = IsDoctorShare(t) && !FirstHeld(t->kind, t->name, &first);
  x_loads.push_back(held_load{ref, t->functor, Normal(t->kind), t->name, t->fraction, t->parts});
  if (share) x_first.emplace(NameHash(t->name), x_loads.size() - 1);
}

void ReadMemo() {
  if (x_read) return;
  DropMemo();
  load_db::state.db()->chain_terms(Loading(), kChain, [&](tav::RefTerm rt) {
    Hold(rt.ref, reinterpret_cast<const LoadingTerm*>(rt.t));
    tav::K::Fail();
  });
  x_read = true;
}

const LoadingTerm* HeapLoad(const held_load& h) {
  auto* c = static_cast<LoadingTerm*>(tav::K::Memory::AllocHeap(sizeof(LoadingTerm)));
  *c = LoadingTerm{h.functor, HeapStat(&h.kind), tav::HeapCopy(h.name.c_str()), h.fraction, h.parts};
  return c;
}

// Every stored loading in chain order, copied to the heap.
const List<stored_load>* AllStored() {
  ReadMemo();
  ListBuilder<stored_load> out(true);
  for (const held_load& h : x_loads) out.Add(stored_load{h.ref, HeapLoad(h)});
  return out.Finish();
}

const LoadingTerm* MakeLoading(const WhatStatTerm* kind, const wchar_t* name, double fraction, uint32_t parts) {
  return OnStack(LoadingTerm{kPLoading, kind, name, fraction, parts});
}

// The first doctor share of the name and kind.
bool FindShare(const WhatStatTerm* kind, const wchar_t* name, stored_load* found) {
  ReadMemo();
  size_t i;
  if (!FirstHeld(kind, name, &i)) return false;
  *found = stored_load{x_loads[i].ref, HeapLoad(x_loads[i])};
  return true;
}

uint32_t Add(uint32_t sum, uint32_t parts) {
  int32_t out;
  if (parts > INT32_MAX || __builtin_add_overflow(static_cast<int32_t>(sum), static_cast<int32_t>(parts), &out))
    tav::RaiseIntegerOverflow();
  return static_cast<uint32_t>(out);
}

void Replace(chain_ref ref, const LoadingTerm* l) {
  DropMemo();
  load_db::state.db()->term_replace(Loading(), ref, reinterpret_cast<T::term>(l));
}

// Fractions of the kind's doctor shares: parts / sum, unless the sum is 0;
// a share that already holds its fraction is not written again.
void FixFrac(const WhatStatTerm* kind) {
  const List<stored_load>* all = AllStored();
  uint32_t sum = 0;
  for (const List<stored_load>* l = all; !l->Empty(); l = l->tail)
    if (IsDoctorShare(l->head.load) && SameStat(l->head.load->kind, kind)) sum = Add(sum, l->head.load->parts);
  if (sum == 0) return;
  for (const List<stored_load>* l = all; !l->Empty(); l = l->tail) {
    const LoadingTerm* s = l->head.load;
    if (!IsDoctorShare(s) || !SameStat(s->kind, kind)) continue;
    kalmora_DB::set_as_mod();
    const double fraction = (s->parts * 1.0) / sum;
    if (fraction != s->fraction) Replace(l->head.ref, MakeLoading(kind, s->name, fraction, s->parts));
  }
}

// The total share's parts: floor(F × 100 + 0.5), in the unsigned range.
uint32_t TotalParts(double f) {
  const double rounded = std::floor(f * 100.0 + 0.5);
  if (!(rounded >= 0.0 && rounded <= 4294967295.0)) rizediveva6::RaiseRangeError();
  return static_cast<uint32_t>(rounded);
}

const wchar_t* Decimal(uint32_t n) {
  auto* out = static_cast<wchar_t*>(tav::GStackAlloc(16 * sizeof(wchar_t)));
  swprintf(out, 16, L"%u", n);
  return out;
}

}  // namespace

bool SameStat(const WhatStatTerm* a, const WhatStatTerm* b) {
  if (a->functor != b->functor) return false;
  switch (a->Kind()) {
    case stat_kind::total: return true;
    case stat_kind::day_slot: return a->a == b->a && a->b == b->b;
    default: return a->a == b->a;
  }
}

void load_db::init(tav::chainDB* db) {
  state.forget = DropMemo;
  state.init(db);
}

void load_db::uninit() {
  state.uninit();
  drop_weekend_tots();
}

void load_db::stored_changed() { DropMemo(); }

void load_db::drop_weekend_tots() {
  has_weekend_tots = false;
  weekend_tots[0] = weekend_tots[1] = 0;
}

void load_db::weekend_totals(uint32_t* w0, uint32_t* w1) {
  if (!has_weekend_tots) {
    totals* t = totals::new_();
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
    weekend_tots[0] = t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 0});
    weekend_tots[1] = t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 1});
    has_weekend_tots = true;
  }
  *w0 = weekend_tots[0];
  *w1 = weekend_tots[1];
}

load_value load_db::get_load(const WhatStatTerm* kind, const wchar_t* name) {
  if (kind->Kind() == stat_kind::total) {
    const LoadingTerm* t = dynamic_total_loading_from_weekends(name);
    return load_value{t->fraction, t->parts};
  }
  stored_load found;
  if (FindShare(kind, name, &found)) return load_value{found.load->fraction, found.load->parts};
  const LoadingTerm* zero = MakeLoading(kind, name, 0.0, 0);
  x_read = false;
  int32_t ref;
  state.db()->chain_insertz(Loading(), kChain, reinterpret_cast<T::term>(zero), &ref);
  Hold(ref, zero);
  x_read = true;
  return load_value{0.0, 0};
}

void load_db::put_load(const WhatStatTerm* kind, chain_ref doctor, uint32_t parts) {
  state.is_initialised();
  const wchar_t* name = staff_db::get_personref(doctor)->dat->name;
  stored_load found;
  if (!FindShare(kind, name, &found)) return;
  kalmora_DB::set_as_mod();
  Replace(found.ref, MakeLoading(kind, name, found.load->fraction, parts));
  FixFrac(kind);
}

bool load_db::nd_load(tav::Each<const LoadingTerm*> k) {
  for (const List<stored_load>* l = AllStored(); !l->Empty(); l = l->tail)
    if (tav::TrySolution(k, l->head.load)) return true;
  return staff_db::nd_person([&](const PersonTerm* p) { k(dynamic_total_loading_from_weekends(p->dat->name)); });
}

const LoadingTerm* load_db::dynamic_total_loading_from_weekends(const wchar_t* name) {
  uint32_t w0, w1;
  weekend_totals(&w0, &w1);
  const double f0 = get_load(MakeWhatStat(stat_kind::weekend, 0), name).fraction;
  const double f1 = get_load(MakeWhatStat(stat_kind::weekend, 1), name).fraction;
  const WhatStatTerm* total = MakeWhatStat(stat_kind::total);
  if (w0 + uint64_t{w1} == 0) return MakeLoading(total, name, 0.0, 0);
  const double f = (w0 * f0 + w1 * f1) / (static_cast<double>(w0) + w1);
  return MakeLoading(total, name, f, TotalParts(f));
}

uint32_t load_db::get_load_total(const WhatStatTerm* kind) {
  state.is_initialised();
  uint32_t sum = 0;
  staff_db::nd_person([&](const PersonTerm* p) {
    sum = Add(sum, get_load(kind, p->dat->name).parts);
    tav::K::Fail();
  });
  return sum;
}

load_value load_db::get_load_task() { return load_value{2.0, 1}; }

bool load_db::all_loadings_are_zero() {
  for (const List<stored_load>* l = AllStored(); !l->Empty(); l = l->tail) {
    const LoadingTerm* s = l->head.load;
    if (IsDoctorShare(s) && s->kind->Kind() != stat_kind::total && s->parts > 0) return false;
  }
  return true;
}

void load_db::auto_load(uint32_t parts) {
  if (!all_loadings_are_zero()) return;
  staff_db::nd_person([&](const PersonTerm* p) {
    put_load(MakeWhatStat(stat_kind::weekend, 1), p->ref, parts);
    put_load(MakeWhatStat(stat_kind::weekend, 0), p->ref, parts);
    tav::K::Fail();
  });
}

void load_db::clear_load() {
  kalmora_DB::set_as_mod();
  DropMemo();
  state.db()->chain_delete(kChain);
}

void load_db::repair() {
  sdb_tell_user_to_check_loadings = false;
  for (const List<stored_load>* l = AllStored(); !l->Empty(); l = l->tail) {
    const PersonTerm* p;
    if (!IsDoctorShare(l->head.load) || staff_db::get_person(l->head.load->name, &p)) continue;
    DropMemo();
    state.db()->term_delete(kChain, l->head.ref);
    sdb_tell_user_to_check_loadings = true;
  }
  FixFrac(MakeWhatStat(stat_kind::weekend, 1));
  FixFrac(MakeWhatStat(stat_kind::weekend, 0));
  if (sdb_tell_user_to_check_loadings)
    myKWI::note(L"You need to check the loadings table because of a name change or deletion");
}

void load_db::copy_load(const WhatStatTerm* kind) {
  size_t length = 0;
  const List<stored_load>* all = AllStored();
  for (const List<stored_load>* l = all; !l->Empty(); l = l->tail)
    if (IsDoctorShare(l->head.load) && SameStat(l->head.load->kind, kind))
      length += wcslen(l->head.load->name) + 13;
  if (length == 0) return;
  auto* text = static_cast<wchar_t*>(tav::GStackAlloc((length + 1) * sizeof(wchar_t)));
  text[0] = 0;
  for (const List<stored_load>* l = all; !l->Empty(); l = l->tail) {
    const LoadingTerm* s = l->head.load;
    if (!IsDoctorShare(s) || !SameStat(s->kind, kind)) continue;
    if (text[0]) wcscat(text, L"\n");
    wcscat(text, s->name);
    wcscat(text, L"\t");
    wcscat(text, Decimal(s->parts));
  }
  QEL_KWI::cb_PutString(reinterpret_cast<const QEL_KWI::u16*>(text));
}

}  // namespace all
