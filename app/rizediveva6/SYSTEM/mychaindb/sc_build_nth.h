// sc_build_nth: numbers a sequence of stored terms by position into a bt:
// the n-th item gets the key n + 10000 in decimal (forwards) or
// Top - n + 10000 (backwards), so the n-th item is one key lookup away.
//
// Invariants:
//  - Building clears the target first; the counter is a local of each call.
//  - Keys are plain decimal texts: past 89,999 items they have six digits
//    and sort before the five-digit ones (kept: stored indexes rely on it).
#pragma once

#include "SYSTEM/mychaindb/bt.h"

namespace rizediveva6 {

struct x_direction {
  bool backwards;
  uint32_t top;  // of backwards(Top)
};
// A caller's enumeration of references, nondeterministic as the class
// library's predicates are: each reference in order to the continuation
// under its own backtrack point (TrySolution, or a runtime enumeration).
using RefEnumerator = tav::Each<tav::Each<int32_t>>;

class sc_build_nth {
 public:
  static const tav::ClassInfo classInfo;

  static void build_using_index_base_10000(x_direction direction, bt* target, bt* source);
  static void build_using_chain_term(x_direction direction, bt* target, RefEnumerator enumerator);
  static bool get_nth_ref(int32_t n, bt* index, int32_t* ref);
  // 1-based position of ref in index's key order; 0 and the error box
  // "Error 4330 in sc_build_nth" when absent.
  static int32_t ref_is_nth(int32_t ref, bt* index);
};

}  // namespace rizediveva6
