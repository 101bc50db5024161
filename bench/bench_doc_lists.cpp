// String lists of a memory document against SQLite ":memory:" with the same
// rows, same process: count, nth_name, exist_name and move_up over a
// 2,000-entry list (SQLite: COUNT, LIMIT/OFFSET, WHERE, a two-row swap of a
// position column).  Prints microseconds per call on each side and the ratio
// SQLite / list (goal 1.0x or better: at least as fast).
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "SYSTEM/stringDB/stringdb.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "unit.h"

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr int kEntries = 2000;
volatile int64_t g_sink;

template <class F>
double Time(int rounds, F&& body) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    const double start = bench::Now();
    for (int i = 0; i < rounds; ++i) body(i);
    best = std::min(best, (bench::Now() - start) / rounds);
    Kn::Memory::ReleaseGStack(mark);
  }
  return best;
}

void Line(const char* what, double ours, double theirs, const char* peer) {
  const double ratio = theirs / ours;
  printf("  %-12s %9.2f us   %-34s %9.2f us   %5.2fx (goal >= 1.0)%s\n", what, ours * 1e6, peer, theirs * 1e6,
         ratio, ratio >= 1.0 ? "" : "  below goal");
}

std::wstring Name(int i) { return L"Task " + std::to_wstring(i * 7919 % 100000); }

struct Sql {
  sqlite3* db = nullptr;
  sqlite3_stmt *count, *nth, *exists, *pos, *swap;
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    return s;
  }
  Sql() {
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE tasks(pos INTEGER PRIMARY KEY, name TEXT, style INTEGER, colour INTEGER)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = Prepare("INSERT INTO tasks VALUES(?, ?, ?, ?)");
    for (int i = 1; i <= kEntries; ++i) {
      std::wstring n = Name(i);
      sqlite3_bind_int(insert, 1, i);
      sqlite3_bind_text16(insert, 2, n.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 3, i % 7);
      sqlite3_bind_int(insert, 4, i * 3);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    count = Prepare("SELECT COUNT(*) FROM tasks");
    nth = Prepare("SELECT name, style, colour FROM tasks ORDER BY pos LIMIT 1 OFFSET ?");
    exists = Prepare("SELECT 1 FROM tasks WHERE name = ? LIMIT 1");
    pos = Prepare("SELECT pos FROM tasks WHERE name = ? AND pos >= 2 ORDER BY pos LIMIT 1");
    swap = Prepare("UPDATE tasks SET pos = CASE pos WHEN ?1 THEN ?2 ELSE ?1 END WHERE pos IN (?1, ?2)");
  }
  int64_t Step(sqlite3_stmt* s) {
    int64_t v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_reset(s);
    return v;
  }
  int64_t Count() { return Step(count); }
  int64_t Nth(int n) {
    sqlite3_bind_int(nth, 1, n - 1);
    int64_t v = 0;
    if (sqlite3_step(nth) == SQLITE_ROW) v = sqlite3_column_bytes16(nth, 0) + sqlite3_column_int(nth, 1);
    sqlite3_reset(nth);
    return v;
  }
  int64_t Exists(const std::wstring& n) {
    sqlite3_bind_text16(exists, 1, n.c_str(), -1, SQLITE_STATIC);
    return Step(exists);
  }
  // The entry moves one place up: its position and the one before swap.
  int64_t MoveUp(const std::wstring& n) {
    sqlite3_bind_text16(pos, 1, n.c_str(), -1, SQLITE_STATIC);
    const int64_t p = Step(pos);
    if (p < 2) return 0;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_bind_int64(swap, 1, p);
    sqlite3_bind_int64(swap, 2, p - 1);
    Step(swap);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return p;
  }
};

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  Kn::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  std::vector<std::wstring> names;
  for (int i = 1; i <= kEntries; ++i) names.push_back(Name(i));
  Sql sql;
  double ours[4] = {}, theirs[4] = {};
  const uint32_t code = Kn::RunTrapped([&] {
    tav::chainDB* db = tav::chainDB::db_create(L"bench-lists", tav::place::in_memory);
    for (int i = 1; i <= kEntries; ++i)
      string_brush_db::add_namez(db, L"tasks", make_str_br(names[i - 1].c_str(), {i % 7, i * 3}));
    ours[0] = Time(200, [&](int) { g_sink += string_brush_db::count(db, L"tasks"); });
    theirs[0] = Time(200, [&](int) { g_sink += sql.Count(); });
    ours[1] = Time(400, [&](int i) {
      const str_br* e;
      g_sink += string_brush_db::nth_name(db, L"tasks", 1 + i * 37 % kEntries, &e);
    });
    theirs[1] = Time(400, [&](int i) { g_sink += sql.Nth(1 + i * 37 % kEntries); });
    ours[2] = Time(400, [&](int i) {
      g_sink += string_brush_db::exist_name(db, L"tasks", names[i * 37 % kEntries].c_str());
    });
    theirs[2] = Time(400, [&](int i) { g_sink += sql.Exists(names[i * 37 % kEntries]); });
    ours[3] = Time(100, [&](int i) {
      g_sink += string_brush_db::move_up(db, L"tasks", names[1 + i * 37 % (kEntries - 1)].c_str());
    });
    theirs[3] = Time(100, [&](int i) { g_sink += sql.MoveUp(names[1 + i * 37 % (kEntries - 1)]); });
  });
  if (code) {
    printf("error %u\n", code);
    return 1;
  }
  printf("string lists (%d entries, memory document) against SQLite :memory: (per call)\n", kEntries);
  Line("count", ours[0], theirs[0], "SELECT COUNT(*)");
  Line("nth_name", ours[1], theirs[1], "ORDER BY pos LIMIT 1 OFFSET n");
  Line("exist_name", ours[2], theirs[2], "WHERE name = ? LIMIT 1");
  Line("move_up", ours[3], theirs[3], "position lookup + two-row swap");
  return 0;
}
