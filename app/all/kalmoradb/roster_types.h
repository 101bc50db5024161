// The roster's shared record types: the value types that stores, windows
// and the engine exchange, as terms (the stored format) and as plain values.
//
// Invariants:
//  - Term structs mirror the runtime's 64-bit layout of their domain: a
//    functor word, then each argument (scalars in their cells, everything
//    else boxed); the domain records in unit.cpp use exactly these structs.
//  - Field order and alternative numbers are the stored format: they never
//    change.
//  - Chain references inside stored records are `chain_ref` (a 32-bit
//    number, 4 bytes in an image), never a pointer: the image writer would
//    zero a pointer.
//  - Ranged values (day 1..7, period 1..104, slot/task/location 1..10, year
//    1950..2050) pass CheckRange (302) before a term is built from them.
#pragma once

#include <cstdint>

#include "SYSTEM/timepack/time_convert.h"
#include "core/core.h"
#include "string/string.h"

namespace all {

namespace T = Qel::RunTime::Terms;
using T::IDomainDefinition;
using rizediveva6::dt;

// A chain-database reference: the database's own 32-bit number.
using chain_ref = int32_t;

namespace domains {
// period_no 1..104, slot_dom 1..10, where_dom 1..10, task_dom 1..10,
// which_day_dom 1001..1003, chain_ref (any 32-bit signed value).
extern T::RIntegralDomain period_no, slot_dom, where_dom, task_dom, which_day_dom, chain_ref;
extern T::RCompoundDomain dt, sp, sd, weekend_sd, tls, duty_to_be_done_dat, duty_to_be_done,
    deleted_or_not, person_dat, person, dt_duty, what_stat, loading, stat_dom, which_tie, tie_do,
    repeater, spec_slot, rpnt, rpnt2, tie_dat, tie_dom;
}  // namespace domains

// Day kinds of the typical week.
constexpr uint32_t kSunday = 1001, kWeekday = 1002, kSaturday = 1003;

// sp(day_no, period_no, slot_dom): one slot of one day of one roster week.
struct sp {
  uint32_t day, period, slot;
  bool operator==(const sp& o) const = default;
};
// sd(day_no, slot_dom): a day-slot of the week.
struct sd {
  uint32_t day, slot;
  bool operator==(const sd& o) const = default;
};
// tls(task_dom, where_dom, slot_dom): a typical duty.
struct tls {
  uint32_t task, where, slot;
  bool operator==(const tls& o) const = default;
};

// --- Term layouts ----------------------------------------------------------------------------

struct DtTerm { uint64_t functor; uint32_t year, month, day; };
struct SpTerm { uint64_t functor; uint32_t day, period, slot; };
struct SdTerm { uint64_t functor; uint32_t day, slot; };
// A weekend entry: the slot first, then the day.
struct WeekendSdTerm { uint64_t functor; uint32_t slot, day; };
struct TlsTerm { uint64_t functor; uint32_t task, where, slot; };
struct DutyDatTerm {
  uint64_t functor;
  const SpTerm* at;
  uint32_t where, task;
  const tav::BooleanTerm* changed;  // false: typical week; true: a per-date change
};
struct DutyTerm { uint64_t functor; chain_ref ref; const DutyDatTerm* dat; };
// deleted_or_not: 1 deleted, 2 exists.
enum : uint64_t { kDeleted = 1, kExists = 2 };
struct PersonDatTerm {
  uint64_t functor;
  const wchar_t* name;
  const tav::StringList* groups;
  int32_t colour;
  wchar_t letter;
  const tav::ConstantTerm* deleted;
};
struct PersonTerm { uint64_t functor; chain_ref ref; const PersonDatTerm* dat; };
struct DtDutyTerm { uint64_t functor; const DtTerm* date; uint32_t day; const TlsTerm* duty; };

// what_stat alternatives, in stored order.
enum class stat_kind : uint64_t {
  total = 1, day, weekend, slot, day_slot, task, where, holiday,
};
// Every alternative but total carries one or two 32-bit numbers.
struct WhatStatTerm {
  uint64_t functor;
  uint32_t a, b;  // day_slot(a = day, b = slot); other one-argument kinds use a
  stat_kind Kind() const { return static_cast<stat_kind>(functor); }
};
// loading: 1 p_loading (a doctor's share), 2 g_loading (a group's).
struct LoadingTerm {
  uint64_t functor;
  const WhatStatTerm* kind;
  const wchar_t* name;
  double fraction;
  uint32_t parts;
};
// stat_dom(what_stat, unsigned, unsigned)
struct StatDomTerm { uint64_t functor; const WhatStatTerm* kind; uint32_t first, second; };

// Ties.  which_tie: 1 global_tie, 2 group_tie(string), 3 person_tie(string);
// tie_do: 1 must_do, 2 must_not_do; repeater: 1 repeat_week, 2 repeat_day,
// 3 no_repeat; spec_slot: 1 tlsd_spec, 2 just_slot_day, 3 just_day, 4 just_week.
struct WhichTieTerm { uint64_t functor; const wchar_t* name; };
struct RpntTerm { uint64_t functor; double x, y; };
struct Rpnt2Term { uint64_t functor; const RpntTerm* from; const RpntTerm* to; };
struct TieDatTerm {
  uint64_t functor;
  const WhichTieTerm* who;
  const wchar_t* first;   // duty key of the first end
  const wchar_t* second;  // duty key of the second end
  const Rpnt2Term* drawn;
  const tav::ConstantTerm* tieDo;
  const tav::ConstantTerm* repeat;
  const tav::ConstantTerm* spec;
};
struct TieDomTerm { uint64_t functor; chain_ref ref; const TieDatTerm* dat; };

// --- Values and terms ------------------------------------------------------------------------

// Terms on the caller's global stack; every ranged field is checked (302).
const DtTerm* MakeDt(const dt& d);
const SpTerm* MakeSp(const sp& s);
const SdTerm* MakeSd(const sd& s);
const WeekendSdTerm* MakeWeekendSd(uint32_t slot, uint32_t day);
const TlsTerm* MakeTls(const tls& t);
const WhatStatTerm* MakeWhatStat(stat_kind kind, uint32_t a = 0, uint32_t b = 0);
// Values of terms (terms read from a store were range-checked when built).
inline dt DtOf(const DtTerm* t) { return dt{t->year, t->month, t->day}; }
inline sp SpOf(const SpTerm* t) { return sp{t->day, t->period, t->slot}; }
inline tls TlsOf(const TlsTerm* t) { return tls{t->task, t->where, t->slot}; }

// Range checks of the roster's scalars (302 outside).
void CheckSp(const sp& s);

// A copy of a term struct on the global stack.
template <class S>
const S* OnStack(const S& s) {
  auto* p = static_cast<S*>(tav::GStackAlloc(sizeof(S)));
  *p = s;
  return p;
}

}  // namespace all
