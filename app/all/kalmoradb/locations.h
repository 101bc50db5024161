// locations: the roster's numbered list of locations in the chain "locs",
// one plain string per location; a location's number is its position
// (1..10).
//
// Invariants:
//  - Names are unique (exact comparison); an eleventh location is refused
//    with a note and nothing changes.
//  - Every change marks the document modified and asks the duty index for
//    a rebuild; deleting a row or clearing renumbers every stored location
//    number of the model (renumber), so each keeps naming its location.
//  - Enumeration range-checks each position (302 above 10).
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/store_state.h"

namespace all {

struct where_entry {
  const wchar_t* name;
  uint32_t number;
};

class locations {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  static void clear();
  static bool nd_locs(tav::Each<where_entry> k);
  static const rizediveva6::SList* list_locs();
  // Row edit as tasks::add_task.
  static void add_loc(int32_t row, const wchar_t* text);
  static void add_loc(const wchar_t* text);
  // Fallback "unknown location" with the note "Error 156 in locations".
  static const wchar_t* get_where_name(uint32_t number);
  // Fallback 10 with the note "Error 157 in locations".
  static uint32_t get_where_dom(const wchar_t* name);
};

}  // namespace all
