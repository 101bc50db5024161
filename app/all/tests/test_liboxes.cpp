// The doctors, practices, tasks and locations list views on real windows:
// the rows read back after edits typed into the cell editor, group clicks,
// checked deletions and the copy; every list's pop-up menu resource.
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "comtree_recorder.h"
#include "comtree_standin.h"
#include "checks.h"
#include "dialog_test.h"
#include "libox_test.h"
#include "print_checks.h"
#include "reference_check.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "SYSTEM/options/options_db.h"
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
  // Closes a list as the command tree does: the pane gets its own handler
  // back, so that another list can be made in it.
  void Close(LONG_PTR pane, const std::function<void()>& destroy) {
    Run([&] {
      QEL_KWI::win_SetHandler(pane, tav::NoEventHandler());
      destroy();
    });
  }
  // Saves the open document and closes the model; the file is then read by
  // fresh processes.
  void SaveAndClose() {
    bool saved = false;
    Run([&] {
      saved = all::kalmora_DB::save_kalmora()->Kind() == rizediveva6::Saved::saved;
      all::kalmora_DB::uninit();
    });
    EXPECT_TRUE(saved);
    for (rizediveva6::document* d : open_)
      RunTrapped([&] { d->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false); });
    open_.clear();
  }
  // A fresh process's view of the saved document ("lists", "gate", "ties",
  // "verdict <doctor> <key>").
  std::wstring Fresh(const std::wstring& args) {
    auto [code, text] = RosterChild(args + L" \"" + Path(L"r.km6") + L"\"");
    EXPECT_EQ(code, 0u) << Narrow(text);
    return text;
  }
  // The line of a fresh process's output that starts with `key` and a blank.
  std::wstring FreshLine(const std::wstring& args, const std::wstring& key) {
    for (const std::wstring& l : LinesOf(Fresh(args)))
      if (l.rfind(key + L" ", 0) == 0) return l;
    return L"";
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
    EXPECT_EQ(ColoursOf(t).back().first, 0);

    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(ClipboardText(task), L"1\tA\t\n2\tB\t\n3\tC\t\nnew->\t\t\n");
    EXPECT_EQ(XClipboard(), "1\tA\t\n2\tB\t\n3\tC\t\nnew->\t\t\n");
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
  SaveAndClose();
  EXPECT_EQ(FreshLine(L"lists", L"tasks"), L"tasks Ward C D");
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
    EXPECT_EQ(ColoursOf(l), (Colours{{0xFFFFFF, 0}, {0xFFFFFF, 0}, {0, 0}}));
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
  SaveAndClose();
  EXPECT_EQ(FreshLine(L"lists", L"locations"), L"locations south east");
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
  SaveAndClose();
  EXPECT_EQ(FreshLine(L"lists", L"groups"), L"groups P2 P3");
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

    // The copy read by a spreadsheet's reader gives the rows, each with the
    // empty field after its last TAB.
    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    EXPECT_EQ(SpreadsheetRecords(), SpreadsheetRecordsOf(rows));
    Run([&] { t->destroy_scroll2(); });
  });
  SaveAndClose();
  EXPECT_EQ(FreshLine(L"lists", L"doctors"), L"doctors Ann(P1;) Cy() Dee()");
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

// The lists opened by the command tree stand-in's item commands.
class Roads : public Lists {
 protected:
  void Issue(const wchar_t* item) { IssuePath(std::wstring(L"Input Data/") + item); }
  static libox* Open(const wchar_t* fact) {
    void* v = OpenView(fact);
    if (!v) return nullptr;
    if (std::wstring(fact) == L"db_loclibox") return static_cast<all::loclibox*>(v)->list_box();
    return static_cast<libox*>(v);
  }
  // Chooses an item that asks a name and answers the question; the boxes
  // seen.
  std::vector<testbox::Seen> ChooseAndName(HWND task, libox* l, std::vector<WORD> keys, const wchar_t* title,
                                           const wchar_t* name) {
    testbox::Script s({{title, [name](HWND d) { Typed(d, name); }}});
    ChooseFromMenu(task, l, 1, keys);
    s.Finish();
    return s.Boxes();
  }
  static void Typed(HWND d, const wchar_t* text) {
    SetDlgItemTextW(d, 10001, text);
    Click(d, IDOK);
  }
};

// Every item of the doctors' menu through the right button, the task
// window's first level and the stand-in's request entries.
TEST_F(Roads, EveryDoctorsMenuItemReachesItsAction) {
  InRoadTask([&](HWND task) {
    Issue(L"Doctors");
    libox* l = Open(L"db_drlibox");
    ASSERT_TRUE(l);
    EXPECT_EQ(IssuedCommands(), (V{L"Input Data/Doctors"}));

    // Add: the name question on the task window, the list made anew.
    {
      const std::vector<testbox::Seen> seen = ChooseAndName(task, l, Keys(1), L"Doctor", L"Eve");
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].text, L"Enter new doctor name");
    }
    // The new list is held by the registry alone: a collection keeps it.
    Qel::RunTime::Kernel::Memory::GarbageCollector();
    Pump();
    libox* now = Open(L"db_drlibox");
    ASSERT_TRUE(now);
    EXPECT_NE(now, l) << "made anew";
    l = now;
    EXPECT_EQ(RowsOf(l).back(), (V{L"new->", L"", L""}));
    EXPECT_EQ(RowsOf(l)[3][2], L"Eve");
    EXPECT_EQ(IssuedCommands().size(), 2u);
    // Add, cancelled: nothing stored, nothing issued.
    doc_->set_as_modified(false);
    {
      testbox::Script s({{L"Doctor", [](HWND d) { Click(d, IDCANCEL); }}});
      ChooseFromMenu(task, l, 1, Keys(1));
      s.Finish();
      EXPECT_EQ(s.Boxes().size(), 1u);
    }
    EXPECT_EQ(RowsOf(l).size(), 5u);
    EXPECT_EQ(IssuedCommands().size(), 2u);
    EXPECT_FALSE(doc_->is_modified());

    // Delete selected (checked): Ann checked.
    Run([&] { l->set_selecteds(rizediveva6::MakeList<uint32_t>({1})); });
    ChooseFromMenu(task, l, 2, Keys(2));
    EXPECT_EQ(RowsOf(l).size(), 4u);
    EXPECT_EQ(RowsOf(l)[0][2], L"Bob");

    // Add practice/group: one more column, no "X" in it.
    {
      const std::vector<testbox::Seen> seen = ChooseAndName(task, l, Keys(3), L"Practice", L"P3");
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].text, L"Enter new practice name");
    }
    l = Open(L"db_drlibox");
    ASSERT_TRUE(l);
    EXPECT_EQ(TitlesOf(l), (V{L"", L"", L"char", L"Doctors", L"P1", L"P2", L"P3"}));
    for (const V& r : RowsOf(l))
      if (r[0] != L"new->") EXPECT_EQ(r[5], L"");

    // Randomize colours: stored colours change, the list is made anew.
    const size_t issued = IssuedCommands().size();
    const auto before = ColoursOf(l);
    ChooseFromMenu(task, l, 1, Keys(4));
    EXPECT_EQ(IssuedCommands().size(), issued + 1);
    l = Open(L"db_drlibox");
    EXPECT_NE(ColoursOf(l), before);

    // Excel: the rows on the clipboard.
    rec().Clear();
    ChooseFromMenu(task, l, 1, Keys(5, {VK_RIGHT, VK_DOWN}));
    EXPECT_EQ(ClipboardText(task), TabText(RowsOf(l)));
    EXPECT_EQ(rec().Texts(L"note"), V{L"You may now paste to (eg) Excel"});

    // Printer: the font dialog shows; cancelled, nothing printed.
    {
      testbox::Script s({{nullptr, [](HWND d) { testbox::Press(d, IDCANCEL); }}});
      ChooseFromMenu(task, l, 1, Keys(5, {VK_RIGHT}));
      s.Finish();
      EXPECT_EQ(s.Boxes().size(), 1u);
    }
    // The help items are nobody's: nothing stored, no request made.
    doc_->set_as_modified(false);
    ComtreeCalls().clear();
    for (std::vector<WORD> keys : {Keys(6, {VK_RIGHT}), Keys(6, {VK_RIGHT, VK_DOWN})}) {
      ChooseFromMenu(task, l, 1, keys);
      EXPECT_EQ(Open(L"db_drlibox"), l);
    }
    EXPECT_TRUE(ComtreeCalls().empty());
    EXPECT_FALSE(doc_->is_modified());
  });
}

// A practice renamed or deleted in the practices list takes its name with
// it: the doctors' group lists, its slot rule and its tie follow the new
// name, or lose the old one, in a fresh process; so does the gate.
// Lists over a document each test opens itself.
class OwnDocument : public Lists {
 protected:
  void SetUp() override { DialogRoster::SetUp(); }
};

TEST_F(OwnDocument, APracticeRenamedOrDeletedTakesItsNameFromDoctorsRulesAndTies) {
  struct Case {
    const char* what;
    std::wstring typed;
    std::wstring groups, doctors;
    std::vector<std::wstring> rulesOf;  // the "(name)" of each rule, in chain order
    std::wstring tieWho, verdict;
  };
  const Case cases[] = {
      {"renamed", L"Main", L"groups Main P2", L"doctors A(Main;) B(Main;P2;) C(P2;Main;) D()", {L"(Main)", L"(D)"},
       L"who2(Main)", L"rule "},
      {"deleted", L" ", L"groups P2", L"doctors A() B(P2;) C(P2;) D()", {L"(D)"}, L"", L"can_do_it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RosterSpec spec = TwoWeekSpec();
    spec.doctors = {{L"A", {L"P1"}}, {L"B", {L"P1", L"P2"}}, {L"C", {L"P2", L"P1"}}, {L"D", {}}};
    spec.rules = {{all::who_kind::person_rule, L"D", all::rule_kind::r_slot, 1, {}},
                  {all::who_kind::group_rule, L"P1", all::rule_kind::r_slot, 2, {}}};
    const DutySpec mondayDay{L"ward", L"north", L"day"}, tuesdayDay{L"ward", L"north", L"day"};
    spec.ties = {{all::which_kind::group_tie, L"P1", {1, 1, mondayDay}, {1, 2, tuesdayDay}, all::tie_kind::must_do,
                  all::repeat_kind::no_repeat, all::spec_kind::tlsd_spec}};
    DeleteFileW(Path(L"r.km6").c_str());
    Open(spec);
    InTask([&](HWND task) {
      SetForegroundWindow(task);
      all::praclibox* t = nullptr;
      Run([&] { t = all::praclibox::new_(Pane(task)); });
      ASSERT_TRUE(t);
      TypeInto(task, t, 1, 3, c.typed);
      Run([&] { t->destroy_scroll2(); });
    });
    EXPECT_TRUE(doc_->is_modified());
    SaveAndClose();
    EXPECT_EQ(FreshLine(L"lists", L"groups"), c.groups);
    EXPECT_EQ(FreshLine(L"lists", L"doctors"), c.doctors);
    std::vector<std::wstring> rules;
    for (const std::wstring& l : LinesOf(Fresh(L"gate")))
      if (l.rfind(L"rule ", 0) == 0) rules.push_back(l.substr(l.find(L'('), l.find(L')') - l.find(L'(') + 1));
    EXPECT_EQ(rules, c.rulesOf);
    const std::wstring tie = FreshLine(L"ties", L"tie");
    if (c.tieWho.empty()) EXPECT_EQ(tie, L"");
    else EXPECT_NE(tie.find(c.tieWho), std::wstring::npos) << Narrow(tie);
    // A's Monday night: the practice's night rule refuses it while it stands.
    const std::wstring verdict = Fresh(L"verdict A [101,12,11,1,1]");
    EXPECT_EQ(verdict.substr(0, c.verdict.size()), c.verdict) << Narrow(verdict);
    if (c.verdict == L"rule ") EXPECT_NE(verdict.find(L"Main"), std::wstring::npos) << Narrow(verdict);
  }
}

// The practices' menu (also the tasks' and locations'): every item through
// the right button; "Delete selected practices" only in the practices list.
TEST_F(Roads, EveryPracticesMenuItemReachesItsAction) {
  InRoadTask([&](HWND task) {
    Issue(L"Practices and groups");
    libox* l = Open(L"db_praclibox");
    ASSERT_TRUE(l);
    {
      const std::vector<testbox::Seen> seen = ChooseAndName(task, l, Keys(1), L"Practice", L"P3");
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].text, L"Enter new practice name");
    }
    l = Open(L"db_praclibox");
    ASSERT_TRUE(l);
    EXPECT_EQ(RowsOf(l), (Rows{{L"1", L"P1"}, {L"2", L"P2"}, {L"3", L"P3"}, {L"new->", L""}}));
    Run([&] { l->set_selecteds(rizediveva6::MakeList<uint32_t>({2})); });
    ChooseFromMenu(task, l, 1, Keys(2));
    EXPECT_EQ(RowsOf(l), (Rows{{L"1", L"P1"}, {L"2", L"P3"}, {L"new->", L""}}));
    ChooseFromMenu(task, l, 1, Keys(3, {VK_RIGHT, VK_DOWN}));
    EXPECT_EQ(ClipboardText(task), TabText(RowsOf(l)));
    {
      testbox::Script s({{nullptr, [](HWND d) { testbox::Press(d, IDCANCEL); }}});
      ChooseFromMenu(task, l, 1, Keys(3, {VK_RIGHT}));
      s.Finish();
      EXPECT_EQ(s.Boxes().size(), 1u);
    }

    // In the tasks list "Delete selected practices" reaches no one; "Add
    // practice" adds a practice and makes the tasks list anew.
    Issue(L"Tasks");
    l = Open(L"db_tasklibox");
    ASSERT_TRUE(l);
    EXPECT_EQ(Open(L"db_praclibox"), nullptr);
    Run([&] { l->set_selecteds(rizediveva6::MakeList<uint32_t>({1})); });
    doc_->set_as_modified(false);
    ComtreeCalls().clear();
    ChooseFromMenu(task, l, 1, Keys(2));
    EXPECT_EQ(RowsOf(l).size(), 4u);
    EXPECT_FALSE(doc_->is_modified());
    ASSERT_EQ(ComtreeCalls().size(), 1u);
    EXPECT_EQ(ComtreeCalls()[0].op, L"calendar step");
    ChooseAndName(task, l, Keys(1), L"Practice", L"P4");
    EXPECT_NE(Open(L"db_tasklibox"), l);
    EXPECT_EQ(IssuedCommands().back(), L"Input Data/Tasks");
    V stored;
    Run([&] { stored = Names(all::groups::list_groups()); });
    EXPECT_EQ(stored, (V{L"P1", L"P3", L"P4"}));

    // Locations: the copy through the menu shows the base's note alone.
    Issue(L"Locations");
    l = Open(L"db_loclibox");
    ASSERT_TRUE(l);
    rec().Clear();
    ChooseFromMenu(task, l, 1, Keys(3, {VK_RIGHT, VK_DOWN}));
    EXPECT_EQ(ClipboardText(task), L"1\tnorth\t\n2\tsouth\t\nnew->\t\t\n");
    EXPECT_EQ(rec().Texts(L"note"), V{L"You may now paste to (eg) Excel"});
  });
}

// A right press while a cell is edited ends the edit (the text is stored)
// before the menu shows; the copy chosen from it holds the new row.
TEST_F(Roads, ARightClickDuringACellEditEndsTheEditFirst) {
  InRoadTask([&](HWND task) {
    Issue(L"Tasks");
    libox* l = Open(L"db_tasklibox");
    ASSERT_TRUE(l);
    ClickCell(task, l, 4, 3);
    TypeText(L"Night");
    Pump(150);
    ChooseFromMenu(task, l, 1, Keys(3, {VK_RIGHT, VK_DOWN}));
    const Rows want{{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C"}, {L"4", L"Night"}, {L"new->", L""}};
    EXPECT_EQ(RowsOf(l), want);
    EXPECT_EQ(ClipboardText(task), TabText(want));
  });
}

// The doctors list printed through the run's CUPS PDF queue holds every
// doctor's row; a font dialog left with Cancel starts no job.
TEST_F(Lists, DoctorsListPrintsEveryRowAndCancelPrintsNothing) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  auto jobs = [] {
    int n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(L"Z:\\root\\PDF\\Print_list_of_doctors*.pdf", &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do ++n;
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
  };
  // Earlier jobs of this title go first.
  WIN32_FIND_DATAW fd;
  for (HANDLE h; (h = FindFirstFileW(L"Z:\\root\\PDF\\Print_list_of_doctors*.pdf", &fd)) != INVALID_HANDLE_VALUE;) {
    FindClose(h);
    ASSERT_TRUE(DeleteFileW((std::wstring(L"Z:\\root\\PDF\\") + fd.cFileName).c_str()));
  }
  Run([] {
    for (const wchar_t* n : {L"Dora Lindqvist", L"Emil Okafor"}) all::staff_db::add_name(n);
  });
  Rows rows;
  InTask([&](HWND task) {
    all::drlibox* t = nullptr;
    Run([&] { t = all::drlibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    rows = RowsOf(t);
    {
      testbox::Answer cancel(nullptr, [](HWND d) { testbox::Press(d, IDCANCEL); });
      Run([&] { t->popup_callback(10102); });
    }
    Sleep(1500);
    EXPECT_EQ(jobs(), 0);
    {
      testbox::Answer font(nullptr, [](HWND d) {
        constexpr int kFaces = 0x470;
        HWND faces = GetDlgItem(d, kFaces);
        for (const wchar_t* face : {L"Liberation Sans", L"DejaVu Sans", L"Arial"})
          if (SendMessageW(faces, CB_SELECTSTRING, WPARAM(-1), LPARAM(face)) != CB_ERR) break;
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(kFaces, CBN_SELCHANGE), LPARAM(faces));
        Sleep(100);
        testbox::Press(d, IDOK);
      });
      Run([&] { EXPECT_TRUE(t->popup_callback(10102)); });
    }
    Run([&] { t->destroy_scroll2(); });
  });
  const std::wstring pdf = kwitest::WaitForPdf(L"Print_list_of_doctors");
  ASSERT_FALSE(pdf.empty());
  const std::string text = kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -", Path(L"job.txt"));
  ASSERT_EQ(rows.size(), 6u);
  for (size_t r = 0; r + 1 < rows.size(); ++r) EXPECT_NE(text.find(Narrow(rows[r][2])), std::string::npos) << r;
  EXPECT_NE(text.find("Doctors"), std::string::npos);
  EXPECT_EQ(jobs(), 1);
}

// Names typed into the "new->" rows: whatever they hold, the model stores
// them or answers with its note; no error box, nothing else stored.  An
// eleventh task or location is refused with the model's note.
TEST_F(Lists, BadNamesGetTheModelsAnswer) {
  struct Case {
    const char* what;
    std::wstring typed;
    bool stored;          // the doctor and the task are added under the name
    const wchar_t* note;  // the doctors list's note, if any
  };
  const Case cases[] = {
      {"empty", L"", false, L"failed to add doctor"},
      {"percent", L"%", true, nullptr},
      {"quotes", L"\"O'Neil\"", true, nullptr},
      {"non-ASCII", L"Zo\u00EB \u0141ukasz \u9648", true, nullptr},
      {"surrogate pair", L"\U0001D4D0lt", true, nullptr},
  };
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = Pane(task);
    all::drlibox* d = nullptr;
    all::tasklibox* t = nullptr;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      rec().Clear();
      Run([&] { d = all::drlibox::new_(pane); });
      const size_t doctors = RowsOf(d).size();
      TypeInto(task, d, uint32_t(doctors), 4, c.typed);
      Rows rows = RowsOf(d);
      EXPECT_EQ(rows.size(), doctors + (c.stored ? 1 : 0));
      if (c.stored) EXPECT_EQ(rows[doctors - 1][2], c.typed);
      EXPECT_EQ(rec().Texts(L"note"), c.note ? V{c.note} : V{});
      Close(pane, [&] { d->destroy_scroll2(); });
      Run([&] { t = all::tasklibox::new_(pane); });
      const size_t tasks = RowsOf(t).size();
      TypeInto(task, t, uint32_t(tasks), 3, c.typed);
      rows = RowsOf(t);
      EXPECT_EQ(rows.size(), tasks + (c.stored ? 1 : 0));
      if (c.stored) EXPECT_EQ(rows[tasks - 1][1], c.typed);
      Close(pane, [&] { t->destroy_scroll2(); });
    }
    // Names the cell editor cannot take (it stops at the cell's width; a TAB
    // moves on), stored by the model: shown whole, a TAB a blank in the copy.
    rec().Clear();
    const std::wstring longName(1000, L'k');
    Run([&] {
      all::tasks::add_task(L"a\tb");
      all::tasks::add_task(tav::HeapCopy(longName.c_str()));
      t = all::tasklibox::new_(pane);
      EXPECT_TRUE(t->popup_callback(10101));
    });
    EXPECT_EQ(RowsOf(t)[RowsOf(t).size() - 2][1], longName);
    EXPECT_NE(ClipboardText(task).find(L"\ta b\t\n"), std::wstring::npos);
    EXPECT_NE(ClipboardText(task).find(L"\t" + longName + L"\t\n"), std::wstring::npos);
    // Tasks and locations stop at ten.
    Run([&] {
      for (size_t n = Names(all::tasks::list_tasks()).size(); n < 10; ++n)
        all::tasks::add_task(tav::HeapCopy((L"t" + std::to_wstring(n)).c_str()));
      t->update_libox();
    });
    rec().Clear();
    doc_->set_as_modified(false);
    TypeInto(task, t, 11, 3, L"Eleventh");
    EXPECT_EQ(RowsOf(t).size(), 11u);
    EXPECT_EQ(rec().Texts(L"note"), V{L"Error 58 in tasks - more than 10 tasks"});
    EXPECT_FALSE(doc_->is_modified());
    Close(pane, [&] { t->destroy_scroll2(); });
    all::loclibox* o = nullptr;
    Run([&] {
      for (int i = 3; i <= 10; ++i) all::locations::add_loc(tav::HeapCopy((L"l" + std::to_wstring(i)).c_str()));
      o = all::loclibox::new_(pane);
    });
    rec().Clear();
    TypeInto(task, o->list_box(), 11, 3, L"Eleventh");
    EXPECT_EQ(RowsOf(o->list_box()).size(), 11u);
    EXPECT_EQ(rec().Texts(L"note"), V{L"Error 158 in locations - more than 10 locations"});
    Close(pane, [&] { o->destroy_scroll2(); });
  });
}

// Task 2 and location 1 blanked through the lists on the small roster with
// assignments, locks, ties, rules, a typical week and date changes: in a
// fresh process every stored number still names what it named and the
// validator finds no violation introduced.
TEST_F(OwnDocument, BlankingATaskAndALocationKeepsEveryReferenceAndIntroducesNoViolation) {
  DeleteFileW(Path(L"r.km6").c_str());
  auto build = RosterChild(L"build small \"" + Path(L"r.km6") + L"\"");
  ASSERT_EQ(build.first, 0u) << Narrow(build.second);
  auto assign = RosterChild(L"op assign \"" + Path(L"r.km6") + L"\"");
  ASSERT_EQ(assign.first, 0u) << Narrow(assign.second);
  ASSERT_TRUE(CopyFileW(Path(L"r.km6").c_str(), Path(L"before.km6").c_str(), FALSE));
  const std::vector<std::wstring> before = LinesOf(Fresh(L"refs"));
  Run([&] {
    doc_ = rizediveva6::orvDB::new_file_def(
        rizediveva6::make_file_def(tav::HeapCopy(Path(L"r.km6").c_str()), false, rizediveva6::kBackupNone));
    all::kalmora_DB::init(doc_);
  });
  open_.push_back(doc_);
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = Pane(task);
    all::tasklibox* t = nullptr;
    Run([&] { t = all::tasklibox::new_(pane); });
    TypeInto(task, t, 2, 3, L" ");
    EXPECT_EQ(RowsOf(t), (Rows{{L"1", L"Station"}, {L"2", L"Visite"}, {L"new->", L""}}));
    Close(pane, [&] { t->destroy_scroll2(); });
    all::loclibox* o = nullptr;
    Run([&] { o = all::loclibox::new_(pane); });
    TypeInto(task, o->list_box(), 1, 3, L"");
    EXPECT_EQ(RowsOf(o->list_box()), (Rows{{L"1", L"Haus B"}, {L"2", L"Haus C"}, {L"new->", L""}}));
    Close(pane, [&] { o->destroy_scroll2(); });
  });
  EXPECT_TRUE(doc_->is_modified());
  SaveAndClose();
  EXPECT_EQ(LinesOf(Fresh(L"refs")), Without(Without(before, L"T=Notaufnahme|"), L"L=Haus A|"));
  // The validator's lines name duties by key, which the deletions renumber:
  // the edited roster is judged against the same deletions made by the
  // model's own operations, and has no more violations than before.
  ASSERT_TRUE(CopyFileW(Path(L"before.km6").c_str(), Path(L"ops.km6").c_str(), FALSE));
  for (const wchar_t* op : {L"del_task_2", L"del_loc_1"})
    EXPECT_EQ(RosterChild(std::wstring(L"op ") + op + L" \"" + Path(L"ops.km6") + L"\"").first, 0u);
  auto [code, text] = RunBeside(L"roster_check.exe", L"\"" + Path(L"r.km6") + L"\" \"" + Path(L"ops.km6") + L"\"");
  EXPECT_EQ(code, 0u) << Narrow(text);
  auto violations = [&](const wchar_t* file) {
    const std::wstring out = RunBeside(L"roster_check.exe", L"\"" + Path(file) + L"\"").second;
    const size_t at = out.rfind(L"violations ");
    return at == std::wstring::npos ? -1 : std::stoi(out.substr(at + 11));
  };
  const int after = violations(L"r.km6"), earlier = violations(L"before.km6");
  EXPECT_GE(after, 0);
  EXPECT_LE(after, earlier);
}

// The four lists' window names and items; widths set on each list.
struct WidthCase {
  const wchar_t* key;
  const wchar_t* item;
  const wchar_t* fact;
};
const WidthCase kWidthCases[] = {
    {L"drlibox", L"Doctors", L"db_drlibox"},
    {L"groupt", L"Practices and groups", L"db_praclibox"},
    {L"taskt", L"Tasks", L"db_tasklibox"},
    {L"locat", L"Locations", L"db_loclibox"},
};

// The folder of this program, where "opt.cns" is kept.
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.rfind(L'\\') + 1);
}

std::wstring Joined(const rizediveva6::List<uint32_t>* l) {
  std::wstring out;
  for (; !l->Empty(); l = l->tail) out += (out.empty() ? L"" : L",") + std::to_wstring(l->head);
  return out;
}

// Column widths set on each list stand in "opt.cns" under the list's
// window name once delete_liboxes has closed it, and a fresh process opens
// each list with them.
TEST_F(Roads, WidthsAreKeptUnderEachListsNameAndUsedByAFreshProcess) {
  std::vector<std::wstring> set;
  InRoadTask([&](HWND) {
    uint32_t step = 0;
    for (const WidthCase& c : kWidthCases) {
      Issue(c.item);
      libox* l = Open(c.fact);
      ASSERT_TRUE(l);
      ++step;
      Run([&] { l->set_col_widths(true, rizediveva6::MakeList<uint32_t>({30 + step, 25, 60 + step, 70, 80})); });
      Run([] { all::comtree::delete_liboxes(); });
      EXPECT_EQ(Open(c.fact), nullptr);
      // The boundaries kept: the first where the widths put it.
      Run([&] {
        const rizediveva6::IntList* kept;
        ASSERT_TRUE(rizediveva6::options_db::various_ilist(c.key, &kept));
        std::wstring text;
        for (; !kept->Empty(); kept = kept->tail) text += (text.empty() ? L"" : L",") + std::to_wstring(kept->head);
        set.push_back(text);
      });
      EXPECT_EQ(set.back().substr(0, 3), std::to_wstring(31 + step) + L",");
    }
  });
  std::string file;
  {
    std::ifstream in(kwitest::Narrow(ProgramFolder() + L"opt.cns"), std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const WidthCase& c : kWidthCases) EXPECT_NE(file.find(kwitest::Narrow(c.key)), std::string::npos) << Narrow(c.key);
  auto [code, text] = RunBeside(L"liboxes_tests.exe",
                                L"--gtest_also_run_disabled_tests --gtest_filter=Roads.DISABLED_OpensEachListWithItsSavedWidths");
  EXPECT_EQ(code, 0u) << Narrow(text);
  // Each list shows the kept boundaries, fitted to its columns: the first
  // four (every list has three columns or more) as kept.
  auto firstFour = [](const std::wstring& list) {
    size_t at = 0;
    for (int i = 0; i < 4 && at != std::wstring::npos; ++i) at = list.find(L',', at + 1);
    return list.substr(0, at);
  };
  ASSERT_EQ(set.size(), 4u);
  for (size_t i = 0; i < set.size(); ++i) {
    const std::wstring line = L"widths " + std::wstring(kWidthCases[i].key) + L" " + firstFour(set[i]);
    const size_t at = text.find(line);
    ASSERT_NE(at, std::wstring::npos) << Narrow(line) << Narrow(text);
    EXPECT_TRUE(std::wstring(L",\r\n").find(text[at + line.size()]) != std::wstring::npos) << Narrow(line);
  }
  Run([] {
    for (const WidthCase& c : kWidthCases) rizediveva6::options_db::remove(c.key);
  });
}

// Run by the test above in a fresh process: the options read from the file,
// each list opened, its boundaries printed.
TEST_F(Roads, DISABLED_OpensEachListWithItsSavedWidths) {
  Run([] { rizediveva6::options_db::read_opt(); });
  InRoadTask([&](HWND) {
    for (const WidthCase& c : kWidthCases) {
      Issue(c.item);
      libox* l = Open(c.fact);
      ASSERT_TRUE(l);
      Run([&] { printf("widths %ls %ls\n", c.key, Joined(l->get_boundaries(l->get_wyndow())).c_str()); });
    }
  });
  fflush(stdout);
}

// The doctors list's edge cases on one document, a step a row: a doctor
// marked deleted takes no row and no number; a group clicked on goes first
// in the doctor's list; the assignments the new group's rule refuses go,
// the others stay.
TEST_F(OwnDocument, DoctorsListEdgeCases) {
  RosterSpec spec = TwoWeekSpec();
  spec.doctors = {{L"A", {L"P1"}}, {L"B", {L"P1", L"P2"}}, {L"C", {L"P2"}}, {L"D", {}}};
  spec.rules = {{all::who_kind::group_rule, L"P1", all::rule_kind::r_slot, 2, {}}};
  const DutySpec day{L"ward", L"north", L"day"}, night{L"ward", L"north", L"night"};
  spec.assignments = {{{1, 1, night}, L"C"}, {{1, 2, day}, L"C"}};
  DeleteFileW(Path(L"r.km6").c_str());
  Open(spec);
  const std::wstring mondayNight = L"[101,12,11,1,1]", tuesdayDay = L"[101,11,12,1,1]";
  Run([] {
    const PersonTerm* b;
    ASSERT_TRUE(all::staff_db::get_person(L"B", &b));
    all::staff_db::replace_person(MakePerson(b->ref, b->dat->name, rizediveva6::AsSList(b->dat->groups), b->dat->colour,
                                             b->dat->letter, all::kDeleted));
  });
  InTask([&](HWND task) {
    SetForegroundWindow(task);
    all::drlibox* t = nullptr;
    Run([&] { t = all::drlibox::new_(Pane(task)); });
    ASSERT_TRUE(t);
    struct Step {
      const char* what;
      std::function<void()> act;
      std::function<void()> check;
    };
    auto groupsOf = [&](const wchar_t* name) {
      V out;
      Run([&] {
        const PersonTerm* p;
        ASSERT_TRUE(all::staff_db::get_person(name, &p));
        out = Names(rizediveva6::AsSList(p->dat->groups));
      });
      return out;
    };
    auto assigned = [&](const std::wstring& key) {
      bool yes = false;
      Run([&] {
        all::chain_ref who;
        yes = all::sc_assign::is_assigned(key.c_str(), &who);
      });
      return yes;
    };
    const Step steps[] = {
        {"a deleted doctor takes no number", [] {},
         [&] {
           Rows rows = RowsOf(t);
           ASSERT_EQ(rows.size(), 4u);
           EXPECT_EQ((V{rows[0][0], rows[0][2], rows[1][0], rows[1][2], rows[2][0], rows[2][2]}),
                     (V{L"1", L"A", L"2", L"C", L"3", L"D"}));
           EXPECT_EQ(t->input_line(), 4u);
         }},
        {"the clicked group goes first", [&] { ClickCell(task, t, 1, 6); },
         [&] { EXPECT_EQ(groupsOf(L"A"), (V{L"P2", L"P1"})); }},
        {"the new group's rule removes what it refuses",
         [&] {
           Pump(GetDoubleClickTime() + 50);
           ClickCell(task, t, 2, 5);
         },
         [&] {
           EXPECT_EQ(groupsOf(L"C"), (V{L"P1", L"P2"}));
           EXPECT_FALSE(assigned(mondayNight));
           EXPECT_TRUE(assigned(tuesdayDay));
         }},
    };
    EXPECT_TRUE(assigned(mondayNight));
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      step.act();
      step.check();
    }
    Run([&] { t->destroy_scroll2(); });
  });
}

}  // namespace
