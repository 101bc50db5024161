// staff_db: the doctors of the open roster in the chain "people", one
// person(ref, person_dat) per doctor in the order added, with a name index
// in memory.
//
// Invariants:
//  - A record's pointer field holds its own chain reference.
//  - The index "names" (volatile, key length 255, duplicates allowed) holds
//    every `exists` record under its whole name; it is rebuilt on opening,
//    after a deletion, a clear and a change of name.  A look-up keeps the
//    records whose name equals the name ordinally, the first in chain
//    order: names equal under the tree's comparison stay apart.
//  - No two `exists` doctors written here share a name (ordinal).
//  - Every writing operation marks the document modified first; deleting
//    doctors removes their assignments and then the locks left without
//    one, so a later doctor never inherits them through a reused reference.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

class staff_db {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static rizediveva6::bt* xbt;

  static void init(tav::chainDB* db);
  static void uninit();
  static void clear();
  static void add_name(const wchar_t* name);
  // False when no doctor has the name.
  static bool del_person(const wchar_t* name);
  // The record at `ref`, which must be a doctor's.
  static void del_person(chain_ref ref);
  static void replace_person(const PersonTerm* person);
  static bool get_person(const wchar_t* name, const PersonTerm** person);
  // The record at a reference, read once and held in memory (a heap copy,
  // never changed) until the chain changes.
  static const PersonTerm* get_personref(chain_ref ref);
  // Drops the records held in memory; every write of the chain calls it
  // before it writes.
  static void stored_changed();
  static const wchar_t* ref_name(chain_ref ref);
  static bool get_person_char(wchar_t letter, const PersonTerm** person);
  // Every record in chain order, `deleted` ones too.
  static bool nd_person(tav::Each<const PersonTerm*> k);
  // Every indexed doctor once, in a random order.
  static bool nd_random_person(tav::Each<const PersonTerm*> k);
  static const rizediveva6::SList* list_staff();
  static uint32_t number_of_staff();
  static void randomize_colors();
  static void repair_after_group_change();
  static void rebuild_bt();
};

// A person term on the global stack.
const PersonTerm* MakePerson(chain_ref ref, const wchar_t* name, const rizediveva6::SList* groupNames,
                             int32_t colour, wchar_t letter, uint64_t mark = kExists);

}  // namespace all
