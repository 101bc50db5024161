// sc_rules: the can't-do rules of the open roster, one which_rule term per
// rule in the chain "rule_chain", newest first, and the check of one
// candidate assignment against them.  Also the assignment verdict `reason`.
//
// Invariants:
//  - Functor numbers and field order of every term here are the stored
//    format (rule_chain holds runtime images of which_rule): never change.
//  - Names compare code unit by code unit (wcscmp): case and trailing
//    blanks count.
//  - rule_allows_it never fails; the first forbidding rule decides: the
//    doctor's own rules in chain order, then per group of the doctor (in
//    the doctor's order) the group's rules in chain order.
//  - Every read of a closed store shows "rules not initialised" and raises
//    329; nothing is read or changed.
//  - The checks read the forbidding rules from memory, read again after
//    stored_changed, init or uninit; a day rule's day numbers are kept by
//    slot-period for the weeks offset and week start they were made under.
#pragma once

#include "kalmoradb/roster_types.h"
#include "kalmoradb/store_state.h"

namespace all {

namespace domains {
extern T::RCompoundDomain can_do_dom, rule_type, rule, which_rule, pg, rule_reason, assign_reason, reason,
    test_ass, clear_dom;
}  // namespace domains

enum class rule_kind : uint64_t { r_slot = 1, r_day, r_period, r_where, r_what, r_dtbd };
enum class can_do_kind : uint64_t { i_cant_do = 1, i_can_do };
enum class who_kind : uint64_t { group_rule = 1, person_rule };

// rule_type: a number (slot, day, week, location, task) or a duty key.
struct RuleTypeTerm {
  uint64_t functor;
  union {
    uint32_t number;
    const wchar_t* key;  // r_dtbd
  };
  rule_kind Kind() const { return static_cast<rule_kind>(functor); }
};
// rule(in_force, rule_type, can_do)
struct RuleTerm {
  uint64_t functor;
  const tav::BooleanTerm* inForce;
  const RuleTypeTerm* type;
  const tav::ConstantTerm* canDo;
};
// group_rule(name, rule) | person_rule(name, rule)
struct WhichRuleTerm {
  uint64_t functor;
  const wchar_t* name;
  const RuleTerm* rule;
  who_kind Kind() const { return static_cast<who_kind>(functor); }
};

// pg: p(doctor reference) | g(group name).
enum class pg_kind : uint64_t { p = 1, g };
struct PgTerm {
  uint64_t functor;
  union {
    chain_ref doctor;
    const wchar_t* group;
  };
};

// rule_reason: cant_do_it(text, colour) | tie_prevents_rule(duty_to_be_done_dat).
enum class rule_reason_kind : uint64_t { cant_do_it = 1, tie_prevents_rule };
struct RuleReasonTerm {
  uint64_t functor;
  union {
    const wchar_t* text;
    const DutyDatTerm* duty;
  };
  uint32_t colour;
};
// assign_reason: is_busy(duty ref) | tie_prevents_assign(tie_dat) |
// duty_is_already_assigned(doctor ref).
enum class assign_reason_kind : uint64_t { is_busy = 1, tie_prevents_assign, duty_is_already_assigned };
struct AssignReasonTerm {
  uint64_t functor;
  union {
    chain_ref ref;
    const TieDatTerm* tie;
  };
};
// reason: can_do_it | cant_rule_reason(rule_reason) |
// cant_assign_reason(assign_reason) | unknown(text).
enum class reason_kind : uint64_t { can_do_it = 1, cant_rule_reason, cant_assign_reason, unknown };
struct ReasonTerm {
  uint64_t functor;
  union {
    const RuleReasonTerm* rule;
    const AssignReasonTerm* assign;
    const wchar_t* text;
  };
  reason_kind Kind() const { return static_cast<reason_kind>(functor); }
};

constexpr uint32_t kOwnRuleColour = 0x0000FF;
constexpr uint32_t kGroupRuleColour = 0x8F8FBC;

// Reason terms on the global stack.
const ReasonTerm* CanDoIt();
const ReasonTerm* CantRule(const wchar_t* text, uint32_t colour);
const ReasonTerm* CantAssign(assign_reason_kind kind, chain_ref ref);
const ReasonTerm* TiePrevents(const TieDatTerm* tie);
const ReasonTerm* Unknown();

// A rule as plain values, and its term on the global stack.
struct rule_value {
  who_kind who;
  const wchar_t* name;
  bool inForce;
  rule_kind kind;
  uint32_t number;     // every kind but r_dtbd
  const wchar_t* key;  // r_dtbd
  can_do_kind canDo;
};
const WhichRuleTerm* MakeWhichRule(const rule_value& v);

// The toggle's answer: rule_added | rule_removed | rule_added_failed (the
// calendar's, when it could not build a rule).
enum class rule_added : uint64_t { rule_added = 1, rule_removed, rule_added_failed };

// One stored rule with its chain reference.
struct stored_rule {
  const WhichRuleTerm* rule;
  chain_ref ref;
};

// A rule readied for many checks: a dated-duty rule's duty is looked up
// once per generation of the duty index (sc_phase1::generation).
struct rule_check {
  const RuleTerm* rule;
  uint64_t generation;  // of the looked-up duty; ~0: not looked up
  bool found;
  sp at;
  uint32_t where, task;
  uint64_t changed;
};

class sc_rules {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  // Drops what is held in memory of the stored rules; every write of the
  // chain calls it before it writes.
  static void stored_changed();

  // Every stored rule in chain order (newest first).
  static bool nd_which_rule(tav::Each<stored_rule> k);
  static const ReasonTerm* rule_allows_it(const DutyDatTerm* duty, const PgTerm* who);
  // The description of a rule that forbids the duty; false otherwise.
  static bool rule_exists(const DutyDatTerm* duty, const RuleTerm* rule, const wchar_t** desc);
  // rule_exists without the description: whether the rule forbids the duty.
  static bool rule_forbids(const DutyDatTerm* duty, const RuleTerm* rule);
  // The same verdict for a readied rule.
  static rule_check ready(const RuleTerm* rule);
  static bool rule_forbids(const DutyDatTerm* duty, rule_check* check);
  // Whether a rule of the type reads nothing of a duty but its slot-period
  // (slot, day and week rules): its verdict is one for every task and
  // location there.
  static bool reads_slot_period_only(const RuleTypeTerm* type);
  // Description and verb: "<type text> " and "can't do", else "No desc" and "??".
  static void rule_desc(const RuleTerm* rule, const wchar_t** desc, const wchar_t** verb);
  // False when the type has no text (a day number without a name).
  static bool rule_type_desc(const RuleTypeTerm* type, const wchar_t** text);

  // Editing.  Each change marks the document modified; a closed store
  // raises 329 (repair shows "rules not initialised" first).
  // Removes an equal stored rule, else adds the rule at the front and
  // removes the assignments a doctor's new rule forbids.
  static rule_added remove_or_add_rule(const WhichRuleTerm* rule);
  // Deletes the first equal stored rule; false when there is none.
  static bool remove_rule(const WhichRuleTerm* rule);
  static bool rule_exists(const WhichRuleTerm* rule);
  // Every rule of the doctor of that exact name; group rules stay.
  static void delete_all_rules_for_person(const wchar_t* name);
  // A reference that is no stored term: the chain database's error.
  static void del_rule_ref(chain_ref ref);
  static void clear();
  // Deletes the dated-duty rules whose key names no duty: group rules
  // first, then doctors' rules.
  static void repair();
  // "<verb> <description>" and "<name> <verb> <description>".
  static void which_rule_desc(const WhichRuleTerm* rule, const wchar_t** shortText, const wchar_t** longText);
};

// The package's control class: its class id only.
class all_rules_control {
 public:
  static const tav::ClassInfo classInfo;
};

}  // namespace all
