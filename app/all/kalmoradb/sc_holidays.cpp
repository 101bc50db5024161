// The holiday store over "holiday_chain".
#include "kalmoradb/sc_holidays.h"

#include "kalmoradb/kalmora_DB.h"

namespace all {

const tav::ClassInfo sc_holidays::classInfo{L"qel6pack/all/kalmoradb/sc_holidays", TAV_CLASS_VERSION};
store_state sc_holidays::state{L"sc_holidays", L"holidays not initialised"};

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

}  // namespace

uint32_t sc_holidays::is_holiday(const dt& d) {
  int32_t ref;
  return Find(d, &ref) ? 1 : 0;
}

void sc_holidays::add_holiday(const dt& d) {
  int32_t ref;
  if (Find(d, &ref)) return;
  const DtTerm* t = MakeDt(d);
  kalmora_DB::set_as_mod();
  state.db()->chain_insertz(tav::D(domains::dt), kChain, reinterpret_cast<T::term>(t), &ref);
}

bool sc_holidays::del_holiday(const dt& d) {
  int32_t ref;
  if (!Find(d, &ref)) return false;
  kalmora_DB::set_as_mod();
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
  db->chain_delete(kChain);
}

}  // namespace all
