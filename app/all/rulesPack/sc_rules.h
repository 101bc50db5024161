// sc_rules: a store of the open roster document, bound to its chain database
// while the document is open.
//
// Invariants: those of store_state.
#pragma once

#include "kalmoradb/store_state.h"

namespace all {

class sc_rules {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
};

}  // namespace all
