// sc_assign: the roster's assignments, duty key to doctor reference, in the
// document's B+tree "assign_bt" (key length 20, order 4, no duplicates), and
// the one gate through which every assignment passes.
//
// Invariants:
//  - init opens or creates the tree once per document; uninit forgets the
//    database and the tree object (the document closes the database).
//  - A duty has at most one doctor; a stored key names a duty of the duty
//    index when it is stored (keys that name none are refused).
//  - Beside the tree an index keeps, per key, its doctor and duty, and per
//    doctor and per (doctor, slot-period) its keys in tree order.  Every
//    insert and delete made through the tree object updates it (the object
//    reports them); a clear, or a change of the duty index (re-keying,
//    must_be_repaired), drops it and the next query rebuilds it in one walk.
//    is_assigned answers from it.  With boo_walks set every query
//    walks the tree instead; both give the same answers.
//  - Removals and repairs collect the entries first and act on each as
//    collected, so no deletion moves the cursor of a walk.
//  - While the journal is open it holds every insert and delete of this
//    class since it was opened, in order.
//  - A re-keying deletes every moved or dropped entry before it inserts
//    the moved ones under their new keys, so keys that trade places never
//    collide.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"
#include "rulesPack/sc_rules.h"

namespace all {

// The new key of an entry of a duty-key tree; null drops the entry.
using key_map = const wchar_t* (*)(const wchar_t* key, const void* context);

enum class test_ass : uint64_t { test_ass_only = 1, make_ass_only, test_and_make };
enum class clear_kind : uint64_t { clear_all = 1, clear_week, clear_month, clear_day };
// clear_dom: clear_all | clear_week(period) | clear_month(period) |
// clear_day(day name); month and day scopes clear nothing.
struct clear_dom {
  clear_kind kind;
  uint32_t period;
};

struct tlsd;

class sc_assign {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static rizediveva6::bt* xdb_bt;
  static bool boo_repair;
  // Checking mode: every query walks the tree.
  static bool boo_walks;

  static void init(tav::chainDB* db);
  static void uninit();
  // The doctor of the duty; false when the duty has none.
  static bool is_assigned(const wchar_t* key, chain_ref* doctor);
  // Every entry in key order.
  static bool nd_assignments(tav::Each<rizediveva6::KeyRef> k);
  // Every entry in the tree's random order.
  static bool nd_random_assignments(tav::Each<rizediveva6::KeyRef> k);
  // The doctor's entries in key order (through the index), on the heap.
  static const rizediveva6::List<rizediveva6::KeyRef>* entries_of(chain_ref doctor);
  static uint32_t number_assigned();
  static bool dtbd_key_tlsd(const wchar_t* key, tlsd* duty, uint32_t* period);
  static void must_be_repaired();
  // When marked: drops assignments whose doctor or duty has gone, locked
  // ones too, with their locks.
  static void repair_ass();
  // Deletes every assignment of the doctor, locked ones too.
  static void repair_after_person_deleted(chain_ref doctor);

  // The gate: checks (already assigned, busy, tie, rule) and storing.
  static const ReasonTerm* assign_person(test_ass mode, const wchar_t* key, chain_ref doctor);
  // The first tie that forbids giving the duty to the doctor; null for none.
  static const TieDatTerm* a_tie_prevents(const wchar_t* key, chain_ref doctor);
  // Applies a newly stored tie from its start end.
  static bool tie_start(const TieDomTerm* tie, const wchar_t** key, chain_ref* doctor);
  static void fix_after_add_tie(const TieDomTerm* tie);

  static const ReasonTerm* person_is_busy_dtbd_key(chain_ref doctor, const wchar_t* key,
                                                   const rizediveva6::SList* exclusion);
  static const ReasonTerm* person_is_busy_sp(chain_ref doctor, const sp& at, const rizediveva6::SList* exclusion);
  // The duty references the doctor holds in the slot-period, in key order.
  static bool nd_duties_done_by_person_in_sp(chain_ref doctor, const sp& at, const rizediveva6::SList* exclusion,
                                             tav::Each<chain_ref> k);
  // The dates on which the doctor is on duty (each once, ordered by the last
  // key of each date) and one dt_duty per assignment, in key order.
  static const rizediveva6::List<dt>* person_dates_on_duty(const wchar_t* name);
  static const rizediveva6::List<const DtDutyTerm*>* person_slots_on_duty(const wchar_t* name);

  // The calendar's removal: the keys removed, newest first; a locked key is
  // refused in the help line and nothing is removed.
  static const rizediveva6::SList* p_remove_assignment(uint32_t depth, const wchar_t* key);
  // One removal step of a pass; a key already met in the pass is skipped.
  static void f_remove_assignment(uint32_t depth, const wchar_t* key);
  static void try_remove_one(const wchar_t* key, chain_ref doctor);
  static void clear_assignments(const clear_dom& scope);
  static void clear_assignments(const wchar_t* name, const clear_dom& scope);
  static void remove_those_that_break_rules(chain_ref doctor);
  // The keys the current removal pass met, newest first.
  static const rizediveva6::SList* xkeys_removed();
  // Kept for their callers: a walk over every entry, and the undo hooks;
  // none of them changes anything.
  static void list();
  static void undo() {}
  static void create_undo() {}

  // A change made whole or not at all: while the journal is open every
  // insert and delete of this class is recorded; undo_journal takes them
  // back, newest first, leaving the tree and the index as they were at
  // open_journal; both close it.  Locks are not touched.
  static void open_journal();
  static void close_journal();
  static void undo_journal();

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
