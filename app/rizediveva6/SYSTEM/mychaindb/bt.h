// bt: one named B+tree of a chain database as an object: opened or created
// by name, with key insertion, deletion, search, cursor moves and three
// enumerations (in key order, in pairs, in a random order).
//
// Invariants:
//  - Key operations act only in state_is_open; misuse in another state is
//    reported through myKWI::error with the texts below, never raised.
//  - Lookups and cursor moves fail (false) instead of raising; errors of the
//    database in insertions and deletions reach the caller.
//  - Keys are compared as the tree stores them: cut to the key length.
//  - The object's facts hold only heap data (names, the database object).
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "chainDB/chainDb.h"

namespace rizediveva6 {

enum class bt_class_state : uint8_t { state_is_open = 1, state_is_closed, unknown };

struct KeyRef {
  const wchar_t* key;
  int32_t ref;
};
// key_pair(Key, Ref) | no_pair: `present` false for no_pair.
struct key_pair {
  bool present;
  const wchar_t* key;
  int32_t ref;
};
struct KeyPairs {
  key_pair current;
  key_pair next;
};

class bt {
 public:
  static const tav::ClassInfo classInfo;

  // Opens the tree Name of db, or creates it with these parameters; key
  // length and order outside 1..2147483647 raise the range error 302.
  static bt* new_(tav::chainDB* db, const wchar_t* name, uint32_t keyLength, uint32_t order,
                  int32_t duplicates);
  // A fresh memory database Name holding one new tree Name.
  static bt* new_volatile(const wchar_t* name, uint32_t keyLength, uint32_t order, int32_t duplicates);
  // Deletes the tree; an error of the database is ignored.
  static void delete_a_closed_bt(tav::chainDB* db, const wchar_t* name);
  static bool nd_member(const SList* list, tav::Each<const wchar_t*> k);
  static bool nd_member_ref(const List<int32_t>* refs, tav::Each<int32_t> k);

  virtual int32_t get_bt();
  virtual tav::chainDB* get_db();
  virtual void beet_close();
  virtual void beet_delete();
  virtual void beet_clear();
  virtual bool kee_current(const wchar_t** key, int32_t* ref);
  virtual bool kee_first(int32_t* ref);
  virtual bool kee_last(int32_t* ref);
  virtual void kee_insert(const wchar_t* key, int32_t ref);
  virtual void kee_delete(const wchar_t* key, int32_t ref);
  virtual bool kee_delete(const wchar_t* key);
  virtual bool kee_search(const wchar_t* key, int32_t* ref);
  virtual const List<int32_t>* kee_all(const wchar_t* key);
  virtual bool kee_next(int32_t* ref);
  virtual bool kee_prev(int32_t* ref);
  virtual bool nd_random_key(tav::Each<KeyRef> k);
  virtual bool nd_kee1(tav::Each<KeyRef> k);
  virtual bool nd_kee2(tav::Each<KeyPairs> k);
  virtual void set_continue(bool go);

  // db_bt
  bool hasTree = false;
  tav::chainDB* db = nullptr;
  const wchar_t* name = nullptr;
  int32_t selector = 0;
  uint32_t keyLength = 0;
  uint32_t order = 0;
  int32_t duplicates = 0;
  bt_class_state state = bt_class_state::unknown;
  bool isVolatile = false;  // db_chain: db is the tree's own memory database
  bool xcontinue = true;

 private:
  bool Open() const { return state == bt_class_state::state_is_open; }
  const wchar_t* Cut(const wchar_t* key) const;
};

}  // namespace rizediveva6
