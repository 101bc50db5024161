// sc_adjust: the doctors whose assigned count of a statistic kind is above
// the kind's count to be done, with the difference, from a totals object.
//
// Invariants:
//  - Class state only: xtotals, the totals object of the newest
//    enumeration, and ndb_adjust, the pairs not yet yielded (plain numbers,
//    no collected pointers).
//  - Each enumeration starts from an empty ndb_adjust; pairs are recorded
//    in the doctors' chain order and each leaves ndb_adjust as it is
//    yielded.
#pragma once

#include <vector>

#include "kalmoradb/stats_pack/totals.h"

namespace all {

// A doctor and the count above the kind's base.
struct adjust_pair {
  chain_ref doctor;
  uint32_t excess;
};

class sc_adjust {
 public:
  static const tav::ClassInfo classInfo;
  static totals* xtotals;
  static std::vector<adjust_pair> ndb_adjust;

  // Every doctor whose second count of the kind exceeds the first.
  static bool nd_adjust_duties(const what_stat& kind, tav::Each<adjust_pair> k);
};

}  // namespace all
