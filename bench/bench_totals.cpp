// The statistics table's recount: every family, the roster's counts, then
// each of the 60 doctors and each of the 8 practices counted and read as
// rows, on a generated 104-week roster with about 70 % of its duties
// assigned; against SQLite (in memory, same process) answering the same
// counts with GROUP BY over the same duties and assignments.  Both sides'
// grand totals are printed so that they can be compared.  Prints recounts
// per second per side and the ratio (goal 1.0x or better).
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/stats_pack/totals.h"
#include "phase1/sc_phase1.h"
#include "roster_bench.h"
#include "roster_generator.h"

using namespace all;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

constexpr do_what_stat kFamilies[] = {do_what_stat::do_totals, do_what_stat::do_days,     do_what_stat::do_weekend,
                                      do_what_stat::do_slots,  do_what_stat::do_day_slots, do_what_stat::do_tasks,
                                      do_what_stat::do_wheres, do_what_stat::do_holidays};
// The SQLite expression of each family's kind.
const char* const kKindColumn[] = {"0", "day", "weekend", "slot", "day * 16 + slot", "task", "loc", "holiday"};

struct Row {
  uint32_t period, slot, day, task, loc, weekend, holiday;
};
struct Held {
  Row duty;
  chain_ref doctor;
  std::wstring practice;  // empty: the doctor is not in exactly one group
};

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
  }
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

sqlite3* Load(const std::vector<Row>& duties, const std::vector<Held>& held) {
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
  for (const Row& r : duties) {
    bind(d, 1, r);
    sqlite3_step(d);
    sqlite3_reset(d);
  }
  for (const Held& h : held) {
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

// One recount through SQLite; the sum of every count read.
uint64_t SqliteRecount(sqlite3* db, std::vector<sqlite3_stmt*>* prepared) {
  if (prepared->empty())
    for (const char* kind : kKindColumn)
      for (const std::string& sql :
           {"SELECT " + std::string(kind) + " AS k, COUNT(*) FROM duties GROUP BY k",
            "SELECT doctor, " + std::string(kind) + " AS k, COUNT(*) FROM assigned GROUP BY doctor, k",
            "SELECT grp, " + std::string(kind) + " AS k, COUNT(*) FROM assigned WHERE grp IS NOT NULL GROUP BY grp, k"}) {
        sqlite3_stmt* s;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        prepared->push_back(s);
      }
  uint64_t sum = 0;
  for (sqlite3_stmt* s : *prepared) {
    const int countColumn = sqlite3_column_count(s) - 1;
    while (sqlite3_step(s) == SQLITE_ROW) sum += sqlite3_column_int(s, countColumn);
    sqlite3_reset(s);
  }
  return sum;
}

// One recount through a totals object; the sum of every count read.
uint64_t OurRecount(totals* t, const std::vector<chain_ref>& doctors, const std::vector<std::wstring>& practices) {
  uint64_t sum = 0;
  auto rows = [&](do_what_stat f, const pg& who) {
    for (const rz::List<stat_row>* l = t->get_data(f, who); !l->Empty(); l = l->tail) sum += l->head.second;
  };
  for (do_what_stat f : kFamilies) {
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, f);
    for (const rz::List<stat_row>* l = t->get_data(f, pg(0)); !l->Empty(); l = l->tail) sum += l->head.first;
    for (chain_ref d : doctors) {
      t->calculate_total_to_be_done(are_assigned(d), stat_type::pc_of_required, f);
      rows(f, d);
    }
    for (const std::wstring& g : practices) {
      t->calculate_total_to_be_done(are_assigned(pg::g(g.c_str())), stat_type::pc_of_required, f);
      rows(f, pg::g(g.c_str()));
    }
  }
  return sum;
}

template <class F>
double Rate(int runs, F body) {
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    uint8_t* mark = K::Memory::MarkGStack();
    const double start = bench::Now();
    body();
    best = std::min(best, bench::Now() - start);
    K::Memory::ReleaseGStack(mark);
  }
  return 1.0 / best;
}

void Measure(const std::wstring& dir) {
  const std::wstring path = dir + L"bench-totals.km6";
  rz::document* doc = rosterbench::NewDocument(path);
  alltest::WriteSpec(alltest::GeneratedSpec(7, 104));

  static std::vector<chain_ref> doctors;
  static std::vector<std::wstring> practices, doctorPractice;
  staff_db::nd_person([&](const PersonTerm* p) {
    doctors.push_back(p->ref);
    const rz::SList* g = rz::AsSList(p->dat->groups);
    doctorPractice.push_back(!g->Empty() && g->tail->Empty() ? g->head : L"");
    K::Fail();
  });
  for (const rz::SList* g = groups::list_groups(); !g->Empty(); g = g->tail) practices.push_back(g->head);

  // About 70 % of the duties, the doctors in turn.
  static std::vector<Row> duties;
  static std::vector<Held> held;
  uint32_t n = 0;
  sc_phase1::nd_duty_ref([&](dated_duty e) {
    const sp at = SpOf(e.duty->dat->at);
    const Row r{at.period, at.slot, at.day, e.duty->dat->task, e.duty->dat->where, sc_stat_weekend::sp_is_weekend(at),
                sc_stat_weekend::sp_is_holiday(at)};
    duties.push_back(r);
    if (n++ % 10 < 7) {
      const size_t d = n % doctors.size();
      sc_assign::tree()->kee_insert(sc_phase1::get_dtbd_key(DutyDatOf(e.duty->dat)).text, doctors[d]);
      held.push_back(Held{r, doctors[d], doctorPractice[d]});
    }
    K::Fail();
  });
  sc_assign::must_be_repaired();  // the index follows the tree written around it

  sqlite3* lite = Load(duties, held);
  static std::vector<sqlite3_stmt*> prepared;
  totals* t = totals::new_();
  uint64_t ours = 0, theirs = 0;
  const double ourRate = Rate(3, [&] { ours = OurRecount(t, doctors, practices); });
  const double theirRate = Rate(3, [&] { theirs = SqliteRecount(lite, &prepared); });
  for (sqlite3_stmt* s : prepared) sqlite3_finalize(s);
  sqlite3_close(lite);

  printf("104 weeks, %zu duties, %zu assigned, %zu doctors, %zu practices, 8 families\n", duties.size(), held.size(),
         doctors.size(), practices.size());
  printf("  counts read: ours %llu, SQLite %llu (equal when both count alike)\n",
         static_cast<unsigned long long>(ours), static_cast<unsigned long long>(theirs));
  const double ratio = ourRate / theirRate;
  printf("  recount %12.2f /s   SQLite %12.2f /s   %6.2fx (goal >= 1.0)%s\n", ourRate, theirRate, ratio,
         ratio >= 1.0 ? "" : "  below goal");
  rosterbench::DropDocument(doc, path);
}

}  // namespace

int main() { return rosterbench::Main(Measure); }
