// The statistics table over a small roster whose assignments went through
// the gate, counted by hand: every kind per doctor and per practice in
// every stat type, as numbers and percentages; the bottom row; Reference 0;
// the cells of single values; the menu states and commands; recalculation
// after an assignment; two tables at once; the copy for a spreadsheet.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dialog_test.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "checks.h"
#include "print_checks.h"
#include "liboxes/stats_tab.h"
#include "SYSTEM/options/options_db.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/kalmora_DB.h"
#include "roster_generator.h"

using namespace alltest;

namespace {

using S = stats_tab;
using V = std::vector<std::wstring>;

// Two weeks from Monday 5 October 2026, slots day and night, ward at north;
// weekdays both slots, Saturday and Sunday the day slot: 24 duties.  The
// first Wednesday is a holiday; Saturday's and Sunday's day slots are the
// weekend.  A (P1) holds week 1 Monday day, Saturday day, week 2 Tuesday
// night; B (P1, P2) week 1 Wednesday day, week 2 Sunday day; C (P2) week 1
// Monday night.  P1 counts A alone, P2 C alone (a practice counts the
// doctors whose only practice it is).
const std::pair<const wchar_t*, const wchar_t*> kAssignments[] = {
    {L"[101,11,11,1,1]", L"A"}, {L"[101,11,16,1,1]", L"A"}, {L"[102,12,12,1,1]", L"A"},
    {L"[101,11,13,1,1]", L"B"}, {L"[102,11,17,1,1]", L"B"}, {L"[101,12,11,1,1]", L"C"},
};

// Hand counts of one kind: its tree item, value titles, the duties to do
// per value and the assigned ones of each row.
struct KindCounts {
  const wchar_t* item;
  V titles;
  std::vector<uint32_t> required, a, b, c, p1, p2;
};

const KindCounts kKinds[] = {
    {L"Totals", {L"assigned"}, {24}, {3}, {2}, {1}, {3}, {1}},
    {L"Days",
     {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday", L"Sunday"},
     {4, 4, 4, 4, 4, 2, 2},
     {1, 1, 0, 0, 0, 1, 0},
     {0, 0, 1, 0, 0, 0, 1},
     {1, 0, 0, 0, 0, 0, 0},
     {1, 1, 0, 0, 0, 1, 0},
     {1, 0, 0, 0, 0, 0, 0}},
    {L"Weekends", {L"Weekends", L"Weekdays"}, {4, 20}, {1, 2}, {1, 1}, {0, 1}, {1, 2}, {0, 1}},
    {L"Slots", {L"day", L"night"}, {14, 10}, {2, 1}, {2, 0}, {0, 1}, {2, 1}, {0, 1}},
    // Day-slots: each day's slots from the last; no night duty at the weekend.
    {L"Day-slots",
     {L"Monday night", L"Monday day", L"Tuesday night", L"Tuesday day", L"Wednesday night", L"Wednesday day",
      L"Thursday night", L"Thursday day", L"Friday night", L"Friday day", L"Saturday night", L"Saturday day",
      L"Sunday night", L"Sunday day"},
     {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 2, 0, 2},
     {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0},
     {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1},
     {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0},
     {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {L"Tasks", {L"ward"}, {24}, {3}, {2}, {1}, {3}, {1}},
    {L"Locations", {L"north"}, {24}, {3}, {2}, {1}, {3}, {1}},
    {L"Holidays", {L"Holidays", L"Non-holidays"}, {2, 22}, {0, 3}, {1, 1}, {0, 1}, {0, 3}, {0, 1}},
};

// The cell texts of a value, written out independently of the table.
std::wstring Pct(double v) {
  char buf[32];
  snprintf(buf, sizeof buf, "%6.3f %%", v);
  return std::wstring(buf, buf + strlen(buf));
}
std::wstring Cell(uint32_t reference, uint32_t assigned, bool percent) {
  if (reference == 0) return L"-";
  return percent ? Pct(assigned * 100.0 / reference) : std::to_wstring(assigned);
}

V RowOf(const std::wstring& name, const std::vector<uint32_t>& refs, const std::vector<uint32_t>& got, bool percent) {
  V row{name};
  for (size_t i = 0; i < refs.size(); ++i) row.push_back(Cell(refs[i], got[i], percent));
  return row;
}

V Cells(const rizediveva6::line& l) {
  V out;
  for (const SList* c = l.cells; !c->Empty(); c = c->tail) out.push_back(c->head);
  return out;
}

// Every row of the table.
std::vector<V> Rows(S* t) {
  std::vector<V> rows;
  rizediveva6::line l;
  for (uint32_t r = 1; t->nth_line(r, &l); ++r) rows.push_back(Cells(l));
  return rows;
}

V Titles(S* t) {
  V out;
  rizediveva6::col_info c;
  for (uint32_t n = 1; t->nth_col(n, &c); ++n) out.push_back(c.name);
  return out;
}

// Command id -> (checked, enabled) of the table's pop-up menu.
std::map<uint32_t, std::pair<bool, bool>> MenuStates(S* t) {
  std::map<uint32_t, std::pair<bool, bool>> out;
  for (auto* l = t->popup_menu(); l->functor == QEL_KWI::ListCons; l = l->next)
    if (l->value->functor == 1) out[static_cast<uint32_t>(l->value->w[0])] = {l->value->w[4] != 0, l->value->w[3] != 0};
  return out;
}

class StatsTable : public DialogRoster {
 protected:
  void SetUp() override {
    DialogRoster::SetUp();
    Open(TwoWeekSpec());
    Run([] {
      for (auto [key, name] : kAssignments) {
        const PersonTerm* p;
        ASSERT_TRUE(staff_db::get_person(name, &p));
        const ReasonTerm* r = sc_assign::assign_person(test_ass::test_and_make, key, p->ref);
        ASSERT_EQ(r->Kind(), reason_kind::can_do_it) << Narrow(key);
      }
    });
    doc_->set_as_modified(false);
  }
  // A table of the path in a plain child window of the task (a pane).
  S* Table(HWND task, const V& path) {
    S* t = nullptr;
    Run([&] {
      QEL_KWI::rect_struct r{0, 0, 600, 300};
      QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
      QEL_KWI::menu_struct noMenu{3, 0};
      const LONG_PTR pane = QEL_KWI::win_Create(QEL_KWI::wt_child, &r, L"", &noMenu, reinterpret_cast<LONG_PTR>(task),
                                                &none, tav::NoEventHandler(), 0);
      rizediveva6::ListBuilder<const wchar_t*> b(true);
      for (const std::wstring& s : path) b.Add(tav::HeapCopy(s.c_str()));
      t = S::new_stats_tab(b.Finish(), pane);
    });
    if (!t) ADD_FAILURE() << "no table";
    return t;
  }
  void Command(S* t, uint32_t id) {
    Run([&] { EXPECT_TRUE(t->popup_callback(id)); });
  }
};

TEST_F(StatsTable, EveryKindPerDoctorAndPerPracticeInEveryModeShowsTheHandCounts) {
  InTask([&](HWND task) {
    for (const KindCounts& k : kKinds) {
      SCOPED_TRACE(Narrow(k.item));
      S* t = Table(task, {k.item});
      std::vector<uint32_t> all(k.a.size());
      for (size_t i = 0; i < all.size(); ++i) all[i] = k.a[i] + k.b[i] + k.c[i];
      struct Mode {
        uint32_t who, type, shown;
        const std::vector<uint32_t>* refs;
        const wchar_t* label;
      };
      const Mode modes[] = {
          {S::kDoctors, S::kOfRequired, S::kPercent, &k.required, L"total to do"},
          {S::kDoctors, S::kOfRequired, S::kNumbers, &k.required, L"total to do"},
          {S::kDoctors, S::kOfAssigned, S::kNumbers, &all, L"total assigned"},
          {S::kDoctors, S::kOfAssigned, S::kPercent, &all, L"total assigned"},
          {S::kGroups, S::kOfAssigned, S::kPercent, &all, L"total assigned"},
          {S::kGroups, S::kOfAssigned, S::kNumbers, &all, L"total assigned"},
          {S::kGroups, S::kOfRequired, S::kNumbers, &k.required, L"total to do"},
          {S::kGroups, S::kOfRequired, S::kPercent, &k.required, L"total to do"},
      };
      bool first = true;
      for (const Mode& m : modes) {
        // The table opens per doctor, of the required duties, in percentages.
        if (!first) {
          Command(t, m.who);
          Command(t, m.type);
          Command(t, m.shown);
        }
        first = false;
        const bool percent = m.shown == S::kPercent, doctors = m.who == S::kDoctors;
        SCOPED_TRACE(testing::Message() << (doctors ? "doctors " : "groups ") << m.type << (percent ? " %" : " n"));
        V titles{doctors ? L"Doctor" : L"Group"};
        titles.insert(titles.end(), k.titles.begin(), k.titles.end());
        std::vector<V> want;
        if (doctors) {
          want = {RowOf(L"A", *m.refs, k.a, percent), RowOf(L"B", *m.refs, k.b, percent),
                  RowOf(L"C", *m.refs, k.c, percent)};
        } else {
          want = {RowOf(L"P1", *m.refs, k.p1, percent), RowOf(L"P2", *m.refs, k.p2, percent)};
        }
        want.push_back({});
        V bottom{m.label};
        for (uint32_t r : *m.refs) bottom.push_back(r ? std::to_wstring(r) : L"-");
        want.push_back(bottom);
        EXPECT_EQ(Titles(t), titles);
        EXPECT_EQ(Rows(t), want);
      }
    }
  });
  EXPECT_FALSE(doc_->is_modified());
  EXPECT_TRUE(rec().shown().empty());
}

TEST_F(StatsTable, ComparisonGivesThreeCellsPerValueAgainstTheLoadings) {
  Run([] {
    PutShare(1, MakeWhatStat(stat_kind::total), L"A", 0.5);   // 12 of 24
    PutShare(1, MakeWhatStat(stat_kind::total), L"B", 0.25);  // 6
  });
  InTask([&](HWND task) {
    S* t = Table(task, {L"Totals"});
    Command(t, S::kNumbers);
    Command(t, S::kComparison);
    EXPECT_EQ(Titles(t), (V{L"Doctor", L"Assigned", L"Required", L"Difference"}));
    // C has no loading: Reference 0.  No bottom row.
    EXPECT_EQ(Rows(t), (std::vector<V>{{L"A", L"3", L"12", L"-9"}, {L"B", L"2", L"6", L"-4"}, {L"C", L"", L"", L"-"}, {}}));
    Command(t, S::kPercent);
    EXPECT_EQ(Rows(t), (std::vector<V>{{L"A", L"", L"", L"-75.000 %"}, {L"B", L"", L"", L"-66.667 %"},
                                       {L"C", L"", L"", L"-"}, {}}));
    // Weekends: three titles per value.
    S* w = Table(task, {L"Weekends"});
    Command(w, S::kComparison);
    EXPECT_EQ(Titles(w), (V{L"Doctor", L"Weekends", L"required", L"difference", L"Weekdays", L"required",
                            L"difference"}));
    for (const V& row : Rows(w)) EXPECT_TRUE(row.empty() || row.size() == 7u) << row.size();
  });
}

TEST_F(StatsTable, SingleValuesFormatAsNumbersPercentagesAndDifferences) {
  struct Row {
    uint32_t reference, assigned;
    stat_type how;
    bool percent;
    V cells;
    const wchar_t* reference_text;
  };
  const Row rows[] = {
      {8, 8, stat_type::pc_of_required, true, {L"100.000 %"}, L"8"},
      {8, 0, stat_type::pc_of_assigned, true, {L" 0.000 %"}, L"8"},
      {3, 1, stat_type::pc_of_required, true, {L"33.333 %"}, L"3"},
      {20, 1, stat_type::pc_of_required, true, {L" 5.000 %"}, L"20"},
      {8, 7, stat_type::compare, true, {L"", L"", L"-12.500 %"}, L"8"},
      {8, 7, stat_type::compare, false, {L"7", L"8", L"-1"}, L"8"},
      {2, 5, stat_type::compare, false, {L"5", L"2", L"3"}, L"2"},
      {0, 5, stat_type::compare, false, {L"", L"", L"-"}, L"-"},
      {0, 5, stat_type::pc_of_required, true, {L"-"}, L"-"},
      {0, 0, stat_type::pc_of_assigned, false, {L"-"}, L"-"},
      {4000000000u, 1, stat_type::pc_of_required, false, {L"1"}, L"4000000000"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.reference << " " << r.assigned);
    Run([&] {
      const S::value_cells c = S::stat_edata(stat_row{what_stat{stat_kind::total}, r.reference, r.assigned}, r.how,
                                             r.percent);
      EXPECT_EQ(Names(c.cells), r.cells);
      EXPECT_STREQ(c.reference, r.reference_text);
    });
  }
  // The difference times 100 past the 32-bit range: the overflow error, and
  // a count past it: the range error.
  EXPECT_NE(Error([] { S::stat_edata(stat_row{what_stat{stat_kind::total}, 1, 30000000}, stat_type::compare, true); }),
            0u);
  EXPECT_EQ(Error([] { S::stat_edata(stat_row{what_stat{stat_kind::total}, 1, 3000000000u}, stat_type::compare, false); }),
            302u);
}

TEST_F(StatsTable, PathsMenuStatesAndCommands) {
  InTask([&](HWND task) {
    // The node itself (an empty path): the totals, no note; an unknown kind: its note.
    S* node = Table(task, {});
    EXPECT_EQ(Titles(node), (V{L"Doctor", L"assigned"}));
    EXPECT_TRUE(rec().Texts(L"note").empty());
    S* odd = Table(task, {L"Months"});
    EXPECT_EQ(Titles(odd), (V{L"Doctor", L"assigned"}));
    EXPECT_EQ(rec().Texts(L"note"), V{L"Months - Error 97 in stats_tab"});
    // "Number assigned" anywhere in the path opens in numbers.
    S* numbers = Table(task, {L"Totals", L"Number assigned"});
    EXPECT_EQ(Rows(numbers)[0], (V{L"A", L"3"}));

    S* t = Table(task, {L"Days"});
    using St = std::pair<bool, bool>;
    auto states = MenuStates(t);
    EXPECT_EQ(states[S::kDoctors], St(true, true));
    EXPECT_EQ(states[S::kGroups], St(false, true));
    EXPECT_EQ(states[S::kPercent], St(true, true));
    EXPECT_EQ(states[S::kNumbers], St(false, true));
    EXPECT_EQ(states[S::kOfRequired], St(true, true));
    EXPECT_EQ(states[S::kOfAssigned], St(false, true));
    EXPECT_EQ(states[S::kComparison], St(false, false));
    EXPECT_EQ(states[S::kCopy], St(false, true));
    EXPECT_EQ(states[S::kPrint], St(false, true));
    EXPECT_EQ(states.size(), 9u);
    const std::vector<V> opening = Rows(t);
    Command(t, S::kNumbers);
    states = MenuStates(t);
    EXPECT_EQ(states[S::kPercent], St(false, true));
    EXPECT_EQ(states[S::kNumbers], St(true, true));
    Command(t, S::kPercent);
    EXPECT_EQ(Rows(t), opening);
    Command(t, S::kGroups);
    Command(t, S::kOfAssigned);
    states = MenuStates(t);
    EXPECT_EQ(states[S::kDoctors], St(false, true));
    EXPECT_EQ(states[S::kGroups], St(true, true));
    EXPECT_EQ(states[S::kOfRequired], St(false, true));
    EXPECT_EQ(states[S::kOfAssigned], St(true, true));
    // Comparison is offered for totals and weekends only.
    for (const wchar_t* item : {L"Totals", L"Weekends", L"Slots", L"Day-slots", L"Tasks", L"Locations", L"Holidays"}) {
      const bool offered = wcscmp(item, L"Totals") == 0 || wcscmp(item, L"Weekends") == 0;
      EXPECT_EQ(MenuStates(Table(task, {item}))[S::kComparison].second, offered) << Narrow(item);
    }
    Command(node, S::kComparison);
    EXPECT_EQ(MenuStates(node)[S::kComparison], St(true, true));
    // Ids outside the table: refused, nothing changes.
    const std::vector<V> before = Rows(t);
    for (uint32_t id : {0u, 10093u, 10103u, 10142u}) {
      Run([&] { EXPECT_FALSE(t->popup_callback(id)); });
      EXPECT_EQ(Rows(t), before);
    }
    // Two tables at once keep their own modes.
    EXPECT_EQ(Titles(t)[0], L"Group");
    EXPECT_EQ(Titles(Table(task, {L"Days"}))[0], L"Doctor");
    EXPECT_EQ(Titles(t)[0], L"Group");
  });
}

TEST_F(StatsTable, RecalculateAfterAnAssignmentChangesThatDoctorsCells) {
  InTask([&](HWND task) {
    S* t = Table(task, {L"Slots"});
    Command(t, S::kNumbers);
    const std::vector<V> before = Rows(t);
    Run([] {
      const PersonTerm* p;
      ASSERT_TRUE(staff_db::get_person(L"C", &p));
      // Week 2 Friday night.
      ASSERT_EQ(sc_assign::assign_person(test_ass::test_and_make, L"[102,12,15,1,1]", p->ref)->Kind(),
                reason_kind::can_do_it);
    });
    EXPECT_EQ(Rows(t), before);  // nothing until recalculated
    Run([&] { t->recalculate(); });
    std::vector<V> want = before;
    want[2] = {L"C", L"0", L"2"};
    EXPECT_EQ(Rows(t), want);
  });
}

// The first k boundaries of a table's columns.
std::vector<uint32_t> Bounds(S* t, size_t k) {
  std::vector<uint32_t> out;
  for (auto* l = t->get_boundaries(rizediveva6::Screen(t->get_wyndow().window)); !l->Empty() && out.size() < k;
       l = l->tail)
    out.push_back(l->head);
  return out;
}

TEST_F(StatsTable, TasksLocationsAndHolidaysShareTheirSavedWidths) {
  InTask([&](HWND task) {
    Run([] {
      static const rizediveva6::IntList end{2, 0, nullptr}, c3{1, 300, &end}, c2{1, 90, &c3}, c1{1, 1, &c2};
      rizediveva6::options_db::various_ilist(L"stat_task", &c1);
      rizediveva6::options_db::various_ilist(L"stat_day", &end);
    });
    for (const wchar_t* item : {L"Tasks", L"Locations", L"Holidays"})
      EXPECT_EQ(Bounds(Table(task, {item}), 3), (std::vector<uint32_t>{1, 90, 300})) << Narrow(item);
    // A table under another name keeps its own: the list saved under
    // "stat_day" is not the totals table's, which has its defaults.
    EXPECT_EQ(Bounds(Table(task, {L"Totals"}), 3), (std::vector<uint32_t>{101, 201, 301}));
    // The widths stay through recalculations.
    S* t = Table(task, {L"Holidays"});
    Command(t, S::kNumbers);
    EXPECT_EQ(Bounds(t, 3), (std::vector<uint32_t>{1, 90, 300}));
  });
}

// A saved width list that cannot be used (empty, or with a negative value)
// gives the kind's default widths, at opening and after recalculations.
TEST_F(StatsTable, AnUnusableSavedWidthListGivesTheDefaultWidths) {
  static const rizediveva6::IntList end{2, 0, nullptr}, tail{1, 300, &end}, negative{1, -5, &tail};
  const std::pair<const char*, const rizediveva6::IntList*> saved[] = {{"empty", &end}, {"negative", &negative}};
  InTask([&](HWND task) {
    for (auto [what, list] : saved) {
      Run([&] { rizediveva6::options_db::various_ilist(L"stat_day", list); });
      S* t = Table(task, {L"Days"});
      EXPECT_EQ(Bounds(t, 3), (std::vector<uint32_t>{21, 121, 221})) << what;
      Command(t, S::kNumbers);
      EXPECT_EQ(Bounds(t, 3), (std::vector<uint32_t>{21, 121, 221})) << what;
      EXPECT_EQ(Rows(t).size(), 5u) << what;  // A, B, C, the empty row, the bottom row
    }
  });
}

TEST_F(StatsTable, ADraggedBoundaryIsKeptWhenTheTableIsReopened) {
  std::vector<uint32_t> opened, dragged, reopened, other;
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    S* t = Table(task, {L"Slots"});
    opened = Bounds(t, 3);
    ASSERT_EQ(opened.size(), 3u);
    // The right edge of the names' column, in the title band, 60 to the right.
    const int edge = static_cast<int>(opened[1]) - 1;
    const HWND pane = reinterpret_cast<HWND>(t->get_wyndow().window);
    kwitest::DragMouse(pane, {edge, 30}, {edge + 60, 30});
    dragged = Bounds(t, 3);
    // The view closes: the table saves its widths, its pane goes.
    Run([&] { t->destroy_scroll2(); });
    DestroyWindow(pane);
    reopened = Bounds(Table(task, {L"Slots"}), 3);
    other = Bounds(Table(task, {L"Totals"}), 3);
  });
  EXPECT_EQ(opened, (std::vector<uint32_t>{21, 121, 221}));
  // The boundary follows the pointer (pressed a pixel left of it), the next ones move with it.
  EXPECT_EQ(dragged, (std::vector<uint32_t>{21, 180, 280}));
  EXPECT_EQ(reopened, dragged);
  EXPECT_EQ(other, (std::vector<uint32_t>{101, 201, 301}));
}

// roster_check's counts of one kind of row ("doctor" or "practice"): name
// -> {weekday duties, weekend duties} held.
using Held = std::map<std::wstring, std::pair<uint32_t, uint32_t>>;
Held CheckedCounts(const std::vector<std::wstring>& lines, const std::wstring& kind) {
  Held out;
  for (const std::wstring& l : lines) {
    if (l.rfind(kind + L" ", 0) != 0) continue;
    const size_t at = l.rfind(L" weekend");
    uint32_t category, assigned;
    if (at == std::wstring::npos || swscanf(l.c_str() + at, L" weekend%u assigned %u", &category, &assigned) != 2)
      continue;
    auto& counts = out[l.substr(kind.size() + 1, at - kind.size() - 1)];
    (category ? counts.second : counts.first) = assigned;
  }
  return out;
}

// The same counts from the weekends table's rows (numbers; cells Weekends,
// Weekdays), up to the empty row.
Held TableCounts(const std::vector<V>& rows) {
  Held out;
  for (const V& r : rows) {
    if (r.empty()) break;
    EXPECT_EQ(r.size(), 3u);
    if (r.size() == 3) out[r[0]] = {std::stoul(r[2]), std::stoul(r[1])};
  }
  return out;
}

TEST_F(StatsTable, AGeneratedYearAgreesWithTheRosterChecksCounts) {
  Roster::TearDown();
  Roster::SetUp();
  Open(GeneratedSpec(11, 52));
  Run([] { EXPECT_GT(PreAssign(GeneratedRun{11, 60}), 100u); });
  Run([&] { doc_->orv_save(rz::MakeList<const wchar_t*>({})); });
  std::vector<V> doctors, practices;
  InTask([&](HWND task) {
    S* t = Table(task, {L"Weekends", L"Number assigned"});
    doctors = Rows(t);
    Command(t, S::kGroups);
    practices = Rows(t);
  });
  kalmora_DB::uninit();
  Run([&] { doc_->orv_close(rz::MakeList<const wchar_t*>({}), false); });
  open_.pop_back();

  auto [code, text] = RunBeside(L"roster_check.exe", L"--figures \"" + Path(L"r.km6") + L"\"");
  EXPECT_EQ(code, 0u) << Narrow(text);
  const std::vector<std::wstring> lines = LinesOf(text);
  const Held checkedDoctors = CheckedCounts(lines, L"doctor");
  EXPECT_EQ(checkedDoctors.size(), 60u);
  EXPECT_EQ(TableCounts(doctors), checkedDoctors);
  // The checker lists the practices that count a doctor or have a share.
  const Held tablePractices = TableCounts(practices);
  for (const auto& [name, counts] : CheckedCounts(lines, L"practice")) {
    ASSERT_TRUE(tablePractices.count(name)) << Narrow(name);
    EXPECT_EQ(tablePractices.at(name), counts) << Narrow(name);
  }
  // The bottom row: the duties of each category.
  uint32_t duties[2] = {0, 0};
  for (const std::wstring& l : lines) swscanf(l.c_str(), L"weekend%*u duties %u", &duties[l.rfind(L"weekend1", 0) == 0]);
  ASSERT_FALSE(doctors.empty());
  EXPECT_EQ(doctors.back(), (V{L"total to do", std::to_wstring(duties[1]), std::to_wstring(duties[0])}));
}

// Slot names written as a document of another program may hold them.
void StoreSlots(const rizediveva6::SList* names) {
  rizediveva6::simple_string_db::clear_chain(kalmora_DB::db(), L"slots");
  rizediveva6::simple_string_db::add_namelist(kalmora_DB::db(), L"slots", names);
}

TEST_F(StatsTable, MoreThanTenSlotsRaiseTheRangeErrorAndTheTableStaysUsable) {
  InTask([&](HWND task) {
    S* t = Table(task, {L"Slots"});
    Command(t, S::kNumbers);
    const std::vector<V> before = Rows(t);
    Run([] {
      StoreSlots(rizediveva6::MakeList<const wchar_t*>(
          {L"day", L"night", L"s3", L"s4", L"s5", L"s6", L"s7", L"s8", L"s9", L"s10", L"s11"}));
    });
    EXPECT_EQ(Error([&] { t->recalculate(); }), 302u);
    Run([] { StoreSlots(rizediveva6::MakeList<const wchar_t*>({L"day", L"night"})); });
    Run([&] { t->recalculate(); });
    EXPECT_EQ(Rows(t), before);
    EXPECT_EQ(Titles(t), (V{L"Doctor", L"day", L"night"}));
  });
}

TEST_F(StatsTable, ARosterWithoutDoctorsShowsTheEmptyRowOnly) {
  RosterSpec spec = TwoWeekSpec();
  spec.doctors.clear();
  Roster::TearDown();
  Roster::SetUp();
  Open(spec);
  InTask([&](HWND task) {
    S* t = Table(task, {L"Totals"});
    EXPECT_EQ(Rows(t), std::vector<V>{{}});
    // Removing the view takes its scroll bar away.
    const HWND bar = reinterpret_cast<HWND>(t->get_vscroll());
    EXPECT_TRUE(IsWindow(bar));
    Run([&] { t->destroy_scroll2(); });
    EXPECT_FALSE(IsWindow(bar));
  });
}

TEST_F(StatsTable, CopyPutsTheRowsOnTheClipboard) {
  InTask([&](HWND task) {
    S* t = Table(task, {L"Weekends"});
    Command(t, S::kNumbers);
    Command(t, S::kCopy);
    ASSERT_TRUE(OpenClipboard(task));
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    std::wstring text = h ? static_cast<const wchar_t*>(GlobalLock(h)) : L"";
    if (h) GlobalUnlock(h);
    CloseClipboard();
    EXPECT_EQ(text, L"A\t1\t2\t\nB\t1\t1\t\nC\t0\t1\t\n\ntotal to do\t4\t20\t\n");
    EXPECT_EQ(rec().Texts(L"note"), V{L"You may now paste to (eg) Excel"});
  });
}

TEST_F(StatsTable, PrintWritesTheTitleAndTheDoctorsNames) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  // Earlier jobs of this title go first: the job is found by its title
  // (cups-pdf writes blanks as "_").
  WIN32_FIND_DATAW fd;
  for (HANDLE h; (h = FindFirstFileW(L"Z:\\root\\PDF\\Print_Statistics*.pdf", &fd)) != INVALID_HANDLE_VALUE;) {
    FindClose(h);
    ASSERT_TRUE(DeleteFileW((std::wstring(L"Z:\\root\\PDF\\") + fd.cFileName).c_str()));
  }
  InTask([&](HWND task) {
    S* t = Table(task, {L"Totals"});
    // The font dialog: a face the printer driver draws.
    testbox::Answer font(nullptr, [](HWND d) {
      constexpr int kFaces = 0x470;
      HWND faces = GetDlgItem(d, kFaces);
      for (const wchar_t* face : {L"Liberation Sans", L"DejaVu Sans", L"Arial"})
        if (SendMessageW(faces, CB_SELECTSTRING, WPARAM(-1), LPARAM(face)) != CB_ERR) break;
      SendMessageW(d, WM_COMMAND, MAKEWPARAM(kFaces, CBN_SELCHANGE), LPARAM(faces));
      Sleep(100);
      kwitest::Press(d, IDOK);
    });
    Command(t, S::kPrint);
  });
  const std::wstring pdf = kwitest::WaitForPdf(L"Print_Statistics");
  ASSERT_FALSE(pdf.empty());
  const std::string text = kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -",
                                                kwitest::TempDir(L"all_dialogs_tests") + L"job.txt");
  for (const char* name : {"Doctor", "total to do", "12.500 %"}) EXPECT_NE(text.find(name), std::string::npos) << name;
  // The names as rows: A, B and C each on a line of their own.
  for (const char* row : {"\nA\n", "\nB\n", "\nC\n"}) EXPECT_NE(text.find(row), std::string::npos) << row << text;
}

}  // namespace
