// sc_mod_date: the changes of single dates in the chain "mod_chain", one
// dt_duty(date, day number, tls) per change, in the order added; an entry
// toggles its duty on its date against the typical week.
//
// Invariants:
//  - At most one entry per (date, tls); the day number takes no part in
//    that identity.
//  - add_or_remove and clear mark the document modified and ask the duty
//    index for a rebuild, whatever they find.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

struct dt_duty {
  dt date;
  uint32_t day;  // 1..7
  tls duty;
};

struct dt_duty_ref {
  dt_duty entry;
  chain_ref ref;
};

struct duty_state {
  bool done;
  bool changed;
};

class sc_mod_date {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  static void add_or_remove(const dt_duty& entry);
  static void add_or_removes(const rizediveva6::List<dt_duty>* entries);
  // (false, false) when the day number names no day.
  static duty_state duty_is_done(const dt_duty& entry);
  static bool nd_dt_duties(tav::Each<dt_duty_ref> k);
  static bool one_exists();
  static void clear();
  static bool is_modified(const dt& date, const tls& duty);
};

// The term of an entry on the global stack, every field range-checked.
const DtDutyTerm* MakeDtDuty(const dt_duty& e);
dt_duty DtDutyOf(const DtDutyTerm* t);

}  // namespace all
