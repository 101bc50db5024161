// The can't-do rule store over "rule_chain", the check of one candidate
// assignment and the texts of a rule.
#include "rulesPack/sc_rules.h"

#include <cwchar>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "SYSTEM/timepack/time_convert.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "phase1/sc_phase1.h"
#include "string/string.h"
#include "time/calendar.h"

namespace all {

using rizediveva6::mytime;
using rizediveva6::time_convert;

const tav::ClassInfo sc_rules::classInfo{L"qel6pack/all/rulesPack/sc_rules", TAV_CLASS_VERSION};
namespace {
void DropMemo();
}  // namespace
store_state sc_rules::state{L"sc_rules", L"rules not initialised", DropMemo};

namespace {

constexpr const wchar_t* kChain = L"rule_chain";
constexpr uint64_t kTrue = 2;
const tav::BooleanTerm kTrueTerm{kTrue};
const tav::ConstantTerm kCantDo{static_cast<uint64_t>(can_do_kind::i_cant_do)};

const IDomainDefinition* WhichRule() { return tav::D(domains::which_rule); }

const ReasonTerm* Reason(reason_kind kind) {
  auto* r = static_cast<ReasonTerm*>(tav::GStackAlloc(sizeof(ReasonTerm)));
  r->functor = static_cast<uint64_t>(kind);
  r->text = nullptr;
  return r;
}

bool Forbids(const RuleTerm* r) {
  return r->inForce->functor == kTrue && r->canDo->functor == static_cast<uint64_t>(can_do_kind::i_cant_do);
}

// The program's day number of a slot-period's date, from the calendar alone.
uint32_t CalendarDayNumber(const sp& at) {
  const dt date = kalmora_DB::sp_dt(at);
  const int64_t days = tav::cal::DaysFromCivil(date.year, static_cast<int32_t>(date.month), static_cast<int32_t>(date.day));
  return time_convert::DayNo(static_cast<int32_t>(((days + 1) % 7 + 7) % 7));  // day 0 a Monday; Sunday 0
}

// The day numbers met so far by (period, day), for the weeks offset and
// week-start day they were computed under (the calendar's only inputs);
// dropped with the rule memo at init, uninit and stored_changed.
struct DayMemo {
  uint32_t offset = 0, startDay = 0;
  std::vector<uint8_t> numbers;  // (period - 1) * 7 + day - 1; 0: not yet known
  void Drop() { numbers.clear(); }
};
DayMemo days;
constexpr uint32_t kDayMemoPeriods = 4096;

uint32_t DayNumber(const DutyDatTerm* duty) {
  const sp at = SpOf(duty->at);
  CheckSp(at);  // a slot-period out of range raises as the calendar does
  if (at.period > kDayMemoPeriods) return CalendarDayNumber(at);
  const uint32_t offset = kalmora_DB::get_weeks_offset(), startDay = mytime::get_start_day();
  if (offset != days.offset || startDay != days.startDay) {
    days.Drop();
    days.offset = offset;
    days.startDay = startDay;
  }
  const size_t i = (size_t{at.period} - 1) * 7 + (at.day - 1);
  if (i < days.numbers.size() && days.numbers[i]) return days.numbers[i];
  const uint32_t number = CalendarDayNumber(at);
  if (i >= days.numbers.size()) days.numbers.resize(size_t{at.period} * 7);
  days.numbers[i] = static_cast<uint8_t>(number);
  return number;
}

// What a dated-duty rule compares of its duty.
struct duty_fields {
  sp at;
  uint32_t where, task;
  uint64_t changed;
};

bool DatedDuty(const wchar_t* key, duty_fields* out) {
  const DutyTerm* found;
  if (!sc_phase1::get_duty_by_key(key, &found)) return false;
  *out = duty_fields{SpOf(found->dat->at), found->dat->where, found->dat->task, found->dat->changed->functor};
  return true;
}

bool SameDuty(const duty_fields& a, const DutyDatTerm* b) {
  return a.at == SpOf(b->at) && a.where == b->where && a.task == b->task && a.changed == b->changed->functor;
}

// The fields each kind reads; sc_rules::reads_slot_period_only tells the
// same of the slot, day and week kinds.
bool TypeMatches(const RuleTypeTerm* t, const DutyDatTerm* duty) {
  switch (t->Kind()) {
    case rule_kind::r_slot: return t->number == duty->at->slot;
    case rule_kind::r_day: return t->number == DayNumber(duty);
    case rule_kind::r_period: return t->number == duty->at->period;
    case rule_kind::r_where: return t->number == duty->where;
    case rule_kind::r_what: return t->number == duty->task;
    case rule_kind::r_dtbd: {
      duty_fields found;
      return DatedDuty(t->key, &found) && SameDuty(found, duty);
    }
  }
  return false;
}

// --- The forbidding rules held in memory ---------------------------------------------------
//
// The rules in force that forbid, as plain values in chain order per kind
// and name, read in one walk of the chain at the first check after a
// change; every write of the chain drops them first (this class, the rule
// editing, renumbering and anyone else through stored_changed), and so do
// init and uninit.

struct memo_rule {
  rule_kind kind;
  uint32_t number;
  std::wstring key;  // r_dtbd
  // The description of a slot, location or task rule whose name was
  // found, kept while no store was written since (kalmora_DB::marks).
  std::wstring desc;
  uint64_t descMarks = ~uint64_t{0};
};
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::wstring_view v) const { return std::hash<std::wstring_view>{}(v); }
};
using rules_by_name = std::unordered_map<std::wstring, std::vector<memo_rule>, NameHash, std::equal_to<>>;
struct RuleMemo {
  bool built = false;
  rules_by_name person, group;
  void Drop() {
    built = false;
    person.clear();
    group.clear();
  }
};
RuleMemo memo;

void DropMemo() {
  memo.Drop();
  days.Drop();
}

const RuleMemo& Memo() {
  if (!memo.built) {
    memo.Drop();
    sc_rules::nd_which_rule([&](stored_rule s) {
      const RuleTerm* r = s.rule->rule;
      if (Forbids(r)) {
        const bool dated = r->type->Kind() == rule_kind::r_dtbd;
        (s.rule->Kind() == who_kind::group_rule ? memo.group : memo.person)[s.rule->name].push_back(
            memo_rule{r->type->Kind(), dated ? 0 : r->type->number, dated ? r->type->key : L"", L"", ~uint64_t{0}});
      }
      tav::K::Fail();
    });
    memo.built = true;
  }
  return memo;
}

// The first stored rule of that kind and name forbidding the duty.
bool FirstForbidding(who_kind kind, const wchar_t* name, const DutyDatTerm* duty, const wchar_t** desc) {
  Memo();
  rules_by_name& rules = kind == who_kind::group_rule ? memo.group : memo.person;
  auto it = rules.find(std::wstring_view(name));
  if (it == rules.end()) return false;
  for (memo_rule& m : it->second) {
    RuleTypeTerm type{};
    type.functor = static_cast<uint64_t>(m.kind);
    if (m.kind == rule_kind::r_dtbd) type.key = m.key.c_str();
    else type.number = m.number;
    if (!TypeMatches(&type, duty)) continue;
    const bool named = m.kind == rule_kind::r_slot || m.kind == rule_kind::r_where || m.kind == rule_kind::r_what;
    if (named && m.descMarks == kalmora_DB::marks()) {
      *desc = tav::HeapCopy(m.desc.c_str());
      return true;
    }
    const RuleTerm rule{1, &kTrueTerm, &type, &kCantDo};
    const wchar_t* verb;
    sc_rules::rule_desc(&rule, desc, &verb);
    *desc = tav::HeapCopy(*desc);
    if (named && wcsncmp(*desc, L"unknown ", 8) != 0) {  // a missing name notes each time
      m.desc = *desc;
      m.descMarks = kalmora_DB::marks();
    }
    return true;
  }
  return false;
}

bool CheckPg(const DutyDatTerm* duty, const PgTerm* who, const wchar_t** desc, uint32_t* colour) {
  if (who->functor == static_cast<uint64_t>(pg_kind::g)) {
    *colour = kGroupRuleColour;
    return FirstForbidding(who_kind::group_rule, who->group, duty, desc);
  }
  *colour = kOwnRuleColour;
  sc_rules::state.is_initialised();
  const PersonTerm* doctor = staff_db::get_personref(who->doctor);
  if (FirstForbidding(who_kind::person_rule, doctor->dat->name, duty, desc)) return true;
  for (const tav::StringList* g = doctor->dat->groups; !g->Empty(); g = g->tail) {
    const wchar_t* d;
    if (!FirstForbidding(who_kind::group_rule, g->head, duty, &d)) continue;
    *desc = tav::string::concat(d, L" [", g->head, L"]");
    *colour = kGroupRuleColour;
    return true;
  }
  return false;
}

}  // namespace

const ReasonTerm* CanDoIt() { return Reason(reason_kind::can_do_it); }

const ReasonTerm* CantRule(const wchar_t* text, uint32_t colour) {
  auto* rr = static_cast<RuleReasonTerm*>(tav::GStackAlloc(sizeof(RuleReasonTerm)));
  rr->functor = static_cast<uint64_t>(rule_reason_kind::cant_do_it);
  rr->text = text;
  rr->colour = colour;
  auto* r = const_cast<ReasonTerm*>(Reason(reason_kind::cant_rule_reason));
  r->rule = rr;
  return r;
}

namespace {
const ReasonTerm* Assign(assign_reason_kind kind, const TieDatTerm* tie, chain_ref ref) {
  auto* ar = static_cast<AssignReasonTerm*>(tav::GStackAlloc(sizeof(AssignReasonTerm)));
  ar->functor = static_cast<uint64_t>(kind);
  if (tie) ar->tie = tie;
  else {
    ar->tie = nullptr;
    ar->ref = ref;
  }
  auto* r = const_cast<ReasonTerm*>(Reason(reason_kind::cant_assign_reason));
  r->assign = ar;
  return r;
}
}  // namespace

const ReasonTerm* CantAssign(assign_reason_kind kind, chain_ref ref) { return Assign(kind, nullptr, ref); }
const ReasonTerm* TiePrevents(const TieDatTerm* tie) {
  return Assign(assign_reason_kind::tie_prevents_assign, tie, 0);
}

const ReasonTerm* Unknown() {
  auto* r = const_cast<ReasonTerm*>(Reason(reason_kind::unknown));
  r->text = L"Unknown reason why can't assign";
  return r;
}

const WhichRuleTerm* MakeWhichRule(const rule_value& v) {
  RuleTypeTerm type{};
  type.functor = static_cast<uint64_t>(v.kind);
  if (v.kind == rule_kind::r_dtbd) type.key = v.key;
  else type.number = v.number;
  const RuleTerm rule{1, OnStack(tav::BooleanTerm{v.inForce ? kTrue : 1}), OnStack(type),
                      tav::Constant(static_cast<uint64_t>(v.canDo))};
  return OnStack(WhichRuleTerm{static_cast<uint64_t>(v.who), v.name, OnStack(rule)});
}

void sc_rules::stored_changed() { DropMemo(); }

bool sc_rules::nd_which_rule(tav::Each<stored_rule> k) {
  state.is_initialised();
  return state.db()->chain_terms(WhichRule(), kChain, [&](tav::RefTerm rt) {
    k(stored_rule{reinterpret_cast<const WhichRuleTerm*>(rt.t), rt.ref});
  });
}

const ReasonTerm* sc_rules::rule_allows_it(const DutyDatTerm* duty, const PgTerm* who) {
  const wchar_t* desc;
  uint32_t colour;
  if (!CheckPg(duty, who, &desc, &colour)) return CanDoIt();
  const wchar_t* name = who->functor == static_cast<uint64_t>(pg_kind::g) ? who->group : staff_db::ref_name(who->doctor);
  return CantRule(tav::string::concat(name, L" can't do ", desc), colour);
}

bool sc_rules::rule_forbids(const DutyDatTerm* duty, const RuleTerm* rule) {
  return Forbids(rule) && TypeMatches(rule->type, duty);
}

rule_check sc_rules::ready(const RuleTerm* rule) {
  rule_check c{};
  c.rule = rule;
  c.generation = ~uint64_t{0};
  return c;
}

bool sc_rules::rule_forbids(const DutyDatTerm* duty, rule_check* check) {
  const RuleTerm* rule = check->rule;
  if (!Forbids(rule)) return false;
  if (rule->type->Kind() != rule_kind::r_dtbd) return TypeMatches(rule->type, duty);
  if (check->generation != sc_phase1::generation()) {
    duty_fields found;
    check->found = DatedDuty(rule->type->key, &found);
    check->at = found.at;
    check->where = found.where;
    check->task = found.task;
    check->changed = found.changed;
    check->generation = sc_phase1::generation();
  }
  return check->found && SameDuty(duty_fields{check->at, check->where, check->task, check->changed}, duty);
}

bool sc_rules::reads_slot_period_only(const RuleTypeTerm* type) {
  switch (type->Kind()) {
    case rule_kind::r_slot:
    case rule_kind::r_day:
    case rule_kind::r_period: return true;
    case rule_kind::r_where:
    case rule_kind::r_what:
    case rule_kind::r_dtbd: return false;
  }
  return false;
}

bool sc_rules::rule_exists(const DutyDatTerm* duty, const RuleTerm* rule, const wchar_t** desc) {
  if (!rule_forbids(duty, rule)) return false;
  const wchar_t* verb;
  rule_desc(rule, desc, &verb);
  return true;
}

void sc_rules::rule_desc(const RuleTerm* rule, const wchar_t** desc, const wchar_t** verb) {
  const wchar_t* text;
  if (rule->canDo->functor == static_cast<uint64_t>(can_do_kind::i_cant_do) && rule_type_desc(rule->type, &text)) {
    *desc = tav::string::concat(text, L" ");
    *verb = L"can't do";
    return;
  }
  *desc = L"No desc";
  *verb = L"??";
}

bool sc_rules::rule_type_desc(const RuleTypeTerm* type, const wchar_t** text) {
  switch (type->Kind()) {
    case rule_kind::r_slot: *text = kalmora_DB::get_slot_name(type->number); return true;
    case rule_kind::r_day: return mytime::dayno_dayname(type->number, text);
    case rule_kind::r_period:
    {
      wchar_t number[12];
      swprintf(number, 12, L"%u", type->number);
      *text = tav::string::concat(L"Week  ", number);
      return true;
    }
    case rule_kind::r_where: *text = locations::get_where_name(type->number); return true;
    case rule_kind::r_what: *text = tasks::get_task_name(type->number); return true;
    case rule_kind::r_dtbd: *text = sc_phase1::key_desc(type->key); return true;
  }
  return false;
}

}  // namespace all
