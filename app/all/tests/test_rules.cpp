// The editing of the can't-do rules and their list texts, in process on
// the two-week gate roster with its two rules and three assignments.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "liboxes/stats_tab.h"
#include "wyn_test.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"
#include "roster_test.h"
#include "rulesPack/sc_rules.h"
#include "SYSTEM/timepack/time_convert.h"
#include "time/calendar.h"

namespace alltest {
namespace {

const DutySpec kWard{L"Ward", L"Main", L"early"}, kClinic{L"Clinic", L"Main", L"early"};

class Rules : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    doc_ = New();
    Run([] { WriteSpec(GateFullSpec()); });
    rec().Clear();
    ComtreeCalls().clear();
  }
  // A rule term; r_dtbd names a duty by its tie end.
  static const WhichRuleTerm* R(who_kind who, const wchar_t* name, rule_kind kind, uint32_t number,
                                TieEndSpec duty = {}, bool inForce = true,
                                can_do_kind canDo = can_do_kind::i_cant_do) {
    return RuleOf(RuleSpec{who, name, kind, number, duty, inForce, canDo});
  }
  // The long texts of the stored rules, in chain order.
  static std::vector<std::wstring> Stored() {
    std::vector<std::wstring> out;
    sc_rules::nd_which_rule([&](stored_rule s) {
      const wchar_t *shortText, *longText;
      sc_rules::which_rule_desc(s.rule, &shortText, &longText);
      out.push_back(longText);
      tav::K::Fail();
    });
    return out;
  }
  template <class F>
  bool Marks(F body) {
    doc_->set_as_modified(false);
    Run(body);
    return doc_->is_modified();
  }
  static bool Holds(const TieEndSpec& duty, const wchar_t* name) {
    chain_ref r;
    return sc_assign::is_assigned(KeyOf(duty).c_str(), &r) && std::wstring(staff_db::ref_name(r)) == name;
  }
  void TearDown() override {
    all::comtree::db3.db_stats_tab.clear();
    Roster::TearDown();
  }
  // A statistics table on show in a window of the task, its rows emptied.
  all::stats_tab* ShownTable(HWND task) {
    all::stats_tab* t = nullptr;
    Run([&] {
      namespace kd = tav::kwidomains;
      const LONG_PTR w = QEL_KWI::win_Create(QEL_KWI::wt_child, kd::Rect(0, 0, 300, 200), L"", kd::NoMenu(),
                                             reinterpret_cast<LONG_PTR>(task), kd::Ints({}), tav::NoEventHandler(), 0);
      t = all::stats_tab::new_stats_tab(rizediveva6::Nil<const wchar_t*>(), w);
      all::comtree::db3.db_stats_tab.push_back({t, w});
      QEL_KWI::kwi_ProcessEvents(1, 0);  // the table's own first drawing
      t->lbox_clear();
    });
    return t;
  }
  // Whether the table was filled again since it was emptied; empties it.
  static bool Recalculated(all::stats_tab* t) {
    rizediveva6::line first;
    const bool filled = t->nth_line(1, &first);
    t->lbox_clear();
    return filled;
  }
  rz::document* doc_ = nullptr;
};

const std::vector<std::wstring> kSpecRules = {L"South ?? No desc", L"Ann can't do late "};

TEST_F(Rules, SlotDayAndWeekRulesGiveOneVerdictForEveryTaskAndLocationOfASlotPeriod) {
  Run([] {
    const SpTerm at{1, 3, 2, 1};  // day 3 of week 2, first slot
    const tav::BooleanTerm inForce{2}, no{1};
    const tav::ConstantTerm cantDo{static_cast<uint64_t>(can_do_kind::i_cant_do)};
    const auto forbids = [&](const RuleTypeTerm& type, uint32_t task, uint32_t where) {
      const RuleTerm rule{1, &inForce, &type, &cantDo};
      const DutyDatTerm duty{1, &at, where, task, &no};
      return sc_rules::rule_forbids(&duty, &rule);
    };
    struct Case {
      rule_kind kind;
      bool slotPeriodOnly;
    };
    for (const Case c : {Case{rule_kind::r_slot, true}, Case{rule_kind::r_day, true}, Case{rule_kind::r_period, true},
                         Case{rule_kind::r_where, false}, Case{rule_kind::r_what, false},
                         Case{rule_kind::r_dtbd, false}}) {
      RuleTypeTerm type{static_cast<uint64_t>(c.kind), {0}};
      EXPECT_EQ(sc_rules::reads_slot_period_only(&type), c.slotPeriodOnly) << static_cast<int>(c.kind);
      if (!c.slotPeriodOnly) continue;
      // The number that forbids the first pair forbids every pair.
      for (type.number = 1; type.number <= 7 && !forbids(type, 1, 1); ++type.number) {}
      ASSERT_LE(type.number, 7u) << static_cast<int>(c.kind);
      for (uint32_t task = 1; task <= 3; ++task)
        for (uint32_t where = 1; where <= 3; ++where) EXPECT_TRUE(forbids(type, task, where));
    }
  });
}

// The day number of a slot-period straight from its date.
uint32_t DateDayNumber(const SpTerm& at) {
  const dt date = kalmora_DB::sp_dt(SpOf(&at));
  const int64_t days = tav::cal::DaysFromCivil(date.year, static_cast<int32_t>(date.month), static_cast<int32_t>(date.day));
  return rizediveva6::time_convert::DayNo(static_cast<int32_t>(((days + 1) % 7 + 7) % 7));
}

TEST_F(Rules, DayAndDatedVerdictsFollowTheWeekStartAndTheDutyIndex) {
  Run([] {
    const tav::BooleanTerm inForce{2}, no{1};
    const tav::ConstantTerm cantDo{static_cast<uint64_t>(can_do_kind::i_cant_do)};
    // The day numbers that forbid the slot-period, asked both ways.
    const auto forbiddingDays = [&](const SpTerm& at) {
      const DutyDatTerm duty{1, &at, 1, 1, &no};
      std::vector<uint32_t> found;
      for (uint32_t n = 1; n <= 7; ++n) {
        RuleTypeTerm type{static_cast<uint64_t>(rule_kind::r_day), {n}};
        const RuleTerm rule{1, &inForce, &type, &cantDo};
        rule_check ready = sc_rules::ready(&rule);
        const bool plain = sc_rules::rule_forbids(&duty, &rule);
        EXPECT_EQ(sc_rules::rule_forbids(&duty, &ready), plain) << n;
        if (plain) found.push_back(n);
      }
      return found;
    };
    for (const uint32_t startDay : {kalmora_DB::get_start_day(), kalmora_DB::get_start_day() == 1 ? 0u : 1u}) {
      kalmora_DB::set_start_day(startDay);
      for (uint32_t period = 1; period <= 2; ++period)
        for (uint32_t day = 1; day <= 7; ++day) {
          const SpTerm at{1, day, period, 1};
          EXPECT_EQ(forbiddingDays(at), std::vector<uint32_t>{DateDayNumber(at)}) << startDay << " " << day;
        }
    }

    // A readied dated rule follows the duty index: its duty gone, it forbids nothing.
    const TieEndSpec end{2, 1, kWard};
    const WhichRuleTerm* dated = R(who_kind::person_rule, L"Bob", rule_kind::r_dtbd, 0, end);
    rule_check ready = sc_rules::ready(dated->rule);
    const DutyTerm* d;
    ASSERT_TRUE(sc_phase1::get_duty_by_key(KeyOf(end).c_str(), &d));
    const SpTerm dutyAt = *d->dat->at;
    const DutyDatTerm named{1, &dutyAt, d->dat->where, d->dat->task, d->dat->changed};
    EXPECT_TRUE(sc_rules::rule_forbids(&named, &ready));
    kalmora_DB::put_weeks_duration(1);
    sc_phase1::generate();
    EXPECT_FALSE(sc_rules::rule_forbids(&named, dated->rule));
    EXPECT_FALSE(sc_rules::rule_forbids(&named, &ready));
  });
}

TEST_F(Rules, ToggleTwiceAddsThenRemovesAndMarksBothTimes) {
  rule_added first, second;
  EXPECT_TRUE(Marks([&] { first = sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Cy", rule_kind::r_period, 2)); }));
  Run([&] {
    EXPECT_EQ(Stored(), (std::vector<std::wstring>{L"Cy can't do Week  2 ", kSpecRules[0], kSpecRules[1]}));
  });
  EXPECT_TRUE(Marks([&] { second = sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Cy", rule_kind::r_period, 2)); }));
  EXPECT_EQ(first, rule_added::rule_added);
  EXPECT_EQ(second, rule_added::rule_removed);
  Run([&] { EXPECT_EQ(Stored(), kSpecRules); });
}

TEST_F(Rules, ARuleDifferingOnlyInForceOrCanDoIsAddedBeside) {
  Run([&] {
    EXPECT_EQ(sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2, {}, false)),
              rule_added::rule_added);
    EXPECT_EQ(sc_rules::remove_or_add_rule(
                  R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2, {}, true, can_do_kind::i_can_do)),
              rule_added::rule_added);
    EXPECT_EQ(sc_rules::remove_or_add_rule(R(who_kind::group_rule, L"Ann", rule_kind::r_slot, 2)),
              rule_added::rule_added);  // a group of that name is another rule
    EXPECT_EQ(Stored().size(), 5u);
    EXPECT_TRUE(sc_rules::rule_exists(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2)));
    EXPECT_FALSE(sc_rules::rule_exists(R(who_kind::person_rule, L"ann", rule_kind::r_slot, 2)));
    EXPECT_FALSE(sc_rules::remove_rule(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 1)));
  });
}

TEST_F(Rules, DeletingAllRulesOfADoctorKeepsGroupsAndOtherNames) {
  Run([&] {
    for (const WhichRuleTerm* r : {R(who_kind::person_rule, L"Ann", rule_kind::r_period, 1),
                                   R(who_kind::group_rule, L"Ann", rule_kind::r_slot, 1),
                                   R(who_kind::person_rule, L"ann", rule_kind::r_slot, 1)})
      AddRule(r);
  });
  EXPECT_TRUE(Marks([] { sc_rules::delete_all_rules_for_person(L"Ann"); }));
  Run([&] { EXPECT_EQ(Stored(), (std::vector<std::wstring>{L"ann can't do early ", L"Ann can't do early ", kSpecRules[0]})); });
  EXPECT_TRUE(Marks([] { sc_rules::delete_all_rules_for_person(L"Nobody"); }));  // marked all the same
}

TEST_F(Rules, RepairDropsDatedRulesWhoseDutyWentAfterTheRosterShrank) {
  Run([&] {
    AddRule(R(who_kind::person_rule, L"Bob", rule_kind::r_dtbd, 0, {2, 1, kWard}));
    AddRule(R(who_kind::group_rule, L"North", rule_kind::r_dtbd, 0, {1, 2, kClinic}));
    AddRule(R(who_kind::group_rule, L"North", rule_kind::r_dtbd, 0, {2, 3, kClinic}));
    AddRule(R(who_kind::person_rule, L"Cy", rule_kind::r_period, 2));
    kalmora_DB::put_weeks_duration(1);
    sc_phase1::generate();
  });
  EXPECT_TRUE(Marks([] { sc_rules::repair(); }));
  Run([&] {
    const std::vector<std::wstring> left = Stored();
    ASSERT_EQ(left.size(), 4u);
    EXPECT_EQ(left[0], L"Cy can't do Week  2 ");  // other types are not examined
    EXPECT_EQ(left[1].rfind(L"North can't do ", 0), 0u) << Narrow(left[1]);
    EXPECT_EQ(std::vector<std::wstring>(left.begin() + 2, left.end()), kSpecRules);
  });
  EXPECT_FALSE(Marks([] { sc_rules::repair(); }));  // nothing left to drop
}

TEST_F(Rules, ShortAndLongTexts) {
  const struct {
    const WhichRuleTerm* (*rule)();
    const wchar_t *shortText, *longText;
  } cases[] = {
      {[] { return R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2); }, L"can't do late ", L"Ann can't do late "},
      {[] { return R(who_kind::group_rule, L"South", rule_kind::r_period, 3); }, L"can't do Week  3 ",
       L"South can't do Week  3 "},
      {[] { return R(who_kind::group_rule, L"South", rule_kind::r_what, 2, {}, false); }, L"can't do Clinic ",
       L"South can't do Clinic "},  // in_force plays no part
      {[] { return R(who_kind::person_rule, L"Dee", rule_kind::r_where, 1, {}, true, can_do_kind::i_can_do); },
       L"?? No desc", L"Dee ?? No desc"},
  };
  Run([&] {
    for (const auto& c : cases) {
      const wchar_t *shortText, *longText;
      sc_rules::which_rule_desc(c.rule(), &shortText, &longText);
      EXPECT_EQ(std::wstring(shortText), c.shortText);
      EXPECT_EQ(std::wstring(longText), c.longText);
    }
  });
}

TEST_F(Rules, ADoctorsNewRuleRemovesTheAssignmentsItForbidsAndRefreshesTheStatistics) {
  const TieEndSpec bobs{2, 2, kClinic};
  rztest::InTask([&](HWND task) {
    all::stats_tab* table = ShownTable(task);
    Run([&] {
      ASSERT_TRUE(Holds(bobs, L"Bob"));
      // A group's rule and a rule of a name that is no doctor's remove nothing.
      sc_rules::remove_or_add_rule(R(who_kind::group_rule, L"South", rule_kind::r_what, 2));
      sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Zed", rule_kind::r_what, 2));
      EXPECT_TRUE(Holds(bobs, L"Bob"));
      EXPECT_FALSE(Recalculated(table));
      EXPECT_EQ(sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Bob", rule_kind::r_what, 2)),
                rule_added::rule_added);
      EXPECT_FALSE(Holds(bobs, L"Bob"));
      EXPECT_TRUE(Recalculated(table));
      EXPECT_TRUE(Holds({1, 3, kWard}, L"Dee"));  // another doctor's stays
    });
  });
}

TEST_F(Rules, DeletingByReference) {
  chain_ref first = 0;
  Run([&] {
    sc_rules::nd_which_rule([&](stored_rule s) { first = s.ref; });
  });
  EXPECT_TRUE(Marks([&] { sc_rules::del_rule_ref(first); }));
  Run([&] { EXPECT_EQ(Stored(), std::vector<std::wstring>{kSpecRules[1]}); });
  doc_->set_as_modified(false);
  EXPECT_EQ(Error([&] { sc_rules::del_rule_ref(first); }), 1319u);
  EXPECT_FALSE(doc_->is_modified());
  EXPECT_TRUE(Marks([] { sc_rules::clear(); }));
  Run([&] { EXPECT_TRUE(Stored().empty()); });
}

TEST_F(Rules, AClosedStoreRaisesWithoutANoteButRepairNotesFirst) {
  Run([] { kalmora_DB::uninit(); });
  rec().Clear();
  const std::function<void()> quiet[] = {
      [] { sc_rules::remove_or_add_rule(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 1)); },
      [] { sc_rules::remove_rule(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2)); },
      [] { sc_rules::rule_exists(R(who_kind::person_rule, L"Ann", rule_kind::r_slot, 2)); },
      [] { sc_rules::delete_all_rules_for_person(L"Ann"); },
      [] { sc_rules::del_rule_ref(1); },
      [] { sc_rules::clear(); },
  };
  for (const auto& op : quiet) EXPECT_EQ(Error(op), 329u);
  EXPECT_TRUE(rec().Texts(L"note").empty());
  EXPECT_EQ(Error([] { sc_rules::repair(); }), 329u);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"rules not initialised"});
}

}  // namespace
}  // namespace alltest
