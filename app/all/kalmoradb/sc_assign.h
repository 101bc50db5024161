// sc_assign: the roster's assignments, duty key to doctor reference, in the
// document's B+tree "assign_bt" (key length 20, order 4, no duplicates).
//
// Invariants:
//  - init opens or creates the tree once per document; uninit forgets the
//    database and the tree object (the document closes the database).
//  - A duty has at most one doctor.
//  - Removals collect the entries first and delete after the walk, so a
//    deletion never moves the cursor of the walk that found it.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

class sc_assign {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static rizediveva6::bt* xdb_bt;
  static bool boo_repair;

  static void init(tav::chainDB* db);
  static void uninit();
  // The doctor of the duty; false when the duty has none.
  static bool is_assigned(const wchar_t* key, chain_ref* doctor);
  static void must_be_repaired();
  // Deletes every assignment of the doctor, locked ones too.
  static void repair_after_person_deleted(chain_ref doctor);

  // The tree; 329 while no document is open.
  static rizediveva6::bt* tree();
};

// Every entry (key, reference) of a tree in key order, copied to the heap
// before the caller acts on any.
const rizediveva6::List<rizediveva6::KeyRef>* all_entries(rizediveva6::bt* tree);

}  // namespace all
