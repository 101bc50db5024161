// The set-up shared by the statistics benchmarks: a generated 104-week
// roster with about 70 % of its duties assigned (the doctors in turn), the
// same duties and assignments as plain rows, and an in-memory SQLite
// database holding them (tables duties and assigned, indexed by doctor and
// by practice).  A practice counts only the doctors whose only practice it is.
#pragma once

#include <sqlite3.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "roster_bench.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "phase1/sc_phase1.h"
#include "roster_generator.h"

namespace statsbench {

namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

// The SQLite expression of each statistic kind, in the kinds' order (totals,
// days, weekends, slots, day-slots, tasks, locations, holidays).
inline const char* const kKindColumn[] = {"0", "day", "weekend", "slot", "day * 16 + slot", "task", "loc", "holiday"};

struct Row {
  uint32_t period, slot, day, task, loc, weekend, holiday;
};
struct Held {
  Row duty;
  all::chain_ref doctor;
  std::wstring practice;  // empty: the doctor is not in exactly one group
};

struct Roster {
  std::vector<all::chain_ref> doctors;
  std::vector<std::wstring> doctorNames, doctorPractice, practices;
  std::vector<Row> duties;
  std::vector<Held> held;
};

inline void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
  }
}

inline std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

// Writes the generated roster into the open document and assigns about
// 70 % of its duties; *out (static storage: filled under the model's walks)
// lists what was written.
inline void MakeRoster(Roster* out) {
  alltest::WriteSpec(alltest::GeneratedSpec(7, 104));
  all::staff_db::nd_person([&](const all::PersonTerm* p) {
    out->doctors.push_back(p->ref);
    out->doctorNames.push_back(p->dat->name);
    const rz::SList* g = rz::AsSList(p->dat->groups);
    out->doctorPractice.push_back(!g->Empty() && g->tail->Empty() ? g->head : L"");
    K::Fail();
  });
  for (const rz::SList* g = all::groups::list_groups(); !g->Empty(); g = g->tail) out->practices.push_back(g->head);
  uint32_t n = 0;
  all::sc_phase1::nd_duty_ref([&](all::dated_duty e) {
    const all::sp at = all::SpOf(e.duty->dat->at);
    const Row r{at.period, at.slot, at.day, e.duty->dat->task, e.duty->dat->where,
                all::sc_stat_weekend::sp_is_weekend(at), all::sc_stat_weekend::sp_is_holiday(at)};
    out->duties.push_back(r);
    if (n++ % 10 < 7) {
      const size_t d = n % out->doctors.size();
      all::sc_assign::tree()->kee_insert(all::sc_phase1::get_dtbd_key(all::DutyDatOf(e.duty->dat)).text,
                                         out->doctors[d]);
      out->held.push_back(Held{r, out->doctors[d], out->doctorPractice[d]});
    }
    K::Fail();
  });
  all::sc_assign::must_be_repaired();  // the index follows the tree written around it
}

inline sqlite3* Load(const Roster& roster) {
  sqlite3* db;
  sqlite3_open(":memory:", &db);
  Exec(db, "CREATE TABLE duties(period, slot, day, task, loc, weekend, holiday)");
  Exec(db, "CREATE TABLE assigned(doctor, grp, period, slot, day, task, loc, weekend, holiday)");
  Exec(db, "BEGIN");
  sqlite3_stmt *d, *a;
  sqlite3_prepare_v2(db, "INSERT INTO duties VALUES(?,?,?,?,?,?,?)", -1, &d, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO assigned VALUES(?,?,?,?,?,?,?,?,?)", -1, &a, nullptr);
  auto bind = [](sqlite3_stmt* s, int at, const Row& r) {
    for (uint32_t v : {r.period, r.slot, r.day, r.task, r.loc, r.weekend, r.holiday}) sqlite3_bind_int(s, at++, v);
  };
  for (const Row& r : roster.duties) {
    bind(d, 1, r);
    sqlite3_step(d);
    sqlite3_reset(d);
  }
  for (const Held& h : roster.held) {
    sqlite3_bind_int(a, 1, h.doctor);
    if (h.practice.empty()) sqlite3_bind_null(a, 2);
    else sqlite3_bind_text(a, 2, Utf8(h.practice).c_str(), -1, SQLITE_TRANSIENT);
    bind(a, 3, h.duty);
    sqlite3_step(a);
    sqlite3_reset(a);
  }
  sqlite3_finalize(d);
  sqlite3_finalize(a);
  Exec(db, "COMMIT");
  Exec(db, "CREATE INDEX by_doctor ON assigned(doctor)");
  Exec(db, "CREATE INDEX by_grp ON assigned(grp)");
  return db;
}

// Runs per second of body(), the best of `runs` runs; the collected stack is
// released after each.
template <class F>
double Rate(int runs, F body) {
  return 1.0 / rosterbench::Best(runs, body);
}

}  // namespace statsbench
