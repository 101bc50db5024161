// The lock store: locking, unlocking, the bulk codes, clear and repair.
#include "kalmoradb/lock_ass.h"

#include <cwchar>
#include <string>
#include <string_view>
#include <unordered_set>

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/watched_bt.h"
#include "phase1/sc_phase1.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;

const tav::ClassInfo lock_ass::classInfo{L"qel6pack/all/kalmoradb/lock_ass", TAV_CLASS_VERSION};
store_state lock_ass::state{L"lock_ass", L"locker not initialised"};
bt* lock_ass::xdb_bt = nullptr;

namespace {

// --- The locked keys in memory -----------------------------------------------------------------

// The keys of "lock_bt", made at init and kept by the tree object's reports
// of every insert and delete; a clear or close drops them and the next query
// makes them again.  Answers only while every key has the duty index's form
// (equal texts, then, are the tree's equal keys).
struct Locks {
  bool built = false;
  uint32_t odd = 0;  // keys of another form than the duty index writes
  std::unordered_set<std::wstring, key_hash, std::equal_to<>> keys;

  void Drop() {
    built = false;
    odd = 0;
    keys.clear();
  }
  void Build(bt* tree) {
    Drop();
    for (const List<KeyRef>* e = all_entries(tree); !e->Empty(); e = e->tail) Add(e->head.key);
    built = true;
  }
  void Add(const wchar_t* key) {
    if (keys.emplace(key).second && !plain_key(key)) ++odd;
  }
  void Remove(const wchar_t* key) {
    auto it = keys.find(std::wstring_view(key));
    if (it == keys.end()) return;
    keys.erase(it);
    if (!plain_key(key)) --odd;
  }
  // True with the answer in *locked when memory can tell.
  bool Knows(const wchar_t* key, bool* locked) const {
    if (!built || odd != 0 || !plain_key(key)) return false;
    *locked = keys.count(std::wstring_view(key)) != 0;
    return true;
  }
};
Locks locks;

const bt_watch kWatch{
    [](const wchar_t* key, int32_t) {
      if (locks.built) locks.Add(key);
    },
    [](const wchar_t* key) {
      if (locks.built) locks.Remove(key);
    },
    [] { locks.Drop(); }};

// Whether an assigned key's duty and doctor fit a bulk code's scope.
bool Fits(const wchar_t* key, chain_ref doctor, const wchar_t* name, bool week, uint32_t period,
          const DutyTerm** found) {
  const DutyTerm* duty;
  if (!sc_phase1::get_duty_by_key(key, &duty)) return false;
  if (week && duty->dat->at->period != period) return false;
  *found = duty;
  return !name || wcscmp(staff_db::ref_name(doctor), name) == 0;
}

void LockEach(const wchar_t* name, bool week, uint32_t period) {
  for (const List<KeyRef>* e = all_entries(sc_assign::tree()); !e->Empty(); e = e->tail) {
    const DutyTerm* duty;
    if (Fits(e->head.key, e->head.ref, name, week, period, &duty)) lock_ass::lock(duty->dat);
  }
}

void UnlockEach(const wchar_t* name, bool week, uint32_t period) {
  for (const List<KeyRef>* e = all_entries(lock_ass::tree()); !e->Empty(); e = e->tail) {
    chain_ref doctor;
    const DutyTerm* duty;
    if (sc_assign::is_assigned(e->head.key, &doctor) && Fits(e->head.key, doctor, name, week, period, &duty))
      lock_ass::unlock(duty->dat);
  }
}

void Bulk(const wchar_t* name, int32_t code, uint32_t period) {
  switch (code) {
    case kLockWeek: return LockEach(name, true, period);
    case kLockAll: return LockEach(name, false, period);
    case kUnlockWeek: return UnlockEach(name, true, period);
    case kUnlockAll: return UnlockEach(name, false, period);
    default: return;
  }
}

}  // namespace

void lock_ass::init(tav::chainDB* db) {
  if (state.boo_init) return;
  bt* t = watched_bt(db, L"lock_bt", 20, 4, &kWatch);
  state.init(db);
  xdb_bt = t;
  locks.Build(t);
}

void lock_ass::uninit() {
  state.uninit();
  xdb_bt = nullptr;
  locks.Drop();
}

bt* lock_ass::tree() {
  if (!xdb_bt) tav::K::Errors::RunTimeError(329, L"xdb_bt", L"lock_ass");
  return xdb_bt;
}

bool lock_ass::lock(const DutyDatTerm* duty) {
  if (is_locked(duty)) return false;
  state.is_initialised();
  const duty_key key = sc_phase1::get_dtbd_key(DutyDatOf(duty));
  chain_ref doctor;
  if (!sc_assign::is_assigned(key.text, &doctor)) return false;
  tree()->kee_insert(key.text, doctor);
  kalmora_DB::set_as_mod();
  return true;
}

bool lock_ass::unlock(const DutyDatTerm* duty) {
  state.is_initialised();
  const duty_key key = sc_phase1::get_dtbd_key(DutyDatOf(duty));
  if (!tree()->kee_delete(key.text)) return false;
  kalmora_DB::set_as_mod();
  return true;
}

bool lock_ass::is_locked(const DutyDatTerm* duty) {
  return is_locked_key(sc_phase1::get_dtbd_key(DutyDatOf(duty)).text);
}

bool lock_ass::is_locked_key(const wchar_t* key) {
  bt* t = tree();
  if (!locks.built) locks.Build(t);
  bool locked;
  if (locks.Knows(key, &locked)) return locked;
  chain_ref doctor;
  return t->kee_search(key, &doctor);
}

void lock_ass::lock_set(const wchar_t* name, int32_t code, uint32_t period) { Bulk(name, code, period); }
void lock_ass::lock_set(int32_t code, uint32_t period) { Bulk(nullptr, code, period); }

void lock_ass::clear() { tree()->beet_clear(); }

void lock_ass::rekey(key_map f, const void* context) { rekey_tree(tree(), f, context); }

void lock_ass::repair() {
  bt* t = tree();
  for (const List<KeyRef>* e = all_entries(t); !e->Empty(); e = e->tail) {
    chain_ref doctor;
    if (!sc_assign::is_assigned(e->head.key, &doctor)) t->kee_delete(e->head.key, e->head.ref);
  }
}

}  // namespace all
