// The roster generator: turns a seed into a spec for the shared roster
// fixture builder.  The same seed and length always give the same spec.
//
// Invariants of a generated spec: 60 doctors with distinct names (some
// non-ASCII, two differing only in case, several sharing their first 12
// characters), 8 practices (some doctors in two), 3 slots, 3 tasks, 2
// locations, holidays inside the roster, weekend day-slots, loadings of 0-10
// parts (some doctors 0), date changes inside the roster and 20 ties of
// every who, do, repeat and scope, their ends in the roster's weeks.
#pragma once

#include <cstdint>
#include <string>

#include "roster_fixture.h"

namespace alltest {

RosterSpec GeneratedSpec(uint32_t seed, uint32_t weeks);

// "gen<seed>w<weeks>" (weeks 52 or 104); false for another name.
bool GeneratedSpecNamed(const std::wstring& name, RosterSpec* spec);

}  // namespace alltest
