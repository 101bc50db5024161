// The doctors over the chain "people" and the name index.
#include "kalmoradb/staff_db.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <unordered_map>
#include <utility>

#include "KWI/Wyn/wyn.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "qel6run_lib.h"
#include "unit.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;
using rizediveva6::SList;

const tav::ClassInfo staff_db::classInfo{L"qel6pack/all/kalmoradb/staff_db", TAV_CLASS_VERSION};
store_state staff_db::state{L"staff_db", L"Staff_db not initialised"};
bt* staff_db::xbt = nullptr;

namespace {

constexpr const wchar_t* kChain = L"people";
constexpr uint32_t kKeyLength = 255;

const IDomainDefinition* Person() { return tav::D(domains::person); }
const IDomainDefinition* PersonDat() { return tav::D(domains::person_dat); }

bt* Index() {
  if (!staff_db::xbt) tav::K::Errors::RunTimeError(329, L"xbt", L"staff_db");
  return staff_db::xbt;
}

// The records read by reference, held in memory: heap copies kept alive by
// x_people and found through x_by_ref, dropped before every write of the
// chain and at init and uninit.
std::unordered_map<chain_ref, const PersonTerm*> x_by_ref;
const List<const PersonTerm*>* x_people = nullptr;

void DropMemo() {
  x_by_ref.clear();
  x_people = nullptr;
}

const SList* GroupsOf(const PersonTerm* p) { return rizediveva6::AsSList(p->dat->groups); }

// The doctor's group names that are still groups, in the doctor's order.
const SList* RepairGroups(const SList* own) {
  const SList* all = groups::list_groups();
  ListBuilder<const wchar_t*> kept;
  for (const SList* l = own; !l->Empty(); l = l->tail)
    if (groups::member(l->head, all)) kept.Add(l->head);
  return kept.Finish();
}

// The record with its group names filtered, colour replaced when given.
const PersonTerm* Repaired(const PersonTerm* p, chain_ref ref, const int32_t* colour = nullptr) {
  const PersonDatTerm* d = p->dat;
  return MakePerson(ref, d->name, RepairGroups(GroupsOf(p)), colour ? *colour : d->colour, d->letter,
                    d->deleted->functor);
}

// Every (reference, record) of the chain, copied to the heap before any is
// acted on.
struct Stored {
  chain_ref ref;
  const PersonTerm* person;
};
const List<Stored>* AllStored() {
  ListBuilder<Stored> out(true);
  staff_db::state.db()->chain_terms(Person(), kChain, [&](tav::RefTerm rt) {
    auto* p = reinterpret_cast<const PersonTerm*>(rt.t);
    const SList* groupNames = GroupsOf(p);
    ListBuilder<const wchar_t*> heapGroups(true);
    for (const SList* l = groupNames; !l->Empty(); l = l->tail) heapGroups.Add(tav::HeapCopy(l->head));
    auto* dat = static_cast<PersonDatTerm*>(tav::K::Memory::AllocHeap(sizeof(PersonDatTerm)));
    *dat = *p->dat;
    dat->name = tav::HeapCopy(p->dat->name);
    dat->groups = rizediveva6::AsStringList(heapGroups.Finish());
    auto* mark = static_cast<tav::ConstantTerm*>(tav::K::Memory::AllocHeap(sizeof(tav::ConstantTerm)));
    mark->functor = p->dat->deleted->functor;
    dat->deleted = mark;
    auto* copy = static_cast<PersonTerm*>(tav::K::Memory::AllocHeap(sizeof(PersonTerm)));
    *copy = PersonTerm{p->functor, p->ref, dat};
    out.Add(Stored{rt.ref, copy});
    tav::K::Fail();
  });
  return out.Finish();
}

// The key of a name: its first kKeyLength characters.
const wchar_t* KeyOf(const wchar_t* name) {
  if (wcslen(name) <= kKeyLength) return name;
  auto* key = static_cast<wchar_t*>(tav::GStackAlloc((kKeyLength + 1) * sizeof(wchar_t)));
  wmemcpy(key, name, kKeyLength);
  key[kKeyLength] = 0;
  return key;
}

// The references indexed under the name's key, equal under the tree's
// comparison: a search with reference 0 stops before the first of them.
const List<int32_t>* Candidates(const wchar_t* name) {
  bt* index = Index();
  ListBuilder<int32_t> refs;
  const wchar_t* key = KeyOf(name);
  int32_t ref;
  if (!key[0] || !index->kee_search(key, &ref)) return refs.Finish();
  const wchar_t* at;
  while (index->kee_current(&at, &ref) && (wcscmp(at, key) == 0 || lstrcmpW(at, key) == 0)) {
    refs.Add(ref);
    if (!index->kee_next(&ref)) break;
  }
  return refs.Finish();
}

bool IsExists(const PersonTerm* p) { return p->dat->deleted->functor == kExists; }

// The reference of the doctor of exactly that name: among several, the
// first in chain order.
bool FindRef(const wchar_t* name, chain_ref* found) {
  const List<int32_t>* matching = rizediveva6::Nil<int32_t>();
  for (const List<int32_t>* l = Candidates(name); !l->Empty(); l = l->tail)
    if (wcscmp(staff_db::get_personref(l->head)->dat->name, name) == 0) matching = rizediveva6::Cons(l->head, matching);
  if (matching->Empty()) return false;
  if (matching->tail->Empty()) {
    *found = matching->head;
    return true;
  }
  return staff_db::state.db()->chain_terms(Person(), kChain, [&](tav::RefTerm rt) {
    for (const List<int32_t>* l = matching; !l->Empty(); l = l->tail)
      if (l->head == rt.ref) {
        *found = rt.ref;
        return;
      }
    tav::K::Fail();
  });
}

void Rewrite(chain_ref ref, const PersonTerm* p) {
  DropMemo();
  staff_db::state.db()->term_replace(Person(), ref, reinterpret_cast<T::term>(p));
}

// Removes the doctors' assignments, then the locks left without one.
void ForgetDuties(const List<Stored>* people) {
  for (; !people->Empty(); people = people->tail) sc_assign::repair_after_person_deleted(people->head.ref);
  lock_ass::repair();
}

}  // namespace

const PersonTerm* MakePerson(chain_ref ref, const wchar_t* name, const SList* groupNames, int32_t colour,
                             wchar_t letter, uint64_t mark) {
  const PersonDatTerm* dat = OnStack(PersonDatTerm{1, name, rizediveva6::AsStringList(groupNames), colour,
                                                   letter, tav::Constant(mark)});
  return OnStack(PersonTerm{1, ref, dat});
}

void staff_db::init(tav::chainDB* db) {
  if (state.boo_init) return;
  DropMemo();
  state.xdb = db;
  xbt = bt::new_volatile(L"names", kKeyLength, 4, 1);
  rebuild_bt();
  state.boo_init = true;
}

void staff_db::uninit() {
  DropMemo();
  state.uninit();
  xbt = nullptr;
}

void staff_db::rebuild_bt() {
  bt* index = Index();
  index->beet_clear();
  state.db()->chain_terms(Person(), kChain, [&](tav::RefTerm rt) {
    auto* p = reinterpret_cast<const PersonTerm*>(rt.t);
    if (IsExists(p) && p->dat->name[0]) index->kee_insert(KeyOf(p->dat->name), p->ref);
    tav::K::Fail();
  });
}

void staff_db::clear() {
  kalmora_DB::set_as_mod();
  ForgetDuties(AllStored());
  DropMemo();
  rizediveva6::TrapAndForget([] { state.db()->chain_delete(kChain); });
  rebuild_bt();
}

void staff_db::add_name(const wchar_t* name) {
  const PersonTerm* existing;
  if (get_person(name, &existing)) {
    myKWI::note(L"Person already exists");
    return;
  }
  kalmora_DB::set_as_mod();
  if (!name[0]) {
    myKWI::note(L"failed to add doctor");
    return;
  }
  const int32_t colour = rizediveva6::wyn::random_color();
  const SList* none = rizediveva6::Nil<const wchar_t*>();
  tav::chainDB* db = state.db();
  const PersonTerm* fresh = MakePerson(0, name, none, colour, name[0]);
  int32_t ref;
  DropMemo();
  db->chain_insertz(PersonDat(), kChain, reinterpret_cast<T::term>(fresh->dat), &ref);
  Rewrite(ref, MakePerson(ref, name, none, colour, name[0]));
  Index()->kee_insert(KeyOf(name), ref);
}

bool staff_db::del_person(const wchar_t* name) {
  chain_ref ref;
  if (!FindRef(name, &ref)) return false;
  del_person(ref);
  return true;
}

void staff_db::del_person(chain_ref ref) {
  kalmora_DB::set_as_mod();
  sc_assign::repair_after_person_deleted(ref);
  DropMemo();
  state.db()->term_delete(kChain, ref);
  lock_ass::repair();
  rebuild_bt();
}

void staff_db::replace_person(const PersonTerm* person) {
  const wchar_t* before = ref_name(person->ref);
  const bool renamed = wcscmp(before, person->dat->name) != 0;
  kalmora_DB::set_as_mod();
  Rewrite(person->ref, Repaired(person, person->ref));
  if (renamed) rebuild_bt();
}

bool staff_db::get_person(const wchar_t* name, const PersonTerm** person) {
  chain_ref ref;
  if (!FindRef(name, &ref)) return false;
  *person = get_personref(ref);
  return true;
}

const PersonTerm* staff_db::get_personref(chain_ref ref) {
  auto it = x_by_ref.find(ref);
  if (it != x_by_ref.end()) return it->second;
  const auto* p = reinterpret_cast<const PersonTerm*>(T::CopyTermFromGStack(Person(), state.db()->ref_term(Person(), ref)));
  auto* cell = static_cast<List<const PersonTerm*>*>(tav::K::Memory::AllocHeap(sizeof(List<const PersonTerm*>)));
  *cell = List<const PersonTerm*>{1, p, x_people ? x_people : rizediveva6::Nil<const PersonTerm*>()};
  x_people = cell;
  x_by_ref.emplace(ref, p);
  return p;
}

void staff_db::stored_changed() { DropMemo(); }

const wchar_t* staff_db::ref_name(chain_ref ref) { return get_personref(ref)->dat->name; }

bool staff_db::get_person_char(wchar_t letter, const PersonTerm** person) {
  return nd_person([&](const PersonTerm* p) {
    if (p->dat->letter != letter || !IsExists(p)) tav::K::Fail();
    *person = p;
  });
}

bool staff_db::nd_person(tav::Each<const PersonTerm*> k) {
  state.is_initialised();
  return state.db()->chain_terms(Person(), kChain,
                                 [&](tav::RefTerm rt) { k(reinterpret_cast<const PersonTerm*>(rt.t)); });
}

bool staff_db::nd_random_person(tav::Each<const PersonTerm*> k) {
  bt* index = Index();
  // Every indexed reference, then a Fisher-Yates shuffle by the runtime's
  // random numbers.
  ListBuilder<int32_t> refs(true);
  uint32_t n = 0;
  int32_t first;
  if (index->kee_first(&first))
    index->nd_kee1([&](KeyRef e) {
      refs.Add(e.ref);
      ++n;
      tav::K::Fail();
    });
  auto* order = static_cast<int32_t*>(tav::K::Memory::AllocAtomicHeap(sizeof(int32_t) * (n + 1)));
  uint32_t i = 0;
  for (const List<int32_t>* l = refs.Finish(); !l->Empty(); l = l->tail) order[i++] = l->head;
  for (uint32_t j = n; j > 1; --j) std::swap(order[j - 1], order[QelMath::Random_1(static_cast<int32_t>(j))]);
  for (uint32_t j = 0; j < n; ++j)
    if (tav::TrySolution(k, get_personref(order[j]))) return true;
  return false;
}

const SList* staff_db::list_staff() {
  ListBuilder<const wchar_t*> names(true);
  nd_person([&](const PersonTerm* p) {
    names.Add(tav::HeapCopy(p->dat->name));
    tav::K::Fail();
  });
  return names.Finish();
}

uint32_t staff_db::number_of_staff() {
  uint32_t n = 0;
  for (const SList* l = list_staff(); !l->Empty(); l = l->tail) ++n;
  return n;
}

void staff_db::randomize_colors() {
  kalmora_DB::set_as_mod();
  for (const List<Stored>* l = AllStored(); !l->Empty(); l = l->tail) {
    const int32_t colour = rizediveva6::wyn::random_color();
    Rewrite(l->head.ref, Repaired(l->head.person, l->head.ref, &colour));
  }
}

void staff_db::repair_after_group_change() {
  for (const List<Stored>* l = AllStored(); !l->Empty(); l = l->tail) replace_person(l->head.person);
}

}  // namespace all
