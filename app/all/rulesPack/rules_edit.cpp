// The editing of the can't-do rules and the texts of one rule for lists.
//
// Invariants:
//  - The toggle never stores a rule equal to a stored one: equal rules
//    are of the same kind, with equal names (code units), in_force, type
//    and argument, and can_do.
//  - Deletions over the chain collect the references first and delete
//    after the walk.
//  - The modified mark is set before the deletions of
//    delete_all_rules_for_person and clear, after the change elsewhere.
#include <cwchar>
#include <vector>

#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "phase1/sc_phase1.h"
#include "rulesPack/sc_rules.h"
#include "string/string.h"

namespace all {

const tav::ClassInfo all_rules_control::classInfo{L"qel6pack/all/rulesPack/all_rules_control", TAV_CLASS_VERSION};

namespace {

constexpr const wchar_t* kChain = L"rule_chain";

const IDomainDefinition* WhichRule() { return tav::D(domains::which_rule); }

bool SameType(const RuleTypeTerm* a, const RuleTypeTerm* b) {
  if (a->functor != b->functor) return false;
  return a->Kind() == rule_kind::r_dtbd ? wcscmp(a->key, b->key) == 0 : a->number == b->number;
}

bool Equal(const WhichRuleTerm* a, const WhichRuleTerm* b) {
  return a->functor == b->functor && wcscmp(a->name, b->name) == 0 &&
         a->rule->inForce->functor == b->rule->inForce->functor && SameType(a->rule->type, b->rule->type) &&
         a->rule->canDo->functor == b->rule->canDo->functor;
}

// The first stored rule equal to the given one, straight from the chain
// (no note when the store is closed: the database read raises 329).
bool FindEqual(const WhichRuleTerm* rule, chain_ref* ref) {
  volatile chain_ref found = 0;
  const bool any = sc_rules::state.db()->chain_terms(WhichRule(), kChain, [&](tav::RefTerm rt) {
    if (!Equal(reinterpret_cast<const WhichRuleTerm*>(rt.t), rule)) tav::K::Fail();
    found = rt.ref;
  });
  *ref = found;
  return any;
}

// Static: a raise never skips its destructor.
std::vector<chain_ref> x_doomed;

void DeleteCollected() {
  sc_rules::stored_changed();
  for (chain_ref ref : x_doomed) sc_rules::state.db()->term_delete(kChain, ref);
}

// After a doctor's rule: the doctor's assignments it forbids go, and the
// statistics on display follow.  A group's rule changes no assignment.
void TryAdjustDuties(const WhichRuleTerm* rule) {
  const PersonTerm* p;
  if (rule->Kind() != who_kind::person_rule || !staff_db::get_person(rule->name, &p)) return;
  sc_assign::remove_those_that_break_rules(p->ref);
  comtree::update_stats_if_showing();
}

}  // namespace

bool sc_rules::rule_exists(const WhichRuleTerm* rule) {
  chain_ref ref;
  return FindEqual(rule, &ref);
}

bool sc_rules::remove_rule(const WhichRuleTerm* rule) {
  chain_ref ref;
  if (!FindEqual(rule, &ref)) return false;
  stored_changed();
  state.db()->term_delete(kChain, ref);
  kalmora_DB::set_as_mod();
  return true;
}

rule_added sc_rules::remove_or_add_rule(const WhichRuleTerm* rule) {
  if (remove_rule(rule)) return rule_added::rule_removed;
  int32_t ref;
  stored_changed();
  state.db()->chain_inserta(WhichRule(), kChain, reinterpret_cast<T::term>(rule), &ref);
  TryAdjustDuties(rule);
  kalmora_DB::set_as_mod();
  return rule_added::rule_added;
}

void sc_rules::delete_all_rules_for_person(const wchar_t* name) {
  tav::chainDB* db = state.db();
  kalmora_DB::set_as_mod();
  x_doomed.clear();
  db->chain_terms(WhichRule(), kChain, [&](tav::RefTerm rt) {
    auto* r = reinterpret_cast<const WhichRuleTerm*>(rt.t);
    if (r->Kind() == who_kind::person_rule && wcscmp(r->name, name) == 0) x_doomed.push_back(rt.ref);
    tav::K::Fail();
  });
  DeleteCollected();
}

void sc_rules::del_rule_ref(chain_ref ref) {
  stored_changed();
  state.db()->term_delete(kChain, ref);
  kalmora_DB::set_as_mod();
}

void sc_rules::clear() {
  tav::chainDB* db = state.db();
  kalmora_DB::set_as_mod();
  stored_changed();
  db->chain_delete(kChain);
}

void sc_rules::repair() {
  for (who_kind pass : {who_kind::group_rule, who_kind::person_rule}) {
    x_doomed.clear();
    nd_which_rule([&](stored_rule s) {
      const RuleTypeTerm* type = s.rule->rule->type;
      const DutyTerm* duty;
      if (s.rule->Kind() == pass && type->Kind() == rule_kind::r_dtbd && !sc_phase1::get_duty_by_key(type->key, &duty))
        x_doomed.push_back(s.ref);
      tav::K::Fail();
    });
    for (chain_ref ref : x_doomed) {
      stored_changed();
      state.db()->term_delete(kChain, ref);
      kalmora_DB::set_as_mod();
    }
  }
}

void sc_rules::which_rule_desc(const WhichRuleTerm* rule, const wchar_t** shortText, const wchar_t** longText) {
  const wchar_t *desc, *verb;
  rule_desc(rule->rule, &desc, &verb);
  *shortText = tav::string::concat(verb, L" ", desc);
  *longText = tav::string::concat(rule->name, L" ", *shortText);
}

}  // namespace all
