// The statistics table's recount: every family, the roster's counts, then
// each of the 60 doctors and each of the 8 practices counted and read as
// rows, on a generated 104-week roster with about 70 % of its duties
// assigned; against SQLite (in memory, same process) answering the same
// counts with GROUP BY over the same duties and assignments.  Both sides'
// grand totals are printed so that they can be compared.  Prints recounts
// per second per side and the ratio (goal 1.0x or better).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kalmoradb/stats_pack/totals.h"
#include "roster_bench.h"
#include "stats_bench.h"

using namespace all;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;
using statsbench::kKindColumn;

namespace {

constexpr do_what_stat kFamilies[] = {do_what_stat::do_totals, do_what_stat::do_days,     do_what_stat::do_weekend,
                                      do_what_stat::do_slots,  do_what_stat::do_day_slots, do_what_stat::do_tasks,
                                      do_what_stat::do_wheres, do_what_stat::do_holidays};

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

void Measure(const std::wstring& dir) {
  const std::wstring path = dir + L"bench-totals.km6";
  rz::document* doc = rosterbench::NewDocument(path);

  static statsbench::Roster roster;
  statsbench::MakeRoster(&roster);
  const auto& doctors = roster.doctors;
  const auto& practices = roster.practices;
  const auto& duties = roster.duties;
  const auto& held = roster.held;

  sqlite3* lite = statsbench::Load(roster);
  static std::vector<sqlite3_stmt*> prepared;
  totals* t = totals::new_();
  uint64_t ours = 0, theirs = 0;
  const double ourRate = statsbench::Rate(3, [&] { ours = OurRecount(t, doctors, practices); });
  const double theirRate = statsbench::Rate(3, [&] { theirs = SqliteRecount(lite, &prepared); });
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
