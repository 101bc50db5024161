// lock_ass: the locked duties, duty key to the doctor it was assigned to, in
// the document's B+tree "lock_bt" (key length 20, order 4, no duplicates).
//
// Invariants:
//  - init opens or creates the tree once per document; uninit forgets it.
//  - repair drops exactly the locks whose duty has no doctor, collecting
//    them before deleting any; it does not mark the document modified.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/store_state.h"

namespace all {

class lock_ass {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static rizediveva6::bt* xdb_bt;

  static void init(tav::chainDB* db);
  static void uninit();
  static void repair();
  // Every lock re-keyed by f (null: the lock is dropped).
  static void rekey(key_map f, const void* context);

  // The tree; 329 while no document is open.
  static rizediveva6::bt* tree();
};

}  // namespace all
