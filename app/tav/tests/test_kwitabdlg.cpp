// The tab dialog class on real modeless dialogs: layout, creation of the
// sheets, drawing checked on the client area's pixels, switching by select,
// clicks and keys, the remembered control state, errors and the tables'
// life cycle.
#include <windows.h>

#include "exception/exception.h"
#include "kwi/kwiDialog/kwiDialog.h"
#include "kwi/kwitabdlg/kwitabdlg.h"
#include "pixels.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using TabDlg = Library;
using style = kwiTabDlg::style;
using Info = kwiTabDlg::information;

constexpr int kTab = 100;

template <class C>
C* G(const C& c) {
  auto* p = static_cast<C*>(GStackAlloc(sizeof(C)));
  *p = c;
  return p;
}
const kwiTabDlg::title* Text(const wchar_t* s) { return G(kwiTabDlg::title{1, reinterpret_cast<LONG_PTR>(s)}); }
const kwiTabDlg::title* Icon(int id) { return G(kwiTabDlg::title{2, id}); }
const kwiTabDlg::sheet* Dyn(windef_list_struct* l) { return G(kwiTabDlg::sheet{1, reinterpret_cast<LONG_PTR>(l)}); }
const kwiTabDlg::sheet* Res(int id) { return G(kwiTabDlg::sheet{2, id}); }
constexpr int kResDialog = 5301;
const kwiTabDlg::field_list* NoFields() { return G(kwiTabDlg::field_list{2, nullptr, nullptr}); }
const Info* Sheet(int id, const kwiTabDlg::title* t, const kwiTabDlg::sheet* s) {
  return G(Info{1, id, t, s, NoFields()});
}
const kwiTabDlg::information_list* Sheets(std::initializer_list<const Info*> items) {
  const kwiTabDlg::information_list* l = G(kwiTabDlg::information_list{2, nullptr, nullptr});
  for (auto it = std::rbegin(items); it != std::rend(items); ++it)
    l = G(kwiTabDlg::information_list{1, *it, l});
  return l;
}
struct Item {
  bool enable;
  int id, value;
};
const kwiTabDlg::enable_list* Items(std::initializer_list<Item> items) {
  const kwiTabDlg::enable_list* l = G(kwiTabDlg::enable_list{2, nullptr, nullptr});
  for (auto it = std::rbegin(items); it != std::rend(items); ++it)
    l = G(kwiTabDlg::enable_list{1, G(kwiTabDlg::enable_item{it->enable ? 1u : 2u, it->id, it->value}), l});
  return l;
}
windef* Button(int id, int y, ilist_struct* flags = nullptr) {
  return kd::Ctl(wt_pushbutton, kd::Rect(10, y, 70, y + 14), L"Button", id, flags ? flags : kd::Ints({}));
}
windef* Edit(int id, int y) { return kd::Ctl(wt_edit, kd::Rect(10, y, 90, y + 12), L"", id, kd::Ints({})); }
windef* Group(int id) { return kd::Ctl(wt_groupbox, kd::Rect(5, 2, 150, 80), L"Group", id, kd::Ints({})); }

// Three sheets: 1 holds 201 and 202 (an edit), 2 holds 211 and 212, 3 a group
// box 221 around 222.
const kwiTabDlg::information_list* ThreeSheets() {
  return Sheets({Sheet(1, Text(L"First"), Dyn(kd::Windefs({Button(201, 10), Edit(202, 30)}))),
                 Sheet(2, Text(L"Second"), Dyn(kd::Windefs({Button(211, 10), Button(212, 30)}))),
                 Sheet(3, Text(L"Third"), Dyn(kd::Windefs({Group(221), Button(222, 20)})))});
}


// The dialogs a test made, destroyed before the class is unregistered.
std::vector<HWND>& Made() {
  static std::vector<HWND> made;
  return made;
}
void DestroyMade() {
  for (HWND d : Made())
    if (IsWindow(d)) DestroyWindow(d);
  Made().clear();
  Pump(20);
}

// A modeless dialog of the task with a "ZEVTAB" control `kTab`.
HWND MakeDialog(LONG_PTR task, PROLOG_EHANDLER_STRUCT* handler, rect_struct* tab = nullptr) {
  LONG_PTR d = win_CreateDynDialog(
      task,
      kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(10, 10, 260, 190), L"Tabs", 2, L"Arial", 8, kd::Ints({4, 9})),
                   kd::CustomCtl(wt_custom, tab ? tab : kd::Rect(5, 5, 245, 170), L"", 2, L"ZEVTAB", kTab,
                                 kd::Ints({}))}),
      handler, 0);
  Made().push_back(reinterpret_cast<HWND>(d));
  Pump(30);
  return reinterpret_cast<HWND>(d);
}
LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }
HWND Ctl(HWND d, int id) { return GetDlgItem(d, id); }
HWND TabOf(HWND d) { return GetDlgItem(d, kTab); }

// A dialog handler that records the sheet notifications as (sheet, 0 leave / 1 enter).
struct Notes {
  std::vector<std::pair<LONG_PTR, LONG_PTR>> seen;
  bool refuseLeave = false;
  Closure handler{[this](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_user && (e->w[1] == 0 || e->w[1] == 1)) {
      seen.push_back({e->w[0], e->w[1]});
      if (e->w[1] == 0 && refuseLeave) return 0;
    }
    Fail();
  }};
};

// The class error a body raised: predicate name and argument text.
std::pair<std::wstring, std::wstring> ClassError(const std::function<void()>& body) {
  const uint32_t id = RunTrapped([&] { body(); });
  const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::internal);
  if (!e) return {L"<no class error>", L""};
  return {Extra(e, L"Predicate name"), Extra(e, L"Arguments")};
}
// The GUI error code, or the runtime error's name, a body raised.
std::wstring RaisedName(const std::function<void()>& body) {
  const uint32_t id = RunTrapped([&] { body(); });
  if (!id) return L"<nothing>";
  const TraceEntry* e = Entries().front();
  return e->exception->name;
}

// Runs body(task) with the class registered in the task's GUI layer; an
// error that ends the body fails the test.
void RunRegistered(const std::function<void(LONG_PTR)>& body) {
  RunInTask([&](LONG_PTR task) {
    kwiTabDlg::register_();
    const uint32_t error = RunTrapped([&] { body(task); });
    EXPECT_EQ(error, 0u) << (error ? Narrow(Entries().front()->exception->name) : "");
    DestroyMade();
    kwiTabDlg::unregister();
  });
}
using Registered = TabDlg;

// --- Layout --------------------------------------------------------------------

TEST_F(TabDlg, RowAreaAndFirstTabPerStyle) {
  const rect_struct client{0, 0, 300, 200};
  struct Case {
    style s;
    rect_struct row, area, first;
  } cases[] = {
      {style::top, {0, 0, 300, 20}, {0, 20, 300, 200}, {0, 0, 60, 20}},
      {style::bottom, {0, 180, 300, 200}, {0, 0, 300, 180}, {0, 180, 60, 200}},
      {style::left, {0, 0, 60, 200}, {60, 0, 300, 200}, {0, 0, 60, 20}},
      {style::right, {240, 0, 300, 200}, {0, 0, 240, 200}, {240, 0, 300, 20}},
  };
  auto same = [](const rect_struct& a, const rect_struct& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  for (const Case& c : cases) {
    const kwiTabDlg::Layout l = kwiTabDlg::tab_adjust(c.s, 60, 20, client);
    EXPECT_TRUE(same(l.row, c.row)) << static_cast<int>(c.s);
    EXPECT_TRUE(same(l.area, c.area)) << static_cast<int>(c.s);
    EXPECT_TRUE(same(l.first, c.first)) << static_cast<int>(c.s);
  }
}

TEST_F(TabDlg, DefinitionFlagsSplitIntoCreatedAndRemembered) {
  struct Case {
    std::vector<int64_t> flags, created, remembered;
  } cases[] = {
      {{11, 5}, {11, 5}, {13}},
      {{10, 10, 13}, {10, 10, 13}, {}},
      {{}, {}, {10, 13}},
      {{12, 7}, {7}, {10}},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> created, remembered;
    kwiTabDlg::get_invisible_disable_and_visible_state(
        kd::Ints(c.flags.data(), static_cast<uint32_t>(c.flags.size())), &created, &remembered);
    EXPECT_EQ(created, c.created);
    EXPECT_EQ(remembered, c.remembered);
  }
}

// Tab rectangles follow the titles: text + 10 across and + 8 down, icons 42,
// packed without gaps; the largest tab covers mixed titles.
TEST_F(Registered, TabRectanglesFollowTheTitles) {
  struct Case {
    style s;
    bool across;
  } cases[] = {{style::top, true}, {style::left, false}};
  for (const Case& c : cases) {
    RunRegistered([&](LONG_PTR task) {
      HWND d = MakeDialog(task, NoEventHandler());
      const LONG_PTR tab = L(TabOf(d));
      const auto* list = Sheets({Sheet(1, Text(L"Wide title"), Dyn(kd::Windefs({Button(201, 10)}))),
                                 Sheet(2, Icon(32512), Dyn(kd::Windefs({Button(211, 10)}))),
                                 Sheet(3, Text(L"x"), Dyn(kd::Windefs({Button(221, 10)})))});
      kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), c.s, 0, list, 1);
      int w1 = 0, h1 = 0, w3 = 0, h3 = 0;
      win_GetTextExtent(tab, L"Wide title", -1, &w1, &h1);
      win_GetTextExtent(tab, L"x", -1, &w3, &h3);
      int32_t W = 0, H = 0;
      kwiTabDlg::tab_maxsize_sheettitle(tab, list, 0, 0, &W, &H);
      EXPECT_EQ(W, std::max(w1 + 10, 42));
      EXPECT_EQ(H, std::max(h1 + 8, 42));
      int32_t w0 = -1, h0 = -1;
      kwiTabDlg::tab_maxsize_sheettitle(tab, Sheets({}), 7, 9, &w0, &h0);
      EXPECT_EQ(w0, 7);
      EXPECT_EQ(h0, 9);
      rect_struct r1{}, r2{}, r3{};
      ASSERT_TRUE(kwiTabDlg::tabrect(tab, 1, &r1) && kwiTabDlg::tabrect(tab, 2, &r2) &&
                  kwiTabDlg::tabrect(tab, 3, &r3));
      if (c.across) {
        EXPECT_EQ(r1.left, 0);
        EXPECT_EQ(r1.right - r1.left, w1 + 10);
        EXPECT_EQ(r2.left, r1.right);
        EXPECT_EQ(r2.right - r2.left, 42);
        EXPECT_EQ(r3.left, r2.right);
        EXPECT_EQ(r3.right - r3.left, w3 + 10);
        EXPECT_TRUE(r1.top == r2.top && r2.top == r3.top && r1.bottom == r3.bottom);
        EXPECT_EQ(r1.bottom - r1.top, H);
      } else {
        EXPECT_EQ(r1.top, 0);
        EXPECT_EQ(r1.bottom - r1.top, h1 + 8);
        EXPECT_EQ(r2.top, r1.bottom);
        EXPECT_EQ(r2.bottom - r2.top, 42);
        EXPECT_EQ(r3.top, r2.bottom);
        EXPECT_EQ(r3.bottom - r3.top, h3 + 8);
        EXPECT_TRUE(r1.left == r3.left && r1.right == r3.right);
        EXPECT_EQ(r1.right - r1.left, W);
      }
    });
  }
}

// --- Creation ------------------------------------------------------------------

TEST_F(Registered, CreateShowsOnlyTheInitialSheetOnceThePostedEventIsHandled) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 2);
    EXPECT_EQ(kwiTabDlg::select(L(d), kTab), 2);
    // The first selection only enters.
    EXPECT_EQ(notes.seen, (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{2, 1}}));
    Pump(100);
    for (int id : {201, 202, 221, 222}) EXPECT_FALSE(IsWindowVisible(Ctl(d, id))) << id;
    for (int id : {211, 212}) EXPECT_TRUE(IsWindowVisible(Ctl(d, id))) << id;
    // The sheets' controls are the dialog's, not the tab control's.
    EXPECT_EQ(GetParent(Ctl(d, 201)), d);
    EXPECT_EQ(GetFocus(), Ctl(d, 211));
    std::vector<int32_t> ids;
    kwiTabDlg::getsheetcontrols(L(d), 3, [&](int32_t id) {
      ids.push_back(id);
      Fail();
    });
    EXPECT_EQ(ids, (std::vector<int32_t>{222, 221}));
    EXPECT_EQ(kwiTabDlg::getsheetid(L(d), 212), 2);
  });
}

// A sheet read from a dialog resource creates only the resource's controls,
// where the same definitions given as a list would stand.
TEST_F(Registered, AResourceSheetCreatesItsControlsWhereTheirDefinitionsSay) {
  RECT fromRes[2]{}, fromList[2]{};
  int children = 0;
  RunRegistered([&](LONG_PTR task) {
    HWND r = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(r), kTab, win_GetFont(L(r)), style::top, 0,
                      Sheets({Sheet(1, Text(L"Res"), Res(kResDialog))}), 1);
    HWND l = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(l), kTab, win_GetFont(L(l)), style::top, 0,
                      Sheets({Sheet(1, Text(L"Res"),
                                    Dyn(kd::Windefs({kd::Ctl(wt_pushbutton, kd::Rect(10, 10, 60, 24), L"Res one", 301, kd::Ints({})),
                                                     kd::Ctl(wt_edit, kd::Rect(10, 30, 70, 42), L"", 302, kd::Ints({}))})))}),
                      1);
    for (int i = 0; i < 2; ++i) {
      fromRes[i] = ClientInParent(Ctl(r, 301 + i));
      fromList[i] = ClientInParent(Ctl(l, 301 + i));
    }
    for (HWND c = GetWindow(r, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
  });
  EXPECT_EQ(children, 3);  // the tab control and the resource's two controls
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(fromRes[i].left, fromList[i].left) << i;
    EXPECT_EQ(fromRes[i].top, fromList[i].top) << i;
    EXPECT_EQ(fromRes[i].right, fromList[i].right) << i;
    EXPECT_EQ(fromRes[i].bottom, fromList[i].bottom) << i;
  }
  EXPECT_GT(fromRes[0].left, 0);
  EXPECT_GT(fromRes[1].top, fromRes[0].bottom);
}

// A sheet's field list fills its controls through the data-entry dialog
// class, and the dialog's handler sees none of the changes.
TEST_F(Registered, ASheetsFieldsFillItsControlsUnseenByTheDialog) {
  std::vector<LONG_PTR> controlEvents;
  std::wstring text, held;
  Closure handler([&](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_control) controlEvents.push_back(e->w[0]);
    Fail();
  });
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &handler);
    auto* props = G(dlg::PropList{2, nullptr, nullptr});
    auto* item = G(dlg::KEditStr{dlg::k_editstr, L"filled", props});
    auto* field = G(dlg::Field{1, 202, reinterpret_cast<const dlg::Tagged*>(item),
                               G(dlg::Tagged{dlg::pr_nopr})});
    auto* fields = G(kwiTabDlg::field_list{1, field, NoFields()});
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0,
                      Sheets({G(Info{1, 1, Text(L"First"), Dyn(kd::Windefs({Button(201, 10), Edit(202, 30)})), fields}),
                              Sheet(2, Text(L"Second"), Dyn(kd::Windefs({Button(211, 10)})))}),
                      1);
    Pump(50);
    text = testbox::WindowText(Ctl(d, 202));
    const dlg::Tagged* v = dlgstore::FirstVal(L(d), 202);
    held = v ? T::ToString(D(domains::item_val), reinterpret_cast<term>(v)) : L"(none)";
    dlgstore::RemoveWindow(L(d));
  });
  EXPECT_EQ(text, L"filled");
  EXPECT_EQ(held, L"editstr(\"filled\")");
  EXPECT_TRUE(std::find(controlEvents.begin(), controlEvents.end(), 202) == controlEvents.end());
}

TEST_F(Registered, DefinitionFlagsDecideTheCreatedAndRememberedState) {
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, NoEventHandler());
    const auto* list = Sheets({Sheet(1, Text(L"A"), Dyn(kd::Windefs({Button(201, 10, kd::Ints({11, 5})),
                                                                      Button(202, 30)})))});
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, list, 1);
    Pump(50);
    const LONG_PTR tab = L(TabOf(d));
    std::vector<int64_t> flags;
    ASSERT_TRUE(kwiTabDlg::rememberedstate(tab, 1, 201, &flags));
    EXPECT_EQ(flags, (std::vector<int64_t>{13}));
    ASSERT_TRUE(kwiTabDlg::rememberedstate(tab, 1, 202, &flags));
    EXPECT_EQ(flags, (std::vector<int64_t>{10, 13}));
    // Defined hidden, it stays hidden on its own current sheet.
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 201)));
    EXPECT_TRUE(IsWindowVisible(Ctl(d, 202)));
  });
}

// --- Switching -----------------------------------------------------------------

using NoteList = std::vector<std::pair<LONG_PTR, LONG_PTR>>;

// The tab control's point at the middle of a sheet's tab, on the screen.
POINT TabCentre(HWND tab, int sheetId) {
  rect_struct r{};
  kwiTabDlg::tabrect(L(tab), sheetId, &r);
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(tab, &p);
  return p;
}
void ClickAt(POINT p) {
  SetCursorPos(p.x, p.y);
  INPUT in[2]{};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
  Pump(80);
}
void PressKey(WORD vk) {
  INPUT in[2]{};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
  Pump(80);
}
int32_t Current(HWND d) { return kwiTabDlg::select(L(d), kTab); }

TEST_F(Registered, ClicksAndArrowKeysSwitchSheetsWithoutWrapping) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    Pump(50);
    SetForegroundWindow(d);
    HWND tab = TabOf(d);
    notes.seen.clear();
    ClickAt(TabCentre(tab, 2));
    EXPECT_EQ(Current(d), 2);
    EXPECT_EQ(notes.seen, (NoteList{{1, 0}, {2, 1}}));
    // The focus lands on the sheet's first control.
    EXPECT_EQ(GetFocus(), Ctl(d, 211));
    struct Step {
      WORD key;
      int32_t expected;
    } steps[] = {{VK_RIGHT, 3}, {VK_RIGHT, 3}, {VK_LEFT, 2}, {VK_UP, 1}, {VK_LEFT, 1}, {VK_DOWN, 2}, {VK_DOWN, 3}};
    for (const Step& st : steps) {
      SetFocus(tab);
      Pump(30);
      PressKey(st.key);
      EXPECT_EQ(Current(d), st.expected) << st.key;
    }
    notes.seen.clear();
    ClickAt(TabCentre(tab, 3));  // the current tab: nothing happens
    EXPECT_TRUE(notes.seen.empty());
  });
}

TEST_F(Registered, SwitchingHidesAndRestoresEachControlsState) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    Pump(50);
    kwiTabDlg::setstate(L(d), Items({{true, 201, 0}}));  // disabled while shown
    EXPECT_FALSE(IsWindowEnabled(Ctl(d, 201)));
    kwiTabDlg::select(L(d), kTab, 2);
    EXPECT_EQ(notes.seen, (NoteList{{1, 1}, {1, 0}, {2, 1}}));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 201)));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 202)));
    EXPECT_FALSE(IsWindowEnabled(Ctl(d, 201)));
    EXPECT_TRUE(IsWindowEnabled(Ctl(d, 202)));  // an edit stays enabled
    EXPECT_TRUE(IsWindowVisible(Ctl(d, 211)));
    // A change made while its sheet is hidden is only recorded.
    kwiTabDlg::setstate(L(d), Items({{true, 201, 1}, {false, 202, 0}}));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 202)));
    EXPECT_FALSE(IsWindowEnabled(Ctl(d, 201)));
    kwiTabDlg::select(L(d), kTab, 1);
    EXPECT_TRUE(IsWindowVisible(Ctl(d, 201)));
    EXPECT_TRUE(IsWindowEnabled(Ctl(d, 201)));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 202)));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 211)));
    EXPECT_FALSE(IsWindowEnabled(Ctl(d, 211)));
    // Group boxes stay behind their neighbours.
    kwiTabDlg::select(L(d), kTab, 3);
    HWND above = GetWindow(Ctl(d, 222), GW_HWNDNEXT);
    bool groupBelow = false;
    for (; above; above = GetWindow(above, GW_HWNDNEXT)) groupBelow |= above == Ctl(d, 221);
    EXPECT_TRUE(groupBelow);
  });
}

TEST_F(Registered, AnAnsweredLeaveNotificationKeepsTheSheet) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    Pump(50);
    notes.refuseLeave = true;
    notes.seen.clear();
    kwiTabDlg::select(L(d), kTab, 2);
    EXPECT_EQ(Current(d), 1);
    EXPECT_EQ(notes.seen, (NoteList{{1, 0}}));
    EXPECT_TRUE(IsWindowVisible(Ctl(d, 201)));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 211)));
    notes.refuseLeave = false;
    notes.seen.clear();
    kwiTabDlg::select(L(d), kTab, 1);  // already current: no notification
    EXPECT_TRUE(notes.seen.empty());
  });
}

// A sheet whose only control takes no focus is still entered and told.
TEST_F(Registered, ASheetWithoutFocusableControlStillGetsItsEnterNotification) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    const auto* list = Sheets({Sheet(1, Text(L"A"), Dyn(kd::Windefs({Button(201, 10)}))),
                               Sheet(2, Text(L"B"), Dyn(kd::Windefs({Button(211, 10, kd::Ints({11}))})))});
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, list, 1);
    Pump(50);
    notes.seen.clear();
    kwiTabDlg::select(L(d), kTab, 2);
    EXPECT_EQ(notes.seen, (NoteList{{1, 0}, {2, 1}}));
    EXPECT_EQ(Current(d), 2);
    // The dialog answers its own handler again.
    event_struct e{};
    e.kind = e_user;
    e.w[0] = 7;
    e.w[1] = 1;
    win_SendEvent(L(d), &e);
    EXPECT_EQ(notes.seen.back(), (std::pair<LONG_PTR, LONG_PTR>{7, 1}));
  });
}

// --- Mended faults -------------------------------------------------------------

TEST_F(Registered, SetStateOnOneDialogLeavesTheOtherDialogsRememberedState) {
  RunRegistered([&](LONG_PTR task) {
    HWND first = MakeDialog(task, NoEventHandler());
    HWND second = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(first), kTab, win_GetFont(L(first)), style::top, 0, ThreeSheets(), 1);
    kwiTabDlg::create(L(second), kTab, win_GetFont(L(second)), style::top, 0, ThreeSheets(), 1);
    Pump(50);
    kwiTabDlg::setstate(L(second), Items({{false, 211, 0}}));
    std::vector<int64_t> flags;
    ASSERT_TRUE(kwiTabDlg::rememberedstate(L(TabOf(first)), 2, 211, &flags));
    EXPECT_EQ(flags, (std::vector<int64_t>{10, 13}));
    ASSERT_TRUE(kwiTabDlg::rememberedstate(L(TabOf(second)), 2, 211, &flags));
    EXPECT_EQ(flags, (std::vector<int64_t>{11, 13}));
    kwiTabDlg::select(L(first), kTab, 2);
    kwiTabDlg::select(L(second), kTab, 2);
    EXPECT_TRUE(IsWindowVisible(Ctl(first, 211)));
    EXPECT_FALSE(IsWindowVisible(Ctl(second, 211)));
  });
}

TEST_F(Registered, AFailedCreatePutsTheDialogsHandlerBack) {
  Notes notes;  // outlives the dialogs
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, &notes.handler);
    const auto* list = Sheets({Sheet(1, Text(L"A"), Dyn(kd::Windefs({Button(201, 10)}))),
                               Sheet(2, Text(L"Empty"), Dyn(kd::Windefs({})))});
    EXPECT_EQ(RaisedName([&] { kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, list, 1); }),
              L"kwi_listempty");
    event_struct e{};
    e.kind = e_user;
    e.w[0] = 5;
    e.w[1] = 0;
    win_SendEvent(L(d), &e);
    EXPECT_EQ(notes.seen, (NoteList{{5, 0}}));
    // Earlier sheets' controls stay created.
    EXPECT_TRUE(Ctl(d, 201));
  });
}

// --- Errors ----------------------------------------------------------------------

TEST_F(Registered, BadCallsRaiseTheirOwnErrorsAndChangeNothing) {
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, NoEventHandler());
    HWND plain = reinterpret_cast<HWND>(win_CreateDynDialog(
        task,
        kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(10, 10, 100, 60), L"Plain", 2, L"Arial", 8, kd::Ints({})),
                     Button(kTab, 5)}),
        NoEventHandler(), 0));
    const std::pair<std::wstring, std::wstring> create{L"kwiTabDlg::create", L"create"};
    EXPECT_EQ(ClassError([&] { kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, Sheets({}), 1); }), create);
    EXPECT_EQ(ClassError([&] { kwiTabDlg::create(L(plain), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1); }),
              create);
    EXPECT_FALSE(kwiTabDlg::hasentries(L(Ctl(plain, kTab))));
    EXPECT_EQ(ClassError([&] { kwiTabDlg::select(L(d), kTab); }),
              (std::pair<std::wstring, std::wstring>{L"kwiTabDlg::select", L"select"}));
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    EXPECT_EQ(ClassError([&] { kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 2); }),
              create);
    EXPECT_EQ(Current(d), 1);
    EXPECT_EQ(ClassError([&] { kwiTabDlg::getsheetid(L(d), kTab); }),
              (std::pair<std::wstring, std::wstring>{L"kwiTabDlg::getsheetid", L"getSheetId"}));
    EXPECT_FALSE(kwiTabDlg::getsheetcontrols(L(d), 9, [](int32_t) {}));
    // The elements before the bad one stay applied.
    EXPECT_EQ(ClassError([&] {
                kwiTabDlg::setstate(L(d), Items({{false, 201, 0}, {true, 202, 2}, {false, 211, 1}}));
              }),
              (std::pair<std::wstring, std::wstring>{L"kwiTabDlg::setstate",
                                                     L"setState. Param = [enable(202,2),show(211,1)]"}));
    EXPECT_FALSE(IsWindowVisible(Ctl(d, 201)));
    EXPECT_EQ(ClassError([&] { kwiTabDlg::setstate(L(d), Items({{true, kTab, 1}})); }).first,
              L"kwiTabDlg::getsheetid");
    EXPECT_EQ(RaisedName([&] { kwiTabDlg::setstate(L(d), Items({{true, 4711, 1}})); }), L"kwi_win_ctlhndl");
    kwiTabDlg::setstate(L(d), Items({}));
  });
}

TEST_F(Registered, BadResourcesRaiseBeforeOrAtTheLookup) {
  struct Case {
    const Info* sheet;
    const wchar_t* error;
  };
  RunRegistered([&](LONG_PTR task) {
    const Case cases[] = {
        {Sheet(1, Text(L"A"), Res(-1)), L"norangenumber"},
        {Sheet(1, Text(L"A"), Res(4999)), L"kwi_dlgnotfound"},
        {Sheet(1, G(kwiTabDlg::title{3, -5}), Res(kResDialog)), L"norangenumber"},
        {Sheet(1, G(kwiTabDlg::title{3, 4998}), Res(kResDialog)), L"kwi_bmpnotfound"},
    };
    for (const Case& c : cases) {
      HWND d = MakeDialog(task, NoEventHandler());
      const std::wstring name =
          RaisedName([&] { kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, Sheets({c.sheet}), 1); });
      EXPECT_EQ(name, c.error);
    }
  });
}

// --- Life cycle ----------------------------------------------------------------

void Cycle(LONG_PTR task);

TEST_F(TabDlg, RegisteringTwiceAndUnregisteringWithoutRegisteringDoNothing) {
  kwiTabDlg::unregister();
  kwiTabDlg::unregister();
  RunInTask([&](LONG_PTR task) {
    const uint32_t error = RunTrapped([&] { Cycle(task); });
    EXPECT_EQ(error, 0u) << (error ? Narrow(Entries().front()->exception->name) + " " +
                                         Narrow(Extra(Entries().front(), L"Predicate name"))
                                   : "");
    DestroyMade();
    kwiTabDlg::unregister();
  });
  kwiTabDlg::unregister();
}

void Cycle(LONG_PTR task) {
  kwiTabDlg::register_();
  kwiTabDlg::register_();
  HWND d = MakeDialog(task, NoEventHandler());
  ASSERT_TRUE(TabOf(d));
  // Painted before create: the frame has no table entry.
  bool frameError = false;
  for (LONG_PTR id : Reported()) {
    const TraceEntry* e = exception::trygetdescriptor(static_cast<uint32_t>(id), &common_exception::internal);
    frameError |= e && Extra(e, L"Predicate name") == L"kwiTabDlg::draw_frame" &&
                  Extra(e, L"Arguments") == L"draw_frame: no fact for window";
  }
  EXPECT_TRUE(frameError);
  kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
  EXPECT_TRUE(kwiTabDlg::hasentries(L(TabOf(d))));
  DestroyMade();
  kwiTabDlg::unregister();
  kwiTabDlg::unregister();
  kwiTabDlg::register_();
  HWND again = MakeDialog(task, NoEventHandler());
  EXPECT_EQ(ClassError([&] { kwiTabDlg::getsheetid(L(again), 201); }).first, L"kwiTabDlg::getsheetid");
  kwiTabDlg::create(L(again), kTab, win_GetFont(L(again)), style::top, 0, ThreeSheets(), 2);
  EXPECT_EQ(Current(again), 2);
}

TEST_F(Registered, DestroyingTheTabControlRemovesAllItsEntries) {
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, NoEventHandler());
    HWND other = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    kwiTabDlg::create(L(other), kTab, win_GetFont(L(other)), style::top, 0, ThreeSheets(), 3);
    const LONG_PTR tab = L(TabOf(d));
    SetFocus(TabOf(d));
    Pump(30);
    DestroyWindow(TabOf(d));
    Pump(30);
    EXPECT_FALSE(kwiTabDlg::hasentries(tab));
    EXPECT_EQ(ClassError([&] { kwiTabDlg::getsheetid(L(d), 201); }).first, L"kwiTabDlg::getsheetid");
    EXPECT_EQ(kwiTabDlg::getsheetid(L(other), 201), 1);
    EXPECT_EQ(Current(other), 3);
  });
}

// --- Drawing -------------------------------------------------------------------

// The tab control's client area copied into a 32-bit DIB; colours as 0x00BBGGRR.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const {
    const uint32_t v = px[static_cast<size_t>(y) * width + x];
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  }
};
Shot Capture(HWND w) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(60);
  const kwitest::Pixels p = kwitest::ClientPixels(w);
  Shot s;
  s.width = p.w;
  s.height = p.h;
  s.px = p.rgb;
  return s;
}

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0;

TEST_F(Registered, TopTabsAndTheFrameArePaintedLineByLine) {
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), style::top, 0, ThreeSheets(), 1);
    Pump(50);
    SetFocus(Ctl(d, 201));
    HWND tab = TabOf(d);
    const uint32_t face = static_cast<uint32_t>(kwi_GetAttrVal(108));
    const uint32_t shadow = static_cast<uint32_t>(kwi_GetAttrVal(109));
    rect_struct cur{}, other{};
    ASSERT_TRUE(kwiTabDlg::tabrect(L(tab), 1, &cur) && kwiTabDlg::tabrect(L(tab), 2, &other));
    const Shot s = Capture(tab);
    const int B = cur.bottom, mid = (cur.left + cur.right) / 2;
    // The current tab: top line on its stored top, edges past its bottom,
    // face lines over the frame's top two rows.
    EXPECT_EQ(s.At(cur.left + 5, cur.top), kWhite);
    EXPECT_EQ(s.At(cur.left, B), kWhite);
    EXPECT_EQ(s.At(cur.right - 1, B), kBlack);
    EXPECT_EQ(s.At(cur.right - 2, B + 1), shadow);
    EXPECT_EQ(s.At(cur.left + 5, B), face);
    EXPECT_EQ(s.At(cur.left + 5, B + 1), face);
    // Another tab stands 2 pixels lower; the frame's top stays under it.
    const int omid = (other.left + other.right) / 2;
    EXPECT_EQ(s.At(omid, other.top), face);
    EXPECT_EQ(s.At(omid, other.top + 2), kWhite);
    EXPECT_EQ(s.At(other.right - 1, other.top + 6), kBlack);
    EXPECT_EQ(s.At(omid, B), kWhite);
    EXPECT_EQ(s.At(other.right - 1, B + 1), face);
    // The frame's four colours.
    RECT c;
    GetClientRect(tab, &c);
    const int y = (B + c.bottom) / 2, x = (c.left + c.right) / 2;
    EXPECT_EQ(s.At(0, y), kWhite);
    EXPECT_EQ(s.At(1, y), face);
    EXPECT_EQ(s.At(c.right - 1, y), kBlack);
    EXPECT_EQ(s.At(c.right - 2, y), shadow);
    EXPECT_EQ(s.At(x, c.bottom - 1), kBlack);
    EXPECT_EQ(s.At(x, c.bottom - 2), shadow);
    (void)mid;
  });
}

// Non-current tabs are drawn 2 pixels toward the sheet area for every style.
TEST_F(Registered, OtherTabsStandTwoPixelsTowardTheSheet) {
  struct Case {
    style s;
    int dx, dy;
  } cases[] = {{style::bottom, 0, -2}, {style::left, 2, 0}, {style::right, -2, 0}};
  for (const Case& c : cases) {
    RunRegistered([&](LONG_PTR task) {
      HWND d = MakeDialog(task, NoEventHandler());
      kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), c.s, 0, ThreeSheets(), 1);
      Pump(50);
      SetFocus(Ctl(d, 201));
      HWND tab = TabOf(d);
      rect_struct o{};
      ASSERT_TRUE(kwiTabDlg::tabrect(L(tab), 2, &o));
      const Shot s = Capture(tab);
      // The white edge of each style where it is drawn.
      int x = 0, y = 0;
      switch (c.s) {
        case style::bottom: x = o.left; y = (o.top + o.bottom) / 2 + 4; break;
        case style::left: x = (o.left + o.right) / 2 - 4; y = o.top; break;
        default: x = (o.left + o.right) / 2 + 4; y = o.top; break;
      }
      EXPECT_EQ(s.At(x + c.dx, y + c.dy), kWhite) << static_cast<int>(c.s);
    });
  }
}

TEST_F(Registered, RadioMarksAndTheFocusRectangle) {
  RunRegistered([&](LONG_PTR task) {
    HWND d = MakeDialog(task, NoEventHandler());
    kwiTabDlg::create(L(d), kTab, win_GetFont(L(d)), 1, style::top, 0, ThreeSheets(), 1);
    Pump(50);
    HWND tab = TabOf(d);
    SetFocus(Ctl(d, 201));
    const uint32_t face = static_cast<uint32_t>(kwi_GetAttrVal(108));
    rect_struct cur{}, other{};
    ASSERT_TRUE(kwiTabDlg::tabrect(L(tab), 1, &cur) && kwiTabDlg::tabrect(L(tab), 2, &other));
    Shot s = Capture(tab);
    // The circle box is (L+4, T+4)-(L+14, T+14) of the drawn rectangle; the
    // dot only on the current tab.
    EXPECT_EQ(s.At(cur.left + 9, cur.top + 9), kBlack);
    EXPECT_EQ(s.At(other.left + 9, other.top + 2 + 9), kWhite);
    EXPECT_EQ(s.At(other.left + 9, other.top + 2 + 4), kBlack);  // the outline
    // The title starts 14 pixels after the title rectangle's left side.
    bool inkBefore = false, inkAfter = false;
    for (int y = cur.top + 4; y < cur.bottom - 4; ++y) {
      for (int x = cur.left + 15; x < cur.left + 18; ++x) inkBefore |= s.At(x, y) != face;
      for (int x = cur.left + 18; x < cur.right - 6; ++x) inkAfter |= s.At(x, y) != face;
    }
    EXPECT_FALSE(inkBefore);
    EXPECT_TRUE(inkAfter);
    // The dotted rectangle on the current tab while the control has the focus.
    auto dots = [&](const Shot& shot) {
      int n = 0;
      for (int x = cur.left + 17; x < cur.right - 4; ++x) n += shot.At(x, cur.top + 3) == kBlack;
      return n;
    };
    EXPECT_EQ(dots(s), 0);
    SetFocus(tab);
    Pump(50);
    s = Capture(tab);
    EXPECT_GT(dots(s), 3);
    SetFocus(Ctl(d, 201));
    Pump(50);
    s = Capture(tab);
    EXPECT_EQ(dots(s), 0);
  });
}

}  // namespace
