// The doctors, practices, tasks and locations list views on real windows:
// the rows read back after edits typed into the cell editor, group clicks,
// checked deletions and the copy; every list's pop-up menu resource.
#include <string>
#include <vector>

#include "libox_test.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kwi/kwi.h"
#include "liboxes/drlibox.h"
#include "liboxes/list_common.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"

using namespace alltest;

namespace {

using V = std::vector<std::wstring>;
using rizediveva6::libox;

RosterSpec ListSpec() {
  RosterSpec s = TwoWeekSpec();
  s.tasks = {L"A", L"B", L"C"};
  s.locations = {L"north", L"south"};
  s.groups = {L"P1", L"P2"};
  s.doctors = {{L"Ann", {L"P1"}}, {L"Bob", {L"P2", L"P1"}}, {L"Cy", {}}};
  s.typical.clear();
  s.changes.clear();
  s.ties.clear();
  s.loads.clear();
  s.rules.clear();
  s.assignments.clear();
  return s;
}

class Lists : public ListViews {
 protected:
  void SetUp() override {
    ListViews::SetUp();
    Open(ListSpec());
  }
};

TEST(ListMenus, EveryListMenuHoldsItsItemsInOrder) {
  const std::pair<uint32_t, const wchar_t*> kMenus[] = {
      {10089, L"10090 Scan disk for KM6 files|10091 Scan disk for KM5 (Kalmora5) files|"
              L"10092 Send selected files to Windows Recycle bin"},
      {10103, L"10104 Delete all ties|10105 Delete selected|-|Print{10102 Printer|10101 Excel}"},
      {10107, L"10108 Delete all can't dos|10105 Delete selected|-|Print{10102 Printer|10101 Excel}"},
      {10110, L"10105 Delete selected|10111 Delete all"},
      {10129, L"10130 Delete all weekend slots|10131 Set default weekend slots|-|Print{10102 Printer|10101 Excel}"},
      {10132, L"10133 Delete all holidays|10134 Delete selected (checked) holidays|-|Print{10102 Printer|10101 Excel}"},
      {10135, L"10136 Even spread|10137 Even spread for checked items|10138 Copy to other loading table|"
              L"Print{10102 Printer|10101 Excel}"},
      {10140, L"10141 Add practice|10105 Delete selected practices|Print{10102 Printer|10101 Excel}"},
      {10142, L"10143 Add|10144 Delete selected (checked) doctors|10141 Add practice/group|10145 Randomize colours|"
              L"Print{10102 Printer|10101 Excel}|Help{10146 Click in the 1st or second column to select a doctor|"
              L"10147 Hold the CTRL key for multiple selections}"},
  };
  for (auto [id, want] : kMenus) {
    std::wstring got;
    ASSERT_EQ(RunTrapped([&] {
      const QEL_KWI::menu_struct* m = all::lists::LoadMenu(id);
      got = MenuText(reinterpret_cast<const QEL_KWI::menu_item_list_struct*>(m->value));
    }), 0u);
    EXPECT_EQ(got, want) << id;
  }
}

TEST_F(Lists, TasksListEditsStoreThroughTheCellEditorAndCopyGivesEveryRow) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    all::tasklibox* t = nullptr;
    Run([&] { t = all::tasklibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"Tasks"}));
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C"}, {L"new->", L""}}));
    EXPECT_EQ(ColoursOf(t).back(), 0);

    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), L"1\tA\t\n2\tB\t\n3\tC\t\nnew->\t\t\n");
    EXPECT_EQ(rec().shown(), (std::vector<rztest::DialogRecorder::Shown>{
                                 {L"note", L"You may now paste to (eg) Excel"},
                                 {L"note", L"On clipboard - you may paste the table to MS Excel now"}}));
    Run([&] { EXPECT_FALSE(t->popup_callback(10105)); });

    struct Edit {
      const char* what;
      uint32_t row, col;
      std::wstring text;
      Rows want;
      bool modifies;
    };
    const Edit kEdits[] = {
        {"added in new->", 4, 3, L"D", {{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C"}, {L"4", L"D"}, {L"new->", L""}}, true},
        {"renamed", 1, 3, L"Ward", {{L"1", L"Ward"}, {L"2", L"B"}, {L"3", L"C"}, {L"4", L"D"}, {L"new->", L""}}, true},
        {"duplicate", 5, 3, L"B", {{L"1", L"Ward"}, {L"2", L"B"}, {L"3", L"C"}, {L"4", L"D"}, {L"new->", L""}}, false},
        {"blanked", 2, 3, L" ", {{L"1", L"Ward"}, {L"2", L"C"}, {L"3", L"D"}, {L"new->", L""}}, true},
    };
    for (const Edit& e : kEdits) {
      SCOPED_TRACE(e.what);
      doc_->set_as_modified(false);
      TypeInto(task, t, e.row, e.col, e.text);
      EXPECT_EQ(RowsOf(t), e.want);
      EXPECT_EQ(doc_->is_modified(), e.modifies);
    }
    V stored;
    Run([&] { stored = Names(all::tasks::list_tasks()); });
    EXPECT_EQ(stored, (V{L"Ward", L"C", L"D"}));
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(Lists, LocationsListRowsAreWhiteAndCopyShowsOneNote) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    all::loclibox* o = nullptr;
    Run([&] { o = all::loclibox::new_(Pane(task)); });
    ASSERT_TRUE(o);
    libox* l = o->list_box();
    EXPECT_EQ(TitlesOf(l), (V{L"", L"", L"Locations"}));
    EXPECT_EQ(RowsOf(l), (Rows{{L"1", L"north"}, {L"2", L"south"}, {L"new->", L""}}));
    EXPECT_EQ(ColoursOf(l), (std::vector<int32_t>{0xFFFFFF, 0xFFFFFF, 0}));
    rec().Clear();
    Run([&] { EXPECT_TRUE(o->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), L"1\tnorth\t\n2\tsouth\t\nnew->\t\t\n");
    EXPECT_EQ(rec().shown(), (std::vector<rztest::DialogRecorder::Shown>{{L"note", L"You may now paste to (eg) Excel"}}));
    TypeInto(task, l, 3, 3, L"east");
    EXPECT_EQ(RowsOf(l), (Rows{{L"1", L"north"}, {L"2", L"south"}, {L"3", L"east"}, {L"new->", L""}}));
    TypeInto(task, l, 1, 3, L"");
    EXPECT_EQ(RowsOf(l), (Rows{{L"1", L"south"}, {L"2", L"east"}, {L"new->", L""}}));
    EXPECT_TRUE(doc_->is_modified());
    Run([&] { o->destroy_scroll2(); });
  });
}

TEST_F(Lists, PracticesListEditsAndDeletesCheckedGroups) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    all::praclibox* t = nullptr;
    Run([&] { t = all::praclibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"Practices"}));
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"P1"}, {L"2", L"P2"}, {L"new->", L""}}));
    TypeInto(task, t, 3, 3, L"P3");
    TypeInto(task, t, 1, 3, L"Main");
    TypeInto(task, t, 2, 3, L"Main");  // a present name: nothing
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"Main"}, {L"2", L"P2"}, {L"3", L"P3"}, {L"new->", L""}}));
    // The first and the "new->" row checked: only the group goes.
    Run([&] {
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({1, 4}));
      t->del_selected();
    });
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"P2"}, {L"2", L"P3"}, {L"new->", L""}}));
    V stored;
    Run([&] { stored = Names(all::groups::list_groups()); });
    EXPECT_EQ(stored, (V{L"P2", L"P3"}));
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(Lists, DoctorsListShowsGroupsTogglesThemByClickAndAddsInTheInputRow) {
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    all::drlibox* t = nullptr;
    Run([&] { t = all::drlibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"char", L"Doctors", L"P1", L"P2"}));
    Rows rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], L"1");
    EXPECT_EQ(rows[0][2], L"Ann");
    EXPECT_EQ((V{rows[0][3], rows[0][4]}), (V{L"X", L""}));
    EXPECT_EQ((V{rows[1][3], rows[1][4]}), (V{L"X", L"X"}));
    EXPECT_EQ((V{rows[2][3], rows[2][4]}), (V{L"", L""}));
    EXPECT_EQ(rows[3], (V{L"new->", L"", L""}));
    EXPECT_EQ(t->input_line(), 4u);

    // Cy into P2 by a click on the group cell: first in his list.
    ClickCell(task, t, 3, 6);
    EXPECT_EQ(RowsOf(t)[2][4], L"X");
    V groupsOfCy;
    Run([&] {
      const PersonTerm* p;
      ASSERT_TRUE(all::staff_db::get_person(L"Cy", &p));
      groupsOfCy = Names(rizediveva6::AsSList(p->dat->groups));
    });
    EXPECT_EQ(groupsOfCy, (V{L"P2"}));
    Pump(GetDoubleClickTime() + 50);  // no two presses make a double click
    ClickCell(task, t, 3, 6);
    EXPECT_EQ(RowsOf(t)[2][4], L"");
    // A group click on the "new->" row changes nothing.
    doc_->set_as_modified(false);
    Pump(GetDoubleClickTime() + 50);
    ClickCell(task, t, 4, 5);
    EXPECT_FALSE(doc_->is_modified());

    TypeInto(task, t, 4, 4, L"Dee");
    rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[3][2], L"Dee");
    EXPECT_EQ(rows[3][0], L"4");
    EXPECT_EQ(t->input_line(), 5u);
    EXPECT_TRUE(doc_->is_modified());
    rec().Clear();
    TypeInto(task, t, 5, 4, L"Ann");
    EXPECT_EQ(RowsOf(t).size(), 5u);
    ASSERT_FALSE(rec().shown().empty());
    EXPECT_EQ(rec().shown().back().text, L"Person already exists");

    // Bob and the "new->" row checked: Bob alone is deleted.
    Run([&] {
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({2, 5}));
      t->del_selected();
    });
    rows = RowsOf(t);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ((V{rows[0][2], rows[1][2], rows[2][2]}), (V{L"Ann", L"Cy", L"Dee"}));
    EXPECT_EQ((V{rows[0][0], rows[1][0], rows[2][0]}), (V{L"1", L"2", L"3"}));
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(Lists, DoctorsListWithoutGroupsHasFourColumns) {
  Run([] {
    all::groups::del_group(L"P1");
    all::groups::del_group(L"P2");
  });
  InTask([&](HWND task) {
    all::drlibox* t = nullptr;
    Run([&] { t = all::drlibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (V{L"", L"", L"char", L"Doctors"}));
    Run([&] { t->destroy_scroll2(); });
  });
}

}  // namespace
