// The date changes over "mod_chain".
#include "kalmoradb/sc_mod_date.h"

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"
#include "unit.h"

namespace all {

const tav::ClassInfo sc_mod_date::classInfo{L"qel6pack/all/kalmoradb/sc_mod_date", TAV_CLASS_VERSION};
store_state sc_mod_date::state{L"sc_mod_date", L"sc_mod_date not initialised"};

namespace {

constexpr const wchar_t* kChain = L"mod_chain";

const IDomainDefinition* Entry() { return tav::D(domains::dt_duty); }

// The reference of the entry of (date, duty).
bool Find(const dt& date, const tls& duty, int32_t* ref) {
  return sc_mod_date::state.db()->chain_terms(Entry(), kChain, [&](tav::RefTerm rt) {
    const dt_duty e = DtDutyOf(reinterpret_cast<const DtDutyTerm*>(rt.t));
    if (!(e.date == date && e.duty == duty)) tav::K::Fail();
    *ref = rt.ref;
  });
}

}  // namespace

const DtDutyTerm* MakeDtDuty(const dt_duty& e) {
  rizediveva6::CheckRange(rizediveva6::domains::day_no, e.day);
  return OnStack(DtDutyTerm{1, MakeDt(e.date), e.day, MakeTls(e.duty)});
}

dt_duty DtDutyOf(const DtDutyTerm* t) { return dt_duty{DtOf(t->date), t->day, TlsOf(t->duty)}; }

void sc_mod_date::add_or_remove(const dt_duty& entry) {
  kalmora_DB::set_as_mod();
  sc_phase1::must_regenerate(L"modified date");
  int32_t ref;
  if (Find(entry.date, entry.duty, &ref)) {
    state.db()->term_delete(kChain, ref);
    return;
  }
  state.db()->chain_insertz(Entry(), kChain, reinterpret_cast<T::term>(MakeDtDuty(entry)), &ref);
}

void sc_mod_date::add_or_removes(const rizediveva6::List<dt_duty>* entries) {
  for (; !entries->Empty(); entries = entries->tail) add_or_remove(entries->head);
}

bool sc_mod_date::is_modified(const dt& date, const tls& duty) {
  int32_t ref;
  return Find(date, duty, &ref);
}

duty_state sc_mod_date::duty_is_done(const dt_duty& entry) {
  state.is_initialised();
  const wchar_t* dayName;
  if (!rizediveva6::mytime::dayno_dayname(entry.day, &dayName)) return duty_state{false, false};
  const wchar_t* chain;
  const bool typical = typical_db::is_in_db(typical_db::dayname_chain(dayName, &chain), entry.duty);
  const bool changed = is_modified(entry.date, entry.duty);
  return duty_state{typical != changed, changed};
}

bool sc_mod_date::nd_dt_duties(tav::Each<dt_duty_ref> k) {
  state.is_initialised();
  return state.db()->chain_terms(Entry(), kChain, [&](tav::RefTerm rt) {
    k(dt_duty_ref{DtDutyOf(reinterpret_cast<const DtDutyTerm*>(rt.t)), rt.ref});
  });
}

bool sc_mod_date::one_exists() {
  return nd_dt_duties([](dt_duty_ref) {});
}

void sc_mod_date::clear() {
  state.is_initialised();
  rizediveva6::TrapAndForget([] {
    kalmora_DB::set_as_mod();
    state.db()->chain_delete(kChain);
  });
  sc_phase1::must_regenerate(L"modified date");
}

}  // namespace all
