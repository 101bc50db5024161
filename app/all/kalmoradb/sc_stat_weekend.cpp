// The weekend store over "weekend_Chain".
#include "kalmoradb/sc_stat_weekend.h"

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_holidays.h"

#include <vector>

namespace all {

const tav::ClassInfo sc_stat_weekend::classInfo{L"qel6pack/all/kalmoradb/sc_stat_weekend",
                                                TAV_CLASS_VERSION};
namespace {
void DropMemo();
}  // namespace
store_state sc_stat_weekend::state{L"sc_stat_weekend", L"stat_weekend not initialised", DropMemo};
bool sc_stat_weekend::xdb_hols_as_weekends = true;

namespace {

constexpr const wchar_t* kChain = L"weekend_Chain";

const IDomainDefinition* Entry() { return tav::D(domains::weekend_sd); }

// The reference of the entry equal to e.
bool Find(const weekend_entry& e, int32_t* ref) {
  return sc_stat_weekend::state.db()->chain_terms(Entry(), kChain, [&](tav::RefTerm rt) {
    auto* t = reinterpret_cast<const WeekendSdTerm*>(rt.t);
    if (!(weekend_entry{t->slot, t->day} == e)) tav::K::Fail();
    *ref = rt.ref;
  });
}

// The entries held in memory: read in one walk at the first test after a
// change, dropped before every write of the chain and at init and uninit.
std::vector<weekend_entry> x_entries;
bool x_read = false;

void DropMemo() {
  x_entries.clear();
  x_read = false;
}

const std::vector<weekend_entry>& Entries() {
  tav::chainDB* db = sc_stat_weekend::state.db();  // 329 while closed
  if (!x_read) {
    x_entries.clear();
    db->chain_terms(Entry(), kChain, [&](tav::RefTerm rt) {
      auto* t = reinterpret_cast<const WeekendSdTerm*>(rt.t);
      x_entries.push_back(weekend_entry{t->slot, t->day});
      tav::K::Fail();
    });
    x_read = true;
  }
  return x_entries;
}

void InsertFront(const weekend_entry& e) {
  int32_t ref;
  DropMemo();
  sc_stat_weekend::state.db()->chain_inserta(
      Entry(), kChain, reinterpret_cast<T::term>(MakeWeekendSd(e.slot, e.day)), &ref);
}

}  // namespace

void sc_stat_weekend::stored_changed() { DropMemo(); }

uint32_t sc_stat_weekend::sp_is_weekend(const sp& s) {
  const weekend_entry e{s.slot, s.day};
  for (const weekend_entry& x : Entries())
    if (x == e) return 1;
  return 0;
}

uint32_t sc_stat_weekend::sp_is_holiday(const sp& s) {
  return sc_holidays::is_holiday(kalmora_DB::sp_dt(s));
}

uint32_t sc_stat_weekend::sp_is_weekend_or_hol(const sp& s) {
  state.is_initialised();
  if (sp_is_weekend(s)) return 1;
  return xdb_hols_as_weekends && sp_is_holiday(s) ? 1 : 0;
}

void sc_stat_weekend::add_sd(const weekend_entry& e) {
  int32_t ref;
  if (Find(e, &ref)) return;
  MakeWeekendSd(e.slot, e.day);  // range checks before the mark
  kalmora_DB::set_as_mod();
  load_db::drop_weekend_tots();
  InsertFront(e);
}

bool sc_stat_weekend::del_sd(const weekend_entry& e) {
  int32_t ref;
  if (!Find(e, &ref)) return false;
  kalmora_DB::set_as_mod();
  load_db::drop_weekend_tots();
  DropMemo();
  state.db()->term_delete(kChain, ref);
  return true;
}

void sc_stat_weekend::clear_sd() {
  tav::chainDB* db = state.db();
  kalmora_DB::set_as_mod();
  load_db::drop_weekend_tots();
  DropMemo();
  db->chain_delete(kChain);
}

void sc_stat_weekend::set_default_weekend() {
  tav::chainDB* db = state.db();
  kalmora_DB::set_as_mod();
  load_db::drop_weekend_tots();
  DropMemo();
  db->chain_delete(kChain);
  kalmora_DB::nd_slots([&](std::pair<uint32_t, const wchar_t*> slot) {
    InsertFront(weekend_entry{slot.first, 1});
    InsertFront(weekend_entry{slot.first, 7});
    tav::K::Fail();
  });
}

bool sc_stat_weekend::nd_weekend_sd(tav::Each<weekend_entry> k) {
  return state.db()->chain_terms(Entry(), kChain, [&](tav::RefTerm rt) {
    auto* t = reinterpret_cast<const WeekendSdTerm*>(rt.t);
    k(weekend_entry{t->slot, t->day});
  });
}

}  // namespace all
