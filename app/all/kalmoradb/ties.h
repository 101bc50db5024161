// ties: the ties between duties of the open roster, one tie_dom(own
// reference, tie_dat) per tie in the chain "tie_chain", in the order added.
//
// Invariants:
//  - A stored tie's reference field holds its own chain reference.
//  - add_tie2 stores no tie with the which_tie and the pair of end keys
//    (in either order) of a stored one, nor one whose ends are duties of
//    one slot-period.
//  - Every writing operation marks the document modified first.
//  - xdb_active (true at start) and xwalk survive closing the document;
//    while the switch is off the readers that honour it see no tie.
//  - An end key that names no duty of the index gives no other end, no
//    description (seven "?") and no walk step; the tie stays until repair.
//  - Other ends lie in periods 1..104: a shift outside gives nothing.
//  - The readers read the stored ties from memory (heap copies, never
//    changed), read again after any write, stored_changed, init or uninit;
//    the weekly ties' end duties also after the duty index changes.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/actual_dtbd.h"
#include "kalmoradb/store_state.h"

namespace all {

// which_tie, tie_do, repeater and spec_slot alternatives in stored order.
enum class which_kind : uint64_t { global_tie = 1, group_tie, person_tie };
enum class tie_kind : uint64_t { must_do = 1, must_not_do };
enum class repeat_kind : uint64_t { repeat_week = 1, repeat_day, no_repeat };
enum class spec_kind : uint64_t { tlsd_spec = 1, just_slot_day, just_day, just_week };

// A tie as plain values; name is read for group and person ties only.
struct tie_value {
  which_kind who;
  const wchar_t* name;
  const wchar_t* first;
  const wchar_t* second;
  tie_kind tieDo;
  repeat_kind repeat;
  spec_kind spec;
};

// tlsd(tls, day_no)
struct tlsd {
  tls duty;
  uint32_t day;
  bool operator==(const tlsd& o) const = default;
};

// A weekly tie with the duties its end keys name.
struct weekly_tie {
  const TieDomTerm* tie;  // on the collected heap, held by the store too
  duty_dat first, second;
};

// One stored tie with the reference it was read at.
struct stored_tie {
  const TieDomTerm* tie;  // on the collected heap
  chain_ref ref;
};

class ties {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static bool xdb_active;
  static const rizediveva6::SList* xwalk;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  // Drops what is held in memory of the stored ties; every write of the
  // chain calls it before it writes.
  static void stored_changed();
  // The ties nd_tie yields that repeat weekly and whose two end keys name
  // duties exactly, in chain order, with those duties.  False when an end
  // key has another form than the duty index writes (then compare texts).
  static bool weekly_ties(const weekly_tie** ties, uint32_t* count);

  // Every stored tie in chain order; none while the switch is off.
  static bool nd_tie(tav::Each<stored_tie> k);
  static const rizediveva6::List<const TieDomTerm*>* all_ties();
  // Every stored tie, whatever the switch says.
  static bool nd_tie_for_drawing(tav::Each<const TieDomTerm*> k);
  static void toggle_activate();
  static bool ties_active();

  static void add_tie2(const TieDatTerm* t);
  // A reference that is no stored term: 1319.
  static void del_tie(chain_ref ref);
  static void del_all();
  // Every tie nd_tie yields with exactly that which_tie.
  static void del_all(const WhichTieTerm* who);
  static void repair();

  // The other end of a weekly tie for the duty `key` of `period`: the
  // second end moved when key is the first end moved to period, then the
  // first end moved the other way.
  static bool nd_tie_other_end_key(const wchar_t* key, const TieDomTerm* tie, uint32_t period,
                                   tav::Each<const wchar_t*> k);
  // The duties reached from key through weekly must-do ties in up to ten
  // steps, the newest first, key last.
  static const rizediveva6::SList* must_do_walk(const wchar_t* key);
  // Repetition, first end, second end, kind, scope; seven "?" when an end
  // names no duty.
  static const rizediveva6::SList* tie_desc(const TieDatTerm* t);

  static tlsd dtbd_tlsd(const duty_dat& d);
  static duty_dat tlsd_dtbd(const tlsd& t, uint32_t period);
};

// A tie_dat term on the global stack (drawn points zero).
const TieDatTerm* MakeTieDat(const tie_value& v);
tie_value TieValueOf(const TieDatTerm* t);
// The same alternative and, for group and person ties, the same name.
bool SameWho(const WhichTieTerm* a, const WhichTieTerm* b);
// The duty of a key, only when the key is exactly the duty's key.
bool DutyOfKey(const wchar_t* key, const DutyTerm** duty);

}  // namespace all
