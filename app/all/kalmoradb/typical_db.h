// typical_db: the typical week, for each day kind the list of tls duties
// done on every day of that kind, in "saturday_chain", "sunday_chain" and
// "weekday_chain".
//
// Invariants:
//  - A chain holds each tls at most once, in the order the list was last
//    set (the first occurrence of a repeated tls kept).
//  - add_tls is the store's one writer (a renumbering rewrites numbers in
//    place): it marks the document modified and asks the duty index for a
//    rebuild first, also for an unknown day kind; a list holding a number
//    out of range raises 302 and leaves the chain as it was.
//  - Runs over all day kinds take them in the order 1003, 1001, 1002.
//  - Name lookups never fail: an unknown name gives 10 after its store's
//    note; a row not of three names gives tls(1, 1, 1).
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

using tls_list = rizediveva6::List<tls>;

struct day_tls {
  uint32_t day_kind;
  tls duty;
};

class typical_db {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  static void add_tls(uint32_t dayKind, const tls_list* duties);
  static bool is_in_db(uint32_t dayKind, const tls& duty);
  static bool in_typ(uint32_t dayKind, const tls& duty) { return is_in_db(dayKind, duty); }
  static bool nd_tls(tav::Each<day_tls> k);
  static bool one_exists();
  static uint32_t how_may_in_slot(uint32_t dayKind, uint32_t slot);
  // "Sunday" 1001, "Saturday" 1003, any other text 1002 (exact comparison).
  static uint32_t dayname_chain(const wchar_t* dayName, const wchar_t** chain);
  // The chain of a day kind; false for another number.
  static bool idc_lbox_chain(uint32_t dayKind, const wchar_t** chain);
  // The three (day kind, chain) rows in the order 1003, 1001, 1002.
  static bool nd_idc_lbox_chain(tav::Each<std::pair<uint32_t, const wchar_t*>> k);
  // Every (task, location, slot): location slowest, task fastest.
  static const tls_list* full_list();
  // The same as the text form of each name row.
  static const rizediveva6::SList* full_slist();
  static bool nd_full_list(tav::Each<const wchar_t*> k);
  static tls slist_tls(const rizediveva6::SList* row);
  static const rizediveva6::SList* tls_slist(const tls& duty);
  static void is_initialised() { state.is_initialised(); }
};

}  // namespace all
