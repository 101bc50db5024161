// Chain database against SQLite, same process, equal work: each term image
// is made (and read back into a term) inside the timed loops on both sides;
// file databases commit once per phase with a synced flush (SQLite:
// synchronous FULL, rollback journal).  Prints operations per second per
// side and the ratio chain database / SQLite (above 1.0: we are faster).
//   bench_chaindb [max-records]   (default 100000; 1000000 for the full run)
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "qel6chaindb.h"
#include "qel6decl.h"
#include "qel6run_db.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
namespace decl = Qel::RunTime::Decl;
namespace Memory = Qel::RunTime::Kernel::Memory;

namespace {

struct Item {
  uint64_t functor;
  int32_t n;
  const wchar_t* text;
};
extern RScopeClassDescriptor benchclass;
RIntegralDomain integer = decl::Integer({L"integer", QEL_HERE, nullptr, &benchclass});
RDomainRecord str = decl::Simple(kString, {L"string", QEL_HERE, &integer.head, &benchclass});
decl::Arguments itemArgs{{QEL_ARG(Item, n, integer), QEL_ARG(Item, text, str)}};
RFunctor itemFunctors[] = {decl::Functor<Item>(L"item", itemArgs)};
RCompoundDomain item = decl::Compound({L"item", QEL_HERE, &str, &benchclass}, itemFunctors);
RScopeClassDescriptor benchclass = decl::Class(L"bench", QEL_HERE, &item.head);
decl::UnitTable unit{&benchclass};

const IDomainDefinition* ItemD() { return Domain(item.head); }

const wchar_t kText[] = L"Duty Monday ward 3 early shift";
const wchar_t kLonger[] = L"Duty Monday ward 3 early shift, swapped with the late shift of ward 7";

const uint8_t* MakeItem(int32_t n, const wchar_t* text) {
  auto* p = reinterpret_cast<Item*>(Memory::AllocGStack(sizeof(Item)));
  *p = Item{1, n, text};
  return reinterpret_cast<const uint8_t*>(p);
}

struct Figures {
  double insert, read, replace, walk, erase;
};

uint32_t g_rand = 12345;
uint32_t Next() {
  g_rand = g_rand * 1103515245u + 12345u;
  return g_rand >> 8;
}

Figures RunChainDb(int n, bool file, const std::wstring& path) {
  Figures f{};
  chainDB::FILEDESCR** h = nullptr;
  uint8_t place = file ? chainDB::kInFile : chainDB::kInMemory;
  std::vector<chainDB::TRef> refs(n);
  uint32_t code = Kernel::RunTrapped([&] {
    chainDB::QEL_DB_Create(&h, path.c_str(), &place);
    double t = bench::Now();
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      refs[i] = chainDB::QEL_DB_ChainInsertz(ItemD(), h, L"duties", MakeItem(i, kText));
      Memory::ReleaseGStack(mark);
    }
    chainDB::QEL_DB_Flush(h);
    f.insert = n / (bench::Now() - t);
    t = bench::Now();
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      auto* it = reinterpret_cast<const Item*>(chainDB::QEL_DB_RefTerm(ItemD(), h, refs[Next() % n]));
      sum += it->n;
      Memory::ReleaseGStack(mark);
    }
    f.read = n / (bench::Now() - t);
    t = bench::Now();
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      chainDB::QEL_DB_TermReplace(ItemD(), h, refs[Next() % n], MakeItem(i, (i & 1) ? kLonger : kText));
      Memory::ReleaseGStack(mark);
    }
    chainDB::QEL_DB_Flush(h);
    f.replace = n / (bench::Now() - t);
    t = bench::Now();
    struct Sum {
      int64_t s;
      int count;
    } walk{0, 0};
    Kernel::Succeeds([&] {
      chainDB::QEL_DB_ChainTerms(ItemD(), h, L"duties", [](void* c, chainDB::term term, chainDB::TRef) {
        auto* w = static_cast<Sum*>(c);
        w->s += reinterpret_cast<const Item*>(term)->n;
        ++w->count;
        Kernel::Fail();
      }, &walk);
    });
    f.walk = walk.count / (bench::Now() - t);
    t = bench::Now();
    for (int i = 0; i < n; ++i) chainDB::QEL_DB_TermDelete(h, L"duties", refs[i]);
    chainDB::QEL_DB_Flush(h);
    f.erase = n / (bench::Now() - t);
    chainDB::QEL_DB_Close(h);
    if (!file) chainDB::QEL_DB_Delete(path.c_str(), &place);
    (void)sum;
  });
  if (code) printf("chain database error %u\n", code);
  return f;
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    printf("sqlite: %s\n", error);
    sqlite3_free(error);
  }
}

Figures RunSqlite(int n, bool file, const std::string& path) {
  Figures f{};
  sqlite3* db;
  if (file) DeleteFileA(path.c_str());
  sqlite3_open(file ? path.c_str() : ":memory:", &db);
  Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
  Exec(db, "CREATE TABLE duties(id INTEGER PRIMARY KEY, term BLOB)");
  sqlite3_stmt *ins, *get, *put, *all, *del;
  sqlite3_prepare_v2(db, "INSERT INTO duties(term) VALUES(?)", -1, &ins, nullptr);
  sqlite3_prepare_v2(db, "SELECT term FROM duties WHERE id=?", -1, &get, nullptr);
  sqlite3_prepare_v2(db, "UPDATE duties SET term=? WHERE id=?", -1, &put, nullptr);
  sqlite3_prepare_v2(db, "SELECT term FROM duties ORDER BY id", -1, &all, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM duties WHERE id=?", -1, &del, nullptr);
  auto image = [](int i, const wchar_t* text, const uint8_t** bytes) {
    TBinary b = ToBinary(ItemD(), MakeItem(i, text));
    *bytes = b;
    uint32_t size;
    memcpy(&size, b - 4, 4);
    return static_cast<int>(size - 4);
  };
  auto readTerm = [](sqlite3_stmt* s) {
    int len = sqlite3_column_bytes(s, 0);
    uint8_t* b = Memory::AllocGStack(len + 4);
    uint32_t size = len + 4;
    memcpy(b, &size, 4);
    memcpy(b + 4, sqlite3_column_blob(s, 0), len);
    return reinterpret_cast<const Item*>(FromBinary(ItemD(), b + 4));
  };
  std::vector<int64_t> ids(n);
  double t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* bytes;
    int len = image(i, kText, &bytes);
    sqlite3_bind_blob(ins, 1, bytes, len, SQLITE_STATIC);
    sqlite3_step(ins);
    sqlite3_reset(ins);
    ids[i] = sqlite3_last_insert_rowid(db);
    Memory::ReleaseGStack(mark);
  }
  Exec(db, "COMMIT");
  f.insert = n / (bench::Now() - t);
  t = bench::Now();
  int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    sqlite3_bind_int64(get, 1, ids[Next() % n]);
    if (sqlite3_step(get) == SQLITE_ROW) sum += readTerm(get)->n;
    sqlite3_reset(get);
    Memory::ReleaseGStack(mark);
  }
  f.read = n / (bench::Now() - t);
  t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* bytes;
    int len = image(i, (i & 1) ? kLonger : kText, &bytes);
    sqlite3_bind_blob(put, 1, bytes, len, SQLITE_STATIC);
    sqlite3_bind_int64(put, 2, ids[Next() % n]);
    sqlite3_step(put);
    sqlite3_reset(put);
    Memory::ReleaseGStack(mark);
  }
  Exec(db, "COMMIT");
  f.replace = n / (bench::Now() - t);
  t = bench::Now();
  int count = 0;
  while (sqlite3_step(all) == SQLITE_ROW) {
    uint8_t* mark = Memory::MarkGStack();
    sum += readTerm(all)->n;
    ++count;
    Memory::ReleaseGStack(mark);
  }
  sqlite3_reset(all);
  f.walk = count / (bench::Now() - t);
  t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    sqlite3_bind_int64(del, 1, ids[i]);
    sqlite3_step(del);
    sqlite3_reset(del);
  }
  Exec(db, "COMMIT");
  f.erase = n / (bench::Now() - t);
  for (sqlite3_stmt* s : {ins, get, put, all, del}) sqlite3_finalize(s);
  sqlite3_close(db);
  (void)sum;
  return f;
}

struct KeyFigures {
  double insert, search, scan, erase;
};

std::wstring Key(uint32_t i) {
  wchar_t k[32];
  swprintf(k, 32, L"duty-%08u-\u00e9", (i * 2654435761u) % 100000000u);
  return k;
}

KeyFigures RunChainDbKeys(int n, bool file, const std::wstring& path) {
  KeyFigures f{};
  chainDB::FILEDESCR** h = nullptr;
  uint8_t place = file ? chainDB::kInFile : chainDB::kInMemory;
  uint32_t code = Kernel::RunTrapped([&] {
    chainDB::QEL_DB_Create(&h, path.c_str(), &place);
    int32_t sel;
    chainDB::QEL_DB_BtCreate6(h, L"index", &sel, 24, 16, false);
    double t = bench::Now();
    for (int i = 0; i < n; ++i) chainDB::QEL_DB_KeyInsert(h, sel, Key(i).c_str(), i + 1);
    chainDB::QEL_DB_Flush(h);
    f.insert = n / (bench::Now() - t);
    t = bench::Now();
    for (int i = 0; i < n; ++i) {
      chainDB::TRef r;
      Kernel::Succeeds([&] { chainDB::QEL_DB_KeySearch_o(h, sel, Key(Next() % n).c_str(), &r); });
    }
    f.search = n / (bench::Now() - t);
    t = bench::Now();
    int scans = n / 100 > 100 ? 100 : n / 100 + 1, seen = 0;
    for (int s = 0; s < scans; ++s) {
      chainDB::TRef r;
      Kernel::Succeeds([&] { chainDB::QEL_DB_KeySearch_o(h, sel, Key(Next() % n).c_str(), &r); });
      for (int k = 0; k < 100 && Kernel::Succeeds([&] { chainDB::QEL_DB_KeyNext(h, sel, &r); }); ++k) ++seen;
    }
    f.scan = seen / (bench::Now() - t);
    t = bench::Now();
    for (int i = 0; i < n; ++i) chainDB::QEL_DB_KeyDelete(h, sel, Key(i).c_str(), i + 1);
    chainDB::QEL_DB_Flush(h);
    f.erase = n / (bench::Now() - t);
    chainDB::QEL_DB_BtClose(h, sel);
    chainDB::QEL_DB_Close(h);
    if (!file) chainDB::QEL_DB_Delete(path.c_str(), &place);
  });
  if (code) printf("chain database error %u\n", code);
  return f;
}

int Collate(void*, int a, const void* x, int b, const void* y) {
  std::wstring s(static_cast<const wchar_t*>(x), a / 2), t(static_cast<const wchar_t*>(y), b / 2);
  return lstrcmpW(s.c_str(), t.c_str());
}

KeyFigures RunSqliteKeys(int n, bool file, const std::string& path) {
  KeyFigures f{};
  sqlite3* db;
  if (file) DeleteFileA(path.c_str());
  sqlite3_open(file ? path.c_str() : ":memory:", &db);
  sqlite3_create_collation(db, "LSTRCMPW", SQLITE_UTF16LE, nullptr, Collate);
  Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
  Exec(db, "CREATE TABLE idx(k TEXT COLLATE LSTRCMPW, r INTEGER, PRIMARY KEY(k)) WITHOUT ROWID");
  sqlite3_stmt *ins, *get, *scan, *del;
  sqlite3_prepare_v2(db, "INSERT INTO idx VALUES(?, ?)", -1, &ins, nullptr);
  sqlite3_prepare_v2(db, "SELECT r FROM idx WHERE k=?", -1, &get, nullptr);
  sqlite3_prepare_v2(db, "SELECT r FROM idx WHERE k>=? ORDER BY k LIMIT 101", -1, &scan, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM idx WHERE k=?", -1, &del, nullptr);
  double t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(i);
    sqlite3_bind_text16(ins, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(ins, 2, i + 1);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  Exec(db, "COMMIT");
  f.insert = n / (bench::Now() - t);
  t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(Next() % n);
    sqlite3_bind_text16(get, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(get);
    sqlite3_reset(get);
  }
  Exec(db, "COMMIT");
  f.search = n / (bench::Now() - t);
  t = bench::Now();
  int scans = n / 100 > 100 ? 100 : n / 100 + 1, seen = 0;
  Exec(db, "BEGIN");
  for (int s = 0; s < scans; ++s) {
    std::wstring k = Key(Next() % n);
    sqlite3_bind_text16(scan, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(scan) == SQLITE_ROW) ++seen;
    sqlite3_reset(scan);
  }
  Exec(db, "COMMIT");
  f.scan = seen / (bench::Now() - t);
  t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(i);
    sqlite3_bind_text16(del, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(del);
    sqlite3_reset(del);
  }
  Exec(db, "COMMIT");
  f.erase = n / (bench::Now() - t);
  for (sqlite3_stmt* s : {ins, get, scan, del}) sqlite3_finalize(s);
  sqlite3_close(db);
  return f;
}

// Small transactions on a shared file: a read-write one stores a term and a
// key and commits (synced); a read one reads a term.
void Transactions(int n, const std::wstring& ours, const std::string& theirs, double* a, double* b) {
  DeleteFileW(ours.c_str());
  Kernel::RunTrapped([&] {
    chainDB::FILEDESCR** h = nullptr;
    uint8_t file = chainDB::kInFile, rw = 2, rd = 1, deny = 1;
    chainDB::QEL_DB_Create(&h, ours.c_str(), &file);
    chainDB::QEL_DB_Close(h);
    chainDB::QEL_DB_OpenShare(&h, ours.c_str(), &rw, &deny);
    int32_t sel = -1;
    chainDB::TRef last = 0;
    double t = bench::Now();
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      chainDB::QEL_DB_BeginTransaction(h, &rw);
      if (sel < 0) chainDB::QEL_DB_BtCreate6(h, L"log", &sel, 24, 16, false);
      last = chainDB::QEL_DB_ChainInsertz(ItemD(), h, L"log", MakeItem(i, kText));
      chainDB::QEL_DB_KeyInsert(h, sel, Key(i).c_str(), last);
      chainDB::QEL_DB_EndTransaction(h);
      Memory::ReleaseGStack(mark);
    }
    a[0] = n / (bench::Now() - t);
    t = bench::Now();
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      chainDB::QEL_DB_BeginTransaction(h, &rd);
      chainDB::QEL_DB_RefTerm(ItemD(), h, last);
      chainDB::QEL_DB_EndTransaction(h);
      Memory::ReleaseGStack(mark);
    }
    a[1] = n / (bench::Now() - t);
    chainDB::QEL_DB_Close(h);
  });
  DeleteFileA(theirs.c_str());
  sqlite3* db;
  sqlite3_open(theirs.c_str(), &db);
  sqlite3_create_collation(db, "LSTRCMPW", SQLITE_UTF16LE, nullptr, Collate);
  Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
  Exec(db, "CREATE TABLE log(id INTEGER PRIMARY KEY, term BLOB, k TEXT COLLATE LSTRCMPW UNIQUE)");
  sqlite3_stmt *ins, *get;
  sqlite3_prepare_v2(db, "INSERT INTO log(term, k) VALUES(?, ?)", -1, &ins, nullptr);
  sqlite3_prepare_v2(db, "SELECT term FROM log WHERE id=?", -1, &get, nullptr);
  double t = bench::Now();
  int64_t id = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    Exec(db, "BEGIN IMMEDIATE");
    TBinary img = ToBinary(ItemD(), MakeItem(i, kText));
    uint32_t size;
    memcpy(&size, img - 4, 4);
    std::wstring k = Key(i);
    sqlite3_bind_blob(ins, 1, img, size - 4, SQLITE_STATIC);
    sqlite3_bind_text16(ins, 2, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(ins);
    sqlite3_reset(ins);
    id = sqlite3_last_insert_rowid(db);
    Exec(db, "COMMIT");
    Memory::ReleaseGStack(mark);
  }
  b[0] = n / (bench::Now() - t);
  t = bench::Now();
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    Exec(db, "BEGIN");
    sqlite3_bind_int64(get, 1, id);
    if (sqlite3_step(get) == SQLITE_ROW) {
      int len = sqlite3_column_bytes(get, 0);
      uint8_t* buf = Memory::AllocGStack(len + 4);
      uint32_t size = len + 4;
      memcpy(buf, &size, 4);
      memcpy(buf + 4, sqlite3_column_blob(get, 0), len);
      FromBinary(ItemD(), buf + 4);
    }
    sqlite3_reset(get);
    Exec(db, "COMMIT");
    Memory::ReleaseGStack(mark);
  }
  b[1] = n / (bench::Now() - t);
  sqlite3_finalize(ins);
  sqlite3_finalize(get);
  sqlite3_close(db);
}

void Row(const char* what, double ours, double theirs) {
  printf("  %-8s %12.0f %12.0f %8.2fx\n", what, ours, theirs, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
  int max = argc > 1 ? atoi(argv[1]) : 100000;
  if (RunUnitInitialization(nullptr, reinterpret_cast<void*>(&main), unit.Table(), nullptr)) return 1;
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring ours = std::wstring(tmp) + L"bench_chaindb.km6";
  std::string theirs;
  for (wchar_t* p = tmp; *p; ++p) theirs += static_cast<char>(*p);
  theirs += "bench_chaindb.sqlite";
  printf("terms: ops/s chain database, SQLite, ratio\n");
  for (int n = 1000; n <= max; n *= 10) {
    for (bool file : {false, true}) {
      Figures a = RunChainDb(n, file, file ? ours : L"bench-memory");
      Figures b = RunSqlite(n, file, theirs);
      printf("%d terms, %s\n", n, file ? "file" : "memory");
      Row("insert", a.insert, b.insert);
      Row("read", a.read, b.read);
      Row("replace", a.replace, b.replace);
      Row("walk", a.walk, b.walk);
      Row("delete", a.erase, b.erase);
    }
  }
  printf("B+tree keys (order 16, 24 characters, lstrcmpW on both sides): ops/s, ratio\n");
  for (int n = 1000; n <= max; n *= 10) {
    for (bool file : {false, true}) {
      KeyFigures a = RunChainDbKeys(n, file, file ? ours : L"bench-keys");
      KeyFigures b = RunSqliteKeys(n, file, theirs);
      printf("%d keys, %s\n", n, file ? "file" : "memory");
      Row("insert", a.insert, b.insert);
      Row("search", a.search, b.search);
      Row("scan", a.scan, b.scan);
      Row("delete", a.erase, b.erase);
    }
  }
  double a[2], b[2];
  Transactions(1000, ours, theirs, a, b);
  printf("transactions per second, one process, synced commits (SQLite: BEGIN IMMEDIATE/COMMIT)\n");
  Row("rw", a[0], b[0]);
  Row("read", a[1], b[1]);
  DeleteFileW(ours.c_str());
  DeleteFileA(theirs.c_str());
  return 0;
}
