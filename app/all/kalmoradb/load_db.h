// load_db: the loadings of the open roster, each doctor's share of the
// duties of a statistic kind, in the chain "loading_chain" in the order
// added; the total share is computed from the two weekend shares.
//
// Invariants:
//  - For a doctor and kind the first matching p_loading in chain order
//    counts; g_loading records are kept and passed over.
//  - After put_load and repair the fractions of a kind are parts / sum of
//    the kind's parts, unless that sum is 0 (then they stay as they were).
//  - Writing operations mark the document modified first, except the zero
//    shares get_load appends and the deletions of repair (both are derived
//    again on every opening).
//  - Sums of parts stay in the signed 32-bit range (overflow error beyond).
//  - The stored loadings are held in memory, with the first doctor share of
//    each kind and name indexed, for the open document: read at the first
//    query after a change, dropped before every write of the chain, at init,
//    uninit and stored_changed.
//  - The weekend duty counts are cached for the open document only: dropped
//    at uninit, at every rebuild of the duty index and at every change of
//    the weekend set.
#pragma once

#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

struct load_value {
  double fraction;
  uint32_t parts;
};

class load_db {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static bool sdb_tell_user_to_check_loadings;
  // db_weekend_tots: the counts of weekend(0) and weekend(1) duties.
  static bool has_weekend_tots;
  static uint32_t weekend_tots[2];

  static void init(tav::chainDB* db);
  static void uninit();
  // The chain was written by someone else: what is held in memory goes.
  static void stored_changed();

  // Never fails; a share read for the first time is stored as zero.
  static load_value get_load(const WhatStatTerm* kind, const wchar_t* name);
  // Sets the parts of an existing share; no share: nothing changes.  A
  // reference that is no doctor: 1319.
  static void put_load(const WhatStatTerm* kind, chain_ref doctor, uint32_t parts);
  // Every stored loading, then each doctor's computed total.
  static bool nd_load(tav::Each<const LoadingTerm*> k);
  static const LoadingTerm* dynamic_total_loading_from_weekends(const wchar_t* name);
  static uint32_t get_load_total(const WhatStatTerm* kind);
  static load_value get_load_task();
  static bool all_loadings_are_zero();
  static void auto_load(uint32_t parts);
  static void clear_load();
  static void repair();
  static void copy_load(const WhatStatTerm* kind);

  // The weekend duty counts (cached), and dropping them.
  static void weekend_totals(uint32_t* w0, uint32_t* w1);
  static void drop_weekend_tots();
};

// Same alternative with equal arguments.
bool SameStat(const WhatStatTerm* a, const WhatStatTerm* b);

}  // namespace all
