// sc_assign: the roster's assignments, duty key to doctor reference, in the
// document's B+tree "assign_bt" (key length 20, order 4, no duplicates).
//
// Invariants:
//  - init opens or creates the tree once per document; uninit forgets the
//    database and the tree object (the document closes the database).
//  - A duty has at most one doctor.
//  - Removals collect the entries first and delete after the walk, so a
//    deletion never moves the cursor of the walk that found it.
//  - A re-keying deletes every moved or dropped entry before it inserts
//    the moved ones under their new keys, so keys that trade places never
//    collide.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

// The new key of an entry of a duty-key tree; null drops the entry.
using key_map = const wchar_t* (*)(const wchar_t* key, const void* context);

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
  // The end a new tie is applied from: its first end when that has a
  // doctor, else its second end when that has one; false for neither.
  static bool tie_start(const TieDomTerm* tie, const wchar_t** key, chain_ref* doctor);
  // Applies a newly stored tie from its start end; propagation along the
  // tie joins here, until then an assigned end is left as it is.
  static void fix_after_add_tie(const TieDomTerm* tie);

  // Every assignment re-keyed by f (null: the entry is dropped).
  static void rekey(key_map f, const void* context);

  // The tree; 329 while no document is open.
  static rizediveva6::bt* tree();
};

// Every entry (key, reference) of a tree in key order, copied to the heap
// before the caller acts on any.
const rizediveva6::List<rizediveva6::KeyRef>* all_entries(rizediveva6::bt* tree);

// Re-keys every entry of a duty-key tree by f.
void rekey_tree(rizediveva6::bt* tree, key_map f, const void* context);

}  // namespace all
