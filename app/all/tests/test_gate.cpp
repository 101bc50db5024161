// The assignment gate on the hand-checked two-week roster, with the index
// and with the plain walks of the tree: verdicts and their order in every
// mode, the can't-do rule texts, busy tests and per-doctor lists, ties on
// assigning and removing, locks, clears and repairs, the store closed.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/renumber.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/stats_pack/totals.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"
#include "roster_test.h"

using namespace alltest;

namespace {

constexpr uint32_t kEarly = 1, kLate = 2, kWard = 1, kClinic = 2;
constexpr uint32_t kMon = 1, kTue = 2;

std::wstring Key(uint32_t period, uint32_t day, uint32_t task, uint32_t slot) {
  return sc_phase1::get_dtbd_key(duty_dat{sp{day, period, slot}, 1, task, false}).text;
}
const std::wstring kNoDuty = L"[199,11,11,1,1]";

chain_ref Ref(const wchar_t* name) {
  const PersonTerm* p = nullptr;
  EXPECT_TRUE(staff_db::get_person(name, &p)) << Narrow(name);
  return p ? p->ref : 0;
}
const DutyTerm* Duty(const std::wstring& key) {
  const DutyTerm* d = nullptr;
  EXPECT_TRUE(sc_phase1::get_duty_by_key(key.c_str(), &d)) << Narrow(key);
  return d;
}
// The doctor of a key by name; empty for none.
std::wstring Holder(const std::wstring& key) {
  chain_ref r;
  return sc_assign::is_assigned(key.c_str(), &r) ? std::wstring(staff_db::ref_name(r)) : L"";
}
// A verdict as text: "can_do_it", "already <name>", "busy <duty key>",
// "tie <first>~<second>", "rule <text>|<colour>", "unknown <text>".
std::wstring Verdict(const ReasonTerm* r) {
  switch (r->Kind()) {
    case reason_kind::can_do_it: return L"can_do_it";
    case reason_kind::unknown: return std::wstring(L"unknown ") + r->text;
    case reason_kind::cant_rule_reason: {
      wchar_t colour[16];
      swprintf(colour, 16, L"%06X", r->rule->colour);
      return std::wstring(L"rule ") + r->rule->text + L"|" + colour;
    }
    case reason_kind::cant_assign_reason:
      switch (static_cast<assign_reason_kind>(r->assign->functor)) {
        case assign_reason_kind::duty_is_already_assigned:
          return std::wstring(L"already ") + staff_db::ref_name(r->assign->ref);
        case assign_reason_kind::tie_prevents_assign:
          return std::wstring(L"tie ") + r->assign->tie->first + L"~" + r->assign->tie->second;
        case assign_reason_kind::is_busy: {
          const DutyTerm* d = sc_phase1::get_duty_by_ref(r->assign->ref);
          return std::wstring(L"busy ") + sc_phase1::get_dtbd_key(DutyDatOf(d->dat)).text;
        }
      }
  }
  return L"?";
}
std::vector<std::wstring> Keys(const SList* l) { return Names(l); }

class Gate : public Roster, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    Roster::SetUp();
    sc_assign::boo_walks = GetParam();
    ties::xdb_active = true;
    doc_ = New();
    Run([] { WriteSpec(GateSpec()); });
    rec().Clear();
    ComtreeCalls().clear();
    all::comtree::db3.xcs_help.set({1, L"", 0});
  }
  void TearDown() override {
    sc_assign::boo_walks = false;
    Roster::TearDown();
  }
  template <class F>
  bool Marks(F body) {
    doc_->set_as_modified(false);
    Run(body);
    return doc_->is_modified();
  }
  static void Tie(which_kind who, const wchar_t* name, const std::wstring& a, const std::wstring& b, tie_kind kind,
                  repeat_kind repeat = repeat_kind::repeat_week) {
    ties::add_tie2(MakeTieDat(tie_value{who, name, a.c_str(), b.c_str(), kind, repeat, spec_kind::tlsd_spec}));
  }
  // Runs body with the ties switched off: nothing propagates.
  template <class F>
  static void Quiet(F body) {
    ties::toggle_activate();
    body();
    ties::toggle_activate();
  }
  // Stores an assignment without checks and without propagation.
  static void Make(const std::wstring& key, const wchar_t* doctor) {
    Quiet([&] {
      EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::make_ass_only, key.c_str(), Ref(doctor))), L"can_do_it");
    });
  }
  static void Rule(who_kind who, const wchar_t* name, rule_kind kind, uint32_t number, const std::wstring& key = L"",
                   bool inForce = true, can_do_kind canDo = can_do_kind::i_cant_do) {
    AddRule(MakeWhichRule(
        rule_value{who, name, inForce, kind, number, key.empty() ? nullptr : tav::HeapCopy(key.c_str()), canDo}));
  }
  // Closes the document, saved or not, and opens it again.
  void Reopen(bool save) {
    if (save) kalmora_DB::save_kalmora();
    kalmora_DB::uninit();
    doc_->set_as_modified(false);
    doc_->orv_close(rz::MakeList<const wchar_t*>({}), false);
    open_.clear();
    doc_ = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(Path(L"r.km6").c_str()), false, rz::kBackupNone));
    open_.push_back(doc_);
    kalmora_DB::init(doc_);
  }
  rz::document* doc_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(IndexAndWalks, Gate, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "walks" : "index"; });

TEST_P(Gate, VerdictsInEveryModeFollowTheCheckOrder) {
  const std::wstring wardMon1 = Key(1, kMon, kWard, kEarly), clinicMon1 = Key(1, kMon, kClinic, kEarly),
                     lateMon1 = Key(1, kMon, kWard, kLate), lateMon2 = Key(2, kMon, kWard, kLate),
                     wardTue1 = Key(1, kTue, kWard, kEarly), wardWed1 = Key(1, 3, kWard, kEarly);
  Run([&] {
    Make(wardMon1, L"Ann");
    Make(lateMon1, L"Dee");
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_what, kClinic);  // shadowed by busy
    Rule(who_kind::person_rule, L"Dee", rule_kind::r_slot, kLate);    // shadowed by the tie
    Rule(who_kind::person_rule, L"Bob", rule_kind::r_slot, kEarly);
    Tie(which_kind::global_tie, nullptr, lateMon1, lateMon2, tie_kind::must_not_do);
  });
  struct Row {
    const char* what;
    test_ass mode;
    std::wstring key;
    const wchar_t* doctor;
    std::wstring verdict;
    std::wstring holder;  // after the call
    bool marks;
  };
  const Row rows[] = {
      {"the same doctor again", test_ass::test_and_make, wardMon1, L"Ann", L"already Ann", L"Ann", false},
      {"another doctor, test only", test_ass::test_ass_only, wardMon1, L"Bob", L"already Ann", L"Ann", false},
      {"busy before a rule", test_ass::test_and_make, clinicMon1, L"Ann", L"busy " + wardMon1, L"", false},
      {"a tie before a rule", test_ass::test_and_make, lateMon2, L"Dee", L"tie " + lateMon1 + L"~" + lateMon2, L"",
       false},
      {"an own rule", test_ass::test_and_make, wardTue1, L"Bob", L"rule Bob can't do early |0000FF", L"", false},
      {"a free duty, test only", test_ass::test_ass_only, wardTue1, L"Cy", L"can_do_it", L"", false},
      {"a free duty, stored", test_ass::test_and_make, wardTue1, L"Cy", L"can_do_it", L"Cy", true},
      {"no checks: a rule ignored", test_ass::make_ass_only, wardWed1, L"Bob", L"can_do_it", L"Bob", true},
      {"no checks on an assigned duty keep the old doctor", test_ass::make_ass_only, wardMon1, L"Bob",
       L"unknown Unknown reason why can't assign", L"Ann", true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    std::wstring verdict;
    EXPECT_EQ(Marks([&] { verdict = Verdict(sc_assign::assign_person(r.mode, r.key.c_str(), Ref(r.doctor))); }),
              r.marks);
    EXPECT_EQ(verdict, r.verdict);
    Run([&] { EXPECT_EQ(Holder(r.key), r.holder); });
  }
  for (test_ass mode : {test_ass::test_ass_only, test_ass::make_ass_only, test_ass::test_and_make}) {
    SCOPED_TRACE(static_cast<int>(mode));
    std::wstring verdict;
    EXPECT_FALSE(Marks([&] { verdict = Verdict(sc_assign::assign_person(mode, kNoDuty.c_str(), Ref(L"Cy"))); }));
    EXPECT_EQ(verdict, L"unknown Unknown reason why can't assign");
  }
  Run([&] {
    EXPECT_EQ(Holder(kNoDuty), L"");
    EXPECT_EQ(sc_assign::number_assigned(), 4u);
  });
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

TEST_P(Gate, RuleTextsColoursAndTypes) {
  const std::wstring wardMon1 = Key(1, kMon, kWard, kEarly), wardMon2 = Key(2, kMon, kWard, kEarly);
  using W = who_kind;
  using R = rule_kind;
  struct Stored {
    W who;
    const wchar_t* name;
    R kind;
    uint32_t number;
    std::wstring key = L"";
    bool inForce = true;
    can_do_kind canDo = can_do_kind::i_cant_do;
  };
  struct Row {
    const char* what;
    std::vector<Stored> rules;  // in the order added
    const wchar_t* doctor;       // null: the group
    const wchar_t* group;
    std::wstring key;
    std::wstring verdict;
  };
  const std::wstring group = L"|8F8FBC", red = L"|0000FF";
  const Row rows[] = {
      {"no rules", {}, L"Ann", nullptr, wardMon1, L"can_do_it"},
      {"own slot rule", {{W::person_rule, L"Ann", R::r_slot, kEarly}}, L"Ann", nullptr, wardMon1,
       L"rule Ann can't do early " + red},
      {"a group's rule", {{W::group_rule, L"North", R::r_slot, kEarly}}, L"Ann", nullptr, wardMon1,
       L"rule Ann can't do early  [North]" + group},
      {"own before group", {{W::person_rule, L"Ann", R::r_what, kWard}, {W::group_rule, L"North", R::r_slot, kEarly}},
       L"Ann", nullptr, wardMon1, L"rule Ann can't do Ward " + red},
      {"the newest own rule", {{W::person_rule, L"Ann", R::r_slot, kEarly}, {W::person_rule, L"Ann", R::r_what, kWard}},
       L"Ann", nullptr, wardMon1, L"rule Ann can't do Ward " + red},
      {"the doctor's first group decides",
       {{W::group_rule, L"South", R::r_what, kWard}, {W::group_rule, L"North", R::r_slot, kEarly}}, L"Cy", nullptr,
       wardMon1, L"rule Cy can't do Ward  [South]" + group},
      {"a group checked itself", {{W::group_rule, L"North", R::r_period, 2}}, nullptr, L"North", wardMon2,
       L"rule North can't do Week  2 " + group},
      {"a week rule in another week", {{W::group_rule, L"North", R::r_period, 2}}, nullptr, L"North", wardMon1,
       L"can_do_it"},
      {"a group ignores doctors' rules", {{W::person_rule, L"North", R::r_slot, kEarly}}, nullptr, L"North", wardMon1,
       L"can_do_it"},
      {"a location rule", {{W::person_rule, L"Dee", R::r_where, 1}}, L"Dee", nullptr, wardMon1,
       L"rule Dee can't do Main " + red},
      {"a day rule", {{W::person_rule, L"Dee", R::r_day, kTue}}, L"Dee", nullptr, Key(1, kTue, kWard, kLate),
       L"rule Dee can't do Tuesday " + red},
      {"a day rule on another day", {{W::person_rule, L"Dee", R::r_day, kTue}}, L"Dee", nullptr, wardMon1,
       L"can_do_it"},
      {"a dated duty rule", {{W::person_rule, L"Dee", R::r_dtbd, 0, wardMon1}}, L"Dee", nullptr, wardMon1,
       L"rule Dee can't do Ward Main Monday early 4/1/2027 " + red},
      {"a dated duty rule, another week", {{W::person_rule, L"Dee", R::r_dtbd, 0, wardMon1}}, L"Dee", nullptr,
       wardMon2, L"can_do_it"},
      {"a dated duty rule naming no duty", {{W::person_rule, L"Dee", R::r_dtbd, 0, kNoDuty}}, L"Dee", nullptr,
       wardMon1, L"can_do_it"},
      {"not in force", {{W::person_rule, L"Ann", R::r_slot, kEarly, L"", false}}, L"Ann", nullptr, wardMon1,
       L"can_do_it"},
      {"a can-do rule", {{W::person_rule, L"Ann", R::r_slot, kEarly, L"", true, can_do_kind::i_can_do}}, L"Ann",
       nullptr, wardMon1, L"can_do_it"},
      {"name case", {{W::person_rule, L"ann", R::r_slot, kEarly}}, L"Ann", nullptr, wardMon1, L"can_do_it"},
      {"a trailing blank", {{W::person_rule, L"Ann ", R::r_slot, kEarly}, {W::group_rule, L"North ", R::r_slot, kEarly}},
       L"Ann", nullptr, wardMon1, L"can_do_it"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Run([&] {
      sc_rules::stored_changed();
      kalmora_DB::db()->chain_delete(L"rule_chain");
      for (const Stored& s : r.rules) Rule(s.who, s.name, s.kind, s.number, s.key, s.inForce, s.canDo);
      PgTerm who{};
      who.functor = static_cast<uint64_t>(r.doctor ? pg_kind::p : pg_kind::g);
      if (r.doctor) who.doctor = Ref(r.doctor);
      else who.group = r.group;
      EXPECT_EQ(Verdict(sc_rules::rule_allows_it(Duty(r.key)->dat, &who)), r.verdict);
    });
  }
}

TEST_P(Gate, BusyTestsAndPerDoctorLists) {
  const std::wstring wardMon1 = Key(1, kMon, kWard, kEarly), clinicMon1 = Key(1, kMon, kClinic, kEarly),
                     lateMon1 = Key(1, kMon, kWard, kLate), wardMon2 = Key(2, kMon, kWard, kEarly);
  Run([&] {
    Make(clinicMon1, L"Bob");  // two clashing duties: the key sorting first is named
    Make(wardMon1, L"Bob");
    Make(lateMon1, L"Ann");
    Make(wardMon2, L"Ann");
    Make(Key(2, kMon, kClinic, kEarly), L"Cy");
    const SList* none = rz::Nil<const wchar_t*>();
    struct Row {
      const char* what;
      const wchar_t* doctor;
      std::wstring key;
      const SList* exclusion;
      std::wstring verdict;
    };
    const Row rows[] = {
        {"two clashes", L"Bob", Key(1, kMon, kWard, kEarly), none, L"busy " + wardMon1},
        {"one excluded", L"Bob", wardMon1, rz::MakeList<const wchar_t*>({wardMon1.c_str()}), L"busy " + clinicMon1},
        {"both excluded", L"Bob", wardMon1, rz::MakeList<const wchar_t*>({wardMon1.c_str(), clinicMon1.c_str()}),
         L"can_do_it"},
        {"another slot that day", L"Bob", lateMon1, none, L"can_do_it"},
        {"the next week", L"Bob", wardMon2, none, L"can_do_it"},
        {"another doctor's duties", L"Dee", wardMon1, none, L"can_do_it"},
        {"a key naming no duty", L"Bob", kNoDuty, none, L"can_do_it"},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(r.what);
      EXPECT_EQ(Verdict(sc_assign::person_is_busy_dtbd_key(Ref(r.doctor), r.key.c_str(), r.exclusion)), r.verdict);
    }
    std::vector<chain_ref> refs;
    sc_assign::nd_duties_done_by_person_in_sp(Ref(L"Bob"), sp{kMon, 1, kEarly}, none, [&](chain_ref d) {
      refs.push_back(d);
      tav::K::Fail();
    });
    EXPECT_EQ(refs, (std::vector<chain_ref>{Duty(wardMon1)->ref, Duty(clinicMon1)->ref}));

    Make(Key(1, kTue, kWard, kLate), L"Ann");
    std::vector<std::wstring> dates;
    for (const List<dt>* l = sc_assign::person_dates_on_duty(L"Ann"); !l->Empty(); l = l->tail)
      dates.push_back(rz::mytime::dt_str(l->head));
    EXPECT_EQ(dates.size(), 3u);
    std::vector<std::wstring> duties;
    for (const List<const DtDutyTerm*>* l = sc_assign::person_slots_on_duty(L"Ann"); !l->Empty(); l = l->tail)
      duties.push_back(std::to_wstring(l->head->date->day) + L"/" + std::to_wstring(l->head->day) + L"/" +
                       std::to_wstring(l->head->duty->task) + std::to_wstring(l->head->duty->slot));
    EXPECT_EQ(duties, (std::vector<std::wstring>{L"4/1/12", L"5/2/12", L"11/1/11"}));
    EXPECT_TRUE(sc_assign::person_dates_on_duty(L"Nobody")->Empty());
    std::vector<std::wstring> inOrder, random;
    sc_assign::nd_assignments([&](rz::KeyRef e) {
      inOrder.push_back(e.key);
      tav::K::Fail();
    });
    sc_assign::nd_random_assignments([&](rz::KeyRef e) {
      random.push_back(e.key);
      tav::K::Fail();
    });
    std::sort(random.begin(), random.end());
    EXPECT_EQ(random, inOrder);  // the keys sort alike under both orders here
    EXPECT_TRUE(sc_assign::person_slots_on_duty(L"Dee")->Empty());
    EXPECT_EQ(sc_assign::number_assigned(), 6u);
  });
}

TEST_P(Gate, DatesOnDutyNameEachDateOnceInTheOrderOfItsLastKey) {
  Run([&] {
    Make(Key(2, kMon, kWard, kEarly), L"Ann");  // [102,11,11,..]
    Make(Key(1, kMon, kWard, kLate), L"Ann");   // [101,12,11,..]
    Make(Key(1, kMon, kClinic, kEarly), L"Bob");
    Make(Key(1, kTue, kWard, kEarly), L"Ann");  // [101,11,12,..]
    std::vector<uint32_t> days;
    for (const List<dt>* l = sc_assign::person_dates_on_duty(L"Ann"); !l->Empty(); l = l->tail) days.push_back(l->head.day);
    // Key order: [101,11,12] (5th), [101,12,11] (4th), [102,11,11] (11th).
    EXPECT_EQ(days, (std::vector<uint32_t>{5, 4, 11}));
  });
}

// --- ties ---

TEST_P(Gate, TiesPreventOnlyThroughWeeklyOtherEndsAndTheirHolders) {
  const std::wstring wardWed1 = Key(1, 3, kWard, kEarly), lateWed2 = Key(2, 3, kWard, kLate),
                     wardThu1 = Key(1, 4, kWard, kEarly), lateThu2 = Key(2, 4, kWard, kLate),
                     wardFri1 = Key(1, 5, kWard, kEarly), lateFri1 = Key(1, 5, kWard, kLate),
                     lateFri2 = Key(2, 5, kWard, kLate), wardSat2 = Key(2, 6, kWard, kEarly);
  Run([&] {
    Make(lateWed2, L"Ann");
    Make(lateThu2, L"Cy");
    Make(lateFri1, L"Cy");
    Make(lateFri2, L"Cy");
    Quiet([&] {
      Tie(which_kind::person_tie, L"Ann", wardWed1, lateWed2, tie_kind::must_do);
      Tie(which_kind::global_tie, nullptr, wardThu1, lateThu2, tie_kind::must_do);
      Tie(which_kind::global_tie, nullptr, wardFri1, lateFri1, tie_kind::must_do, repeat_kind::repeat_day);
      Tie(which_kind::global_tie, nullptr, wardFri1, lateFri2, tie_kind::must_do, repeat_kind::no_repeat);
      Tie(which_kind::group_tie, L"North", wardSat2, lateWed2, tie_kind::must_not_do);
    });
  });
  struct Row {
    const char* what;
    std::wstring key;
    const wchar_t* doctor;
    std::wstring verdict;
  };
  const Row rows[] = {
      {"a doctor's tie held by that doctor stops another", wardWed1, L"Bob", L"tie " + wardWed1 + L"~" + lateWed2},
      {"a global tie held by another doctor", wardThu1, L"Dee", L"tie " + wardThu1 + L"~" + lateThu2},
      {"a global tie held by the same doctor", wardThu1, L"Cy", L"can_do_it"},
      {"daily and one-pair ties are inert", wardFri1, L"Dee", L"can_do_it"},
      {"a must-not tie of a group the doctor is not in", wardSat2, L"Bob", L"can_do_it"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Run([&] { EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_ass_only, r.key.c_str(), Ref(r.doctor))), r.verdict); });
  }
  Run([&] {
    // The week-2 pattern of Wednesday's tie points past the roster: no duty, no entry.
    EXPECT_EQ(sc_assign::a_tie_prevents(lateWed2.c_str(), Ref(L"Bob")), nullptr);
    // Ann's own group tie: the other end is hers.
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_ass_only, wardSat2.c_str(), Ref(L"Ann"))),
              L"tie " + wardSat2 + L"~" + lateWed2);
    ties::toggle_activate();
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_ass_only, wardWed1.c_str(), Ref(L"Bob"))), L"can_do_it");
    ties::toggle_activate();
  });
}

TEST_P(Gate, AssigningFollowsMustDoTiesAndTakesAwayMustNotDoEnds) {
  const std::wstring a = Key(1, kMon, kWard, kEarly), b = Key(1, kTue, kWard, kEarly), c = Key(1, 3, kWard, kEarly),
                     shifted = Key(2, kMon, kWard, kLate), thu = Key(1, 4, kClinic, kEarly),
                     fri = Key(1, 5, kClinic, kEarly), friLate = Key(1, 5, kWard, kLate),
                     wardTue2 = Key(2, kTue, kWard, kEarly), clinicTue2 = Key(2, kTue, kClinic, kEarly);
  Run([&] {
    Tie(which_kind::global_tie, nullptr, a, b, tie_kind::must_do);
    Tie(which_kind::global_tie, nullptr, b, c, tie_kind::must_do);
    Tie(which_kind::person_tie, L"Bob", a, shifted, tie_kind::must_do);
    Tie(which_kind::global_tie, nullptr, thu, fri, tie_kind::must_not_do);
    Tie(which_kind::global_tie, nullptr, thu, friLate, tie_kind::must_do);
    Make(clinicTue2, L"Bob");
  });
  EXPECT_TRUE(Marks([&] {
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_and_make, a.c_str(), Ref(L"Ann"))), L"can_do_it");
  }));
  Run([&] {
    EXPECT_EQ(Holder(b), L"Ann");        // A-B
    EXPECT_EQ(Holder(c), L"Ann");        // B's own walk: B-C
    EXPECT_EQ(Holder(shifted), L"");     // Bob's tie
    // Week 2's A pattern: Bob is busy for B on Tuesday, so B stays free, C is
    // not reached, and A stands.
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_and_make, Key(2, kMon, kWard, kEarly).c_str(),
                                               Ref(L"Bob"))),
              L"can_do_it");
    EXPECT_EQ(Holder(Key(2, kMon, kWard, kEarly)), L"Bob");
    EXPECT_EQ(Holder(wardTue2), L"");
    EXPECT_EQ(Holder(Key(2, 3, kWard, kEarly)), L"");
    // Held before: the must-not end goes, the walk stops before the later must-do tie.
    Make(fri, L"Cy");
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::make_ass_only, thu.c_str(), Ref(L"Cy"))), L"can_do_it");
    EXPECT_EQ(Holder(fri), L"");
    EXPECT_EQ(Holder(friLate), L"");
    EXPECT_EQ(Keys(sc_assign::xkeys_removed()), std::vector<std::wstring>{fri});
  });
}

TEST_P(Gate, PropagationPastTheRosterStoresNothing) {
  const std::wstring a = Key(1, kMon, kWard, kEarly), b = Key(2, kMon, kWard, kLate);
  Run([&] {
    Tie(which_kind::global_tie, nullptr, a, b, tie_kind::must_do);  // one week on
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::test_and_make, Key(2, kMon, kWard, kEarly).c_str(),
                                               Ref(L"Ann"))),
              L"can_do_it");
    // The week-3 end names no duty: refused before anything is stored.
    EXPECT_EQ(sc_assign::number_assigned(), 1u);
    EXPECT_EQ(Holder(Key(3, kMon, kWard, kLate)), L"");
  });
}

TEST_P(Gate, ANewTieIsAppliedFromItsFirstAssignedEnd) {
  const std::wstring a = Key(1, kMon, kWard, kEarly), b = Key(1, kTue, kWard, kEarly), c = Key(1, 3, kWard, kEarly),
                     d = Key(1, 4, kWard, kEarly);
  Run([&] {
    Tie(which_kind::global_tie, nullptr, a, b, tie_kind::must_do);
    EXPECT_EQ(sc_assign::number_assigned(), 0u);  // neither end assigned
    Make(c, L"Ann");
    Make(d, L"Bob");
    Tie(which_kind::global_tie, nullptr, c, Key(1, 5, kWard, kEarly), tie_kind::must_do);
    EXPECT_EQ(Holder(Key(1, 5, kWard, kEarly)), L"Ann");
    Tie(which_kind::global_tie, nullptr, Key(1, 6, kWard, kEarly), d, tie_kind::must_do);
    EXPECT_EQ(Holder(Key(1, 6, kWard, kEarly)), L"Bob");  // from the second end
  });
}

TEST_P(Gate, RemovalFollowsMustDoTiesToItsDepth) {
  const std::wstring a = Key(1, kMon, kWard, kEarly), b = Key(2, kMon, kWard, kLate), c = Key(2, kTue, kClinic, kEarly);
  Run([&] {
    Tie(which_kind::person_tie, L"Dee", a, b, tie_kind::must_do);  // whoever holds the ends
    Tie(which_kind::global_tie, nullptr, b, c, tie_kind::must_do);
    Tie(which_kind::global_tie, nullptr, a, c, tie_kind::must_not_do);  // passed over
  });
  auto fill = [&] {
    for (const auto& [key, who] : std::vector<std::pair<std::wstring, const wchar_t*>>{{a, L"Ann"}, {b, L"Bob"}, {c, L"Cy"}})
      if (Holder(key).empty()) Make(key, who);
  };
  struct Row {
    uint32_t depth;
    std::vector<std::wstring> removed;  // newest first
    std::vector<std::wstring> left;
  };
  const Row rows[] = {
      {0, {a}, {b, c}},
      {1, {b, a}, {c}},
      {5, {c, b, a}, {}},  // b's walk leads back to a: met, not visited again
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.depth);
    Run([&] { fill(); });
    std::vector<std::wstring> removed;
    EXPECT_FALSE(Marks([&] { removed = Keys(sc_assign::p_remove_assignment(r.depth, a.c_str())); }));
    EXPECT_EQ(removed, r.removed);
    Run([&] {
      std::vector<std::wstring> left;
      for (const std::wstring& k : {a, b, c})
        if (!Holder(k).empty()) left.push_back(k);
      EXPECT_EQ(left, r.left);
    });
  }
  Run([&] {
    fill();
    lock_ass::lock(Duty(b)->dat);
    EXPECT_EQ(Keys(sc_assign::p_remove_assignment(5, a.c_str())), (std::vector<std::wstring>{c, b, a}));
    EXPECT_EQ(Holder(b), L"Bob");  // locked: listed, kept
    EXPECT_EQ(Holder(c), L"");
    Make(c, L"Cy");
    EXPECT_EQ(Keys(sc_assign::p_remove_assignment(2, a.c_str())), (std::vector<std::wstring>{c, b}));  // a unassigned
    lock_ass::lock(Duty(b)->dat);
    fill();
    EXPECT_TRUE(sc_assign::p_remove_assignment(5, b.c_str())->Empty());
    EXPECT_EQ(Holder(a), L"Ann");
    EXPECT_EQ(Holder(c), L"Cy");
  });
  EXPECT_TRUE(ComtreeCalls().empty());
  EXPECT_EQ(all::comtree::db3.xcs_help.get().number, 0x0000FF);
  EXPECT_EQ(std::wstring(all::comtree::db3.xcs_help.get().text), L"Cannot delete a locked assignment");
}

// --- locks, clears and repairs ---

TEST_P(Gate, LocksAndTheirBulkCodes) {
  const std::wstring ann1 = Key(1, kMon, kWard, kEarly), ann2 = Key(2, kMon, kWard, kEarly),
                     bob1 = Key(1, kTue, kWard, kEarly), free1 = Key(1, 3, kWard, kEarly);
  Run([&] {
    Make(ann1, L"Ann");
    Make(ann2, L"Ann");
    Make(bob1, L"Bob");
  });
  auto locked = [&] {
    std::vector<std::wstring> out;
    for (const List<rz::KeyRef>* e = all_entries(lock_ass::tree()); !e->Empty(); e = e->tail) out.push_back(e->head.key);
    return out;
  };
  bool ok = true;
  EXPECT_FALSE(Marks([&] { ok = lock_ass::lock(Duty(free1)->dat); }));
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Marks([&] { ok = lock_ass::lock(Duty(ann1)->dat); }));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(Marks([&] { ok = lock_ass::lock(Duty(ann1)->dat); }));
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Marks([&] { ok = lock_ass::unlock(Duty(ann1)->dat); }));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(Marks([&] { ok = lock_ass::unlock(Duty(ann1)->dat); }));
  EXPECT_FALSE(ok);
  struct Row {
    const char* what;
    const wchar_t* name;  // null: everyone
    int32_t code;
    uint32_t period;
    std::vector<std::wstring> after;
  };
  const Row rows[] = {
      {"Ann's week 1", L"Ann", 101, 1, {ann1}},
      {"an unknown code", nullptr, 105, 1, {ann1}},
      {"everyone's week 1", nullptr, 101, 1, {ann1, bob1}},
      {"Ann's whole roster", L"Ann", 102, 0, {ann1, bob1, ann2}},
      {"Bob's week 2: none", L"Bob", 103, 2, {ann1, bob1, ann2}},
      {"Ann's week 1 unlocked", L"Ann", 103, 1, {bob1, ann2}},
      {"everyone's roster unlocked", nullptr, 104, 0, {}},
      {"everyone's roster", nullptr, 102, 0, {ann1, bob1, ann2}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Run([&] {
      if (r.name) lock_ass::lock_set(r.name, r.code, r.period);
      else lock_ass::lock_set(r.code, r.period);
      EXPECT_EQ(locked(), r.after);
    });
  }
  Run([&] {
    lock_ass::clear();
    EXPECT_TRUE(locked().empty());
  });
}

TEST_P(Gate, ClearsKeepLockedAssignmentsAndMarkOnlyWhenTheyRemove) {
  const std::wstring a1 = Key(1, kMon, kWard, kEarly), a2 = Key(2, kMon, kWard, kEarly), b1 = Key(1, kTue, kWard, kEarly),
                     b2 = Key(2, kTue, kWard, kEarly), c1 = Key(1, 3, kWard, kEarly);
  Run([&] {
    Tie(which_kind::global_tie, nullptr, a1, b1, tie_kind::must_do);  // depth 0: not followed
    Make(a1, L"Ann");
    Make(a2, L"Ann");
    Make(b1, L"Bob");
    Make(b2, L"Bob");
    Make(c1, L"Cy");
    lock_ass::lock(Duty(a2)->dat);
  });
  auto held = [&] {
    std::vector<std::wstring> out;
    for (const std::wstring& k : {a1, a2, b1, b2, c1})
      if (!Holder(k).empty()) out.push_back(k);
    return out;
  };
  struct Row {
    const char* what;
    const wchar_t* name;
    clear_dom scope;
    std::vector<std::wstring> left;
    bool marks;
  };
  // The walk and the undo hooks change nothing.
  EXPECT_FALSE(Marks([] {
    sc_assign::list();
    sc_assign::create_undo();
    sc_assign::undo();
  }));
  Run([&] { EXPECT_EQ(sc_assign::number_assigned(), 5u); });
  const Row rows[] = {
      {"nobody", L"Nobody", {clear_kind::clear_all, 0}, {a1, b1, c1, a2, b2}, false},
      {"a month: nothing", nullptr, {clear_kind::clear_month, 1}, {a1, b1, c1, a2, b2}, false},
      {"Ann's week 2: locked", L"Ann", {clear_kind::clear_week, 2}, {a1, b1, c1, a2, b2}, false},
      {"Bob's week 1", L"Bob", {clear_kind::clear_week, 1}, {a1, c1, a2, b2}, true},
      {"everyone's week 2", nullptr, {clear_kind::clear_week, 2}, {a1, c1, a2}, true},
      {"everything", nullptr, {clear_kind::clear_all, 0}, {a2}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(Marks([&] {
                if (r.name) sc_assign::clear_assignments(r.name, r.scope);
                else sc_assign::clear_assignments(r.scope);
              }),
              r.marks);
    Run([&] {
      std::vector<std::wstring> left = held();
      std::sort(left.begin(), left.end());
      std::vector<std::wstring> want = r.left;
      std::sort(want.begin(), want.end());
      EXPECT_EQ(left, want);
      EXPECT_TRUE(lock_ass::is_locked_key(a2.c_str()));
      EXPECT_EQ(sc_assign::number_assigned(), r.left.size());
    });
  }
  // A removed key assigned again is cleared again.
  Run([&] {
    sc_assign::p_remove_assignment(0, a2.c_str());
    Make(c1, L"Cy");
    sc_assign::clear_assignments(clear_dom{clear_kind::clear_all, 0});
    EXPECT_EQ(Holder(c1), L"");
  });
}

TEST_P(Gate, RepairsDropEntriesOfGoneDutiesAndDoctorsWithTheirLocks) {
  const std::wstring a1 = Key(1, kMon, kWard, kEarly), a2 = Key(2, kMon, kWard, kEarly), b1 = Key(1, kTue, kWard, kEarly),
                     b2 = Key(2, kTue, kWard, kEarly);
  Run([&] {
    sc_assign::repair_ass();  // the fixture's own regeneration
    Make(a1, L"Ann");
    Make(a2, L"Ann");
    Make(b1, L"Bob");
    Make(b2, L"Bob");
    for (const std::wstring& k : {a2, b1}) lock_ass::lock(Duty(k)->dat);
    kalmora_DB::put_weeks_duration(1);
    sc_assign::repair_ass();  // not marked: nothing happens
    EXPECT_EQ(sc_assign::number_assigned(), 4u);
  });
  Run([&] {
    sc_phase1::generate();
    EXPECT_EQ(sc_assign::number_assigned(), 4u);  // marked, not yet repaired
  });
  EXPECT_FALSE(Marks([&] { sc_assign::repair_ass(); }));
  Run([&] {
    EXPECT_EQ(Holder(a1), L"Ann");
    EXPECT_EQ(Holder(a2), L"");  // locked, but its duty is gone
    EXPECT_EQ(Holder(b2), L"");
    EXPECT_FALSE(lock_ass::is_locked_key(a2.c_str()));
    EXPECT_TRUE(lock_ass::is_locked_key(b1.c_str()));
    EXPECT_EQ(sc_assign::number_assigned(), 2u);
    EXPECT_TRUE(staff_db::del_person(L"Bob"));
    EXPECT_EQ(Holder(b1), L"");  // locked, deleted with its doctor
    EXPECT_FALSE(lock_ass::is_locked_key(b1.c_str()));
    EXPECT_EQ(sc_assign::number_assigned(), 1u);
  });
}

TEST_P(Gate, RemovingTheAssignmentsThatBreakRules) {
  const std::wstring a1 = Key(1, kMon, kWard, kEarly), a2 = Key(1, kTue, kWard, kLate), a3 = Key(2, kMon, kWard, kLate),
                     tied = Key(1, kMon, kClinic, kEarly);
  Run([&] {
    Make(a1, L"Ann");
    Make(a2, L"Ann");
    Make(a3, L"Ann");
    Make(tied, L"Bob");
    Tie(which_kind::global_tie, nullptr, a2, tied, tie_kind::must_do);
    Rule(who_kind::group_rule, L"North", rule_kind::r_slot, kLate);
    lock_ass::lock(Duty(a3)->dat);
  });
  EXPECT_FALSE(Marks([&] { sc_assign::remove_those_that_break_rules(Ref(L"Ann")); }));
  Run([&] {
    EXPECT_EQ(Holder(a1), L"Ann");
    EXPECT_EQ(Holder(a2), L"");
    EXPECT_EQ(Holder(a3), L"Ann");  // locked
    EXPECT_EQ(Holder(tied), L"");   // tied to a removed one
  });
}

TEST_P(Gate, ClosedStoresRaise329AndChangeNothing) {
  Run([] { kalmora_DB::uninit(); });
  rec().Clear();
  EXPECT_EQ(Error([] { sc_assign::assign_person(test_ass::test_and_make, L"[101,11,11,1,1]", 1); }), 329u);
  EXPECT_EQ(Error([] { sc_assign::number_assigned(); }), 329u);
  EXPECT_EQ(Error([] { lock_ass::is_locked_key(L"[101,11,11,1,1]"); }), 329u);
  EXPECT_EQ(Error([] { sc_rules::nd_which_rule([](stored_rule) {}); }), 329u);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"rules not initialised"});
}

TEST_P(Gate, ADoctorReferenceThatIsNoDoctorRaises1319) {
  Run([&] { Rule(who_kind::person_rule, L"Ann", rule_kind::r_slot, kEarly); });
  const std::wstring key = Key(1, kMon, kWard, kEarly);
  EXPECT_EQ(Error([&] { sc_assign::assign_person(test_ass::test_and_make, key.c_str(), 987654); }), 1319u);
  EXPECT_EQ(Error([&] { sc_assign::assign_person(test_ass::make_ass_only, key.c_str(), 987654); }), 1319u);
  Run([&] { EXPECT_EQ(Holder(key), L""); });
}

TEST_P(Gate, RulesFollowTheRenumberingOfTasksAndTheirDutyKeys) {
  Run([&] {
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_what, kWard);
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_what, kClinic);
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_slot, kLate);
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_dtbd, 0, Key(1, kMon, kClinic, kEarly));
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_dtbd, 0, Key(1, kMon, kWard, kEarly));
    renumber::apply(list_kind::task, number_map::after_delete(kWard));
    std::vector<std::wstring> rules;
    sc_rules::nd_which_rule([&](stored_rule s) {
      const RuleTypeTerm* t = s.rule->rule->type;
      rules.push_back(std::to_wstring(t->functor) + L":" +
                      (t->Kind() == rule_kind::r_dtbd ? std::wstring(t->key) : std::to_wstring(t->number)));
      tav::K::Fail();
    });
    EXPECT_EQ(rules, (std::vector<std::wstring>{L"6:[101,11,11,1,1]", L"1:2", L"5:1"}));
  });
}

// --- what the stores hold in memory follows every change ---

// Each step changes one store and the next check must see it: rule edits,
// a doctor's groups, ties, a renumbering, then the document closed unsaved
// and reopened.
TEST_P(Gate, EveryChangeIsSeenByTheNextCheck) {
  const std::wstring wardMon1 = Key(1, kMon, kWard, kEarly), wardMon2 = Key(2, kMon, kWard, kEarly);
  Run([] { kalmora_DB::save_kalmora(); });
  auto verdict = [&] { return Verdict(sc_assign::assign_person(test_ass::test_ass_only, wardMon1.c_str(), Ref(L"Ann"))); };
  auto toggle = [](who_kind who, const wchar_t* name, rule_kind kind, uint32_t number) {
    return sc_rules::remove_or_add_rule(MakeWhichRule(rule_value{who, name, true, kind, number, nullptr, can_do_kind::i_cant_do}));
  };
  auto groups = [](const wchar_t* name, std::initializer_list<const wchar_t*> names) {
    const PersonTerm* p = nullptr;
    ASSERT_TRUE(staff_db::get_person(name, &p));
    staff_db::replace_person(MakePerson(p->ref, p->dat->name, rz::MakeList<const wchar_t*>(names), p->dat->colour,
                                        p->dat->letter, p->dat->deleted->functor));
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    std::wstring verdict;
  };
  const Step steps[] = {
      {"nothing yet", [] {}, L"can_do_it"},
      {"own rule added", [&] { toggle(who_kind::person_rule, L"Ann", rule_kind::r_slot, kEarly); },
       L"rule Ann can't do early |0000FF"},
      {"own rule toggled off", [&] { toggle(who_kind::person_rule, L"Ann", rule_kind::r_slot, kEarly); }, L"can_do_it"},
      {"group rule added", [&] { toggle(who_kind::group_rule, L"North", rule_kind::r_what, kWard); },
       L"rule Ann can't do Ward  [North]|8F8FBC"},
      {"the task renamed", [] { tasks::add_task(kWard, L"Wards"); }, L"rule Ann can't do Wards  [North]|8F8FBC"},
      {"the name back", [] { tasks::add_task(kWard, L"Ward"); }, L"rule Ann can't do Ward  [North]|8F8FBC"},
      {"doctor leaves the group", [&] { groups(L"Ann", {L"South"}); }, L"can_do_it"},
      {"doctor back in the group", [&] { groups(L"Ann", {L"North"}); }, L"rule Ann can't do Ward  [North]|8F8FBC"},
      {"rules cleared", [] { sc_rules::clear(); }, L"can_do_it"},
      {"tie added", [&] {
         Make(wardMon2, L"Ann");
         Tie(which_kind::global_tie, nullptr, wardMon1, wardMon2, tie_kind::must_not_do);
       }, L"tie " + wardMon1 + L"~" + wardMon2},
      {"ties deleted", [] { ties::del_all(); }, L"can_do_it"},
      {"rule of the doctor deleted with the doctor's rules", [&] {
         toggle(who_kind::person_rule, L"Ann", rule_kind::r_what, kWard);
         sc_rules::delete_all_rules_for_person(L"Ann");
       }, L"can_do_it"},
      {"a rule added, the document closed unsaved and reopened", [&] {
         toggle(who_kind::person_rule, L"Ann", rule_kind::r_slot, kEarly);
         EXPECT_EQ(verdict(), L"rule Ann can't do early |0000FF");
         Reopen(false);
       }, L"can_do_it"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    Run([&] {
      step.change();
      EXPECT_EQ(verdict(), step.verdict);
    });
  }
}

// A renumbering rewrites the stored rules; the next check reads them again.
TEST_P(Gate, ARenumberedRuleIsSeenByTheNextCheck) {
  Run([&] {
    const PgTerm ann{static_cast<uint64_t>(pg_kind::p), {Ref(L"Ann")}};
    const DutyTerm* ward = Duty(Key(1, kMon, kWard, kEarly));
    Rule(who_kind::person_rule, L"Ann", rule_kind::r_what, kClinic);
    EXPECT_EQ(Verdict(sc_rules::rule_allows_it(ward->dat, &ann)), L"can_do_it");
    renumber::apply(list_kind::task, number_map::after_delete(kWard));  // Clinic becomes task 1
    EXPECT_EQ(Verdict(sc_rules::rule_allows_it(ward->dat, &ann)).substr(0, 17), L"rule Ann can't do");
  });
}

// The duty index, the weekend and the holidays as the next query sees them
// right after a rebuild or a change, also through the totals.
TEST_P(Gate, IndexWeekendAndHolidaysAreSeenRightAfterTheirChanges) {
  Run([&] {
    const std::wstring sunday = Key(1, 7, kClinic, kLate);
    const DutyTerm* d;
    auto count = [] {
      uint32_t n = 0;
      sc_phase1::nd_duty_ref([&](dated_duty) {
        ++n;
        tav::K::Fail();
      });
      return n;
    };
    const uint32_t before = count();
    EXPECT_FALSE(sc_phase1::get_duty_by_key(sunday.c_str(), &d));
    typical_db::add_tls(kSunday, rz::MakeList<tls>({tls{kClinic, 1, kLate}}));
    sc_phase1::must_regenerate(L"typical week");
    sc_phase1::generate();
    ASSERT_TRUE(sc_phase1::get_duty_by_key(sunday.c_str(), &d));
    EXPECT_EQ(SpOf(d->dat->at), (sp{7, 1, kLate}));
    EXPECT_EQ(count(), before + 2);
    EXPECT_EQ(sc_phase1::duties_to_be_done_on_sp(sp{7, 1, kLate})->head->ref, d->ref);

    totals* t = totals::new_();
    auto weekendDuties = [&] {
      t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
      return t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 1});
    };
    const uint32_t weekend = weekendDuties();
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{kTue, 1, kEarly}), 0u);
    sc_stat_weekend::add_sd(weekend_entry{kEarly, kTue});
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{kTue, 1, kEarly}), 1u);
    EXPECT_EQ(weekendDuties(), weekend + 4);  // ward and clinic, both weeks
    sc_stat_weekend::del_sd(weekend_entry{kEarly, kTue});
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{kTue, 1, kEarly}), 0u);
    EXPECT_EQ(weekendDuties(), weekend);

    const dt tuesday = kalmora_DB::sp_dt(sp{kTue, 1, kEarly});
    EXPECT_EQ(sc_holidays::is_holiday(tuesday), 0u);
    sc_holidays::add_holiday(tuesday);
    EXPECT_EQ(sc_holidays::is_holiday(tuesday), 1u);
    sc_holidays::del_holiday(tuesday);
    EXPECT_EQ(sc_holidays::is_holiday(tuesday), 0u);
    sc_holidays::add_holiday(tuesday);
    sc_holidays::clear_hols();
    EXPECT_EQ(sc_holidays::is_holiday(tuesday), 0u);
  });
}

// --- the stores' answers from memory equal the trees ---

// After each change, through the gate, the lock store or the tree object
// itself, is_assigned and is_locked_key answer for every key as the stored
// "assign_bt" and "lock_bt" do.
TEST_P(Gate, MemoryAnswersEqualTheStoredTreesAfterEveryChange) {
  const std::wstring a1 = Key(1, kMon, kWard, kEarly), a2 = Key(2, kMon, kWard, kEarly),
                     b1 = Key(1, kTue, kWard, kEarly), c1 = Key(1, 3, kWard, kEarly);
  const std::wstring keys[] = {a1, a2, b1, c1, kNoDuty};
  auto lock = [](const std::wstring& k) { lock_ass::lock(Duty(k)->dat); };
  struct Step {
    const char* what;
    std::function<void()> change;
  };
  const Step steps[] = {
      {"assigned through the gate", [&] {
         for (const std::wstring& k : {a1, a2, b1})
           sc_assign::assign_person(test_ass::test_and_make, k.c_str(), Ref(k == b1 ? L"Bob" : L"Ann"));
       }},
      {"saved", [&] { kalmora_DB::save_kalmora(); }},
      {"one locked", [&] { lock(a1); }},
      {"one unlocked", [&] { lock_ass::unlock(Duty(a1)->dat); }},
      {"all locked", [] { lock_ass::lock_set(kLockAll, 0); }},
      {"one doctor's week unlocked", [] { lock_ass::lock_set(L"Ann", kUnlockWeek, 1); }},
      {"all unlocked", [] { lock_ass::lock_set(kUnlockAll, 0); }},
      {"one removed", [&] { sc_assign::p_remove_assignment(0, b1.c_str()); }},
      {"locked and everything cleared", [&] {
         lock(a1);
         sc_assign::clear_assignments(clear_dom{clear_kind::clear_all, 0});
       }},
      {"the lock store cleared", [] { lock_ass::clear(); }},
      {"written straight into the trees", [&] {
         sc_assign::tree()->kee_insert(c1.c_str(), Ref(L"Bob"));
         lock_ass::tree()->kee_insert(c1.c_str(), Ref(L"Bob"));
         lock_ass::tree()->kee_delete(a1.c_str());
       }},
      {"the doctor's assignments dropped", [] { sc_assign::repair_after_person_deleted(Ref(L"Bob")); }},
      {"the locks repaired", [] { lock_ass::repair(); }},
      {"a journal undone", [&] {
         sc_assign::open_journal();
         sc_assign::assign_person(test_ass::make_ass_only, b1.c_str(), Ref(L"Bob"));
         sc_assign::p_remove_assignment(0, a2.c_str());
         sc_assign::undo_journal();
       }},
      {"locked, closed unsaved and reopened", [&] {
         lock(a2);
         Reopen(false);
       }},
      {"locked, saved and reopened", [&] {
         lock(a2);
         Reopen(true);
       }},
      {"an odd key written straight into the lock tree", [&] {
         lock_ass::tree()->kee_insert(L"x", Ref(L"Ann"));
         lock_ass::tree()->kee_delete(a2.c_str());
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    Run([&] {
      step.change();
      for (const std::wstring& k : keys) {
        chain_ref stored = 0, answered = 0;
        const bool inTree = sc_assign::tree()->kee_search(k.c_str(), &stored);
        EXPECT_EQ(sc_assign::is_assigned(k.c_str(), &answered), inTree) << Narrow(k);
        if (inTree) EXPECT_EQ(answered, stored) << Narrow(k);
        EXPECT_EQ(lock_ass::is_locked_key(k.c_str()), lock_ass::tree()->kee_search(k.c_str(), &stored)) << Narrow(k);
      }
    });
  }
}

// --- saved and read back by a fresh process ---

class GateDocuments : public ChildDocuments {};

TEST_F(GateDocuments, AssignmentsLocksAndRulesSurviveTheSave) {
  ASSERT_EQ(Child(L"build gate_full " + Quoted(L"g.km6")), L"saved\n");
  const std::wstring stored =
      L"ass [101,11,11,1,1] Ann\n"
      L"ass [101,11,13,1,1] Dee\n"
      L"ass [102,11,12,2,1] Bob\n"
      L"lock [101,11,11,1,1] Ann\n"
      L"rule who1(South) force1 type6([101,11,11,1,1]) can2\n"
      L"rule who2(Ann) force2 type1(2) can1\n";
  EXPECT_EQ(Child(L"gate " + Quoted(L"g.km6")), stored);
  EXPECT_EQ(Child(L"op clear_assignments " + Quoted(L"g.km6")), L"mark 1\nsaved\n");
  EXPECT_EQ(Child(L"gate " + Quoted(L"g.km6")),
            L"ass [101,11,11,1,1] Ann\n"
            L"lock [101,11,11,1,1] Ann\n"
            L"rule who1(South) force1 type6([101,11,11,1,1]) can2\n"
            L"rule who2(Ann) force2 type1(2) can1\n");
}

}  // namespace
