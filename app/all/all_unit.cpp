// The roster model's static records.  Records are never const: linking
// writes their first words.  A class joins the unit by adding its
// descriptor to `unit`; the shared record types hang off kalmora_DB.
#include "all_unit.h"

#include "kalmoradb/roster_types.h"
#include "qel6decl.h"
#include "rulesPack/sc_rules.h"
#include "unit.h"

namespace all {
namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using Qel::RunTime::RScopeClassDescriptor;
namespace rz = rizediveva6::domains;
namespace tv = tav::domains;

namespace classes {
extern RScopeClassDescriptor kalmora_DB;
extern RScopeClassDescriptor comtree;
}
#define AT(name, prev) {L## #name, QEL_HERE, prev, &classes::kalmora_DB}

namespace domains {
// --- scalars ---
RIntegralDomain period_no = decl::Unsigned(AT(period_no, nullptr), 1, 104);
RIntegralDomain slot_dom = decl::Unsigned(AT(slot_dom, &period_no.head), 1, 10);
RIntegralDomain where_dom = decl::Unsigned(AT(where_dom, &slot_dom.head), 1, 10);
RIntegralDomain task_dom = decl::Unsigned(AT(task_dom, &where_dom.head), 1, 10);
RIntegralDomain which_day_dom = decl::Unsigned(AT(which_day_dom, &task_dom.head), 1001, 1003);
RIntegralDomain chain_ref = decl::Integer(AT(chain_ref, &which_day_dom.head));

// --- dates, slot-periods, day-slots, typical duties ---
decl::Arguments dtArgs{{QEL_ARG(DtTerm, year, rz::year), QEL_ARG(DtTerm, month, rz::month),
                        QEL_ARG(DtTerm, day, rz::day)}};
RFunctor dtFunctors[] = {decl::Functor<DtTerm>(L"dt", dtArgs)};
RCompoundDomain dt = decl::Compound(AT(dt, &chain_ref.head), dtFunctors);

decl::Arguments spArgs{{QEL_ARG(SpTerm, day, rz::day_no), QEL_ARG(SpTerm, period, period_no),
                        QEL_ARG(SpTerm, slot, slot_dom)}};
RFunctor spFunctors[] = {decl::Functor<SpTerm>(L"sp", spArgs)};
RCompoundDomain sp = decl::Compound(AT(sp, &dt.head), spFunctors);

decl::Arguments sdArgs{{QEL_ARG(SdTerm, day, rz::day_no), QEL_ARG(SdTerm, slot, slot_dom)}};
RFunctor sdFunctors[] = {decl::Functor<SdTerm>(L"sd", sdArgs)};
RCompoundDomain sd = decl::Compound(AT(sd, &sp.head), sdFunctors);

// The weekend entry is stored as an sd term with the slot in the first field:
// the same bytes, typed so that slots 8..10 pass.
decl::Arguments weekendSdArgs{{QEL_ARG(WeekendSdTerm, slot, slot_dom),
                               QEL_ARG(WeekendSdTerm, day, rz::day_no)}};
RFunctor weekendSdFunctors[] = {decl::Functor<WeekendSdTerm>(L"sd", weekendSdArgs)};
RCompoundDomain weekend_sd = decl::Compound(AT(weekend_sd, &sd.head), weekendSdFunctors);

decl::Arguments tlsArgs{{QEL_ARG(TlsTerm, task, task_dom), QEL_ARG(TlsTerm, where, where_dom),
                         QEL_ARG(TlsTerm, slot, slot_dom)}};
RFunctor tlsFunctors[] = {decl::Functor<TlsTerm>(L"tls", tlsArgs)};
RCompoundDomain tls = decl::Compound(AT(tls, &weekend_sd.head), tlsFunctors);

// --- concrete duties ---
decl::Arguments dutyDatArgs{{QEL_ARG(DutyDatTerm, at, sp), QEL_ARG(DutyDatTerm, where, where_dom),
                             QEL_ARG(DutyDatTerm, task, task_dom),
                             QEL_ARG(DutyDatTerm, changed, tv::boolean)}};
RFunctor dutyDatFunctors[] = {decl::Functor<DutyDatTerm>(L"duty_to_be_done_dat", dutyDatArgs)};
RCompoundDomain duty_to_be_done_dat = decl::Compound(AT(duty_to_be_done_dat, &tls.head), dutyDatFunctors);

decl::Arguments dutyArgs{{QEL_ARG(DutyTerm, ref, chain_ref),
                          QEL_ARG(DutyTerm, dat, duty_to_be_done_dat)}};
RFunctor dutyFunctors[] = {decl::Functor<DutyTerm>(L"duty_to_be_done", dutyArgs)};
RCompoundDomain duty_to_be_done = decl::Compound(AT(duty_to_be_done, &duty_to_be_done_dat.head), dutyFunctors);

// --- doctors ---
RFunctor deletedFunctors[] = {decl::Constant(L"deleted"), decl::Constant(L"exists")};
RCompoundDomain deleted_or_not = decl::Compound(AT(deleted_or_not, &duty_to_be_done.head), deletedFunctors);

decl::Arguments personDatArgs{{QEL_ARG(PersonDatTerm, name, tv::string),
                               QEL_ARG(PersonDatTerm, groups, tv::string_list),
                               QEL_ARG(PersonDatTerm, colour, tv::integer),
                               QEL_ARG(PersonDatTerm, letter, tv::char_),
                               QEL_ARG(PersonDatTerm, deleted, deleted_or_not)}};
RFunctor personDatFunctors[] = {decl::Functor<PersonDatTerm>(L"person_dat", personDatArgs)};
RCompoundDomain person_dat = decl::Compound(AT(person_dat, &deleted_or_not.head), personDatFunctors);

decl::Arguments personArgs{{QEL_ARG(PersonTerm, ref, chain_ref), QEL_ARG(PersonTerm, dat, person_dat)}};
RFunctor personFunctors[] = {decl::Functor<PersonTerm>(L"person", personArgs)};
RCompoundDomain person = decl::Compound(AT(person, &person_dat.head), personFunctors);

// --- date changes ---
decl::Arguments dtDutyArgs{{QEL_ARG(DtDutyTerm, date, dt), QEL_ARG(DtDutyTerm, day, rz::day_no),
                            QEL_ARG(DtDutyTerm, duty, tls)}};
RFunctor dtDutyFunctors[] = {decl::Functor<DtDutyTerm>(L"dt_duty", dtDutyArgs)};
RCompoundDomain dt_duty = decl::Compound(AT(dt_duty, &person.head), dtDutyFunctors);

// --- statistic kinds, loadings ---
struct Stat1 { uint64_t functor; uint32_t a; };
struct Stat1i { uint64_t functor; int32_t a; };
decl::Arguments statDayArgs{{QEL_ARG(Stat1, a, rz::day_no)}};
decl::Arguments statIntArgs{{QEL_ARG(Stat1i, a, tv::integer)}};
decl::Arguments statSlotArgs{{QEL_ARG(Stat1, a, slot_dom)}};
decl::Arguments statDaySlotArgs{{QEL_ARG(WhatStatTerm, a, rz::day_no), QEL_ARG(WhatStatTerm, b, slot_dom)}};
decl::Arguments statUnsignedArgs{{QEL_ARG(Stat1, a, tv::unsigned_)}};
RFunctor whatStatFunctors[] = {
    decl::Constant(L"total"),
    decl::Functor<Stat1>(L"day", statDayArgs),
    decl::Functor<Stat1i>(L"weekend", statIntArgs),
    decl::Functor<Stat1>(L"slot", statSlotArgs),
    decl::Functor<WhatStatTerm>(L"day_slot", statDaySlotArgs),
    decl::Functor<Stat1>(L"task", statUnsignedArgs),
    decl::Functor<Stat1>(L"where", statUnsignedArgs),
    decl::Functor<Stat1i>(L"holiday", statIntArgs)};
RCompoundDomain what_stat = decl::Compound(AT(what_stat, &dt_duty.head), whatStatFunctors);

decl::Arguments loadingArgs{{QEL_ARG(LoadingTerm, kind, what_stat), QEL_ARG(LoadingTerm, name, tv::string),
                             QEL_ARG(LoadingTerm, fraction, tv::real),
                             QEL_ARG(LoadingTerm, parts, tv::unsigned_)}};
RFunctor loadingFunctors[] = {decl::Functor<LoadingTerm>(L"p_loading", loadingArgs),
                              decl::Functor<LoadingTerm>(L"g_loading", loadingArgs)};
RCompoundDomain loading = decl::Compound(AT(loading, &what_stat.head), loadingFunctors);

decl::Arguments statDomArgs{{QEL_ARG(StatDomTerm, kind, what_stat), QEL_ARG(StatDomTerm, first, tv::unsigned_),
                             QEL_ARG(StatDomTerm, second, tv::unsigned_)}};
RFunctor statDomFunctors[] = {decl::Functor<StatDomTerm>(L"stat_dom", statDomArgs)};
RCompoundDomain stat_dom = decl::Compound(AT(stat_dom, &loading.head), statDomFunctors);

// --- ties ---
decl::Arguments whichTieArgs{{QEL_ARG(WhichTieTerm, name, tv::string)}};
RFunctor whichTieFunctors[] = {decl::Constant(L"global_tie"),
                               decl::Functor<WhichTieTerm>(L"group_tie", whichTieArgs),
                               decl::Functor<WhichTieTerm>(L"person_tie", whichTieArgs)};
RCompoundDomain which_tie = decl::Compound(AT(which_tie, &stat_dom.head), whichTieFunctors);
RFunctor tieDoFunctors[] = {decl::Constant(L"must_do"), decl::Constant(L"must_not_do")};
RCompoundDomain tie_do = decl::Compound(AT(tie_do, &which_tie.head), tieDoFunctors);
RFunctor repeaterFunctors[] = {decl::Constant(L"repeat_week"), decl::Constant(L"repeat_day"),
                               decl::Constant(L"no_repeat")};
RCompoundDomain repeater = decl::Compound(AT(repeater, &tie_do.head), repeaterFunctors);
RFunctor specSlotFunctors[] = {decl::Constant(L"tlsd_spec"), decl::Constant(L"just_slot_day"),
                               decl::Constant(L"just_day"), decl::Constant(L"just_week")};
RCompoundDomain spec_slot = decl::Compound(AT(spec_slot, &repeater.head), specSlotFunctors);

decl::Arguments rpntArgs{{QEL_ARG(RpntTerm, x, tv::real), QEL_ARG(RpntTerm, y, tv::real)}};
RFunctor rpntFunctors[] = {decl::Functor<RpntTerm>(L"rpnt", rpntArgs)};
RCompoundDomain rpnt = decl::Compound(AT(rpnt, &spec_slot.head), rpntFunctors);
decl::Arguments rpnt2Args{{QEL_ARG(Rpnt2Term, from, rpnt), QEL_ARG(Rpnt2Term, to, rpnt)}};
RFunctor rpnt2Functors[] = {decl::Functor<Rpnt2Term>(L"rpnt2", rpnt2Args)};
RCompoundDomain rpnt2 = decl::Compound(AT(rpnt2, &rpnt.head), rpnt2Functors);

decl::Arguments tieDatArgs{{QEL_ARG(TieDatTerm, who, which_tie), QEL_ARG(TieDatTerm, first, tv::string),
                            QEL_ARG(TieDatTerm, second, tv::string), QEL_ARG(TieDatTerm, drawn, rpnt2),
                            QEL_ARG(TieDatTerm, tieDo, tie_do), QEL_ARG(TieDatTerm, repeat, repeater),
                            QEL_ARG(TieDatTerm, spec, spec_slot)}};
RFunctor tieDatFunctors[] = {decl::Functor<TieDatTerm>(L"tie_dat", tieDatArgs)};
RCompoundDomain tie_dat = decl::Compound(AT(tie_dat, &rpnt2.head), tieDatFunctors);
decl::Arguments tieDomArgs{{QEL_ARG(TieDomTerm, ref, chain_ref), QEL_ARG(TieDomTerm, dat, tie_dat)}};
RFunctor tieDomFunctors[] = {decl::Functor<TieDomTerm>(L"tie_dom", tieDomArgs)};
RCompoundDomain tie_dom = decl::Compound(AT(tie_dom, &tie_dat.head), tieDomFunctors);

// --- can't-do rules, assignment verdicts and modes ---
RFunctor canDoFunctors[] = {decl::Constant(L"i_cant_do"), decl::Constant(L"i_can_do")};
RCompoundDomain can_do_dom = decl::Compound(AT(can_do_dom, &tie_dom.head), canDoFunctors);
struct RuleNumber { uint64_t functor; uint32_t n; };
struct RuleKey { uint64_t functor; const wchar_t* key; };
decl::Arguments ruleSlotArgs{{QEL_ARG(RuleNumber, n, slot_dom)}};
decl::Arguments ruleDayArgs{{QEL_ARG(RuleNumber, n, rz::day_no)}};
decl::Arguments rulePeriodArgs{{QEL_ARG(RuleNumber, n, period_no)}};
decl::Arguments ruleWhereArgs{{QEL_ARG(RuleNumber, n, where_dom)}};
decl::Arguments ruleWhatArgs{{QEL_ARG(RuleNumber, n, task_dom)}};
decl::Arguments ruleKeyArgs{{QEL_ARG(RuleKey, key, tv::string)}};
RFunctor ruleTypeFunctors[] = {
    decl::Functor<RuleNumber>(L"r_slot", ruleSlotArgs), decl::Functor<RuleNumber>(L"r_day", ruleDayArgs),
    decl::Functor<RuleNumber>(L"r_period", rulePeriodArgs), decl::Functor<RuleNumber>(L"r_where", ruleWhereArgs),
    decl::Functor<RuleNumber>(L"r_what", ruleWhatArgs), decl::Functor<RuleKey>(L"r_dtbd", ruleKeyArgs)};
RCompoundDomain rule_type = decl::Compound(AT(rule_type, &can_do_dom.head), ruleTypeFunctors);
decl::Arguments ruleArgs{{QEL_ARG(RuleTerm, inForce, tv::boolean), QEL_ARG(RuleTerm, type, rule_type),
                          QEL_ARG(RuleTerm, canDo, can_do_dom)}};
RFunctor ruleFunctors[] = {decl::Functor<RuleTerm>(L"rule", ruleArgs)};
RCompoundDomain rule = decl::Compound(AT(rule, &rule_type.head), ruleFunctors);
decl::Arguments whichRuleArgs{{QEL_ARG(WhichRuleTerm, name, tv::string), QEL_ARG(WhichRuleTerm, rule, rule)}};
RFunctor whichRuleFunctors[] = {decl::Functor<WhichRuleTerm>(L"group_rule", whichRuleArgs),
                                decl::Functor<WhichRuleTerm>(L"person_rule", whichRuleArgs)};
RCompoundDomain which_rule = decl::Compound(AT(which_rule, &rule.head), whichRuleFunctors);
struct PgRef { uint64_t functor; int32_t ref; };
struct PgName { uint64_t functor; const wchar_t* name; };
decl::Arguments pgRefArgs{{QEL_ARG(PgRef, ref, chain_ref)}};
decl::Arguments pgNameArgs{{QEL_ARG(PgName, name, tv::string)}};
RFunctor pgFunctors[] = {decl::Functor<PgRef>(L"p", pgRefArgs), decl::Functor<PgName>(L"g", pgNameArgs)};
RCompoundDomain pg = decl::Compound(AT(pg, &which_rule.head), pgFunctors);
struct CantDoIt { uint64_t functor; const wchar_t* text; uint32_t colour; };
struct TieRule { uint64_t functor; const DutyDatTerm* duty; };
decl::Arguments cantDoItArgs{{QEL_ARG(CantDoIt, text, tv::string), QEL_ARG(CantDoIt, colour, tv::unsigned_)}};
decl::Arguments tieRuleArgs{{QEL_ARG(TieRule, duty, duty_to_be_done_dat)}};
RFunctor ruleReasonFunctors[] = {decl::Functor<CantDoIt>(L"cant_do_it", cantDoItArgs),
                                 decl::Functor<TieRule>(L"tie_prevents_rule", tieRuleArgs)};
RCompoundDomain rule_reason = decl::Compound(AT(rule_reason, &pg.head), ruleReasonFunctors);
struct TieAssign { uint64_t functor; const TieDatTerm* tie; };
decl::Arguments tieAssignArgs{{QEL_ARG(TieAssign, tie, tie_dat)}};
RFunctor assignReasonFunctors[] = {decl::Functor<PgRef>(L"is_busy", pgRefArgs),
                                   decl::Functor<TieAssign>(L"tie_prevents_assign", tieAssignArgs),
                                   decl::Functor<PgRef>(L"duty_is_already_assigned", pgRefArgs)};
RCompoundDomain assign_reason = decl::Compound(AT(assign_reason, &rule_reason.head), assignReasonFunctors);
struct ReasonRule { uint64_t functor; const RuleReasonTerm* r; };
struct ReasonAssign { uint64_t functor; const AssignReasonTerm* r; };
decl::Arguments reasonRuleArgs{{QEL_ARG(ReasonRule, r, rule_reason)}};
decl::Arguments reasonAssignArgs{{QEL_ARG(ReasonAssign, r, assign_reason)}};
RFunctor reasonFunctors[] = {decl::Constant(L"can_do_it"), decl::Functor<ReasonRule>(L"cant_rule_reason", reasonRuleArgs),
                             decl::Functor<ReasonAssign>(L"cant_assign_reason", reasonAssignArgs),
                             decl::Functor<PgName>(L"unknown", pgNameArgs)};
RCompoundDomain reason = decl::Compound(AT(reason, &assign_reason.head), reasonFunctors);
RFunctor testAssFunctors[] = {decl::Constant(L"test_ass_only"), decl::Constant(L"make_ass_only"),
                              decl::Constant(L"test_and_make")};
RCompoundDomain test_ass = decl::Compound(AT(test_ass, &reason.head), testAssFunctors);
decl::Arguments clearPeriodArgs{{QEL_ARG(RuleNumber, n, tv::unsigned_)}};
RFunctor clearFunctors[] = {decl::Constant(L"clear_all"), decl::Functor<RuleNumber>(L"clear_week", clearPeriodArgs),
                            decl::Functor<RuleNumber>(L"clear_month", clearPeriodArgs),
                            decl::Functor<PgName>(L"clear_day", pgNameArgs)};
RCompoundDomain clear_dom = decl::Compound(AT(clear_dom, &test_ass.head), clearFunctors);
}  // namespace domains

namespace classes {
RScopeClassDescriptor kalmora_DB = decl::Class(L"kalmora_DB", QEL_HERE, &domains::clear_dom.head);
decl::UnitTable unit{&kalmora_DB, &comtree};
}  // namespace classes

const RScopeClassDescriptor* const* UnitTable() { return classes::unit.Table(); }

int InitializeUnit() {
  static int result = [] {
    int r = rizediveva6::InitializeUnit();
    if (r || tav::UnitLinked(UnitTable())) return r;
    return Qel::RunTime::RunUnitInitialization(
        nullptr, reinterpret_cast<void*>(&InitializeUnit), classes::unit.Table(), nullptr);
  }();
  return result;
}

}  // namespace all
