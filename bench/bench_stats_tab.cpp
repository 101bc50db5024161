// The statistics table's recalculation: a table of every kind, each
// recalculated per doctor and per practice (rows built in a window one title
// band tall, so no row is drawn), on a generated 104-week, 60-doctor roster
// with about 70 % of its duties assigned; against SQLite (in memory, same
// process) answering the same counts with GROUP BY over the same duties and
// assignments and formatting the same cells (percentages of the required
// duties, the bottom row of required counts) with snprintf.  Prints tables
// per second per side, the ratio (goal 1.0x or better) and the cells each
// side built in one round.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_task.h"
#include "kwi/kwi.h"
#include "liboxes/stats_tab.h"
#include "roster_bench.h"
#include "stats_bench.h"

using namespace all;
using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

// The tree items of the kinds, in the order of statsbench::kKindColumn.
const wchar_t* const kItems[] = {L"Totals", L"Days", L"Weekends", L"Slots", L"Day-slots", L"Tasks", L"Locations",
                                 L"Holidays"};
constexpr size_t kKinds = sizeof kItems / sizeof kItems[0];

statsbench::Roster roster;

// One kind's prepared statements: required per value, assigned per doctor
// and value, assigned per practice and value.
struct KindQueries {
  sqlite3_stmt *required, *doctors, *practices;
};

std::vector<KindQueries> Prepare(sqlite3* db) {
  std::vector<KindQueries> out;
  auto prepare = [db](const std::string& sql) {
    sqlite3_stmt* s;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    return s;
  };
  for (const char* kind : statsbench::kKindColumn) {
    const std::string k(kind);
    out.push_back({prepare("SELECT " + k + " AS k, COUNT(*) FROM duties GROUP BY k ORDER BY k"),
                   prepare("SELECT doctor, " + k + " AS k, COUNT(*) FROM assigned GROUP BY doctor, k"),
                   prepare("SELECT grp, " + k + " AS k, COUNT(*) FROM assigned WHERE grp IS NOT NULL GROUP BY grp, k")});
  }
  return out;
}

std::string Percent(uint32_t assigned, uint32_t required) {
  char b[32];
  snprintf(b, sizeof b, "%6.3f %%", assigned * 100.0 / required);
  return b;
}

// One table through SQLite: the rows of the doctors or the practices as
// texts; the number of cells.
size_t SqliteTable(const KindQueries& q, bool doctors, std::vector<std::vector<std::string>>* rows) {
  std::vector<std::pair<int, uint32_t>> required;  // value, duties
  while (sqlite3_step(q.required) == SQLITE_ROW)
    required.push_back({sqlite3_column_int(q.required, 0), static_cast<uint32_t>(sqlite3_column_int(q.required, 1))});
  sqlite3_reset(q.required);
  std::map<std::string, std::map<int, uint32_t>> counts;  // who, value, assigned
  sqlite3_stmt* s = doctors ? q.doctors : q.practices;
  while (sqlite3_step(s) == SQLITE_ROW)
    counts[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))][sqlite3_column_int(s, 1)] = sqlite3_column_int(s, 2);
  sqlite3_reset(s);

  rows->clear();
  size_t cells = 0;
  auto row = [&](const std::string& name, const std::map<int, uint32_t>& got) {
    std::vector<std::string> r{name};
    for (auto [value, duties] : required) {
      const auto n = got.find(value);
      r.push_back(Percent(n == got.end() ? 0 : n->second, duties));
    }
    cells += r.size();
    rows->push_back(std::move(r));
  };
  static const std::map<int, uint32_t> none;
  if (doctors) {
    for (size_t d = 0; d < roster.doctors.size(); ++d) {
      const auto c = counts.find(std::to_string(roster.doctors[d]));
      row(statsbench::Utf8(roster.doctorNames[d]), c == counts.end() ? none : c->second);
    }
  } else {
    for (const std::wstring& p : roster.practices) {
      const std::string name = statsbench::Utf8(p);
      const auto c = counts.find(name);
      row(name, c == counts.end() ? none : c->second);
    }
  }
  rows->push_back({});
  std::vector<std::string> bottom{"total to do"};
  for (auto [value, duties] : required) bottom.push_back(std::to_string(duties));
  cells += bottom.size();
  rows->push_back(std::move(bottom));
  return cells;
}

size_t SqliteRound(const std::vector<KindQueries>& queries) {
  static std::vector<std::vector<std::string>> rows;
  size_t cells = 0;
  for (const KindQueries& q : queries)
    for (bool doctors : {true, false}) cells += SqliteTable(q, doctors, &rows);
  return cells;
}

size_t CellsOf(stats_tab* t) {
  size_t cells = 0;
  rz::line l;
  for (uint32_t r = 1; t->nth_line(r, &l); ++r)
    for (const rz::SList* c = l.cells; !c->Empty(); c = c->tail) ++cells;
  return cells;
}

// One round of ours: every table per doctor, then per practice; with
// `count`, the cells built.
size_t OurRound(stats_tab* const* tables, bool count) {
  size_t cells = 0;
  for (size_t k = 0; k < kKinds; ++k)
    for (uint32_t who : {stats_tab::kDoctors, stats_tab::kGroups}) {
      tables[k]->popup_callback(who);
      if (count) cells += CellsOf(tables[k]);
    }
  return cells;
}

void Run(LONG_PTR task) {
  const uint32_t code = K::RunTrapped([&] {
    static stats_tab* tables[kKinds];
    // One title band tall: the rows are built, none is drawn.
    rect_struct r{0, 0, 600, 41};
    ilist_struct end{ListNil, 0, nullptr};
    menu_struct nomenu{3, 0};
    for (size_t k = 0; k < kKinds; ++k) {
      const LONG_PTR pane = win_Create(wt_child, &r, L"", &nomenu, task, &end, tav::NoEventHandler(), 0);
      tables[k] = stats_tab::new_stats_tab(rz::MakeList<const wchar_t*>({kItems[k]}), pane);
    }
    sqlite3* lite = statsbench::Load(roster);
    const std::vector<KindQueries> queries = Prepare(lite);

    const size_t ourCells = OurRound(tables, true), theirCells = SqliteRound(queries);
    constexpr double kTables = 2 * kKinds;
    const double ours = kTables * statsbench::Rate(3, [&] { OurRound(tables, false); });
    const double theirs = kTables * statsbench::Rate(3, [&] { SqliteRound(queries); });
    for (const KindQueries& q : queries)
      for (sqlite3_stmt* s : {q.required, q.doctors, q.practices}) sqlite3_finalize(s);
    sqlite3_close(lite);

    printf("104 weeks, %zu duties, %zu assigned, %zu doctors, %zu practices, %zu kinds x doctors and practices\n",
           roster.duties.size(), roster.held.size(), roster.doctors.size(), roster.practices.size(), kKinds);
    printf("  cells of one round: ours %zu, SQLite %zu (SQLite has no column for a value without duties)\n", ourCells,
           theirCells);
    const double ratio = ours / theirs;
    printf("  recalculate %10.2f tables/s   SQLite + snprintf %10.2f tables/s   %6.2fx (goal >= 1.0)%s\n", ours,
           theirs, ratio, ratio >= 1.0 ? "" : "  below goal");
  });
  if (code) printf("error %u\n", code);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench-stats-tab.km6";
    rz::document* doc = rosterbench::NewDocument(path);
    statsbench::MakeRoster(&roster);
    menu_struct nomenu{3, 0};
    ilist_struct flags[2] = {{ListCons, 9, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_stats_tab", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
