// sc_phase1: the duty index of the open roster.  Every concrete duty is one
// stored duty_to_be_done(its own reference, data) in the chain of its period
// ("1".."104"), found by duty key in "phase1_bt" and in date order in
// "bt_date".
//
// Invariants:
//  - boo_must_regenerate lives in memory only: absent when the program
//    starts, raised by must_regenerate (with or without an open document),
//    cleared by a rebuild that completed or by closing the document.
//  - A rebuild derives every duty, its key, date and date key (all range
//    checks) before it writes anything; on any error the request stays, no
//    assignment is marked for repair and the next rebuild starts from the
//    clear.  One duty per key: a repeated key keeps the first derived.
//  - Every chain whose name reads as an integer is a period chain; a
//    rebuild deletes them all before it stores.
//  - Duty keys depend only on period, slot, day, task and location.
//  - Lookups, slot-period lists and the date walk read a copy of the index
//    in memory, made at the first query after init or a rebuild; a rebuild
//    drops it before it writes.
#pragma once

#include "SYSTEM/mychaindb/bt.h"
#include "kalmoradb/actual_dtbd.h"
#include "kalmoradb/store_state.h"

namespace all {

// "[P+100,S+10,D+10,T,L]": 15 to 17 characters.
struct duty_key {
  wchar_t text[24];
};
// Year, month + 10 and day + 10 run together: 8 characters for 1950..2050.
struct date_key {
  wchar_t text[16];
};

// One entry of the date-order walk.
struct dated_duty {
  chain_ref ref;
  const DutyTerm* duty;
  const wchar_t* dateKey;
};

// A listing row: the one-line text and its six parts (date, day name, slot,
// location, task, person text).
struct duty_row {
  const wchar_t* line;
  const rizediveva6::SList* row;
};
using duty_terms = rizediveva6::List<const DutyTerm*>;

// Listing modes: every duty, those with a doctor, those without.
enum : uint32_t { kEveryDuty = 71, kAssignedDuty = 72, kUnassignedDuty = 73 };

class sc_phase1 {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;
  static bool boo_must_regenerate;
  static rizediveva6::bt* x_bt_duty_date;
  static rizediveva6::bt* xdb_bt;
  static uint32_t xcount;

  // Opens or creates both trees; nothing when already open.
  static void init(tav::chainDB* db);
  // Forgets the database, both trees and a pending request (the stored
  // index of a closed document matches its stored inputs).
  static void uninit();
  // The reason text is not read.
  static void must_regenerate(const wchar_t* reason);
  // Rebuilds the index when a rebuild is requested.
  static void generate();

  static duty_key get_dtbd_key(const duty_dat& d);
  // The values of a key exactly of the form get_dtbd_key writes, within the
  // index's ranges (the changed flag false); false for any other text.
  static bool parse_key(const wchar_t* key, duty_dat* out);
  // Changes whenever what the index holds in memory is dropped: a cache
  // derived from the index is stale when its generation differs.
  static uint64_t generation();
  static duty_key get_key_by_sp(const sp& s, uint32_t where, uint32_t task);
  static date_key get_date_key(const dt& d);

  // False when the key is not in the index.
  static bool get_duty_by_key(const wchar_t* key, const DutyTerm** duty);
  // A reference that is no stored term: 1319.
  static const DutyTerm* get_duty_by_ref(chain_ref ref);
  static bool dtbd_key_sp(const wchar_t* key, sp* out);
  static bool dtbd_key_dt(const wchar_t* key, dt* out);
  static dt dtbd_dt(const DutyTerm* duty);
  // Every stored duty in date-key order.
  static bool nd_duty_ref(tav::Each<dated_duty> k);
  // The neighbouring key; false at the ends and for a key not in the index.
  static bool next_key(const wchar_t* key, const wchar_t** out);
  static bool prev_key(const wchar_t* key, const wchar_t** out);
  static uint32_t how_many();
  static void show_how_many();

  // The stored duties of a slot-period that the display filter shows, by
  // task then location list order; a task or location number above 10: 302.
  static const duty_terms* duties_to_be_done_on_sp(const sp& s);
  // The same for a date and slot; false before the start week.
  static bool duties_to_be_done_on_dt(const dt& date, uint32_t slot, const duty_terms** out);
  // Task, location, day name, slot name and date text; "Unknown??".
  static const wchar_t* key_desc(const wchar_t* key);
  // The person text of a duty for a listing mode; false: the duty is left out.
  static bool done_by(uint32_t mode, const wchar_t* key, const wchar_t** text);
  // Rows in date-key order (collected on the heap).
  static bool nd_duty_desc(uint32_t mode, tav::Each<duty_row> k);
  static bool nd_duty_desc_by_person(const wchar_t* name, tav::Each<duty_row> k);
  // ["assigned"], ["assigned", name], ["unassigned"]; any other query gives
  // the one row ["Error 855"].
  static const rizediveva6::List<const rizediveva6::SList*>* the_duties_to_be_done(
      const rizediveva6::SList* query);

  // The trees; 329 while no document is open.
  static rizediveva6::bt* key_tree();
  static rizediveva6::bt* date_tree();
};

// A duty's data as a plain value.
duty_dat DutyDatOf(const DutyDatTerm* t);

}  // namespace all
