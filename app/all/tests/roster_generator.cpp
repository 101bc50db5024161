// The roster generator.
#include "roster_generator.h"

#include <cwchar>
#include <random>

#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "phase1/sc_phase1.h"

namespace alltest {

using namespace all;

namespace {

// Doctor names: non-ASCII letters, a pair differing only in case, several
// sharing their first 12 characters.
std::vector<std::wstring> DoctorNames() {
  std::vector<std::wstring> names = {L"Dr. M\u00FCller", L"Dr. m\u00FCller", L"Dr. Hoffmann-Schulz",
                                     L"Dr. Hoffmann-Schmidt", L"Dr. Hoffmann-S", L"\u00C5sa \u00D8stergaard",
                                     L"\u0141ucja Wr\u00F3bel", L"\u674E\u534E", L"\u0418\u0432\u0430\u043D\u043E\u0432",
                                     L"Dr. \u00C9lo\u00EFse Dupr\u00E9"};
  for (int i = static_cast<int>(names.size()) + 1; i <= 60; ++i) names.push_back(L"Doctor " + std::to_wstring(i));
  return names;
}

template <class T>
const T& Pick(std::mt19937& rng, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

uint32_t Between(std::mt19937& rng, uint32_t low, uint32_t high) {
  return std::uniform_int_distribution<uint32_t>(low, high)(rng);
}

DutySpec AnyDuty(std::mt19937& rng, const RosterSpec& s) {
  return DutySpec{Pick(rng, s.tasks), Pick(rng, s.locations), Pick(rng, s.slots)};
}

// A tie end on a weekday of the roster: weekday duties are typical on
// every day kind but holidays and changes, so most ends name a duty.
TieEndSpec AnyEnd(std::mt19937& rng, const RosterSpec& s) {
  return TieEndSpec{Between(rng, 1, s.weeks), Between(rng, 1, 5), AnyDuty(rng, s)};
}

void AddTies(std::mt19937& rng, RosterSpec* s) {
  const which_kind whos[] = {which_kind::global_tie, which_kind::group_tie, which_kind::person_tie};
  const tie_kind dos[] = {tie_kind::must_do, tie_kind::must_not_do};
  const repeat_kind repeats[] = {repeat_kind::repeat_week, repeat_kind::repeat_day, repeat_kind::no_repeat};
  const spec_kind specs[] = {spec_kind::tlsd_spec, spec_kind::just_slot_day, spec_kind::just_day, spec_kind::just_week};
  for (uint32_t i = 0; i < 20; ++i) {
    TieSpec t;
    t.who = whos[i % 3];
    t.name = t.who == which_kind::group_tie    ? Pick(rng, s->groups)
             : t.who == which_kind::person_tie ? Pick(rng, s->doctors).name
                                               : L"";
    t.first = AnyEnd(rng, *s);
    t.second = AnyEnd(rng, *s);
    if (t.second.period == t.first.period && t.second.day == t.first.day) t.second.day = t.first.day % 5 + 1;
    t.tieDo = dos[i % 2];
    t.repeat = repeats[(i / 2) % 3];
    t.spec = specs[i % 4];
    s->ties.push_back(t);
  }
}

// 0-3 rules for each doctor and practice, the types in turn.
void AddRules(std::mt19937& rng, RosterSpec* s) {
  uint32_t n = 0;
  auto add = [&](who_kind who, const std::wstring& name) {
    for (uint32_t i = Between(rng, 0, 3); i > 0; --i, ++n) {
      RuleSpec r{who, name, static_cast<rule_kind>(n % 6 + 1), 0, {}};
      switch (r.kind) {
        case rule_kind::r_slot: r.number = Between(rng, 1, 3); break;
        case rule_kind::r_day: r.number = Between(rng, 1, 7); break;
        case rule_kind::r_period: r.number = Between(rng, 1, s->weeks); break;
        case rule_kind::r_where: r.number = Between(rng, 1, 2); break;
        case rule_kind::r_what: r.number = Between(rng, 1, 3); break;
        case rule_kind::r_dtbd: r.duty = AnyEnd(rng, *s); break;
      }
      r.inForce = Between(rng, 0, 7) != 0;
      r.canDo = Between(rng, 0, 7) != 0 ? can_do_kind::i_cant_do : can_do_kind::i_can_do;
      s->rules.push_back(r);
    }
  };
  for (const DoctorSpec& d : s->doctors) add(who_kind::person_rule, d.name);
  for (const std::wstring& g : s->groups) add(who_kind::group_rule, g);
}

}  // namespace

RosterSpec GeneratedSpec(uint32_t seed, uint32_t weeks) {
  std::mt19937 rng(seed);
  RosterSpec s;
  s.start = dt{2027, 1, 4};
  s.weeks = weeks;
  s.slots = {L"Fr\u00FCh", L"Sp\u00E4t", L"Nacht"};
  s.tasks = {L"Station", L"Notaufnahme", L"OP"};
  s.locations = {L"Nord", L"S\u00FCd"};
  s.groups = {L"Innere", L"Chirurgie", L"P\u00E4diatrie", L"Neurologie", L"An\u00E4sthesie", L"Radiologie",
              L"Urologie", L"Gyn\u00E4kologie"};
  for (const std::wstring& name : DoctorNames()) {
    DoctorSpec d{name, {Pick(rng, s.groups)}};
    if (Between(rng, 0, 4) == 0) {
      const std::wstring& second = Pick(rng, s.groups);
      if (second != d.groups[0]) d.groups.push_back(second);
    }
    s.doctors.push_back(d);
  }
  // Holidays, one a month or so, inside the roster.
  for (uint32_t week = 3; week < weeks; week += 5) {
    const uint32_t month = (week * 12) / 53 % 12 + 1, year = 2027 + week / 53;
    s.holidays.push_back(dt{year, month, Between(rng, 1, 28)});
  }
  s.weekend = {{1, 6}, {2, 6}, {3, 6}, {1, 7}, {2, 7}, {3, 7}, {3, 5}};
  AddFullTypicalWeek(L"Notaufnahme", L"Nord", L"S\u00FCd", &s);
  // Date changes: duties dropped from or added to single days.
  for (uint32_t i = 0; i < 12; ++i) {
    const uint32_t week = Between(rng, 1, weeks), day = Between(rng, 1, 7);
    const uint32_t offset = (week - 1) * 7 + (day - 1);
    // 2027-01-04 plus offset days, through the day count of each month.
    static const uint32_t lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    dt date{2027, 1, 4};
    for (uint32_t left = offset; left; --left) {
      const uint32_t length = lengths[date.month - 1] + (date.month == 2 && date.year % 4 == 0);
      if (++date.day > length) {
        date.day = 1;
        if (++date.month > 12) date = dt{date.year + 1, 1, 1};
      }
    }
    s.changes.push_back({date, day, AnyDuty(rng, s)});
  }
  AddTies(rng, &s);
  AddRules(rng, &s);
  for (const DoctorSpec& d : s.doctors) s.loads.push_back({d.name, Between(rng, 0, 10), Between(rng, 0, 10)});
  s.loads[0].weekday = s.loads[0].weekend = 0;
  return s;
}

bool GeneratedSpecNamed(const std::wstring& name, RosterSpec* spec, GeneratedRun* run) {
  unsigned seed, weeks, percent = 0;
  wchar_t rest;
  const int n = swscanf(name.c_str(), L"gen%uw%up%u%lc", &seed, &weeks, &percent, &rest);
  if ((n != 2 && n != 3) || (weeks != 52 && weeks != 104) || percent > 100) return false;
  *spec = GeneratedSpec(seed, weeks);
  *run = GeneratedRun{seed, percent};
  return true;
}

uint32_t PreAssign(const GeneratedRun& run) {
  std::mt19937 rng(run.seed ^ 0x5EEDu);
  static std::vector<chain_ref> doctors;  // static: an error never skips its destructor
  static std::vector<std::wstring> keys;
  doctors.clear();
  keys.clear();
  staff_db::nd_person([&](const PersonTerm* p) {
    doctors.push_back(p->ref);
    tav::K::Fail();
  });
  sc_phase1::nd_duty_ref([&](dated_duty e) {
    keys.push_back(sc_phase1::get_dtbd_key(DutyDatOf(e.duty->dat)).text);
    tav::K::Fail();
  });
  uint32_t taken = 0;
  for (const std::wstring& key : keys) {
    if (Between(rng, 1, 100) > run.percent) continue;
    const chain_ref doctor = Pick(rng, doctors);
    if (sc_assign::assign_person(test_ass::test_and_make, key.c_str(), doctor)->Kind() != reason_kind::can_do_it) continue;
    ++taken;
    const DutyTerm* duty;
    if (Between(rng, 1, 50) == 1 && sc_phase1::get_duty_by_key(key.c_str(), &duty)) lock_ass::lock(duty->dat);
  }
  return taken;
}

}  // namespace alltest
