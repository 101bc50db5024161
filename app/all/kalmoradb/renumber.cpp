// Renumbering of the stored task, location and slot numbers.
#include "kalmoradb/renumber.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"

namespace all {

using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::SList;

// --- maps ---

number_map number_map::identity() {
  number_map m{};
  for (uint32_t n = 1; n <= 10; ++n) m.to[n] = n;
  m.known = 10;
  return m;
}

number_map number_map::after_delete(uint32_t row) {
  number_map m = identity();
  for (uint32_t n = 1; n <= 10; ++n) m.to[n] = n < row ? n : n == row ? 0 : n - 1;
  return m;
}

number_map number_map::cleared() {
  number_map m{};
  m.known = 10;
  return m;
}

namespace {

// Position from 1 of the k-th occurrence (k from 1) of name; 0 when none.
uint32_t Occurrence(const SList* l, const wchar_t* name, uint32_t k) {
  uint32_t position = 0;
  for (; !l->Empty(); l = l->tail) {
    ++position;
    if (wcscmp(l->head, name) == 0 && --k == 0) return position;
  }
  return 0;
}

const wchar_t* Nth(const SList* l, uint32_t position) {
  for (uint32_t n = 1; !l->Empty(); l = l->tail, ++n)
    if (n == position) return l->head;
  return nullptr;
}

}  // namespace

number_map number_map::lists(const SList* before, const SList* after) {
  number_map m{};
  bool taken[11] = {};
  uint32_t position = 0;
  for (const SList* l = before; !l->Empty() && position < 10; l = l->tail) {
    ++position;
    // The occurrence of this name among before's first `position` entries.
    uint32_t k = 0;
    for (const SList* e = before; e != l->tail; e = e->tail) k += wcscmp(e->head, l->head) == 0;
    const uint32_t to = Occurrence(after, l->head, k);
    m.to[position] = to <= 10 ? to : 0;
    if (m.to[position]) taken[m.to[position]] = true;
  }
  m.known = position;
  for (uint32_t n = 1; n <= m.known; ++n) {
    const wchar_t* now = Nth(after, n);
    if (!m.to[n] && !taken[n] && now && !Occurrence(before, now, 1)) {
      m.to[n] = n;
      taken[n] = true;
    }
  }
  return m;
}

bool number_map::Moves() const {
  for (uint32_t n = 1; n <= known; ++n)
    if (to[n] != n) return true;
  return false;
}

// --- records ---

namespace {

// The field of a tls that holds the kind's number.
uint32_t& FieldOf(list_kind kind, tls& t) {
  return kind == list_kind::task ? t.task : kind == list_kind::where ? t.where : t.slot;
}

// The duty renumbered; false when its number goes.
bool MapTls(list_kind kind, const number_map& map, tls* t) {
  uint32_t& field = FieldOf(kind, *t);
  field = map(field);
  return field != 0;
}

// The references of a chain in chain order, on the heap.
const List<int32_t>* Refs(tav::chainDB* db, const IDomainDefinition* d, const wchar_t* chain) {
  ListBuilder<int32_t> refs(true);
  db->chain_terms(d, chain, [&](tav::RefTerm rt) {
    refs.Add(rt.ref);
    tav::K::Fail();
  });
  return refs.Finish();
}

// Each term of the chain rewritten in place by f (the replacement term,
// the term itself to keep it unwritten, or null to delete it); whether any
// term changed.
template <class F>
bool RewriteChain(const wchar_t* chain, const IDomainDefinition* d, F f) {
  tav::chainDB* db = kalmora_DB::db();
  bool changed = false;
  for (const List<int32_t>* r = Refs(db, d, chain); !r->Empty(); r = r->tail) {
    const T::term was = db->ref_term(d, r->head);
    const T::term now = f(was);
    if (now == was) continue;
    changed = true;
    if (now) db->term_replace(d, r->head, now);
    else db->term_delete(chain, r->head);
  }
  return changed;
}

void RewriteTypical(list_kind kind, const number_map& map) {
  typical_db::nd_idc_lbox_chain([&](std::pair<uint32_t, const wchar_t*> day) {
    RewriteChain(day.second, tav::D(domains::tls), [&](T::term t) -> T::term {
      tls duty = TlsOf(reinterpret_cast<const TlsTerm*>(t));
      return MapTls(kind, map, &duty) ? reinterpret_cast<T::term>(MakeTls(duty)) : nullptr;
    });
    tav::K::Fail();
  });
}

void RewriteDateChanges(list_kind kind, const number_map& map) {
  RewriteChain(L"mod_chain", tav::D(domains::dt_duty), [&](T::term t) -> T::term {
    dt_duty e = DtDutyOf(reinterpret_cast<const DtDutyTerm*>(t));
    return MapTls(kind, map, &e.duty) ? reinterpret_cast<T::term>(MakeDtDuty(e)) : nullptr;
  });
}

void RewriteWeekend(const number_map& map) {
  sc_stat_weekend::stored_changed();
  RewriteChain(L"weekend_Chain", tav::D(domains::weekend_sd), [&](T::term t) -> T::term {
    auto* e = reinterpret_cast<const WeekendSdTerm*>(t);
    const uint32_t slot = map(e->slot);
    return slot ? reinterpret_cast<T::term>(MakeWeekendSd(slot, e->day)) : nullptr;
  });
}

void RewriteFilter(list_kind kind, const number_map& map) {
  include_dom& f = sc_include::sdb_include;
  const bool mine = (kind == list_kind::task && f.kind == include_kind::task) ||
                    (kind == list_kind::where && f.kind == include_kind::where);
  if (!mine) return;
  f.number = map(f.number);
  if (!f.number) f = include_dom{include_kind::all, 0, nullptr};
}

struct KeyContext {
  list_kind kind;
  const number_map* map;
};

// The five numbers of "[a,b,c,d,e]"; false for another text.
bool ParseKey(const wchar_t* key, uint32_t v[5]) {
  const wchar_t* p = key;
  if (*p++ != L'[') return false;
  for (int i = 0; i < 5; ++i) {
    if (*p < L'0' || *p > L'9') return false;
    wchar_t* end;
    v[i] = static_cast<uint32_t>(wcstoul(p, &end, 10));
    p = end;
    if (*p++ != (i < 4 ? L',' : L']')) return false;
  }
  return *p == 0;
}

// A duty key "[period+100,slot+10,day+10,task,location]" renumbered; a key
// of another form is kept.
const wchar_t* MapKey(const wchar_t* key, const void* context) {
  auto* c = static_cast<const KeyContext*>(context);
  uint32_t v[5];
  if (!ParseKey(key, v) || v[1] < 10) return key;
  const uint32_t period = v[0], slot = v[1], day = v[2], task = v[3], where = v[4];
  tls duty{task, where, slot - 10};
  if (!MapTls(c->kind, *c->map, &duty)) return nullptr;
  auto* out = static_cast<wchar_t*>(tav::GStackAlloc(64 * sizeof(wchar_t)));
  swprintf(out, 64, L"[%u,%u,%u,%u,%u]", period, duty.slot + 10, day, duty.task, duty.where);
  return out;
}

// Both end keys of every tie renumbered; a tie with a gone end goes.
void RewriteTies(const KeyContext& context) {
  ties::stored_changed();
  RewriteChain(L"tie_chain", tav::D(domains::tie_dom), [&](T::term t) -> T::term {
    auto* tie = reinterpret_cast<const TieDomTerm*>(t);
    const wchar_t* first = MapKey(tie->dat->first, &context);
    const wchar_t* second = MapKey(tie->dat->second, &context);
    if (!first || !second) return nullptr;
    TieDatTerm dat = *tie->dat;
    dat.first = first;
    dat.second = second;
    return reinterpret_cast<T::term>(OnStack(TieDomTerm{tie->functor, tie->ref, OnStack(dat)}));
  });
}

// Whether a rule type's number is one of the renumbered list.
bool Renumbers(list_kind kind, rule_kind type) {
  return (kind == list_kind::task && type == rule_kind::r_what) ||
         (kind == list_kind::where && type == rule_kind::r_where) ||
         (kind == list_kind::slot && type == rule_kind::r_slot);
}

// Every can't-do rule over a renumbered number or duty key rewritten; a rule
// over a gone one goes.
void RewriteRules(const KeyContext& context) {
  sc_rules::stored_changed();
  RewriteChain(L"rule_chain", tav::D(domains::which_rule), [&](T::term t) -> T::term {
    auto* w = reinterpret_cast<const WhichRuleTerm*>(t);
    RuleTypeTerm type = *w->rule->type;
    if (type.Kind() == rule_kind::r_dtbd) type.key = MapKey(type.key, &context);
    else if (Renumbers(context.kind, type.Kind())) type.number = (*context.map)(type.number);
    else return t;
    if (type.Kind() == rule_kind::r_dtbd ? !type.key : !type.number) return nullptr;
    RuleTerm rule = *w->rule;
    rule.type = OnStack(type);
    return reinterpret_cast<T::term>(OnStack(WhichRuleTerm{w->functor, w->name, OnStack(rule)}));
  });
}

// A name of `old` followed: `now`, or null when it goes.
bool Named(const wchar_t* name, const wchar_t* old) { return name && wcscmp(name, old) == 0; }

// Every doctor's group list with `old` renamed or dropped.
bool FollowInDoctors(const wchar_t* old, const wchar_t* now) {
  // References first: the walk's terms are gone once it backtracks.
  ListBuilder<chain_ref> changed(true);
  staff_db::nd_person([&](const PersonTerm* p) {
    if (rizediveva6::orv_list::member(old, rizediveva6::AsSList(p->dat->groups))) changed.Add(p->ref);
    tav::K::Fail();
  });
  const List<chain_ref>* people = changed.Finish();
  for (const List<chain_ref>* l = people; !l->Empty(); l = l->tail) {
    const PersonTerm* p = staff_db::get_personref(l->head);
    const PersonDatTerm* d = p->dat;
    ListBuilder<const wchar_t*> names(true);
    for (const SList* g = rizediveva6::AsSList(d->groups); !g->Empty(); g = g->tail)
      if (!Named(g->head, old)) names.Add(g->head);
      else if (now) names.Add(now);
    staff_db::replace_person(MakePerson(p->ref, d->name, names.Finish(), d->colour, d->letter, d->deleted->functor));
  }
  return !people->Empty();
}

bool FollowInRules(const wchar_t* old, const wchar_t* now) {
  sc_rules::stored_changed();
  return RewriteChain(L"rule_chain", tav::D(domains::which_rule), [&](T::term t) -> T::term {
    auto* w = reinterpret_cast<const WhichRuleTerm*>(t);
    if (w->Kind() != who_kind::group_rule || !Named(w->name, old)) return t;
    return now ? reinterpret_cast<T::term>(OnStack(WhichRuleTerm{w->functor, now, w->rule})) : nullptr;
  });
}

bool FollowInTies(const wchar_t* old, const wchar_t* now) {
  ties::stored_changed();
  return RewriteChain(L"tie_chain", tav::D(domains::tie_dom), [&](T::term t) -> T::term {
    auto* tie = reinterpret_cast<const TieDomTerm*>(t);
    const WhichTieTerm* who = tie->dat->who;
    if (who->functor != static_cast<uint64_t>(which_kind::group_tie) || !Named(who->name, old)) return t;
    if (!now) return nullptr;
    TieDatTerm dat = *tie->dat;
    dat.who = OnStack(WhichTieTerm{who->functor, now});
    return reinterpret_cast<T::term>(OnStack(TieDomTerm{tie->functor, tie->ref, OnStack(dat)}));
  });
}

}  // namespace

void renumber::group(const wchar_t* old, const wchar_t* now) {
  // Each step marks the document itself when it writes.
  const bool doctors = FollowInDoctors(old, now);
  const bool rules = FollowInRules(old, now);
  const bool tied = FollowInTies(old, now);
  if (doctors || rules || tied) kalmora_DB::set_as_mod();
}

void renumber::apply(list_kind kind, const number_map& map) {
  if (!map.Moves()) return;
  kalmora_DB::set_as_mod();
  RewriteTypical(kind, map);
  RewriteDateChanges(kind, map);
  if (kind == list_kind::slot) RewriteWeekend(map);
  RewriteFilter(kind, map);
  const KeyContext context{kind, &map};
  sc_assign::rekey(MapKey, &context);
  lock_ass::rekey(MapKey, &context);
  RewriteTies(context);
  RewriteRules(context);
  sc_phase1::must_regenerate(L"renumbered");
}

}  // namespace all
