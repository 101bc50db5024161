// The independent roster validator: reads a roster document's stored
// records straight from its chain database by their stored types (no store
// of the roster model, no engine class) and judges the roster.
//
// Invariants:
//  - Reading never writes: the documents are only enumerated.
//  - Violation lines are stable texts (keys, doctor names, tie references),
//    so the lines of two documents compare as sets.
//  - Only in-force can't-do rules forbid; a doctor's rule by the exact
//    name, a group's rule through the doctor's groups; a dated-duty rule
//    forbids the one duty its key names.  A duty is placeable when some
//    doctor is free in its slot-period and no rule forbids it to them.
//  - A duty's weekend category is 1 when its day-slot is in the weekend set,
//    else 0 (as the statistics and the loadings count it: holidays apart).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "chainDB/chainDb.h"

namespace rostercheck {

// Assigned count against the share of one doctor or practice.
struct Deviation {
  std::wstring who;
  uint32_t category;  // 0 or 1
  uint32_t assigned;
  double share;
  double deviation() const;  // |assigned - share|
};

struct DeviationSum {
  double sum = 0, max = 0;
  void Add(double d);
};

struct Figures {
  uint32_t duties[2] = {0, 0};
  uint32_t assigned[2] = {0, 0};
  std::vector<Deviation> doctors, practices;
  DeviationSum doctorByCategory[2], doctorAll;
  DeviationSum practiceByCategory[2], practiceAll;
  uint32_t placeable = 0;
  // Percent of duties with a doctor: one category, or both (category 2).
  double FillRate(uint32_t category) const;
};

struct Report {
  std::vector<std::wstring> violations;  // sorted
  Figures figures;
  std::vector<std::pair<std::wstring, int32_t>> locks;  // locked key, doctor
};

// Judges the document; `earlier` (may be null) is the report of the same
// roster before a run: its locks must still stand.  Runs under the
// caller's trap.
Report Judge(tav::chainDB* db, const Report* earlier);

// The violations of `now` that `before` does not have.
std::vector<std::wstring> Introduced(const Report& now, const Report* before);

// "violations N, fill rate X %, max deviation Y, sum deviation Z, placeable P"
std::wstring Summary(const Report& r);

// The roster as an assignment problem, one record a line, for an exact
// solver: "doctor REF SHARE0 SHARE1" per doctor, "duty I CATEGORY PERIOD
// SLOT DAY ALLOWED" per duty (the doctors no rule forbids it to, joined by
// commas, "-" for none), "held I REF" per assignment kept as it stands,
// "tie DO I J APPLIES" per pair of duties a weekly tie joins (DO 1 must_do,
// 2 must_not_do; the doctors it applies to, "*" for all).  Runs under the
// caller's trap.
std::string Instance(tav::chainDB* db);

// The error number of a trapped code (the "error code" of its descriptor).
uint32_t ErrorNumber(uint32_t code);

}  // namespace rostercheck
