// The task window: its resources read back from the program, the caption,
// the list windows' pop-up commands routed to the open views, Add practice
// and Add doctor, the accelerators, the Functions menu, the web page and
// the about box.

#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "program_test.h"
#include "publish_test.h"
#include "rulesPack/sc_rules.h"
#include "SYSTEM/my_html/htm.h"

namespace programtest {
namespace {

using V = std::vector<std::wstring>;

// A menu as text: "id text" items, "-" separators, "text{...}" pop-ups; a
// right-justified pop-up marked ">".
std::wstring MenuText(HMENU m) {
  std::wstring out;
  for (int i = 0; i < GetMenuItemCount(m); ++i) {
    wchar_t text[80] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 80;
    GetMenuItemInfoW(m, i, TRUE, &info);
    if (!out.empty()) out += L"|";
    if (info.fType & MFT_SEPARATOR) out += L"-";
    else if (info.hSubMenu)
      out += std::wstring(info.fType & MFT_RIGHTJUSTIFY ? L">" : L"") + text + L"{" + MenuText(info.hSubMenu) + L"}";
    else out += std::to_wstring(info.wID) + L" " + text;
  }
  return out;
}

TEST(TaskWindowResources, MenuAcceleratorsAndIconReadBackFromTheProgram) {
  HINSTANCE self = GetModuleHandleW(nullptr);
  HMENU menu = LoadMenuW(self, MAKEINTRESOURCEW(IDM_TASKMENU));
  ASSERT_TRUE(menu);
  EXPECT_EQ(MenuText(menu),
            L"&File{10150 &New\tF7|10151 &Open\tF8|10152 &Save\tF2|10153 Save &as..|-|10158 E&xit|"
            L"10159 &Forget changes and Exit}|10160 Options|"
            L"Functions{10162 Delete all ties|10163 Delete all Can't dos|10164 Delete all assignments|"
            L"10165 Delete all doctors|10166 Delete all practices|10167 Delete all tasks|10168 Delete all locations}|"
            L"10169 www|>&Help{10171 &Contents\tCtrl-F1|-|10172 &About}");
  DestroyMenu(menu);

  HACCEL keys = LoadAcceleratorsW(self, MAKEINTRESOURCEW(IDA_TASKKEYS));
  ASSERT_TRUE(keys);
  ACCEL table[8];
  const int n = CopyAcceleratorTableW(keys, table, 8);
  std::vector<std::tuple<int, int, int>> got;
  for (int i = 0; i < n; ++i) got.emplace_back(table[i].key, table[i].fVirt & ~FNOINVERT, table[i].cmd);
  EXPECT_EQ(got, (std::vector<std::tuple<int, int, int>>{{VK_F7, FVIRTKEY, IDM_FILE_NEW},
                                                          {VK_F8, FVIRTKEY, IDM_FILE_OPEN},
                                                          {VK_F2, FVIRTKEY, IDM_FILE_SAVE},
                                                          {VK_F1, FVIRTKEY | FCONTROL, IDM_HELP_CONTENTS}}));

  HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(IDI_KALMORA6), IMAGE_ICON, 32, 32, 0));
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bm{};
  GetObjectW(info.hbmColor, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  // The calendar's and the lists' resources are in the same file.
  EXPECT_TRUE(FindResourceW(self, MAKEINTRESOURCEW(10112), MAKEINTRESOURCEW(4)));
  EXPECT_TRUE(FindResourceW(self, MAKEINTRESOURCEW(10142), MAKEINTRESOURCEW(4)));
}

class TaskWindowTest : public ProgramTest {};

TEST_F(TaskWindowTest, StartsMaximisedWithStatusLineAndBuildsTheTreeLaterCaptionFollowsTheDocument) {
  const std::wstring file = MakeRoster(L"roster a.km6", alltest::TwoWeekSpec());
  RunProgram([&](HWND task) {
    Pump(200);
    EXPECT_TRUE(IsZoomed(task));
    EXPECT_EQ(Caption(task), L"Kalmora6");
    EXPECT_TRUE(kalmora::taskWindow::is_active() || GetForegroundWindow() != task);
    // The tree is built by the posted event after the creation: the start
    // items, laid out in the maximised window.
    const V start{L"New rota", L"Open file", L"List files", L"Import KM5 file", L"Help"};
    EXPECT_EQ(TreeRoots(), start);
    RECT maxed;
    GetWindowRect(TreeControl(), &maxed);
    alltest::ComtreeCalls().clear();
    OpenThrough(task, file);
    EXPECT_EQ(Caption(task), L"Kalmora6 : [" + file + L"]");
    // A running engine is stopped first; the tree now shows the roster.
    const V calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), L"retract_engine");
    EXPECT_NE(TreeRoots(), start);
    EXPECT_GT(TreeCount(), static_cast<int>(start.size()));
    // A size change lays the panes out again.
    ShowWindow(task, SW_RESTORE);
    Pump(200);
    RECT restored, client;
    GetWindowRect(TreeControl(), &restored);
    GetClientRect(task, &client);
    EXPECT_LT(restored.bottom - restored.top, maxed.bottom - maxed.top);
    EXPECT_LE(restored.bottom - restored.top, client.bottom);
  });
}

TEST_F(TaskWindowTest, EveryPopupCommandRunsItsStoreStepAndReachesTheOpenViews) {
  const std::wstring file = MakeRoster(L"r.km6", alltest::SmallSpec());
  struct Row {
    int id;
    std::wstring update;  // the recorded update call
  };
  std::vector<Row> rows;
  for (int id : {10094, 10095, 10096, 10097, 10098, 10099, 10100, 10090, 10091, 10092, 10102, 10101, 10138,
                 10137, 10136})
    rows.push_back({id, L"update_any_liboxes 2 3 " + std::to_wstring(id)});
  for (int id : {10104, 10108, 10130, 10133, 10145}) rows.push_back({id, L"update_any_liboxes 2 2 0"});
  for (int id : {10144, 10105, 10134}) rows.push_back({id, L"update_any_liboxes 2 1 0"});
  RunProgram([&](HWND task) {
    OpenThrough(task, file);
    for (const Row& r : rows) {
      alltest::ComtreeCalls().clear();
      Command(task, r.id);
      EXPECT_EQ(Calls(), V{r.update}) << r.id;
    }
    // The store steps ran: no ties, no weekend slots, no holidays left.
    Run([] {
      EXPECT_FALSE(all::ties::nd_tie([](all::stored_tie) {}));
      EXPECT_FALSE(all::sc_rules::nd_which_rule([](all::stored_rule) {}));
    });
    // Ids of no row are not passed on.
    alltest::ComtreeCalls().clear();
    Command(task, 10111);
    Command(task, 10146);
    EXPECT_EQ(Calls(), V{});
  });
}

TEST_F(TaskWindowTest, AddPracticeAndAddDoctorTakeANameAndCancelAddsNothing) {
  const std::wstring file = MakeRoster(L"r.km6", alltest::TwoWeekSpec());
  auto typed = [](const wchar_t* title, const wchar_t* name) {
    return Step{title, [name](HWND d) {
                  UntilGone(d, [&] {
                    SetDlgItemTextW(d, 10001, name);
                    Click(d, IDOK);
                  });
                }};
  };
  RunProgram([&](HWND task) {
    OpenThrough(task, file);
    V groups, staff;
    auto read = [&] {
      Run([&] {
        groups = alltest::Names(all::groups::list_groups());
        staff = alltest::Names(all::staff_db::list_staff());
      });
    };
    read();
    const V groups0 = groups, staff0 = staff;

    alltest::ComtreeCalls().clear();
    std::vector<Seen> seen = Answered({PressIn(L"Practice", IDCANCEL)}, [&] { Command(task, 10141); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Enter new practice name");
    seen = Answered({PressIn(L"Doctor", IDCANCEL)}, [&] { Command(task, 10143); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Enter new doctor name");
    read();
    EXPECT_EQ(groups, groups0);
    EXPECT_EQ(staff, staff0);
    EXPECT_EQ(Calls(), V{});

    Answered({typed(L"Practice", L"P\u00E4d")}, [&] { Command(task, 10141); });
    Answered({typed(L"Doctor", L"Dr. Neu")}, [&] { Command(task, 10143); });
    read();
    V wantGroups = groups0, wantStaff = staff0;
    wantGroups.push_back(L"P\u00E4d");
    wantStaff.push_back(L"Dr. Neu");
    EXPECT_EQ(groups, wantGroups);
    EXPECT_EQ(staff, wantStaff);
    EXPECT_EQ(Calls(), (V{L"update_any_liboxes 2 2 0", L"update_any_liboxes 2 2 0"}));
    Run([] { EXPECT_TRUE(all::kalmora_DB::is_init()); });
  });
}

TEST_F(TaskWindowTest, F7MakesANewDocumentAndCtrlF1DoesNothing) {
  RunProgram([&](HWND task) {
    SetForegroundWindow(task);
    Pump(200);
    const V start = TreeRoots();
    // Ctrl+F1: the help contents command, which nothing handles.
    kwitest::SendKey(VK_CONTROL, false);
    kwitest::SendKey(VK_F1, false);
    kwitest::SendKey(VK_F1, true);
    kwitest::SendKey(VK_CONTROL, true);
    Pump(300);
    EXPECT_TRUE(testbox::VisibleBoxes().empty());
    EXPECT_EQ(TreeRoots(), start);
    EXPECT_EQ(Caption(task), L"Kalmora6");
    Run([] { EXPECT_FALSE(all::kalmora_DB::is_init()); });

    alltest::ComtreeCalls().clear();
    kwitest::SendKey(VK_F7, false);
    kwitest::SendKey(VK_F7, true);
    Pump(300);
    Run([] { EXPECT_TRUE(all::kalmora_DB::is_init()); });
    EXPECT_EQ(Caption(task), L"Kalmora6 : [kalmora]");
    // A running engine is stopped first; the tree shows the new roster.
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls().front(), L"retract_engine");
    EXPECT_NE(TreeRoots(), start);
    // Leave without the new document's save questions.
    Run([] { all::kalmora_DB::uninit(); });
  });
}

// The counts the delete-all commands change.
struct Counts {
  uint32_t ties = 0, rules = 0, assignments = 0, doctors = 0, groups = 0, tasks = 0, locations = 0;
  bool operator==(const Counts&) const = default;
};
void PrintTo(const Counts& c, std::ostream* os) {
  *os << c.ties << " ties " << c.rules << " rules " << c.assignments << " assignments " << c.doctors
      << " doctors " << c.groups << " groups " << c.tasks << " tasks " << c.locations << " locations";
}
uint32_t Length(const rizediveva6::SList* l) {
  uint32_t n = 0;
  for (; !l->Empty(); l = l->tail) ++n;
  return n;
}

TEST_F(TaskWindowTest, EachDeleteAllEmptiesItsStoreAsksNothingAndRefreshesWhatItShould) {
  alltest::RosterSpec spec = alltest::GateFullSpec();
  const std::wstring file = MakeRoster(L"gate.km6", spec);
  const std::wstring ties = MakeRoster(L"small.km6", alltest::SmallSpec());
  auto counts = [&] {
    Counts c;
    Run([&] {
      all::ties::nd_tie([&](all::stored_tie) { ++c.ties; Qel::RunTime::Kernel::Fail(); });
      all::sc_rules::nd_which_rule([&](all::stored_rule) { ++c.rules; Qel::RunTime::Kernel::Fail(); });
      c.assignments = all::sc_assign::number_assigned();
      c.doctors = all::staff_db::number_of_staff();
      c.groups = Length(all::groups::list_groups());
      c.tasks = Length(all::tasks::list_tasks());
      c.locations = Length(all::locations::list_locs());
    });
    return c;
  };
  RunProgram([&](HWND task) {
    // Without a document: nothing happens, nothing is said.
    alltest::ComtreeCalls().clear();
    for (int id = IDM_DELETE_ALL_TIES; id <= IDM_DELETE_ALL_LOCATIONS; ++id) {
      EXPECT_TRUE(Unasked([&] { Command(task, id); }).empty()) << id;
    }
    EXPECT_EQ(Calls(), V{});

    OpenThrough(task, ties);
    const Counts small = counts();
    ASSERT_GT(small.ties, 0u);
    alltest::ComtreeCalls().clear();
    Command(task, IDM_DELETE_ALL_TIES);
    Counts want = small;
    want.ties = 0;
    EXPECT_EQ(counts(), want);
    EXPECT_EQ(Calls(), V{}) << "no refresh after deleting the ties";
    Run([] { all::kalmora_DB::set_as_not_mod(); });

    OpenThrough(task, file);
    Counts c = counts();
    ASSERT_EQ(c.rules, 2u);
    ASSERT_EQ(c.assignments, 3u);
    struct Row {
      int id;
      uint32_t Counts::*field;
      uint32_t left;
      bool rebuilds;  // the command tree built anew
    };
    const Row kRows[] = {
        {IDM_DELETE_ALL_CANTDOS, &Counts::rules, 0, false},
        {IDM_DELETE_ALL_ASSIGNMENTS, &Counts::assignments, 1, false},  // the locked one stays
        {IDM_DELETE_ALL_DOCTORS, &Counts::doctors, 0, true},
        {IDM_DELETE_ALL_PRACTICES, &Counts::groups, 0, true},
        {IDM_DELETE_ALL_TASKS, &Counts::tasks, 0, true},
        {IDM_DELETE_ALL_LOCATIONS, &Counts::locations, 0, true},
    };
    // A rebuild inserts every item anew: the root's text, changed here, comes back.
    const std::wstring rootText = alltest::TreeItemText(TreeControl(), TreeRoot());
    for (const Row& r : kRows) {
      Counts before = counts();
      SetItemText(TreeControl(), TreeRoot(), L"(marked)");
      EXPECT_TRUE(Unasked([&] { Command(task, r.id); }).empty()) << r.id;
      Counts after = counts();
      EXPECT_EQ(after.*r.field, r.left) << r.id;
      before.*r.field = r.left;
      if (r.id == IDM_DELETE_ALL_DOCTORS) before.assignments = after.assignments;
      EXPECT_EQ(after, before) << r.id << ": other stores changed";
      EXPECT_EQ(alltest::TreeItemText(TreeControl(), TreeRoot()) == rootText, r.rebuilds) << r.id;
    }
    Run([] { all::kalmora_DB::set_as_not_mod(); });
  });
}

TEST_F(TaskWindowTest, TheWebPageCommandAndTheAboutBox) {
  alltest::Browser browser;
  std::wstring page;
  Run([&] { page = rizediveva6::htm::www_file(); });
  DeleteFileW(page.c_str());
  RunProgram([&](HWND task) {
    Command(task, IDM_WWW);
    EXPECT_NE(browser.Opened(1), "");
    std::string text = alltest::ReadBytes(page);
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    EXPECT_NE(text.find("You are currently running build 1005"), std::string::npos) << text;
    EXPECT_NE(text.find("kalmoratessaro.example/latest.html"), std::string::npos) << text;

    // The about box: its build text, WebPage twice (the box stays), OK; then
    // again, ended by its close box.
    std::wstring build, version;
    bool stayed = false;
    std::vector<Seen> seen = Answered(
        {Step{L"About",
              [&](HWND d) {
                build = testbox::WindowText(GetDlgItem(d, 10078));
                version = testbox::WindowText(GetDlgItem(d, 10073));
                SendMessageW(GetDlgItem(d, 10077), BM_CLICK, 0, 0);
                SendMessageW(GetDlgItem(d, 10077), BM_CLICK, 0, 0);
                stayed = IsWindow(d) && IsWindowVisible(d);
                Click(d, IDOK);
              }}},
        [&] { Command(task, IDM_HELP_ABOUT); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"About");
    EXPECT_EQ(build, L"Build 1005");
    EXPECT_EQ(version, L"Version 6.0");
    EXPECT_TRUE(stayed);
    size_t opened = 0;
    const std::string log = browser.Opened(3);
    for (char ch : log) opened += ch == '\n';
    EXPECT_EQ(opened, 3u) << log;

    seen = Answered({Step{L"About", [](HWND d) { testbox::CloseBox(d); }}}, [&] { Command(task, IDM_HELP_ABOUT); });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(testbox::VisibleBoxes().empty());
    EXPECT_TRUE(IsWindow(task));
  });
  DeleteFileW(page.c_str());
}

}  // namespace
}  // namespace programtest
