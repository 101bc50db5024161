// The GUI layer on real windows: the task window and its loop, scripted
// input, handler failures and errors, MDI, dialogs, subclassing, user
// classes, sent and posted events, and a screenshot for people to look at.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ctrl_events.h"
#include "gui.h"

using namespace QEL_KWI;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

struct Log {
  std::vector<std::string> lines;
  bool on = true;
  void Add(const event_struct* e) {
    if (on) lines.push_back(Describe(e));
  }
};

rect_struct Rect(int l, int t, int r, int b) { return {l, t, r, b}; }

// Answers the first window of class #32770 titled `title` by posting WM_CLOSE.
std::thread CloseDialogLater(const wchar_t* title, std::atomic<bool>* stop) {
  return std::thread([title, stop] {
    while (!*stop) {
      if (HWND d = FindWindowW(L"#32770", title)) {
        PostMessageW(d, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(10);
    }
  });
}

TEST(TaskWindow, ShowsTitleAndMenuAndAFailedCloseEndsTheLoop) {
  Terms t;
  std::vector<std::string> log;
  int closes = 0;
  std::wstring title;
  int menuItems = -1;
  bool visible = false;
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    log.push_back(Describe(e));
    if (e->kind == e_create) PostMessageW(w, WM_CLOSE, 0, 0);
    if (e->kind == e_closerequest) {
      if (++closes == 1) {
        wchar_t buf[64];
        GetWindowTextW(w, buf, 64);
        title = buf;
        menuItems = GetMenuItemCount(GetMenu(w));
        visible = IsWindowVisible(w);
        PostMessageW(w, WM_CLOSE, 0, 0);
        return 0;  // handled: the window stays
      }
      Fail();  // failed: the window is destroyed
    }
    if (e->kind == e_destroy) return 0;
    Fail();
  });
  kwi_Init(t.Flags({9, 4, 5, 6, 2}), &handler, t.ResMenu(1), nullptr, L"Kwi task");
  EXPECT_EQ(title, L"Kwi task");
  EXPECT_EQ(menuItems, 2);
  EXPECT_TRUE(visible);
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.front(), "create 0");
  EXPECT_EQ(std::count(log.begin(), log.end(), "closerequest"), 2);
  EXPECT_NE(std::find(log.begin(), log.end(), "destroy"), log.end()) << testing::PrintToString(log);
}

TEST(TaskWindow, WithoutCaptionIsAPopupAt100) {
  RECT r{};
  LONG_PTR style = 0;
  TaskOptions o;
  o.flags = {};
  o.menu = 0;
  RunInTask([&](HWND task) {
    GetWindowRect(task, &r);
    style = GetWindowLongPtrW(task, GWL_STYLE);
  }, o);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(r.right - r.left, 500);
  EXPECT_EQ(r.bottom - r.top, 400);
  EXPECT_TRUE(style & WS_POPUP);
}

struct ChildWindow {
  Terms t;
  Log log;
  bool eraseHandled = true;
  bool closeHandled = false;
  LONG_PTR measure = 0;
  Closure closure{[this](HWND, event_struct* e) -> LONG_PTR {
    log.Add(e);
    switch (e->kind) {
      case e_erasebackground: if (!eraseHandled) Fail(); return 0;
      case e_closerequest: if (!closeHandled) Fail(); return 0;
      case e_ownermeasureitem: return measure;
      case e_user: return e->w[0] + e->w[1];
      default: return 0;
    }
  }};
  HWND Create(HWND parent) {
    rect_struct r = Rect(10, 10, 260, 190);
    return reinterpret_cast<HWND>(win_Create(wt_child, &r, L"child", t.NoMenu(),
                                             reinterpret_cast<LONG_PTR>(parent), t.Flags({1}),
                                             &closure, 77));
  }
};

TEST(Events, ScriptedInputGivesAnExactLog) {
  ChildWindow c;
  UINT savedLines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &savedLines, 0);
  LRESULT eraseHandled = -1, eraseFailed = -1;
  MEASUREITEMSTRUCT m1{ODT_LISTBOX, 5, 3, 0, 0, 0}, m2{ODT_LISTBOX, 5, 4, 0, 0, 0};
  RunInTask([&](HWND task) {
    HWND w = c.Create(task);
    ASSERT_TRUE(w);
    EXPECT_EQ(win_GetData(reinterpret_cast<LONG_PTR>(w)), 77);
    UpdateWindow(w);
    SetForegroundWindow(task);
    SetFocus(w);
    kwi_ProcessEvents(1, 0);
    c.log.lines.clear();
    // Posted input.
    PostMessageW(w, WM_KEYDOWN, VK_F5, 0);
    PostMessageW(w, WM_KEYDOWN, 'A', 0);
    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(-3, 5));
    PostMessageW(w, WM_RBUTTONDBLCLK, 0, MAKELPARAM(7, 8));
    PostMessageW(w, WM_SIZE, 0, MAKELPARAM(300, 200));
    PostMessageW(w, WM_VSCROLL, SB_TOP, 0);
    PostMessageW(w, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0xFFFE), 0);
    kwi_ProcessEvents(1, 0);
    // Real keys: one at a time, each processed before the next is sent, so
    // that the modifier state read at translation is the one of that key.
    auto key = [&](WORD vk, bool up) {
      size_t n = c.log.lines.size();
      SendKey(vk, up);
      PumpUntil([&] { return c.log.lines.size() > n; }, 3000);
      kwi_ProcessEvents(1, 0);
    };
    key(VK_CONTROL, false);
    key(VK_HOME, false);
    key(VK_HOME, true);
    key(VK_CONTROL, true);
    // Sent messages: erase, measure, wheel, close.
    HDC dc = GetDC(w);
    eraseHandled = SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    c.eraseHandled = false;
    eraseFailed = SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(w, dc);
    SendMessageW(w, WM_MEASUREITEM, 5, reinterpret_cast<LPARAM>(&m1));
    c.measure = 25 | (40 << 16);
    SendMessageW(w, WM_MEASUREITEM, 5, reinterpret_cast<LPARAM>(&m2));
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, savedLines, nullptr, 0);
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
  });
  const std::vector<std::string> expected = {
      "keydown 65652 0", "char 65652 0", "keydown 65 0",
      "mousedown 10 20 0 0", "mousemove -3 5 0 [0,1]", "mousedbl 7 8 0 1", "size 300 200",
      "vscroll 7 0", "hscroll 6 -2", "char 97 0",
      "keydown 17 2", "keydown 309 2", "char 309 2", "keyup 309 2", "keyup 17 0",
      "erase", "erase",
      "measure 2 5 3 0", "measure 2 5 4 0",
      "vscroll 2 0", "vscroll 2 0", "vscroll 2 0", "vscroll 3 0",
      "closerequest", "losefocus", "destroy"};
  EXPECT_EQ(c.log.lines, expected);
  EXPECT_EQ(eraseHandled, 0);  // handled: no default erase
  EXPECT_NE(eraseFailed, 0);   // failed: the default processing erased
  EXPECT_EQ(m1.itemWidth, 10u);
  EXPECT_EQ(m1.itemHeight, 10u);
  EXPECT_EQ(m2.itemWidth, 25u);
  EXPECT_EQ(m2.itemHeight, 40u);
}

TEST(Events, HandlerErrorIsReportedOnceAndStaysInside) {
  Reported().clear();
  LRESULT afterError = 0;
  RunInTask([&](HWND task) {
    Terms t;
    rect_struct r0 = Rect(0, 0, 50, 20);
    HWND button = reinterpret_cast<HWND>(
        win_CreateControl(wt_pushbutton, &r0, L"b",
                          reinterpret_cast<LONG_PTR>(task), t.Flags({}), 10));
    Closure raising([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user && e->w[0] == 1) win_GetData(reinterpret_cast<LONG_PTR>(button));
      if (e->kind == e_user) return 42;
      Fail();
    });
    rect_struct r = Rect(0, 0, 100, 100);
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                               t.Flags({}), &raising, 0));
    EXPECT_EQ(SendMessageW(w, 0xC00F, 1, 0), 0);  // the error ends the handler
    afterError = SendMessageW(w, 0xC00F, 2, 0);
    DestroyWindow(w);
  });
  EXPECT_EQ(Reported(), std::vector<LONG_PTR>{6001});
  EXPECT_EQ(afterError, 42);
}

TEST(Events, ErrorInsideTheErrorHandlerIsSwallowed) {
  static int calls;
  calls = 0;
  struct Raiser {
    static void Fn(LONG_PTR, LONG_PTR code) {
      ++calls;
      K::Errors::RunTimeError(static_cast<uint32_t>(code) + 1);
    }
  };
  RunInTask([&](HWND task) {
    PROLOG_ERRHANDLER_STRUCT h{reinterpret_cast<void*>(&Raiser::Fn), nullptr};
    kwi_SetErrorHandler(&h);
    Terms t;
    Closure raising([](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user) K::Errors::RunTimeError(6010);
      Fail();
    });
    rect_struct r = Rect(0, 0, 100, 100);
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                               t.Flags({}), &raising, 0));
    SendMessageW(w, 0xC00F, 0, 0);
    SendMessageW(w, 0xC00F, 0, 0);
    DestroyWindow(w);
  });
  EXPECT_EQ(calls, 2);  // one report per error, none for the handler's own raise
}

TEST(Errors, RaisedUnderValidation) {
  Reported().clear();
  registerExceptionHandler(RecordRaise);
  std::vector<std::pair<const char*, std::vector<int>>> results;
  RunInTask([&](HWND task) {
    Terms t;
    LONG_PTR tw = reinterpret_cast<LONG_PTR>(task);
    rect_struct r = Rect(0, 0, 50, 20);
    LONG_PTR button = win_CreateControl(wt_pushbutton, &r, L"b", tw, t.Flags({}), 10);
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    event_struct user{e_user, {1, 2}};
    event_struct size{e_size, {1, 2}};
    auto check = [&](const char* what, const std::function<void()>& f) {
      Raised().clear();
      f();
      results.push_back({what, Raised()});
    };
    LONG_PTR got = -1;
    check("6001 win_GetData of a push button", [&] { got = win_GetData(button); });
    EXPECT_EQ(got, 0);
    check("6003 empty accelerator list", [&] { setAccelerators(reinterpret_cast<_accel_list*>(t.Flags({}))); });
    check("6004 win_CreateDyn starting with ctl", [&] {
      win_CreateDyn(t.List({t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(8, {0, 0, 5, 5}, L"")), 1, 0})}),
                    tw, &none, 0);
    });
    check("6001 win_Create of type 5", [&] { win_Create(5, &r, L"", t.NoMenu(), tw, t.Flags({}), &none, 0); });
    check("6001 top-level window in a child", [&] {
      win_Create(1, &r, L"", t.NoMenu(), button, t.Flags({}), &none, 0);
    });
    check("6312 posted e_size", [&] { win_PostEvent(tw, &size); });
    check("6311 sent to a foreign window", [&] { win_SendEvent(reinterpret_cast<LONG_PTR>(foreign), &user); });
    check("6003 empty control list", [&] { win_CreateDynControl(t.List({}), tw); });
    check("6001 controls in a push button", [&] {
      win_CreateControl(wt_edit, &r, L"", button, t.Flags({}), 11);
    });
    check("6050 missing dialog resource", [&] { win_GetResDialog(999); });
    check("6055 missing string", [&] { kwi_GetResStr(999); });
    check("6001 resource dialog of type 5", [&] { win_CreateResDialog(tw, 5, 101, &none, 0); });
    check("6001 subclassing the task window", [&] { win_SetSubClassHandler(tw, &none, 0); });
    check("6010 unknown attribute", [&] { kwi_SetAttrVal(12345, 1); });
    check("6000 class name of no window", [&] { win_GetClassName(0x12345678); });
    check("6220 class registered twice", [&] {
      class_Create(L"KwiTwice", &none);
      class_Create(L"KwiTwice", &none);
      class_Destroy(L"KwiTwice");
    });
    kwi_ArgValidation(0);
    check("none: win_GetData without validation", [&] { got = win_GetData(button); });
    EXPECT_EQ(got, 0);
    check("none: missing string without validation", [&] { kwi_GetResStr(999); });
    check("6001 icon control without validation", [&] {
      win_CreateControl(wt_icon, &r, L"", tw, t.Flags({}), 12);
    });
    kwi_ArgValidation(1);
    registerExceptionHandler(nullptr);
    uint32_t code = K::RunTrapped([&] { win_GetData(button); });
    results.push_back({"kernel error without a handler", {static_cast<int>(code)}});
    registerExceptionHandler(RecordRaise);
    DestroyWindow(foreign);
  });
  registerExceptionHandler(nullptr);
  for (auto& [what, codes] : results) {
    std::string w = what;
    std::vector<int> expected;
    if (isdigit(static_cast<unsigned char>(w[0]))) expected.push_back(std::stoi(w.substr(0, 4)));
    if (w.rfind("kernel", 0) == 0) expected = {6001};
    EXPECT_EQ(codes, expected) << what;
  }
  EXPECT_TRUE(Reported().empty());
}

TEST(Errors, MdiModeWithoutAMenu) {
  registerExceptionHandler(RecordRaise);
  Raised().clear();
  kwi_SetAttrVal(10002, 1);
  Terms t;
  Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
  kwi_Init(t.Flags({9}), &none, t.NoMenu(), nullptr, L"no menu");
  kwi_SetAttrVal(10002, 0);
  registerExceptionHandler(nullptr);
  EXPECT_EQ(Raised(), std::vector<int>{6405});
}

TEST(Mdi, FrameStaysWhileADocumentRefusesToClose) {
  kwi_SetAttrVal(10002, 1);
  bool refuse = true;
  std::vector<std::wstring> windowMenu;
  bool stayed = false, docStayed = false, closed = false;
  RunInTask([&](HWND task) {
    HMENU menu = GetMenu(task);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    wchar_t buf[64];
    GetMenuStringW(menu, 1, buf, 64, MF_BYPOSITION);
    windowMenu.push_back(buf);
    HMENU popup = GetSubMenu(menu, 1);
    for (int i = 0; popup && i < GetMenuItemCount(popup); ++i)
      if (GetMenuStringW(popup, i, buf, 64, MF_BYPOSITION)) windowMenu.push_back(buf);
    Terms t;
    Closure doc([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_closerequest && refuse) return 0;
      Fail();
    });
    rect_struct r = Rect(0, 0, 200, 150);
    HWND d = reinterpret_cast<HWND>(win_Create(wt_toplevel, &r, L"Document", t.NoMenu(),
                                               reinterpret_cast<LONG_PTR>(task), t.Flags({9, 4}), &doc, 0));
    ASSERT_TRUE(d);
    SendMessageW(task, WM_CLOSE, 0, 0);
    stayed = IsWindow(task);
    docStayed = IsWindow(d);
    refuse = false;
    SendMessageW(task, WM_CLOSE, 0, 0);
    closed = !IsWindow(task) && !IsWindow(d);
  });
  kwi_SetAttrVal(10002, 0);
  EXPECT_TRUE(stayed);
  EXPECT_TRUE(docStayed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(windowMenu, (std::vector<std::wstring>{L"&Window", L"&Tile", L"&Cascade", L"&Arrange Icons"}));
}

TEST(Windows, InnerTopLevelWindowLendsItsMenuToTheTask) {
  HMENU taskMenu = nullptr, whileOpen = nullptr, childMenu = nullptr, afterClose = nullptr;
  HWND parent = nullptr;
  RunInTask([&](HWND task) {
    Terms t;
    taskMenu = GetMenu(task);
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct r = Rect(5, 5, 150, 100);
    HWND inner = reinterpret_cast<HWND>(win_Create(wt_toplevel, &r, L"Inner", t.ResMenu(1),
                                                   reinterpret_cast<LONG_PTR>(task), t.Flags({9}), &none, 0));
    parent = GetParent(inner);
    childMenu = reinterpret_cast<HMENU>(XZEV_GetWinData(inner)->w[1]);
    whileOpen = GetMenu(task);
    DestroyWindow(inner);
    afterClose = GetMenu(task);
  });
  EXPECT_TRUE(childMenu);
  EXPECT_NE(childMenu, taskMenu);
  EXPECT_EQ(whileOpen, childMenu);
  EXPECT_EQ(afterClose, taskMenu);
  EXPECT_TRUE(parent);
}

// A child window without a menu of its own leaves the task window's menu bar
// and frame as they are: no frame change (WM_NCCALCSIZE) on its creation or
// its end.
WNDPROC g_taskProc;
int g_frameChanges;
LRESULT CALLBACK CountFrameChanges(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NCCALCSIZE) ++g_frameChanges;
  return CallWindowProcW(g_taskProc, w, m, wp, lp);
}

TEST(Windows, AChildWithoutAMenuLeavesTheTaskFrameAlone) {
  HMENU before = nullptr, whileOpen = nullptr, after = nullptr;
  int changes = -1;
  RunInTask([&](HWND task) {
    Terms t;
    before = GetMenu(task);
    Closure none([](HWND, event_struct*) -> LONG_PTR { return 0; });
    rect_struct r = Rect(5, 5, 150, 100);
    g_frameChanges = 0;
    g_taskProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(task, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountFrameChanges)));
    HWND child = reinterpret_cast<HWND>(
        win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task), t.Flags({}), &none, 0));
    whileOpen = GetMenu(task);
    DestroyWindow(child);
    after = GetMenu(task);
    SetWindowLongPtrW(task, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_taskProc));
    changes = g_frameChanges;
  });
  EXPECT_TRUE(before);
  EXPECT_EQ(whileOpen, before);
  EXPECT_EQ(after, before);
  EXPECT_EQ(changes, 0);
}

TEST(Dialogs, ModalDialogFromAListCreatesTheDocumentedControls) {
  std::atomic<bool> stop{false};
  std::thread closer = CloseDialogLater(L"KwiModal", &stop);
  HWND seen = nullptr;
  LONG_PTR result = 0;
  LONG_PTR check = 0, button = 0, text1 = 0, text2 = 0, edit = 0, editEx = 0;
  int checked = -1;
  wchar_t editText[16] = {};
  std::vector<std::string> log;
  RunInTask([&](HWND task) {
    Terms t;
    Closure dlg([&](HWND w, event_struct* e) -> LONG_PTR {
      log.push_back(Describe(e));
      if (e->kind == e_create) {
        seen = w;
        check = GetWindowLongPtrW(GetDlgItem(w, 11), GWL_STYLE);
        checked = static_cast<int>(IsDlgButtonChecked(w, 11));
        button = GetWindowLongPtrW(GetDlgItem(w, 12), GWL_STYLE);
        text1 = GetWindowLongPtrW(GetDlgItem(w, 13), GWL_STYLE);
        text2 = GetWindowLongPtrW(GetDlgItem(w, 14), GWL_STYLE);
        edit = GetWindowLongPtrW(GetDlgItem(w, 15), GWL_STYLE);
        editEx = GetWindowLongPtrW(GetDlgItem(w, 15), GWL_EXSTYLE);
        GetDlgItemTextW(w, 15, editText, 16);
        return 0;
      }
      if (e->kind == e_ownermeasureitem) return 0;
      Fail();
    });
    auto ctl = [&](int type, int id, rect_struct rc, const wchar_t* title, std::initializer_list<int64_t> f) {
      return t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(type, rc, title, 1)), id,
                            reinterpret_cast<LONG_PTR>(t.Flags(f))});
    };
    windef_list_struct* list = t.List({
        t.Def(wd_dlgfont, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {10, 10, 200, 120}, L"KwiModal", 1)),
                           reinterpret_cast<LONG_PTR>(L"MS Shell Dlg"), 8,
                           reinterpret_cast<LONG_PTR>(t.Flags({9, 4}))}),
        ctl(wt_checkbox, 11, {5, 5, 80, 15}, L"Check", {22, 51}),
        ctl(wt_pushbutton, 12, {5, 20, 80, 35}, L"Owner", {35, 23}),
        ctl(wt_text, 13, {5, 40, 80, 50}, L"&One", {41, 32}),
        ctl(wt_text, 14, {5, 55, 80, 65}, L"&Two", {32, 41}),
        ctl(wt_edit, 15, {90, 5, 180, 40}, L"a\nb", {28, 25, 26}),
    });
    result = win_CreateDynDialog(reinterpret_cast<LONG_PTR>(task), list, &dlg, 9);
  });
  stop = true;
  closer.join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(result, reinterpret_cast<LONG_PTR>(seen));
  EXPECT_FALSE(IsWindow(seen));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "create 9");
  EXPECT_EQ(check & 0xF, BS_AUTOCHECKBOX);
  EXPECT_EQ(button & 0xF, BS_OWNERDRAW);
  EXPECT_EQ(text1 & (SS_TYPEMASK | SS_NOPREFIX), SS_CENTER);
  EXPECT_EQ(text2 & (SS_TYPEMASK | SS_NOPREFIX), SS_CENTER | SS_NOPREFIX);
  EXPECT_EQ(edit & (WS_GROUP | WS_TABSTOP | ES_MULTILINE), WS_GROUP | WS_TABSTOP | ES_MULTILINE);
  // The dialog manager turns an edit's border into the client edge.
  EXPECT_TRUE((edit & WS_BORDER) || (editEx & WS_EX_CLIENTEDGE));
  EXPECT_STREQ(editText, L"a\nb");
  EXPECT_EQ(std::count(log.begin(), log.end(), "closerequest"), 1);
}

TEST(Controls, CreatedFromAListOnAChildWindow) {
  registerExceptionHandler(RecordRaise);
  Raised().clear();
  int checked = -1;
  LONG_PTR editStyle = 0, editEx = 0, iconWord = 0;
  std::wstring text, iconClass;
  std::vector<std::string> parentLog;
  std::vector<int> customRaised;
  RunInTask([&](HWND task) {
    Terms t;
    Closure parentHandler([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_control) parentLog.push_back(Describe(e));
      Fail();
    });
    rect_struct r = Rect(0, 0, 400, 300);
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                               t.Flags({}), &parentHandler, 0));
    auto def = [&](uintptr_t alt, int type, rect_struct rc, const wchar_t* title,
                   std::initializer_list<LONG_PTR> rest) {
      windef* d = t.Def(alt, rest);
      for (int i = 3; i > 0; --i) d->w[i] = d->w[i - 1];
      d->w[0] = reinterpret_cast<LONG_PTR>(t.Wdef(type, rc, title));
      return d;
    };
    LONG_PTR first = win_CreateDynControl(
        t.List({def(wd_ctl, wt_checkbox, {5, 5, 100, 20}, L"c", {21, reinterpret_cast<LONG_PTR>(t.Flags({22, 51}))}),
                def(wd_ctl, wt_edit, {5, 30, 200, 80}, L"a\nb", {22, reinterpret_cast<LONG_PTR>(t.Flags({28, 27}))}),
                def(wd_ctl, wt_listbox, {5, 90, 200, 160}, L"", {23, reinterpret_cast<LONG_PTR>(t.Flags({}))}),
                def(wd_icon, wt_icon, {210, 5, 242, 37}, L"", {24, 105, reinterpret_cast<LONG_PTR>(t.Flags({}))})}),
        reinterpret_cast<LONG_PTR>(w));
    EXPECT_EQ(first, reinterpret_cast<LONG_PTR>(GetDlgItem(w, 21)));
    checked = static_cast<int>(IsDlgButtonChecked(w, 21));
    editStyle = GetWindowLongPtrW(GetDlgItem(w, 22), GWL_STYLE);
    editEx = GetWindowLongPtrW(GetDlgItem(w, 22), GWL_EXSTYLE);
    wchar_t buf[32];
    GetDlgItemTextW(w, 22, buf, 32);
    text = buf;
    HWND icon = GetDlgItem(w, 24);
    GetClassNameW(icon, buf, 32);
    iconClass = buf;
    iconWord = GetWindowLongPtrW(icon, 0);
    // Enter in a list box counts as a double click.
    SendMessageW(GetDlgItem(w, 23), WM_KEYDOWN, VK_RETURN, 0);
    Raised().clear();
    win_CreateDynControl(t.List({def(wd_customctl, wt_custom, {0, 0, 5, 5}, L"",
                                     {reinterpret_cast<LONG_PTR>(L"NoSuchKwiClass"), 25,
                                      reinterpret_cast<LONG_PTR>(t.Flags({}))})}),
                         reinterpret_cast<LONG_PTR>(w));
    customRaised = Raised();
    DestroyWindow(w);
  });
  registerExceptionHandler(nullptr);
  EXPECT_EQ(checked, BST_CHECKED);
  EXPECT_EQ(text, L"a\r\nb");
  EXPECT_TRUE(editStyle & ES_READONLY);
  EXPECT_TRUE(editStyle & ES_MULTILINE);
  EXPECT_TRUE(editEx & WS_EX_CLIENTEDGE);
  EXPECT_EQ(iconClass, L"ZevDynIcon32");
  EXPECT_EQ(iconWord, 105);
  EXPECT_EQ(parentLog, std::vector<std::string>{"control 23 15 activated"});
  EXPECT_EQ(customRaised, std::vector<int>{6309});
}

TEST(Dialogs, ModelessResourceDialogKeepsItsDataAndAnswersF1) {
  LONG_PTR before = 0, after = 0, typeWord = 0, validAfter = 1;
  std::vector<std::string> log;
  RunInTask([&](HWND task) {
    Closure dlg([&](HWND, event_struct* e) -> LONG_PTR {
      log.push_back(Describe(e));
      Fail();
    });
    LONG_PTR d = win_CreateResDialog(reinterpret_cast<LONG_PTR>(task), wt_modeless, 101, &dlg, 5);
    ASSERT_TRUE(d);
    before = win_GetData(d);
    win_SetData(d, 99);
    after = win_GetData(d);
    typeWord = XZEV_GetWinData(reinterpret_cast<HWND>(d))->w[7];
    HELPINFO hi{};
    hi.cbSize = sizeof hi;
    SendMessageW(reinterpret_cast<HWND>(d), WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
    DestroyWindow(reinterpret_cast<HWND>(d));
    validAfter = XZEV_GetWinData(reinterpret_cast<HWND>(d))->w[47];
  });
  EXPECT_EQ(before, 5);
  EXPECT_EQ(after, 99);
  EXPECT_EQ(typeWord, wt_modeless);
  EXPECT_EQ(validAfter, 0);
  EXPECT_EQ(log.front(), "create 5");
  EXPECT_NE(std::find(log.begin(), log.end(), "control 3 8 activated"), log.end());
  EXPECT_EQ(log.back(), "destroy");
}

TEST(Subclass, ControlsGetTheNewestClosureAndItsAnswers) {
  std::vector<std::string> logA, logB;
  LONG_PTR objectWord = 0, sent = 0, sentButtonBare = -1, sentButton = 0, nativeLength = 0;
  std::wstring handledText, passedText;
  HWND comboSeen = nullptr, combo = nullptr;
  RunInTask([&](HWND task) {
    Terms t;
    LONG_PTR tw = reinterpret_cast<LONG_PTR>(task);
    bool handle = true;
    Closure a([&](HWND, event_struct* e) -> LONG_PTR { logA.push_back(Describe(e)); Fail(); });
    Closure b([&](HWND w, event_struct* e) -> LONG_PTR {
      logB.push_back(Describe(e));
      if (e->kind == e_user) return 7;
      if (e->kind == e_char && w == combo) comboSeen = w;
      if (e->kind == e_char && handle) return 1;
      Fail();
    });
    rect_struct r = Rect(0, 0, 120, 24);
    LONG_PTR edit = win_CreateControl(wt_edit, &r, L"", tw, t.Flags({}), 200);
    win_SetSubClassHandler(edit, &a, 0);
    win_SetSubClassHandler(edit, &b, 0);
    objectWord = XZEV_GetWinData(reinterpret_cast<HWND>(edit))->w[9];
    event_struct user{e_user, {3, 4}};
    sent = win_SendEvent(edit, &user);
    SendMessageW(reinterpret_cast<HWND>(edit), WM_CHAR, 'x', 1);
    wchar_t buf[16];
    GetWindowTextW(reinterpret_cast<HWND>(edit), buf, 16);
    handledText = buf;
    handle = false;
    SendMessageW(reinterpret_cast<HWND>(edit), WM_CHAR, 'y', 1);
    GetWindowTextW(reinterpret_cast<HWND>(edit), buf, 16);
    passedText = buf;
    event_struct native{e_native, {WM_GETTEXTLENGTH, 0, 0}};
    nativeLength = win_SendEvent(edit, &native);
    // A push button in a dialog: no closure, then a subclass closure.
    Closure dlgHandler([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    LONG_PTR d = win_CreateResDialog(tw, wt_modeless, 101, &dlgHandler, 0);
    LONG_PTR apply = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(d), 3));
    sentButtonBare = win_SendEvent(apply, &user);
    win_SetSubClassHandler(apply, &b, 0);
    sentButton = win_SendEvent(apply, &user);
    DestroyWindow(reinterpret_cast<HWND>(d));
    // A combo box with edit field: its edit's messages come as the combo's.
    rect_struct cr = Rect(0, 30, 120, 130);
    combo = reinterpret_cast<HWND>(win_CreateControl(wt_listedit, &cr, L"c", tw, t.Flags({}), 201));
    win_SetSubClassHandler(reinterpret_cast<LONG_PTR>(combo), &b, 0);
    handle = true;
    HWND comboEdit = GetDlgItem(combo, 1001);
    if (!comboEdit) comboEdit = GetWindow(combo, GW_CHILD);
    SendMessageW(comboEdit, WM_CHAR, 'z', 1);
    DestroyWindow(reinterpret_cast<HWND>(edit));
    DestroyWindow(combo);
  });
  EXPECT_TRUE(logA.empty());
  EXPECT_NE(objectWord, 0);
  EXPECT_EQ(sent, 7);
  EXPECT_EQ(handledText, L"");   // handled: the edit never saw the key
  EXPECT_EQ(passedText, L"y");   // failed: passed on to the edit
  EXPECT_EQ(nativeLength, 1);
  EXPECT_EQ(sentButtonBare, 0);
  EXPECT_EQ(sentButton, 7);
  EXPECT_EQ(comboSeen, combo);
  EXPECT_NE(std::find(logB.begin(), logB.end(), "destroy"), logB.end());
}

TEST(Pump, ProcessEventsKeepsPaintAndTimersAndDropsInput) {
  ChildWindow c;
  int result = -1, quitResult = -1, insideErase = -1;
  bool quitQueued = false;
  RunInTask([&](HWND task) {
    HWND w = c.Create(task);
    UpdateWindow(w);
    kwi_ProcessEvents(1, 0);
    c.log.lines.clear();
    PostMessageW(w, WM_KEYDOWN, 'Q', 0);
    InvalidateRect(w, nullptr, FALSE);
    SetTimer(w, 7, 1, nullptr);
    Sleep(50);
    result = kwi_ProcessEvents(0, 0);
    KillTimer(w, 7);
    // Inside an erase-background event the pump refuses to run.
    Closure eraser([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_erasebackground) insideErase = kwi_ProcessEvents(1, 0);
      Fail();
    });
    Terms t;
    rect_struct r = Rect(0, 0, 50, 50);
    HWND e = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                               t.Flags({}), &eraser, 0));
    HDC dc = GetDC(e);
    SendMessageW(e, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(e, dc);
    DestroyWindow(e);
    DestroyWindow(w);
    PostQuitMessage(0);
    quitResult = kwi_ProcessEvents(1, 0);
    MSG m;
    quitQueued = PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
  });
  EXPECT_EQ(result, 1);
  EXPECT_NE(std::find(c.log.lines.begin(), c.log.lines.end(), "update"), c.log.lines.end());
  EXPECT_NE(std::find(c.log.lines.begin(), c.log.lines.end(), "timer 7"), c.log.lines.end());
  EXPECT_EQ(std::count_if(c.log.lines.begin(), c.log.lines.end(),
                          [](const std::string& s) { return s.rfind("key", 0) == 0; }), 0);
  EXPECT_EQ(insideErase, 0);
  EXPECT_EQ(quitResult, 1);
  EXPECT_TRUE(quitQueued);
}

TEST(Pump, PendingUserBreakIsRaisedFromTheLoopThatTookAMessage) {
  ASSERT_EQ(K::ExeInitialization(), 0);  // installs the console handler
  Reported().clear();
  bool after = false;
  RunInTask([&](HWND task) {
    Terms t;
    // A handler that pumps: the break is raised there and reported.
    Closure pumping([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind != e_user) Fail();
      kwi_ProcessEvents(1, 0);
      after = true;
      return 0;
    });
    rect_struct r = Rect(0, 0, 100, 100);
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(),
                                               reinterpret_cast<LONG_PTR>(task), t.Flags({}),
                                               &pumping, 0));
    ASSERT_TRUE(DeliverCtrlEvent(CTRL_C_EVENT));
    SendMessageW(w, 0xC00F, 0, 0);
    DestroyWindow(w);
  });
  EXPECT_FALSE(after);
  EXPECT_EQ(Reported(), std::vector<LONG_PTR>{4});
}

TEST(Accelerators, SetAndGetBack) {
  std::vector<std::tuple<int, int, unsigned>> back;
  std::vector<std::string> taskLog;
  TaskOptions o;
  o.events = [&](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_menu) taskLog.push_back(Describe(e));
    Fail();
  };
  RunInTask([&](HWND task) {
    Terms t;
    setAccelerators(t.Accels({{65652, 2, 500}, {'A', 1, 501}, {307, 0, 502}, {127, 4, 503}}));
    for (auto* c = getAccelerators(); c->functor == ListCons; c = c->next)
      back.emplace_back(c->value->key, c->value->modifiers, c->value->command);
    setAccelerators(t.Accels({{65536 + VK_F6, 0, 600}}));
    ChildWindow c;
    HWND w = c.Create(task);
    SetFocus(w);
    UpdateWindow(w);
    kwi_ProcessEvents(1, 0);
    c.log.lines.clear();
    PostMessageW(w, WM_KEYDOWN, VK_F6, 0);
    kwi_ProcessEvents(1, 0);
    c.log.on = false;
    DestroyWindow(w);
    for (auto& l : c.log.lines) taskLog.push_back("child " + l);
  }, o);
  EXPECT_EQ(back, (std::vector<std::tuple<int, int, unsigned>>{{65652, 2, 500}, {'A', 1, 501}, {127, 4, 503}}));
  // The accelerator took the key: a menu event for the task, no key for the child.
  EXPECT_EQ(taskLog, std::vector<std::string>{"menu 600 0"});
}

TEST(UserClasses, ReturnInAUserControlPressesTheDefaultButton) {
  std::vector<std::string> dlgLog, panelLog;
  RunInTask([&](HWND task) {
    Terms t;
    Closure panel([&](HWND, event_struct* e) -> LONG_PTR { panelLog.push_back(Describe(e)); Fail(); });
    class_Create(L"KwiTestPanel", &panel);
    Closure dlg([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_control) dlgLog.push_back(Describe(e));
      Fail();
    });
    windef_list_struct* list = t.List({
        t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modeless, {10, 10, 200, 100}, L"KwiUser", 1)),
                       reinterpret_cast<LONG_PTR>(t.Flags({9}))}),
        t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_pushbutton, {5, 5, 60, 20}, L"OK", 1)), 1,
                       reinterpret_cast<LONG_PTR>(t.Flags({23, 26}))}),
        t.Def(wd_customctl, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_custom, {5, 30, 100, 60}, L"panel", 1)),
                             reinterpret_cast<LONG_PTR>(L"KwiTestPanel"), 300,
                             reinterpret_cast<LONG_PTR>(t.Flags({1, 26}))}),
    });
    HWND d = reinterpret_cast<HWND>(win_CreateDynDialog(reinterpret_cast<LONG_PTR>(task), list, &dlg, 0));
    ASSERT_TRUE(d);
    HWND p = GetDlgItem(d, 300);
    ASSERT_TRUE(p);
    EXPECT_EQ(XZEV_GetWinData(p)->w[7], wt_custom);
    SendMessageW(p, WM_CHAR, VK_RETURN, 1);
    PumpUntil([&] { return !dlgLog.empty(); }, 1000);
    DestroyWindow(d);
    class_Destroy(L"KwiTestPanel");
  });
  EXPECT_EQ(dlgLog, std::vector<std::string>{"control 1 8 activated"});
  ASSERT_FALSE(panelLog.empty());
  EXPECT_EQ(panelLog.front(), "create 0");
  EXPECT_NE(std::find(panelLog.begin(), panelLog.end(), "char 13 0"), panelLog.end());
}

TEST(SendPost, PostedEventsArriveThroughTheLoop) {
  ChildWindow c;
  RunInTask([&](HWND task) {
    HWND w = c.Create(task);
    UpdateWindow(w);
    kwi_ProcessEvents(1, 0);
    c.log.lines.clear();
    LONG_PTR lw = reinterpret_cast<LONG_PTR>(w);
    pnt_struct p{-4, 9};
    event_struct events[] = {
        {e_user, {5, 6}},
        {e_menu, {0x10123, 0}},
        {e_char, {'k', 0}},
        {e_mousedown, {reinterpret_cast<LONG_PTR>(&p), 0, 1}},
        {e_mousemove, {reinterpret_cast<LONG_PTR>(&p), 0, 0}},
        {e_move, {3, 4}},
    };
    for (auto& e : events) win_PostEvent(lw, &e);
    kwi_ProcessEvents(1, 0);
    event_struct sendUser{e_user, {20, 22}};
    c.log.lines.push_back("sent " + std::to_string(win_SendEvent(lw, &sendUser)));
    DestroyWindow(w);
  });
  std::vector<std::string> expected = {"user 5 6",         "menu 291 0",  "char 107 0", "mousedown -4 9 0 1",
                                       "mousemove -4 9 0 []", "move 3 4", "user 20 22", "sent 42"};
  c.log.lines.resize(std::min(c.log.lines.size(), expected.size()));
  EXPECT_EQ(c.log.lines, expected);
}

TEST(Screenshot, TaskWindowWithChildAndDialog) {
  bool saved = false, varied = false;
  RunInTask([&](HWND task) {
    Terms t;
    MoveWindow(task, 40, 40, 640, 420, TRUE);
    ChildWindow c;
    HWND w = c.Create(task);
    Closure dlg([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct r = Rect(20, 20, 160, 44);
    win_CreateControl(wt_edit, &r, L"child edit", reinterpret_cast<LONG_PTR>(w), t.Flags({}), 5);
    HWND d = reinterpret_cast<HWND>(win_CreateResDialog(reinterpret_cast<LONG_PTR>(task), wt_modeless, 101, &dlg, 0));
    SetWindowPos(d, HWND_TOP, 380, 200, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(task);
    RedrawWindow(task, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 400);
    RECT a, b;
    GetWindowRect(task, &a);
    GetWindowRect(d, &b);
    UnionRect(&a, &a, &b);
    saved = SaveScreenPng(a, L"kwi_screenshot.png", &varied);
    DestroyWindow(d);
    DestroyWindow(w);
  });
  EXPECT_TRUE(saved);
  EXPECT_TRUE(varied);
}

}  // namespace

namespace {

TEST(Errors, OutsideAndAtTheEdgesOfCreation) {
  registerExceptionHandler(RecordRaise);
  Raised().clear();
  Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
  win_SetSubClassHandler(reinterpret_cast<LONG_PTR>(GetDesktopWindow()), &none, 0);
  EXPECT_EQ(Raised(), std::vector<int>{6009});  // no GUI state yet
  std::vector<std::pair<std::string, std::vector<int>>> results;
  RunInTask([&](HWND task) {
    Terms t;
    rect_struct r = Rect(0, 0, 50, 50);
    auto check = [&](const char* what, const std::function<void()>& f) {
      Raised().clear();
      f();
      results.push_back({what, Raised()});
    };
    check("6306", [&] { win_Create(wt_child, &r, L"", t.NoMenu(), 0, t.Flags({}), &none, 0); });
    check("6307", [&] {
      win_CreateDyn(t.List({t.Def(wd_childwin, {reinterpret_cast<LONG_PTR>(t.Wdef(2, r, L"")), 3,
                                                reinterpret_cast<LONG_PTR>(t.Flags({}))})}),
                    0, &none, 0);
    });
    check("6001", [&] {  // a top-level window definition in a child window
      rect_struct rc = Rect(0, 0, 40, 40);
      HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &rc, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                                 t.Flags({}), &none, 0));
      win_CreateDyn(t.List({t.Def(wd_topwin, {reinterpret_cast<LONG_PTR>(t.Wdef(1, r, L"")),
                                              reinterpret_cast<LONG_PTR>(t.NoMenu()),
                                              reinterpret_cast<LONG_PTR>(t.Flags({}))})}),
                    reinterpret_cast<LONG_PTR>(w), &none, 0);
      DestroyWindow(w);
    });
  });
  registerExceptionHandler(nullptr);
  for (auto& [what, codes] : results) EXPECT_EQ(codes, std::vector<int>{std::stoi(what)}) << what;
}

TEST(Windows, OwnershipObjectsAndResources) {
  bool own = false, foreignOwn = true, objectFound = false, noObject = true;
  void* object = nullptr;
  std::wstring resString, className;
  int existDialog = -1, missingDialog = -1, existString = -1, missingString = -1, bx = 0, by = 0;
  RunInTask([&](HWND task) {
    Terms t;
    LONG_PTR tw = reinterpret_cast<LONG_PTR>(task);
    own = K::Succeeds([&] { win_IsOwn(tw); });
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    foreignOwn = K::Succeeds([&] { win_IsOwn(reinterpret_cast<LONG_PTR>(foreign)); });
    DestroyWindow(foreign);
    Handler h = [](HWND, event_struct*) -> LONG_PTR { Fail(); };
    PROLOG_EHANDLER_STRUCT withObject{reinterpret_cast<void*>(&Trampoline), &h};
    rect_struct r = Rect(0, 0, 40, 40);
    LONG_PTR w = win_Create(wt_child, &r, L"", t.NoMenu(), tw, t.Flags({}), &withObject, 0);
    objectFound = K::Succeeds([&] { object = tryGetWindowObject(w); });
    PROLOG_EHANDLER_STRUCT plain{reinterpret_cast<void*>(+[](LONG_PTR, event_struct*) -> LONG_PTR { Fail(); }),
                                 nullptr};
    LONG_PTR w2 = win_Create(wt_child, &r, L"", t.NoMenu(), tw, t.Flags({}), &plain, 0);
    noObject = !K::Succeeds([&] { tryGetWindowObject(w2); });
    DestroyWindow(reinterpret_cast<HWND>(w2));
    className = win_GetClassName(w);
    DestroyWindow(reinterpret_cast<HWND>(w));
    existDialog = kwi_CheckExistDialog(100);
    missingDialog = kwi_CheckExistDialog(GetModuleHandleW(nullptr), 4711);
    existString = kwi_CheckExistString(1);   // block of strings 0 to 15
    missingString = kwi_CheckExistString(2);
    resString = kwi_GetResStr(15);
    kwi_GetBaseUnits(&bx, &by);
  });
  EXPECT_TRUE(own);
  EXPECT_FALSE(foreignOwn);
  EXPECT_TRUE(objectFound);
  EXPECT_NE(object, nullptr);  // the closure's object word
  EXPECT_TRUE(noObject);
  EXPECT_EQ(className, L"ZevChild32");
  EXPECT_EQ(existDialog, 1);
  EXPECT_EQ(missingDialog, 0);
  EXPECT_EQ(existString, 1);
  EXPECT_EQ(missingString, 0);
  EXPECT_EQ(resString, L"fifteen");
  LONG base = GetDialogBaseUnits();
  EXPECT_EQ(bx, LOWORD(base));
  EXPECT_EQ(by, HIWORD(base));
  EXPECT_EQ(kwi_ComposeRGB(255, 0, 0), 255);
  EXPECT_EQ(kwi_ComposeRGB(0, 0, 255), 16711680);
  EXPECT_EQ(kwi_ComposeRGB(0x1FF, 1, 0x180), 0x8001FF);
}

TEST(TaskWindow, DynamicMenu) {
  std::deque<menu_item> items;
  std::deque<menu_item_list_struct> cells;
  auto list = [&](const std::vector<menu_item*>& v) { return BuildList(cells, v); };
  auto txt = [&](unsigned id, const wchar_t* text, int enabled, int flags, menu_item_list_struct* sub) {
    items.push_back({1, {static_cast<LONG_PTR>(id), reinterpret_cast<LONG_PTR>(text), 0, enabled, flags,
                         reinterpret_cast<LONG_PTR>(sub)}});
    return &items.back();
  };
  auto separator = [&] {
    items.push_back({3, {}});
    return &items.back();
  };
  menu_struct dyn{2, reinterpret_cast<uintptr_t>(list(
                         {txt(0, L"&File", 1, 0,
                              list({txt(201, L"&Open", 1, 0, list({})), separator(),
                                    txt(202, L"&Checked", 0, 1, list({}))})),
                          txt(203, nullptr, 1, 0, list({}))}))};
  Terms t;
  std::wstring top0, top1, sub0;
  UINT state2 = 0;
  int subCount = 0;
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      PostMessageW(w, WM_CLOSE, 0, 0);
      HMENU m = GetMenu(w);
      wchar_t buf[32];
      GetMenuStringW(m, 0, buf, 32, MF_BYPOSITION);
      top0 = buf;
      GetMenuStringW(m, 1, buf, 32, MF_BYPOSITION);
      top1 = buf;
      HMENU sub = GetSubMenu(m, 0);
      subCount = GetMenuItemCount(sub);
      GetMenuStringW(sub, 0, buf, 32, MF_BYPOSITION);
      sub0 = buf;
      state2 = GetMenuState(sub, 202, MF_BYCOMMAND);
    }
    Fail();
  });
  kwi_Init(t.Flags({9}), &handler, &dyn, nullptr, L"dynamic");
  EXPECT_EQ(top0, L"&File");
  EXPECT_EQ(top1, L" ");  // a missing text becomes one blank
  EXPECT_EQ(subCount, 3);
  EXPECT_EQ(sub0, L"&Open");
  EXPECT_TRUE(state2 & MF_CHECKED);
  EXPECT_TRUE(state2 & MF_GRAYED);
}

}  // namespace

namespace {

TEST(Errors, WithoutAnErrorHandlerTheErrorBoxIsShown) {
  std::atomic<bool> stop{false};
  std::wstring boxText;
  std::thread answer([&] {
    while (!stop) {
      if (HWND box = FindWindowW(L"#32770", L"Program Error")) {
        // The static text of the message box.
        HWND text = GetDlgItem(box, 0xFFFF);
        wchar_t buf[512] = {};
        if (text) GetWindowTextW(text, buf, 512);
        boxText = buf;
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        return;
      }
      Sleep(10);
    }
  });
  LRESULT after = 0;
  RunInTask([&](HWND task) {
    kwi_SetErrorHandler(nullptr);
    Terms t;
    Closure raising([](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user && e->w[0] == 1) K::Errors::RunTimeError(6010);
      if (e->kind == e_user) return 5;
      Fail();
    });
    rect_struct r = Rect(0, 0, 40, 40);
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                               t.Flags({}), &raising, 0));
    SendMessageW(w, 0xC00F, 1, 0);
    after = SendMessageW(w, 0xC00F, 2, 0);
    DestroyWindow(w);
  });
  stop = true;
  answer.join();
  EXPECT_NE(boxText.find(L"Register On Clipboard?"), std::wstring::npos) << testing::PrintToString(boxText);
  EXPECT_EQ(after, 5);
}

}  // namespace

namespace {

TEST(Dialogs, ResourceDialogWithAUserControl) {
  registerExceptionHandler(RecordRaise);
  std::vector<int> withoutClass;
  LONG_PTR modal = 0;
  std::vector<std::string> customLog;
  int type = -1;
  RunInTask([&](HWND task) {
    LONG_PTR tw = reinterpret_cast<LONG_PTR>(task);
    Closure dlg([&](HWND w, event_struct* e) -> LONG_PTR {
      if (e->kind == e_create) type = static_cast<int>(XZEV_GetWinData(w)->w[7]);
      Fail();
    });
    // The template names a class that is not registered yet.
    Raised().clear();
    win_CreateResDialog(tw, wt_modeless, 100, &dlg, 0);
    withoutClass = Raised();
    Closure custom([&](HWND, event_struct* e) -> LONG_PTR {
      customLog.push_back(Describe(e));
      Fail();
    });
    class_Create(L"KWITESTCUSTOM", &custom);
    std::atomic<bool> stop{false};
    std::thread closer = CloseDialogLater(L"Round trip", &stop);
    Raised().clear();
    modal = win_CreateResDialog(tw, wt_modal, 100, &dlg, 0);
    stop = true;
    closer.join();
    class_Destroy(L"KWITESTCUSTOM");
  });
  registerExceptionHandler(nullptr);
  EXPECT_EQ(withoutClass, std::vector<int>{6304});
  EXPECT_NE(modal, 0);
  EXPECT_EQ(type, wt_modal);
  ASSERT_FALSE(customLog.empty());
  EXPECT_EQ(customLog.front(), "create 0");
  EXPECT_EQ(customLog.back(), "destroy");
}

}  // namespace

namespace {

TEST(Mdi, ActiveDocumentLendsItsMenuWithTheWindowPopup) {
  kwi_SetAttrVal(10002, 1);
  HMENU frameMenu = nullptr, docMenu = nullptr, whileActive = nullptr, afterClose = nullptr;
  std::wstring popupInDoc;
  RunInTask([&](HWND task) {
    Terms t;
    frameMenu = GetMenu(task);
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct r = Rect(0, 0, 200, 150);
    HWND d = reinterpret_cast<HWND>(win_Create(wt_toplevel, &r, L"Doc", t.ResMenu(1),
                                               reinterpret_cast<LONG_PTR>(task), t.Flags({9, 4}), &none, 0));
    ASSERT_TRUE(d);
    docMenu = reinterpret_cast<HMENU>(XZEV_GetWinData(d)->w[1]);
    kwi_ProcessEvents(1, 0);
    whileActive = GetMenu(task);
    wchar_t buf[64] = {};
    for (int i = 0; i < GetMenuItemCount(docMenu); ++i)
      if (GetMenuStringW(docMenu, i, buf, 64, MF_BYPOSITION) && wcscmp(buf, L"&Window") == 0)
        popupInDoc = buf;
    SendMessageW(d, WM_CLOSE, 0, 0);
    kwi_ProcessEvents(1, 0);
    afterClose = GetMenu(task);
  });
  kwi_SetAttrVal(10002, 0);
  EXPECT_TRUE(docMenu);
  EXPECT_EQ(whileActive, docMenu);
  EXPECT_EQ(popupInDoc, L"&Window");
  EXPECT_EQ(afterClose, frameMenu);
}

TEST(Events, EraseEventsCanBeSwitchedOff) {
  ChildWindow c;
  LRESULT answer = -1;
  kwi_SetAttrVal(10008, 0);
  RunInTask([&](HWND task) {
    HWND w = c.Create(task);
    c.log.lines.clear();
    HDC dc = GetDC(w);
    answer = SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(w, dc);
    DestroyWindow(w);
  });
  kwi_SetAttrVal(10008, 1);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(std::count(c.log.lines.begin(), c.log.lines.end(), "erase"), 0);
}

}  // namespace

namespace {

TEST(Subclass, ControlsOutlivingTheLayerGetTheirProcedureBack) {
  HWND top = nullptr, edit = nullptr;
  LONG_PTR before = 0;
  RunInTask([&](HWND) {
    Terms t;
    top = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 80, 20, top, nullptr, nullptr, nullptr);
    before = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    static Closure keep([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    win_SetSubClassHandler(reinterpret_cast<LONG_PTR>(edit), &keep, 0);
    EXPECT_NE(GetWindowLongPtrW(edit, GWLP_WNDPROC), before);
  });
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), before);
  SendMessageW(edit, WM_CHAR, 'q', 1);
  wchar_t buf[8] = {};
  GetWindowTextW(edit, buf, 8);
  EXPECT_STREQ(buf, L"q");
  DestroyWindow(top);
}

}  // namespace
