// The import's read phase of a 52-week previous-version file (60 doctors,
// 10 tasks, 10 locations, 900 typical duties, written by the tests' layout
// writer) against SQLite (the chain database benchmark's amalgamation)
// reading the same rows into the same plain records with prepared SELECTs
// (texts as UTF-16 heap copies, every number range-checked), same process,
// each repeated for about a second.  Prints reads per second per side and
// the ratio (goal 1.0x or better), and beside it the whole import into a
// new memory document.
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "importKM5/importKM5File.h"
#include "importKM5/km5_records.h"
#include "km5_writer.h"
#include "roster_bench.h"

namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

km5test::Km5Roster Roster() {
  km5test::Km5Roster r = km5test::BigRoster();
  for (int k = 0; k < 3; ++k) {
    r.typical[k].clear();
    for (uint32_t i = 0; i < 300; ++i)
      r.typical[k].push_back({i % 10 + 1, i / 30 + 1, static_cast<int32_t>(i % 3 + 1)});
  }
  return r;
}

// Runs body for about a second; bodies per second.
template <class F>
double PerSecond(F body) {
  uint32_t n = 0;
  const double start = bench::Now();
  double elapsed = 0;
  do {
    uint8_t* mark = K::Memory::MarkGStack();
    body();
    K::Memory::ReleaseGStack(mark);
    ++n;
    elapsed = bench::Now() - start;
  } while (elapsed < 1.0);
  return n / elapsed;
}

// --- SQLite side ------------------------------------------------------------------------------

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    printf("sqlite: %s\n", error);
    sqlite3_free(error);
  }
}

std::string Utf8(const std::string& cp1252) {
  std::wstring w(cp1252.size() + 1, L'\0');
  w.resize(MultiByteToWideChar(1252, 0, cp1252.c_str(), -1, w.data(), static_cast<int>(w.size())) - 1);
  std::string s(w.size() * 3 + 1, '\0');
  s.resize(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), static_cast<int>(s.size()), nullptr, nullptr) - 1);
  return s;
}

void Fill(sqlite3* db, const km5test::Km5Roster& r) {
  Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
           "CREATE TABLE staff(name TEXT, practice TEXT, colour INTEGER, letter TEXT, deleted INTEGER);"
           "CREATE TABLE locations(name TEXT); CREATE TABLE tasks(name TEXT);"
           "CREATE TABLE header(weeks INTEGER, year INTEGER, month INTEGER, day INTEGER);"
           "CREATE TABLE typical(kind INTEGER, task INTEGER, loc INTEGER, slot INTEGER); BEGIN;");
  sqlite3_stmt* s;
  sqlite3_prepare_v2(db, "INSERT INTO staff VALUES(?,?,?,?,?)", -1, &s, nullptr);
  for (const km5test::Km5Doctor& d : r.doctors) {
    const std::string name = Utf8(d.name), practice = Utf8(d.practice), letter = Utf8(std::string(1, d.letter));
    sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, practice.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, d.colour);
    sqlite3_bind_text(s, 4, letter.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 5, d.deleted);
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  for (const char* table : {"locations", "tasks"}) {
    sqlite3_prepare_v2(db, (std::string("INSERT INTO ") + table + " VALUES(?)").c_str(), -1, &s, nullptr);
    for (const std::string& n : std::string(table) == "tasks" ? r.tasks : r.locations) {
      const std::string u = Utf8(n);
      sqlite3_bind_text(s, 1, u.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
  }
  const std::string header = "INSERT INTO header VALUES(" + std::to_string(r.weeks) + "," + std::to_string(r.year) +
                             "," + std::to_string(r.month) + "," + std::to_string(r.day) + ")";
  Exec(db, header.c_str());
  sqlite3_prepare_v2(db, "INSERT INTO typical VALUES(?,?,?,?)", -1, &s, nullptr);
  const int kinds[3] = {1003, 1001, 1002};
  for (int k = 0; k < 3; ++k)
    for (const km5test::Km5Tls& t : r.typical[k]) {
      sqlite3_bind_int(s, 1, kinds[k]);
      sqlite3_bind_int(s, 2, static_cast<int>(t.task));
      sqlite3_bind_int(s, 3, static_cast<int>(t.where));
      sqlite3_bind_int(s, 4, t.slot);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
  sqlite3_finalize(s);
  Exec(db, "COMMIT;");
}

// The records the read phase makes: texts on the collected heap, numbers.
struct Doctor {
  const wchar_t* name;
  const wchar_t* practice;
  int32_t colour;
  wchar_t letter;
  bool deleted;
};
struct Tls {
  uint32_t task, where, slot;
};

bool InRange(int v, int low, int high) { return v >= low && v <= high; }

// Opens the file, reads every row into the records, closes: rows taken, 0
// when a value is out of range.
uint32_t SqliteRead(const std::string& path, std::vector<Doctor>& doctors, std::vector<const wchar_t*>& names,
                    std::vector<Tls>& typical) {
  doctors.clear(), names.clear(), typical.clear();
  sqlite3* db;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt *staff, *locs, *tasks, *header, *duties;
  sqlite3_prepare_v2(db, "SELECT name, practice, colour, letter, deleted FROM staff ORDER BY rowid", -1, &staff, nullptr);
  sqlite3_prepare_v2(db, "SELECT name FROM locations ORDER BY rowid", -1, &locs, nullptr);
  sqlite3_prepare_v2(db, "SELECT name FROM tasks ORDER BY rowid", -1, &tasks, nullptr);
  sqlite3_prepare_v2(db, "SELECT weeks, year, month, day FROM header", -1, &header, nullptr);
  sqlite3_prepare_v2(db, "SELECT kind, task, loc, slot FROM typical ORDER BY rowid", -1, &duties, nullptr);
  bool ok = true;
  auto text = [](sqlite3_stmt* s, int c) {
    return tav::HeapCopy(static_cast<const wchar_t*>(sqlite3_column_text16(s, c)));
  };
  while (sqlite3_step(staff) == SQLITE_ROW)
    doctors.push_back({text(staff, 0), text(staff, 1), sqlite3_column_int(staff, 2),
                       static_cast<const wchar_t*>(sqlite3_column_text16(staff, 3))[0],
                       sqlite3_column_int(staff, 4) != 0});
  for (sqlite3_stmt* s : {locs, tasks})
    while (sqlite3_step(s) == SQLITE_ROW) names.push_back(text(s, 0));
  if (sqlite3_step(header) == SQLITE_ROW)
    ok = InRange(sqlite3_column_int(header, 0), 1, 104) && InRange(sqlite3_column_int(header, 1), 1950, 2050) &&
         InRange(sqlite3_column_int(header, 2), 1, 12) && InRange(sqlite3_column_int(header, 3), 1, 31);
  while (sqlite3_step(duties) == SQLITE_ROW) {
    const int task = sqlite3_column_int(duties, 1), where = sqlite3_column_int(duties, 2),
              slot = sqlite3_column_int(duties, 3);
    ok = ok && InRange(task, 1, 10) && InRange(where, 1, 10) && InRange(slot, 1, 10);
    typical.push_back({static_cast<uint32_t>(task), static_cast<uint32_t>(where), static_cast<uint32_t>(slot)});
  }
  for (sqlite3_stmt* s : {staff, locs, tasks, header, duties}) sqlite3_finalize(s);
  sqlite3_close(db);
  return ok ? static_cast<uint32_t>(doctors.size() + names.size() + typical.size() + 2) : 0;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void Measure(const std::wstring& tmp) {
  const km5test::Km5Roster roster = Roster();
  const std::wstring km5 = tmp + L"bench_import.km5", lite = tmp + L"bench_import.sqlite";
  {
    const km5test::ByteVec bytes = km5test::FileOf(roster).Build();
    HANDLE h = CreateFileW(km5.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
  }
  DeleteFileW(lite.c_str());
  sqlite3* db;
  sqlite3_open(Narrow(lite).c_str(), &db);
  Fill(db, roster);
  sqlite3_close(db);

  uint32_t oursRows = 0, theirRows = 0;
  const double ours = PerSecond([&] { oursRows = all::km5::read_records(km5.c_str()); });
  std::vector<Doctor> doctors;
  std::vector<const wchar_t*> names;
  std::vector<Tls> typical;
  const double theirs = PerSecond([&] { theirRows = SqliteRead(Narrow(lite), doctors, names, typical); });
  printf("read phase, 52 weeks, %u records (SQLite %u rows)\n", oursRows, theirRows);
  printf("  ours    %10.1f reads/s\n  sqlite  %10.1f reads/s\n  ratio   %10.2fx (goal 1.0x or better)\n", ours,
         theirs, ours / theirs);

  const double imports = PerSecond([&] {
    rz::document* d = rz::orvDB::new_file_def(rz::make_memory(L"bench_import", rz::kBackupNone));
    all::kalmora_DB::init(d);
    all::importKM5File::imp(km5.c_str());
    all::kalmora_DB::uninit();
    d->set_as_modified(false);
    d->orv_close(rz::Nil<const wchar_t*>(), false);
  });
  printf("whole import into a new memory document: %.1f imports/s (%.2f ms)\n", imports, 1000 / imports);
  DeleteFileW(km5.c_str());
  DeleteFileW(lite.c_str());
}

}  // namespace

int main() { return rosterbench::Main(Measure); }
