// The assignment gate on the hand-checked two-week roster, with the index
// and with the plain walks of the tree: verdicts and their order in every
// mode, the can't-do rule texts, busy tests and per-doctor lists, ties on
// assigning and removing, locks, clears and repairs, the store closed.
#include <string>
#include <vector>

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
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
  static void Make(const std::wstring& key, const wchar_t* doctor) {
    EXPECT_EQ(Verdict(sc_assign::assign_person(test_ass::make_ass_only, key.c_str(), Ref(doctor))), L"can_do_it");
  }
  static void Rule(who_kind who, const wchar_t* name, rule_kind kind, uint32_t number, const std::wstring& key = L"",
                   bool inForce = true, can_do_kind canDo = can_do_kind::i_cant_do) {
    AddRule(MakeWhichRule(
        rule_value{who, name, inForce, kind, number, key.empty() ? nullptr : tav::HeapCopy(key.c_str()), canDo}));
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

}  // namespace
