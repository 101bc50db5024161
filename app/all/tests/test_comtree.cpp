// The command tree frame on real windows in a task window of kwi::init:
// its windows and timer, the tree read back from the control, the rebuild
// check, the pane layout and the title pane's menu (answered in the pop-up
// menu), the pane handlers, the timer's focus, the item pictures, the title
// and help line drawn, and the closing of views.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "comtree_session.h"
#include "dialog_test.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kwi/kwi.h"
#include "liboxes/drlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"
#include "mycal/draw_dtbd.h"
#include "mycal/draw_hols.h"
#include "phase1/sc_phase1.h"
#include "toolkit_test.h"

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
    ComtreeCalls().clear();
  }
  void TearDown() override {
    ResetComtree();
    DialogRoster::TearDown();
  }
  // Opens a new document made from the roster fixture description, in a file of its own.
  void Document(const RosterSpec& spec) {
    static int serial = 0;
    doc_ = New((L"r" + std::to_wstring(++serial) + L".km6").c_str());
    Run([&] { WriteSpec(spec); });
    doc_->set_as_modified(false);
    rec().Clear();
  }
  // The command tree made in a task window with a 900 x 600 client area;
  // body runs inside its loop.
  void InTree(const std::function<void(LONG_PTR task)>& body, PaneFlags flags = {}) {
    tktest::RunInTask([&](LONG_PTR task) {
      RelearnTreeViewClass();
      tktest::SetClientSize(task, 900, 600);
      SetForegroundWindow(H(task));
      comtree::db5.boo_showing_title = flags.title;
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
    });
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
    ComtreeCalls().clear();
    SetFocus(Tree());
    tktest::PumpUntil([] {
      if (GetFocus() == TopPane()) SetFocus(Tree());
      return false;
    }, 3500);
    int ticks = 0;
    for (const ComtreeCall& c : ComtreeCalls()) ticks += c.op == L"focus_on_cal";
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
    ComtreeCalls().clear();
    Run([] { comtree::rebuild_com_tree(false); });
    EXPECT_EQ(ControlTree(), before);
    EXPECT_TRUE(ComtreeCalls().empty());
    // Marked by the check, the next conditional request rebuilds.
    Run([] {
      comtree::check_if_need_to_rebuild();
      comtree::rebuild_com_tree(false);
    });
    EXPECT_NE(ControlTree().find(L"        C 116 B"), std::wstring::npos) << Narrow(ControlTree());
    ASSERT_FALSE(ComtreeCalls().empty());
    EXPECT_EQ(ComtreeCalls().back().op, L"focus_on_cal");
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
    ComtreeCalls().clear();
    ChooseInTitleMenu(2);
    ChooseInTitleMenu(5);  // no document: not handled
    V ops;
    for (const ComtreeCall& c : ComtreeCalls())
      if (c.op.rfind(L"toggle", 0) == 0) ops.push_back(c.op);
    EXPECT_EQ(ops, (V{L"toggle_show_title"}));
  });
  Document(Example());
  InTree([&](LONG_PTR) {
    ComtreeCalls().clear();
    ChooseInTitleMenu(5);
    ChooseInTitleMenu(6);
    V ops;
    for (const ComtreeCall& c : ComtreeCalls())
      if (c.op.rfind(L"toggle", 0) == 0) ops.push_back(c.op);
    EXPECT_EQ(ops, (V{L"toggle_show_stats_continuously", L"toggle_show_stats_continuously"}));
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
    ComtreeCalls().clear();
    SendMessageW(GetDlgItem(TitlePane(), 981), BM_CLICK, 0, 0);
    tktest::Pump(100);
    const uint64_t later = layer->cal.start_display();
    EXPECT_GT(later, start);
    Run([&] { layer->cal.move_start_time(-1); });
    EXPECT_EQ(layer->cal.start_display(), start) << "one step of the calendar's own";
    SendMessageW(GetDlgItem(TitlePane(), 982), BM_CLICK, 0, 0);
    tktest::Pump(100);
    EXPECT_EQ(start - layer->cal.start_display(), later - start);
    ASSERT_FALSE(ComtreeCalls().empty());
    EXPECT_EQ(ComtreeCalls()[0].op, L"try_show_titlewin_buttons");
    EXPECT_EQ(ComtreeCalls()[0].text, L"1");
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
    ComtreeCalls().clear();
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
    ComtreeCalls().clear();
    comtree::db5.boo_show_bot_stat_win = true;
    Run([] { comtree::delete_cal(2); });
    EXPECT_EQ(comtree::db3.db_cal_hols.view, layer);
    EXPECT_TRUE(ComtreeCalls().empty());
    comtree::db5.boo_show_bot_stat_win = false;
    Run([] { comtree::delete_cal(2); });
    EXPECT_FALSE(comtree::db3.db_cal_hols.present());
    V calls;
    for (const ComtreeCall& c : ComtreeCalls()) calls.push_back(c.op + L" " + c.text);
    EXPECT_EQ(calls, (V{L"try_show_titlewin_buttons 0", L"try_show_titlewin_buttons "}));
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
    ComtreeCalls().clear();
    Run([] { comtree::delete_liboxes(); });
    EXPECT_FALSE(comtree::db3.db_drlibox.present());
    EXPECT_FALSE(comtree::db3.db_praclibox.present());
    EXPECT_FALSE(comtree::db3.db_loclibox.present());
    EXPECT_FALSE(comtree::db3.db_tasklibox.present());
    // Every list window is gone from the pane.
    EXPECT_EQ(GetWindow(TopPane(), GW_CHILD), nullptr);
    EXPECT_NE(ControlTree().find(L"        C 116 B"), std::wstring::npos) << Narrow(ControlTree());
    V calls;
    for (const ComtreeCall& c : ComtreeCalls()) calls.push_back(c.op);
    EXPECT_EQ(calls, (V{L"focus_on_cal", L"delete_stat_liboxes"}));
    // Nothing open: only the handlers and the rule repair.
    ComtreeCalls().clear();
    Run([] { comtree::delete_liboxes(); });
    calls.clear();
    for (const ComtreeCall& c : ComtreeCalls()) calls.push_back(c.op);
    EXPECT_EQ(calls, (V{L"delete_stat_liboxes"}));
  });
}

}  // namespace
