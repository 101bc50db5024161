// lock_ass: the locked duties, duty key to the doctor it was assigned to, in
// the document's B+tree "lock_bt" (key length 20, order 4, no duplicates).
//
// Invariants:
//  - init opens or creates the tree once per document; uninit forgets it.
//  - lock stores only an assigned, unlocked duty; lock and unlock mark the
//    document modified; repair and clear do not.
//  - Beside the tree the locked keys are kept in memory, changed by every
//    insert and delete made through the tree object; is_locked_key reads
//    them, and the tree only for keys of another form.
//  - repair drops exactly the locks whose duty has no doctor; it and the
//    bulk codes collect the entries before changing any.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/store_state.h"

namespace all {

// Bulk codes of lock_set.
enum : int32_t { kLockWeek = 101, kLockAll = 102, kUnlockWeek = 103, kUnlockAll = 104 };

class lock_ass {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static rizediveva6::bt* xdb_bt;

  static void init(tav::chainDB* db);
  static void uninit();
  // False when the duty is already locked or has no doctor.
  static bool lock(const DutyDatTerm* duty);
  // False when the duty is not locked.
  static bool unlock(const DutyDatTerm* duty);
  static bool is_locked(const DutyDatTerm* duty);
  static bool is_locked_key(const wchar_t* key);
  // Bulk lock (101 a week, 102 all) or unlock (103 a week, 104 all) of one
  // doctor's assignments, or of everyone's; other codes do nothing.
  static void lock_set(const wchar_t* name, int32_t code, uint32_t period);
  static void lock_set(int32_t code, uint32_t period);
  static void clear();
  static void repair();
  // Every lock re-keyed by f (null: the lock is dropped).
  static void rekey(key_map f, const void* context);

  // The tree; 329 while no document is open.
  static rizediveva6::bt* tree();
};

}  // namespace all
