// The duty index of roster documents built by the shared fixture builder
// (52 and 104 weeks, 60 doctors, 3 slots, 4 tasks x 3 locations typical on
// weekdays and a third of them at weekends, 50 date changes; a stress
// document of 104 weeks with 10 tasks x 10 locations) against SQLite
// holding the same rows, same process.  SQLite: term images made and
// decoded in the timed loops, a unique index on the duty key under a
// lstrcmpW collation, indexes on the date key and on (period, slot, day),
// open and save through the backup API (synchronous FULL), rebuild as one
// transaction from the typical-week and change rows it holds.  Date
// lookups are the duties of a date and slot; slot-period lookups cover 13
// four-week views.  Prints
// operations per second per side and the ratio (goal 1.0x or better).
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "all_unit.h"
#include "bench_util.h"
#include "roster_bench.h"
#include "exception/exception.h"
#include "kalmoradb/kalmora_DB.h"
#include "phase1/sc_phase1.h"
#include "qel6run_db.h"
#include "roster_fixture.h"

using namespace all;
using rizediveva6::orvDB;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

// --- documents ----------------------------------------------------------------------------------

alltest::RosterSpec Spec(uint32_t weeks, uint32_t taskCount, uint32_t whereCount) {
  alltest::RosterSpec s;
  s.start = dt{2027, 1, 4};
  s.weeks = weeks;
  s.slots = {L"day", L"evening", L"night"};
  for (uint32_t i = 1; i <= taskCount; ++i) s.tasks.push_back(L"task " + std::to_wstring(i));
  for (uint32_t i = 1; i <= whereCount; ++i) s.locations.push_back(L"place " + std::to_wstring(i));
  s.groups = {L"odd", L"even"};
  for (int i = 1; i <= 60; ++i) s.doctors.push_back({L"Doctor " + std::to_wstring(i), {i % 2 ? L"odd" : L"even"}});
  uint32_t n = 0;
  for (const std::wstring& slot : s.slots)
    for (const std::wstring& task : s.tasks)
      for (const std::wstring& where : s.locations) {
        s.typical.push_back({kWeekday, {task, where, slot}});
        if (n++ % 3 == 0) {
          s.typical.push_back({kSaturday, {task, where, slot}});
          s.typical.push_back({kSunday, {task, where, slot}});
        }
      }
  // 50 changes: weekday removals and Saturday additions of duties typical on weekdays only.
  for (uint32_t i = 0; i < 50; ++i) {
    const uint32_t week = i * weeks / 50;
    const bool removal = i % 2 == 0;
    const uint32_t day = removal ? 1 + i % 5 : 6;
    const int64_t offset = week * 7 + day - 1;
    dt date = s.start;
    for (int64_t k = 0; k < offset; ++k) {
      static const uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const bool leap = date.year % 4 == 0;  // 2027..2029
      const uint32_t last = date.month == 2 && leap ? 29 : kDays[date.month - 1];
      if (++date.day > last) {
        date.day = 1;
        if (++date.month > 12) date.month = 1, ++date.year;
      }
    }
    const std::wstring task = s.tasks[i % taskCount], where = s.locations[(i / 2 + 1) % whereCount];
    s.changes.push_back({date, day, {task, where, s.slots[i % 3]}});
  }
  return s;
}

void Quiet() {
  rz::Dialogs d{};
  d.note = [](const wchar_t*) {};
  d.error = [](const wchar_t*) {};
  d.message_write = [](const wchar_t*) {};
  rz::myKWI::set_dialogs(d);
}

rz::document* OpenDocument(const std::wstring& path, bool create) {
  rz::document* d = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(path.c_str()), create, rz::kBackupNone));
  kalmora_DB::init(d);
  return d;
}

void CloseDocument(rz::document* d) {
  kalmora_DB::uninit();
  d->set_as_modified(false);
  d->orv_close(rz::Nil<const wchar_t*>(), false);
}

// --- timing -----------------------------------------------------------------------------------

// Operations per second of `ops` operations done by body, best of `runs`.
template <class F>
double Rate(int runs, uint32_t ops, F body) {
  return ops / rosterbench::Best(runs, body);
}

struct Figure {
  const char* name;
  double ours, theirs;
};

// Zipf-distributed positions below n (s = 1), fixed seed.
std::vector<uint32_t> Zipf(uint32_t n, uint32_t count) {
  std::vector<double> cdf(n);
  double sum = 0;
  for (uint32_t i = 0; i < n; ++i) cdf[i] = sum += 1.0 / (i + 1);
  std::vector<uint32_t> out;
  uint64_t seed = 88172645463325252ull;
  for (uint32_t i = 0; i < count; ++i) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const double u = (seed >> 11) * (1.0 / 9007199254740992.0) * sum;
    out.push_back(static_cast<uint32_t>(std::lower_bound(cdf.begin(), cdf.end(), u) - cdf.begin()));
  }
  return out;
}

// --- SQLite side --------------------------------------------------------------------------------

int LstrcmpCollation(void*, int n1, const void* a, int n2, const void* b) {
  std::wstring x(static_cast<const wchar_t*>(a), n1 / 2), y(static_cast<const wchar_t*>(b), n2 / 2);
  return lstrcmpW(x.c_str(), y.c_str());
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
  }
}

sqlite3* OpenLite(const wchar_t* name) {
  sqlite3* db;
  sqlite3_open16(name, &db);
  sqlite3_create_collation16(db, u"LSTRCMPW", SQLITE_UTF16LE, nullptr, LstrcmpCollation);
  return db;
}

void Copy(sqlite3* from, sqlite3* to) {
  sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
  sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
}

// The image bytes of a term (without the size word).
std::pair<const uint8_t*, int> ImageOf(const IDomainDefinition* d, T::term t) {
  const uint8_t* b = T::ToBinary(d, t);
  uint32_t size;
  memcpy(&size, b - 4, 4);
  return {b, static_cast<int>(size - 4)};
}

T::term TermOf(const IDomainDefinition* d, const void* bytes, int len) {
  uint8_t* b = K::Memory::AllocGStack(static_cast<uint32_t>(len) + 4);
  const uint32_t size = static_cast<uint32_t>(len) + 4;
  memcpy(b, &size, 4);
  memcpy(b + 4, bytes, len);
  return T::FromBinary(d, b + 4);
}

const IDomainDefinition* DutyD() { return tav::D(domains::duty_to_be_done); }

// The derivation input read from the peer's typical and change rows.
derivation_input ReadLiteInput(sqlite3* db, const derivation_input& header, std::vector<typical_entry>* typical,
                               std::vector<date_change>* changes) {
  typical->clear();
  changes->clear();
  sqlite3_stmt* s;
  sqlite3_prepare_v2(db, "SELECT kind, image FROM typical ORDER BY id", -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    const auto* t = reinterpret_cast<const TlsTerm*>(
        TermOf(tav::D(domains::tls), sqlite3_column_blob(s, 1), sqlite3_column_bytes(s, 1)));
    typical->push_back({static_cast<uint32_t>(sqlite3_column_int(s, 0)), TlsOf(t)});
  }
  sqlite3_finalize(s);
  sqlite3_prepare_v2(db, "SELECT image FROM changes ORDER BY id", -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    const auto* c = reinterpret_cast<const DtDutyTerm*>(
        TermOf(tav::D(domains::dt_duty), sqlite3_column_blob(s, 0), sqlite3_column_bytes(s, 0)));
    changes->push_back({DtOf(c->date), c->day, TlsOf(c->duty)});
  }
  sqlite3_finalize(s);
  derivation_input in = header;
  in.typical = typical->data();
  in.typicalCount = static_cast<uint32_t>(typical->size());
  in.changes = changes->data();
  in.changeCount = static_cast<uint32_t>(changes->size());
  return in;
}

// Deletes and inserts the duty rows in one transaction.
void LiteRebuild(sqlite3* db, const derivation_input& header) {
  std::vector<typical_entry> typical;
  std::vector<date_change> changes;
  Exec(db, "BEGIN; DELETE FROM duties");
  const derivation_input in = ReadLiteInput(db, header, &typical, &changes);
  const roster_duties r = actual_dtbd::derive(in);
  sqlite3_stmt* ins;
  sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO duties(period, slot, day, duty_key, date_key, image) "
                         "VALUES(?,?,?,?,?,?)", -1, &ins, nullptr);
  for (uint32_t i = 0; i < r.dutyCount; ++i) {
    const duty_dat& d = r.duties[i];
    const SpTerm at{1, d.at.day, d.at.period, d.at.slot};
    static const tav::BooleanTerm kFalse{1}, kTrue{2};
    const DutyDatTerm dat{1, &at, d.where, d.task, d.changed ? &kTrue : &kFalse};
    const DutyTerm duty{1, static_cast<chain_ref>(i + 1), &dat};
    const auto image = ImageOf(DutyD(), reinterpret_cast<T::term>(&duty));
    const duty_key key = sc_phase1::get_dtbd_key(d);
    const date_key dateKey = sc_phase1::get_date_key(sp_calendar::sp_dt(in.offset, d.at));
    sqlite3_bind_int(ins, 1, static_cast<int>(d.at.period));
    sqlite3_bind_int(ins, 2, static_cast<int>(d.at.slot));
    sqlite3_bind_int(ins, 3, static_cast<int>(d.at.day));
    sqlite3_bind_text16(ins, 4, key.text, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(ins, 5, dateKey.text, -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(ins, 6, image.first, image.second, SQLITE_TRANSIENT);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec(db, "COMMIT");
}

// A peer file holding the document's typical week, changes and duties.
void MakeLite(const std::wstring& path, const derivation_input& in) {
  DeleteFileW(path.c_str());
  sqlite3* db = OpenLite(path.c_str());
  Exec(db, "CREATE TABLE typical(id INTEGER PRIMARY KEY, kind INT, image BLOB);"
           "CREATE TABLE changes(id INTEGER PRIMARY KEY, image BLOB);"
           "CREATE TABLE duties(id INTEGER PRIMARY KEY, period INT, slot INT, day INT,"
           " duty_key TEXT COLLATE LSTRCMPW, date_key TEXT, image BLOB);"
           "CREATE UNIQUE INDEX duty_key_idx ON duties(duty_key);"
           "CREATE INDEX date_key_idx ON duties(date_key);"
           "CREATE INDEX sp_idx ON duties(period, slot, day);"
           "BEGIN");
  sqlite3_stmt *t, *c;
  sqlite3_prepare_v2(db, "INSERT INTO typical(kind, image) VALUES(?,?)", -1, &t, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO changes(image) VALUES(?)", -1, &c, nullptr);
  for (uint32_t i = 0; i < in.typicalCount; ++i) {
    const auto image = ImageOf(tav::D(domains::tls), reinterpret_cast<T::term>(MakeTls(in.typical[i].duty)));
    sqlite3_bind_int(t, 1, static_cast<int>(in.typical[i].kind));
    sqlite3_bind_blob(t, 2, image.first, image.second, SQLITE_TRANSIENT);
    sqlite3_step(t);
    sqlite3_reset(t);
  }
  for (uint32_t i = 0; i < in.changeCount; ++i) {
    const date_change& ch = in.changes[i];
    const DtDutyTerm term{1, MakeDt(ch.date), ch.day, MakeTls(ch.duty)};
    const auto image = ImageOf(tav::D(domains::dt_duty), reinterpret_cast<T::term>(&term));
    sqlite3_bind_blob(c, 1, image.first, image.second, SQLITE_TRANSIENT);
    sqlite3_step(c);
    sqlite3_reset(c);
  }
  sqlite3_finalize(t);
  sqlite3_finalize(c);
  Exec(db, "COMMIT");
  LiteRebuild(db, in);
  sqlite3_close(db);
}

void Report(const char* title, const std::vector<Figure>& figures) {
  printf("%s\n", title);
  for (const Figure& f : figures) {
    const double ratio = f.ours / f.theirs;
    printf("  %-14s %12.1f ops/s   SQLite %12.1f ops/s   %6.2fx (goal >= 1.0)%s\n", f.name, f.ours, f.theirs, ratio,
           ratio >= 1.0 ? "" : "  below goal");
  }
}

// Every figure of one document.
void Measure(const char* title, const alltest::RosterSpec& spec, const std::wstring& dir) {
  const std::wstring doc = dir + L"bench-roster.km6", lite = dir + L"bench-roster.sqlite";
  DeleteFileW(doc.c_str());
  rz::document* d = OpenDocument(doc, true);
  alltest::WriteSpec(spec);
  kalmora_DB::save_kalmora();
  const derivation_input in = actual_dtbd::read_input();
  const uint32_t duties = sc_phase1::how_many();
  std::vector<std::wstring> keys, dateKeys;
  sc_phase1::nd_duty_ref([&](dated_duty e) {
    keys.push_back(sc_phase1::get_dtbd_key(DutyDatOf(e.duty->dat)).text);
    if (dateKeys.empty() || dateKeys.back() != e.dateKey) dateKeys.push_back(e.dateKey);
    K::Fail();
  });
  std::sort(keys.begin(), keys.end());
  const std::vector<uint32_t> zipf = Zipf(static_cast<uint32_t>(keys.size()), 20000);
  std::vector<sp> views;  // every slot-period of 13 four-week views
  for (uint32_t p = 1; p <= std::min<uint32_t>(52, spec.weeks); ++p)
    for (uint32_t s = 1; s <= 3; ++s)
      for (uint32_t day = 1; day <= 7; ++day) views.push_back(sp{day, p, s});
  CloseDocument(d);
  MakeLite(lite, in);

  std::vector<Figure> f;
  // Open: the file into memory and the model opened on it.
  f.push_back({"open", Rate(5, 1, [&] { CloseDocument(OpenDocument(doc, false)); }), Rate(5, 1, [&] {
                 sqlite3* file = OpenLite(lite.c_str());
                 sqlite3* memory = OpenLite(L":memory:");
                 Copy(file, memory);
                 sqlite3_close(file);
                 sqlite3_close(memory);
               })});
  d = OpenDocument(doc, false);
  sqlite3* file = OpenLite(lite.c_str());
  sqlite3* db = OpenLite(L":memory:");
  Copy(file, db);
  sqlite3_close(file);
  std::vector<typical_entry> typical;
  std::vector<date_change> changes;
  f.push_back({"derive", Rate(5, 1, [&] { actual_dtbd::derive(actual_dtbd::read_input()); }),
               Rate(5, 1, [&] { actual_dtbd::derive(ReadLiteInput(db, in, &typical, &changes)); })});
  f.push_back({"rebuild", Rate(3, 1, [&] {
                 sc_phase1::must_regenerate(L"bench");
                 sc_phase1::generate();
               }),
               Rate(3, 1, [&] { LiteRebuild(db, in); })});
  sqlite3_stmt *byKey, *bySp, *byDate, *walk;
  sqlite3_prepare_v2(db, "SELECT image FROM duties WHERE duty_key=?", -1, &byKey, nullptr);
  sqlite3_prepare_v2(db, "SELECT image FROM duties WHERE period=? AND slot=? AND day=?", -1, &bySp, nullptr);
  sqlite3_prepare_v2(db, "SELECT image FROM duties WHERE date_key=? AND slot=?", -1, &byDate, nullptr);
  sqlite3_prepare_v2(db, "SELECT image FROM duties ORDER BY date_key", -1, &walk, nullptr);
  volatile uint32_t sink = 0;
  auto drain = [&](sqlite3_stmt* s) {
    while (sqlite3_step(s) == SQLITE_ROW)
      sink = sink + reinterpret_cast<const DutyTerm*>(
                        TermOf(DutyD(), sqlite3_column_blob(s, 0), sqlite3_column_bytes(s, 0)))->dat->task;
    sqlite3_reset(s);
  };
  f.push_back({"key lookup", Rate(3, 20000, [&] {
                 for (uint32_t i : zipf) {
                   const DutyTerm* t;
                   if (sc_phase1::get_duty_by_key(keys[i].c_str(), &t)) sink = sink + t->dat->task;
                 }
               }),
               Rate(3, 20000, [&] {
                 for (uint32_t i : zipf) {
                   sqlite3_bind_text16(byKey, 1, keys[i].c_str(), -1, SQLITE_STATIC);
                   drain(byKey);
                 }
               })});
  f.push_back({"sp lookup", Rate(3, static_cast<uint32_t>(views.size()), [&] {
                 for (const sp& s : views)
                   for (const duty_terms* l = sc_phase1::duties_to_be_done_on_sp(s); !l->Empty(); l = l->tail)
                     sink = sink + l->head->dat->task;
               }),
               Rate(3, static_cast<uint32_t>(views.size()), [&] {
                 for (const sp& s : views) {
                   sqlite3_bind_int(bySp, 1, static_cast<int>(s.period));
                   sqlite3_bind_int(bySp, 2, static_cast<int>(s.slot));
                   sqlite3_bind_int(bySp, 3, static_cast<int>(s.day));
                   drain(bySp);
                 }
               })});
  // Date lookups: the duties of every date and slot of the roster.
  std::vector<std::pair<dt, uint32_t>> dateSlots;
  for (const std::wstring& k : dateKeys) {
    const uint32_t v = static_cast<uint32_t>(std::stoul(k));
    for (uint32_t slot = 1; slot <= 3; ++slot)
      dateSlots.push_back({dt{v / 10000, v / 100 % 100 - 10, v % 100 - 10}, slot});
  }
  f.push_back({"date lookup", Rate(3, static_cast<uint32_t>(dateSlots.size()), [&] {
                 for (const auto& [date, slot] : dateSlots) {
                   const duty_terms* l;
                   if (sc_phase1::duties_to_be_done_on_dt(date, slot, &l))
                     for (; !l->Empty(); l = l->tail) sink = sink + l->head->dat->task;
                 }
               }),
               Rate(3, static_cast<uint32_t>(dateSlots.size()), [&] {
                 for (const auto& [date, slot] : dateSlots) {
                   sqlite3_bind_text16(byDate, 1, sc_phase1::get_date_key(date).text, -1, SQLITE_TRANSIENT);
                   sqlite3_bind_int(byDate, 2, static_cast<int>(slot));
                   drain(byDate);
                 }
               })});
  f.push_back({"date walk", Rate(3, duties, [&] {
                 sc_phase1::nd_duty_ref([&](dated_duty e) {
                   sink = sink + e.duty->dat->task;
                   K::Fail();
                 });
               }),
               Rate(3, duties, [&] { drain(walk); })});
  f.push_back({"save", Rate(3, 1, [&] {
                 kalmora_DB::set_as_mod();
                 kalmora_DB::save_kalmora();
               }),
               Rate(3, 1, [&] {
                 sqlite3* out = OpenLite(lite.c_str());
                 Exec(out, "PRAGMA synchronous=FULL");
                 Copy(db, out);
                 sqlite3_close(out);
               })});
  for (sqlite3_stmt* s : {byKey, bySp, byDate, walk}) sqlite3_finalize(s);
  sqlite3_close(db);
  CloseDocument(d);
  char line[160];
  snprintf(line, sizeof line, "%s: %u duties, %zu slot-periods looked up", title, duties, views.size());
  Report(line, f);
  for (const std::wstring& p : {doc, doc + L"x", lite, dir + L"bench-roster.stat"}) DeleteFileW(p.c_str());
}

}  // namespace

int main() {
  if (all::InitializeUnit() != 0) return 1;
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  Quiet();
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::wstring dir = tmp;
  const uint32_t code = K::RunTrapped([&] {
    Measure("52 weeks, 4 tasks x 3 locations", Spec(52, 4, 3), dir);
    Measure("104 weeks, 4 tasks x 3 locations", Spec(104, 4, 3), dir);
    Measure("104 weeks, 10 tasks x 10 locations", Spec(104, 10, 10), dir);
  });
  if (code) {
    printf("error %u\n", code);
    return 1;
  }
  return 0;
}
