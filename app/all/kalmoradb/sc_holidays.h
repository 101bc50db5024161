// sc_holidays: the public holidays of the open roster, one dt term per
// holiday in the chain "holiday_chain", in the order added.
//
// Invariants:
//  - add_holiday keeps the dates unique.
//  - Every change marks the document modified before it writes.
//  - Reads check that the store is open ("holidays not initialised") and
//    then raise 329 from the closed store.
//  - is_holiday reads the dates from memory, read again after any write,
//    init or uninit.
#pragma once

#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

class sc_holidays {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  // 1 when the date is a holiday, else 0.
  static uint32_t is_holiday(const dt& d);
  static void add_holiday(const dt& d);
  // False, changing nothing, when the date is not a holiday.
  static bool del_holiday(const dt& d);
  static bool nd_holidays(tav::Each<dt> k);
  static void clear_hols();
};

}  // namespace all
