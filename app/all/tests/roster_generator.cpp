// The roster generator.
#include "roster_generator.h"

#include <cwchar>
#include <random>

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
  for (const std::wstring& task : s.tasks)
    for (const std::wstring& where : s.locations)
      for (const std::wstring& slot : s.slots) s.typical.push_back({kWeekday, {task, where, slot}});
  for (const std::wstring& slot : s.slots) {
    s.typical.push_back({kSaturday, {L"Notaufnahme", L"Nord", slot}});
    s.typical.push_back({kSunday, {L"Notaufnahme", L"S\u00FCd", slot}});
  }
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
  for (const DoctorSpec& d : s.doctors) s.loads.push_back({d.name, Between(rng, 0, 10), Between(rng, 0, 10)});
  s.loads[0].weekday = s.loads[0].weekend = 0;
  return s;
}

bool GeneratedSpecNamed(const std::wstring& name, RosterSpec* spec) {
  unsigned seed, weeks;
  wchar_t rest;
  if (swscanf(name.c_str(), L"gen%uw%u%lc", &seed, &weeks, &rest) != 2 || (weeks != 52 && weeks != 104)) return false;
  *spec = GeneratedSpec(seed, weeks);
  return true;
}

}  // namespace alltest
