// bt: see the header.
#include "SYSTEM/mychaindb/bt.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "qel6run_lib.h"
#include "stream/stream.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;

const ClassInfo bt::classInfo{L"qel6pack/chainDB/bt_class", TAV_CLASS_VERSION};

namespace {

bool HasTree(chainDB* db, const wchar_t* name) {
  return db->db_btrees([&](const wchar_t* n) {
    if (wcscmp(n, name) != 0) K::Fail();
  });
}

bt* Make(chainDB* db, const wchar_t* name, uint32_t keyLength, uint32_t order, int32_t duplicates) {
  bt* b = NewObject<bt>();
  b->hasTree = true;
  b->db = db;
  b->name = HeapCopy(name);
  b->keyLength = keyLength;
  b->order = order;
  b->duplicates = duplicates;
  b->state = bt_class_state::state_is_open;
  return b;
}

void Create(chainDB* db, const wchar_t* name, int32_t* selector, uint32_t keyLength, uint32_t order,
            int32_t duplicates) {
  db->bt_create(name, selector, static_cast<int32_t>(keyLength), static_cast<int32_t>(order), duplicates != 0);
}

// One shuffle: each key to the front or the back by a draw below 10.
const SList* Shuffle(const SList* keys) {
  const SList* front = Nil<const wchar_t*>();
  ListBuilder<const wchar_t*> back(true);
  for (; !keys->Empty(); keys = keys->tail) {
    if (QelMath::Random_1(10) < 5) {
      auto* cell = static_cast<SList*>(K::Memory::AllocHeap(sizeof(SList)));
      *cell = SList{1, keys->head, front};
      front = cell;
    } else {
      back.Add(keys->head);
    }
  }
  // front (newest first) followed by back in order.
  return orv_list::append_list(front, back.Finish());
}

}  // namespace

bt* bt::new_(chainDB* db, const wchar_t* name, uint32_t keyLength, uint32_t order, int32_t duplicates) {
  CheckRange(domains::bt_size, keyLength);
  CheckRange(domains::bt_size, order);
  int32_t selector;
  if (HasTree(db, name)) db->bt_open(name, &selector);
  else Create(db, name, &selector, keyLength, order, duplicates);
  bt* b = Make(db, name, keyLength, order, duplicates);
  b->selector = selector;
  return b;
}

bt* bt::new_volatile(const wchar_t* name, uint32_t keyLength, uint32_t order, int32_t duplicates) {
  CheckRange(domains::bt_size, keyLength);
  CheckRange(domains::bt_size, order);
  chainDB* db = chainDB::db_create(name, place::in_memory);
  int32_t selector;
  Create(db, name, &selector, keyLength, order, duplicates);
  bt* b = Make(db, name, keyLength, order, duplicates);
  b->selector = selector;
  b->isVolatile = true;
  return b;
}

void bt::delete_a_closed_bt(chainDB* db, const wchar_t* name) {
  TrapAndForget([&] { db->bt_delete(name); });
}

bool bt::nd_member(const SList* list, Each<const wchar_t*> k) { return orv_list::nd_member(list, k); }
bool bt::nd_member_ref(const List<int32_t>* refs, Each<int32_t> k) { return orv_list::nd_member(refs, k); }

int32_t bt::get_bt() {
  if (hasTree) return selector;
  myKWI::error(L"OBJECT database_object get_bt Error 701");
  return 0;
}

chainDB* bt::get_db() { return isVolatile ? db : nullptr; }

void bt::beet_close() {
  if (state == bt_class_state::unknown) return myKWI::error(L"bt close error 98");
  if (!Open()) return;
  db->bt_close(selector);
  state = bt_class_state::state_is_closed;
}

void bt::beet_delete() {
  if (state == bt_class_state::unknown) return myKWI::error(L"bt delete error 97");
  beet_close();
  db->bt_delete(name);
  if (isVolatile) {
    isVolatile = false;
    db->db_close();
    chainDB::db_delete(name, place::in_memory);
  }
  state = bt_class_state::unknown;
}

void bt::beet_clear() {
  if (!Open()) return;
  db->bt_close(selector);
  TrapAndForget([&] { db->bt_delete(name); });
  int32_t fresh;
  Create(db, name, &fresh, keyLength, order, duplicates);
  selector = fresh;
}

bool bt::kee_current(const wchar_t** key, int32_t* ref) {
  if (!Open()) return false;
  bool found = false;
  TrapAndForget([&] { found = db->key_current(selector, key, ref); });
  return found;
}

bool bt::kee_first(int32_t* ref) { return Open() && db->key_first(selector, ref); }
bool bt::kee_last(int32_t* ref) { return Open() && db->key_last(selector, ref); }
bool bt::kee_next(int32_t* ref) { return Open() && db->key_next(selector, ref); }
bool bt::kee_prev(int32_t* ref) { return Open() && db->key_prev(selector, ref); }

void bt::kee_insert(const wchar_t* key, int32_t ref) {
  if (!Open()) return myKWI::error(L"kee insert error 94");
  db->key_insert(selector, key, ref);
}

void bt::kee_delete(const wchar_t* key, int32_t ref) {
  if (!Open()) return myKWI::error(L"kee delete error 93");
  db->key_delete(selector, key, ref);
}

bool bt::kee_delete(const wchar_t* key) {
  int32_t ref;
  if (!kee_search(key, &ref)) return false;
  db->key_delete(selector, key, ref);
  return true;
}

bool bt::kee_search(const wchar_t* key, int32_t* ref) {
  if (!Open()) return false;
  bool found = false;
  TrapAndForget([&] { found = db->key_search(selector, key, ref); });
  return found;
}

const wchar_t* bt::Cut(const wchar_t* key) const {
  if (wcslen(key) <= keyLength) return key;
  const wchar_t *front, *rest;
  string::front(key, keyLength, &front, &rest);
  return front;
}

const List<int32_t>* bt::kee_all(const wchar_t* key) {
  ListBuilder<int32_t> refs;
  int32_t ref;
  const wchar_t* cut = Cut(key);
  if (!kee_first(&ref) || !kee_search(cut, &ref)) return refs.Finish();
  const wchar_t* at;
  while (kee_current(&at, &ref) && wcscmp(at, cut) == 0) {
    bool seen = false;
    for (const List<int32_t>* l = refs.Finish(); !l->Empty() && !seen; l = l->tail) seen = l->head == ref;
    if (!seen) refs.Add(ref);
    if (!kee_next(&ref)) break;
  }
  return refs.Finish();
}

bool bt::nd_kee1(Each<KeyRef> k) {
  KeyRef e;
  if (!kee_current(&e.key, &e.ref)) return false;
  for (;;) {
    if (TrySolution(k, e)) return true;
    int32_t ref;
    if (!xcontinue || !kee_next(&ref) || !kee_current(&e.key, &e.ref)) return false;
  }
}

bool bt::nd_kee2(Each<KeyPairs> k) {
  KeyPairs p{};
  p.current.present = kee_current(&p.current.key, &p.current.ref);
  if (!p.current.present) return false;
  for (;;) {
    int32_t ref;
    p.next = key_pair{};
    if (kee_next(&ref)) p.next.present = kee_current(&p.next.key, &p.next.ref);
    if (TrySolution(k, p)) return true;
    if (!xcontinue || !p.next.present) return false;
    p.current = p.next;
  }
}

bool bt::nd_random_key(Each<KeyRef> k) {
  int32_t ref;
  if (!kee_first(&ref)) return false;
  ListBuilder<const wchar_t*> keys(true);
  nd_kee1([&](KeyRef e) {
    keys.Add(HeapCopy(e.key));
    K::Fail();
  });
  const SList* order = Shuffle(Shuffle(keys.Finish()));
  for (; !order->Empty(); order = order->tail) {
    KeyRef e{order->head, 0};
    if (!kee_search(e.key, &e.ref)) continue;
    if (TrySolution(k, e)) return true;
  }
  return false;
}

void bt::set_continue(bool go) { xcontinue = go; }

}  // namespace rizediveva6
