// The holiday store over "holiday_chain".
#include "kalmoradb/sc_holidays.h"

#include <vector>

#include "kalmoradb/kalmora_DB.h"

namespace all {

const tav::ClassInfo sc_holidays::classInfo{L"qel6pack/all/kalmoradb/sc_holidays", TAV_CLASS_VERSION};
namespace {
void DropMemo();
}  // namespace
store_state sc_holidays::state{L"sc_holidays", L"holidays not initialised", DropMemo};

namespace {

constexpr const wchar_t* kChain = L"holiday_chain";

// The reference of the first stored date equal to d.
bool Find(const dt& d, int32_t* ref) {
  sc_holidays::state.is_initialised();
  return sc_holidays::state.db()->chain_terms(tav::D(domains::dt), kChain, [&](tav::RefTerm rt) {
    if (!(DtOf(reinterpret_cast<const DtTerm*>(rt.t)) == d)) tav::K::Fail();
    *ref = rt.ref;
  });
}

// The dates held in memory: read in one walk at the first test after a
// change, dropped before every write of the chain and at init and uninit.
std::vector<dt> x_dates;
bool x_read = false;

void DropMemo() {
  x_dates.clear();
  x_read = false;
}

}  // namespace

uint32_t sc_holidays::is_holiday(const dt& d) {
  state.is_initialised();
  tav::chainDB* db = state.db();
  if (!x_read) {
    x_dates.clear();
    db->chain_terms(tav::D(domains::dt), kChain, [&](tav::RefTerm rt) {
      x_dates.push_back(DtOf(reinterpret_cast<const DtTerm*>(rt.t)));
      tav::K::Fail();
    });
    x_read = true;
  }
  for (const dt& h : x_dates)
    if (h == d) return 1;
  return 0;
}

void sc_holidays::add_holiday(const dt& d) {
  int32_t ref;
  if (Find(d, &ref)) return;
  const DtTerm* t = MakeDt(d);
  kalmora_DB::set_as_mod();
  DropMemo();
  state.db()->chain_insertz(tav::D(domains::dt), kChain, reinterpret_cast<T::term>(t), &ref);
}

bool sc_holidays::del_holiday(const dt& d) {
  int32_t ref;
  if (!Find(d, &ref)) return false;
  kalmora_DB::set_as_mod();
  DropMemo();
  state.db()->term_delete(kChain, ref);
  return true;
}

bool sc_holidays::nd_holidays(tav::Each<dt> k) {
  state.is_initialised();
  return state.db()->chain_terms(tav::D(domains::dt), kChain, [&](tav::RefTerm rt) {
    k(DtOf(reinterpret_cast<const DtTerm*>(rt.t)));
  });
}

void sc_holidays::clear_hols() {
  tav::chainDB* db = state.db();
  kalmora_DB::set_as_mod();
  DropMemo();
  db->chain_delete(kChain);
}

}  // namespace all
