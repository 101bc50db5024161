// The roster generator: turns a seed into a spec for the shared roster
// fixture builder.  The same seed and length always give the same spec.
//
// Invariants of a generated spec: 60 doctors with distinct names (some
// non-ASCII, two differing only in case, several sharing their first 12
// characters), 8 practices (some doctors in two), 3 slots, 3 tasks, 2
// locations, holidays inside the roster, weekend day-slots, loadings of 0-10
// parts (some doctors 0), date changes inside the roster and 20 ties of
// every who, do, repeat and scope, their ends in the roster's weeks, and
// 0-3 can't-do rules per doctor and per practice of every type (some not in
// force, some can-do).
#pragma once

#include <cstdint>
#include <string>

#include "roster_fixture.h"

namespace alltest {

RosterSpec GeneratedSpec(uint32_t seed, uint32_t weeks);

// The part of a generated roster written after the roster spec.
struct GeneratedRun {
  uint32_t seed = 0;
  uint32_t percent = 0;  // of the duties offered to a doctor through the gate
};

// "gen<seed>w<weeks>" or "gen<seed>w<weeks>p<percent>" (weeks 52 or 104,
// percent 0 to 100); false for another name.
bool GeneratedSpecNamed(const std::wstring& name, RosterSpec* spec, GeneratedRun* run);

// In the open document written from the roster spec: each duty, with the run's
// chance, offered to a random doctor through the gate's checks (a refusal
// leaves it free); 2 % of those taken locked.  Returns the number taken.
uint32_t PreAssign(const GeneratedRun& run);

}  // namespace alltest
