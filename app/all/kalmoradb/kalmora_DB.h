// kalmora_DB: the root of the open roster document.  Opens every store on
// the document's chain database in one fixed order and closes them in the
// same order, keeps the header (start date, duration, week start day, slot
// names, description), saves the document and marks it modified, and does
// the slot-period arithmetic over the header.
//
// Invariants:
//  - Class state only (one document at a time): the document, its chain
//    database and the open mark are all present or all absent.  An init
//    that fails or raises part-way closes what it opened, forgets the
//    facts and passes the failure on.
//  - Header chains hold one term once written (start date, duration, start
//    day, description); "slots" holds at most 10 names.  A change of the
//    slot list renumbers the stored slot numbers (renumber), so each keeps
//    naming its slot.
//  - Every writing operation marks the document modified before it writes;
//    the modified mark is cleared only by a save whose result is `saved`.
//  - The cached week offset belongs to the stored start date: dropped when
//    a new start date is stored and when the document is closed.
#pragma once

#include "SYSTEM/mychaindb/orvdb.h"
#include "kalmoradb/sp_calendar.h"

namespace all {

using rizediveva6::document;
using rizediveva6::saved_result;
using rizediveva6::SList;

class kalmora_DB {
 public:
  static const tav::ClassInfo classInfo;

  // --- opening, closing, saving ---
  static void init(document* doc);
  static void uninit();
  static bool is_init();
  static const saved_result* save_kalmora();
  static const saved_result* save_kalmora(const wchar_t* fileName);
  // Writes "<document>.stat": one line per doctor with the doctor's total
  // row; an error of it is shown as a note and not passed on.
  static void save_stats();
  // The document's file name (file_def and memory documents); false otherwise.
  static bool get_file(const wchar_t** fileName);
  static void set_as_mod();
  // How often set_as_mod was called in this run: every write of a store
  // marks first, so a text drawn from several stores stays valid while the
  // count is unchanged.
  static uint64_t marks();
  static void set_as_not_mod();
  static tav::chainDB* db();

  // --- header ---
  static tv get_start_date();
  static void put_start_date(tv t);
  static tv get_end_date();
  static uint32_t get_weeks_duration();
  static void put_weeks_duration(uint32_t weeks);
  static const SList* get_list_slots();
  // More than 10 names: a note, nothing changes.
  static void put_list_slots(const SList* names);
  static void move_up(const wchar_t* name);
  static void move_down(const wchar_t* name);
  static const SList* list_slots();
  static bool nd_slots(tav::Each<std::pair<uint32_t, const wchar_t*>> k);
  static uint32_t number_of_slots_per_day();
  static uint32_t get_slot_dom(const wchar_t* name);
  static const wchar_t* get_slot_name(uint32_t slot);
  static uint32_t get_start_day();
  static void set_start_day(uint32_t startDay);
  static const wchar_t* get_desc();
  static void set_desc(const wchar_t* text);
  // A duty's "date slot location task" and its location name; "no desc?" and
  // "No desc??" when a step raises.
  static void duty_desc1(const DutyDatTerm* duty, const wchar_t** description, const wchar_t** location);

  // --- slot-period arithmetic ---
  static uint32_t get_weeks_offset();
  static uint32_t period_week_no(uint32_t period);
  static bool week_no_period(uint32_t week, uint32_t* period);
  static dt sp_dt(const sp& s);
  static bool dt_sp(const dt& d, sp* out);
  static bool next_day(const sp& s, sp* out);
  static bool prev_day(const sp& s, sp* out);
  static bool nd_sp(const sp& from, tav::Each<sp> k);
  static bool nd_sp_week(const sp& from, tav::Each<sp> k);
  // day_slot(Day, Slot) of one week: days ascending, slots descending.
  static const rizediveva6::List<const WhatStatTerm*>* list_day_slots();
  // The same as texts: day name, a space, slot name.
  static const SList* list_day_slots_slist();
};

}  // namespace all
