// sc_phase1: the duty index of the open roster.  Here: its binding to the
// document and the rebuild request that stores raise when the set of
// concrete duties may have changed.
//
// Invariants:
//  - boo_must_regenerate lives in memory only: absent when the program
//    starts, raised by must_regenerate (with or without an open document),
//    kept across documents until the index is rebuilt.
#pragma once

#include "kalmoradb/store_state.h"

namespace all {

class sc_phase1 {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static bool boo_must_regenerate;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  // The reason text is not read.
  static void must_regenerate(const wchar_t* reason);
};

}  // namespace all
