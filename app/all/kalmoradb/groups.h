// groups: the practices and groups of the open roster, an ordered list of
// unique names in the chain "groups", each str_br(name, brush); groups are
// identified by name everywhere.
//
// Invariants:
//  - Every change marks the document modified before it writes; an edit
//    that finds its name present changes and marks nothing.
//  - A new group gets a solid brush (style 2) of a random colour; a rename
//    keeps the brush.
//  - Renaming or deleting a group carries the new name into, or drops the
//    old one from, the doctors' group lists, group rules and group ties
//    (renumber::group).
#pragma once

#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/store_state.h"

namespace all {

class groups {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  static void clear();
  static bool nd_groups(tav::Each<const rizediveva6::str_br*> k);
  static const rizediveva6::SList* list_groups();
  // Row edit: empty or " " deletes row N, a present name does nothing, an
  // existing row is renamed, a row past the end appends.
  static void add_group(int32_t row, const wchar_t* text);
  static void add_group(const wchar_t* text);
  static void del_group(const wchar_t* name);
  static void set_color(const wchar_t* name, int32_t colour);
  // Exact, whole-name comparison.
  static bool member(const wchar_t* name, const rizediveva6::SList* names);
  // The list without the first element equal to name.
  static const rizediveva6::SList* remove(const wchar_t* name, const rizediveva6::SList* names);
};

}  // namespace all
