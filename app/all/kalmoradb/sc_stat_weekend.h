// sc_stat_weekend: the statistical weekend, the day-slots of the week whose
// duties count as weekend duties, in the chain "weekend_Chain": one entry
// (slot, day) per day-slot, the most recently added first.
//
// Invariants:
//  - Entries are unique; the slot field holds 1..10 (the stored bytes are
//    those of an sd term).
//  - Every change marks the document modified before it writes; an add of
//    a present entry changes nothing.
//  - Holidays count as weekend (xdb_hols_as_weekends, true from the start).
//  - No operation asks the duty index to rebuild; every change drops the
//    loadings' cached weekend counts.
//  - sp_is_weekend reads the entries from memory, read again after any
//    write, stored_changed, init or uninit.
#pragma once

#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

// A weekend entry: slot of the day, day of the week.
struct weekend_entry {
  uint32_t slot, day;
  bool operator==(const weekend_entry& o) const = default;
};

class sc_stat_weekend {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static bool xdb_hols_as_weekends;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  // Drops the entries held in memory; every write of the chain calls it
  // before it writes.
  static void stored_changed();
  // 0 or 1; the week plays no part.
  static uint32_t sp_is_weekend(const sp& s);
  static uint32_t sp_is_holiday(const sp& s);
  static uint32_t sp_is_weekend_or_hol(const sp& s);
  static void add_sd(const weekend_entry& e);
  // False, changing nothing, when the entry is absent.
  static bool del_sd(const weekend_entry& e);
  static void clear_sd();
  // Days 1 and 7 of every slot.
  static void set_default_weekend();
  static bool nd_weekend_sd(tav::Each<weekend_entry> k);
};

}  // namespace all
