// A year-long roster-sized document (52 weeks x 7 days x 3 slots x 4
// duties: 4,368 duty terms, B+trees of 4,368 keys for the duty, date and
// assignment indexes, 500 locks, 40 doctors) opened and saved by the
// document object against SQLite with the same rows and indexes, same
// process.  Open: the constructor (the "x" copy included) against the backup
// API from the file into ":memory:" plus CopyFileW; save (modified,
// orv_save) against the backup API from ":memory:" to the file with
// synchronous FULL.  Prints milliseconds per run and the ratio SQLite /
// document (goal 1.0x or better).
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "SYSTEM/mychaindb/orvdb.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "unit.h"

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr int kDuties = 52 * 7 * 3 * 4, kLocks = 500, kDoctors = 40, kRuns = 5;

std::wstring DutyKey(int i) {
  const int duty = i % 4, slot = i / 4 % 3, day = i / 12 % 7, week = i / 84;
  return L"[" + std::to_wstring(week + 101) + L"," + std::to_wstring(slot + 11) + L"," +
         std::to_wstring(day + 11) + L"," + std::to_wstring(duty + 1) + L",1]";
}
std::wstring DateKey(int i) { return L"2026" + std::to_wstring(100000 + i / 12) + L"_" + std::to_wstring(i % 12); }
std::wstring Text(int i) { return L"duty " + std::to_wstring(i) + L" ward " + std::to_wstring(i % 9) + L" early"; }

void Quiet() {
  Dialogs d{};
  d.note = [](const wchar_t*) {};
  d.error = [](const wchar_t*) {};
  d.message_write = [](const wchar_t*) {};
  myKWI::set_dialogs(d);
}

void MakeDocument(const std::wstring& path) {
  DeleteFileW(path.c_str());
  tav::chainDB* db = tav::chainDB::db_create(path.c_str(), tav::place::in_file);
  const auto* S = T::Domain(tav::domains::string);
  int32_t duty, date, assign, lock, ref;
  db->bt_create(L"phase1_bt", &duty, 20, 4, false);
  db->bt_create(L"bt_date", &date, 13, 4, true);
  db->bt_create(L"assign_bt", &assign, 20, 4, false);
  db->bt_create(L"lock_bt", &lock, 20, 4, false);
  for (int i = 0; i < kDoctors; ++i) {
    std::wstring n = L"Doctor " + std::to_wstring(i);
    db->chain_insertz(S, L"staff", reinterpret_cast<T::term>(n.c_str()), &ref);
  }
  for (int i = 0; i < kDuties; ++i) {
    std::wstring t = Text(i), k = DutyKey(i), d = DateKey(i);
    db->chain_insertz(S, L"duties", reinterpret_cast<T::term>(t.c_str()), &ref);
    db->key_insert(duty, k.c_str(), ref);
    db->key_insert(date, d.c_str(), ref);
    db->key_insert(assign, k.c_str(), ref);
    if (i < kLocks) db->key_insert(lock, k.c_str(), ref);
  }
  for (int s : {duty, date, assign, lock}) db->bt_close(s);
  db->db_close();
}

void Exec(sqlite3* db, const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

void MakeSqlite(const std::wstring& path) {
  DeleteFileW(path.c_str());
  sqlite3* db;
  sqlite3_open16(path.c_str(), &db);
  Exec(db, "CREATE TABLE staff(id INTEGER PRIMARY KEY, name TEXT);"
           "CREATE TABLE duties(id INTEGER PRIMARY KEY, text TEXT, duty_key TEXT, date_key TEXT);"
           "CREATE TABLE assign(duty_key TEXT, doctor INTEGER);"
           "CREATE TABLE locks(duty_key TEXT);"
           "BEGIN");
  sqlite3_stmt *staff, *duty, *assign, *lock;
  sqlite3_prepare_v2(db, "INSERT INTO staff(name) VALUES(?)", -1, &staff, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO duties(text, duty_key, date_key) VALUES(?, ?, ?)", -1, &duty, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO assign VALUES(?, ?)", -1, &assign, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO locks VALUES(?)", -1, &lock, nullptr);
  for (int i = 0; i < kDoctors; ++i) {
    std::wstring n = L"Doctor " + std::to_wstring(i);
    sqlite3_bind_text16(staff, 1, n.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(staff);
    sqlite3_reset(staff);
  }
  for (int i = 0; i < kDuties; ++i) {
    std::wstring t = Text(i), k = DutyKey(i), d = DateKey(i);
    sqlite3_bind_text16(duty, 1, t.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(duty, 2, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(duty, 3, d.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(duty);
    sqlite3_reset(duty);
    sqlite3_bind_text16(assign, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(assign, 2, i % kDoctors);
    sqlite3_step(assign);
    sqlite3_reset(assign);
    if (i < kLocks) {
      sqlite3_bind_text16(lock, 1, k.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(lock);
      sqlite3_reset(lock);
    }
  }
  for (sqlite3_stmt* s : {staff, duty, assign, lock}) sqlite3_finalize(s);
  Exec(db, "COMMIT;"
           "CREATE INDEX duty_idx ON duties(duty_key);"
           "CREATE INDEX date_idx ON duties(date_key);"
           "CREATE UNIQUE INDEX assign_idx ON assign(duty_key);"
           "CREATE UNIQUE INDEX lock_idx ON locks(duty_key)");
  sqlite3_close(db);
}

// The whole database from one connection into another.
void Copy(sqlite3* from, sqlite3* to) {
  sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
  sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
}

void Line(const char* what, double ours, double theirs) {
  const double ratio = theirs / ours;
  printf("  %-9s %8.2f ms   SQLite %8.2f ms   %5.2fx (goal >= 1.0)%s\n", what, ours * 1e3, theirs * 1e3, ratio,
         ratio >= 1.0 ? "" : "  below goal");
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  Kn::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  Quiet();
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::wstring doc = std::wstring(tmp) + L"bench-doc.km6", lite = std::wstring(tmp) + L"bench-doc.sqlite";
  double open = 1e30, save = 1e30, liteOpen = 1e30, liteSave = 1e30;
  const uint32_t code = Kn::RunTrapped([&] {
    MakeDocument(doc);
    for (int run = 0; run < kRuns; ++run) {
      uint8_t* mark = Kn::Memory::MarkGStack();
      double start = bench::Now();
      orvDB* d = orvDB::new_file_def(make_file_def(doc.c_str(), false, kBackupNone));
      open = std::min(open, bench::Now() - start);
      if (d->get_state() != kStateOpened) RaiseRangeError();
      d->set_as_modified(true);
      start = bench::Now();
      d->orv_save(Nil<const wchar_t*>());
      save = std::min(save, bench::Now() - start);
      d->orv_close(Nil<const wchar_t*>(), false);
      Kn::Memory::ReleaseGStack(mark);
    }
  });
  if (code) {
    printf("error %u\n", code);
    return 1;
  }
  MakeSqlite(lite);
  for (int run = 0; run < kRuns; ++run) {
    double start = bench::Now();
    sqlite3 *file, *memory;
    sqlite3_open16(lite.c_str(), &file);
    sqlite3_open(":memory:", &memory);
    Copy(file, memory);
    sqlite3_close(file);
    CopyFileW(lite.c_str(), (lite + L"x").c_str(), FALSE);
    liteOpen = std::min(liteOpen, bench::Now() - start);
    start = bench::Now();
    sqlite3_open16(lite.c_str(), &file);
    Exec(file, "PRAGMA synchronous=FULL");
    Copy(memory, file);
    sqlite3_close(file);
    liteSave = std::min(liteSave, bench::Now() - start);
    sqlite3_close(memory);
  }
  printf("roster document (%d duties, 4 trees, %d locks, %d doctors) against SQLite, best of %d\n", kDuties, kLocks,
         kDoctors, kRuns);
  Line("doc open", open, liteOpen);
  Line("doc save", save, liteSave);
  for (const std::wstring& f : {doc, doc + L"x", lite, lite + L"x"}) DeleteFileW(f.c_str());
  return 0;
}
