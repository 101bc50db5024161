// chainDB: one open chain database as an object.  Every constructor, class
// predicate and method hands its arguments unchanged to the export of the
// same name of qel6chaindb, with the object's handle in front (typed calls:
// the term's domain record first), and returns what the export returns.
// Methods that may fail return false; the enumerators hand each solution to
// the caller's continuation and return false when the solutions run out.
// Errors of the library pass through unchanged.  The handle is never changed
// after construction: db_close empties the library's cell, so later calls
// raise 1304 and a second db_close does nothing.
// A process-wide count (in memory only) advances before every call that may
// change what any database holds or which databases are open: opens,
// creates, loads, copies, deletes, closes, transaction ends and starts,
// inserts, replaces, deletes of terms, chains, keys and trees, and garbage
// collection.  While it stands, no database changed through these objects.
#pragma once

#include "core/core.h"
#include "qel6chaindb.h"

namespace tav {

enum class place : uint8_t { in_memory = 1, in_file = 2 };
enum class accessmode : uint8_t { read = 1, readwrite = 2 };
enum class denymode : uint8_t { denynone = 1, denywrite = 2, denyall = 3 };

struct RefTerm {
  term t;
  int32_t ref;
};

class chainDB {
 public:
  static const ClassInfo classInfo;

  static chainDB* db_create(const wchar_t* name, place p);
  static chainDB* db_open(const wchar_t* name, place p);
  static chainDB* db_openread(const wchar_t* name, place p);
  static chainDB* db_open(const wchar_t* name, accessmode access, denymode deny);
  static chainDB* db_openinvalid(const wchar_t* name, place p);

  static void db_load(const wchar_t* fileName, const wchar_t* memoryName);
  static void db_delete(const wchar_t* name, place p);
  // str_ref in its three flows: reference to text; both given (exact
  // comparison with the text made from the reference); text to reference.
  static const wchar_t* str_ref(int32_t ref);
  static bool str_ref(const wchar_t* text, int32_t ref);
  static bool str_ref(const wchar_t* text, int32_t* ref);
  // The count of possible changes so far (never 0).
  static uint64_t writes();

  // The 41 methods, in slot order.
  virtual void bt_close(int32_t selector);
  virtual void bt_copyselector(int32_t selector, int32_t* copy);
  virtual void bt_create(const wchar_t* name, int32_t* selector, int32_t keyLength, int32_t order);
  virtual void bt_create(const wchar_t* name, int32_t* selector, int32_t keyLength, int32_t order,
                         bool duplicates);
  virtual void bt_delete(const wchar_t* name);
  virtual void bt_open(const wchar_t* name, int32_t* selector);
  virtual void bt_statistics(int32_t selector, uint32_t* keys, uint32_t* nodes, uint32_t* depth,
                             uint32_t* keyLength, uint32_t* order, uint32_t* nodeSize);
  virtual bool bt_updated(int32_t selector);
  virtual bool chain_delete(const wchar_t* chain);
  virtual bool chain_first(const wchar_t* chain, int32_t* ref);
  virtual void chain_inserta(const IDomainDefinition* d, const wchar_t* chain, term t, int32_t* ref);
  virtual void chain_insertafter(const IDomainDefinition* d, const wchar_t* chain, int32_t after, term t,
                                 int32_t* ref);
  virtual void chain_insertz(const IDomainDefinition* d, const wchar_t* chain, term t, int32_t* ref);
  virtual bool chain_last(const wchar_t* chain, int32_t* ref);
  virtual bool chain_next(int32_t ref, int32_t* next);
  virtual bool chain_prev(int32_t ref, int32_t* prev);
  virtual bool chain_terms(const IDomainDefinition* d, const wchar_t* chain, Each<RefTerm> k);
  virtual void db_begintransaction(accessmode mode);
  virtual bool db_btrees(Each<const wchar_t*> k);
  virtual bool db_chains(Each<const wchar_t*> k);
  virtual void db_close();
  virtual void db_copy(const wchar_t* name, place p);
  virtual void db_endtransaction();
  virtual void db_flush();
  virtual void db_garbagecollect();
  virtual void db_reuserefs(int32_t reuse);
  virtual void db_setretry(int32_t sleepPeriod, int32_t retryCount);
  virtual void db_statistics(uint32_t* terms, uint32_t* memory, uint32_t* inUse, uint32_t* freeSpace);
  virtual bool db_updated();
  virtual bool key_current(int32_t selector, const wchar_t** key, int32_t* ref);
  virtual void key_delete(int32_t selector, const wchar_t* key, int32_t ref);
  virtual bool key_first(int32_t selector, int32_t* ref);
  virtual void key_insert(int32_t selector, const wchar_t* key, int32_t ref);
  virtual bool key_last(int32_t selector, int32_t* ref);
  virtual bool key_next(int32_t selector, int32_t* ref);
  virtual bool key_prev(int32_t selector, int32_t* ref);
  virtual bool key_search(int32_t selector, const wchar_t* key, int32_t* ref);
  virtual bool key_search(int32_t selector, const wchar_t* key, int32_t ref);
  virtual term ref_term(const IDomainDefinition* d, int32_t ref);
  virtual void term_delete(const wchar_t* chain, int32_t ref);
  virtual void term_replace(const IDomainDefinition* d, int32_t ref, term t);

  ::chainDB::FILEDESCR** handle = nullptr;
  void* spare = nullptr;
};

}  // namespace tav
