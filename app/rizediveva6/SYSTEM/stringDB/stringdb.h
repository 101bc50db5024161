// String lists: ordered named entries stored as one named chain of a
// document's chain database, positions counted from 1 in chain order.
// string_brush_db holds str_br(Name, Brush) entries, simple_string_db plain
// strings, string_db lists of strings (name = first string, id = second).
//
// Invariants:
//  - Scans by content walk the chain with chain_terms from the first term
//    and number the terms as they pass.  Positions, counts and lookups by
//    name answer from the chain's references and names as last read, kept
//    per thread for each (database, chain, domain) while
//    chainDB::writes() stands; the lists' own writes update them in step,
//    any other write through chainDB makes them be read again.  Nothing
//    else may change a document's chains.
//  - Lookups by name or position stop at the first match; out-of-range
//    positions and absent names give false or failure and change nothing.
//  - A move swaps the contents of the two neighbours (term_replace); the
//    list's order changes exactly as a rewrite would, nothing else
//    reorders, and no caller may hold entry references across a move.
//  - Results that outlive a scan (lists, found entries) are heap copies.
//  - str_br and brush are single-functor domains, so stored entries keep the
//    runtime's 32-bit image layout.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "chainDB/chainDb.h"

namespace rizediveva6 {

struct brush {
  int32_t style;
  int32_t colour;
};
struct str_br {
  const wchar_t* name;
  const brush* brush_;
};
using str_brs = List<const str_br*>;
// A new entry on the global stack.
const str_br* make_str_br(const wchar_t* name, brush b);

namespace domains {
extern Qel::RunTime::Terms::RCompoundDomain brush, str_br, str_brs;
}

struct PositionedStrBr {
  int32_t position;
  const str_br* entry;
};

class string_brush_db {
 public:
  static const tav::ClassInfo classInfo;
  using DB = tav::chainDB*;

  static void clear_chain(DB db, const wchar_t* chain);
  static bool one_exists(DB db, const wchar_t* chain);
  static bool exist_name(DB db, const wchar_t* chain, const wchar_t* name);
  static void add_namea(DB db, const wchar_t* chain, const str_br* entry);
  static void add_namez(DB db, const wchar_t* chain, const str_br* entry);
  static bool del_name(DB db, const wchar_t* chain, const wchar_t* name);
  static bool del_nth(DB db, const wchar_t* chain, int32_t n);
  static bool nth_name(DB db, const wchar_t* chain, int32_t n, const str_br** entry);
  static int32_t count(DB db, const wchar_t* chain);
  static const SList* list_names(DB db, const wchar_t* chain);
  static const str_brs* list_str_br(DB db, const wchar_t* chain);
  static bool nd_list_str_brs(DB db, const wchar_t* chain, tav::Each<PositionedStrBr> k);
  static bool nd_list_names(DB db, const wchar_t* chain, tav::Each<const wchar_t*> k);
  static bool replace_nth(DB db, const wchar_t* chain, int32_t n, const str_br* entry);
  static bool replace_name_brush(DB db, const wchar_t* chain, const wchar_t* name, brush b);
  static bool replace_nth_str(DB db, const wchar_t* chain, int32_t n, const wchar_t* newName);
  static bool move_up(DB db, const wchar_t* chain, const wchar_t* name);
  static bool move_down(DB db, const wchar_t* chain, const wchar_t* name);
};

class simple_string_db {
 public:
  static const tav::ClassInfo classInfo;
  using DB = tav::chainDB*;

  static void clear_chain(DB db, const wchar_t* chain);
  static bool one_exists(DB db, const wchar_t* chain);
  static bool exist_name(DB db, const wchar_t* chain, const wchar_t* name);
  static void add_namea(DB db, const wchar_t* chain, const wchar_t* name);
  static void add_namez(DB db, const wchar_t* chain, const wchar_t* name);
  static void add_namelist(DB db, const wchar_t* chain, const SList* names);
  static bool del_name(DB db, const wchar_t* chain, const wchar_t* name);
  static bool del_nth(DB db, const wchar_t* chain, int32_t n);
  static bool nth_name(DB db, const wchar_t* chain, int32_t n, const wchar_t** name);
  static int32_t count(DB db, const wchar_t* chain);
  static const SList* list_names(DB db, const wchar_t* chain);
  static bool nd_list_names(DB db, const wchar_t* chain, tav::Each<const wchar_t*> k);
  static bool replace_nth(DB db, const wchar_t* chain, int32_t n, const wchar_t* name);
  static bool replace_nth_str(DB db, const wchar_t* chain, int32_t n, const wchar_t* name) {
    return replace_nth(db, chain, n, name);
  }
  static bool move_up(DB db, const wchar_t* chain, const wchar_t* name);
  static bool move_down(DB db, const wchar_t* chain, const wchar_t* name);
};

struct NamedEntry {
  int32_t position;
  const SList* entry;
  const wchar_t* name;
};
struct PositionedId {
  int32_t position;
  const wchar_t* id;
};

class string_db {
 public:
  static const tav::ClassInfo classInfo;
  using DB = tav::chainDB*;

  static void clear_chain(DB db, const wchar_t* chain);
  static bool one_exists(DB db, const wchar_t* chain);
  static int32_t count(DB db, const wchar_t* chain);
  static void add_namez(DB db, const wchar_t* chain, const SList* entry);
  static bool exist_name(DB db, const wchar_t* chain, const wchar_t* name);
  static bool del_name(DB db, const wchar_t* chain, const wchar_t* name);
  static bool move_up(DB db, const wchar_t* chain, const SList* entry);
  static bool move_down(DB db, const wchar_t* chain, const SList* entry);
  static bool nd_list_name(DB db, const wchar_t* chain, tav::Each<NamedEntry> k);
  static const List<const SList*>* list_namez(DB db, const wchar_t* chain);
  static const SList* list_namez_1(DB db, const wchar_t* chain);
  static bool nd_list_ids(DB db, const wchar_t* chain, tav::Each<PositionedId> k);
  static const SList* list_namez_ids(DB db, const wchar_t* chain);
  static bool nth_namez(DB db, const wchar_t* chain, int32_t n, const SList** entry);
};

}  // namespace rizediveva6
