#include "chainDB/chainDb.h"

#include "stream/stream.h"

#include <atomic>

namespace tav {

namespace lib = ::chainDB;

const ClassInfo chainDB::classInfo{L"com/corvane/chainDB/chainDB_handle", TAV_CLASS_VERSION};

namespace {

template <class Open>
chainDB* Construct(Open&& open) {
  lib::FILEDESCR** h = nullptr;
  open(&h);
  chainDB* db = NewObject<chainDB>();
  db->handle = h;
  return db;
}

const uint8_t* Byte(const place& p) { return reinterpret_cast<const uint8_t*>(&p); }

std::atomic<uint64_t> writeCount{1};

// Counts a call that may change a database, before the library runs it: a
// call that raises halfway has counted too.
void Wrote() { writeCount.fetch_add(1, std::memory_order_relaxed); }

// Runs an export that may fail.
template <class F>
bool May(F&& f) {
  return K::Succeeds(f);
}

}  // namespace

chainDB* chainDB::db_create(const wchar_t* name, place p) {
  Wrote();
  return Construct([&](lib::FILEDESCR*** h) { lib::QEL_DB_Create(h, name, Byte(p)); });
}
chainDB* chainDB::db_open(const wchar_t* name, place p) {
  Wrote();
  return Construct([&](lib::FILEDESCR*** h) { lib::QEL_DB_Open(h, name, Byte(p)); });
}
chainDB* chainDB::db_openread(const wchar_t* name, place p) {
  Wrote();
  return Construct([&](lib::FILEDESCR*** h) { lib::QEL_DB_OpenRead(h, name, Byte(p)); });
}
chainDB* chainDB::db_open(const wchar_t* name, accessmode access, denymode deny) {
  Wrote();
  return Construct([&](lib::FILEDESCR*** h) {
    lib::QEL_DB_OpenShare(h, name, reinterpret_cast<const uint8_t*>(&access), reinterpret_cast<const uint8_t*>(&deny));
  });
}
chainDB* chainDB::db_openinvalid(const wchar_t* name, place p) {
  Wrote();
  return Construct([&](lib::FILEDESCR*** h) { lib::QEL_DB_OpenInvalid(h, name, Byte(p)); });
}

void chainDB::db_load(const wchar_t* fileName, const wchar_t* memoryName) { Wrote(); lib::QEL_DB_Load(fileName, memoryName); }
void chainDB::db_delete(const wchar_t* name, place p) { Wrote(); lib::QEL_DB_Delete(name, Byte(p)); }

uint64_t chainDB::writes() { return writeCount.load(std::memory_order_relaxed); }

const wchar_t* chainDB::str_ref(int32_t ref) { return lib::ConvertRef2Str(ref); }
bool chainDB::str_ref(const wchar_t* text, int32_t ref) { return wcscmp(lib::ConvertRef2Str(ref), text) == 0; }
bool chainDB::str_ref(const wchar_t* text, int32_t* ref) {
  return May([&] { *ref = lib::ConvertStr2Ref(text); });
}

void chainDB::bt_close(int32_t s) { lib::QEL_DB_BtClose(handle, s); }
void chainDB::bt_copyselector(int32_t s, int32_t* c) { lib::QEL_DB_BtCopySelector(handle, s, c); }
void chainDB::bt_create(const wchar_t* n, int32_t* s, int32_t k, int32_t o) { Wrote(); lib::QEL_DB_BtCreate5(handle, n, s, k, o); }
void chainDB::bt_create(const wchar_t* n, int32_t* s, int32_t k, int32_t o, bool d) {
  Wrote();
  lib::QEL_DB_BtCreate6(handle, n, s, k, o, d);
}
void chainDB::bt_delete(const wchar_t* n) { Wrote(); lib::QEL_DB_BtDelete(handle, n); }
void chainDB::bt_open(const wchar_t* n, int32_t* s) { lib::QEL_DB_BtOpen(handle, n, s); }
void chainDB::bt_statistics(int32_t s, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d, uint32_t* e, uint32_t* f) {
  lib::QEL_DB_BtStatistics(handle, s, a, b, c, d, e, f);
}
bool chainDB::bt_updated(int32_t s) { return May([&] { lib::QEL_DB_BtUpdated(handle, s); }); }
bool chainDB::chain_delete(const wchar_t* c) {
  Wrote();
  return May([&] { lib::QEL_DB_ChainDelete(handle, c); });
}
bool chainDB::chain_first(const wchar_t* c, int32_t* r) { return May([&] { *r = lib::QEL_DB_ChainFirst(handle, c); }); }
void chainDB::chain_inserta(const IDomainDefinition* d, const wchar_t* c, term t, int32_t* r) {
  Wrote();
  *r = lib::QEL_DB_ChainInserta(d, handle, c, t);
}
void chainDB::chain_insertafter(const IDomainDefinition* d, const wchar_t* c, int32_t a, term t, int32_t* r) {
  Wrote();
  *r = lib::QEL_DB_ChainInsertAfter(d, handle, c, a, t);
}
void chainDB::chain_insertz(const IDomainDefinition* d, const wchar_t* c, term t, int32_t* r) {
  Wrote();
  *r = lib::QEL_DB_ChainInsertz(d, handle, c, t);
}
bool chainDB::chain_last(const wchar_t* c, int32_t* r) { return May([&] { *r = lib::QEL_DB_ChainLast(handle, c); }); }
bool chainDB::chain_next(int32_t r, int32_t* n) { return May([&] { *n = lib::QEL_DB_ChainNext(handle, r); }); }
bool chainDB::chain_prev(int32_t r, int32_t* p) { return May([&] { *p = lib::QEL_DB_ChainPrev(handle, r); }); }
bool chainDB::chain_terms(const IDomainDefinition* d, const wchar_t* c, Each<RefTerm> k) {
  return May([&] {
    lib::QEL_DB_ChainTerms(d, handle, c, [](void* ctx, term t, int32_t r) {
      (*static_cast<Each<RefTerm>*>(ctx))(RefTerm{t, r});
    }, &k);
  });
}
void chainDB::db_begintransaction(accessmode m) {
  Wrote();
  lib::QEL_DB_BeginTransaction(handle, reinterpret_cast<const uint8_t*>(&m));
}
bool chainDB::db_btrees(Each<const wchar_t*> k) {
  return May([&] {
    lib::QEL_DB_BTrees(handle, [](void* ctx, const wchar_t* n) { (*static_cast<Each<const wchar_t*>*>(ctx))(n); }, &k);
  });
}
bool chainDB::db_chains(Each<const wchar_t*> k) {
  return May([&] {
    lib::QEL_DB_Chains(handle, [](void* ctx, const wchar_t* n) { (*static_cast<Each<const wchar_t*>*>(ctx))(n); }, &k);
  });
}
void chainDB::db_close() { Wrote(); lib::QEL_DB_Close(handle); }
void chainDB::db_copy(const wchar_t* n, place p) { Wrote(); lib::QEL_DB_Copy(handle, n, Byte(p)); }
void chainDB::db_endtransaction() { Wrote(); lib::QEL_DB_EndTransaction(handle); }
void chainDB::db_flush() { lib::QEL_DB_Flush(handle); }
void chainDB::db_garbagecollect() { Wrote(); lib::QEL_DB_GarbageCollect(handle); }
void chainDB::db_reuserefs(int32_t reuse) { lib::QEL_DB_ReUseRef(handle, reuse != 0); }
void chainDB::db_setretry(int32_t sleepPeriod, int32_t retryCount) { lib::QEL_DB_SetRetry(handle, sleepPeriod, retryCount); }
void chainDB::db_statistics(uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d) { lib::QEL_DB_Statistics(handle, a, b, c, d); }
bool chainDB::db_updated() { return May([&] { lib::QEL_DB_Updated(handle); }); }
bool chainDB::key_current(int32_t s, const wchar_t** k, int32_t* r) {
  return May([&] { lib::QEL_DB_KeyCurrent(handle, s, k, r); });
}
void chainDB::key_delete(int32_t s, const wchar_t* k, int32_t r) { Wrote(); lib::QEL_DB_KeyDelete(handle, s, k, r); }
bool chainDB::key_first(int32_t s, int32_t* r) { return May([&] { lib::QEL_DB_KeyFirst(handle, s, r); }); }
void chainDB::key_insert(int32_t s, const wchar_t* k, int32_t r) { Wrote(); lib::QEL_DB_KeyInsert(handle, s, k, r); }
bool chainDB::key_last(int32_t s, int32_t* r) { return May([&] { lib::QEL_DB_KeyLast(handle, s, r); }); }
bool chainDB::key_next(int32_t s, int32_t* r) { return May([&] { lib::QEL_DB_KeyNext(handle, s, r); }); }
bool chainDB::key_prev(int32_t s, int32_t* r) { return May([&] { lib::QEL_DB_KeyPrev(handle, s, r); }); }
bool chainDB::key_search(int32_t s, const wchar_t* k, int32_t* r) {
  return May([&] { lib::QEL_DB_KeySearch_o(handle, s, k, r); });
}
bool chainDB::key_search(int32_t s, const wchar_t* k, int32_t r) {
  return May([&] { lib::QEL_DB_KeySearch_i(handle, s, k, r); });
}
term chainDB::ref_term(const IDomainDefinition* d, int32_t r) { return lib::QEL_DB_RefTerm(d, handle, r); }
void chainDB::term_delete(const wchar_t* c, int32_t r) { Wrote(); lib::QEL_DB_TermDelete(handle, c, r); }
void chainDB::term_replace(const IDomainDefinition* d, int32_t r, term t) { Wrote(); lib::QEL_DB_TermReplace(d, handle, r, t); }

}  // namespace tav
