// The assignment store: binding, queries, the gate with its checks, tie
// propagation, removals, clears and repairs, and the in-memory index.
#include "kalmoradb/sc_assign.h"

#include <windows.h>

#include <cwchar>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "commandtree/comtree.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/watched_bt.h"
#include "phase1/sc_phase1.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::SList;

const tav::ClassInfo sc_assign::classInfo{L"qel6pack/all/kalmoradb/sc_assign", TAV_CLASS_VERSION};
store_state sc_assign::state{L"sc_assign", L"assign not initialised"};
bt* sc_assign::xdb_bt = nullptr;
bool sc_assign::boo_repair = false;
bool sc_assign::boo_walks = false;

namespace {

// --- The index beside the tree ---------------------------------------------------------------

// Tree order: the tree compares its keys with lstrcmpW.
struct TreeOrder {
  bool operator()(const std::wstring& a, const std::wstring& b) const { return lstrcmpW(a.c_str(), b.c_str()) < 0; }
};
using KeySet = std::set<std::wstring, TreeOrder>;

struct Entry {
  chain_ref doctor;
  bool hasDuty;
  sp at;
  chain_ref duty;
};

struct Index {
  bool built = false;
  uint32_t odd = 0;  // keys of another form than the duty index writes
  std::unordered_map<std::wstring, Entry, key_hash, std::equal_to<>> byKey;
  std::unordered_map<chain_ref, KeySet> byDoctor;
  std::unordered_map<uint64_t, KeySet> bySp;

  static uint64_t SpSlot(chain_ref doctor, const sp& at) {
    return (uint64_t(uint32_t(doctor)) << 32) | (uint64_t(at.period) << 16) | (at.day << 8) | at.slot;
  }
  void Drop() {
    built = false;
    odd = 0;
    byKey.clear();
    byDoctor.clear();
    bySp.clear();
  }
  void Add(const wchar_t* key, chain_ref doctor) {
    Entry e{doctor, false, sp{}, 0};
    const DutyTerm* duty;
    if (sc_phase1::get_duty_by_key(key, &duty)) e = Entry{doctor, true, SpOf(duty->dat->at), duty->ref};
    if (!byKey.count(key) && !plain_key(key)) ++odd;
    byKey[key] = e;
    byDoctor[doctor].insert(key);
    if (e.hasDuty) bySp[SpSlot(doctor, e.at)].insert(key);
  }
  void Remove(const wchar_t* key) {
    auto it = byKey.find(key);
    if (it == byKey.end()) return;
    const Entry e = it->second;
    if (!plain_key(key)) --odd;
    byDoctor[e.doctor].erase(key);
    if (e.hasDuty) bySp[SpSlot(e.doctor, e.at)].erase(key);
    byKey.erase(it);
  }
};
Index index;
uint64_t deletions = 0;                // deletions made by this class
// xkeys_removed, oldest first, and the same keys for membership.
struct RemovedKeys {
  std::vector<std::wstring> order;
  std::unordered_set<std::wstring> met;
  void clear() {
    order.clear();
    met.clear();
  }
  void emplace_back(const wchar_t* key) {
    order.emplace_back(key);
    met.emplace(key);
  }
};
RemovedKeys removedKeys;
std::vector<dt> ndb_dts;
// The open journal's changes, oldest first.
struct Change {
  std::wstring key;
  chain_ref doctor;
  bool inserted;
};
std::vector<Change> journal;
bool journalOpen = false;

Index& Built() {
  if (!index.built) {
    index.Drop();
    for (const List<KeyRef>* e = all_entries(sc_assign::tree()); !e->Empty(); e = e->tail)
      index.Add(e->head.key, e->head.ref);
    index.built = true;
  }
  return index;
}

bool Indexed() { return !sc_assign::boo_walks; }

// The tree object reports every change made through it to the index.
const bt_watch kWatch{
    [](const wchar_t* key, int32_t doctor) {
      if (index.built) index.Add(key, doctor);
    },
    [](const wchar_t* key) {
      if (index.built) index.Remove(key);
    },
    [] { index.Drop(); }};

// Every change of the tree by this class goes through these two.
bool Insert(const wchar_t* key, chain_ref doctor) {
  bt* t = sc_assign::tree();
  if (tav::K::RunTrapped([&] { t->kee_insert(key, doctor); }) != 0) return false;
  if (journalOpen) journal.push_back({key, doctor, true});
  return true;
}
void Delete(const wchar_t* key, chain_ref doctor) {
  sc_assign::tree()->kee_delete(key, doctor);
  ++deletions;
  if (journalOpen) journal.push_back({key, doctor, false});
}

bool NamesDuty(const wchar_t* key, const DutyTerm** duty) { return sc_phase1::get_duty_by_key(key, duty); }

bool InList(const wchar_t* key, const SList* keys) {
  for (; !keys->Empty(); keys = keys->tail)
    if (wcscmp(key, keys->head) == 0) return true;
  return false;
}

// The entries of one doctor in key order, collected on the heap.
const List<KeyRef>* DoctorEntries(chain_ref doctor) {
  ListBuilder<KeyRef> out(true);
  if (Indexed()) {
    auto it = Built().byDoctor.find(doctor);
    if (it != index.byDoctor.end())
      for (const std::wstring& k : it->second) out.Add(KeyRef{tav::HeapCopy(k.c_str()), doctor});
    return out.Finish();
  }
  for (const List<KeyRef>* e = all_entries(sc_assign::tree()); !e->Empty(); e = e->tail)
    if (e->head.ref == doctor) out.Add(e->head);
  return out.Finish();
}

// The duties of the doctor's keys in the slot-period, in key order.
const List<chain_ref>* DutiesInSp(chain_ref doctor, const sp& at, const SList* exclusion) {
  ListBuilder<chain_ref> out(true);
  if (Indexed()) {
    auto it = Built().bySp.find(Index::SpSlot(doctor, at));
    if (it != index.bySp.end())
      for (const std::wstring& k : it->second)
        if (!InList(k.c_str(), exclusion)) out.Add(index.byKey[k].duty);
    return out.Finish();
  }
  for (const List<KeyRef>* e = DoctorEntries(doctor); !e->Empty(); e = e->tail) {
    const DutyTerm* duty;
    if (NamesDuty(e->head.key, &duty) && SpOf(duty->dat->at) == at && !InList(e->head.key, exclusion))
      out.Add(duty->ref);
  }
  return out.Finish();
}

// --- Ties ------------------------------------------------------------------------------------

bool IsKind(const tav::ConstantTerm* c, tie_kind k) { return c->functor == static_cast<uint64_t>(k); }

bool Applies(const TieDomTerm* tie, const PersonTerm* person) {
  const WhichTieTerm* who = tie->dat->who;
  switch (static_cast<which_kind>(who->functor)) {
    case which_kind::global_tie: return true;
    case which_kind::person_tie: return wcscmp(who->name, person->dat->name) == 0;
    case which_kind::group_tie: return groups::member(who->name, rizediveva6::AsSList(person->dat->groups));
  }
  return false;
}

// Whether the tie applies to the doctor of a stored reference; a reference
// that is no doctor record applies to no tie.
bool AppliesToRef(const TieDomTerm* tie, chain_ref doctor) {
  volatile bool applies = false;
  tav::K::RunTrapped([&] { applies = Applies(tie, staff_db::get_personref(doctor)); });
  return applies;
}

const SList* OtherEnds(const wchar_t* key, const TieDomTerm* tie, uint32_t period) {
  ListBuilder<const wchar_t*> out(true);
  ties::nd_tie_other_end_key(key, tie, period, [&](const wchar_t* k) {
    out.Add(tav::HeapCopy(k));
    tav::K::Fail();
  });
  return out.Finish();
}

bool Prevents(const TieDomTerm* tie, const wchar_t* key, uint32_t period, chain_ref doctor,
              const PersonTerm* person) {
  const bool applies = Applies(tie, person);
  const bool mustDo = IsKind(tie->dat->tieDo, tie_kind::must_do);
  for (const SList* e = OtherEnds(key, tie, period); !e->Empty(); e = e->tail) {
    chain_ref holder;
    if (!sc_assign::is_assigned(e->head, &holder)) continue;
    if (mustDo && holder != doctor && (applies || AppliesToRef(tie, holder))) return true;
    if (!mustDo && applies && holder == doctor) return true;
  }
  return false;
}

// Whether the weekly tie forbids the candidate: nd_tie_other_end_key and
// Prevents on plain values, for a candidate key of the duty index's form.
bool WeeklyPrevents(const weekly_tie& w, const duty_dat& k, uint32_t period, chain_ref doctor,
                    const PersonTerm* person) {
  auto samePattern = [&](const duty_dat& end) {
    return k.at.period == period && end.at.slot == k.at.slot && end.at.day == k.at.day && end.task == k.task &&
           end.where == k.where;
  };
  const int64_t shift = int64_t(w.second.at.period) - int64_t(w.first.at.period);
  duty_dat ends[2];
  uint32_t n = 0;
  auto add = [&](duty_dat end, int64_t by) {
    const int64_t q = int64_t(period) + by;
    if (q <= 0 || q > 104) return;
    end.at.period = uint32_t(q);
    ends[n++] = end;
  };
  if (samePattern(w.first)) add(w.second, shift);
  if (samePattern(w.second)) add(w.first, -shift);
  if (n == 0) return false;
  const bool applies = Applies(w.tie, person);
  const bool mustDo = IsKind(w.tie->dat->tieDo, tie_kind::must_do);
  for (uint32_t i = 0; i < n; ++i) {
    chain_ref holder;
    if (!sc_assign::is_assigned(sc_phase1::get_dtbd_key(ends[i]).text, &holder)) continue;
    if (mustDo && holder != doctor && (applies || AppliesToRef(w.tie, holder))) return true;
    if (!mustDo && applies && holder == doctor) return true;
  }
  return false;
}

const TieDatTerm* TiePreventing(const wchar_t* key, uint32_t period, chain_ref doctor) {
  const PersonTerm* person = staff_db::get_personref(doctor);
  const weekly_tie* weekly;
  uint32_t count;
  duty_dat k;
  if (Indexed() && ties::weekly_ties(&weekly, &count) && sc_phase1::parse_key(key, &k)) {
    // Ties of other kinds and those whose ends name no duty have no other end.
    for (uint32_t i = 0; i < count; ++i)
      if (WeeklyPrevents(weekly[i], k, period, doctor, person)) return weekly[i].tie->dat;
    return nullptr;
  }
  for (const List<const TieDomTerm*>* l = ties::all_ties(); !l->Empty(); l = l->tail)
    if (Prevents(l->head, key, period, doctor, person)) return l->head->dat;
  return nullptr;
}

void RemoveAsses(const SList* keys, chain_ref doctor) {
  removedKeys.clear();
  for (; !keys->Empty(); keys = keys->tail) sc_assign::try_remove_one(keys->head, doctor);
}

// Gives the doctor the other ends of the duty's applicable must-do ties and
// takes away those of the first applicable must-not-do tie.
void AssignTiesAfterAdd(const wchar_t* key, chain_ref doctor) {
  const DutyTerm* duty;
  if (!NamesDuty(key, &duty)) return;
  const uint32_t period = duty->dat->at->period;
  const PersonTerm* person = staff_db::get_personref(doctor);
  const SList* done = rizediveva6::Cons<const wchar_t*>(key, rizediveva6::Nil<const wchar_t*>());
  for (const List<const TieDomTerm*>* l = ties::all_ties(); !l->Empty(); l = l->tail) {
    const TieDomTerm* tie = l->head;
    if (!Applies(tie, person)) continue;
    const SList* ends = OtherEnds(key, tie, period);
    if (!IsKind(tie->dat->tieDo, tie_kind::must_do)) {
      RemoveAsses(ends, doctor);
      return;
    }
    for (; !ends->Empty(); ends = ends->tail) {
      if (InList(ends->head, done)) continue;
      sc_assign::assign_person(test_ass::test_and_make, ends->head, doctor);
      done = rizediveva6::Cons(ends->head, done);
    }
    if (tie->dat->repeat->functor == static_cast<uint64_t>(repeat_kind::no_repeat)) return;
  }
}

// --- Removal ---------------------------------------------------------------------------------

bool Met(const wchar_t* key) { return removedKeys.met.count(key) != 0; }

void DeleteTiedAsses(uint32_t depth, const wchar_t* key) {
  const DutyTerm* duty;
  if (!NamesDuty(key, &duty)) return;
  const uint32_t period = duty->dat->at->period;
  for (const List<const TieDomTerm*>* l = ties::all_ties(); !l->Empty(); l = l->tail) {
    if (!IsKind(l->head->dat->tieDo, tie_kind::must_do)) continue;
    for (const SList* e = OtherEnds(key, l->head, period); !e->Empty(); e = e->tail)
      sc_assign::f_remove_assignment(depth, e->head);
  }
}

void P2Remove(uint32_t depth, const wchar_t* key) {
  chain_ref doctor;
  if (sc_assign::is_assigned(key, &doctor)) {
    removedKeys.emplace_back(key);
    if (!lock_ass::is_locked_key(key)) Delete(key, doctor);
  }
  if (depth > 0) DeleteTiedAsses(depth - 1, key);
}

const SList* RemovedList() {
  const SList* out = rizediveva6::Nil<const wchar_t*>();
  for (const std::wstring& k : removedKeys.order) out = rizediveva6::Cons<const wchar_t*>(tav::HeapCopy(k.c_str()), out);
  return out;
}

bool InScope(const wchar_t* key, const clear_dom& scope) {
  if (scope.kind == clear_kind::clear_all) return true;
  if (scope.kind != clear_kind::clear_week) return false;
  const DutyTerm* duty;
  return NamesDuty(key, &duty) && duty->dat->at->period == scope.period;
}

void ClearEntries(const List<KeyRef>* entries, const clear_dom& scope) {
  const uint64_t before = deletions;
  for (; !entries->Empty(); entries = entries->tail)
    if (InScope(entries->head.key, scope)) sc_assign::try_remove_one(entries->head.key, entries->head.ref);
  lock_ass::repair();
  if (deletions != before) kalmora_DB::set_as_mod();
}

// A repair's removal: the entry goes, locked or not, and its lock with it.
void RepairRemove(const KeyRef& e) {
  removedKeys.emplace_back(e.key);
  Delete(e.key, e.ref);
  lock_ass::tree()->kee_delete(e.key);
}

bool NoDoctor(chain_ref ref) { return tav::K::RunTrapped([&] { staff_db::get_personref(ref); }) != 0; }

}  // namespace

// --- Binding and queries -----------------------------------------------------------------------

void sc_assign::init(tav::chainDB* db) {
  if (state.boo_init) return;
  bt* tree = watched_bt(db, L"assign_bt", 20, 4, &kWatch);
  state.init(db);
  xdb_bt = tree;
  index.Drop();
}

void sc_assign::uninit() {
  state.uninit();
  xdb_bt = nullptr;
  index.Drop();
  close_journal();
}

bt* sc_assign::tree() {
  if (!xdb_bt) tav::K::Errors::RunTimeError(329, L"xdb_bt", L"sc_assign");
  return xdb_bt;
}

// From the index when the key and every indexed key have the duty index's
// form (equal texts, then, are the tree's equal keys), else from the tree.
bool sc_assign::is_assigned(const wchar_t* key, chain_ref* doctor) {
  bt* t = tree();
  if (!Indexed() || Built().odd != 0 || !plain_key(key)) return t->kee_search(key, doctor);
  auto it = index.byKey.find(std::wstring_view(key));
  if (it == index.byKey.end()) return false;
  *doctor = it->second.doctor;
  return true;
}

bool sc_assign::nd_assignments(tav::Each<KeyRef> k) {
  for (const List<KeyRef>* e = all_entries(tree()); !e->Empty(); e = e->tail)
    if (tav::TrySolution(k, e->head)) return true;
  return false;
}

bool sc_assign::nd_random_assignments(tav::Each<KeyRef> k) { return tree()->nd_random_key(k); }

void sc_assign::list() {
  nd_assignments([](KeyRef) { tav::K::Fail(); });
}

const List<KeyRef>* sc_assign::entries_of(chain_ref doctor) { return DoctorEntries(doctor); }

uint32_t sc_assign::number_assigned() {
  if (Indexed()) return static_cast<uint32_t>(Built().byKey.size());
  uint32_t count = 0;
  for (const List<KeyRef>* e = all_entries(tree()); !e->Empty(); e = e->tail) ++count;
  return count;
}

bool sc_assign::dtbd_key_tlsd(const wchar_t* key, tlsd* duty, uint32_t* period) {
  const DutyTerm* d;
  if (!NamesDuty(key, &d)) return false;
  *duty = ties::dtbd_tlsd(DutyDatOf(d->dat));
  *period = d->dat->at->period;
  return true;
}

void sc_assign::must_be_repaired() {
  boo_repair = true;
  index.Drop();
}

void sc_assign::repair_ass() {
  if (!boo_repair) return;
  removedKeys.clear();
  for (const List<KeyRef>* e = all_entries(tree()); !e->Empty(); e = e->tail)
    if (NoDoctor(e->head.ref)) RepairRemove(e->head);
  const DutyTerm* duty;
  for (const List<KeyRef>* e = all_entries(tree()); !e->Empty(); e = e->tail)
    if (!NamesDuty(e->head.key, &duty)) RepairRemove(e->head);
  boo_repair = false;
}

void sc_assign::repair_after_person_deleted(chain_ref doctor) {
  for (const List<KeyRef>* e = DoctorEntries(doctor); !e->Empty(); e = e->tail) Delete(e->head.key, doctor);
}

// --- The gate ----------------------------------------------------------------------------------

const ReasonTerm* sc_assign::assign_person(test_ass mode, const wchar_t* key, chain_ref doctor) {
  const DutyTerm* duty;
  tree();
  if (!NamesDuty(key, &duty)) return Unknown();
  if (mode != test_ass::make_ass_only) {
    chain_ref holder;
    if (sc_assign::is_assigned(key, &holder)) return CantAssign(assign_reason_kind::duty_is_already_assigned, holder);
    const ReasonTerm* busy = person_is_busy_sp(doctor, SpOf(duty->dat->at), rizediveva6::Nil<const wchar_t*>());
    if (busy->Kind() != reason_kind::can_do_it) return busy;
    if (const TieDatTerm* tie = TiePreventing(key, duty->dat->at->period, doctor)) return TiePrevents(tie);
    const PgTerm who{static_cast<uint64_t>(pg_kind::p), {doctor}};
    const ReasonTerm* rule = sc_rules::rule_allows_it(duty->dat, &who);
    if (rule->Kind() == reason_kind::cant_rule_reason) return rule;
    if (mode == test_ass::test_ass_only) return CanDoIt();
  } else {
    staff_db::get_personref(doctor);  // 1319 for a reference that is no doctor
  }
  kalmora_DB::set_as_mod();
  chain_ref stored;
  if (!Insert(key, doctor) || !is_assigned(key, &stored) || stored != doctor) return Unknown();
  AssignTiesAfterAdd(key, doctor);
  return CanDoIt();
}

const TieDatTerm* sc_assign::a_tie_prevents(const wchar_t* key, chain_ref doctor) {
  const DutyTerm* duty;
  return NamesDuty(key, &duty) ? TiePreventing(key, duty->dat->at->period, doctor) : nullptr;
}

bool sc_assign::tie_start(const TieDomTerm* tie, const wchar_t** key, chain_ref* doctor) {
  for (const wchar_t* end : {tie->dat->first, tie->dat->second})
    if (is_assigned(end, doctor)) {
      *key = end;
      return true;
    }
  return false;
}

// From the first end when it is assigned and names a duty, else from the
// second end on the same terms.
void sc_assign::fix_after_add_tie(const TieDomTerm* tie) {
  const DutyTerm* duty;
  for (const wchar_t* end : {tie->dat->first, tie->dat->second}) {
    chain_ref doctor;
    if (!is_assigned(end, &doctor) || !NamesDuty(end, &duty)) continue;
    AssignTiesAfterAdd(end, doctor);
    return;
  }
}

// --- Busy tests and per-doctor lists -------------------------------------------------------------

const ReasonTerm* sc_assign::person_is_busy_dtbd_key(chain_ref doctor, const wchar_t* key, const SList* exclusion) {
  const DutyTerm* duty;
  if (!NamesDuty(key, &duty)) return CanDoIt();
  return person_is_busy_sp(doctor, SpOf(duty->dat->at), exclusion);
}

const ReasonTerm* sc_assign::person_is_busy_sp(chain_ref doctor, const sp& at, const SList* exclusion) {
  if (Indexed()) {
    auto it = Built().bySp.find(Index::SpSlot(doctor, at));
    if (it != index.bySp.end())
      for (const std::wstring& k : it->second)
        if (!InList(k.c_str(), exclusion)) return CantAssign(assign_reason_kind::is_busy, index.byKey[k].duty);
    return CanDoIt();
  }
  const List<chain_ref>* duties = DutiesInSp(doctor, at, exclusion);
  if (duties->Empty()) return CanDoIt();
  return CantAssign(assign_reason_kind::is_busy, duties->head);
}

bool sc_assign::nd_duties_done_by_person_in_sp(chain_ref doctor, const sp& at, const SList* exclusion,
                                               tav::Each<chain_ref> k) {
  for (const List<chain_ref>* d = DutiesInSp(doctor, at, exclusion); !d->Empty(); d = d->tail)
    if (tav::TrySolution(k, d->head)) return true;
  return false;
}

const List<dt>* sc_assign::person_dates_on_duty(const wchar_t* name) {
  ListBuilder<dt> out(true);
  const PersonTerm* person;
  if (!staff_db::get_person(name, &person)) return out.Finish();
  ndb_dts.clear();
  const DutyTerm* duty;
  for (const List<KeyRef>* e = DoctorEntries(person->ref); !e->Empty(); e = e->tail) {
    if (!NamesDuty(e->head.key, &duty)) continue;
    const dt date = kalmora_DB::sp_dt(SpOf(duty->dat->at));
    std::erase_if(ndb_dts, [&](const dt& d) { return d.year == date.year && d.month == date.month && d.day == date.day; });
    ndb_dts.push_back(date);
  }
  for (const dt& d : ndb_dts) out.Add(d);
  ndb_dts.clear();
  return out.Finish();
}

const List<const DtDutyTerm*>* sc_assign::person_slots_on_duty(const wchar_t* name) {
  ListBuilder<const DtDutyTerm*> out;
  const PersonTerm* person;
  if (!staff_db::get_person(name, &person)) return out.Finish();
  const DutyTerm* duty;
  for (const List<KeyRef>* e = DoctorEntries(person->ref); !e->Empty(); e = e->tail) {
    if (!NamesDuty(e->head.key, &duty)) continue;
    const sp at = SpOf(duty->dat->at);
    out.Add(OnStack(DtDutyTerm{1, MakeDt(kalmora_DB::sp_dt(at)), at.day,
                               MakeTls(tls{duty->dat->task, duty->dat->where, at.slot})}));
  }
  return out.Finish();
}

// --- Removing and clearing -------------------------------------------------------------------------

const SList* sc_assign::p_remove_assignment(uint32_t depth, const wchar_t* key) {
  removedKeys.clear();
  if (lock_ass::is_locked_key(key)) {
    comtree::update_cs_help(kOwnRuleColour, L"Cannot delete a locked assignment");
    return rizediveva6::Nil<const wchar_t*>();
  }
  P2Remove(depth, key);
  return RemovedList();
}

void sc_assign::f_remove_assignment(uint32_t depth, const wchar_t* key) {
  if (!Met(key)) P2Remove(depth, key);
}

void sc_assign::try_remove_one(const wchar_t* key, chain_ref doctor) {
  chain_ref holder;
  if (is_assigned(key, &holder) && holder == doctor) f_remove_assignment(0, key);
}

void sc_assign::clear_assignments(const clear_dom& scope) {
  removedKeys.clear();
  ClearEntries(all_entries(tree()), scope);
}

void sc_assign::clear_assignments(const wchar_t* name, const clear_dom& scope) {
  removedKeys.clear();
  const PersonTerm* person;
  ClearEntries(staff_db::get_person(name, &person) ? DoctorEntries(person->ref) : rizediveva6::Nil<KeyRef>(), scope);
}

void sc_assign::remove_those_that_break_rules(chain_ref doctor) {
  removedKeys.clear();
  const PgTerm who{static_cast<uint64_t>(pg_kind::p), {doctor}};
  const DutyTerm* duty;
  for (const List<KeyRef>* e = DoctorEntries(doctor); !e->Empty(); e = e->tail) {
    if (!NamesDuty(e->head.key, &duty)) continue;
    if (sc_rules::rule_allows_it(duty->dat, &who)->Kind() != reason_kind::can_do_it)
      f_remove_assignment(9, e->head.key);
  }
}

const SList* sc_assign::xkeys_removed() { return RemovedList(); }

void sc_assign::open_journal() {
  journal.clear();
  journalOpen = true;
}

void sc_assign::close_journal() {
  journalOpen = false;
  journal.clear();
}

void sc_assign::undo_journal() {
  journalOpen = false;
  for (size_t i = journal.size(); i > 0; --i) {
    const Change& c = journal[i - 1];
    if (c.inserted) Delete(c.key.c_str(), c.doctor);
    else Insert(c.key.c_str(), c.doctor);
  }
  journal.clear();
}

void sc_assign::rekey(key_map f, const void* context) {
  rekey_tree(tree(), f, context);
  index.Drop();
}

void rekey_tree(bt* tree, key_map f, const void* context) {
  ListBuilder<KeyRef> moved(true);
  for (const List<KeyRef>* e = all_entries(tree); !e->Empty(); e = e->tail) {
    const wchar_t* key = f(e->head.key, context);
    if (key && wcscmp(key, e->head.key) == 0) continue;
    tree->kee_delete(e->head.key, e->head.ref);
    if (key) moved.Add(KeyRef{tav::HeapCopy(key), e->head.ref});
  }
  for (const List<KeyRef>* e = moved.Finish(); !e->Empty(); e = e->tail) tree->kee_insert(e->head.key, e->head.ref);
}

const List<KeyRef>* all_entries(bt* tree) {
  ListBuilder<KeyRef> entries(true);  // heap cells: they outlive each solution
  int32_t first;
  if (tree->kee_first(&first))
    tree->nd_kee1([&](KeyRef e) {
      entries.Add(KeyRef{tav::HeapCopy(e.key), e.ref});
      tav::K::Fail();
    });
  return entries.Finish();
}

}  // namespace all
