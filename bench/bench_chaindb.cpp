// Chain database against SQLite and LMDB, same process, equal work: each
// term image is made (and read back into a term) inside the timed loops on
// every side; keys compare with lstrcmpW everywhere (our B+trees, a SQLite
// collation, an LMDB compare function); file databases commit once per
// phase with a synced commit (our flush; SQLite: synchronous FULL, rollback
// journal; LMDB: a synced commit).  LMDB has no memory databases: its
// memory rows use a file without syncs (MDB_NOSYNC).  Prints operations per
// second per side and the ratios chain database / peer (above 1.0: we are
// faster).
//   bench_chaindb [max-records] [roster-operations] [roster-sessions]
//   (defaults 100000, 20000 and 3; 1000000 records for the full run)
#include <lmdb.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A term's image: its bytes without the size word, on the global stack.
int Image(int32_t n, const wchar_t* text, const uint8_t** bytes) {
  TBinary b = ToBinary(ItemD(), MakeItem(n, text));
  *bytes = b;
  uint32_t size;
  memcpy(&size, b - 4, 4);
  return static_cast<int>(size - 4);
}

// The term of image bytes held by a peer.
const Item* FromImage(const void* bytes, size_t len) {
  uint8_t* b = Memory::AllocGStack(static_cast<uint32_t>(len) + 4);
  uint32_t size = static_cast<uint32_t>(len) + 4;
  memcpy(b, &size, 4);
  memcpy(b + 4, bytes, len);
  return reinterpret_cast<const Item*>(FromBinary(ItemD(), b + 4));
}

struct Figures {
  double insert, read, replace, walk, erase;
};

uint32_t g_rand = 12345;
uint32_t Next() {
  g_rand = g_rand * 1103515245u + 12345u;
  return g_rand >> 8;
}

// --- Peers' plumbing ---

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    printf("sqlite: %s\n", error);
    sqlite3_free(error);
  }
}

// lstrcmpW over keys handed over with lengths: copied into a terminated
// buffer on the stack (no heap).
int CompareCounted(const void* x, size_t xb, const void* y, size_t yb) {
  wchar_t a[256], b[256];
  size_t n = std::min<size_t>(xb / 2, 255), m = std::min<size_t>(yb / 2, 255);
  memcpy(a, x, 2 * n);
  memcpy(b, y, 2 * m);
  a[n] = b[m] = 0;
  return lstrcmpW(a, b);
}

int Collate(void*, int a, const void* x, int b, const void* y) { return CompareCounted(x, a, y, b); }

// LMDB keys are stored with their terminator: lstrcmpW reads them in place.
int LmdbCompare(const MDB_val* a, const MDB_val* b) {
  return lstrcmpW(static_cast<const wchar_t*>(a->mv_data), static_cast<const wchar_t*>(b->mv_data));
}

void Check(int rc, const char* what) {
  if (rc != MDB_SUCCESS) printf("lmdb: %s: %s\n", what, mdb_strerror(rc));
}

void LmdbRemove(const std::string& path) {
  DeleteFileA(path.c_str());
  DeleteFileA((path + "-lock").c_str());
}

size_t g_mapSize = size_t{1} << 30;

MDB_env* LmdbOpen(const std::string& path, bool durable, bool fresh = true) {
  if (fresh) LmdbRemove(path);
  MDB_env* env;
  Check(mdb_env_create(&env), "create");
  Check(mdb_env_set_mapsize(env, g_mapSize), "mapsize");
  Check(mdb_env_set_maxdbs(env, 8), "maxdbs");
  Check(mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOTLS | (durable ? 0 : MDB_NOSYNC), 0664),
        "open");
  return env;
}

MDB_dbi LmdbTable(MDB_txn* txn, const char* name, bool keys) {
  MDB_dbi dbi;
  Check(mdb_dbi_open(txn, name, MDB_CREATE | (keys ? 0 : MDB_INTEGERKEY), &dbi), "dbi");
  if (keys) Check(mdb_set_compare(txn, dbi, LmdbCompare), "compare");
  return dbi;
}

MDB_txn* Begin(MDB_env* env, bool read = false) {
  MDB_txn* txn;
  Check(mdb_txn_begin(env, nullptr, read ? MDB_RDONLY : 0, &txn), "begin");
  return txn;
}

void Commit(MDB_txn* txn) { Check(mdb_txn_commit(txn), "commit"); }

MDB_val Val(const void* p, size_t n) { return MDB_val{n, const_cast<void*>(p)}; }

// A key with its terminator, as LMDB keeps it.
MDB_val KeyVal(const std::wstring& k) { return Val(k.c_str(), 2 * (k.size() + 1)); }

// --- Terms ---

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
  auto readTerm = [](sqlite3_stmt* s) { return FromImage(sqlite3_column_blob(s, 0), sqlite3_column_bytes(s, 0)); };
  std::vector<int64_t> ids(n);
  double t = bench::Now();
  Exec(db, "BEGIN");
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* bytes;
    int len = Image(i, kText, &bytes);
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
    int len = Image(i, (i & 1) ? kLonger : kText, &bytes);
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

Figures RunLmdb(int n, bool file, const std::string& path) {
  Figures f{};
  MDB_env* env = LmdbOpen(path, file);
  MDB_txn* txn = Begin(env);
  MDB_dbi dbi = LmdbTable(txn, "duties", false);
  Commit(txn);
  std::vector<uint32_t> ids(n);
  double t = bench::Now();
  txn = Begin(env);
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* bytes;
    int len = Image(i, kText, &bytes);
    ids[i] = i + 1;
    MDB_val k = Val(&ids[i], 4), v = Val(bytes, len);
    Check(mdb_put(txn, dbi, &k, &v, MDB_APPEND), "put");
    Memory::ReleaseGStack(mark);
  }
  Commit(txn);
  f.insert = n / (bench::Now() - t);
  t = bench::Now();
  int64_t sum = 0;
  txn = Begin(env, true);
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    MDB_val k = Val(&ids[Next() % n], 4), v;
    if (mdb_get(txn, dbi, &k, &v) == MDB_SUCCESS) sum += FromImage(v.mv_data, v.mv_size)->n;
    Memory::ReleaseGStack(mark);
  }
  mdb_txn_abort(txn);
  f.read = n / (bench::Now() - t);
  t = bench::Now();
  txn = Begin(env);
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* bytes;
    int len = Image(i, (i & 1) ? kLonger : kText, &bytes);
    MDB_val k = Val(&ids[Next() % n], 4), v = Val(bytes, len);
    Check(mdb_put(txn, dbi, &k, &v, 0), "put");
    Memory::ReleaseGStack(mark);
  }
  Commit(txn);
  f.replace = n / (bench::Now() - t);
  t = bench::Now();
  int count = 0;
  txn = Begin(env, true);
  MDB_cursor* c;
  mdb_cursor_open(txn, dbi, &c);
  MDB_val k, v;
  for (int op = MDB_FIRST; mdb_cursor_get(c, &k, &v, static_cast<MDB_cursor_op>(op)) == MDB_SUCCESS;
       op = MDB_NEXT) {
    uint8_t* mark = Memory::MarkGStack();
    sum += FromImage(v.mv_data, v.mv_size)->n;
    ++count;
    Memory::ReleaseGStack(mark);
  }
  mdb_cursor_close(c);
  mdb_txn_abort(txn);
  f.walk = count / (bench::Now() - t);
  t = bench::Now();
  txn = Begin(env);
  for (int i = 0; i < n; ++i) {
    MDB_val key = Val(&ids[i], 4);
    Check(mdb_del(txn, dbi, &key, nullptr), "del");
  }
  Commit(txn);
  f.erase = n / (bench::Now() - t);
  mdb_env_close(env);
  LmdbRemove(path);
  (void)sum;
  return f;
}

// --- Keys ---

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
    if (sqlite3_step(scan) == SQLITE_ROW)
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

KeyFigures RunLmdbKeys(int n, bool file, const std::string& path) {
  KeyFigures f{};
  MDB_env* env = LmdbOpen(path, file);
  MDB_txn* txn = Begin(env);
  MDB_dbi dbi = LmdbTable(txn, "index", true);
  Commit(txn);
  double t = bench::Now();
  txn = Begin(env);
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(i);
    uint32_t r = i + 1;
    MDB_val key = KeyVal(k), v = Val(&r, 4);
    Check(mdb_put(txn, dbi, &key, &v, 0), "put");
  }
  Commit(txn);
  f.insert = n / (bench::Now() - t);
  t = bench::Now();
  txn = Begin(env, true);
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(Next() % n);
    MDB_val key = KeyVal(k), v;
    mdb_get(txn, dbi, &key, &v);
  }
  mdb_txn_abort(txn);
  f.search = n / (bench::Now() - t);
  t = bench::Now();
  int scans = n / 100 > 100 ? 100 : n / 100 + 1, seen = 0;
  txn = Begin(env, true);
  MDB_cursor* c;
  mdb_cursor_open(txn, dbi, &c);
  for (int s = 0; s < scans; ++s) {
    std::wstring k = Key(Next() % n);
    MDB_val key = KeyVal(k), v;
    if (mdb_cursor_get(c, &key, &v, MDB_SET_RANGE) != MDB_SUCCESS) continue;
    for (int j = 0; j < 100 && mdb_cursor_get(c, &key, &v, MDB_NEXT) == MDB_SUCCESS; ++j) ++seen;
  }
  mdb_cursor_close(c);
  mdb_txn_abort(txn);
  f.scan = seen / (bench::Now() - t);
  t = bench::Now();
  txn = Begin(env);
  for (int i = 0; i < n; ++i) {
    std::wstring k = Key(i);
    MDB_val key = KeyVal(k);
    Check(mdb_del(txn, dbi, &key, nullptr), "del");
  }
  Commit(txn);
  f.erase = n / (bench::Now() - t);
  mdb_env_close(env);
  LmdbRemove(path);
  return f;
}

// --- Small transactions ---

// Small transactions on a shared file: a read-write one stores a term and a
// key and commits (synced); a read one reads a term.
void Transactions(int n, const std::wstring& ours, const std::string& theirs, const std::string& lmdb,
                  double* a, double* b, double* l) {
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
    const uint8_t* img;
    int len = Image(i, kText, &img);
    std::wstring k = Key(i);
    sqlite3_bind_blob(ins, 1, img, len, SQLITE_STATIC);
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
    if (sqlite3_step(get) == SQLITE_ROW) FromImage(sqlite3_column_blob(get, 0), sqlite3_column_bytes(get, 0));
    sqlite3_reset(get);
    Exec(db, "COMMIT");
    Memory::ReleaseGStack(mark);
  }
  b[1] = n / (bench::Now() - t);
  sqlite3_finalize(ins);
  sqlite3_finalize(get);
  sqlite3_close(db);

  MDB_env* env = LmdbOpen(lmdb, true);
  MDB_txn* txn = Begin(env);
  MDB_dbi terms = LmdbTable(txn, "log", false), keys = LmdbTable(txn, "logkeys", true);
  Commit(txn);
  t = bench::Now();
  uint32_t lastId = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    txn = Begin(env);
    const uint8_t* img;
    int len = Image(i, kText, &img);
    lastId = i + 1;
    MDB_val k = Val(&lastId, 4), v = Val(img, len);
    Check(mdb_put(txn, terms, &k, &v, MDB_APPEND), "put");
    std::wstring key = Key(i);
    MDB_val kk = KeyVal(key);
    Check(mdb_put(txn, keys, &kk, &k, 0), "put");
    Commit(txn);
    Memory::ReleaseGStack(mark);
  }
  l[0] = n / (bench::Now() - t);
  t = bench::Now();
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Memory::MarkGStack();
    txn = Begin(env, true);
    MDB_val k = Val(&lastId, 4), v;
    if (mdb_get(txn, terms, &k, &v) == MDB_SUCCESS) FromImage(v.mv_data, v.mv_size);
    mdb_txn_abort(txn);
    Memory::ReleaseGStack(mark);
  }
  l[1] = n / (bench::Now() - t);
  mdb_env_close(env);
  LmdbRemove(lmdb);
}

// --- Roster: a year of 60 doctors' duties, assignments and locks ---
//
// Each side keeps three term tables (chains) and four lstrcmpW indexes;
// the document lives in a file, is loaded into memory (chain database:
// Load; SQLite: the backup API into :memory:; LMDB: a copy of the document
// into a working file without syncs, its nearest to a memory database),
// changed there and saved back (Copy; the backup API; a copy and a
// write-through rename).

enum Kind { kDuty, kAssignment, kLock };
const wchar_t* const kChains[] = {L"duty", L"assignment", L"lock"};
const char* const kTables[] = {"duty", "assignment", "lock"};
const wchar_t kKindChar[] = L"dal";
const wchar_t* const kShifts[] = {L"early", L"late", L"night shift", L"on call over the weekend"};

struct RosterEntry {
  Kind kind;
  int doctor, day;
};

std::wstring DoctorName(int d) {
  static const wchar_t* const names[] = {L"Ng",      L"Okafor",   L"Lindqvist", L"\u00d8deg\u00e5rd",
                                         L"Sato",    L"Ferreira", L"M\u00fcller", L"Kowalczyk",
                                         L"Abebe",   L"Dubois",   L"Ivanova",   L"Haddad"};
  return names[d % 12] + std::to_wstring(d / 12);
}

std::wstring Date(int day) {
  static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int m = 0;
  while (day >= lengths[m]) day -= lengths[m++];
  wchar_t s[16];
  swprintf(s, 16, L"2026%02d%02d", m + 1, day + 1);
  return s;
}

// Index 0: doctor, date, kind; 1: date, doctor, kind; 2: assignments by
// day; 3: locks.  8 to 24 characters.
std::wstring RosterKey(int index, const RosterEntry& e) {
  std::wstring name = DoctorName(e.doctor), date = Date(e.day);
  switch (index) {
    case 0: return name + L"." + date + kKindChar[e.kind];
    case 1: return date + L"." + name + kKindChar[e.kind];
    case 2: return L"a" + date.substr(4) + L"." + name;
    default: return L"L" + date + name;
  }
}

bool InIndex(int index, Kind k) {
  return index < 2 || (index == 2 && k == kAssignment) || (index == 3 && k == kLock);
}

std::wstring RosterText(const RosterEntry& e, int variant) {
  std::wstring s = DoctorName(e.doctor) + L" " + Date(e.day) + L" ";
  if (e.kind == kDuty) return s + L"duty " + kShifts[variant % 4] + L" ward " + std::to_wstring(e.doctor % 9);
  if (e.kind == kAssignment) return s + L"assignment clinic " + std::to_wstring(variant % 5);
  return s + L"locked: leave";
}

struct RosterPlan {
  std::vector<RosterEntry> entries;  // the document; later inserts appended
  int documentSize;
  std::vector<int> lookups;              // entries (Zipf)
  std::vector<std::pair<int, int>> scans;  // doctor, first day
  std::vector<int> replaces;             // duties
  std::vector<int> deletes;              // assignments
  std::vector<int> inserts;              // new assignments (entry numbers)
};

RosterPlan MakeRosterPlan(int ops) {
  RosterPlan p;
  std::vector<std::vector<bool>> assigned(60, std::vector<bool>(365));
  for (int day = 0; day < 365; ++day)
    for (int d = 0; d < 60; ++d) {
      p.entries.push_back({kDuty, d, day});
      if ((d + day) % 3 == 0) {
        p.entries.push_back({kAssignment, d, day});
        assigned[d][day] = true;
      }
      if ((d * 7 + day) % 20 == 0) p.entries.push_back({kLock, d, day});
    }
  p.documentSize = static_cast<int>(p.entries.size());
  int n = p.documentSize;
  // Zipf (s = 1) over the entries in a shuffled order.
  std::vector<int> rank(n);
  for (int i = 0; i < n; ++i) rank[i] = i;
  for (int i = n - 1; i > 0; --i) std::swap(rank[i], rank[Next() % (i + 1)]);
  std::vector<double> cumulative(n);
  double total = 0;
  for (int i = 0; i < n; ++i) cumulative[i] = total += 1.0 / (i + 1);
  for (int i = 0; i < ops; ++i) {
    double u = (Next() / double(1 << 24)) * total;
    int r = static_cast<int>(std::lower_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin());
    p.lookups.push_back(rank[std::min(r, n - 1)]);
  }
  for (int i = 0; i < ops / 4; ++i) p.scans.push_back({static_cast<int>(Next() % 60), static_cast<int>(Next() % 358)});
  std::vector<int> duties, assignments;
  for (int i = 0; i < n; ++i) {
    if (p.entries[i].kind == kDuty) duties.push_back(i);
    if (p.entries[i].kind == kAssignment) assignments.push_back(i);
  }
  for (int i = 0; i < ops / 4; ++i) p.replaces.push_back(duties[Next() % duties.size()]);
  for (int i = static_cast<int>(assignments.size()) - 1; i > 0; --i)
    std::swap(assignments[i], assignments[Next() % (i + 1)]);
  for (int i = 0; i < ops / 20 && i < static_cast<int>(assignments.size()); ++i) p.deletes.push_back(assignments[i]);
  while (static_cast<int>(p.inserts.size()) < ops / 20) {
    int d = Next() % 60, day = Next() % 365;
    if (assigned[d][day]) continue;
    assigned[d][day] = true;
    p.inserts.push_back(static_cast<int>(p.entries.size()));
    p.entries.push_back({kAssignment, d, day});
  }
  return p;
}

struct RosterFigures {
  double load, lookup, scan, replace, erase, insert, save, session;
  int scanned;
};

// Phase timing: ops/s of each phase and of the whole session.
struct Phases {
  double start = bench::Now(), last = start, ops = 0;
  double Lap(double count) {
    double now = bench::Now(), rate = count / (now - last);
    last = now;
    ops += count;
    return rate;
  }
  double Session() const { return ops / (last - start); }
};

RosterFigures RosterChainDb(const RosterPlan& p, const std::wstring& doc) {
  RosterFigures f{};
  uint8_t mem = chainDB::kInMemory, file = chainDB::kInFile;
  std::wstring memName = L"roster-memory";
  std::vector<chainDB::TRef> refs(p.entries.size());
  chainDB::FILEDESCR** h = nullptr;
  int32_t sel[4];
  auto keyOf = [&](int index, int e) { return RosterKey(index, p.entries[e]); };
  uint32_t code = Kernel::RunTrapped([&] {
    // The document, made once and saved.
    DeleteFileW(doc.c_str());
    chainDB::QEL_DB_Create(&h, L"roster-build", &mem);
    for (int i = 0; i < 4; ++i)
      chainDB::QEL_DB_BtCreate6(h, (L"index" + std::to_wstring(i)).c_str(), &sel[i], 24, 16, false);
    for (int e = 0; e < p.documentSize; ++e) {
      uint8_t* mark = Memory::MarkGStack();
      const RosterEntry& x = p.entries[e];
      std::wstring text = RosterText(x, e);
      refs[e] = chainDB::QEL_DB_ChainInsertz(ItemD(), h, kChains[x.kind], MakeItem(e, text.c_str()));
      for (int i = 0; i < 4; ++i)
        if (InIndex(i, x.kind)) chainDB::QEL_DB_KeyInsert(h, sel[i], keyOf(i, e).c_str(), refs[e]);
      Memory::ReleaseGStack(mark);
    }
    chainDB::QEL_DB_Copy(h, doc.c_str(), &file);
    chainDB::QEL_DB_Close(h);
    chainDB::QEL_DB_Delete(L"roster-build", &mem);
  });
  if (code) {
    printf("chain database error %u\n", code);
    return f;
  }
  code = Kernel::RunTrapped([&] {
    Phases t;
    chainDB::QEL_DB_Load(doc.c_str(), memName.c_str());
    chainDB::QEL_DB_Open(&h, memName.c_str(), &mem);
    for (int i = 0; i < 4; ++i) chainDB::QEL_DB_BtOpen(h, (L"index" + std::to_wstring(i)).c_str(), &sel[i]);
    f.load = t.Lap(p.documentSize);
    int64_t sum = 0;
    for (int e : p.lookups) {
      uint8_t* mark = Memory::MarkGStack();
      chainDB::TRef r = 0;
      if (Kernel::Succeeds([&] { chainDB::QEL_DB_KeySearch_o(h, sel[0], keyOf(0, e).c_str(), &r); }))
        sum += reinterpret_cast<const Item*>(chainDB::QEL_DB_RefTerm(ItemD(), h, r))->n;
      Memory::ReleaseGStack(mark);
    }
    f.lookup = t.Lap(p.lookups.size());
    for (auto [doctor, day] : p.scans) {
      uint8_t* mark = Memory::MarkGStack();
      std::wstring from = DoctorName(doctor) + L"." + Date(day), to = DoctorName(doctor) + L"." + Date(day + 7);
      chainDB::TRef r = 0;
      Kernel::Succeeds([&] { chainDB::QEL_DB_KeySearch_o(h, sel[0], from.c_str(), &r); });
      for (;;) {
        const wchar_t* k;
        if (!Kernel::Succeeds([&] { chainDB::QEL_DB_KeyCurrent(h, sel[0], &k, &r); })) break;
        if (lstrcmpW(k, to.c_str()) >= 0) break;
        sum += reinterpret_cast<const Item*>(chainDB::QEL_DB_RefTerm(ItemD(), h, r))->n;
        ++f.scanned;
        if (!Kernel::Succeeds([&] { chainDB::QEL_DB_KeyNext(h, sel[0], &r); })) break;
      }
      Memory::ReleaseGStack(mark);
    }
    f.scan = t.Lap(p.scans.size());
    int v = 0;
    for (int e : p.replaces) {
      uint8_t* mark = Memory::MarkGStack();
      chainDB::TRef r = 0;
      chainDB::QEL_DB_KeySearch_o(h, sel[0], keyOf(0, e).c_str(), &r);
      std::wstring text = RosterText(p.entries[e], ++v);
      chainDB::QEL_DB_TermReplace(ItemD(), h, r, MakeItem(e, text.c_str()));
      Memory::ReleaseGStack(mark);
    }
    f.replace = t.Lap(p.replaces.size());
    for (int e : p.deletes) {
      chainDB::TRef r = 0;
      chainDB::QEL_DB_KeySearch_o(h, sel[2], keyOf(2, e).c_str(), &r);
      for (int i = 0; i < 3; ++i) chainDB::QEL_DB_KeyDelete(h, sel[i], keyOf(i, e).c_str(), r);
      chainDB::QEL_DB_TermDelete(h, kChains[kAssignment], r);
    }
    f.erase = t.Lap(p.deletes.size());
    for (int e : p.inserts) {
      uint8_t* mark = Memory::MarkGStack();
      std::wstring text = RosterText(p.entries[e], e);
      chainDB::TRef r = chainDB::QEL_DB_ChainInsertz(ItemD(), h, kChains[kAssignment], MakeItem(e, text.c_str()));
      for (int i = 0; i < 3; ++i) chainDB::QEL_DB_KeyInsert(h, sel[i], keyOf(i, e).c_str(), r);
      Memory::ReleaseGStack(mark);
    }
    f.insert = t.Lap(p.inserts.size());
    chainDB::QEL_DB_Copy(h, doc.c_str(), &file);
    f.save = t.Lap(p.documentSize);
    f.session = t.Session();
    chainDB::QEL_DB_Close(h);
    chainDB::QEL_DB_Delete(memName.c_str(), &mem);
    (void)sum;
  });
  if (code) printf("chain database error %u\n", code);
  return f;
}

void SqliteRosterSchema(sqlite3* db) {
  for (const char* t : kTables)
    Exec(db, (std::string("CREATE TABLE ") + t + "(id INTEGER PRIMARY KEY, term BLOB)").c_str());
  for (int i = 0; i < 4; ++i)
    Exec(db, ("CREATE TABLE index" + std::to_string(i) +
              "(k TEXT COLLATE LSTRCMPW PRIMARY KEY, r INTEGER) WITHOUT ROWID").c_str());
}

sqlite3* SqliteFile(const std::string& path) {
  sqlite3* db;
  sqlite3_open(path.c_str(), &db);
  sqlite3_create_collation(db, "LSTRCMPW", SQLITE_UTF16LE, nullptr, Collate);
  Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
  return db;
}

void Backup(sqlite3* from, sqlite3* to) {
  sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
  if (!b || sqlite3_backup_step(b, -1) != SQLITE_DONE) printf("sqlite: backup: %s\n", sqlite3_errmsg(to));
  if (b) sqlite3_backup_finish(b);
}

// Index values name the term: entry number * 4 + kind.
int64_t Packed(int e, Kind k) { return int64_t{e + 1} * 4 + k; }

RosterFigures RosterSqlite(const RosterPlan& p, const std::string& doc) {
  RosterFigures f{};
  DeleteFileA(doc.c_str());
  sqlite3* db = SqliteFile(doc);
  SqliteRosterSchema(db);
  sqlite3_stmt *insTerm[3], *insKey[4], *getKey[4], *getTerm[3], *putTerm[3], *delKey[4], *delTerm[3], *range;
  auto prepare = [&](sqlite3* on) {
    for (int k = 0; k < 3; ++k) {
      std::string t = kTables[k];
      sqlite3_prepare_v2(on, ("INSERT INTO " + t + " VALUES(?, ?)").c_str(), -1, &insTerm[k], nullptr);
      sqlite3_prepare_v2(on, ("SELECT term FROM " + t + " WHERE id=?").c_str(), -1, &getTerm[k], nullptr);
      sqlite3_prepare_v2(on, ("UPDATE " + t + " SET term=? WHERE id=?").c_str(), -1, &putTerm[k], nullptr);
      sqlite3_prepare_v2(on, ("DELETE FROM " + t + " WHERE id=?").c_str(), -1, &delTerm[k], nullptr);
    }
    for (int i = 0; i < 4; ++i) {
      std::string t = "index" + std::to_string(i);
      sqlite3_prepare_v2(on, ("INSERT INTO " + t + " VALUES(?, ?)").c_str(), -1, &insKey[i], nullptr);
      sqlite3_prepare_v2(on, ("SELECT r FROM " + t + " WHERE k=?").c_str(), -1, &getKey[i], nullptr);
      sqlite3_prepare_v2(on, ("DELETE FROM " + t + " WHERE k=?").c_str(), -1, &delKey[i], nullptr);
    }
    sqlite3_prepare_v2(on, "SELECT r FROM index0 WHERE k>=? AND k<? ORDER BY k", -1, &range, nullptr);
  };
  auto finalize = [&] {
    for (int k = 0; k < 3; ++k)
      for (sqlite3_stmt* s : {insTerm[k], getTerm[k], putTerm[k], delTerm[k]}) sqlite3_finalize(s);
    for (int i = 0; i < 4; ++i)
      for (sqlite3_stmt* s : {insKey[i], getKey[i], delKey[i]}) sqlite3_finalize(s);
    sqlite3_finalize(range);
  };
  auto keyOf = [&](int index, int e) { return RosterKey(index, p.entries[e]); };
  auto run = [](sqlite3_stmt* s) {
    sqlite3_step(s);
    sqlite3_reset(s);
  };
  auto insert = [&](int e) {
    const RosterEntry& x = p.entries[e];
    uint8_t* mark = Memory::MarkGStack();
    std::wstring text = RosterText(x, e);
    const uint8_t* bytes;
    int len = Image(e, text.c_str(), &bytes);
    sqlite3_bind_int64(insTerm[x.kind], 1, e + 1);
    sqlite3_bind_blob(insTerm[x.kind], 2, bytes, len, SQLITE_STATIC);
    run(insTerm[x.kind]);
    for (int i = 0; i < 4; ++i)
      if (InIndex(i, x.kind)) {
        std::wstring k = keyOf(i, e);
        sqlite3_bind_text16(insKey[i], 1, k.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insKey[i], 2, Packed(e, x.kind));
        run(insKey[i]);
      }
    Memory::ReleaseGStack(mark);
  };
  // The value of a key, or 0.
  auto find = [&](int index, const std::wstring& k) {
    sqlite3_bind_text16(getKey[index], 1, k.c_str(), -1, SQLITE_TRANSIENT);
    int64_t r = sqlite3_step(getKey[index]) == SQLITE_ROW ? sqlite3_column_int64(getKey[index], 0) : 0;
    sqlite3_reset(getKey[index]);
    return r;
  };
  auto term = [&](int64_t r) {
    sqlite3_stmt* s = getTerm[r % 4];
    sqlite3_bind_int64(s, 1, r / 4);
    const Item* it = sqlite3_step(s) == SQLITE_ROW ? FromImage(sqlite3_column_blob(s, 0), sqlite3_column_bytes(s, 0))
                                                   : nullptr;
    sqlite3_reset(s);
    return it;
  };
  prepare(db);
  Exec(db, "BEGIN");
  for (int e = 0; e < p.documentSize; ++e) insert(e);
  Exec(db, "COMMIT");
  finalize();
  sqlite3_close(db);

  Phases t;
  db = SqliteFile(":memory:");
  sqlite3* d = SqliteFile(doc);
  Backup(d, db);
  sqlite3_close(d);
  prepare(db);
  f.load = t.Lap(p.documentSize);
  Exec(db, "BEGIN");
  int64_t sum = 0;
  for (int e : p.lookups) {
    uint8_t* mark = Memory::MarkGStack();
    if (int64_t r = find(0, keyOf(0, e))) sum += term(r)->n;
    Memory::ReleaseGStack(mark);
  }
  f.lookup = t.Lap(p.lookups.size());
  for (auto [doctor, day] : p.scans) {
    uint8_t* mark = Memory::MarkGStack();
    std::wstring from = DoctorName(doctor) + L"." + Date(day), to = DoctorName(doctor) + L"." + Date(day + 7);
    sqlite3_bind_text16(range, 1, from.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(range, 2, to.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(range) == SQLITE_ROW) {
      sum += term(sqlite3_column_int64(range, 0))->n;
      ++f.scanned;
    }
    sqlite3_reset(range);
    Memory::ReleaseGStack(mark);
  }
  f.scan = t.Lap(p.scans.size());
  int v = 0;
  for (int e : p.replaces) {
    uint8_t* mark = Memory::MarkGStack();
    int64_t r = find(0, keyOf(0, e));
    std::wstring text = RosterText(p.entries[e], ++v);
    const uint8_t* bytes;
    int len = Image(e, text.c_str(), &bytes);
    sqlite3_bind_blob(putTerm[r % 4], 1, bytes, len, SQLITE_STATIC);
    sqlite3_bind_int64(putTerm[r % 4], 2, r / 4);
    run(putTerm[r % 4]);
    Memory::ReleaseGStack(mark);
  }
  f.replace = t.Lap(p.replaces.size());
  for (int e : p.deletes) {
    int64_t r = find(2, keyOf(2, e));
    for (int i = 0; i < 3; ++i) {
      std::wstring k = keyOf(i, e);
      sqlite3_bind_text16(delKey[i], 1, k.c_str(), -1, SQLITE_TRANSIENT);
      run(delKey[i]);
    }
    sqlite3_bind_int64(delTerm[r % 4], 1, r / 4);
    run(delTerm[r % 4]);
  }
  f.erase = t.Lap(p.deletes.size());
  for (int e : p.inserts) insert(e);
  f.insert = t.Lap(p.inserts.size());
  Exec(db, "COMMIT");
  d = SqliteFile(doc);
  Backup(db, d);
  sqlite3_close(d);
  f.save = t.Lap(p.documentSize);
  f.session = t.Session();
  finalize();
  sqlite3_close(db);
  (void)sum;
  return f;
}

RosterFigures RosterLmdb(const RosterPlan& p, const std::string& doc, const std::string& work) {
  RosterFigures f{};
  MDB_dbi terms[3], index[4];
  auto open = [&](MDB_env* env) {
    MDB_txn* txn = Begin(env);
    for (int k = 0; k < 3; ++k) terms[k] = LmdbTable(txn, kTables[k], false);
    for (int i = 0; i < 4; ++i) index[i] = LmdbTable(txn, ("index" + std::to_string(i)).c_str(), true);
    Commit(txn);
  };
  auto keyOf = [&](int index, int e) { return RosterKey(index, p.entries[e]); };
  auto insert = [&](MDB_txn* txn, int e) {
    const RosterEntry& x = p.entries[e];
    uint8_t* mark = Memory::MarkGStack();
    std::wstring text = RosterText(x, e);
    const uint8_t* bytes;
    int len = Image(e, text.c_str(), &bytes);
    uint32_t id = e + 1;
    MDB_val k = Val(&id, 4), v = Val(bytes, len);
    Check(mdb_put(txn, terms[x.kind], &k, &v, 0), "put");
    uint64_t r = Packed(e, x.kind);
    for (int i = 0; i < 4; ++i)
      if (InIndex(i, x.kind)) {
        std::wstring key = keyOf(i, e);
        MDB_val kk = KeyVal(key), rv = Val(&r, 8);
        Check(mdb_put(txn, index[i], &kk, &rv, 0), "put");
      }
    Memory::ReleaseGStack(mark);
  };
  auto find = [&](MDB_txn* txn, int i, const std::wstring& key) {
    MDB_val k = KeyVal(key), v;
    uint64_t r = 0;
    if (mdb_get(txn, index[i], &k, &v) == MDB_SUCCESS) memcpy(&r, v.mv_data, 8);
    return r;
  };
  auto term = [&](MDB_txn* txn, uint64_t r) {
    uint32_t id = static_cast<uint32_t>(r / 4);
    MDB_val k = Val(&id, 4), v;
    return mdb_get(txn, terms[r % 4], &k, &v) == MDB_SUCCESS ? FromImage(v.mv_data, v.mv_size) : nullptr;
  };
  MDB_env* env = LmdbOpen(doc, true);
  open(env);
  MDB_txn* txn = Begin(env);
  for (int e = 0; e < p.documentSize; ++e) insert(txn, e);
  Commit(txn);
  mdb_env_close(env);

  Phases t;
  env = LmdbOpen(doc, true, false);
  LmdbRemove(work);
  Check(mdb_env_copy(env, work.c_str()), "copy");
  mdb_env_close(env);
  env = LmdbOpen(work, false, false);
  open(env);
  f.load = t.Lap(p.documentSize);
  int64_t sum = 0;
  txn = Begin(env);
  for (int e : p.lookups) {
    uint8_t* mark = Memory::MarkGStack();
    if (uint64_t r = find(txn, 0, keyOf(0, e))) sum += term(txn, r)->n;
    Memory::ReleaseGStack(mark);
  }
  f.lookup = t.Lap(p.lookups.size());
  MDB_cursor* c;
  mdb_cursor_open(txn, index[0], &c);
  for (auto [doctor, day] : p.scans) {
    uint8_t* mark = Memory::MarkGStack();
    std::wstring from = DoctorName(doctor) + L"." + Date(day), to = DoctorName(doctor) + L"." + Date(day + 7);
    MDB_val k = KeyVal(from), v;
    for (int rc = mdb_cursor_get(c, &k, &v, MDB_SET_RANGE); rc == MDB_SUCCESS;
         rc = mdb_cursor_get(c, &k, &v, MDB_NEXT)) {
      if (lstrcmpW(static_cast<const wchar_t*>(k.mv_data), to.c_str()) >= 0) break;
      uint64_t r;
      memcpy(&r, v.mv_data, 8);
      sum += term(txn, r)->n;
      ++f.scanned;
    }
    Memory::ReleaseGStack(mark);
  }
  mdb_cursor_close(c);
  f.scan = t.Lap(p.scans.size());
  int n = 0;
  for (int e : p.replaces) {
    uint8_t* mark = Memory::MarkGStack();
    uint64_t r = find(txn, 0, keyOf(0, e));
    std::wstring text = RosterText(p.entries[e], ++n);
    const uint8_t* bytes;
    int len = Image(e, text.c_str(), &bytes);
    uint32_t id = static_cast<uint32_t>(r / 4);
    MDB_val k = Val(&id, 4), v = Val(bytes, len);
    Check(mdb_put(txn, terms[r % 4], &k, &v, 0), "put");
    Memory::ReleaseGStack(mark);
  }
  f.replace = t.Lap(p.replaces.size());
  for (int e : p.deletes) {
    uint64_t r = find(txn, 2, keyOf(2, e));
    for (int i = 0; i < 3; ++i) {
      std::wstring key = keyOf(i, e);
      MDB_val k = KeyVal(key);
      Check(mdb_del(txn, index[i], &k, nullptr), "del");
    }
    uint32_t id = static_cast<uint32_t>(r / 4);
    MDB_val k = Val(&id, 4);
    Check(mdb_del(txn, terms[r % 4], &k, nullptr), "del");
  }
  f.erase = t.Lap(p.deletes.size());
  for (int e : p.inserts) insert(txn, e);
  f.insert = t.Lap(p.inserts.size());
  Commit(txn);
  std::string temp = doc + "~tmp";
  DeleteFileA(temp.c_str());
  Check(mdb_env_copy(env, temp.c_str()), "copy");
  if (!MoveFileExA(temp.c_str(), doc.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    printf("lmdb: rename failed %lu\n", GetLastError());
  f.save = t.Lap(p.documentSize);
  f.session = t.Session();
  mdb_env_close(env);
  LmdbRemove(work);
  LmdbRemove(doc);
  (void)sum;
  return f;
}

void Row(const char* what, double ours, double theirs, double lmdb);

// Each figure the best of `rounds` sessions, the sides taking turns (a
// shared machine's noise hits every side alike).
RosterFigures Best(const RosterFigures& x, const RosterFigures& y) {
  return {std::max(x.load, y.load),       std::max(x.lookup, y.lookup), std::max(x.scan, y.scan),
          std::max(x.replace, y.replace), std::max(x.erase, y.erase),   std::max(x.insert, y.insert),
          std::max(x.save, y.save),       std::max(x.session, y.session), y.scanned};
}

void Roster(int ops, int rounds, const std::wstring& dir, const std::string& dir8) {
  RosterPlan p = MakeRosterPlan(ops);
  RosterFigures a{}, b{}, c{};
  for (int round = 0; round < rounds; ++round) {
    a = Best(a, RosterChainDb(p, dir + L"roster.km6"));
    b = Best(b, RosterSqlite(p, dir8 + "roster.sqlite"));
    c = Best(c, RosterLmdb(p, dir8 + "roster.lmdb", dir8 + "roster-work.lmdb"));
  }
  printf("roster: 60 doctors, a year, %d terms, 4 indexes, best of %d sessions; ops/s (load and save: "
         "terms/s)\n",
         p.documentSize, rounds);
  printf("             chain db      SQLite        LMDB  vs SQLite  vs LMDB\n");
  Row("load", a.load, b.load, c.load);
  Row("lookup", a.lookup, b.lookup, c.lookup);
  Row("scan 7d", a.scan, b.scan, c.scan);
  Row("replace", a.replace, b.replace, c.replace);
  Row("delete", a.erase, b.erase, c.erase);
  Row("insert", a.insert, b.insert, c.insert);
  Row("save", a.save, b.save, c.save);
  Row("session", a.session, b.session, c.session);
  if (a.scanned != b.scanned || a.scanned != c.scanned)
    printf("  scanned terms differ: %d %d %d\n", a.scanned, b.scanned, c.scanned);
  DeleteFileW((dir + L"roster.km6").c_str());
  DeleteFileA((dir8 + "roster.sqlite").c_str());
}

void Row(const char* what, double ours, double theirs, double lmdb) {
  printf("  %-9s %11.0f %11.0f %11.0f %8.2fx %8.2fx\n", what, ours, theirs, lmdb, ours / theirs, ours / lmdb);
}

}  // namespace

int main(int argc, char** argv) {
  int max = argc > 1 ? atoi(argv[1]) : 100000;
  int rosterOps = argc > 2 ? atoi(argv[2]) : 20000;
  int rounds = argc > 3 ? atoi(argv[3]) : 3;
  if (RunUnitInitialization(nullptr, reinterpret_cast<void*>(&main), unit.Table(), nullptr)) return 1;
  if (max >= 1000000) g_mapSize = size_t{4} << 30;
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring ours = std::wstring(tmp) + L"bench_chaindb.km6";
  std::string dir;
  for (wchar_t* p = tmp; *p; ++p) dir += static_cast<char>(*p);
  std::string theirs = dir + "bench_chaindb.sqlite", lmdb = dir + "bench_chaindb.lmdb";
  const char* columns = "             chain db      SQLite        LMDB  vs SQLite  vs LMDB";
  printf("terms: ops/s (LMDB memory rows: a file without syncs)\n%s\n", columns);
  for (int n = 1000; n <= max; n *= 10) {
    for (bool file : {false, true}) {
      Figures a = RunChainDb(n, file, file ? ours : L"bench-memory");
      Figures b = RunSqlite(n, file, theirs);
      Figures c = RunLmdb(n, file, lmdb);
      printf("%d terms, %s\n", n, file ? "file" : "memory");
      Row("insert", a.insert, b.insert, c.insert);
      Row("read", a.read, b.read, c.read);
      Row("replace", a.replace, b.replace, c.replace);
      Row("walk", a.walk, b.walk, c.walk);
      Row("delete", a.erase, b.erase, c.erase);
    }
  }
  printf("B+tree keys (order 16, 24 characters, lstrcmpW on every side): ops/s\n%s\n", columns);
  for (int n = 1000; n <= max; n *= 10) {
    for (bool file : {false, true}) {
      KeyFigures a = RunChainDbKeys(n, file, file ? ours : L"bench-keys");
      KeyFigures b = RunSqliteKeys(n, file, theirs);
      KeyFigures c = RunLmdbKeys(n, file, lmdb);
      printf("%d keys, %s\n", n, file ? "file" : "memory");
      Row("insert", a.insert, b.insert, c.insert);
      Row("search", a.search, b.search, c.search);
      Row("scan", a.scan, b.scan, c.scan);
      Row("delete", a.erase, b.erase, c.erase);
    }
  }
  double a[2], b[2], c[2];
  Transactions(1000, ours, theirs, lmdb, a, b, c);
  printf("transactions per second, one process, synced commits (SQLite: BEGIN IMMEDIATE/COMMIT)\n%s\n",
         columns);
  Row("rw", a[0], b[0], c[0]);
  Row("read", a[1], b[1], c[1]);
  Roster(rosterOps, rounds, std::wstring(tmp), dir);
  DeleteFileW(ours.c_str());
  DeleteFileA(theirs.c_str());
  return 0;
}
