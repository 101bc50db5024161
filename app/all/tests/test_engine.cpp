// The rostering engine: quotas, sweep counts and day orders worked out by
// hand on a one-week roster, the owed queue's head, progress texts and
// repaints, the note for missing loadings, and whole runs on generated
// rosters judged by the validator against the document before the run, and
// Stop clicked on the real progress window mid-run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../../../testing/answer.h"
#include "KWI/stop_pack/stop.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_engine.h"
#include "kalmoradb/staff_db.h"
#include "phase1/sc_phase1.h"
#include "qel6run_lib.h"
#include "roster_fixture.h"
#include "roster_generator.h"
#include "roster_test.h"
#include "roster_validator.h"

using namespace alltest;

namespace {

chain_ref Ref(const wchar_t* name) {
  const PersonTerm* p = nullptr;
  return staff_db::get_person(name, &p) ? p->ref : 0;
}
std::wstring Key(uint32_t period, uint32_t day, uint32_t slot) {
  return sc_phase1::get_dtbd_key(duty_dat{sp{day, period, slot}, 1, 1, false}).text;
}
std::vector<std::wstring> Calls(const wchar_t* op) {
  std::vector<std::wstring> out;
  for (const ComtreeCall& c : ComtreeCalls())
    if (c.op == op) out.push_back(c.text);
  return out;
}
// Every assignment as "key doctor".
std::vector<std::wstring> Assignments() {
  std::vector<std::wstring> out;
  sc_assign::nd_assignments([&](rizediveva6::KeyRef e) {
    out.push_back(std::wstring(e.key) + L" " + std::to_wstring(e.ref));
    tav::K::Fail();
  });
  return out;
}
// The progress window's description.
std::wstring ProgressText() {
  for (HWND box : testbox::VisibleBoxes())
    if (HWND text = GetDlgItem(box, rizediveva6::stop::kDescription)) return testbox::WindowText(text);
  return L"<no window>";
}

// One week of weekdays, two slots: ten weekday duties.  A holds three of
// them, B and C one each.
class Engine : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    ComtreeCalls().clear();
    New();
    Run([&] {
      RosterSpec spec = TwoWeekSpec();
      spec.weeks = 1;
      std::erase_if(spec.typical, [](const TypicalSpec& t) { return t.dayKind != kWeekday; });
      WriteSpec(spec);
      a_ = Ref(L"A"), b_ = Ref(L"B"), c_ = Ref(L"C");
      for (auto [key, who] : std::initializer_list<std::pair<std::wstring, chain_ref>>{
               {Key(1, 1, 1), a_}, {Key(1, 2, 1), a_}, {Key(1, 1, 2), a_}, {Key(1, 2, 2), b_}, {Key(1, 3, 1), c_}})
        ASSERT_EQ(sc_assign::assign_person(test_ass::make_ass_only, key.c_str(), who)->Kind(), reason_kind::can_do_it);
    });
  }
  static void Share(const wchar_t* name, double fraction, uint32_t weekend = 0, uint64_t functor = 1) {
    PutShare(functor, MakeWhatStat(stat_kind::weekend, weekend), name, fraction);
  }
  // An engine with its totals counted and the weekday loadings read.
  sc_engine* Prepared() {
    sc_engine* e = sc_engine::new_windowless();
    e->xtotals = totals::new_();
    e->xtotals->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
    e->prepare_loading(weekend_stat(0));
    return e;
  }
  std::vector<std::wstring> Owed(const sc_engine* e) {
    std::vector<std::wstring> out;
    for (uint32_t i = e->ndb_to_be_assigned.head; i < e->ndb_to_be_assigned.size; ++i)
      out.push_back(staff_db::ref_name(e->ndb_to_be_assigned.items[i].doctor));
    return out;
  }
  chain_ref a_ = 0, b_ = 0, c_ = 0;
};

TEST_F(Engine, QuotasRoundHalfUpAndSkipOtherLoadings) {
  Run([&] {
    Share(L"A", 0.1);   // 1 - 3: none
    Share(L"B", 0.25);  // 2.5 - 1 = 1.5: two
    Share(L"C", 0.5);   // 5 - 1: four
    Share(L"A", 0.9, 1);      // another category
    Share(L"P1", 0.9, 0, 2);  // a practice
    Share(L"Gone", 0.5);      // no such doctor
    sc_engine* e = Prepared();
    ASSERT_EQ(e->xtotals->get_tot_to_be_done(kToBeDone, weekend_stat(0)), 10u);
    e->make_quotas(do_what_stat::do_weekend, weekend_stat(0));
    EXPECT_EQ(Owed(e), (std::vector<std::wstring>{L"B", L"B", L"C", L"C", L"C", L"C"}));
    already_entry b;
    ASSERT_TRUE(e->get_already_assigned(L"B", &b));
    EXPECT_EQ(b.total, 10u);
    EXPECT_EQ(b.assigned, 1u);
    EXPECT_FALSE(e->get_already_assigned(L"Gone", &b));
    // A category other than weekend(w) leaves the loadings as they are.
    const uint32_t loadings = e->ndb_loading.size;
    e->prepare_loading(what_stat{stat_kind::total});
    EXPECT_EQ(e->ndb_loading.size, loadings);
  });
}

TEST_F(Engine, AQuotaOutsideThirtyTwoBitsIsError302) {
  sc_engine* e = nullptr;
  Run([&] {
    e = Prepared();
    e->ndb_loading.push(engine_loading{0, L"C", 3e8});  // 3e9 - 1 owed
  });
  EXPECT_EQ(Error([&] { e->make_quotas(do_what_stat::do_weekend, weekend_stat(0)); }), 302u);
}

TEST(EngineSweeps, AreASixthOfTheUnassignedRoundedHalfUp) {
  const struct {
    uint32_t unassigned, sweeps;
  } cases[] = {{0, 0}, {2, 0}, {3, 1}, {14, 2}, {15, 3}, {600, 100}};
  for (const auto& c : cases) EXPECT_EQ(sc_engine::sweeps(c.unassigned), c.sweeps) << c.unassigned;
}

// The day order keeps the first draw of each of 1..7 and drops 0 and repeats.
TEST_F(Engine, DayOrderIsThePermutationOfFirstDraws) {
  for (uint32_t seed : {1u, 7u, 12345u}) {
    QelMath::RandomInit(seed);
    std::vector<int32_t> draws;
    for (int i = 0; i < 400; ++i) draws.push_back(QelMath::Random_1(8));
    std::vector<uint32_t> expected;
    bool zero = false, repeat = false;
    for (int32_t r : draws) {
      if (expected.size() == 7) break;
      if (r == 0) zero = true;
      else if (std::find(expected.begin(), expected.end(), uint32_t(r)) != expected.end()) repeat = true;
      else expected.push_back(uint32_t(r));
    }
    ASSERT_EQ(expected.size(), 7u);
    EXPECT_TRUE(zero || repeat) << "seed " << seed << " shows neither a 0 nor a repeat";
    QelMath::RandomInit(seed);
    sc_engine* e = sc_engine::new_windowless();
    e->build_random();
    EXPECT_EQ(std::vector<uint32_t>(e->ndb, e->ndb + 7), expected) << "seed " << seed;
  }
}

// A can do nothing in week 1: while A heads the owed queue the sweep offers
// every day to A, and B behind gets nothing.  A sweep that assigned nothing
// drops A's owed duties, so the next one serves B.
TEST_F(Engine, TheHeadOfTheOwedQueueBlocksTheDoctorsBehindForOneSweep) {
  Run([&] {
    AddRule(RuleOf(RuleSpec{who_kind::person_rule, L"A", rule_kind::r_period, 1, {}}));
    Share(L"A", 0.5);  // 5 - 3: two
    Share(L"B", 0.3);  // 3 - 1: two
    sc_engine* e = Prepared();
    e->prepare_unassigned();
    EXPECT_EQ(e->get_count_unassigned(), 5u);
    e->make_quotas(do_what_stat::do_weekend, weekend_stat(0));
    ASSERT_EQ(Owed(e), (std::vector<std::wstring>{L"A", L"A", L"B", L"B"}));
    const std::vector<std::wstring> before = Assignments();
    e->assign_one();
    EXPECT_EQ(Assignments(), before);
    EXPECT_EQ(Owed(e), (std::vector<std::wstring>{L"B", L"B"}));
    EXPECT_EQ(e->figures.candidates, 3u);  // each free weekday was offered to A
    EXPECT_TRUE(Calls(L"drew_few_assigns").empty());
    e->assign_one();
    EXPECT_EQ(Assignments().size(), before.size() + 2);
    EXPECT_TRUE(Owed(e).empty());
    EXPECT_EQ(Calls(L"drew_few_assigns").size(), 2u);
  });
}

// The candidate comes from the heads; accepting it removes both and asks for
// one repaint of its key.  The progress window shows both texts.
TEST_F(Engine, AnAcceptedCandidateLeavesBothListsRepaintsAndCounts) {
  sc_engine* e = nullptr;
  Run([&] {
    Share(L"B", 0.3);  // 3 - 1: two
    e = Prepared();
    e->db_stop = rizediveva6::stop::new_();
    e->db_stop->show(0);
    e->prepare_unassigned();
  });
  EXPECT_EQ(ProgressText(), L"5 to assign");
  Run([&] {
    e->make_quotas(do_what_stat::do_weekend, weekend_stat(0));
    duty_key key;
    // The first unassigned duty of Wednesday is its day slot.
    ASSERT_TRUE(e->get_unass(0, 1, 3, &key));
    EXPECT_EQ(std::wstring(key.text), Key(1, 3, 2));
    EXPECT_FALSE(e->get_unass(0, 1, 6, &key));  // no duty on Saturday
    EXPECT_FALSE(e->get_unass(1, 1, 3, &key));  // no weekend duty
    ASSERT_TRUE(e->get_unass(0, 1, 4, &key));
    e->xassigned = 5;
    ASSERT_TRUE(e->try_assign(0, b_, key));
    EXPECT_EQ(Owed(e), std::vector<std::wstring>{L"B"});
    duty_key next;
    ASSERT_TRUE(e->get_unass(0, 1, 4, &next));
    EXPECT_EQ(std::wstring(next.text), Key(1, 4, 2));
    EXPECT_EQ(Calls(L"drew_few_assigns"), std::vector<std::wstring>{key.text});
  });
  // 6 > 5: the count restarts and the duties are collected again.
  EXPECT_EQ(ProgressText(), L"Assigned 6 out of 5");
  EXPECT_EQ(e->xassigned, 0u);
  EXPECT_EQ(e->get_count_unassigned(), 4u);
  Run([&] { e->stop_generating(); });
  EXPECT_EQ(ProgressText(), L"<no window>");
  EXPECT_EQ(Calls(L"refresh").size(), 1u);
}

// All loadings zero: the rapid pass still fills a fifth, then the note,
// answered from a helper thread, and the end path.
TEST_F(Engine, WithoutLoadingsTheNoteEndsTheRunAfterTheRapidPass) {
  Run([&] {
    sc_assign::clear_assignments(clear_dom{clear_kind::clear_all, 0});
    // One of ten assigned: the rapid pass gives one more, then ends at 20 %.
    sc_assign::assign_person(test_ass::make_ass_only, Key(1, 5, 2).c_str(), c_);
  });
  const rizediveva6::Dialogs recorded = rizediveva6::myKWI::set_dialogs(rizediveva6::myKWI::toolkit_dialogs());
  testbox::Answer answer(L"Note", [](HWND d) { testbox::Press(d, IDOK); });
  Run([&] { comtree::run_engine(engine_mode::force_fill); });
  answer.Finish();
  rizediveva6::myKWI::set_dialogs(recorded);
  ASSERT_EQ(answer.Boxes().size(), 1u);
  EXPECT_EQ(answer.Boxes()[0].text, L"You have not defined the loadings (under Rules)");
  EXPECT_EQ(Assignments().size(), 2u);
  EXPECT_EQ(Calls(L"drew_few_assigns").size(), 1u);
  EXPECT_EQ(Calls(L"retract_engine").size(), 2u);  // before creating, at the end
  EXPECT_EQ(Calls(L"refresh").size(), 1u);
  EXPECT_EQ(ProgressText(), L"<no window>");
  EXPECT_EQ(RegisteredEngine(), nullptr);
}

TEST_F(Engine, ARosterAllAssignedFindsNothingButIsMarked) {
  Run([&] {
    load_db::get_load(MakeWhatStat(stat_kind::weekend, 0), L"B");
    load_db::put_load(MakeWhatStat(stat_kind::weekend, 0), b_, 1);
    for (uint32_t day = 1; day <= 5; ++day)
      for (uint32_t slot = 1; slot <= 2; ++slot)
        sc_assign::assign_person(test_ass::make_ass_only, Key(1, day, slot).c_str(), b_);
    open_.back()->set_as_modified(false);
  });
  const std::vector<std::wstring> before = Assignments();
  ASSERT_EQ(before.size(), 10u);
  ASSERT_FALSE(open_.back()->is_modified());
  ASSERT_FALSE(load_db::all_loadings_are_zero());
  Run([&] { comtree::run_engine(engine_mode::force_fill); });
  EXPECT_EQ(Assignments(), before);
  EXPECT_TRUE(open_.back()->is_modified());
  for (const auto& shown : rec().shown()) EXPECT_NE(shown.kind, L"note") << Narrow(shown.text);
  EXPECT_TRUE(Calls(L"drew_few_assigns").empty());
}

// --- Whole runs on generated rosters -------------------------------------------------------------

struct RunCase {
  uint32_t seed, weeks, prePercent;
  bool force;
};

class GeneratedRuns : public Roster, public ::testing::WithParamInterface<RunCase> {
 protected:
  // The generated roster with a share of its duties given beforehand
  // through the gate, every tenth of those locked.
  void Build(const RunCase& c, bool ties = true, const wchar_t* name = L"r.km6") {
    New(name);
    static RosterSpec spec;  // outside the frames an error unwinds
    spec = GeneratedSpec(c.seed, c.weeks);
    if (!ties) spec.ties.clear();
    Run([&] { WriteSpec(spec); });
    std::vector<std::wstring> keys;
    Run([&] {
      sc_phase1::nd_duty_ref([&](const dated_duty& d) {
        keys.push_back(sc_phase1::get_dtbd_key(DutyDatOf(d.duty->dat)).text);
        tav::K::Fail();
      });
    });
    QelMath::RandomInit(c.seed);
    uint32_t given = 0;
    const uint32_t want = uint32_t(keys.size() * c.prePercent / 100);
    for (size_t i = 0; i < keys.size() && given < want; ++i) {
      if (QelMath::Random_1(100) >= int32_t(c.prePercent) * 2) continue;
      uint8_t* mark = tav::K::Memory::MarkGStack();
      Run([&] {
        staff_db::nd_random_person([&](const PersonTerm* p) {
          if (sc_assign::assign_person(test_ass::test_and_make, keys[i].c_str(), p->ref)->Kind() !=
              reason_kind::can_do_it)
            tav::K::Fail();
          const DutyTerm* duty;
          if (given++ % 10 == 0 && sc_phase1::get_duty_by_key(keys[i].c_str(), &duty)) lock_ass::lock(duty->dat);
        });
      });
      tav::K::Memory::ReleaseGStack(mark);
    }
  }
  // Random gate operations on a generated roster (below).
  void Sweep(const RunCase& c, const wchar_t* file);
  // Runs the engine from a fixed seed; the validator's report after it.
  rostercheck::Report Fill(const RunCase& c, const rostercheck::Report& before, bool walks = false) {
    sc_assign::boo_walks = walks;
    QelMath::RandomInit(c.seed * 31 + 7);
    ComtreeCalls().clear();
    sc_engine* e = nullptr;
    Run([&] {
      e = sc_engine::new_windowless();
      e->fill_empties(c.force);
    });
    sc_assign::boo_walks = false;
    rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
    std::printf("seed %u, %u weeks, %u %% given, %s: rapid %.3f s, main %.3f s, force %.3f s, candidates %llu, "
                "events %llu; %ls\n",
                c.seed, c.weeks, c.prePercent, c.force ? "force" : "normal", e->figures.rapid_seconds,
                e->figures.main_seconds, e->figures.force_seconds, (unsigned long long)e->figures.candidates,
                (unsigned long long)e->figures.event_rounds, rostercheck::Summary(after).c_str());
    return after;
  }
};

TEST_P(GeneratedRuns, IntroduceNoViolationAndKeepTheLocks) {
  const RunCase c = GetParam();
  Build(c);
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  const rostercheck::Report after = Fill(c, before);
  for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
  EXPECT_GT(after.figures.FillRate(2), before.figures.FillRate(2));
  EXPECT_EQ(Calls(L"retract_engine").size(), 1u);
  // Each repaint names one duty that the run gave, each duty once.
  std::vector<std::wstring> repainted = Calls(L"drew_few_assigns");
  std::sort(repainted.begin(), repainted.end());
  EXPECT_EQ(std::adjacent_find(repainted.begin(), repainted.end()), repainted.end());
  for (const std::wstring& key : repainted) {
    chain_ref doctor;
    EXPECT_TRUE(sc_assign::is_assigned(key.c_str(), &doctor)) << Narrow(key);
  }
  EXPECT_LE(repainted.size(), after.figures.assigned[0] + after.figures.assigned[1] -
                                  before.figures.assigned[0] - before.figures.assigned[1]);
}

INSTANTIATE_TEST_SUITE_P(Rosters, GeneratedRuns,
                         ::testing::Values(RunCase{3, 52, 0, false}, RunCase{3, 52, 10, true},
                                           RunCase{5, 52, 30, false}, RunCase{5, 52, 0, true},
                                           RunCase{8, 104, 10, false}, RunCase{8, 104, 30, true}));

// Generated rosters give most doctors can't-do rules that refuse whole
// weeks, slots or tasks; a doctor refused everywhere must not stop the
// normal run from filling the roster.
TEST_F(GeneratedRuns, ANormalRunFillsMostOfTheRoster) {
  for (const RunCase& c : {RunCase{3, 52, 0, false}, RunCase{6, 26, 0, false}}) {
    Build(c);
    const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
    const rostercheck::Report after = Fill(c, before);
    EXPECT_GE(after.figures.FillRate(2), 70.0) << "seed " << c.seed;
    kalmora_DB::uninit();
  }
}

// The run's document, saved and closed, is judged alike by the validator
// in a fresh process.
TEST_F(GeneratedRuns, AFreshProcessReadsTheSameRosterBack) {
  const RunCase c{7, 26, 10, false};
  Build(c, true, L"fresh.km6");
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  const rostercheck::Report after = Fill(c, before);
  Run([&] { open_.back()->orv_save(rz::MakeList<const wchar_t*>({})); });
  kalmora_DB::uninit();
  Run([&] { open_.back()->orv_close(rz::MakeList<const wchar_t*>({}), false); });
  open_.pop_back();
  auto [code, text] = RunBeside(L"roster_check.exe", L"\"" + Path(L"fresh.km6") + L"\"");
  EXPECT_EQ(code, 0u) << Narrow(text);
  const std::vector<std::wstring> lines = LinesOf(text);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), rostercheck::Summary(after));
}

TEST_F(GeneratedRuns, ForceWithoutTiesLeavesNoPlaceableDuty) {
  const RunCase c{11, 52, 10, true};
  Build(c, false);
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  const rostercheck::Report after = Fill(c, before);
  EXPECT_TRUE(rostercheck::Introduced(after, &before).empty());
  EXPECT_EQ(after.figures.placeable, 0u);
}

TEST_F(GeneratedRuns, OneSeedGivesOneRosterAlsoWithWalkingChecks) {
  const RunCase c{4, 52, 10, false};
  std::vector<std::wstring> rosters[3];
  const wchar_t* names[] = {L"a.km6", L"b.km6", L"c.km6"};
  for (int i = 0; i < 3; ++i) {
    Build(c, true, names[i]);
    const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
    Fill(c, before, i == 2);
    rosters[i] = Assignments();
    kalmora_DB::uninit();
  }
  ASSERT_FALSE(rosters[0].empty());
  EXPECT_EQ(rosters[0], rosters[1]);
  EXPECT_EQ(rosters[0], rosters[2]);
}


// --- Random sweeps of the gate's operations -----------------------------------------------------

// An answer of the gate as text: kind, reason and what it names.
std::wstring AnswerText(const ReasonTerm* r) {
  std::wstring out = std::to_wstring(uint64_t(r->Kind()));
  if (r->Kind() == reason_kind::cant_assign_reason) {
    out += L"." + std::to_wstring(r->assign->functor);
    if (r->assign->functor != uint64_t(assign_reason_kind::tie_prevents_assign))
      out += L" " + std::to_wstring(r->assign->ref);
  } else if (r->Kind() == reason_kind::cant_rule_reason) {
    out += L"." + std::to_wstring(r->rule->functor);
    if (r->rule->functor == uint64_t(rule_reason_kind::cant_do_it)) out += std::wstring(L" ") + r->rule->text;
  }
  return out;
}

// Random assignments, removals and clears on generated rosters; every
// query is answered alike by the gate's index and by its plain walks, and
// the validator finds nothing introduced and every lock in place.
TEST_F(GeneratedRuns, GateSweepsAnswerAsTheWalksAndKeepTheRosterValid) {
  const wchar_t* files[] = {L"s1.km6", L"s2.km6", L"s3.km6"};
  int file = 0;
  for (const RunCase& c : {RunCase{3, 52, 10, false}, RunCase{5, 52, 30, false}, RunCase{8, 104, 10, false}})
    Sweep(c, files[file++]);
}

void GeneratedRuns::Sweep(const RunCase& c, const wchar_t* file) {
  Build(c, true, file);
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  std::vector<std::wstring> keys;
  std::vector<chain_ref> doctors;
  std::vector<std::wstring> names;
  Run([&] {
    sc_phase1::nd_duty_ref([&](const dated_duty& d) {
      keys.push_back(sc_phase1::get_dtbd_key(DutyDatOf(d.duty->dat)).text);
      tav::K::Fail();
    });
    staff_db::nd_person([&](const PersonTerm* p) {
      doctors.push_back(p->ref);
      names.push_back(p->dat->name);
      tav::K::Fail();
    });
  });
  ASSERT_FALSE(keys.empty());
  ASSERT_FALSE(doctors.empty());
  QelMath::RandomInit(c.seed * 17 + 1);
  auto pick = [](size_t n) { return size_t(QelMath::Random_1(int32_t(n))); };
  // Each query in both modes; the answers as texts.
  auto both = [](auto query) {
    sc_assign::boo_walks = false;
    const std::wstring indexed = query();
    sc_assign::boo_walks = true;
    const std::wstring walked = query();
    sc_assign::boo_walks = false;
    return std::make_pair(indexed, walked);
  };
  uint32_t made = 0, removed = 0, differing = 0;
  for (int step = 0; step < 1500; ++step) {
    const std::wstring& key = keys[pick(keys.size())];
    const chain_ref doctor = doctors[pick(doctors.size())];
    const int op = int(pick(10));
    uint8_t* mark = tav::K::Memory::MarkGStack();
    Run([&] {
      const auto answer = both([&] { return AnswerText(sc_assign::assign_person(test_ass::test_ass_only, key.c_str(), doctor)); });
      const auto busy = both([&] {
        return AnswerText(sc_assign::person_is_busy_dtbd_key(doctor, key.c_str(), rizediveva6::Nil<const wchar_t*>()));
      });
      const auto tie = both([&] { return std::wstring(sc_assign::a_tie_prevents(key.c_str(), doctor) ? L"tie" : L"none"); });
      const auto held = both([&] {
        chain_ref who = 0;
        return sc_assign::is_assigned(key.c_str(), &who) ? std::to_wstring(who) : std::wstring(L"free");
      });
      for (const auto* pair : {&answer, &busy, &tie, &held})
        if (pair->first != pair->second && ++differing <= 10)
          ADD_FAILURE() << "step " << step << " " << Narrow(key) << " doctor " << doctor << ": index "
                        << Narrow(pair->first) << ", walks " << Narrow(pair->second);
      if (op < 5) {
        if (sc_assign::assign_person(test_ass::test_and_make, key.c_str(), doctor)->Kind() == reason_kind::can_do_it)
          ++made;
      } else if (op < 8) {
        chain_ref who;
        if (sc_assign::is_assigned(key.c_str(), &who))
          for (const rizediveva6::SList* k = sc_assign::p_remove_assignment(uint32_t(pick(4)), key.c_str()); !k->Empty();
               k = k->tail)
            ++removed;
      } else if (op == 8) {
        sc_assign::clear_assignments(names[pick(names.size())].c_str(),
                                     clear_dom{clear_kind::clear_week, uint32_t(1 + pick(c.weeks))});
      }
    });
    tav::K::Memory::ReleaseGStack(mark);
  }
  EXPECT_GT(made, 0u);
  EXPECT_GT(removed, 0u);
  const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
  for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
  std::printf("sweep seed %u, %u weeks: %u made, %u removed; %ls\n", c.seed, c.weeks, made, removed,
              rostercheck::Summary(after).c_str());
  // Saved and closed, the roster reads back alike in a fresh process.
  Run([&] { open_.back()->orv_save(rz::MakeList<const wchar_t*>({})); });
  kalmora_DB::uninit();
  Run([&] { open_.back()->orv_close(rz::MakeList<const wchar_t*>({}), false); });
  open_.pop_back();
  auto [code, text] = RunBeside(L"roster_check.exe", L"\"" + Path(file) + L"\"");
  EXPECT_EQ(code, 0u) << Narrow(text);
  const std::vector<std::wstring> lines = LinesOf(text);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), rostercheck::Summary(after));
}

// --- Real windows: Stop, and commands run by the engine's event rounds ----------------------------

class LiveRuns : public GeneratedRuns {
 protected:
  // A registered engine run as the command tree runs it, with the validator
  // before and after.
  sc_engine* RunEngine(bool force) {
    ComtreeCalls().clear();
    QelMath::RandomInit(99);
    sc_engine* e = nullptr;
    Run([&] {
      e = sc_engine::new_engine();
      RegisteredEngine() = e;
      e->fill_empties(force);
    });
    return e;
  }
};

TEST_F(LiveRuns, StopEndsTheRunAtTheNextEventRound) {
  // A 104-week roster and a short settle: the click lands in the main pass.
  Build(RunCase{3, 104, 10, true});
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  testbox::Answer click(nullptr, [](HWND box) { testbox::ClickButton(box, rizediveva6::stop::kStopButton); }, 60);
  sc_engine* e = RunEngine(true);
  click.Finish();
  const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
  EXPECT_TRUE(rostercheck::Introduced(after, &before).empty());
  EXPECT_EQ(ProgressText(), L"<no window>");
  EXPECT_EQ(Calls(L"retract_engine").size(), 1u);
  EXPECT_EQ(Calls(L"refresh").size(), 1u);
  EXPECT_EQ(RegisteredEngine(), nullptr);
  // Stopped in the main pass: no force pass, duties left to place.
  EXPECT_GT(e->figures.candidates, 0u);
  EXPECT_EQ(e->figures.force_seconds, 0.0);
  EXPECT_GT(after.figures.placeable, 100u);
  std::printf("stopped after %llu candidates; %ls\n", (unsigned long long)e->figures.candidates,
              rostercheck::Summary(after).c_str());
}

// A command posted before the run reaches a window of the test at the
// engine's first event round, as a menu command of the program would.
class PostedCommand {
 public:
  explicit PostedCommand(std::function<void()> body) : body_(std::move(body)) {
    static const wchar_t* kClass = L"engine_test_command";
    static bool registered = false;
    if (!registered) {
      WNDCLASSW c{};
      c.lpfnWndProc = &Proc;
      c.hInstance = GetModuleHandleW(nullptr);
      c.lpszClassName = kClass;
      registered = RegisterClassW(&c) != 0;
    }
    window_ = CreateWindowW(kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    PostMessageW(window_, WM_APP, 0, 0);
  }
  ~PostedCommand() { DestroyWindow(window_); }
  bool ran() const { return ran_; }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_APP) return DefWindowProcW(w, m, wp, lp);
    auto* self = reinterpret_cast<PostedCommand*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (self && !self->ran_) {
      self->ran_ = true;
      self->body_();
    }
    return 0;
  }
  std::function<void()> body_;
  HWND window_ = nullptr;
  bool ran_ = false;
};

// A second run started from the first one's event round stops the first:
// its force pass never runs, and the roster stays valid.
TEST_F(LiveRuns, ANewRunStartedDuringARunStopsIt) {
  Build(RunCase{3, 26, 10, true});
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  sc_engine* inner = nullptr;
  PostedCommand command([&] {
    comtree::run_engine(engine_mode::run);
    inner = RegisteredEngine();
  });
  sc_engine* outer = RunEngine(true);
  ASSERT_TRUE(command.ran());
  EXPECT_EQ(outer->figures.force_seconds, 0.0);
  EXPECT_EQ(RegisteredEngine(), nullptr);
  EXPECT_EQ(inner, nullptr);  // the inner run retracted itself at its end
  EXPECT_EQ(Calls(L"run_engine"), std::vector<std::wstring>{L"run"});
  EXPECT_EQ(ProgressText(), L"<no window>");
  const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
  for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
  EXPECT_GT(after.figures.FillRate(2), before.figures.FillRate(2));
}

// The document closed unsaved during a run: the run ends without an error
// and the file keeps what was saved before it.
TEST_F(LiveRuns, ClosingTheDocumentDuringARunEndsItQuietly) {
  Build(RunCase{3, 26, 10, false}, true, L"closed.km6");
  Run([&] { open_.back()->orv_save(rz::MakeList<const wchar_t*>({})); });
  const std::vector<uint8_t> saved = Bytes(Path(L"closed.km6"));
  ASSERT_FALSE(saved.empty());
  PostedCommand command([&] {
    kalmora_DB::uninit();
    open_.back()->set_as_modified(false);
    open_.back()->orv_close(rz::MakeList<const wchar_t*>({}), false);
  });
  sc_engine* e = RunEngine(false);
  open_.pop_back();
  ASSERT_TRUE(command.ran());
  EXPECT_FALSE(kalmora_DB::is_init());
  EXPECT_EQ(Calls(L"retract_engine").size(), 1u);
  EXPECT_EQ(ProgressText(), L"<no window>");
  EXPECT_EQ(e->figures.force_seconds, 0.0);
  EXPECT_TRUE(Bytes(Path(L"closed.km6")) == saved);
}

// A doctor deleted during a run gets nothing after it: every assignment
// names a doctor that exists, and the validator finds no violation.
TEST_F(LiveRuns, ADoctorDeletedDuringARunIsNoLongerOffered) {
  Build(RunCase{5, 26, 0, false});
  std::wstring gone;
  Run([&] {
    staff_db::nd_person([&](const PersonTerm* p) {
      if (gone.empty() && p->dat->name[0]) gone = p->dat->name;
      tav::K::Fail();
    });
  });
  ASSERT_FALSE(gone.empty());
  const chain_ref goneRef = Ref(gone.c_str());
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  PostedCommand command([&] { EXPECT_TRUE(staff_db::del_person(gone.c_str())); });
  RunEngine(false);
  ASSERT_TRUE(command.ran());
  for (const std::wstring& a : Assignments())
    EXPECT_NE(a.substr(a.rfind(L' ') + 1), std::to_wstring(goneRef)) << Narrow(a);
  const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
  for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
  EXPECT_GT(after.figures.FillRate(2), 50.0);
}

}  // namespace
