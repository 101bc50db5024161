// The fixture specs and their writer.
#include "roster_fixture.h"

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"

namespace alltest {

using namespace all;

RosterSpec SmallSpec() {
  RosterSpec s;
  s.start = dt{2026, 10, 5};
  s.startDay = 0;
  s.weeks = 16;
  s.slots = {L"Fr\u00FCh", L"late", L"night"};
  s.desc = L"Kleiner Dienstplan \u00E4\u00F6\u00FC";
  s.tasks = {L"Station", L"Notaufnahme", L"Visite"};
  s.locations = {L"Haus A", L"Haus B", L"Haus C"};
  s.groups = {L"Innere", L"Chirurgie"};
  s.doctors = {
      {L"\u00C4rztin Bj\u00F6rk", {L"Innere"}},
      {L"Dr. \u0141ukasz Wi\u015Bniewski", {L"Chirurgie"}},
      {L"Dr. Zo\u00EB \U0001D4D0lt", {L"Innere", L"Chirurgie"}},  // a surrogate pair
      {L"Dr. Muster-Lang", {L"Innere"}},                            // first 12 characters
      {L"Dr. Muster-Langenfeld", {L"Chirurgie"}},                    // shared with this one
      {L"Dr. Sophie Bauer", {L"Innere"}},                            // two alike first letters
      {L"Dr. Stefan Braun", {L"Chirurgie"}},
      {L"Dr. \u00C9milie Faure", {L"Innere"}},
      {L"Dr. Jos\u00E9 N\u00FA\u00F1ez", {L"Chirurgie"}},
      {L"Dr. Chen \u9648", {L"Innere"}},
  };
  s.holidays = {{2026, 12, 25}, {2026, 12, 26}, {2027, 1, 1}};
  s.weekend = {{1, 6}, {1, 7}, {3, 7}};
  s.typical = {
      {kWeekday, {L"Station", L"Haus A", L"Fr\u00FCh"}},
      {kWeekday, {L"Notaufnahme", L"Haus B", L"late"}},
      {kWeekday, {L"Visite", L"Haus C", L"night"}},
      {kWeekday, {L"Station", L"Haus B", L"night"}},
      {kSaturday, {L"Notaufnahme", L"Haus A", L"Fr\u00FCh"}},
      {kSaturday, {L"Visite", L"Haus B", L"late"}},
      {kSunday, {L"Station", L"Haus C", L"late"}},
  };
  s.changes = {
      {{2026, 10, 7}, 3, {L"Station", L"Haus A", L"Fr\u00FCh"}},  // a typical duty dropped
      {{2026, 10, 10}, 6, {L"Visite", L"Haus C", L"night"}},       // a duty added
      {{2026, 11, 2}, 1, {L"Notaufnahme", L"Haus B", L"late"}},
      {{2026, 12, 24}, 4, {L"Visite", L"Haus A", L"Fr\u00FCh"}},
  };
  const DutySpec stationA{L"Station", L"Haus A", L"Fr\u00FCh"}, notB{L"Notaufnahme", L"Haus B", L"late"},
      visiteC{L"Visite", L"Haus C", L"night"}, stationB{L"Station", L"Haus B", L"night"},
      notSatA{L"Notaufnahme", L"Haus A", L"Fr\u00FCh"}, stationSunC{L"Station", L"Haus C", L"late"};
  s.ties = {
      {which_kind::global_tie, L"", {2, 1, stationA}, {3, 2, notB}, tie_kind::must_do, repeat_kind::repeat_week,
       spec_kind::tlsd_spec},
      {which_kind::global_tie, L"", {3, 2, notB}, {3, 4, visiteC}, tie_kind::must_do, repeat_kind::repeat_week,
       spec_kind::just_slot_day},
      {which_kind::group_tie, L"Innere", {5, 6, notSatA}, {5, 7, stationSunC}, tie_kind::must_not_do,
       repeat_kind::no_repeat, spec_kind::just_day},
      {which_kind::person_tie, L"\u00C4rztin Bj\u00F6rk", {1, 1, visiteC}, {2, 1, stationB}, tie_kind::must_do,
       repeat_kind::repeat_week, spec_kind::just_week},
  };
  s.loads = {{L"\u00C4rztin Bj\u00F6rk", 3, 1}, {L"Dr. \u0141ukasz Wi\u015Bniewski", 1, 1}};
  return s;
}

void AddFullTypicalWeek(const std::wstring& weekendTask, const std::wstring& saturdayWhere,
                        const std::wstring& sundayWhere, RosterSpec* s) {
  for (const std::wstring& task : s->tasks)
    for (const std::wstring& where : s->locations)
      for (const std::wstring& slot : s->slots) s->typical.push_back({kWeekday, {task, where, slot}});
  for (const std::wstring& slot : s->slots) {
    s->typical.push_back({kSaturday, {weekendTask, saturdayWhere, slot}});
    s->typical.push_back({kSunday, {weekendTask, sundayWhere, slot}});
  }
}

RosterSpec LargeSpec(uint32_t weeks) {
  RosterSpec s;
  s.start = dt{2027, 1, 6};  // a Wednesday: the roster starts on Monday 2027-01-04
  s.startDay = 0;
  s.weeks = weeks;
  s.slots = {L"day", L"evening", L"night"};
  s.tasks = {L"ward", L"emergency", L"theatre"};
  s.locations = {L"north", L"south"};
  s.groups = {L"odd", L"even"};
  for (int i = 1; i <= 60; ++i)
    s.doctors.push_back({L"Doctor " + std::to_wstring(i), {i % 2 ? L"odd" : L"even"}});
  for (uint32_t year = 2027; year <= 2028; ++year)
    for (dt d : {dt{year, 1, 1}, dt{year, 5, 1}, dt{year, 12, 25}, dt{year, 12, 26}})
      if (year == 2027 || weeks > 52) s.holidays.push_back(d);
  for (uint32_t slot = 1; slot <= 3; ++slot) {
    s.weekend.push_back({slot, 6});
    s.weekend.push_back({slot, 7});
  }
  AddFullTypicalWeek(L"emergency", L"north", L"south", &s);
  return s;
}

RosterSpec TwoWeekSpec() {
  RosterSpec s;
  s.start = dt{2026, 10, 5};
  s.weeks = 2;
  s.slots = {L"day", L"night"};
  s.tasks = {L"ward"};
  s.locations = {L"north"};
  s.groups = {L"P1", L"P2"};
  s.doctors = {{L"A", {L"P1"}}, {L"B", {L"P1", L"P2"}}, {L"C", {L"P2"}}};
  s.holidays = {{2026, 10, 7}};
  s.weekend = {{1, 6}, {1, 7}};
  s.typical = {
      {kWeekday, {L"ward", L"north", L"day"}},
      {kWeekday, {L"ward", L"north", L"night"}},
      {kSaturday, {L"ward", L"north", L"day"}},
      {kSunday, {L"ward", L"north", L"day"}},
  };
  return s;
}

tls DutyOf(const DutySpec& d) {
  return typical_db::slist_tls(rizediveva6::MakeList<const wchar_t*>({d.task.c_str(), d.where.c_str(), d.slot.c_str()}));
}

RosterSpec GateSpec() {
  RosterSpec s;
  s.start = dt{2027, 1, 4};
  s.startDay = 0;
  s.weeks = 2;
  s.slots = {L"early", L"late"};
  s.tasks = {L"Ward", L"Clinic"};
  s.locations = {L"Main"};
  s.groups = {L"North", L"South"};
  s.doctors = {{L"Ann", {L"North"}}, {L"Bob", {L"South"}}, {L"Cy", {L"South", L"North"}}, {L"Dee", {}}};
  s.typical = {
      {kWeekday, {L"Ward", L"Main", L"early"}},
      {kWeekday, {L"Clinic", L"Main", L"early"}},
      {kWeekday, {L"Ward", L"Main", L"late"}},
      {kSaturday, {L"Ward", L"Main", L"early"}},
  };
  return s;
}

RosterSpec GateFullSpec() {
  RosterSpec s = GateSpec();
  const DutySpec ward{L"Ward", L"Main", L"early"}, clinic{L"Clinic", L"Main", L"early"};
  s.rules = {{who_kind::person_rule, L"Ann", rule_kind::r_slot, 2, {}},
             {who_kind::group_rule, L"South", rule_kind::r_dtbd, 0, {1, 1, ward}, false, can_do_kind::i_can_do}};
  s.assignments = {{{1, 1, ward}, L"Ann", true}, {{2, 2, clinic}, L"Bob"}, {{1, 3, ward}, L"Dee"}};
  return s;
}

bool SpecNamed(const std::wstring& name, RosterSpec* spec) {
  if (name == L"small") *spec = SmallSpec();
  else if (name == L"gate") *spec = GateSpec();
  else if (name == L"gate_full") *spec = GateFullSpec();
  else if (name == L"large52") *spec = LargeSpec(52);
  else if (name == L"large104") *spec = LargeSpec(104);
  else if (name == L"two") *spec = TwoWeekSpec();
  else return false;
  return true;
}

std::wstring KeyOf(const TieEndSpec& e) {
  const tls d = DutyOf(e.duty);
  return sc_phase1::get_dtbd_key(duty_dat{sp{e.day, e.period, d.slot}, d.where, d.task, false}).text;
}

void PutShare(uint64_t functor, const WhatStatTerm* kind, const wchar_t* name, double fraction) {
  int32_t ref;
  const LoadingTerm* l = OnStack(LoadingTerm{functor, kind, name, fraction, 0});
  kalmora_DB::db()->chain_insertz(tav::D(domains::loading), L"loading_chain", reinterpret_cast<T::term>(l), &ref);
  load_db::stored_changed();
}

const WhichRuleTerm* RuleOf(const RuleSpec& r) {
  const wchar_t* key = r.kind == rule_kind::r_dtbd ? tav::HeapCopy(KeyOf(r.duty).c_str()) : nullptr;
  return MakeWhichRule(rule_value{r.who, tav::HeapCopy(r.name.c_str()), r.inForce, r.kind, r.number, key, r.canDo});
}

void AddRule(const WhichRuleTerm* rule) {
  int32_t ref;
  sc_rules::stored_changed();
  kalmora_DB::db()->chain_inserta(tav::D(domains::which_rule), L"rule_chain", reinterpret_cast<T::term>(rule), &ref);
}

void WriteSpec(const RosterSpec& spec) {
  kalmora_DB::set_start_day(spec.startDay);
  kalmora_DB::put_start_date(rizediveva6::time_convert::date_tv(spec.start));
  kalmora_DB::put_weeks_duration(spec.weeks);
  rizediveva6::ListBuilder<const wchar_t*> slots;
  for (const std::wstring& s : spec.slots) slots.Add(s.c_str());
  kalmora_DB::put_list_slots(slots.Finish());
  if (!spec.desc.empty()) kalmora_DB::set_desc(spec.desc.c_str());
  for (const dt& d : spec.holidays) sc_holidays::add_holiday(d);
  for (const weekend_entry& e : spec.weekend) sc_stat_weekend::add_sd(e);
  for (const std::wstring& g : spec.groups) groups::add_group(g.c_str());
  for (const DoctorSpec& d : spec.doctors) {
    staff_db::add_name(d.name.c_str());
    const PersonTerm* p;
    if (!staff_db::get_person(d.name.c_str(), &p)) continue;
    rizediveva6::ListBuilder<const wchar_t*> own;
    for (const std::wstring& g : d.groups) own.Add(g.c_str());
    const PersonDatTerm* dat = p->dat;
    staff_db::replace_person(MakePerson(p->ref, dat->name, own.Finish(), dat->colour, dat->letter));
  }
  for (const std::wstring& t : spec.tasks) tasks::add_task(t.c_str());
  for (const std::wstring& l : spec.locations) locations::add_loc(l.c_str());
  for (uint32_t kind : {kSaturday, kSunday, kWeekday}) {
    rizediveva6::ListBuilder<tls> duties;
    for (const TypicalSpec& t : spec.typical)
      if (t.dayKind == kind) duties.Add(DutyOf(t.duty));
    typical_db::add_tls(kind, duties.Finish());
  }
  for (const ChangeSpec& c : spec.changes) sc_mod_date::add_or_remove(dt_duty{c.date, c.day, DutyOf(c.duty)});
  sc_phase1::generate();
  for (const TieSpec& t : spec.ties) {
    const std::wstring first = KeyOf(t.first), second = KeyOf(t.second);
    ties::add_tie2(MakeTieDat(tie_value{t.who, t.name.c_str(), first.c_str(), second.c_str(), t.tieDo, t.repeat, t.spec}));
  }
  for (const RuleSpec& r : spec.rules) AddRule(RuleOf(r));
  for (const AssignSpec& a : spec.assignments) {
    const PersonTerm* p;
    if (staff_db::get_person(a.doctor.c_str(), &p))
      sc_assign::assign_person(test_ass::make_ass_only, KeyOf(a.duty).c_str(), p->ref);
  }
  for (const AssignSpec& a : spec.assignments) {
    const DutyTerm* duty;
    if (a.locked && sc_phase1::get_duty_by_key(KeyOf(a.duty).c_str(), &duty)) lock_ass::lock(duty->dat);
  }
  if (spec.loads.empty()) return;
  for (const DoctorSpec& d : spec.doctors)
    for (int32_t w : {0, 1}) load_db::get_load(MakeWhatStat(stat_kind::weekend, w), d.name.c_str());
  for (const LoadSpec& l : spec.loads) {
    const PersonTerm* p;
    if (!staff_db::get_person(l.doctor.c_str(), &p)) continue;
    load_db::put_load(MakeWhatStat(stat_kind::weekend, 0), p->ref, l.weekday);
    load_db::put_load(MakeWhatStat(stat_kind::weekend, 1), p->ref, l.weekend);
  }
}

}  // namespace alltest
