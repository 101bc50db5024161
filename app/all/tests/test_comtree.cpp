// The command tree frame on real windows in a task window of kwi::init:
// its windows and timer, the tree read back from the control, the rebuild
// check, the pane layout and the title pane's menu (answered in the pop-up
// menu), the pane handlers, the timer's focus, the item pictures, the title
// and help line drawn, and the closing of views.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "commandtree/comtree.h"
#include "comtree_session.h"
#include "dialog_test.h"
#include "commandtree/comtree_registry.h"
#include "helpinfo.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_engine.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kwi/kwi.h"
#include "liboxes/drlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_cant_dos.h"
#include "mycal/draw_dtbd.h"
#include "mycal/draw_hols.h"
#include "phase1/sc_phase1.h"
#include "roster_generator.h"
#include "toolkit_test.h"
#include "tree_items.h"

using namespace alltest;
using all::comtree;
using QEL_KWI::rect_struct;

namespace {

using V = std::vector<std::wstring>;
using options = rizediveva6::options_db;

// --- The command tree in a task window --------------------------------------------------

struct PaneFlags {
  bool title = true;
  bool stats = false;
};

HWND H(LONG_PTR w) { return reinterpret_cast<HWND>(w); }
HWND Tree() { return H(comtree::db6.xtreeviewwin.get()); }
HWND TitlePane() { return H(comtree::db6.xtitle_win.get()); }
HWND TopPane() { return H(comtree::db6.xdata_wintop.get()); }
HWND BottomPane() { return H(comtree::db6.xdata_winbot.get()); }

// A window's rectangle in its parent's client coordinates.
RECT Placed(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
std::string Text(RECT r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

int32_t Option(const wchar_t* key) {
  int32_t v = -1;
  return options::various_i(key, &v) ? v : -1;
}

HWND NativeTree() { return tav::kwiTreeView::getnativewindow(comtree::db6.xtreeviewwin.get()); }

// --- The tree as the control holds it ------------------------------------------------

std::wstring Picture(const tav::BitmapIdTerm* b) {
  if (b->functor == 1) return std::to_wstring(b->payload);
  return L"bmp";
}
// One line per item, pre-order: indentation, text, number, B for bold,
// pictures (resource numbers, "bmp" for a made picture).
void Dump(const tav::TreeList* l, int depth, std::wstring* out) {
  for (; l->functor == 1; l = l->next) {
    const tav::TreeTerm* t = l->head;
    bool bold = false;
    for (const tav::ItemStateList* s = t->state; s->functor == 1; s = s->next)
      bold = bold || s->flag == tav::ItemStateFlag::bold;
    *out += std::wstring(2 * depth, L' ') + t->text + L" " + std::to_wstring(t->id) + (bold ? L" B " : L" ") +
            Picture(t->bitmap) + L"/" + Picture(t->selectedBitmap) + L"\n";
    Dump(t->children, depth + 1, out);
  }
}
std::wstring ControlTree() {
  std::wstring out;
  EXPECT_EQ(RunTrapped([&] { Dump(tav::kwiTreeView::get_all(comtree::db6.xtreeviewwin.get()), 0, &out); }), 0u);
  return out;
}
std::wstring BuiltTree() {
  std::wstring out;
  EXPECT_EQ(RunTrapped([&] {
    static tav::TreeList one;
    one = {1, comtree::get_whole_tree(), reinterpret_cast<const tav::TreeList*>(rizediveva6::Nil<const void*>())};
    Dump(&one, 0, &out);
  }), 0u);
  return out;
}
// The texts of the items the control shows expanded that have children.
V Expanded() {
  V out;
  HWND tree = NativeTree();
  std::function<void(HTREEITEM)> walk = [&](HTREEITEM h) {
    for (; h; h = TreeView_GetNextSibling(tree, h)) {
      wchar_t text[128] = {};
      TVITEMW item{};
      item.mask = TVIF_TEXT | TVIF_STATE | TVIF_CHILDREN;
      item.hItem = h;
      item.pszText = text;
      item.cchTextMax = 128;
      item.stateMask = TVIS_EXPANDED;
      TreeView_GetItem(tree, &item);
      HTREEITEM child = TreeView_GetChild(tree, h);
      if (child && (item.state & TVIS_EXPANDED)) out.push_back(text);
      walk(child);
    }
  };
  walk(TreeView_GetRoot(tree));
  return out;
}

// --- The title pane's pop-up menu ------------------------------------------------------

struct PopupSeen {
  std::vector<std::wstring> items;  // "id text", "-" for a separator
};
// Picks the command at `position` (separators not counted) of the next
// pop-up menu, recording its items.
std::thread AnswerPopup(int position, PopupSeen* seen, std::atomic<bool>* done) {
  return std::thread([position, seen, done] {
    HWND menu = nullptr;
    for (int i = 0; i < 300 && !menu && !*done; ++i) {
      HWND m = FindWindowW(L"#32768", nullptr);
      if (m && IsWindowVisible(m)) menu = m;
      else Sleep(10);
    }
    if (!menu) return;
    HMENU h = reinterpret_cast<HMENU>(SendMessageW(menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
    for (int i = 0, n = GetMenuItemCount(h); i < n; ++i) {
      wchar_t text[80] = {};
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
      info.dwTypeData = text;
      info.cch = 80;
      GetMenuItemInfoW(h, static_cast<UINT>(i), TRUE, &info);
      seen->items.push_back(info.fType & MFT_SEPARATOR ? L"-" : std::to_wstring(info.wID) + L" " + text);
    }
    for (int k = 0; k <= position; ++k) {
      PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
      PostMessageW(menu, WM_KEYUP, VK_DOWN, 0xC0000001);
      Sleep(60);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(menu, WM_KEYUP, VK_RETURN, 0xC0000001);
  });
}

// A right click in the title pane and the command at `position` chosen.
PopupSeen ChooseInTitleMenu(int position) {
  PopupSeen seen;
  std::atomic<bool> done{false};
  std::thread answer = AnswerPopup(position, &seen, &done);
  SendMessageW(TitlePane(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 5));
  done = true;
  answer.join();
  tktest::Pump(150);
  return seen;
}

class CommandTree : public DialogRoster {
 protected:
  void SetUp() override {
    DialogRoster::SetUp();
    ResetComtree();
  }
  void TearDown() override {
    ResetComtree();
    DialogRoster::TearDown();
  }
  // Opens a new document made from the roster fixture description, in a file of its own.
  void Document(const RosterSpec& spec) {
    static int serial = 0;
    name_ = L"r" + std::to_wstring(++serial) + L".km6";
    doc_ = New(name_.c_str());
    Run([&] { WriteSpec(spec); });
    doc_->set_as_modified(false);
    rec().Clear();
  }
  // The document's file name.
  std::wstring name_;
  // Saves and closes the document; roster_check's verdict on it read by a
  // fresh process.
  std::pair<DWORD, std::wstring> SavedAndChecked() {
    Run([&] { doc_->orv_save(rz::MakeList<const wchar_t*>({})); });
    kalmora_DB::uninit();
    Run([&] { open_.back()->orv_close(rz::MakeList<const wchar_t*>({}), false); });
    open_.pop_back();
    return RunBeside(L"roster_check.exe", L"\"" + Path(name_.c_str()) + L"\"");
  }
  // The command tree made in a task window with a 900 x 600 client area;
  // body runs inside its loop; `events` sees the task window's other events.
  void InTree(const std::function<void(LONG_PTR task)>& body, PaneFlags flags = {},
              kwitest::Handler events = nullptr) {
    tktest::RunInTask([&](LONG_PTR task) {
      RelearnTreeViewClass();
      tktest::SetClientSize(task, 900, 600);
      SetForegroundWindow(H(task));
      // Making the panes switches the title on.
      comtree::db5.boo_showing_title = !flags.title;
      comtree::db5.boo_show_bot_stat_win = flags.stats;
      const uint32_t made = RunTrapped([] { comtree::make_treeandwindows(); });
      if (made) {
        const std::vector<const tav::TraceEntry*> all = tavtest::Entries();
        ADD_FAILURE() << "the command tree was not made: "
                      << (all.empty() ? std::string("?")
                                      : Narrow(std::wstring(all.front()->exception->name) + L": " +
                                               tavtest::Extra(all.front(), L"Arguments") + L" / " +
                                               tavtest::Extra(all.front(), L"ExtraInfo")));
        return;
      }
      tktest::Pump(100);
      body(task);
    }, events);
    EXPECT_TRUE(tktest::Reported().empty());
    ResetComtree();
  }
};

RosterSpec Bare() {
  RosterSpec s = TwoWeekSpec();
  s.tasks.clear();
  s.locations.clear();
  s.groups.clear();
  s.doctors.clear();
  s.typical.clear();
  s.changes.clear();
  s.ties.clear();
  s.loads.clear();
  s.rules.clear();
  s.assignments.clear();
  return s;
}
// One doctor, no group, tasks A and B, location L.
RosterSpec Example() {
  RosterSpec s = Bare();
  s.tasks = {L"A", L"B"};
  s.locations = {L"L"};
  s.doctors = {{L"Ann", {}}};
  return s;
}
// 60 doctors in 8 practices, 3 tasks, 2 locations.
RosterSpec Many() {
  RosterSpec s = Bare();
  s.tasks = {L"A", L"B", L"C"};
  s.locations = {L"L", L"M"};
  for (int g = 1; g <= 8; ++g) s.groups.push_back(L"P" + std::to_wstring(g));
  for (int d = 0; d < 60; ++d) s.doctors.push_back({L"Doctor " + std::to_wstring(d), {s.groups[d % 8]}});
  return s;
}

// --- Creation ------------------------------------------------------------------------

TEST_F(CommandTree, MakesTheTreeViewThreePanesAndOneTimerOnce) {
  InTree([&](LONG_PTR task) {
    EXPECT_EQ(GetDlgCtrlID(Tree()), 9001);
    EXPECT_EQ(GetParent(Tree()), H(task));
    for (HWND pane : {TitlePane(), TopPane(), BottomPane()}) EXPECT_EQ(GetParent(pane), H(task));
    auto children = [&] {
      int n = 0;
      for (HWND c = GetWindow(H(task), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
      return n;
    };
    const int before = children();
    EXPECT_GE(before, 4);
    // The date buttons exist, hidden.
    for (int id : {981, 982}) {
      HWND b = GetDlgItem(TitlePane(), id);
      ASSERT_TRUE(b) << id;
      EXPECT_FALSE(IsWindowVisible(b));
    }
    EXPECT_EQ(testbox::WindowText(GetDlgItem(TitlePane(), 981)), L">");
    EXPECT_EQ(testbox::WindowText(GetDlgItem(TitlePane(), 982)), L"<");
    // A second call adds nothing: no window, and one tick in 3.5 s (the
    // focus kept out of the top pane, so that every tick acts).
    const LONG_PTR tree = comtree::db6.xtreeviewwin.get();
    Run([] { comtree::make_treeandwindows(); });
    EXPECT_EQ(children(), before);
    EXPECT_EQ(comtree::db6.xtreeviewwin.get(), tree);
    // (The tree itself would select an item as it takes the focus, and the
    // item's command moves the focus on.)
    SetFocus(TitlePane());
    int ticks = 0;
    tktest::PumpUntil([&] {
      if (GetFocus() == TopPane()) ++ticks, SetFocus(TitlePane());
      return false;
    }, 3500);
    EXPECT_EQ(ticks, 1);
  });
}

TEST_F(CommandTree, APaneReadBeforeThePanesExistRaises329AndTheFormsDoNothing) {
  const uint32_t code = RunTrapped([] { comtree::db6.xdata_wintop.get(); });
  ASSERT_GE(code, 65536u);
  EXPECT_EQ(ErrorNumber(code), 329u);
  const std::wstring text = tavtest::Extra(tavtest::Entries().front(), L"ExtraInfo");
  EXPECT_NE(text.find(L"xdata_wintop"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"comtree$db6"), std::wstring::npos) << Narrow(text);
  tav::exception::clear(code);
  Run([] {
    comtree::rebuild_and_draw_tree();
    comtree::update_xdata();
    comtree::comtree_resize();
    comtree::delete_cal(1);
    comtree::update_cs_help();
    comtree::update_cs_help(255, L"stored");
    comtree::update_cs_help(255, L"", all::Unknown());
  });
  EXPECT_EQ(std::wstring(comtree::db3.xcs_help.get().text), L"stored");
  EXPECT_EQ(comtree::db3.xcs_help.get().number, 255);
  EXPECT_FALSE(comtree::db6.boo_init);
}

// --- Contents ------------------------------------------------------------------------

const wchar_t kStartTree[] =
    L"C-tree 107 10183/10182\n"
    L"  New rota 102 B 10175/10175\n"
    L"  Open file 103 B 10175/10175\n"
    L"  List files 104 10177/10176\n"
    L"  Import KM5 file 105 B 10175/10175\n"
    L"  Help 106 B 10173/10173\n";

TEST_F(CommandTree, WithoutADocumentTheControlHoldsTheStartTree) {
  InTree([&](LONG_PTR) {
    EXPECT_EQ(ControlTree(), kStartTree);
    EXPECT_EQ(Expanded(), (V{L"C-tree"}));
  });
}

// A document without tasks or without locations: the five input items.
TEST_F(CommandTree, WithoutTasksOrLocationsOnlyTheFirstInputItemsAreShown) {
  const wchar_t kEmpty[] =
      L"C-tree 110 10183/10182\n"
      L"  Close 102 10175/10175\n"
      L"  Input Data 108 10183/10182\n"
      L"    Calendar definition 103 10181/10180\n"
      L"    Practices and groups 104 10177/10176\n"
      L"    Doctors 105 10177/10176\n"
      L"    Locations 106 10177/10176\n"
      L"    Tasks 107 10177/10176\n"
      L"  Help 109 B 10173/10173\n";
  struct Case {
    const char* what;
    std::vector<std::wstring> tasks, locations;
  } cases[] = {{"empty", {}, {}}, {"tasks only", {L"A"}, {}}, {"locations only", {}, {L"L"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RosterSpec s = Bare();
    s.tasks = c.tasks;
    s.locations = c.locations;
    s.doctors = {{L"Ann", {}}};
    Document(s);
    InTree([&](LONG_PTR) {
      Run([] { comtree::rebuild_and_draw_tree(); });
      EXPECT_EQ(ControlTree(), kEmpty);
    });
    kalmora_DB::uninit();
  }
}

// The whole tree of the one-doctor example, numbered in post-order.
const wchar_t kExampleTree[] =
    L"C-tree 165 10183/10182\n"
    L"  Close 102 10175/10175\n"
    L"  Input Data 124 10183/10182\n"
    L"    Calendar definition 103 10181/10180\n"
    L"    Practices and groups 104 10177/10176\n"
    L"    Doctors 105 10177/10176\n"
    L"    Locations 106 10177/10176\n"
    L"    Tasks 107 10177/10176\n"
    L"    Duties to do - typical week 111 10183/10182\n"
    L"      Saturday 108 10177/10176\n"
    L"      Sunday 109 10177/10176\n"
    L"      Weekday 110 10177/10176\n"
    L"    Duties to do - modified 119 10183/10182\n"
    L"      All duties 112 10181/10180\n"
    L"      List modified duties 113 10177/10176\n"
    L"      Tasks 116 10183/10182\n"
    L"        A 114 B 10181/10180\n"
    L"        B 115 B 10181/10180\n"
    L"      Locations 118 10183/10182\n"
    L"        L 117 B 10181/10180\n"
    L"    Define weekend duties 120 10181/10180\n"
    L"    List weekend duties 121 10177/10176\n"
    L"    Define holidays 122 10181/10180\n"
    L"    List holidays 123 10177/10176\n"
    L"  Rules 140 10183/10182\n"
    L"    Can't dos 129 10183/10182\n"
    L"      Doctors 126 10183/10182\n"
    L"        Ann 125 B bmp/bmp\n"
    L"      Practices and groups 127 10183/10182\n"
    L"      List Can't Dos 128 10177/10176\n"
    L"    Ties 135 10183/10182\n"
    L"      Global ties 130 10181/10180\n"
    L"      Doctor ties 132 10183/10182\n"
    L"        Ann 131 B bmp/bmp\n"
    L"      Practice and group ties 133 10183/10182\n"
    L"      List ties 134 10177/10176\n"
    L"    Loadings 139 10183/10182\n"
    L"      Weekdays 136 B 10177/10176\n"
    L"      Weekends 137 B 10177/10176\n"
    L"      Totals (calculated) 138 B 10177/10176\n"
    L"  Roster 154 10179/10178\n"
    L"    Generator 141 B 10174/10174\n"
    L"    Display & edit 151 B 10183/10182\n"
    L"      All duties 142 10181/10180\n"
    L"      Doctors 144 10183/10182\n"
    L"        Ann 143 B bmp/bmp\n"
    L"      Practices and groups 145 10183/10182\n"
    L"      Tasks 148 10183/10182\n"
    L"        A 146 B 10181/10180\n"
    L"        B 147 B 10181/10180\n"
    L"      Locations 150 10183/10182\n"
    L"        L 149 B 10181/10180\n"
    L"    List of assignments 152 B 10177/10176\n"
    L"    List of unassigned duties 153 B 10177/10176\n"
    L"  Results Statistics 163 10183/10182\n"
    L"    Totals 155 B 10177/10176\n"
    L"    Days 156 B 10177/10176\n"
    L"    Weekends 157 B 10177/10176\n"
    L"    Slots 158 B 10177/10176\n"
    L"    Day-slots 159 B 10177/10176\n"
    L"    Tasks 160 B 10177/10176\n"
    L"    Locations 161 B 10177/10176\n"
    L"    Holidays 162 B 10177/10176\n"
    L"  Help 164 B 10173/10173\n";

TEST_F(CommandTree, AFullDocumentGivesTheWholeTreeInPostOrderAndTwoBuildsNumberAlike) {
  Document(Example());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_and_draw_tree(); });
    EXPECT_EQ(ControlTree(), kExampleTree);
    EXPECT_EQ(Expanded(), (V{L"C-tree", L"Input Data"}));
    // Built again: the same numbers, and the control refuses none of them
    // because the old items went first.
    EXPECT_EQ(BuiltTree(), kExampleTree);
    Run([] { comtree::rebuild_and_draw_tree(); });
    EXPECT_EQ(ControlTree(), kExampleTree);
    EXPECT_FALSE(comtree::db2.rebuilding);
  });
}

TEST_F(CommandTree, NamesAreShownWholeAndBranchesWithoutEntriesStay) {
  RosterSpec s = Bare();
  const std::wstring longName(999, L'x');
  s.tasks = {L"Nacht\u00e4rztin", longName};
  s.locations = {L"\u0141\u00f3d\u017a \u2013 Nord"};
  Document(s);
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_and_draw_tree(); });
    const std::wstring tree = ControlTree();
    EXPECT_NE(tree.find(L"        Nacht\u00e4rztin 114 B"), std::wstring::npos) << Narrow(tree);
    EXPECT_NE(tree.find(L"        " + longName + L" 115 B"), std::wstring::npos);
    EXPECT_NE(tree.find(L"        \u0141\u00f3d\u017a \u2013 Nord 117 B"), std::wstring::npos) << Narrow(tree);
    // No doctor and no group: their branches are there, empty.
    EXPECT_NE(tree.find(L"      Doctors 125 10183/10182\n      Practices and groups 126"), std::wstring::npos)
        << Narrow(tree);
  });
}

// --- Rebuild check -------------------------------------------------------------------

TEST_F(CommandTree, TheRebuildCheckComparesTheThreeCounts) {
  RosterSpec s = Example();
  s.doctors = {{L"Ann", {}}, {L"Bob", {}}};
  Document(s);
  struct Case {
    const char* what;
    std::function<void()> change;
    bool rebuild;
  } cases[] = {
      {"first check", [] {}, true},
      {"no change", [] {}, false},
      {"task added", [] { all::tasks::add_task(3, L"C"); }, true},
      {"one doctor out and one in",
       [] {
         all::staff_db::del_person(L"Bob");
         all::staff_db::add_name(L"Cy");
       },
       false},
      {"location removed", [] { all::locations::add_loc(1, L""); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    comtree::db4.xdb_do_rebuild.set(false);
    Run([&] {
      c.change();
      comtree::check_if_need_to_rebuild();
    });
    EXPECT_EQ(comtree::db4.xdb_do_rebuild.get(), c.rebuild);
  }
  EXPECT_EQ(comtree::db1.xnum_people.get(), 2u);
  EXPECT_EQ(comtree::db1.xnum_tasks.get(), 3u);
  EXPECT_EQ(comtree::db1.xnum_locs.get(), 0u);
}

TEST_F(CommandTree, AConditionalRebuildAfterAForcedOneOnlySetsTheFont) {
  Document(Example());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    EXPECT_FALSE(comtree::db4.xdb_do_rebuild.get());
    const std::wstring before = ControlTree();
    Run([] { all::tasks::add_task(3, L"C"); });
    SetFocus(TitlePane());
    Run([] { comtree::rebuild_com_tree(false); });
    EXPECT_EQ(ControlTree(), before);
    EXPECT_EQ(GetFocus(), TitlePane()) << "no rebuild, no focus moved";
    // Marked by the check, the next conditional request rebuilds.
    Run([] {
      comtree::check_if_need_to_rebuild();
      comtree::rebuild_com_tree(false);
    });
    EXPECT_NE(ControlTree().find(L"        C 116 B"), std::wstring::npos) << Narrow(ControlTree());
    EXPECT_EQ(GetFocus(), TopPane());
  });
}

TEST_F(CommandTree, AMissingTypicalWeekIsNotedOnce) {
  Document(Example());
  Run([] { comtree::warn_if_necessary(); });
  EXPECT_EQ(rec().shown(), (std::vector<rztest::DialogRecorder::Shown>{
                               {L"note", L"You have not set up the 'typical week' - No duties are to be done"}}));
  RosterSpec s = Example();
  s.typical = {{1003, {L"A", L"L", s.slots[0]}}};
  kalmora_DB::uninit();
  Document(s);
  Run([] { comtree::warn_if_necessary(); });
  EXPECT_TRUE(rec().shown().empty());
}

// --- Layout --------------------------------------------------------------------------

TEST_F(CommandTree, TheLayoutFollowsTheClientHeightTheFlagsAndTheOptions) {
  struct Case {
    const char* what;
    PaneFlags flags;
    int32_t title, stats;  // stored before; -1: none
    std::string titleRect, topRect, bottomRect;
    int32_t titleAfter, statsAfter;
    bool titleShown, statsShown;
  } cases[] = {
      {"no options", {true, true}, -1, -1, "250,0,900,30", "250,30,900,420", "250,420,900,600", 30, 180, true, true},
      {"stored", {true, true}, 50, 100, "250,0,900,50", "250,50,900,500", "250,500,900,600", 50, 100, true, true},
      {"title hidden", {false, true}, 50, 100, "", "250,0,900,500", "250,500,900,600", 50, 100, false, true},
      {"statistics hidden", {true, false}, 50, 5000, "250,0,900,50", "250,50,900,600", "", 50, 5000, true, false},
      {"out of range", {true, true}, 200, 800, "250,0,900,30", "250,30,900,420", "250,420,900,600", 30, 180, true,
       true},
      {"negative and too low", {true, true}, -7, 11, "250,0,900,30", "250,30,900,589", "250,589,900,600", 30, 11,
       true, true},
      {"higher than the client", {true, true}, 11, 600, "250,0,900,11", "250,11,900,420", "250,420,900,600", 11, 180,
       true, true},
      {"huge", {true, true}, 2147483647, 2147483647, "250,0,900,30", "250,30,900,420", "250,420,900,600", 30, 180,
       true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Run([&] {
      options::remove(L"title_height");
      options::remove(L"stat_win_height");
      if (c.title != -1) options::various_i(L"title_height", c.title);
      if (c.stats != -1) options::various_i(L"stat_win_height", c.stats);
    });
    InTree([&](LONG_PTR) {
      EXPECT_EQ(IsWindowVisible(TitlePane()) != 0, c.titleShown);
      EXPECT_EQ(IsWindowEnabled(TitlePane()) != 0, c.titleShown);
      EXPECT_EQ(IsWindowVisible(BottomPane()) != 0, c.statsShown);
      EXPECT_EQ(IsWindowEnabled(BottomPane()) != 0, c.statsShown);
      if (c.titleShown) {
        EXPECT_EQ(Text(Placed(TitlePane())), c.titleRect);
      }
      EXPECT_EQ(Text(Placed(TopPane())), c.topRect);
      EXPECT_EQ(Text(Placed(BottomPane())), c.statsShown ? c.bottomRect : "250,600,900,600");
      EXPECT_EQ(Text(Placed(Tree())), "0," + std::to_string(QEL_KWI::kwi_GetAttrVal(506)) + ",250,599");
      EXPECT_EQ(Option(L"title_height"), c.titleAfter);
      EXPECT_EQ(Option(L"stat_win_height"), c.statsAfter);
    }, c.flags);
  }
}

TEST_F(CommandTree, TheTitleMenuHoldsNineCommandsAndEachChangesTheLayout) {
  struct Case {
    const char* what;
    int position;
    int32_t title, stats;
    uint32_t border;
    int clientHeight;
    int32_t titleAfter, statsAfter;
    uint32_t borderAfter;
  } cases[] = {
      {"taller title", 0, 30, 180, 250, 600, 40, 180, 250},
      {"shorter title 25", 1, 25, 180, 250, 600, 15, 180, 250},
      {"shorter title 15: 10, then 5 %", 1, 15, 180, 250, 600, 30, 180, 250},
      {"wider tree", 3, 30, 180, 250, 600, 30, 180, 260},
      {"narrower tree 30", 4, 30, 180, 30, 600, 30, 180, 20},
      {"narrower tree 20", 4, 30, 180, 20, 600, 30, 180, 20},
      {"taller statistics", 7, 30, 180, 250, 600, 30, 220, 250},
      {"shorter statistics 900", 8, 30, 900, 250, 800, 30, 760, 250},
      {"shorter statistics 45: 5, then 30 %", 8, 30, 45, 250, 600, 30, 180, 250},
  };
  const V kItems = {L"10080 Make title taller",
                    L"10081 Make title shorter",
                    L"10082 Hide title",
                    L"-",
                    L"10083 Make command tree wider",
                    L"10084 Make command tree narrower",
                    L"-",
                    L"10085 Show statitics continuously",
                    L"10086 Hide statistics window",
                    L"10087 Make statistics window taller",
                    L"10088 Make statistics window shorter"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InTree([&](LONG_PTR task) {
      tktest::SetClientSize(task, 900, c.clientHeight);
      comtree::db5.xborder.set(c.border);
      Run([] { comtree::comtree_resize(); });
      // Stored as the command finds them (a layout would replace 900).
      Run([&] {
        options::various_i(L"title_height", c.title);
        options::various_i(L"stat_win_height", c.stats);
      });
      const PopupSeen seen = ChooseInTitleMenu(c.position);
      EXPECT_EQ(seen.items, kItems);
      EXPECT_EQ(Option(L"title_height"), c.titleAfter);
      EXPECT_EQ(Option(L"stat_win_height"), c.statsAfter);
      EXPECT_EQ(comtree::db5.xborder.get(), c.borderAfter);
      // The panes and the tree view's right edge follow.
      EXPECT_EQ(Placed(TitlePane()).left, static_cast<LONG>(c.borderAfter));
      EXPECT_EQ(Placed(TitlePane()).bottom, c.titleAfter);
      EXPECT_EQ(Placed(BottomPane()).top, c.clientHeight - c.statsAfter);
      EXPECT_EQ(Placed(Tree()).right, static_cast<LONG>(c.borderAfter));
    }, PaneFlags{true, true});
  }
}

TEST_F(CommandTree, TheSwitchesOfTheTitleMenuReachTheToggles) {
  InTree([&](LONG_PTR) {
    ChooseInTitleMenu(2);
    EXPECT_FALSE(comtree::db5.boo_showing_title);
    ChooseInTitleMenu(5);  // no document: not handled
    EXPECT_FALSE(comtree::db5.boo_show_bot_stat_win);
  });
  Document(Example());
  InTree([&](LONG_PTR) {
    ChooseInTitleMenu(5);
    EXPECT_TRUE(comtree::db5.boo_show_bot_stat_win);
    ChooseInTitleMenu(6);
    EXPECT_FALSE(comtree::db5.boo_show_bot_stat_win);
  });
}

// --- Handlers ------------------------------------------------------------------------

TEST_F(CommandTree, ALeftClickPopsNothingAndTheMouseShowsTheHelpLineInRed) {
  InTree([&](LONG_PTR) {
    SendMessageW(TitlePane(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 5));
    SendMessageW(TitlePane(), WM_LBUTTONUP, 0, MAKELPARAM(40, 5));
    tktest::Pump(300);
    HWND menu = FindWindowW(L"#32768", nullptr);
    EXPECT_FALSE(menu && IsWindowVisible(menu));
    SendMessageW(TitlePane(), WM_MOUSEMOVE, 0, MAKELPARAM(40, 5));
    EXPECT_EQ(std::wstring(comtree::db3.xcs_help.get().text), L"Right click HERE for window size settings");
    EXPECT_EQ(comtree::db3.xcs_help.get().number, 255);
  });
}

TEST_F(CommandTree, TheDateButtonsMoveAnOpenDutiesLayerByAWeek) {
  Document(TwoWeekSpec());
  InTree([&](LONG_PTR) {
    all::draw_dtbd* layer = nullptr;
    Run([&] {
      layer = all::draw_dtbd::new_dtbd(comtree::db6.xdata_wintop.get());
      comtree::db3.db_cal_dtbd.put_closing(layer, [](all::draw_dtbd*) {});
    });
    tktest::Pump(100);
    const uint64_t start = layer->cal.start_display();
    Run([] { comtree::try_show_titlewin_buttons(false); });
    SendMessageW(GetDlgItem(TitlePane(), 981), BM_CLICK, 0, 0);
    tktest::Pump(100);
    const uint64_t later = layer->cal.start_display();
    EXPECT_GT(later, start);
    Run([&] { layer->cal.move_start_time(-1); });
    EXPECT_EQ(layer->cal.start_display(), start) << "one step of the calendar's own";
    SendMessageW(GetDlgItem(TitlePane(), 982), BM_CLICK, 0, 0);
    tktest::Pump(100);
    EXPECT_EQ(start - layer->cal.start_display(), later - start);
    // The pane passed the click to the layer: both buttons shown.
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(TitlePane(), 981)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(TitlePane(), 982)));
    comtree::db3.db_cal_dtbd.take();
  });
}

// --- Timer ---------------------------------------------------------------------------

TEST_F(CommandTree, TheTimerTakesTheFocusFromTheTreeButLeavesACellEditorAlone) {
  Document(Example());
  InTree([&](LONG_PTR task) {
    SetFocus(Tree());
    tktest::PumpUntil([] { return GetFocus() == TopPane(); }, 3600);
    EXPECT_EQ(GetFocus(), TopPane());

    // A window inside the top pane keeps the focus over a tick.
    HWND inside = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 24, TopPane(), nullptr,
                                  nullptr, nullptr);
    SetFocus(inside);
    tktest::Pump(3500);
    EXPECT_EQ(GetFocus(), inside);
    DestroyWindow(inside);

    // A doctors list in the top pane (its handler takes the pane's events);
    // its cell editor on the "new->" row.
    all::drlibox* list = nullptr;
    Run([&] {
      list = all::drlibox::new_(comtree::db6.xdata_wintop.get());
      comtree::db3.db_drlibox.put(list);
    });
    std::vector<uint32_t> b;
    Run([&] {
      for (auto* x = list->get_boundaries(list->get_wyndow()); !x->Empty(); x = x->tail) b.push_back(x->head);
    });
    ASSERT_GE(b.size(), 5u);
    // The name column, 4th.
    POINT p{static_cast<LONG>(b[3] + b[4]) / 2, static_cast<LONG>(list->get_nth_y(list->input_line()))};
    ClientToScreen(TopPane(), &p);
    SetCursorPos(p.x, p.y);
    tktest::Pump(100);
    for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
      INPUT in{};
      in.type = INPUT_MOUSE;
      in.mi.dwFlags = flag;
      SendInput(1, &in, sizeof in);
    }
    tktest::Pump(200);
    HWND editor = GetFocus();
    ASSERT_TRUE(editor && IsChild(TopPane(), editor));
    // Typed over three ticks, a key every 0.95 s.
    const std::wstring name = L"Zo\u00eb Timer";
    for (wchar_t ch : name) {
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wScan = in[1].ki.wScan = ch;
      in[0].ki.dwFlags = KEYEVENTF_UNICODE;
      in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
      SendInput(2, in, sizeof(INPUT));
      tktest::Pump(950);
      EXPECT_EQ(GetFocus(), editor);
    }
    kwitest::SendKey(VK_RETURN, false), kwitest::SendKey(VK_RETURN, true);
    tktest::Pump(300);
    Run([&] { EXPECT_EQ(std::wstring(all::staff_db::list_staff()->tail->head), name); });
    (void)task;
  });
}

// --- Pictures ------------------------------------------------------------------------

// A picture's pixels as 0x00RRGGBB, row 0 at the top.
std::vector<uint32_t> Pixels(QEL_KWI::picture p) {
  std::vector<uint32_t> px(400, 0xDEADBEEF);
  HBITMAP bmp = QEL_KWI::pict_ToBmpHandle(p);
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 20, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  GetDIBits(dc, bmp, 0, 20, px.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  DeleteObject(bmp);
  for (uint32_t& v : px) v &= 0xFFFFFF;
  return px;
}

TEST_F(CommandTree, PicturesAreAnEllipseWithATickWhenAskedAndOneForEachLook) {
  InTree([&](LONG_PTR) {
    const rizediveva6::brush blue{2, 0xFF6464};  // red 100, green 100, blue 255
    QEL_KWI::picture plain = nullptr, ticked = nullptr;
    Run([&] {
      plain = comtree::make_pic(false, blue);
      ticked = comtree::make_pic(true, blue);
    });
    const std::vector<uint32_t> a = Pixels(plain), t = Pixels(ticked);
    const uint32_t white = 0xFFFFFF, fill = a[10 * 20 + 10];
    EXPECT_NE(fill, white);
    EXPECT_EQ(fill & 0xFF, 0xFFu) << std::hex << fill;  // blue 255
    // White outside the ellipse's bounds (0,4)-(20,16); its centre row
    // filled almost edge to edge; no outline pixel of another colour.
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(a[0 * 20 + x], white);
      EXPECT_EQ(a[3 * 20 + x], white);
      EXPECT_EQ(a[16 * 20 + x], white);
      if (x >= 1 && x <= 18) {
        EXPECT_EQ(a[10 * 20 + x], fill) << x;
      }
    }
    for (uint32_t v : a) EXPECT_TRUE(v == white || v == fill) << std::hex << v;
    // The tick: black only inside the bounds of the polygon (5,13) (8,16)
    // (16,5) (8,15); every other pixel as without it.
    int black = 0;
    for (int i = 0; i < 400; ++i) {
      const int x = i % 20, y = i / 20;
      if (t[i] == 0) {
        ++black;
        EXPECT_TRUE(x >= 5 && x <= 16 && y >= 5 && y <= 16) << x << "," << y;
      } else {
        EXPECT_EQ(t[i], a[i]) << x << "," << y;
      }
    }
    EXPECT_GT(black, 5);
    // One picture per look.
    Run([&] {
      EXPECT_EQ(comtree::make_pic(false, blue), plain);
      EXPECT_EQ(comtree::make_pic(true, blue), ticked);
      EXPECT_NE(comtree::make_pic(false, {2, 0x00FF00}), plain);
      EXPECT_NE(comtree::make_pic(false, {5, 0xFF6464}), plain);
    });
  });
}

TEST_F(CommandTree, DoctorsShareOnePictureAndPracticesHaveTheirOwn) {
  RosterSpec s = Example();
  s.groups = {L"P1", L"P2"};
  s.doctors = {{L"Ann", {L"P1"}}, {L"Bob", {L"P2"}}};
  Document(s);
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_and_draw_tree(); });
    std::vector<const tav::TreeTerm*> doctors, groups;
    Run([&] {
      std::function<void(const tav::TreeList*, const wchar_t*)> walk = [&](const tav::TreeList* l,
                                                                           const wchar_t* parent) {
        for (; l->functor == 1; l = l->next) {
          const std::wstring p = parent;
          if (p == L"Doctors" && l->head->bitmap->functor == 3) doctors.push_back(l->head);
          if (p == L"Practices and groups" && l->head->bitmap->functor == 3) groups.push_back(l->head);
          walk(l->head->children, l->head->text);
        }
      };
      walk(tav::kwiTreeView::get_all(comtree::db6.xtreeviewwin.get()), L"");
    });
    ASSERT_EQ(doctors.size(), 4u);  // under "Can't dos" and "Display & edit"
    ASSERT_EQ(groups.size(), 4u);
    for (const tav::TreeTerm* d : doctors) {
      EXPECT_EQ(d->bitmap->payload, doctors[0]->bitmap->payload);
      EXPECT_EQ(d->selectedBitmap->payload, doctors[0]->selectedBitmap->payload);
      EXPECT_NE(d->bitmap->payload, d->selectedBitmap->payload);
    }
    EXPECT_NE(groups[0]->bitmap->payload, groups[1]->bitmap->payload);
    EXPECT_EQ(groups[0]->bitmap->payload, groups[2]->bitmap->payload);
  });
}

TEST_F(CommandTree, FiveHundredRebuildsKeepTheImagesAndPicturesOfTheFirst) {
  Document(Many());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_and_draw_tree(); });
    HIMAGELIST images = TreeView_GetImageList(NativeTree(), TVSIL_NORMAL);
    const int imagesAfterFirst = ImageList_GetImageCount(images);
    const uint32_t picturesAfterFirst = comtree::pictures_made();
    EXPECT_GT(imagesAfterFirst, 11);
    for (int i = 0; i < 500; ++i) Run([] { comtree::rebuild_and_draw_tree(); });
    EXPECT_EQ(ImageList_GetImageCount(images), imagesAfterFirst);
    EXPECT_EQ(comtree::pictures_made(), picturesAfterFirst);
  });
}

// --- Title and help line ----------------------------------------------------------------

TEST_F(CommandTree, TheBandAndTheHelpLineFollowThePaneHeightAndTheFontScales) {
  struct Band {
    int height;
    int band, help;  // band height, help top
  } bands[] = {{100, 35, 40}, {50, 18, 20}, {30, 11, 12}};
  struct Font {
    int size, title;
  } fonts[] = {{10, 16}, {9, 14}, {15, 24}};
  InTree([&](LONG_PTR) {
    for (const Band& b : bands) {
      SCOPED_TRACE(b.height);
      Run([&] { options::various_i(L"title_height", b.height); });
      Run([] { comtree::comtree_resize(); });
      RECT client;
      GetClientRect(TitlePane(), &client);
      ASSERT_EQ(client.bottom, b.height);
      // Painted: text pixels only inside the band and the help rectangle.
      comtree::db3.xtitle.set(L"WWWWWWWWWWWWWWWWWWWWWWWW");
      Run([] { comtree::update_cs_help(0, L"MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"); });
      RedrawWindow(TitlePane(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      tktest::Pump(100);
      const int w = client.right;
      HDC screen = GetDC(TitlePane());
      HDC mem = CreateCompatibleDC(screen);
      BITMAPINFO info{};
      info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -b.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      void* bits = nullptr;
      HBITMAP dib = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      HGDIOBJ old = SelectObject(mem, dib);
      BitBlt(mem, 0, 0, w, b.height, screen, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      const auto* px = static_cast<const uint32_t*>(bits);
      // The pane's own background, between the band and the help line.
      const uint32_t background = px[b.band * w + w - 1] & 0xFFFFFF;
      int inBand = 0, inHelp = 0, outside = 0;
      for (int y = 0; y < b.height; ++y)
        for (int x = 30; x < w; ++x) {
          const uint32_t v = px[y * w + x] & 0xFFFFFF;
          if (v == 0xFFFFFF || v == background) continue;
          if (y < b.band) ++inBand;
          else if (y >= b.help) ++inHelp;
          else ++outside;
        }
      DeleteObject(dib);
      DeleteDC(mem);
      ReleaseDC(TitlePane(), screen);
      EXPECT_GT(inBand, 0);
      EXPECT_GT(inHelp, 0);
      EXPECT_EQ(outside, 0);
    }
    for (const Font& f : fonts) {
      SCOPED_TRACE(f.size);
      uint8_t* before = nullptr;
      Run([&] {
        before = const_cast<uint8_t*>(options::opt_font());
        QEL_KWI::ilist_struct* styles = nullptr;
        int size = 0;
        QEL_KWI::font_GetAttrs(before, &styles, &size);
        options::opt_font(QEL_KWI::font_SetAttrs(before, styles, f.size));
        comtree::update_title();
      });
      // The title pane's font now: the list font at 1.6 times the size.
      Run([&] {
        QEL_KWI::ilist_struct* styles = nullptr;
        int size = 0;
        const uint8_t* font = QEL_KWI::win_GetFont(comtree::db6.xtitle_win.get());
        QEL_KWI::font_GetAttrs(const_cast<uint8_t*>(font), &styles, &size);
        EXPECT_EQ(size, f.title);
        options::opt_font(before);
      });
    }
  });
}

TEST_F(CommandTree, EveryVerdictHasItsExactText) {
  RosterSpec s = GateSpec();
  Document(s);
  std::wstring first, second, d1, d2;
  Run([&] {
    first = KeyOf({1, 1, {L"Ward", L"Main", L"early"}});
    second = KeyOf({1, 2, {L"Ward", L"Main", L"late"}});
    const all::DutyTerm *a = nullptr, *b = nullptr;
    ASSERT_TRUE(all::sc_phase1::get_duty_by_key(first.c_str(), &a));
    ASSERT_TRUE(all::sc_phase1::get_duty_by_key(second.c_str(), &b));
    const wchar_t *x = nullptr, *where = nullptr;
    kalmora_DB::duty_desc1(a->dat, &x, &where);
    d1 = x;
    kalmora_DB::duty_desc1(b->dat, &x, &where);
    d2 = x;
  });
  const all::TieDatTerm *live = nullptr, *gone = nullptr;
  Run([&] {
    live = all::MakeTieDat({all::which_kind::person_tie, L"Bob", tav::HeapCopy(first.c_str()),
                            tav::HeapCopy(second.c_str()), all::tie_kind::must_do, all::repeat_kind::repeat_week,
                            all::spec_kind::tlsd_spec});
    gone = all::MakeTieDat({all::which_kind::person_tie, L"Bob", L"no such key", tav::HeapCopy(second.c_str()),
                            all::tie_kind::must_do, all::repeat_kind::repeat_week, all::spec_kind::tlsd_spec});
  });
  all::RuleReasonTerm cantDo{1, {L"Bob's rule"}, 0};
  all::RuleReasonTerm tieRule{2, {nullptr}, 0};
  all::AssignReasonTerm busy{1, {0}}, assigned{3, {0}}, tieLive{2, {0}}, tieGone{2, {0}};
  tieLive.tie = live;
  tieGone.tie = gone;
  const all::ReasonTerm canDo{1, {nullptr}};
  all::ReasonTerm rule1{2, {&cantDo}}, rule2{2, {&tieRule}};
  all::ReasonTerm a1{3, {nullptr}}, a2{3, {nullptr}}, a3{3, {nullptr}}, a4{3, {nullptr}}, unknown{4, {nullptr}};
  a1.assign = &busy;
  a2.assign = &assigned;
  a3.assign = &tieLive;
  a4.assign = &tieGone;
  unknown.text = L"why";
  struct Case {
    const all::ReasonTerm* verdict;
    std::wstring text;
  } cases[] = {
      {&canDo, L"Can do it s"},
      {&rule1, L"Can't do it Bob's rule s"},
      {&rule2, L"Tie (rule) prevents this s"},
      {&a1, L"Is busy doing something else s"},
      {&a3, L"Tie prevents this person_tie(\"Bob\") s" + d1 + L":\n" + d2},
      {&a4, L"Tie (assign) prevents this s"},
      {&a2, L"Already assigned s"},
      {&unknown, L"Cannot assign - ?? s why"},
  };
  for (const Case& c : cases) {
    std::wstring got;
    Run([&] { got = comtree::verdict_text(L"s", c.verdict); });
    EXPECT_EQ(got, c.text);
  }
  // Shown in the help line once the panes exist; a 2,000-character text too.
  InTree([&](LONG_PTR) {
    Run([&] { comtree::update_cs_help(255, L"", &a3); });
    EXPECT_EQ(std::wstring(comtree::db3.xcs_help.get().text), L"Tie prevents this person_tie(\"Bob\") " + d1 + L":\n" + d2);
    EXPECT_EQ(comtree::db3.xcs_help.get().number, 255);
    const std::wstring longText(2000, L'w');
    Run([&] { comtree::update_cs_help(0, longText.c_str()); });
    EXPECT_EQ(std::wstring(comtree::db3.xcs_help.get().text), longText);
  });
}

// --- Closing ---------------------------------------------------------------------------

TEST_F(CommandTree, DeleteCalKeepsTheLayerForStatisticsShownContinuously) {
  Document(TwoWeekSpec());
  InTree([&](LONG_PTR) {
    all::draw_hols* layer = nullptr;
    Run([&] {
      layer = all::draw_hols::new_hols(comtree::db6.xdata_wintop.get());
      comtree::db3.db_cal_hols.put_closing(layer, [](all::draw_hols*) {});
    });
    Run([] { comtree::try_show_titlewin_buttons(true); });
    comtree::db5.boo_show_bot_stat_win = true;
    Run([] { comtree::delete_cal(2); });
    EXPECT_EQ(comtree::db3.db_cal_hols.view, layer);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(TitlePane(), 981))) << "untouched";
    comtree::db5.boo_show_bot_stat_win = false;
    Run([] { comtree::delete_cal(2); });
    EXPECT_FALSE(comtree::db3.db_cal_hols.present());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(TitlePane(), 981))) << "no duties layer: hidden";
  }, PaneFlags{true, false});
}

TEST_F(CommandTree, DeleteLiboxesClosesEveryViewInOrderWithItsExtraWork) {
  Document(Example());
  InTree([&](LONG_PTR) {
    const LONG_PTR top = comtree::db6.xdata_wintop.get();
    all::drlibox* doctors = nullptr;
    all::praclibox* practices = nullptr;
    all::loclibox* locations = nullptr;
    all::tasklibox* tasks = nullptr;
    Run([&] {
      doctors = all::drlibox::new_(top);
      practices = all::praclibox::new_(top);
      locations = all::loclibox::new_(top);
      tasks = all::tasklibox::new_(top);
      comtree::db3.db_drlibox.put(doctors);
      comtree::db3.db_praclibox.put(practices);
      comtree::db3.db_loclibox.put(locations);
      comtree::db3.db_tasklibox.put(tasks);
      comtree::rebuild_com_tree(true);
      comtree::check_if_need_to_rebuild();
    });
    comtree::db4.xdb_do_rebuild.set(false);
    // A task added while the lists are open: the tasks list's closing
    // rebuilds the tree.
    Run([] { all::tasks::add_task(3, L"C"); });
    SetFocus(TitlePane());
    Run([] { comtree::delete_liboxes(); });
    EXPECT_FALSE(comtree::db3.db_drlibox.present());
    EXPECT_FALSE(comtree::db3.db_praclibox.present());
    EXPECT_FALSE(comtree::db3.db_loclibox.present());
    EXPECT_FALSE(comtree::db3.db_tasklibox.present());
    // Every list window is gone from the pane.
    EXPECT_EQ(GetWindow(TopPane(), GW_CHILD), nullptr);
    EXPECT_NE(ControlTree().find(L"        C 116 B"), std::wstring::npos) << Narrow(ControlTree());
    EXPECT_EQ(GetFocus(), TopPane()) << "the rebuild moved the focus";
    // Nothing open: nothing rebuilt.
    const tav::TreeTerm* inserted = comtree::db6.inserted;
    Run([] { comtree::delete_liboxes(); });
    EXPECT_EQ(comtree::db6.inserted, inserted);
  });
}

}  // namespace

// The task window's operations that the command tree calls: the test's
// task window is always active; a close goes through as scripted.
namespace alltest::taskwin {
bool closeGoesThrough = true;
int closes = 0;
}  // namespace alltest::taskwin

void all::taskWindow::set_title() {}
bool all::taskWindow::is_active() { return true; }
bool all::taskWindow::close_kalmora_file() {
  ++alltest::taskwin::closes;
  if (!alltest::taskwin::closeGoesThrough) return false;
  all::kalmora_DB::uninit();
  return true;
}

namespace {

// --- Items of the control --------------------------------------------------------------

// The control's item at a text path (root first); null: none.
HTREEITEM Item(const V& path) { return TreeItem(NativeTree(), path); }
// Selects the item in the control as the planner does; the callback runs.
void Select(const V& path) {
  HTREEITEM h = Item(path);
  ASSERT_TRUE(h) << Narrow(path.back());
  SendMessageW(NativeTree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(h));
  tktest::Pump(30);
}
// A real double click (or right click) on the item, through the input queue.
void ClickItem(const V& path, bool doubleClick, bool right = false) {
  HTREEITEM h = Item(path);
  ASSERT_TRUE(h) << Narrow(path.back());
  TreeView_EnsureVisible(NativeTree(), h);
  RECT r{};
  TreeView_GetItemRect(NativeTree(), h, &r, TRUE);
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(NativeTree(), &p);
  SetCursorPos(p.x, p.y);
  tktest::Pump(50);
  const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  for (int i = 0; i < (doubleClick ? 2 : 1); ++i)
    for (DWORD flag : {down, up}) {
      INPUT in{};
      in.type = INPUT_MOUSE;
      in.mi.dwFlags = flag;
      SendInput(1, &in, sizeof in);
    }
  tktest::Pump(300);
}

V PathOf(const rizediveva6::SList* p) {
  V out;
  for (; !p->Empty(); p = p->tail) out.push_back(p->head);
  return out;
}
const rizediveva6::SList* MakePath(const V& texts) {
  rizediveva6::ListBuilder<const wchar_t*> b(true);
  for (const std::wstring& t : texts) b.Add(tav::HeapCopy(t.c_str()));
  return b.Finish();
}

// The facts of the open-view registry that hold a view, in declaration order.
V OpenFacts() {
  const auto& d = comtree::db3;
  const std::pair<const wchar_t*, bool> facts[] = {
      {L"db_hol_libox", d.db_hol_libox.present()},   {L"db_we_libox", d.db_we_libox.present()},
      {L"db_drlibox", d.db_drlibox.present()},       {L"db_praclibox", d.db_praclibox.present()},
      {L"db_loclibox", d.db_loclibox.present()},     {L"db_list_51_files", d.db_list_51_files.present()},
      {L"db_tasklibox", d.db_tasklibox.present()},   {L"db_loadlibox", d.db_loadlibox.present()},
      {L"db_stats_tab", !d.db_stats_tab.empty()},    {L"db_duties_libox", d.db_duties_libox.present()},
      {L"db_modates_libox", d.db_modates_libox.present()}, {L"db_cannot_libox", d.db_cannot_libox.present()},
      {L"db_ties_libox", d.db_ties_libox.present()}, {L"db_cal_dtbd", d.db_cal_dtbd.present()},
      {L"db_cal_assign", d.db_cal_assign.present()}, {L"db_cal_cant_do", d.db_cal_cant_do.present()},
      {L"db_cal_ties", d.db_cal_ties.present()},     {L"db_cal_hols", d.db_cal_hols.present()},
      {L"db_cal_we", d.db_cal_we.present()},         {L"db_typ", d.db_typ.present()},
      {L"db_caldef_dlg", d.db_caldef_dlg.present()},
  };
  V out;
  for (auto [name, held] : facts)
    if (held) out.push_back(name);
  return out;
}
// A switch's answer.
int32_t Toggled(int32_t (*toggle)()) {
  volatile int32_t state = -1;
  EXPECT_EQ(RunTrapped([&] { state = toggle(); }), 0u);
  return state;
}
std::wstring HelpText() { return comtree::db3.xcs_help.get().text; }
std::wstring TitleText() { return comtree::db3.xtitle.get(); }
bool Visible(HWND w) { return IsWindowVisible(w) != FALSE; }
bool ButtonsShown() { return Visible(GetDlgItem(TitlePane(), 981)) && Visible(GetDlgItem(TitlePane(), 982)); }

// A document of the example with a typical week (Saturday A at L).
RosterSpec WithWeek() {
  RosterSpec s = Example();
  s.typical = {{1003, {L"A", L"L", s.slots[0]}}};
  return s;
}

// --- Selection ------------------------------------------------------------------------

struct SelectCase {
  V path;          // below the root
  const wchar_t* title;
  const wchar_t* help;  // null: not checked
  V facts;         // held after it
  bool buttons;    // date buttons shown
};

TEST_F(CommandTree, SelectingEachKindOfItemRunsItsRule) {
  const wchar_t* doctorsHelp =
      L"Click next to 'new->' to add a doctor. Edit a doctor name - make it blank to delete a doctor. Check a "
      L"practice/group column (s) to add to the group. ";
  const SelectCase cases[] = {
      {{}, L"", L"Double click to rebuild the C-tree (only if necessary)", {}, false},
      {{L"Close"}, L"", L"Double click to close the file", {}, false},
      {{L"Input Data", L"Doctors"}, L"List of Doctors", doctorsHelp, {L"db_drlibox"}, false},
      {{L"Input Data", L"Practices and groups"}, L"List of Practices",
       L"Click next to 'new->' to add a practice/group.\nRight Click for popup", {L"db_praclibox"}, false},
      {{L"Input Data", L"Locations"}, L"List of Locations",
       L"Click next to 'new->' to add a location. There must be at least one location.", {L"db_loclibox"}, false},
      {{L"Input Data", L"Tasks"}, L"List of Tasks/duties", nullptr, {L"db_tasklibox"}, false},
      {{L"Input Data", L"Duties to do - typical week", L"Sunday"}, L"Typical weekly duties (Sunday)",
       L"Select the duties that are usually done each Sunday.\nHold the CTRL key to make multiple selections.",
       {L"db_typ"}, false},
      {{L"Input Data", L"Duties to do - modified", L"All duties"}, L"Specific duties - Add/remove one-off duties",
       nullptr, {L"db_cal_dtbd"}, true},
      {{L"Input Data", L"Duties to do - modified", L"List modified duties"}, L"Modified duties", nullptr,
       {L"db_modates_libox"}, false},
      {{L"Input Data", L"List weekend duties"}, L"Weekends", nullptr, {L"db_we_libox"}, false},
      {{L"Input Data", L"Define weekend duties"}, L"Weekend duties", nullptr, {L"db_cal_we"}, true},
      {{L"Input Data", L"List holidays"}, L"Holidays", nullptr, {L"db_hol_libox"}, false},
      {{L"Input Data", L"Define holidays"}, L"Holidays", nullptr, {L"db_cal_hols"}, true},
      {{L"Rules", L"Can't dos", L"Doctors", L"Ann"}, L"Can't do",
       L"Left or right click in a duty to set a rule (e.g. 'can't do Tuesdays')", {L"db_cal_cant_do"}, true},
      {{L"Rules", L"Can't dos", L"List Can't Dos"}, L"Can't do", L"Right click for a popup menu",
       {L"db_cannot_libox"}, false},
      {{L"Rules", L"Ties", L"Global ties"}, L"Ties", L"To make a tie, draw a line from one duty to another",
       {L"db_cal_ties"}, true},
      {{L"Rules", L"Ties", L"List ties"}, L"Ties", nullptr, {L"db_ties_libox"}, false},
      {{L"Rules", L"Loadings", L"Weekdays"}, L"Weekday loadings", nullptr, {L"db_loadlibox"}, false},
      {{L"Rules", L"Loadings", L"Totals (calculated)"}, L"Total loadings", nullptr, {L"db_loadlibox"}, false},
      {{L"Roster", L"Display & edit", L"All duties"}, L"Roster",
       L"Add, remove and drag assignments to duties to be done.", {L"db_cal_assign"}, true},
      {{L"Roster", L"List of assignments"}, L"Assignments", L"Order by column by clicking on the title",
       {L"db_duties_libox"}, false},
      {{L"Roster", L"List of unassigned duties"}, L"Unassigned Duties", nullptr, {L"db_duties_libox"}, false},
      {{L"Results Statistics", L"Days"}, L"Results Statistics", L"RIGHT CLICK for further options",
       {L"db_stats_tab"}, false},
      {{L"Roster"}, L"", L"", {}, false},  // rule D: nothing closed
      {{L"Help"}, L"Help", L"Right click on a C-tree item for context-sensitive help", {L"db_stats_tab"}, false},
  };
  Document(WithWeek());
  all::html_help_fn help = all::helpinfo::set_htmlhelp([](HWND, LPCWSTR, UINT, DWORD_PTR) -> HWND { return nullptr; });
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    for (const SelectCase& c : cases) {
      V path{L"C-tree"};
      path.insert(path.end(), c.path.begin(), c.path.end());
      SCOPED_TRACE(Narrow(path.back()));
      Select(path);
      EXPECT_EQ(PathOf(comtree::db1.xdb_selected.get()), path);
      EXPECT_EQ(TitleText(), c.title);
      if (c.help) {
        EXPECT_EQ(HelpText(), c.help);
        EXPECT_EQ(comtree::db3.xcs_help.get().number, 0);
      }
      if (c.path == V{L"Roster"}) {
        EXPECT_EQ(OpenFacts(), V{L"db_stats_tab"}) << "rule D closes nothing";
        continue;
      }
      EXPECT_EQ(OpenFacts(), c.facts);
      EXPECT_EQ(ButtonsShown(), c.buttons);
      if (!c.facts.empty() && c.facts[0].find(L"libox") != std::wstring::npos) {
        EXPECT_NE(GetWindow(TopPane(), GW_CHILD), nullptr) << "the list's window stands in the top pane";
        int lo = -1, hi = -1;
        GetScrollRange(TopPane(), SB_VERT, &lo, &hi);
        EXPECT_EQ(hi, 0) << "scroll range reset";
      }
    }
  });
  all::helpinfo::set_htmlhelp(help);
}

TEST_F(CommandTree, TheLoadingsKindsAndTheSectionItemsKeepTheirOwnShape) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    const std::pair<const wchar_t*, all::what_stat> kinds[] = {
        {L"Weekdays", {all::stat_kind::weekend, 0, 0}},
        {L"Weekends", {all::stat_kind::weekend, 1, 0}},
        {L"Totals (calculated)", {all::stat_kind::total, 0, 0}}};
    for (auto [text, kind] : kinds) {
      Select({L"C-tree", L"Rules", L"Loadings", text});
      EXPECT_TRUE(comtree::db3.db_loadlibox.key == kind) << Narrow(text);
    }
    // "Can't dos" itself: title and help, the data pane as it was.
    Select({L"C-tree", L"Rules", L"Can't dos"});
    EXPECT_EQ(TitleText(), L"");
    EXPECT_EQ(HelpText(), L"Left or right click in a duty to set a rule (e.g. 'can't do Tuesdays')");
    EXPECT_EQ(OpenFacts(), V{L"db_loadlibox"});
    // "Display & edit" and its group items: step 0 alone.
    comtree::db3.xtitle.set(L"kept");
    for (const V& p : {V{L"C-tree", L"Roster", L"Display & edit"}, V{L"C-tree", L"Roster", L"Display & edit", L"Tasks"},
                       V{L"C-tree", L"Input Data", L"Duties to do - modified"}}) {
      Select(p);
      EXPECT_EQ(TitleText(), L"kept") << Narrow(p.back());
      EXPECT_EQ(HelpText(), L"");
      EXPECT_EQ(OpenFacts(), V{L"db_loadlibox"});
    }
  });
}

TEST_F(CommandTree, ALayerOfTheKindIsReusedForASecondDoctor) {
  RosterSpec s = WithWeek();
  s.doctors.push_back({L"Bob", {}});
  Document(s);
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    Select({L"C-tree", L"Rules", L"Can't dos", L"Doctors", L"Ann"});
    all::draw_cant_dos* layer = comtree::db3.db_cal_cant_do.view;
    ASSERT_NE(layer, nullptr);
    Select({L"C-tree", L"Rules", L"Can't dos", L"Doctors", L"Bob"});
    EXPECT_EQ(comtree::db3.db_cal_cant_do.view, layer);
    Select({L"C-tree", L"Roster", L"Display & edit", L"All duties"});
    all::draw_assign* assign = comtree::db3.db_cal_assign.view;
    EXPECT_FALSE(comtree::db3.db_cal_cant_do.present());
    Select({L"C-tree", L"Roster", L"Display & edit", L"Doctors", L"Bob"});
    EXPECT_EQ(comtree::db3.db_cal_assign.view, assign);
  });
}

TEST_F(CommandTree, StatisticsShownContinuouslyStandInTheBottomPane) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    Select({L"C-tree", L"Roster", L"Display & edit", L"All duties"});
    EXPECT_EQ(Toggled(&comtree::toggle_show_stats_continuously), 1);
    EXPECT_EQ(OpenFacts(), (V{L"db_stats_tab", L"db_cal_assign"}));
    EXPECT_EQ(comtree::db3.db_stats_tab[0].window, comtree::db6.xdata_winbot.get());
    EXPECT_TRUE(Visible(BottomPane()));
    EXPECT_EQ(TitleText(), L"Roster") << "the top pane's title stays";
    // Another statistics item: the table replaced in the bottom pane.
    Select({L"C-tree", L"Results Statistics", L"Days"});
    EXPECT_EQ(PathOf(comtree::db1.xstat_command.get()), (V{L"C-tree", L"Results Statistics", L"Days"}));
    EXPECT_EQ(comtree::db3.db_stats_tab.size(), 1u);
    EXPECT_EQ(comtree::db3.db_stats_tab[0].window, comtree::db6.xdata_winbot.get());
    EXPECT_TRUE(comtree::db3.db_cal_assign.present());
    EXPECT_EQ(Toggled(&comtree::toggle_show_stats_continuously), 0);
    EXPECT_FALSE(Visible(BottomPane()));
    // Shown in the top pane when not continuous; xstat_command kept.
    Select({L"C-tree", L"Results Statistics", L"Tasks"});
    EXPECT_EQ(comtree::db3.db_stats_tab[0].window, comtree::db6.xdata_wintop.get());
    EXPECT_EQ(PathOf(comtree::db1.xstat_command.get()), (V{L"C-tree", L"Results Statistics", L"Tasks"}));
  });
}

TEST_F(CommandTree, RuleTenLetsPendingEventsRunAndTheDialogKeepsTheFocus) {
  Document(WithWeek());
  std::vector<std::wstring> seen;
  InTree([&](LONG_PTR task) {
    Run([] { comtree::rebuild_com_tree(true); });
    // An event posted before the command runs inside it, after the list is
    // recorded and before its help line.  (Inside the tree's own
    // notification the layer runs no events: the refresh issues it here.)
    Select({L"C-tree", L"Input Data", L"Locations"});
    QEL_KWI::event_struct e{QEL_KWI::e_user, {0x77, 0}};
    QEL_KWI::win_PostEvent(task, &e);
    Run([] { comtree::update_any_liboxes(all::update_scope::all_views, {all::do_delete_selected::kind::dont_del, 0}); });
    ASSERT_EQ(seen.size(), 1u) << "taken inside the command";
    EXPECT_EQ(seen[0].back(), L'|') << "before the help line";
    EXPECT_EQ(HelpText(), L"Click next to 'new->' to add a location. There must be at least one location.");
    Select({L"C-tree", L"Input Data", L"Calendar definition"});
    EXPECT_EQ(OpenFacts(), V{L"db_caldef_dlg"});
    EXPECT_EQ(HelpText(), L"");
    EXPECT_EQ(TitleText(), L"Calendar definition");
    HWND focus = GetFocus();
    EXPECT_NE(focus, TopPane());
    Run([] { comtree::focus_on_cal(); });
    EXPECT_EQ(GetFocus(), focus) << "the dialog keeps the focus";
    Run([] { comtree::delete_liboxes(); });
  }, {}, [&](HWND, QEL_KWI::event_struct* e) -> LONG_PTR {
    if (e->kind == QEL_KWI::e_user && e->w[0] == 0x77) {
      seen.push_back((OpenFacts().empty() ? L"" : OpenFacts()[0]) + L"|" + HelpText());
      return 0;
    }
    Qel::RunTime::Kernel::Fail();
  });
}

TEST_F(CommandTree, AViewThatRaisesLeavesNoEntryAndASecondEntryRaises311) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    // No document: the list's constructor raises; nothing is recorded.
    kalmora_DB::uninit();
    const uint32_t code = RunTrapped([] { comtree::issue_command(MakePath({L"", L"Input Data", L"Doctors"})); });
    EXPECT_NE(code, 0u);
    if (code >= 65536) tav::exception::clear(code);
    EXPECT_TRUE(OpenFacts().empty());
    // A second view of a kind: the determ fact's error.
    static int dummy = 0;
    comtree::db3.db_drlibox.view = reinterpret_cast<all::drlibox*>(&dummy);
    const uint32_t twice = RunTrapped([] {
      all::registry::Record(comtree::db3.db_drlibox, L"db_drlibox", reinterpret_cast<all::drlibox*>(&dummy));
    });
    EXPECT_EQ(ErrorNumber(twice), 311u);
    if (twice >= 65536) tav::exception::clear(twice);
    comtree::db3.db_drlibox.take();
  });
}

// --- Requests to the open view -----------------------------------------------------------

struct RequestCase {
  V item;                         // the view opened (below the root)
  all::do_delete_selected selector;
  const wchar_t* fact;            // whose view is refreshed (a new object); null: none
};

TEST_F(CommandTree, EachEntryOfTheOpenViewRequestsReachesItsViewOnly) {
  using Sel = all::do_delete_selected::kind;
  const all::do_delete_selected dont{Sel::dont_del, 0}, del{Sel::do_del, 0}, refused{Sel::men_item, 1};
  const RequestCase cases[] = {
      {{L"Roster", L"List of unassigned duties"}, dont, L"db_duties_libox"},
      {{L"Input Data", L"Duties to do - modified", L"List modified duties"}, dont, L"db_modates_libox"},
      {{L"Input Data", L"List holidays"}, dont, L"db_hol_libox"},
      {{L"Input Data", L"List weekend duties"}, dont, L"db_we_libox"},
      {{L"Input Data", L"Doctors"}, dont, L"db_drlibox"},
      {{L"Input Data", L"Practices and groups"}, dont, L"db_praclibox"},
      {{L"Input Data", L"Locations"}, dont, L"db_loclibox"},
      {{L"Input Data", L"Tasks"}, dont, L"db_tasklibox"},
      {{L"Rules", L"Ties", L"List ties"}, dont, L"db_ties_libox"},
      {{L"Rules", L"Can't dos", L"List Can't Dos"}, dont, L"db_cannot_libox"},
      {{L"Rules", L"Loadings", L"Weekends"}, dont, L"db_loadlibox"},
      {{L"Rules", L"Loadings", L"Weekdays"}, dont, L"db_loadlibox"},
      // No entry: left alone.
      {{L"Rules", L"Loadings", L"Totals (calculated)"}, dont, nullptr},
      {{L"Input Data", L"Duties to do - typical week", L"Saturday"}, dont, nullptr},
      {{L"Results Statistics", L"Totals"}, dont, nullptr},
      {{L"Input Data", L"Duties to do - modified", L"List modified duties"}, del, nullptr},
      {{L"Input Data", L"Tasks"}, del, nullptr},
      // A pop-up id no view handles: refused, left alone.
      {{L"Input Data", L"Doctors"}, refused, nullptr},
      {{L"Results Statistics", L"Totals"}, refused, nullptr},
  };
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    for (const RequestCase& c : cases) {
      V path{L"C-tree"};
      path.insert(path.end(), c.item.begin(), c.item.end());
      SCOPED_TRACE(Narrow(path.back() + L" " + std::to_wstring(int(c.selector.what))));
      Select(path);
      const V before = OpenFacts();
      const all::what_stat kind = comtree::db3.db_loadlibox.key;
      const auto views = comtree::db3;
      const all::do_delete_selected selector = c.selector;
      Run([&] { comtree::update_any_liboxes(all::update_scope::all_views, selector); });
      EXPECT_EQ(OpenFacts(), before);
      const bool refreshed = comtree::db3.db_duties_libox.view != views.db_duties_libox.view ||
                             comtree::db3.db_modates_libox.view != views.db_modates_libox.view ||
                             comtree::db3.db_hol_libox.view != views.db_hol_libox.view ||
                             comtree::db3.db_we_libox.view != views.db_we_libox.view ||
                             comtree::db3.db_drlibox.view != views.db_drlibox.view ||
                             comtree::db3.db_praclibox.view != views.db_praclibox.view ||
                             comtree::db3.db_loclibox.view != views.db_loclibox.view ||
                             comtree::db3.db_tasklibox.view != views.db_tasklibox.view ||
                             comtree::db3.db_ties_libox.view != views.db_ties_libox.view ||
                             comtree::db3.db_cannot_libox.view != views.db_cannot_libox.view ||
                             comtree::db3.db_loadlibox.view != views.db_loadlibox.view;
      EXPECT_EQ(refreshed, c.fact != nullptr);
      EXPECT_TRUE(comtree::db3.db_loadlibox.key == kind) << "the loadings keep their kind";
      // calendar_only never reaches a list.
      const auto again = comtree::db3;
      Run([&] { comtree::update_any_liboxes(all::update_scope::calendar_only, selector); });
      EXPECT_EQ(comtree::db3.db_drlibox.view, again.db_drlibox.view);
      EXPECT_EQ(comtree::db3.db_duties_libox.view, again.db_duties_libox.view);
    }
    // The unassigned list refreshes as the list of assignments.
    Select({L"C-tree", L"Roster", L"List of unassigned duties"});
    Run([&] { comtree::update_any_liboxes(all::update_scope::all_views, dont); });
    EXPECT_EQ(TitleText(), L"Assignments");
  });
}

TEST_F(CommandTree, DeletionAndPopupIdsReachTheListAndANegativeIdRaisesOnlyWhenAnEntryApplies) {
  RosterSpec s = WithWeek();
  s.doctors.push_back({L"Bob", {}});
  Document(s);
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    using Sel = all::do_delete_selected::kind;
    // No view open: a negative id is never converted.
    Run([] { comtree::update_any_liboxes(all::update_scope::all_views, {Sel::men_item, -5}); });
    Select({L"C-tree", L"Input Data", L"Doctors"});
    const uint32_t code =
        RunTrapped([] { comtree::update_any_liboxes(all::update_scope::all_views, {Sel::men_item, -5}); });
    EXPECT_NE(ErrorNumber(code), 0u);
    if (code >= 65536) tav::exception::clear(code);
    // do_del: the doctors list deletes its checked rows (none: both stay).
    Run([] { comtree::update_any_liboxes(all::update_scope::all_views, {Sel::do_del, 0}); });
    Run([] { EXPECT_EQ(PathOf(all::staff_db::list_staff()).size(), 2u); });
    EXPECT_TRUE(comtree::db3.db_drlibox.present());
  });
}

TEST_F(CommandTree, TheCalendarStepRedrawsTheAssignmentLayerAlone) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    // Nothing open: every request succeeds and does nothing.
    using Sel = all::do_delete_selected::kind;
    for (Sel k : {Sel::do_del, Sel::dont_del, Sel::men_item})
      for (all::update_scope sc : {all::update_scope::all_views, all::update_scope::calendar_only})
        Run([&] { comtree::update_any_liboxes(sc, {k, 3}); });
    Select({L"C-tree", L"Roster", L"Display & edit", L"All duties"});
    all::draw_assign* layer = comtree::db3.db_cal_assign.view;
    tktest::Pump(100);
    ValidateRect(TopPane(), nullptr);
    Run([] { comtree::update_any_liboxes(all::update_scope::all_views, {Sel::dont_del, 0}); });
    EXPECT_EQ(comtree::db3.db_cal_assign.view, layer) << "no list command: the layer stays";
    EXPECT_EQ(TitleText(), L"Roster");
  });
}

TEST_F(CommandTree, DeleteStatLiboxesInItsFourCases) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    auto remove = [] { return Succeeds([] { comtree::delete_stat_liboxes(); }); };
    EXPECT_TRUE(remove()) << "nothing held";
    Select({L"C-tree", L"Results Statistics", L"Totals"});
    EXPECT_TRUE(remove()) << "top pane";
    EXPECT_TRUE(comtree::db3.db_stats_tab.empty());
    Run([] { comtree::toggle_show_stats_continuously(); });
    ASSERT_EQ(comtree::db3.db_stats_tab.size(), 1u);
    EXPECT_FALSE(remove()) << "bottom pane shown: stays";
    EXPECT_EQ(comtree::db3.db_stats_tab.size(), 1u);
    comtree::db5.boo_show_bot_stat_win = false;
    EXPECT_TRUE(remove()) << "bottom pane hidden";
    EXPECT_TRUE(comtree::db3.db_stats_tab.empty());
  });
}

// --- The callback -------------------------------------------------------------------------

TEST_F(CommandTree, NumbersNameTheItemsTheControlShowsAfterADoctorAndAPracticeWereAdded) {
  RosterSpec s = WithWeek();
  s.loads = {};
  Document(s);
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    // Added through the lists' store operations while the lists are open;
    // closing them rebuilds nothing.
    Select({L"C-tree", L"Input Data", L"Practices and groups"});
    Run([] { all::groups::add_group(L"P9"); });
    Select({L"C-tree", L"Input Data", L"Doctors"});
    Run([] { all::staff_db::add_name(L"Cy"); });
    Select({L"C-tree", L"Input Data", L"List holidays"});
    EXPECT_EQ(Item({L"C-tree", L"Rules", L"Can't dos", L"Doctors", L"Cy"}), nullptr) << "the tree is as before";
    Select({L"C-tree", L"Rules", L"Can't dos", L"List Can't Dos"});
    EXPECT_EQ(OpenFacts(), V{L"db_cannot_libox"});
    EXPECT_EQ(TitleText(), L"Can't do");
    Select({L"C-tree", L"Roster", L"Generator"});
    EXPECT_EQ(PathOf(comtree::db1.xdb_selected.get()), (V{L"C-tree", L"Roster", L"Generator"}));
    ClickItem({L"C-tree", L"Roster", L"Generator"}, true);
    EXPECT_EQ(TitleText(), L"Run the Generator");
    EXPECT_EQ(comtree::db4.db_engine, nullptr) << "the run ended";
    // A right click opens the help topic of the item under the pointer.
    std::vector<std::wstring> topics;
    static std::vector<std::wstring>* seen = nullptr;
    seen = &topics;
    all::helpinfo::set_htmlhelp([](HWND, const wchar_t* file, UINT, DWORD_PTR) -> HWND {
      seen->push_back(file ? file : L"");
      return nullptr;
    });
    ClickItem({L"C-tree", L"Rules", L"Ties", L"List ties"}, false, true);
    EXPECT_EQ(PathOf(comtree::db1.xdb_selected.get()), (V{L"C-tree", L"Roster", L"Generator"})) << "unchanged";
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_NE(topics[0].find(L"kalmora6.chm"), std::wstring::npos) << Narrow(topics[0]);
    all::helpinfo::set_htmlhelp(nullptr);
  });
}

TEST_F(CommandTree, DoubleClicksRebuildReissueCloseAndPostTheDocumentCommands) {
  Document(WithWeek());
  std::vector<int64_t> menus;
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    // The root: rebuilt once, no command.
    Select({L"C-tree"});
    const tav::TreeTerm* before = comtree::db6.inserted;
    ClickItem({L"C-tree"}, true);
    EXPECT_NE(comtree::db6.inserted, before);
    const tav::TreeTerm* once = comtree::db6.inserted;
    // "List files": the command again, the arrow after.
    Select({L"C-tree", L"Input Data", L"List holidays"});
    comtree::db1.xdb_selected.set(MakePath({L"C-tree", L"List files"}));
    ClickItem({L"C-tree", L"Input Data", L"List holidays"}, true);
    EXPECT_EQ(comtree::db6.inserted, once) << "no rebuild pending";
    EXPECT_EQ(OpenFacts(), V{L"db_list_51_files"});
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    Run([] { comtree::delete_liboxes(); });
    // "New rota" and "Open file" post their menu commands once.
    for (const wchar_t* item : {L"New rota", L"Open file"}) {
      comtree::db1.xdb_selected.set(MakePath({L"C-tree", item}));
      Run([] {
        const tav::TreeMessage m{tav::TreeMessageKind::dblclick, 0, 0};
        comtree::_comm_cb(comtree::db6.xtreeviewwin.get(), &m);
      });
      EXPECT_TRUE(comtree::db4.xdb_do_rebuild.get());
      tktest::Pump(100);
    }
    EXPECT_EQ(menus, (std::vector<int64_t>{10150, 10151}));
    // "Import KM5 file": the New command taken before the file question;
    // the question cancelled, the tree still rebuilt.
    menus.clear();
    rec().Clear();
    comtree::db1.xdb_selected.set(MakePath({L"C-tree", L"Import KM5 file"}));
    const tav::TreeTerm* beforeImport = comtree::db6.inserted;
    Run([] {
      const tav::TreeMessage m{tav::TreeMessageKind::dblclick, 0, 0};
      comtree::_comm_cb(comtree::db6.xtreeviewwin.get(), &m);
    });
    EXPECT_EQ(menus, (std::vector<int64_t>{10150}));
    ASSERT_EQ(rec().shown().size(), 1u);
    EXPECT_EQ(rec().shown()[0].kind, L"getfilename");
    EXPECT_NE(comtree::db6.inserted, beforeImport);
    EXPECT_FALSE(comtree::db4.xdb_do_rebuild.get());
    // "Close", refused: views closed, no rebuild, the command issued.
    comtree::db4.xdb_do_rebuild.set(false);
    Select({L"C-tree", L"Input Data", L"Doctors"});
    comtree::db1.xdb_selected.set(MakePath({L"C-tree", L"Close"}));
    taskwin::closeGoesThrough = false;
    const tav::TreeTerm* kept = comtree::db6.inserted;
    ClickItem({L"C-tree", L"Close"}, true);
    EXPECT_EQ(taskwin::closes, 1);
    EXPECT_EQ(comtree::db6.inserted, kept);
    EXPECT_TRUE(OpenFacts().empty());
    EXPECT_EQ(HelpText(), L"Double click to close the file");
    // Went through: the start tree.
    taskwin::closeGoesThrough = true;
    comtree::db5.boo_show_bot_stat_win = true;
    ClickItem({L"C-tree", L"Close"}, true);
    EXPECT_EQ(taskwin::closes, 2);
    EXPECT_FALSE(comtree::db5.boo_show_bot_stat_win);
    EXPECT_NE(Item({L"C-tree", L"New rota"}), nullptr);
  }, {}, [&](HWND, QEL_KWI::event_struct* e) -> LONG_PTR {
    if (e->kind == QEL_KWI::e_menu) {
      menus.push_back(e->w[0]);
      return 0;
    }
    Qel::RunTime::Kernel::Fail();
  });
}

TEST_F(CommandTree, MessagesDuringARebuildAndBadNumbers) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    Select({L"C-tree", L"Input Data", L"Tasks"});
    comtree::db2.rebuilding = true;
    Select({L"C-tree", L"Input Data", L"Doctors"});
    comtree::db2.rebuilding = false;
    EXPECT_EQ(PathOf(comtree::db1.xdb_selected.get()), (V{L"C-tree", L"Input Data", L"Tasks"}));
    EXPECT_EQ(OpenFacts(), V{L"db_tasklibox"});
    // A number that names nothing: the previous command again (a new list).
    all::tasklibox* list = comtree::db3.db_tasklibox.view;
    Run([] {
      const tav::TreeMessage m{tav::TreeMessageKind::selected, 0, 99999};
      comtree::_comm_cb(comtree::db6.xtreeviewwin.get(), &m);
    });
    EXPECT_NE(comtree::db3.db_tasklibox.view, list);
    // Above 2,147,483,647: the range error.
    const uint32_t code = RunTrapped([] {
      const tav::TreeMessage m{tav::TreeMessageKind::selected, 0, 0x80000000LL};
      comtree::_comm_cb(comtree::db6.xtreeviewwin.get(), &m);
    });
    EXPECT_NE(ErrorNumber(code), 0u);
    if (code >= 65536) tav::exception::clear(code);
    // Rule D for a path no rule knows.
    Run([] { comtree::issue_command(MakePath({L"C-tree", L"Nothing"})); });
    EXPECT_EQ(TitleText(), L"");
  });
}

// --- Engine runs ------------------------------------------------------------------------

// Events posted to the task window before a run, taken inside it.
constexpr int64_t kDuringRun = 0x78, kInnerRun = 0x79, kDestroyTask = 0x7A;
void PostUser(LONG_PTR task, int64_t what) {
  QEL_KWI::event_struct e{QEL_KWI::e_user, {what, 0}};
  QEL_KWI::win_PostEvent(task, &e);
}

TEST_F(CommandTree, AGeneratorRunHoldsTheEngineAndASecondRunReplacesIt) {
  Document(GeneratedSpec(5, 52));
  all::sc_engine* first = nullptr;
  all::sc_engine* second = nullptr;
  all::sc_engine* afterInner = reinterpret_cast<all::sc_engine*>(1);
  InTree([&](LONG_PTR task) {
    Run([] { comtree::rebuild_com_tree(true); });
    Select({L"C-tree", L"Roster", L"Display & edit", L"All duties"});
    PostUser(task, kDuringRun);
    const DWORD start = GetTickCount();
    Run([] { comtree::run_engine(all::engine_mode::run); });
    std::printf("two runs: %lu ms\n", GetTickCount() - start);
    EXPECT_EQ(comtree::db4.db_engine, nullptr) << "gone after";
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(Tree(), &dirty, FALSE)) << "the tree pane invalidated at the run's end";
    EXPECT_TRUE(GetUpdateRect(TopPane(), &dirty, FALSE)) << "the top pane invalidated at the run's end";
    EXPECT_NE(first, nullptr) << "held during the run";
    EXPECT_NE(second, nullptr);
    EXPECT_NE(second, first) << "the second run holds its own";
    EXPECT_EQ(afterInner, nullptr) << "the inner run ended first and removed its own";
    EXPECT_TRUE(first->boo_stop_generating) << "the first was stopped";
    EXPECT_TRUE(comtree::db3.db_cal_assign.present());
  }, {}, [&](HWND, QEL_KWI::event_struct* e) -> LONG_PTR {
    if (e->kind != QEL_KWI::e_user) Qel::RunTime::Kernel::Fail();
    if (e->w[0] == kDuringRun) {
      // Taken before the engine was made: again.
      if (!comtree::db4.db_engine) return PostUser(QEL_KWI::kwi_GetTaskWin(), kDuringRun), 0;
      first = comtree::db4.db_engine;
      PostUser(QEL_KWI::kwi_GetTaskWin(), kInnerRun);
      comtree::run_engine(all::engine_mode::run);
      afterInner = comtree::db4.db_engine;
    } else if (e->w[0] == kInnerRun) {
      second = comtree::db4.db_engine;
    } else {
      Qel::RunTime::Kernel::Fail();
    }
    return 0;
  });
  auto [code, text] = SavedAndChecked();
  EXPECT_EQ(code, 0u) << Narrow(text);
}

TEST_F(CommandTree, TheTaskWindowDestroyedUnderARunEndsTheRunAndTheLoopQuietly) {
  Document(GeneratedSpec(6, 52));
  bool returned = false;
  InTree([&](LONG_PTR task) {
    Run([] { comtree::rebuild_com_tree(true); });
    Select({L"C-tree", L"Roster", L"Display & edit", L"All duties"});
    PostUser(task, kDestroyTask);
    Run([] { comtree::run_engine(all::engine_mode::run); });
    returned = true;
    EXPECT_FALSE(IsWindow(H(task)));
    EXPECT_EQ(comtree::db4.db_engine, nullptr);
  }, {}, [&](HWND w, QEL_KWI::event_struct* e) -> LONG_PTR {
    if (e->kind != QEL_KWI::e_user || e->w[0] != kDestroyTask) Qel::RunTime::Kernel::Fail();
    if (!comtree::db4.db_engine) return PostUser(reinterpret_cast<LONG_PTR>(w), kDestroyTask), 0;
    DestroyWindow(w);
    return 0;
  });
  EXPECT_TRUE(returned);
}

// --- Switches and date buttons -------------------------------------------------------------

TEST_F(CommandTree, TheTitleSwitchAndTheDateButtonsFollowTheirState) {
  Document(WithWeek());
  InTree([&](LONG_PTR) {
    Run([] { comtree::rebuild_com_tree(true); });
    EXPECT_TRUE(comtree::db5.boo_showing_title);
    EXPECT_EQ(Toggled(&comtree::toggle_show_title), 0);
    EXPECT_FALSE(Visible(TitlePane()));
    comtree::db3.xtitle.set(L"Shown again");
    EXPECT_EQ(Toggled(&comtree::toggle_show_title), 1);
    EXPECT_TRUE(Visible(TitlePane()));
    // Date buttons: shown exactly while a duties-to-do layer is open.
    Select({L"C-tree", L"Input Data", L"Duties to do - modified", L"All duties"});
    Run([] { comtree::try_show_titlewin_buttons(); });
    EXPECT_TRUE(ButtonsShown());
    Select({L"C-tree", L"Input Data", L"Tasks"});
    EXPECT_FALSE(ButtonsShown());
    Run([] { comtree::try_show_titlewin_buttons(); });
    EXPECT_FALSE(ButtonsShown());
    // The pointer over ">": the advance text in red; a click moves 7 days.
    Select({L"C-tree", L"Input Data", L"Duties to do - modified", L"All duties"});
    Run([] { comtree::try_show_titlewin_buttons(); });
    all::draw_dtbd* layer = comtree::db3.db_cal_dtbd.view;
    HWND next = GetDlgItem(TitlePane(), 981);
    SendMessageW(next, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(HelpText(), L"click > to advance the display start date.\nPress ESC to reset the display start date and refresh");
    EXPECT_EQ(comtree::db3.xcs_help.get().number, 255);
    SendMessageW(GetDlgItem(TitlePane(), 982), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(HelpText(), L"click < to retreat the display start date.\nPress ESC to reset the display start date and refresh");
    const uint64_t start = layer->cal.start_display();
    SendMessageW(next, BM_CLICK, 0, 0);
    tktest::Pump(100);
    EXPECT_GT(layer->cal.start_display(), start);
    Run([&] { layer->cal.move_start_time(-1); });
    EXPECT_EQ(layer->cal.start_display(), start) << "one week later";
  });
}

}  // namespace
