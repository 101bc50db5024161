// The shared roster fixture: a spec of a roster document and the builder
// that writes it through the program's own classes (a new document file,
// kalmora_DB::init, the stores' operations, save_kalmora).  Tests run the
// builder in a child process (all_roster_child.exe build ...) and reopen
// the file in a fresh one.  Each store writes its part of the roster spec once it
// exists: the header, the holidays, the weekend slots, the groups, the
// doctors, the tasks, the locations, the typical week and the date changes.
#pragma once

#include <string>
#include <vector>

#include "kalmoradb/sc_stat_weekend.h"
#include "rulesPack/sc_rules.h"
#include "kalmoradb/ties.h"

namespace alltest {

struct DoctorSpec {
  std::wstring name;
  std::vector<std::wstring> groups;
};

// A duty by names: task, location, slot.
struct DutySpec {
  std::wstring task, where, slot;
};
struct TypicalSpec {
  uint32_t dayKind;  // 1001 Sunday, 1002 weekday, 1003 Saturday
  DutySpec duty;
};
struct ChangeSpec {
  all::dt date;
  uint32_t day;  // 1..7
  DutySpec duty;
};

// One end of a tie: a duty of one day of one week.
struct TieEndSpec {
  uint32_t period, day;
  DutySpec duty;
};
struct TieSpec {
  all::which_kind who;
  std::wstring name;  // group or doctor
  TieEndSpec first, second;
  all::tie_kind tieDo;
  all::repeat_kind repeat;
  all::spec_kind spec;
};
// A can't-do rule of a group or a doctor; an r_dtbd rule names its duty.
struct RuleSpec {
  all::who_kind who;
  std::wstring name;
  all::rule_kind kind;
  uint32_t number;   // every kind but r_dtbd
  TieEndSpec duty;   // r_dtbd
  bool inForce = true;
  all::can_do_kind canDo = all::can_do_kind::i_cant_do;
};
// An assignment by names, stored without checks, and whether it is locked.
struct AssignSpec {
  TieEndSpec duty;
  std::wstring doctor;
  bool locked = false;
};
// A doctor's parts of weekend(0) and weekend(1).
struct LoadSpec {
  std::wstring doctor;
  uint32_t weekday, weekend;
};

struct RosterSpec {
  all::dt start;                 // any day of the first week
  uint32_t startDay = 0;         // 0 Monday, 1 Sunday
  uint32_t weeks = 10;
  std::vector<std::wstring> slots;
  std::wstring desc;             // empty: none stored
  std::vector<std::wstring> tasks, locations, groups;
  std::vector<DoctorSpec> doctors;
  std::vector<TypicalSpec> typical;  // per day kind in this order
  std::vector<ChangeSpec> changes;   // toggled in this order
  std::vector<all::dt> holidays;  // in the order added
  std::vector<all::weekend_entry> weekend;  // in the order added
  std::vector<TieSpec> ties;                // in the order added
  // Every doctor's two weekend shares are read (zero shares), then these
  // parts set in this order.
  std::vector<LoadSpec> loads;
  std::vector<RuleSpec> rules;          // in the order added: the last is first in the chain
  std::vector<AssignSpec> assignments;  // stored in this order, then locked
};

// The small hand-checked roster: 16 weeks from Monday 2026-10-05, over the
// October clock changes and the year end.
RosterSpec SmallSpec();
// The hand-checked roster of the assignment checks: 2 weeks from Monday
// 2027-01-04, slots early and late, tasks Ward and Clinic at Main, doctors
// Ann (North), Bob (South), Cy (South, North) and Dee (no group).
RosterSpec GateSpec();
// The same with two rules (Ann's late slot; South's dated duty, not in
// force, can-do) and three assignments, the first locked.
RosterSpec GateFullSpec();
// Every task at every location in every slot on weekdays; one task per
// slot on Saturdays and on Sundays, each at its location.
void AddFullTypicalWeek(const std::wstring& weekendTask, const std::wstring& saturdayWhere,
                        const std::wstring& sundayWhere, RosterSpec* s);
// A large roster of 52 or 104 weeks with 60 doctors.
RosterSpec LargeSpec(uint32_t weeks);
// Two weeks from Monday 2026-10-05, one task and location, two slots,
// three doctors (A in P1, B in P1 and P2, C in P2), a holiday on the
// first Wednesday, the day slots of Saturday and Sunday as weekend.
RosterSpec TwoWeekSpec();
// The roster spec of a name ("small", "gate", "gate_full", "large52", "large104",
// "two"); false for another.
bool SpecNamed(const std::wstring& name, RosterSpec* spec);

// The tls of a duty by names, through the document's lists.
all::tls DutyOf(const DutySpec& d);

// The duty key of a tie end.
std::wstring KeyOf(const TieEndSpec& e);
// A rule's term on the global stack, its key through the document's lists.
const all::WhichRuleTerm* RuleOf(const RuleSpec& r);
// Inserts a rule at the front of "rule_chain" as the rule editing does.
void AddRule(const all::WhichRuleTerm* rule);

// Appends a loading to the open document as it is: functor 1 a doctor's
// share, 2 a practice's.
void PutShare(uint64_t functor, const all::WhatStatTerm* kind, const wchar_t* name, double fraction);

// Writes the roster spec into the open document (kalmora_DB initialised on it).
void WriteSpec(const RosterSpec& spec);

}  // namespace alltest
