// The typical week, loadings, ties, can't-do, weekend-slot and holiday
// list views on real windows: their rows from fixture rosters, checked
// deletions and the other commands through the command tree stand-in, the
// number prompts answered from a helper thread, and what a fresh process
// finds in the saved document.
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "libox_test.h"
#include "liboxes/cannot_libox.h"
#include "liboxes/hol_libox.h"
#include "liboxes/list_common.h"
#include "liboxes/loadlibox.h"
#include "liboxes/ties_libox.h"
#include "liboxes/typicalWeeklyDuties.h"
#include "liboxes/we_libox.h"
#include "phase1/sc_phase1.h"
#include "checks.h"
#include "print_checks.h"

using namespace alltest;
using namespace all;

namespace {

using V = std::vector<std::wstring>;
using rizediveva6::libox;

constexpr const wchar_t* kNotParts = L"The parts value must be a whole number of 0 or more";
constexpr const wchar_t* kTooLarge = L"The parts of a loadings table must not add up to more than 2147483647";

// A roster of the fixture without rules, ties, loadings or assignments.
RosterSpec Bare(RosterSpec s) {
  s.typical.clear();
  s.changes.clear();
  s.ties.clear();
  s.loads.clear();
  s.rules.clear();
  s.assignments.clear();
  s.holidays.clear();
  s.weekend.clear();
  return s;
}

// The checked rows' positions (from 0).
std::vector<uint32_t> CheckedOf(libox* l) {
  std::vector<uint32_t> out;
  EXPECT_EQ(RunTrapped([&] {
    for (const auto* p = l->lbox_getsel().positions; !p->Empty(); p = p->tail) out.push_back(p->head);
  }), 0u);
  return out;
}

class RosterLists : public ListViews {
 protected:
  void TearDown() override {
    if (!ties::ties_active()) ties::toggle_activate();
    ListViews::TearDown();
  }
  // Saves the open document; what a fresh process reads of it ("typical",
  // "ties", "gate", "dump"), one line per entry.
  std::vector<std::wstring> Saved(const std::wstring& part) {
    Run([] { kalmora_DB::save_kalmora(); });
    auto [code, text] = RosterChild(part + L" \"" + Path(L"r.km6") + L"\"");
    EXPECT_EQ(code, 0u) << Narrow(text);
    return LinesOf(text);
  }
  // Stores the checked rows `rows` (from 1) and runs del_selected.
  template <class L>
  void DeleteRows(L* l, std::vector<uint32_t> rows) {
    Run([&] {
      rizediveva6::ListBuilder<uint32_t> b;
      for (uint32_t r : rows) b.Add(r);
      l->set_selecteds(b.Finish());
      l->del_selected();
    });
  }
};

// --- Typical week ------------------------------------------------------------------------------

RosterSpec TypicalSpec() {
  RosterSpec s = Bare(TwoWeekSpec());
  s.slots = {L"am", L"pm"};
  s.tasks = {L"T1", L"T2"};
  s.locations = {L"L1", L"L2", L"L3"};
  s.typical = {{kWeekday, {L"T2", L"L3", L"pm"}}, {kWeekday, {L"T1", L"L1", L"am"}}};
  return s;
}

// Every combination in the store's order: location, then slot, then task.
V Combinations(const V& tasks, const V& locs, const V& slots) {
  V out;
  for (const auto& l : locs)
    for (const auto& s : slots)
      for (const auto& t : tasks) out.push_back(L"[\"" + t + L"\",\"" + l + L"\",\"" + s + L"\"]");
  return out;
}

class TypicalList : public RosterLists {
 protected:
  void SetUp() override {
    RosterLists::SetUp();
    Open(TypicalSpec());
  }
  typicalWeeklyDuties* Make(HWND task, uint32_t day) {
    typicalWeeklyDuties* t = nullptr;
    Run([&] { t = typicalWeeklyDuties::new_(Pane(task), day); });
    return t;
  }
};

TEST_F(TypicalList, ShowsEveryCombinationChecksTheStoredOnesAndStoresTheCheckedAtRemoval) {
  InTask([&](HWND task) {
    typicalWeeklyDuties* sat = Make(task, kSaturday);
    ASSERT_TRUE(sat);
    EXPECT_EQ(TitlesOf(sat), (V{L"check required", L"Saturday"}));
    Rows want;
    for (const auto& c : Combinations({L"T1", L"T2"}, {L"L1", L"L2", L"L3"}, {L"am", L"pm"})) want.push_back({c});
    EXPECT_EQ(RowsOf(sat), want);
    EXPECT_EQ(ColoursOf(sat), Colours(12, {0xFFFFFF, 0}));
    EXPECT_TRUE(CheckedOf(sat).empty());
    // Rows 2 ([T2,L1,am]) and 5 ([T1,L2,am]) checked, then another view.
    Run([&] { sat->set_selecteds(rizediveva6::MakeList<uint32_t>({2, 5})); });
    EXPECT_FALSE(doc_->is_modified());
    Run([&] { sat->destroy_scroll2(); });
    EXPECT_TRUE(doc_->is_modified());

    // Nothing changed: the (empty) selection is stored all the same.
    doc_->set_as_modified(false);
    typicalWeeklyDuties* sun = Make(task, kSunday);
    EXPECT_EQ(TitlesOf(sun), (V{L"check required", L"Sunday"}));
    Run([&] { sun->destroy_scroll2(); });
    EXPECT_TRUE(doc_->is_modified());

    typicalWeeklyDuties* week = Make(task, kWeekday);
    EXPECT_EQ(TitlesOf(week), (V{L"check required", L"Weekday"}));
    EXPECT_EQ(CheckedOf(week), (std::vector<uint32_t>{0, 11}));
    Run([&] { week->destroy_scroll2(); });
  });
  EXPECT_EQ(Saved(L"typical"), (V{L"typical 1001", L"typical 1002 1,1,1 2,3,2", L"typical 1003 2,1,1 1,2,1"}));
}

// Through the command tree: the Saturday list with two rows checked, then
// another item chosen, stores them; the Weekday list shows its own.
TEST_F(TypicalList, ChoosingAnotherItemStoresTheCheckedRows) {
  InRoadTask([&](HWND) {
    IssuePath(L"Input Data/Duties to do - typical week/Saturday");
    auto* sat = static_cast<typicalWeeklyDuties*>(OpenView(L"db_typ 1003"));
    ASSERT_TRUE(sat);
    EXPECT_EQ(OpenView(L"db_typ"), sat);
    Run([&] { sat->set_selecteds(rizediveva6::MakeList<uint32_t>({2, 5})); });
    EXPECT_FALSE(doc_->is_modified());
    IssuePath(L"Input Data/Duties to do - typical week/Weekday");
    EXPECT_TRUE(doc_->is_modified());
    EXPECT_EQ(OpenView(L"db_typ 1003"), nullptr);
    auto* week = static_cast<typicalWeeklyDuties*>(OpenView(L"db_typ 1002"));
    ASSERT_TRUE(week);
    EXPECT_EQ(CheckedOf(week), (std::vector<uint32_t>{0, 11}));
  });
  EXPECT_EQ(Saved(L"typical"), (V{L"typical 1001", L"typical 1002 1,1,1 2,3,2", L"typical 1003 2,1,1 1,2,1"}));
}

TEST_F(TypicalList, DayKindOutsideTheRangeMakesNoList) {
  InTask([&](HWND task) {
    const LONG_PTR pane = Pane(task);
    for (uint32_t day : {1000u, 1004u}) EXPECT_EQ(Error([&] { typicalWeeklyDuties::new_(pane, day); }), 302u) << day;
  });
}

// The store at removal: rows that no longer name a duty are left out; a
// closed model or another document gets nothing.
TEST_F(TypicalList, RemovalStoresOnlyRowsOfKnownNamesAndOnlyIntoItsOwnDocument) {
  InTask([&](HWND task) {
    typicalWeeklyDuties* t = Make(task, kSaturday);
    Run([&] {
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({1, 2}));
      tasks::add_task(1, L"Renamed");  // row 1 names T1
      t->destroy_scroll2();
    });
    std::vector<tls> stored;
    Run([&] {
      typical_db::nd_tls([&](day_tls d) {
        if (d.day_kind == kSaturday) stored.push_back(d.duty);
        Qel::RunTime::Kernel::Fail();
      });
    });
    EXPECT_EQ(stored, (std::vector<tls>{{2, 1, 1}}));

    // The model closed before the list goes: no error, nothing stored.
    t = Make(task, kSunday);
    Run([&] { t->set_selecteds(rizediveva6::MakeList<uint32_t>({1})); });
    Run([] { kalmora_DB::uninit(); });
    EXPECT_EQ(Error([&] { t->destroy_scroll2(); }), 0u);
    EXPECT_TRUE(kwitest::Reported().empty());
  });
  // Another document open by then: it keeps its typical week.
  rz::document* first = doc_;
  Run([&] { kalmora_DB::init(first); });
  InTask([&](HWND task) {
    typicalWeeklyDuties* t = Make(task, kWeekday);
    Run([&] { t->set_selecteds(rizediveva6::MakeList<uint32_t>({3})); });
    Run([] { kalmora_DB::uninit(); });
    rz::document* other = New(L"other.km6");
    Run([&] { WriteSpec(TypicalSpec()); });
    other->set_as_modified(false);
    EXPECT_EQ(Error([&] { t->destroy_scroll2(); }), 0u);
    EXPECT_FALSE(other->is_modified());
    bool weekday = false;
    Run([&] { weekday = typical_db::is_in_db(kWeekday, tls{2, 3, 2}); });
    EXPECT_TRUE(weekday);
  });
}

TEST_F(TypicalList, NoTaskGivesAnEmptyListWhoseRemovalEmptiesTheDayKind) {
  Run([] {
    tasks::add_task(1, L"");
    tasks::add_task(1, L"");
  });
  InTask([&](HWND task) {
    typicalWeeklyDuties* t = Make(task, kWeekday);
    EXPECT_TRUE(RowsOf(t).empty());
    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_EQ(Saved(L"typical")[1], L"typical 1002");
}

TEST_F(RosterLists, TypicalListOfTenTasksLocationsAndSlotsHasAThousandRows) {
  RosterSpec s = Bare(TwoWeekSpec());
  s.tasks.clear(), s.locations.clear(), s.slots.clear();
  for (int i = 1; i <= 10; ++i) {
    s.tasks.push_back(L"t" + std::to_wstring(i));
    s.locations.push_back(L"l" + std::to_wstring(i));
    s.slots.push_back(L"s" + std::to_wstring(i));
  }
  s.typical = {{kSaturday, {L"t10", L"l10", L"s10"}}};
  Open(s);
  InTask([&](HWND task) {
    typicalWeeklyDuties* t = nullptr;
    Run([&] { t = typicalWeeklyDuties::new_(Pane(task), kSaturday); });
    const Rows rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 1000u);
    EXPECT_EQ(rows.back(), (V{L"[\"t10\",\"l10\",\"s10\"]"}));
    EXPECT_EQ(CheckedOf(t), (std::vector<uint32_t>{999}));
    Run([&] { t->destroy_scroll2(); });
  });
}

// --- Loadings ---------------------------------------------------------------------------------

// Two weeks, three slots: 30 weekday and 10 weekend duties.
RosterSpec LoadSpec() {
  RosterSpec s = Bare(TwoWeekSpec());
  s.slots = {L"am", L"pm", L"night"};
  s.doctors = {{L"A", {L"P1"}}, {L"B", {L"P1", L"P2"}}, {L"C", {}}, {L"D", {L"P2"}}};
  s.weekend = {{1, 6}, {2, 6}, {3, 6}, {1, 7}, {2, 7}, {3, 7}};
  for (const wchar_t* slot : {L"am", L"pm", L"night"}) {
    s.typical.push_back({kWeekday, {L"ward", L"north", slot}});
    s.typical.push_back({kSaturday, {L"ward", L"north", slot}});
  }
  s.typical.push_back({kSunday, {L"ward", L"north", L"am"}});
  s.typical.push_back({kSunday, {L"ward", L"north", L"pm"}});
  return s;
}

const WhatStatTerm* Table(int which) {
  static const WhatStatTerm weekday{static_cast<uint64_t>(stat_kind::weekend), 0, 0},
      weekend{static_cast<uint64_t>(stat_kind::weekend), 1, 0}, total{static_cast<uint64_t>(stat_kind::total), 0, 0};
  return which == 0 ? &weekday : which == 1 ? &weekend : &total;
}

class Loadings : public RosterLists {
 protected:
  void SetUp() override {
    RosterLists::SetUp();
    Open(LoadSpec());
  }
  loadlibox* Make(HWND task, int which) {
    loadlibox* t = nullptr;
    Run([&] { t = loadlibox::new_(Pane(task), Table(which)); });
    return t;
  }
  // The stored (parts, fraction) lines of a table as the fresh process reads them.
  V Stored(int which) {
    V out;
    for (const std::wstring& l : Saved(L"ties"))
      if (l.rfind(L"load ", 0) == 0 && l.find(L" weekend" + std::to_wstring(which) + L" ") != std::wstring::npos)
        out.push_back(l);
    return out;
  }
  // The parts column of the list.
  static V PartsOf(libox* l) {
    V out;
    for (const V& r : RowsOf(l)) out.push_back(r.size() > 3 ? r[3] : L"?");
    return out;
  }
};

TEST_F(Loadings, FirstOpeningShowsZeroPartsThenEveryDoctorGetsTen) {
  InTask([&](HWND task) {
    loadlibox* t = Make(task, 0);
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"Doctor", L"Groups", L"Fraction", L"Parts"}));
    EXPECT_EQ(RowsOf(t), (Rows{{L"A", L"[\"P1\"]", L"  0.0000", L"0"},
                               {L"B", L"[\"P1\",\"P2\"]", L"  0.0000", L"0"},
                               {L"C", L"[]", L"  0.0000", L"0"},
                               {L"D", L"[\"P2\"]", L"  0.0000", L"0"}}));
    EXPECT_EQ(ColoursOf(t), Colours(4, {0xFFFFFF, 0}));
    EXPECT_EQ(MenuText(reinterpret_cast<const QEL_KWI::menu_item_list_struct*>(t->menu()->value)),
              L"10136 Even spread|10137 Even spread for checked items|10138 Copy to Weekend table|"
              L"Print{10102 Printer|10101 Excel}");
    Run([&] { t->destroy_scroll2(); });
    // The weekend table: its first opening stores zero parts too.
    loadlibox* w = Make(task, 1);
    EXPECT_EQ(PartsOf(w), (V{L"0", L"0", L"0", L"0"}));
    EXPECT_NE(MenuText(reinterpret_cast<const QEL_KWI::menu_item_list_struct*>(w->menu()->value))
                  .find(L"10138 Copy to Weekday table"),
              std::wstring::npos);
    Run([&] { w->destroy_scroll2(); });
    t = Make(task, 0);
    EXPECT_EQ(PartsOf(t), (V{L"10", L"10", L"10", L"10"}));
    EXPECT_EQ(RowsOf(t)[0][2], L"  0.2500");
    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_TRUE(doc_->is_modified());
  EXPECT_EQ(Stored(0), (V{L"load A weekend0 10 0.2500", L"load B weekend0 10 0.2500", L"load C weekend0 10 0.2500",
                          L"load D weekend0 10 0.2500"}));
}

TEST_F(Loadings, PartsTypedIntoCellsAndCopyToTheWeekendTable) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    for (int i = 0; i < 2; ++i) Run([&, t = Make(task, 0)] { t->destroy_scroll2(); });
    loadlibox* t = Make(task, 0);
    TypeInto(task, t, 1, 5, L"30");
    TypeInto(task, t, 3, 5, L"30");
    EXPECT_EQ(PartsOf(t), (V{L"30", L"10", L"30", L"10"}));
    V fractions;
    for (const V& r : RowsOf(t)) fractions.push_back(r[2]);
    EXPECT_EQ(fractions, (V{L"  0.3750", L"  0.1250", L"  0.3750", L"  0.1250"}));
    // Copy: the weekend table gets the parts; this list is not redrawn.
    const Rows before = RowsOf(t);
    Run([&] { EXPECT_TRUE(t->popup_callback(10138)); });
    EXPECT_EQ(RowsOf(t), before);
    Run([&] { EXPECT_FALSE(t->popup_callback(10105)); });
    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_EQ(Stored(1), (V{L"load A weekend1 30 0.3750", L"load B weekend1 10 0.1250", L"load C weekend1 30 0.3750",
                          L"load D weekend1 10 0.1250"}));
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

// A value that is no whole number of 0 or more, or that would take the sum
// of a table past the signed 32-bit range, is refused with a note; nothing
// is stored and a cell keeps its text.
TEST_F(Loadings, RefusedValuesStoreNothing) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    for (int i = 0; i < 2; ++i) Run([&, t = Make(task, 0)] { t->destroy_scroll2(); });
    loadlibox* t = Make(task, 0);
    struct Edit {
      const char* what;
      std::wstring text;
      const wchar_t* note;
    };
    const Edit edits[] = {
        {"letters after digits", L"12x", kNotParts},
        {"negative", L"-3", kNotParts},
        {"past the sum's range", L"2147483640", kTooLarge},
    };
    for (const Edit& e : edits) {
      SCOPED_TRACE(e.what);
      doc_->set_as_modified(false);
      rec().Clear();
      TypeInto(task, t, 2, 5, e.text);
      EXPECT_EQ(rec().Texts(L"note"), V{e.note});
      EXPECT_EQ(PartsOf(t), (V{L"10", L"10", L"10", L"10"}));
    }
    // A sound value in the cell is stored.
    TypeInto(task, t, 2, 5, L"30");
    EXPECT_EQ(PartsOf(t), (V{L"10", L"30", L"10", L"10"}));
    EXPECT_TRUE(doc_->is_modified());

    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_EQ(Stored(0), (V{L"load A weekend0 10 0.1667", L"load B weekend0 30 0.5000", L"load C weekend0 10 0.1667",
                          L"load D weekend0 10 0.1667"}));
}

// The "Enter parts value" question of the even spreads, answered from a
// helper thread: each answer stores (or not) before the next case starts.
TEST_F(Loadings, EvenSpreadAsksPartsAndStoresOnlyASoundAnswer) {
  struct Case {
    const char* what;
    uint32_t id;
    std::vector<uint32_t> checked;       // rows, from 1
    std::vector<const wchar_t*> answers;  // null: Cancel
    V shown;                              // the field's text as each question opened
    V notes;
    V parts;                              // after the case
    const wchar_t* fraction;              // row 1's, after the case
    bool stored;
  };
  const std::wstring notWhole = L"\"x\" is not a whole number";
  const Case cases[] = {
      {"every doctor", 10136, {}, {L"5"}, {L"10"}, {}, {L"5", L"5", L"5", L"5"}, L"  0.2500", true},
      {"checked rows only", 10137, {2, 4}, {L"7"}, {L"10"}, {}, {L"5", L"7", L"5", L"7"}, L"  0.2083", true},
      {"no row checked", 10137, {}, {L"9"}, {L"10"}, {}, {L"5", L"7", L"5", L"7"}, L"  0.2083", false},
      {"cancelled", 10136, {}, {nullptr}, {L"10"}, {}, {L"5", L"7", L"5", L"7"}, L"  0.2083", false},
      {"negative, asked again with it", 10136, {}, {L"-3", L"4"}, {L"10", L"-3"}, {kNotParts},
       {L"4", L"4", L"4", L"4"}, L"  0.2500", true},
      {"not a number, then cancelled", 10137, {1}, {L"x", nullptr}, {L"10", L"x"}, {notWhole.c_str()},
       {L"4", L"4", L"4", L"4"}, L"  0.2500", false},
      {"past the sum's range", 10136, {}, {L"2147483000"}, {L"10"}, {kTooLarge}, {L"4", L"4", L"4", L"4"},
       L"  0.2500", false},
      {"the last sound answer", 10137, {1, 3}, {L"12"}, {L"10"}, {}, {L"12", L"4", L"12", L"4"}, L"  0.3750", true},
  };
  InTask([&](HWND task) {
    for (int i = 0; i < 2; ++i) Run([&, t = Make(task, 0)] { t->destroy_scroll2(); });
    loadlibox* t = Make(task, 0);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      doc_->set_as_modified(false);
      rec().Clear();
      Run([&] {
        rizediveva6::ListBuilder<uint32_t> rows;
        for (uint32_t r : c.checked) rows.Add(r);
        t->set_selecteds(rows.Finish());
      });
      std::vector<testbox::Step> steps;
      V shown;
      for (const wchar_t* a : c.answers)
        steps.push_back({L"Loading", [a, &shown](HWND d) {
                           shown.push_back(CtlText(d, 10001));
                           if (a) SetDlgItemTextW(d, 10001, a);
                           Click(d, a ? IDOK : IDCANCEL);
                         }});
      testbox::Script script(steps);
      Run([&] { EXPECT_TRUE(t->popup_callback(c.id)); });
      script.Finish();
      EXPECT_EQ(shown, c.shown);
      EXPECT_EQ(rec().Texts(L"note"), c.notes);
      EXPECT_EQ(PartsOf(t), c.parts);
      EXPECT_EQ(RowsOf(t)[0][2], c.fraction);
      EXPECT_EQ(doc_->is_modified(), c.stored);
    }
    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_EQ(Stored(0), (V{L"load A weekend0 12 0.3750", L"load B weekend0 4 0.1250", L"load C weekend0 12 0.3750",
                          L"load D weekend0 4 0.1250"}));
}

// Through the command tree: the menu's items reach the open weekday table,
// which stays open; the weekend table opened after shows the copied parts.
TEST_F(Loadings, MenuItemsReachTheOpenTableThroughTheCommandTree) {
  InRoadTask([&](HWND task) {
    for (int i = 0; i < 2; ++i) IssuePath(L"Rules/Loadings/Weekdays");
    auto* t = static_cast<loadlibox*>(OpenView(L"db_loadlibox weekend(0)"));
    ASSERT_TRUE(t);
    EXPECT_EQ(OpenView(L"db_loadlibox"), t);
    EXPECT_EQ(OpenView(L"db_loadlibox weekend(1)"), nullptr);
    EXPECT_EQ(PartsOf(t), (V{L"10", L"10", L"10", L"10"}));
    {
      testbox::Script s({{L"Loading", [](HWND d) {
                            SetDlgItemTextW(d, 10001, L"3");
                            Click(d, IDOK);
                          }}});
      ChooseFromMenu(task, t, 1, Keys(1));  // Even spread
      s.Finish();
      EXPECT_EQ(s.Boxes().size(), 1u);
    }
    EXPECT_EQ(OpenView(L"db_loadlibox weekend(0)"), t);
    EXPECT_EQ(PartsOf(t), (V{L"3", L"3", L"3", L"3"}));
    ChooseFromMenu(task, t, 1, Keys(3));  // Copy to Weekend table
    EXPECT_EQ(OpenView(L"db_loadlibox weekend(0)"), t);
    IssuePath(L"Rules/Loadings/Weekends");
    EXPECT_EQ(PartsOf(static_cast<libox*>(OpenView(L"db_loadlibox weekend(1)"))), (V{L"3", L"3", L"3", L"3"}));
  });
  EXPECT_EQ(Stored(1), (V{L"load A weekend1 3 0.2500", L"load B weekend1 3 0.2500", L"load C weekend1 3 0.2500",
                          L"load D weekend1 3 0.2500"}));
}

TEST_F(RosterLists, TotalsTableComputesFromBothTablesAndHasNoMenuChecksOrEdits) {
  RosterSpec s = LoadSpec();
  s.loads = {{L"A", 2, 1}, {L"B", 1, 2}, {L"C", 1, 1}, {L"D", 0, 0}};
  Open(s);
  InTask([&](HWND task) {
    loadlibox* t = nullptr;
    Run([&] { t = loadlibox::new_(Pane(task), Table(2)); });
    EXPECT_EQ(TitlesOf(t), (V{L"", L"Doctor", L"Groups", L"Fraction"}));
    // A: (30 x 0.5 + 10 x 0.25) / 40.
    EXPECT_EQ(RowsOf(t)[0], (V{L"", L"A", L"[\"P1\"]", L"  0.4375"}));
    EXPECT_EQ(t->menu(), nullptr);
    EXPECT_FALSE(t->has_data_prop(rizediveva6::data_prop::selected_has_checkbox));
    Run([&] {
      for (uint32_t id : {10136u, 10137u, 10138u}) EXPECT_FALSE(t->popup_callback(id)) << id;
    });
    doc_->set_as_modified(false);
    TypeInto(task, t, 1, 4, L"5");
    EXPECT_EQ(RowsOf(t)[0][3], L"  0.4375");
    EXPECT_FALSE(doc_->is_modified());
    Run([&] { t->destroy_scroll2(); });
  });
}

// A deleted doctor's loadings go at the next opening with one note; a
// doctor marked deleted (older documents) has no row and brings no note.
TEST_F(Loadings, RemovedDoctorsNoteOnceAndDoctorsMarkedDeletedHaveNoRow) {
  InTask([&](HWND task) {
    for (int i = 0; i < 2; ++i) Run([&, t = Make(task, 0)] { t->destroy_scroll2(); });
    Run([] {
      staff_db::del_person(L"B");
      const PersonTerm* c;
      ASSERT_TRUE(staff_db::get_person(L"C", &c));
      staff_db::replace_person(MakePerson(c->ref, c->dat->name, rizediveva6::AsSList(c->dat->groups),
                                          c->dat->colour, c->dat->letter, kDeleted));
    });
    rec().Clear();
    loadlibox* t = Make(task, 0);
    const Rows rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ((V{rows[0][0], rows[0][3], rows[1][0], rows[1][3]}), (V{L"A", L"10", L"D", L"10"}));
    Run([&] { t->destroy_scroll2(); });
    for (int which : {1, 0, 2}) {
      t = Make(task, which);
      EXPECT_EQ(RowsOf(t).size(), 2u);
      Run([&] { t->destroy_scroll2(); });
    }
    EXPECT_EQ(rec().Texts(L"note"), V{L"You need to check the loadings table because of a name change or deletion"});
  });
}

// --- Ties -----------------------------------------------------------------------------------------

RosterSpec TieSpec() {
  RosterSpec s = Bare(GateSpec());
  s.typical = GateSpec().typical;
  const DutySpec ward{L"Ward", L"Main", L"early"}, clinic{L"Clinic", L"Main", L"early"}, late{L"Ward", L"Main", L"late"};
  using W = which_kind;
  s.ties = {
      {W::global_tie, L"", {1, 1, ward}, {1, 2, ward}, tie_kind::must_do, repeat_kind::repeat_week, spec_kind::tlsd_spec},
      {W::group_tie, L"North", {1, 1, clinic}, {1, 1, late}, tie_kind::must_not_do, repeat_kind::repeat_day,
       spec_kind::just_slot_day},
      {W::person_tie, L"Ann", {1, 2, late}, {1, 3, late}, tie_kind::must_do, repeat_kind::repeat_week,
       spec_kind::just_day},
      {W::person_tie, L"Bob", {1, 3, ward}, {2, 3, ward}, tie_kind::must_not_do, repeat_kind::repeat_week,
       spec_kind::just_week},
      {W::global_tie, L"", {2, 4, clinic}, {2, 5, ward}, tie_kind::must_do, repeat_kind::no_repeat,
       spec_kind::tlsd_spec},
  };
  return s;
}

class TiesList : public RosterLists {
 protected:
  void SetUp() override {
    RosterLists::SetUp();
    Open(TieSpec());
  }
  ties_libox* Make(HWND task) {
    ties_libox* t = nullptr;
    Run([&] { t = ties_libox::new_ties_libox(Pane(task)); });
    return t;
  }
  // Rows without their reference cells.
  static Rows Shown(libox* l) {
    Rows rows = RowsOf(l);
    for (V& r : rows) r.pop_back();
    return rows;
  }
};

TEST_F(TiesList, ListsEveryKindOfTieAndDeletesTheCheckedOnes) {
  InTask([&](HWND task) {
    ties_libox* t = Make(task);
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"", L"Applies to", L"Duty(1)", L"Duty(2)", L"Tie"}));
    const Rows rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(Shown(t)[0], (V{L"1", L"Repeating weekly", L"Global", L"Ward Main Monday early", L"Ward Main Tuesday early",
                              L"same doctor"}));
    EXPECT_EQ(Shown(t)[1], (V{L"2", L"Repeating daily", L"Group North", L"Monday early", L"Monday late",
                              L"different doctor"}));
    EXPECT_EQ(Shown(t)[2], (V{L"3", L"Repeating weekly", L"Doctor Ann", L"Tuesday", L"Wednesday", L"same doctor"}));
    EXPECT_EQ(Shown(t)[3], (V{L"4", L"Repeating weekly", L"Doctor Bob", L"1", L"2", L"different doctor"}));
    EXPECT_EQ((V{rows[4][1], rows[4][2]}), (V{L"This pair only", L"Global"}));
    EXPECT_NE(rows[4][3].find(L"Clinic Main Thursday early"), std::wstring::npos);
    // The reference cell reads back to the stored tie of the row.
    std::vector<int32_t> refs;
    Run([&] {
      ties::nd_tie([&](stored_tie s) {
        refs.push_back(s.ref);
        Qel::RunTime::Kernel::Fail();
      });
    });
    for (size_t i = 0; i < rows.size(); ++i) {
      int32_t ref = 0;
      Run([&] { EXPECT_TRUE(lists::ReadRef(rows[i][6].c_str(), &ref)); });
      EXPECT_EQ(ref, refs[i]) << i;
    }

    rec().Clear();
    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), TabText(rows));
    EXPECT_EQ(rec().Texts(L"note"), V{L"You may now paste to (eg) Excel"});

    doc_->set_as_modified(false);
    DeleteRows(t, {1, 3});
    EXPECT_TRUE(doc_->is_modified());
    const Rows left = Shown(t);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ((V{left[0][0], left[0][2], left[1][0], left[1][2], left[2][0]}),
              (V{L"1", L"Group North", L"2", L"Doctor Bob", L"3"}));
    Run([&] { t->destroy_scroll2(); });
  });
  V ties;
  for (const std::wstring& l : Saved(L"ties"))
    if (l.rfind(L"tie ", 0) == 0) ties.push_back(l.substr(l.find(L" who")));
  EXPECT_EQ(ties, (V{L" who2(North) do2 repeat2 spec2", L" who3(Bob) do2 repeat1 spec4", L" who1 do1 repeat3 spec1"}));
}

TEST_F(TiesList, StaleRowsAreSkippedGoneDutiesRemovedAndSwitchedOffTiesNotListed) {
  InTask([&](HWND task) {
    ties_libox* t = Make(task);
    // Row 2's tie deleted behind the list; rows 2 and 3 checked.
    Run([&] {
      ties::del_tie(ties::all_ties()->tail->head->ref);
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({2, 3}));
    });
    EXPECT_EQ(Error([&] { t->del_selected(); }), 0u);
    EXPECT_EQ(Shown(t).size(), 3u);
    EXPECT_EQ(Shown(t)[1][2], L"Doctor Bob");

    // A click in the repetition column checks the row.
    SetForegroundWindow(task);
    ClickCell(task, t, 1, 3);
    EXPECT_EQ(CheckedOf(t), (std::vector<uint32_t>{0}));
    Run([&] { t->destroy_scroll2(); });

    // A roster of one week: ties reaching into week 2 go at the opening.
    Run([] {
      kalmora_DB::put_weeks_duration(1);
      sc_phase1::generate();
    });
    t = Make(task);
    EXPECT_EQ(Shown(t).size(), 1u);
    int stored = 0;
    Run([&] { ties::nd_tie_for_drawing([&](const TieDomTerm*) { ++stored, Qel::RunTime::Kernel::Fail(); }); });
    EXPECT_EQ(stored, 1);
    Run([&] { t->destroy_scroll2(); });

    Run([] { ties::toggle_activate(); });
    t = Make(task);
    EXPECT_TRUE(RowsOf(t).empty());
    Run([&] { t->destroy_scroll2(); });
    Run([] {
      ties::toggle_activate();
      ties::del_all();
    });
    t = Make(task);
    EXPECT_TRUE(RowsOf(t).empty());
    Run([&] { t->destroy_scroll2(); });
  });
}

// --- Can't-do rules ---------------------------------------------------------------------------

RosterSpec RuleSpec_() {
  RosterSpec s = Bare(GateSpec());
  s.typical = GateSpec().typical;
  using W = who_kind;
  using R = rule_kind;
  s.rules = {
      {W::person_rule, L"Ann", R::r_slot, 2, {}},  {W::group_rule, L"North", R::r_what, 2, {}},
      {W::person_rule, L"Ann", R::r_day, 3, {}},   {W::person_rule, L"Nobody", R::r_slot, 1, {}},
      {W::person_rule, L"Ann", R::r_where, 1, {}}, {W::person_rule, L"Dee", R::r_slot, 1, {}},
  };
  return s;
}

class RulesList : public RosterLists {
 protected:
  void SetUp() override {
    RosterLists::SetUp();
    Open(RuleSpec_());
  }
  cannot_libox* Make(HWND task) {
    cannot_libox* t = nullptr;
    Run([&] { t = cannot_libox::new_cannot_libox(Pane(task)); });
    return t;
  }
  static Rows Shown(libox* l) {
    Rows rows = RowsOf(l);
    for (V& r : rows) r.pop_back();
    return rows;
  }
  // The gate's verdict for Ann on the late Monday ward duty of week 1.
  std::wstring AnnOnLateWard() {
    std::wstring out;
    Run([&] {
      const DutyTerm* duty = nullptr;
      ASSERT_TRUE(sc_phase1::get_duty_by_key(KeyOf({1, 1, {L"Ward", L"Main", L"late"}}).c_str(), &duty));
      const PersonTerm* ann;
      ASSERT_TRUE(staff_db::get_person(L"Ann", &ann));
      PgTerm who{};
      who.functor = static_cast<uint64_t>(pg_kind::p);
      who.doctor = ann->ref;
      const ReasonTerm* r = sc_rules::rule_allows_it(duty->dat, &who);
      out = r->Kind() == reason_kind::can_do_it ? L"can_do_it" : r->rule->text;
    });
    return out;
  }
};

TEST_F(RulesList, DoctorsRulesThenGroupsWithLongTextsAndCheckedDeletions) {
  Run([] { staff_db::del_person(L"Dee"); });
  InTask([&](HWND task) {
    cannot_libox* t = Make(task);
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"Group", L"Rule", L"Internal Ref"}));
    // Newest first in the chain: Ann's location, day and slot rules.
    EXPECT_EQ(Shown(t), (Rows{{L"1", L"Ann", L"Ann can't do Main "},
                              {L"2", L"Ann", L"Ann can't do Wednesday "},
                              {L"3", L"Ann", L"Ann can't do late "},
                              {L"4", L"North", L"North can't do Clinic "}}));
    const Rows rows = RowsOf(t);
    rec().Clear();
    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), TabText(rows));

    EXPECT_NE(AnnOnLateWard(), L"can_do_it");
    doc_->set_as_modified(false);
    DeleteRows(t, {3, 4});
    EXPECT_TRUE(doc_->is_modified());
    EXPECT_EQ(Shown(t), (Rows{{L"1", L"Ann", L"Ann can't do Main "}, {L"2", L"Ann", L"Ann can't do Wednesday "}}));
    Run([&] { t->destroy_scroll2(); });
  });
  // Ann's Main rule still forbids; the late slot no longer does.
  EXPECT_EQ(AnnOnLateWard().find(L"Ann can't do"), 0u);
  V rules;
  for (const std::wstring& l : Saved(L"gate"))
    if (l.find(L"rule") != std::wstring::npos) rules.push_back(l);
  EXPECT_EQ(rules.size(), 4u) << Narrow(rules.empty() ? L"" : rules[0]);
}

// Two doctors of one name (documents written elsewhere): each rule once;
// a stale or repeated reference is deleted once, without an error.
TEST_F(RulesList, DoctorsOfOneNameListEachRuleOnceAndStaleRowsAreSkipped) {
  Run([] {
    staff_db::add_name(L"Ann2");
    const PersonTerm* two;
    ASSERT_TRUE(staff_db::get_person(L"Ann2", &two));
    staff_db::replace_person(MakePerson(two->ref, L"Ann", rizediveva6::Nil<const wchar_t*>(), 0, L'A', kExists));
  });
  InTask([&](HWND task) {
    cannot_libox* t = Make(task);
    EXPECT_EQ(Shown(t).size(), 5u);  // Ann's three, Dee's, North's
    EXPECT_EQ(Shown(t)[3], (V{L"4", L"Dee", L"Dee can't do early "}));
    // Row 1's rule deleted behind the list; rows 1 and 2 checked.
    Run([&] {
      const wchar_t* text;
      int32_t ref;
      rizediveva6::line l;
      ASSERT_TRUE(t->nth_line(1, &l));
      ASSERT_TRUE(lists::NthCell(l.cells, 4, &text) && lists::ReadRef(text, &ref));
      sc_rules::del_rule_ref(ref);
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({1, 2}));
    });
    EXPECT_EQ(Error([&] { t->del_selected(); }), 0u);
    EXPECT_EQ(Shown(t), (Rows{{L"1", L"Ann", L"Ann can't do late "},
                              {L"2", L"Dee", L"Dee can't do early "},
                              {L"3", L"North", L"North can't do Clinic "}}));
    Run([&] { t->destroy_scroll2(); });
    Run([] { sc_rules::clear(); });
    t = Make(task);
    EXPECT_TRUE(RowsOf(t).empty());
    Run([&] { t->destroy_scroll2(); });
  });
}

// --- Holidays and weekend slots ------------------------------------------------------------------

TEST_F(RosterLists, HolidaysDeleteCheckedRowsByTheirDates) {
  RosterSpec s = Bare(TwoWeekSpec());
  s.holidays = {{2026, 10, 5}, {2026, 10, 6}, {2026, 10, 7}, {2026, 10, 8}, {2026, 10, 9}};
  Open(s);
  InTask([&](HWND task) {
    hol_libox* t = nullptr;
    Run([&] { t = hol_libox::new_hol_libox(Pane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"Dates"}));
    const Rows rows = RowsOf(t);
    EXPECT_EQ(rows, (Rows{{L"1", L"5/10/2026"}, {L"2", L"6/10/2026"}, {L"3", L"7/10/2026"}, {L"4", L"8/10/2026"},
                          {L"5", L"9/10/2026"}}));
    EXPECT_EQ(ColoursOf(t), Colours(5, {0xFFFFFF, 0}));
    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), TabText(rows));
    DeleteRows(t, {2, 3});
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"5/10/2026"}, {L"2", L"8/10/2026"}, {L"3", L"9/10/2026"}}));
    // Row 2's holiday deleted behind the list: rows 2 and 3 checked, row 3's goes.
    Run([&] {
      sc_holidays::del_holiday(dt{2026, 10, 8});
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({2, 3}));
    });
    EXPECT_EQ(Error([&] { t->del_selected(); }), 0u);
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"5/10/2026"}}));
    Run([&] { t->destroy_scroll2(); });
  });
  EXPECT_EQ(Saved(L"dump")[5], L"holidays 2026-10-5");
  InTask([&](HWND task) {
    Run([] { sc_holidays::clear_hols(); });
    hol_libox* t = nullptr;
    Run([&] { t = hol_libox::new_hol_libox(Pane(task)); });
    EXPECT_TRUE(RowsOf(t).empty());
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(RosterLists, WeekendSlotsComeInDayOrderUnderBothStartDays) {
  struct Case {
    const char* what;
    uint32_t startDay;
    std::vector<weekend_entry> weekend;
    Rows want;
  };
  const Case cases[] = {
      {"Monday first", 0, {{2, 7}, {1, 6}}, {{L"1", L"Saturday", L"am"}, {L"2", L"Sunday", L"pm"}}},
      {"Sunday first", 1, {{1, 7}, {2, 1}}, {{L"1", L"Sunday", L"pm"}, {L"2", L"Saturday", L"am"}}},
      {"slot 10", 0, {{10, 3}}, {{L"1", L"Wednesday", L"s10"}}},
      {"none", 0, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RosterSpec s = Bare(TwoWeekSpec());
    s.startDay = c.startDay;
    s.slots = {L"am", L"pm", L"s3", L"s4", L"s5", L"s6", L"s7", L"s8", L"s9", L"s10"};
    s.weekend = c.weekend;
    Open(s);
    InTask([&](HWND task) {
      we_libox* t = nullptr;
      Run([&] { t = we_libox::new_we_libox(Pane(task)); });
      ASSERT_TRUE(t);
      EXPECT_EQ(TitlesOf(t), (V{L"", L"Day", L"Slot"}));
      EXPECT_EQ(RowsOf(t), c.want);
      // updt draws what the list holds; 10131 is nobody's.
      Run([&] {
        sc_stat_weekend::add_sd({1, 2});
        t->updt();
        EXPECT_FALSE(t->popup_callback(10131));
      });
      EXPECT_EQ(RowsOf(t), c.want);
      Run([&] { t->destroy_scroll2(); });
      Run([] { sc_stat_weekend::clear_sd(); });
      Run([&] { t = we_libox::new_we_libox(Pane(task)); });
      EXPECT_TRUE(RowsOf(t).empty());
      Run([&] { t->destroy_scroll2(); });
    });
    Run([] { kalmora_DB::uninit(); });
  }
}

// --- Pop-up roads --------------------------------------------------------------------------------

// Every deleting item of the ties, can't-do, holiday and weekend menus
// through the right button, the task window's first level and the command
// tree stand-in; "Set default weekend slots" is nobody's.
TEST_F(RosterLists, DeletingMenuItemsReachTheStoreThroughTheCommandTree) {
  RosterSpec s = TieSpec();
  s.rules = RuleSpec_().rules;
  s.holidays = {{2027, 1, 5}, {2027, 1, 12}, {2027, 1, 19}};
  s.weekend = {{1, 6}, {2, 7}};
  Open(s);
  struct Road {
    const wchar_t* path;
    const wchar_t* fact;
    int deleteSelected;  // the item's position in the menu; 0: none
  };
  const Road roads[] = {
      {L"Rules/Ties/List ties", L"db_ties_libox", 2},
      {L"Rules/Can't dos/List Can't Dos", L"db_cannot_libox", 2},
      {L"Input Data/List holidays", L"db_hol_libox", 2},
      {L"Input Data/List weekend duties", L"db_we_libox", 0},
  };
  InRoadTask([&](HWND task) {
    for (const Road& r : roads) {
      SCOPED_TRACE(Narrow(r.path));
      IssuePath(r.path);
      auto* l = static_cast<libox*>(OpenView(r.fact));
      ASSERT_TRUE(l);
      const size_t rows = RowsOf(l).size();
      ASSERT_GE(rows, 2u);
      if (r.deleteSelected) {
        // Row 1 checked and deleted: the same list shows one row less.
        Run([&] { l->set_selecteds(rizediveva6::MakeList<uint32_t>({1})); });
        ChooseFromMenu(task, l, 1, Keys(r.deleteSelected));
        EXPECT_EQ(OpenView(r.fact), l);
        EXPECT_EQ(RowsOf(l).size(), rows - 1);
      } else {
        // "Set default weekend slots": nothing stored, the list as it was.
        doc_->set_as_modified(false);
        ChooseFromMenu(task, l, 1, Keys(2));
        EXPECT_EQ(OpenView(r.fact), l);
        EXPECT_EQ(RowsOf(l).size(), rows);
        EXPECT_FALSE(doc_->is_modified());
      }
      // "Delete all ...": the list made anew from the emptied store.
      doc_->set_as_modified(false);
      const size_t issued = IssuedCommands().size();
      ChooseFromMenu(task, l, 1, Keys(1));
      EXPECT_TRUE(doc_->is_modified());
      ASSERT_EQ(IssuedCommands().size(), issued + 1);
      EXPECT_EQ(IssuedCommands().back(), r.path);
      EXPECT_TRUE(RowsOf(static_cast<libox*>(OpenView(r.fact))).empty());
    }
  });
  const V dump = Saved(L"dump");
  EXPECT_EQ((V{dump[5], dump[6]}), (V{L"holidays", L"weekend"}));
  for (const std::wstring& l : Saved(L"ties")) EXPECT_NE(l.rfind(L"tie ", 0), 0u) << Narrow(l);
  for (const std::wstring& l : Saved(L"gate")) EXPECT_EQ(l.find(L"rule"), std::wstring::npos) << Narrow(l);
}

// --- Copy and print of every list with a menu ----------------------------------------------------

// A list made in a pane, and its pop-up command.
struct Made {
  libox* list;
  std::function<bool(uint32_t)> popup;
};
template <class L>
Made MadeOf(L* l) {
  return Made{l, [l](uint32_t id) { return l->popup_callback(id); }};
}

TEST_F(RosterLists, EveryListCopiesAndPrintsItsRows) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  RosterSpec s = TieSpec();
  s.rules = RuleSpec_().rules;
  s.holidays = {{2027, 1, 5}, {2027, 1, 12}};
  s.weekend = {{1, 6}, {2, 7}};
  Open(s);
  struct Lister {
    const wchar_t* job;  // the print title as cups-pdf names the job
    std::function<Made(LONG_PTR)> make;
  };
  const Lister listers[] = {
      {L"Print_TIES", [](LONG_PTR w) { return MadeOf(ties_libox::new_ties_libox(w)); }},
      {L"Print_holidays", [](LONG_PTR w) { return MadeOf(hol_libox::new_hol_libox(w)); }},
      {L"Print_weekend_duties", [](LONG_PTR w) { return MadeOf(we_libox::new_we_libox(w)); }},
      {L"Print_loading", [](LONG_PTR w) { return MadeOf(loadlibox::new_(w, Table(0))); }},
      {L"Print_", [](LONG_PTR w) { return MadeOf(cannot_libox::new_cannot_libox(w)); }},  // "Print 'Can't do' rules"
  };
  for (const Lister& l : listers) {
    SCOPED_TRACE(Narrow(l.job));
    WIN32_FIND_DATAW fd;
    const std::wstring pattern = std::wstring(L"Z:\\root\\PDF\\") + l.job + L"*.pdf";
    for (HANDLE h; (h = FindFirstFileW(pattern.c_str(), &fd)) != INVALID_HANDLE_VALUE;) {
      FindClose(h);
      ASSERT_TRUE(DeleteFileW((std::wstring(L"Z:\\root\\PDF\\") + fd.cFileName).c_str()));
    }
    Rows rows;
    InTask([&](HWND task) {
      Made m{};
      Run([&] { m = l.make(Pane(task)); });
      ASSERT_TRUE(m.list);
      rows = RowsOf(m.list);
      ASSERT_FALSE(rows.empty());
      Run([&] { EXPECT_TRUE(m.popup(10101)); });
      EXPECT_EQ(ClipboardText(task), TabText(rows));
      EXPECT_EQ(SpreadsheetRecords(), SpreadsheetRecordsOf(rows));
      testbox::Answer font(nullptr, [](HWND d) {
        constexpr int kFaces = 0x470;
        HWND faces = GetDlgItem(d, kFaces);
        for (const wchar_t* face : {L"Liberation Sans", L"DejaVu Sans", L"Arial"})
          if (SendMessageW(faces, CB_SELECTSTRING, WPARAM(-1), LPARAM(face)) != CB_ERR) break;
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(kFaces, CBN_SELCHANGE), LPARAM(faces));
        Sleep(100);
        kwitest::Press(d, IDOK);
      });
      Run([&] { EXPECT_TRUE(m.popup(10102)); });
      Run([&] { m.list->destroy_scroll(); });
    });
    const std::wstring pdf = kwitest::WaitForPdf(l.job);
    ASSERT_FALSE(pdf.empty());
    const std::string text = kwitest::ShellOutput("pdftotext -layout '" + kwitest::UnixName(pdf) + "' -",
                                                  kwitest::TempDir(L"liboxes_tests") + L"job.txt");
    // Every row: its first two cells.
    for (const V& r : rows)
      for (size_t i = 0; i < 2 && i < r.size(); ++i) EXPECT_NE(text.find(Narrow(r[i])), std::string::npos) << Narrow(r[i]);
  }
}

}  // namespace
