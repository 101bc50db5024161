// The totals store in process: compared counts from the loadings (rounded
// half up, range errors), their removal, practices' counts, the store shared
// by every object, and a roster without duties.
#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/stats_pack/totals.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"
#include "roster_test.h"

namespace alltest {
namespace {

const what_stat kTotal{stat_kind::total};

bool operator==(const stat_row& a, const stat_row& b) {
  return a.kind == b.kind && a.first == b.first && a.second == b.second;
}

// One week of weekdays, two slots: ten duties.  A (P1) holds three of them,
// B (P1 and P2) one, C (P2) one.
class Totals : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    New();
    Run([&] {
      RosterSpec spec = TwoWeekSpec();
      spec.weeks = 1;
      std::erase_if(spec.typical, [](const TypicalSpec& t) { return t.dayKind != kWeekday; });
      WriteSpec(spec);
      a_ = Ref(L"A"), b_ = Ref(L"B"), c_ = Ref(L"C");
      for (auto [key, who] : std::initializer_list<std::pair<const wchar_t*, chain_ref>>{
               {L"[101,11,11,1,1]", a_}, {L"[101,12,11,1,1]", a_}, {L"[101,11,12,1,1]", a_},
               {L"[101,12,12,1,1]", b_}, {L"[101,11,13,1,1]", c_}, {L"[109,11,11,1,1]", c_}})  // the last: no duty
        sc_assign::tree()->kee_insert(key, who);
    });
  }
  static chain_ref Ref(const wchar_t* name) {
    const PersonTerm* p;
    return staff_db::get_person(name, &p) ? p->ref : 0;
  }
  static void Share(const wchar_t* name, double fraction, stat_kind kind = stat_kind::total, uint64_t functor = 1) {
    PutShare(functor, MakeWhatStat(kind, kind == stat_kind::total ? 0 : 1), name, fraction);
  }
  static void ClearShares() {
    kalmora_DB::db()->chain_delete(L"loading_chain");
    load_db::stored_changed();
  }
  chain_ref a_ = 0, b_ = 0, c_ = 0;
};

TEST_F(Totals, CompareRoundsEachTotalLoadingHalfUp) {
  const struct {
    double fraction;
    uint32_t count;  // of ten duties
  } cases[] = {{0.25, 3}, {0.24, 2}, {0.05, 1}, {0.0, 0}, {1.0, 10}, {0.35, 4}, {0.349, 3}};
  for (const auto& c : cases) {
    Run([&] {
      ClearShares();
      Share(L"A", c.fraction);
      totals* t = totals::new_();
      t->calculate_total_to_be_done(are_assigned(a_), stat_type::compare, do_what_stat::do_totals);
      EXPECT_TRUE((t->get_stat_dom(a_, kTotal) == stat_row{kTotal, c.count, 3})) << c.fraction;
    });
  }
}

TEST_F(Totals, CompareCountsOnlyDoctorsTotalLoadingsInTheirOrder) {
  Run([&] {
    Share(L"C", 0.5);
    Share(L"nobody", 0.5);                        // no doctor's name
    Share(L"P1", 0.5, stat_kind::total, 2);       // a practice's
    Share(L"B", 0.5, stat_kind::weekend);         // another kind
    Share(L"A", 0.3);
    totals* t = totals::new_();
    for (chain_ref d : {a_, c_})
      t->calculate_total_to_be_done(are_assigned(d), stat_type::pc_of_required, do_what_stat::do_totals);
    t->calculate_total_to_be_done(are_assigned(b_), stat_type::compare, do_what_stat::do_totals);
    // Made for every doctor with a total loading, not only for the one asked.
    EXPECT_TRUE((t->get_stat_dom(c_, kTotal) == stat_row{kTotal, 5, 1}));
    EXPECT_TRUE((t->get_stat_dom(a_, kTotal) == stat_row{kTotal, 3, 3}));
    EXPECT_TRUE((t->get_stat_dom(pg::g(L"P1"), kTotal) == stat_row{kTotal, 0, 0}));
    EXPECT_TRUE((t->get_stat_dom(a_, what_stat{stat_kind::day, 3}) == stat_row{{stat_kind::day, 3}, 0, 0}));
    // A recount of the assigned base keeps them; any other recount drops them.
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_assigned, do_what_stat::do_totals);
    EXPECT_EQ(t->get_stat_dom(a_, kTotal).first, 3u);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, kTotal), 5u);  // assigned duties that are duties
    t->calculate_total_to_be_done(are_assigned(a_), stat_type::pc_of_required, do_what_stat::do_totals);
    EXPECT_TRUE((t->get_stat_dom(a_, kTotal) == stat_row{kTotal, 5, 3}));
    // Compare of another family leaves none; to_be_done with compare does nothing.
    t->calculate_total_to_be_done(are_assigned(a_), stat_type::compare, do_what_stat::do_days);
    EXPECT_TRUE((t->get_stat_dom(c_, kTotal) == stat_row{kTotal, 5, 1}));
    t->calculate_total_to_be_done(kToBeDone, stat_type::compare, do_what_stat::do_totals);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, kTotal), 5u);
  });
}

TEST_F(Totals, ANegativeFractionRaisesAfterTheCountsBeforeIt) {
  Run([&] {
    Share(L"C", 0.5);
    Share(L"A", -0.25);
    Share(L"B", 0.5);
  });
  totals* t = nullptr;
  Run([&] { t = totals::new_(); });
  EXPECT_EQ(Error([&] { t->calculate_total_to_be_done(are_assigned(a_), stat_type::compare, do_what_stat::do_totals); }),
            302u);
  Run([&] {
    EXPECT_EQ(t->get_stat_dom(c_, kTotal).first, 5u);
    EXPECT_TRUE((t->get_stat_dom(b_, kTotal) == stat_row{kTotal, 0, 0}));
  });
}

TEST_F(Totals, PracticesCountDoctorsWhoseOnlyGroupTheyAre) {
  Run([&] {
    totals* t = totals::new_();
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_slots);
    for (const wchar_t* g : {L"P1", L"P2", L"p1"})
      t->calculate_total_to_be_done(are_assigned(pg::g(g)), stat_type::pc_of_required, do_what_stat::do_slots);
    std::vector<std::pair<uint32_t, uint32_t>> rows;
    for (const wchar_t* g : {L"P1", L"P2", L"p1"})
      for (auto* l = t->get_data(do_what_stat::do_slots, pg::g(g)); !l->Empty(); l = l->tail)
        rows.push_back({l->head.first, l->head.second});
    // P1: A's 2 day and 1 night duties (B is in two groups); P2: C's day
    // duty; p1 differs in case and counts nothing.
    EXPECT_EQ(rows, (std::vector<std::pair<uint32_t, uint32_t>>{{5, 2}, {5, 1}, {5, 1}, {5, 0}, {5, 0}, {5, 0}}));
    // A doctor and a practice never share counts.
    EXPECT_EQ(t->get_tot_to_be_done(are_assigned(a_), what_stat{stat_kind::slot, 1}), 0u);
  });
}

TEST_F(Totals, EveryObjectReadsTheOneStore) {
  Run([&] {
    totals* first = totals::new_();
    totals* second = totals::new_();
    first->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
    EXPECT_EQ(second->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 0}), 10u);
    EXPECT_EQ(second->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 1}), 0u);
    second->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_assigned, do_what_stat::do_weekend);
    EXPECT_EQ(first->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 0}), 5u);
  });
}

class EmptyTotals : public Roster {};

TEST_F(EmptyTotals, ARosterWithoutDutiesGivesZeroEverywhere) {
  New();
  Run([&] {
    PutShare(1, MakeWhatStat(stat_kind::total), L"nobody", 0.5);
    totals* t = totals::new_();
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_totals);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, kTotal), 0u);
    t->calculate_total_to_be_done(are_assigned(7), stat_type::compare, do_what_stat::do_totals);
    EXPECT_TRUE((t->get_stat_dom(7, kTotal) == stat_row{kTotal, 0, 0}));
    EXPECT_EQ(t->get_data(do_what_stat::do_tasks, 7)->Empty(), true);
  });
}

}  // namespace
}  // namespace alltest
