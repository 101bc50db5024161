// Menus on real windows: terms built into window menus and read back, menu
// resources with the window-list mark, the tag search, pop-up menus answered
// by keys, the MDI window list, inactive applications and the errors.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "kwi.h"
#include "widgets.h"

using namespace QEL_KWI;
using namespace kwitest;

namespace {

void Activate(HWND w) {
  SetForegroundWindow(w);
  SetFocus(w);
  PumpUntil([] { return detail::g_appActive; }, 2000);
}

HMENU RecordMenu(HWND w) { return reinterpret_cast<HMENU>(XZEV_GetWinData(w)->w[1]); }

std::wstring ItemString(HMENU m, int pos) {
  wchar_t buf[300] = {};
  GetMenuStringW(m, pos, buf, 300, MF_BYPOSITION);
  return buf;
}

TEST(MenuTemplates, TheWindowListMarkIsFoundWithinBounds) {
  // Items: {flags, id (commands only), text}; the template starts with {0, 0}.
  struct Item {
    uint16_t flags;
    uint16_t id;
    const wchar_t* text;
  };
  auto build = [](std::initializer_list<Item> items) {
    std::vector<uint8_t> t{0, 0, 0, 0};
    auto word = [&](uint16_t w) {
      t.push_back(w & 0xFF);
      t.push_back(w >> 8);
    };
    for (const Item& it : items) {
      word(it.flags);
      if (!(it.flags & MF_POPUP)) word(it.id);
      for (const wchar_t* p = it.text; *p; ++p) word(*p);
      word(0);
    }
    return t;
  };
  const uint16_t P = MF_POPUP, E = MF_END, H = 0x4000;
  const std::vector<uint8_t> marked =
      build({{P, 0, L"F"}, {E, 101, L"O"}, {P | H, 0, L"H"}, {E, 103, L"A"}, {P | E, 0, L"T"}, {E, 104, L"X"}});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int expected;
  };
  std::vector<uint8_t> truncated = marked;
  truncated.resize(truncated.size() - 2);
  std::vector<uint8_t> extended = marked;
  extended[0] = 1;
  std::vector<uint8_t> farOffset = marked;
  farOffset[2] = 0xFF;
  const Case cases[] = {
      {"marked second pop-up", marked, 1},
      {"no mark", build({{P, 0, L"F"}, {E, 101, L"O"}, {P | E, 0, L"H"}, {E, 103, L"A"}}), -1},
      {"nested mark ignored", build({{P | E, 0, L"F"}, {E | H, 101, L"O"}}), -1},
      {"first of two marks", build({{P | H, 0, L"F"}, {E, 101, L"O"}, {P | H | E, 0, L"H"}, {E, 103, L"A"}}), 0},
      {"deep nesting", build({{P | E, 0, L"A"}, {P | E, 0, L"B"}, {P | E, 0, L"C"}, {E, 1, L"D"}}), -1},
      {"truncated text", truncated, -2},
      {"no end mark", build({{P, 0, L"F"}, {0, 101, L"O"}}), -2},
      {"extended template", extended, -2},
      {"header offset past the end", farOffset, -2},
      {"shorter than a header", {0, 0}, -2},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> t = c.bytes;
    EXPECT_EQ(detail::TakeTemplateMark(t.data(), t.size()), c.expected) << c.what;
  }
  std::vector<uint8_t> t = marked;
  ASSERT_EQ(detail::TakeTemplateMark(t.data(), t.size()), 1);
  std::vector<uint8_t> cleared = marked;
  const size_t helpFlags = 4 + (2 + 4) + (2 + 2 + 4);  // after "F" and its command
  EXPECT_EQ(cleared[helpFlags + 1], 0x40);
  cleared[helpFlags + 1] = 0;
  EXPECT_EQ(t, cleared);
}

TEST(Menus, DynamicMenuRoundTripsThroughSetAndGet) {
  MenuTerms m;
  const std::wstring longText(300, L'x');
  struct Row {
    menu_item* in;
    std::string out;  // empty: nothing read back for it
  };
  const Row rows[] = {
      {m.Txt(101, L"&Open", 1, 0, nullptr, m.Key('O', 2)), "txt 101 '&Open' 1 0"},
      {m.Txt(102, L"&Checked", 1, 1), "txt 102 '&Checked' 1 1"},
      {m.Txt(103, L"Grayed", 0, 0), "txt 103 'Grayed' 0 0"},
      {m.Separator(), "separator"},
      {m.Txt(104, L"|Second column"), "txt 104 '|Second column' 1 0"},
      {m.Txt(105, L" "), "txt 105 '' 1 0"},
      {m.Txt(106, nullptr), "txt 106 '' 1 0"},
      {m.MenuBreak(), ""},
      {m.Txt(107, L"After a break"), "txt 107 '|After a break' 1 0"},
      {m.OwnerDraw(108, 0, 1), "ownerdraw 108 0 1"},
      {m.Txt(109, longText.c_str()), "txt 109 '" + std::string(249, 'x') + "' 1 0"},
      {m.Txt(55, L"&More", 1, 0, m.List({m.Txt(110, L"Deep", 1, 1, nullptr, m.Key(65536 + VK_F7, 0))})),
       "txt 1 '&More' 1 0 [txt 110 'Deep' 1 1]"},
  };
  std::vector<menu_item*> file;
  std::string expected;
  for (const Row& r : rows) {
    file.push_back(r.in);
    if (!r.out.empty()) expected += (expected.empty() ? "" : ", ") + r.out;
  }
  menu_struct* dyn = m.Dyn({m.Txt(0, L"&File", 1, 0, m.List(file)), m.Txt(120, L"&Quit")});
  std::string back;
  std::vector<std::tuple<int, int, unsigned>> accels;
  std::vector<std::string> commands;
  TaskOptions o = LoggingMenuEvents(&commands);
  RunInTask([&](HWND task) {
    Activate(task);
    menu_Set(L(task), dyn);
    EXPECT_EQ(GetMenu(task), RecordMenu(task));
    back = Show(menu_Get(L(task)));
    for (auto* c = getAccelerators(); c->functor == ListCons; c = c->next)
      accels.emplace_back(c->value->key, c->value->modifiers, c->value->command);
    // The item's key works through the loop's accelerator table.  The focus
    // change settles first (it resyncs the modifier state).
    Activate(task);
    PumpUntil([] { return false; }, 300);
    const std::pair<WORD, bool> keys[] = {{VK_CONTROL, false}, {'O', false}, {'O', true}, {VK_CONTROL, true}};
    for (auto [vk, up] : keys) {
      SendKey(vk, up);
      PumpUntil([&] { return false; }, 30);
    }
    PumpUntil([&] { return !commands.empty(); }, 2000);
  }, o);
  EXPECT_EQ(back, "txt 1 '&File' 1 0 [" + expected + "], txt 120 '&Quit' 1 0");
  EXPECT_EQ(accels, (std::vector<std::tuple<int, int, unsigned>>{{'O', 2, 101}, {65536 + VK_F7, 0, 110}}));
  EXPECT_EQ(commands, std::vector<std::string>{"menu 101 2"});
}

TEST(Menus, ResourceMenusAndTheHelpMark) {
  MenuTerms m;
  std::string marked, extended, byModule;
  UINT helpType = 0xFFFF, extendedHelpType = 0;
  std::vector<int> missing, missingQuiet;
  RunInTask([&](HWND task) {
    Activate(task);
    marked = Show(menu_GetRes(2));
    byModule = Show(menu_GetRes(GetModuleHandleW(nullptr), 2));
    extended = Show(menu_GetRes(3));
    auto type = [](HMENU menu, int pos) {
      MENUITEMINFOW mi{};
      mi.cbSize = sizeof mi;
      mi.fMask = MIIM_FTYPE;
      GetMenuItemInfoW(menu, pos, TRUE, &mi);
      return mi.fType;
    };
    menu_Set(L(task), m.Res(2));
    helpType = type(GetMenu(task), 1);
    menu_Set(L(task), m.Res(3));
    extendedHelpType = type(GetMenu(task), 1);
    RecordingRaises r;
    missing = r.Of([&] { menu_Set(L(task), m.Res(99)); });
    kwi_ArgValidation(0);
    missingQuiet = r.Of([&] { menu_Set(L(task), m.Res(99)); });
    kwi_ArgValidation(1);
  });
  EXPECT_EQ(marked,
            "txt 1 '&File' 1 0 [txt 101 '&Open' 1 0], txt 1 '&Help' 1 2 [txt 103 '&About' 1 0], "
            "txt 1 '&Tools' 1 0 [txt 104 '&Options' 1 1]");
  EXPECT_EQ(byModule, marked);
  // An extended template is loaded as it is: no mark taken, the help item
  // stays right-justified.
  EXPECT_EQ(extended, "txt 1 '&Edit' 1 0 [txt 201 '&Copy' 1 0], txt 1 '&Help' 1 0 [txt 301 '&About' 1 0]");
  EXPECT_EQ(helpType & MFT_RIGHTJUSTIFY, 0u);
  EXPECT_NE(extendedHelpType & MFT_RIGHTJUSTIFY, 0u);
  EXPECT_EQ(missing, Codes({6053}));
  EXPECT_EQ(missingQuiet, Codes({}));
}

TEST(Menus, ItemsFoundByIdAndByTag) {
  MenuTerms m;
  menu_struct* dyn = m.Dyn({
      m.Txt(0, L"&File", 1, 0, m.List({m.Txt(201, L"&Save"), m.Txt(202, L"Save &As"), m.Txt(203, L"&Index\\aF1")})),
      m.Txt(0, L"&View", 1, 0,
            m.List({m.Txt(204, L"|&Zoom"), m.Txt(0, L"&Panels", 1, 0, m.List({m.Txt(205, L"&Left")}))})),
  });
  std::string back;
  std::vector<int> errors;
  UINT saveId = 0, panelsId = 0;
  HMENU panelsBefore = nullptr, panelsAfter = nullptr;
  RunInTask([&](HWND task) {
    Activate(task);
    menu_Set(L(task), dyn);
    HMENU menu = GetMenu(task);
    panelsBefore = GetSubMenu(GetSubMenu(menu, 1), 1);
    RecordingRaises r;
    errors = r.Of([&] {
      menu_Check_1(L(task), L"SAVE", 1);          // case and "&" ignored
      menu_Enable_1(L(task), L"zoom", 0);         // "|" ignored
      menu_Check_1(L(task), L"indexf1", 1);       // "\a" ignored
      menu_Check_1(L(task), L"left", 1);          // nested
      menu_Enable_1(L(task), L"Panels", 0);       // a pop-up by position
      menu_SetText_1(L(task), L"save", L"&Store");  // a command stays a command
      menu_SetText_1(L(task), L"panels", L"P&anes");
      menu_Check_0(L(task), 202, 1);
      menu_Enable_0(L(task), 202, 0);
      menu_SetText_0(L(task), 202, L"Renamed");    // keeps check mark and gray
      menu_Update(L(task));
      menu_Check_1(L(task), L"absent", 1);
      menu_SetText_1(L(task), L"absent", L"x");
    });
    saveId = GetMenuItemID(GetSubMenu(menu, 0), 0);
    panelsId = GetMenuItemID(GetSubMenu(menu, 1), 1);
    panelsAfter = GetSubMenu(GetSubMenu(menu, 1), 1);
    back = Show(menu_Get(L(task)));
  });
  EXPECT_EQ(errors, Codes({6403, 6403}));
  EXPECT_EQ(saveId, 201u);
  EXPECT_EQ(panelsId, static_cast<UINT>(-1));
  EXPECT_EQ(panelsAfter, panelsBefore);
  EXPECT_EQ(back,
            "txt 1 '&File' 1 0 [txt 201 '&Store' 1 1, txt 202 'Renamed' 0 1, txt 203 '&Index\\aF1' 1 1], "
            "txt 1 '&View' 1 0 [txt 204 '|&Zoom' 0 0, txt 1 'P&anes' 0 0 [txt 205 '&Left' 1 1]]");
}

// The menu shown by a pop-up menu window, null when it does not say.
HMENU MenuOf(HWND menuWindow) {
  DWORD_PTR h = 0;
  if (!menuWindow || !SendMessageTimeoutW(menuWindow, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 500, &h)) return nullptr;
  return reinterpret_cast<HMENU>(h);
}

// The position of the highlighted item of a menu, -1 for none.
int HighlightedItem(HMENU menu) {
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i)
    if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) return i;
  return -1;
}

// Presses keys in the first visible pop-up menu from another thread; Escape
// closes whatever is still open after that.
std::thread AnswerPopup(std::vector<WORD> keys, std::atomic<bool>* done) {
  return std::thread([keys, done] {
    HWND menu = nullptr;
    for (int i = 0; i < 300 && !menu && !*done; ++i) {
      HWND m = FindWindowW(L"#32768", nullptr);
      if (m && IsWindowVisible(m)) menu = m;
      else Sleep(10);
    }
    // An arrow key counts once the highlighted item has moved, and is
    // posted again when it has not.
    HMENU shown = MenuOf(menu);
    for (WORD k : keys) {
      const bool arrow = shown && (k == VK_DOWN || k == VK_UP);
      const int before = arrow ? HighlightedItem(shown) : -1;
      for (int attempt = 0; attempt < 5; ++attempt) {
        // Posted to the menu window: the menu's loop reads its thread's
        // queue whatever window has the keyboard focus.
        PostMessageW(menu, WM_KEYDOWN, k, 1);
        PostMessageW(menu, WM_KEYUP, k, 0xC0000001);
        if (!arrow) break;
        int moved = before;
        for (int i = 0; i < 50 && moved == before; ++i, Sleep(10)) moved = HighlightedItem(shown);
        if (moved != before) break;
      }
      Sleep(50);
    }
    for (int i = 0; i < 100 && !*done; ++i) Sleep(20);
    while (!*done) {
      HWND m = FindWindowW(L"#32768", nullptr);
      if (m) PostMessageW(m, WM_KEYDOWN, VK_ESCAPE, 0);
      Sleep(50);
    }
  });
}

TEST(Menus, PopUpAnsweredByKeys) {
  MenuTerms m;
  menu_struct* dyn = m.Dyn({m.Txt(301, L"First"), m.Separator(), m.Txt(302, L"Second")});
  std::vector<std::string> commands;
  std::vector<int> errors, alwaysChecked;
  TaskOptions o = LoggingMenuEvents(&commands);
  RunInTask([&](HWND task) {
    Activate(task);
    // The pointer away from the menu: an item under it takes the highlight
    // (earlier tests leave the pointer anywhere on the display).
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    std::atomic<bool> done{false};
    std::thread answer = AnswerPopup({VK_DOWN, VK_DOWN, VK_RETURN}, &done);
    pnt_struct p{20, 20};
    menu_PopUp(L(task), dyn, &p, 1);
    done = true;
    answer.join();
    PumpUntil([&] { return !commands.empty(); }, 2000);
    RecordingRaises r;
    errors = r.Of([&] {
      menu_PopUp(L(task), m.Dyn({}), &p, 0);
      menu_PopUp(L(task), m.None(), &p, 0);
      menu_PopUp(L(task), m.Menu(9, 0), &p, 0);
      menu_PopUp(L(task), m.Res(99), &p, 0);
      menu_PopUp(L(task), m.Dyn({m.OwnerDraw(1, 1, 0, m.List({m.Txt(2, L"x")}))}), &p, 2);
    });
    kwi_ArgValidation(0);
    alwaysChecked = r.Of([&] { menu_PopUp(0x1234, dyn, &p, 0); });
    kwi_ArgValidation(1);
  }, o);
  EXPECT_EQ(commands, std::vector<std::string>{"menu 302 0"});
  EXPECT_EQ(errors, Codes({6003, 6004, 6004, 6053, 6404}));
  EXPECT_EQ(alwaysChecked, Codes({6000}));
}

TEST(Menus, FailedBuildLeavesTheOldMenu) {
  MenuTerms m;
  HMENU before = nullptr, after = nullptr, recordAfter = nullptr;
  std::string readBefore, readAfter;
  std::vector<int> errors;
  std::vector<std::tuple<int, int, unsigned>> accels;
  RunInTask([&](HWND task) {
    Activate(task);
    before = GetMenu(task);
    readBefore = Show(menu_Get(L(task)));
    RecordingRaises r;
    errors = r.Of([&] {
      menu_Set(L(task), m.Dyn({m.Txt(0, L"&A", 1, 0,
                                      m.List({m.Txt(1, L"k", 1, 0, nullptr, m.Key('K', 2)),
                                              m.OwnerDraw(2, 1, 0, m.List({m.Txt(3, L"sub")}))}))}));
      menu_Set(L(task), m.Dyn({m.Txt(1, L"ok"), m.Item(9, {})}));
      menu_Set(L(task), m.None());
      menu_Set(L(task), m.Menu(7, 0));
    });
    after = GetMenu(task);
    recordAfter = RecordMenu(task);
    readAfter = Show(menu_Get(L(task)));
    for (auto* c = getAccelerators(); c->functor == ListCons; c = c->next)
      accels.emplace_back(c->value->key, c->value->modifiers, c->value->command);
  });
  EXPECT_EQ(errors, Codes({6404, 6004, 6004, 6004}));
  EXPECT_EQ(after, before);
  EXPECT_EQ(recordAfter, before);
  EXPECT_EQ(readAfter, readBefore);
  EXPECT_TRUE(accels.empty());
}

TEST(Menus, InactiveApplicationLeavesInnerWindowsAlone) {
  MenuTerms m;
  Terms t;
  HMENU innerBefore = nullptr, innerWhileInactive = nullptr, taskWhileInactive = nullptr,
        taskBefore = nullptr, innerActive = nullptr, shownActive = nullptr;
  bool inactive = false;
  RunInTask([&](HWND task) {
    Activate(task);
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct rc{10, 10, 200, 150};
    HWND inner = reinterpret_cast<HWND>(
        win_Create(wt_toplevel, &rc, L"Inner", t.ResMenu(1), L(task), t.Flags({1, 4}), &none, 0));
    ASSERT_TRUE(inner);
    innerBefore = RecordMenu(inner);
    taskBefore = RecordMenu(task);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    PumpUntil([] { return !detail::g_appActive; }, 2000);
    inactive = !detail::g_appActive;
    menu_Set(L(inner), m.Dyn({m.Txt(1, L"inner")}));
    innerWhileInactive = RecordMenu(inner);
    menu_Set(L(task), m.Dyn({m.Txt(2, L"task")}));
    taskWhileInactive = RecordMenu(task);
    DestroyWindow(other);
    Activate(task);
    menu_Set(L(inner), m.Dyn({m.Txt(3, L"inner again")}));
    innerActive = RecordMenu(inner);
    shownActive = GetMenu(task);
    DestroyWindow(inner);
  });
  EXPECT_TRUE(inactive);
  EXPECT_EQ(innerWhileInactive, innerBefore);
  EXPECT_NE(taskWhileInactive, taskBefore);
  EXPECT_NE(innerActive, innerBefore);
  EXPECT_EQ(shownActive, innerActive);  // the active inner window shows its menu in the task
}

TEST(Menus, MdiWindowListKeepsListingDocuments) {
  MenuTerms m;
  Terms t;
  std::vector<std::wstring> barBefore, barAfter, listed;
  std::string readInMdi;
  int windowPosAfterGet = -1;
  bool oldDestroyed = false, docMenuShown = false;
  Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });  // outlives the documents
  kwi_SetAttrVal(10002, 1);
  TaskOptions o;
  o.menu = 2;
  RunInTask([&](HWND task) {
    Activate(task);
    rect_struct rc{0, 0, 200, 120};
    auto doc = [&](const wchar_t* title, menu_struct* menu) {
      return reinterpret_cast<HWND>(
          win_Create(wt_toplevel, &rc, title, menu, L(task), t.Flags({9, 4}), &none, 0));
    };
    doc(L"Doc A", t.NoMenu());
    doc(L"Doc B", t.NoMenu());
    kwi_ProcessEvents(1, 0);
    HMENU old = GetMenu(task);
    for (int i = 0; i < GetMenuItemCount(old); ++i) barBefore.push_back(ItemString(old, i));
    readInMdi = Show(menu_Get(L(task)));
    windowPosAfterGet = ItemString(old, 1) == L"&Window" ? 1 : -1;
    menu_Set(L(task), m.Dyn({m.Txt(0, L"&File", 1, 0, m.List({m.Txt(1, L"&New")})),
                             m.Txt(0, L"&Docs", 1, 2, m.List({m.Txt(2, L"&Next")})),
                             m.Txt(0, L"&Last", 1, 0, m.List({m.Txt(3, L"&End")}))}));
    oldDestroyed = !IsMenu(old);
    HMENU bar = GetMenu(task);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) barAfter.push_back(ItemString(bar, i));
    doc(L"Doc C", t.NoMenu());
    kwi_ProcessEvents(1, 0);
    HMENU list = GetSubMenu(GetMenu(task), 1);
    for (int i = 0; list && i < GetMenuItemCount(list); ++i) listed.push_back(ItemString(list, i));
    // A document with a menu of its own keeps the bar while the task's menu changes.
    HWND own = doc(L"Doc D", t.ResMenu(1));
    kwi_ProcessEvents(1, 0);
    menu_Set(L(task), m.Dyn({m.Txt(0, L"&Task", 1, 0, m.List({m.Txt(4, L"&One")}))}));
    docMenuShown = GetMenu(task) == RecordMenu(own);
  }, o);
  kwi_SetAttrVal(10002, 0);
  EXPECT_EQ(barBefore, (std::vector<std::wstring>{L"&File", L"&Window", L"&Help", L"&Tools"}));
  EXPECT_EQ(readInMdi, "txt 1 '&File' 1 0 [txt 101 '&Open' 1 0], txt 1 '&Help' 1 0 [txt 103 '&About' 1 0], "
                       "txt 1 '&Tools' 1 0 [txt 104 '&Options' 1 1]");
  EXPECT_EQ(windowPosAfterGet, 1);
  EXPECT_TRUE(oldDestroyed);
  EXPECT_EQ(barAfter, (std::vector<std::wstring>{L"&File", L"&Window", L"&Docs", L"&Last"}));
  auto has = [&](const wchar_t* title) {
    for (auto& s : listed)
      if (s.find(title) != std::wstring::npos) return true;
    return false;
  };
  EXPECT_TRUE(has(L"&Tile"));
  EXPECT_TRUE(has(L"Doc A"));
  EXPECT_TRUE(has(L"Doc B"));
  EXPECT_TRUE(has(L"Doc C"));
  EXPECT_TRUE(docMenuShown);
}

TEST(Menus, ErrorsOfTheWindowOperations) {
  MenuTerms m;
  Terms t;
  struct Case {
    const char* what;
    std::function<void()> call;
    std::vector<int> codes;
  };
  std::vector<std::string> failures;
  RunInTask([&](HWND task) {
    Activate(task);
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct rc{10, 10, 100, 100};
    HWND child = reinterpret_cast<HWND>(
        win_Create(wt_child, &rc, L"", t.NoMenu(), L(task), t.Flags({1}), &none, 0));
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, task,
                                  nullptr, nullptr, nullptr);
    HWND bare = reinterpret_cast<HWND>(
        win_Create(wt_toplevel, &rc, L"", t.NoMenu(), L(task), t.Flags({1}), &none, 0));
    const Case cases[] = {
        {"child window", [&] { menu_Check_0(L(child), 1, 1); }, {6001}},
        {"push button", [&] { menu_Get(L(button)); }, {6001}},
        {"window created without a menu", [&] { menu_Enable_0(L(bare), 1, 1); }, {6402}},
        {"set on a window without a menu", [&] { menu_Set(L(bare), m.Dyn({m.Txt(1, L"a")})); }, {6402}},
        {"update without a menu", [&] { menu_Update(L(bare)); }, {6402}},
        {"empty menu reads nothing", [&] { menu_Set(L(task), m.Dyn({})); menu_Get(L(task)); }, {6401}},
        {"unknown tag", [&] { menu_Enable_1(L(task), L"none", 1); }, {6403}},
    };
    RecordingRaises r;
    for (const Case& c : cases) {
      std::vector<int> got = r.Of(c.call);
      if (got != c.codes) failures.push_back(c.what);
    }
    // Without validation a window of another type has no menu to act on.
    kwi_ArgValidation(0);
    if (r.Of([&] { menu_Check_0(L(child), 1, 1); }) != Codes({6402})) failures.push_back("child, no validation");
    if (r.Of([&] { menu_Update(L(bare)); }) != Codes({})) failures.push_back("update, no validation");
    kwi_ArgValidation(1);
    DestroyWindow(button);
    DestroyWindow(child);
    DestroyWindow(bare);
  });
  EXPECT_EQ(failures, std::vector<std::string>{});
}

}  // namespace
