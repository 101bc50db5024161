// The list box's event handler on a real window (Xvfb) driven through the
// input queue with an owner that logs its call-backs, the in-place cell
// editor.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "KWI/orvtoolkwi/libox.h"
#include "KWI/orvtoolkwi/o_edit_li.h"
#include "answer.h"
#include "kwi/kwi.h"
#include "checks.h"
#include "dialog_recorder.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using Row = std::vector<std::wstring>;

libox* g_list = nullptr;
std::vector<std::string> g_log;

LONG_PTR Drive(HWND w, event_struct* e) {
  if (!g_list) Qel::RunTime::Kernel::Fail();
  return g_list->_lbox_eh(reinterpret_cast<LONG_PTR>(w), e);
}

void Log(const std::string& s) { g_log.push_back(s); }
void OnSel(void*, uint32_t col, uint32_t row, const line&) { Log("sel " + std::to_string(col) + " " + std::to_string(row)); }
void OnDbl(void*, uint32_t col, uint32_t row, const line& l) {
  Log("dbl " + std::to_string(col) + " " + std::to_string(row) + (l.alt == line::line_no && l.cells->Empty() ? " empty" : ""));
}
void OnButton(void*, uint32_t row, uint32_t col) { Log("button " + std::to_string(row) + " " + std::to_string(col)); }
void OnSendBack(void*, const wchar_t* text, uint32_t row, uint32_t col) {
  std::string t;
  for (const wchar_t* c = text; *c; ++c) t += *c < 128 ? char(*c) : '?';
  Log("send " + t + " " + std::to_string(row) + " " + std::to_string(col));
}

class ListEvents : public Rz {
 protected:
  void SetUp() override {
    Rz::SetUp();
    g_log.clear();
  }
  void TearDown() override {
    g_list = nullptr;
    Rz::TearDown();
  }
  // Columns at [26, 126, 226, 326], band (0, 20), rows of 16 (row n spans
  // 20 + 16n to 36 + 16n), call-backs logged; the task runs its handler.
  static libox* Make(HWND task, int lines) {
    libox* l = nullptr;
    EXPECT_EQ(RunTrapped([&] {
      l = libox::new_(L"rz-events", Screen(reinterpret_cast<LONG_PTR>(task)));
      Fill(l, lines, [](int) { return std::wstring(L"b"); });
    }), 0u);
    g_list = l;
    kwitest::PumpUntil([] { return false; }, 150);
    return l;
  }
  // The columns, band and rows of 16; lines r1..rN with cellB(n) in column
  // b and "c"; the call-backs; drawn.
  static void Fill(libox* l, int lines, const std::function<std::wstring(int)>& cellB) {
    l->set_title_tb(TitleTb(0, 20));
    l->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
    l->set_col_widths(true, MakeList<uint32_t>({25, 100, 100, 100}));
    l->set_row_height(16);
    ListBuilder<const SList*> rows(true);
    for (int i = 1; i <= lines; ++i) {
      ListBuilder<const wchar_t*> cells(true);
      cells.Add(tav::HeapCopy((L"r" + std::to_wstring(i)).c_str()));
      cells.Add(tav::HeapCopy(cellB(i).c_str()));
      cells.Add(L"c");
      rows.Add(cells.Finish());
    }
    l->lbox_add(rows.Finish());
    l->set_callback_sel({&OnSel, nullptr});
    l->set_callback_dbl({&OnDbl, nullptr});
    l->lbox_draw();
  }
  static void Run(const std::function<void(HWND)>& body) {
    InTask([&](HWND task) {
      SetForegroundWindow(task);
      body(task);
    }, Drive);
  }
  static void Pump(DWORD ms = 80) { kwitest::PumpUntil([] { return false; }, ms); }
  static void MoveTo(HWND task, int x, int y) {
    POINT p{x, y};
    ClientToScreen(task, &p);
    SetCursorPos(p.x, p.y);
    Pump();
  }
  static void Mouse(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
    Pump();
  }
  // A press and release at (x, y) with `keys` held (VK codes).
  static void Click(HWND task, int x, int y, std::vector<WORD> keys = {}, bool right = false) {
    MoveTo(task, x, y);
    for (WORD k : keys) kwitest::SendKey(k, false);
    Mouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Mouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    for (WORD k : keys) kwitest::SendKey(k, true);
    Pump();
  }
  static void Type(const std::wstring& text) {
    for (wchar_t c : text) {
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wScan = in[1].ki.wScan = c;
      in[0].ki.dwFlags = KEYEVENTF_UNICODE;
      in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
      SendInput(2, in, sizeof(INPUT));
      Pump(30);
    }
  }
  static void Key(WORD vk) {
    kwitest::SendKey(vk, false);
    kwitest::SendKey(vk, true);
    Pump(120);
  }
  // A character event handed to the list's handler: whether it handled it.
  static bool Char(HWND task, libox* l, LONG_PTR code) {
    event_struct e{};
    e.kind = e_char;
    e.w[0] = code;
    bool handled = false;
    RunTrapped([&] { handled = Qel::RunTime::Kernel::Succeeds([&] { l->_lbox_eh(reinterpret_cast<LONG_PTR>(task), &e); }); });
    Pump();
    return handled;
  }
  static std::vector<uint32_t> Selected(libox* l) {
    return std::vector<uint32_t>(l->selected_rows().begin(), l->selected_rows().end());
  }
};

// One table of presses: the selection after each and what the owner heard.
TEST_F(ListEvents, Presses) {
  Run([&](HWND task) {
    libox* l = Make(task, 6);
    ASSERT_EQ(RunTrapped([&] {
      l->set_selected_props(MakeList<selected_prop>({{selected_prop::selection_allowed, 1, 3}}));
      l->make_button(2, 3, {&OnButton, nullptr});
      l->lbox_draw();
    }), 0u);
    struct Case {
      const char* what;
      int x, y;
      std::vector<WORD> keys;
      bool right, multi;
      std::vector<uint32_t> selected;
      std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"plain on row 3", 60, 76, {}, false, false, {3}, {"sel 1 3"}},
        {"ctrl, single", 60, 92, {VK_CONTROL}, false, false, {3}, {"sel 1 4"}},
        {"ctrl, multiple", 60, 92, {VK_CONTROL}, false, true, {3, 4}, {"sel 1 4"}},
        {"ctrl again", 60, 92, {VK_CONTROL}, false, true, {3}, {"sel 1 4"}},
        {"shift", 60, 108, {VK_SHIFT}, false, true, {3}, {"sel 1 5"}},
        {"right, no menu", 60, 108, {}, true, true, {3}, {"sel 1 5"}},
        {"button cell", 260, 60, {}, false, true, {3}, {"button 2 3"}},
        {"column 4 not allowed", 400, 44, {}, false, true, {3}, {}},
        {"below the rows", 60, 300, {}, false, true, {3}, {}},
    };
    for (const Case& c : cases) {
      Pump(GetDoubleClickTime() + 50);  // no two presses make a double click
      g_log.clear();
      l->set_allow_multiselect(c.multi);
      Click(task, c.x, c.y, c.keys, c.right);
      EXPECT_EQ(Selected(l), c.selected) << c.what;
      EXPECT_EQ(g_log, c.log) << c.what;
    }
    // A double click on row 1.
    g_log.clear();
    MoveTo(task, 160, 44);
    for (int i = 0; i < 2; ++i) {
      Mouse(MOUSEEVENTF_LEFTDOWN);
      Mouse(MOUSEEVENTF_LEFTUP);
    }
    EXPECT_NE(std::find(g_log.begin(), g_log.end(), "dbl 2 1"), g_log.end());
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// "+" and "-" only with the mouse last seen inside the title band.
TEST_F(ListEvents, PlusAndMinusWidenInTheBand) {
  Run([&](HWND task) {
    libox* l = Make(task, 3);
    auto send = [&](LONG_PTR code) { return Char(task, l, code); };
    auto move = [&](int y) {
      event_struct e{};
      e.kind = e_mousemove;
      pnt_struct p{60, y};
      e.w[0] = reinterpret_cast<LONG_PTR>(&p);
      RunTrapped([&] { Qel::RunTime::Kernel::Succeeds([&] { l->_lbox_eh(reinterpret_cast<LONG_PTR>(task), &e); }); });
    };
    move(60);  // over the rows
    EXPECT_FALSE(send('+'));
    EXPECT_EQ(l->col_width(), 50u);
    move(10);  // in the band
    EXPECT_TRUE(send('+'));
    EXPECT_EQ(l->col_width(), 53u);
    std::vector<uint32_t> widths;
    for (int i = 0; i < 17; ++i) {
      EXPECT_TRUE(send('-'));
      widths.push_back(l->col_width());
    }
    EXPECT_EQ(std::vector<uint32_t>(widths.end() - 3, widths.end()), (std::vector<uint32_t>{8, 5, 5}));
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// The cell editor over column b (x 126-226): its rectangle, Enter with the
// send-back and the next row's editor, Enter on the last visible row
// scrolling, Up on row 1, and closing with an editor open.
TEST_F(ListEvents, CellEditor) {
  Run([&](HWND task) {
    RECT client;
    GetClientRect(task, &client);
    libox* l = Make(task, 200);
    ASSERT_EQ(RunTrapped([&] { l->set_sendback({&OnSendBack, nullptr}, MakeList<uint32_t>({2})); }), 0u);
    auto editorRect = [&] {
      RECT r{};
      if (!l->editor() || !l->editor()->window()) return r;
      const HWND e = reinterpret_cast<HWND>(l->editor()->window());
      GetWindowRect(e, &r);
      MapWindowPoints(nullptr, task, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    // A press on a non-editable cell opens nothing.
    Click(task, 60, 44);
    EXPECT_EQ(l->editor(), nullptr);
    Click(task, 160, 44);  // row 1, column b
    ASSERT_NE(l->editor(), nullptr);
    g_log.clear();
    RECT r = editorRect();
    EXPECT_EQ(r.left, 126 - 1);
    EXPECT_EQ(r.top, 36 - 2);
    EXPECT_EQ(r.right, 226 + 1);
    EXPECT_EQ(r.bottom, 52 + 2);
    SendMessageW(reinterpret_cast<HWND>(l->editor()->window()), EM_SETSEL, 0, -1);
    Type(L"Z\u00fcrich");
    Key(VK_RETURN);
    EXPECT_EQ(g_log, std::vector<std::string>{"send Z?rich 1 2"});
    ASSERT_NE(l->editor(), nullptr);
    EXPECT_EQ(l->editor()->row(), 2u);
    // Enter on the last drawn row: the list scrolls and the editor opens on
    // the next line, at that row's drawn place.
    const uint32_t last = l->drawn_rows()[l->drawn_rows().size() - 1].row;
    ASSERT_EQ(RunTrapped([&] { l->try_save_editor(); }), 0u);
    Click(task, 160, int(l->get_nth_y(last)));
    ASSERT_NE(l->editor(), nullptr);
    ASSERT_EQ(l->editor()->row(), last);
    g_log.clear();
    Key(VK_RETURN);
    ASSERT_NE(l->editor(), nullptr);
    EXPECT_EQ(l->editor()->row(), last + 1);
    EXPECT_EQ(l->offset(), 1u);
    EXPECT_EQ(editorRect().top, int(l->get_nth_y(last + 1)) - 8 - 2);
    // Up on the first line commits and opens nothing.
    ASSERT_EQ(RunTrapped([&] {
      l->try_save_editor();
      l->v_scroll(6, 0);
      l->lbox_draw();
    }), 0u);
    Click(task, 160, 44);
    g_log.clear();
    EXPECT_FALSE(Char(task, l, 301));  // Up
    EXPECT_EQ(g_log, std::vector<std::string>{"send b 1 2"});
    EXPECT_EQ(l->editor(), nullptr);
    // A press on another editable cell commits and opens there.
    Click(task, 160, 60);
    g_log.clear();
    Click(task, 160, 92);
    EXPECT_EQ(g_log, std::vector<std::string>{"send b 2 2"});
    ASSERT_NE(l->editor(), nullptr);
    EXPECT_EQ(l->editor()->row(), 4u);
    // Closing with an editor open: no send-back, the control gone.
    const HWND edit = reinterpret_cast<HWND>(l->editor()->window());
    g_log.clear();
    ASSERT_EQ(RunTrapped([&] { l->destroy_scroll(); }), 0u);
    EXPECT_TRUE(g_log.empty());
    EXPECT_FALSE(IsWindow(edit));
    g_list = nullptr;
  });
}

// An editor left to the collector destroys the window it still has.
TEST_F(ListEvents, CollectedEditorDestroysItsWindow) {
  Run([&](HWND task) {
    HWND edit = nullptr;
    ASSERT_EQ(RunTrapped([&] {
      edit = reinterpret_cast<HWND>(
          o_edit_li::new_(reinterpret_cast<LONG_PTR>(task), 1, 2, {30, 38, 92, 58}, L"left")->window());
    }), 0u);
    ASSERT_TRUE(IsWindow(edit));
    EXPECT_EQ(RunTrapped([] { Qel::RunTime::Kernel::Memory::FinalizeAll(); }), 0u);
    EXPECT_FALSE(IsWindow(edit));
  });
}

// Without a send-back Enter and Up move the first selected row within 1..N.
TEST_F(ListEvents, KeysMoveTheSelection) {
  Run([&](HWND task) {
    libox* l = Make(task, 3);
    Key(VK_RETURN);  // nothing selected: nothing to do
    EXPECT_TRUE(Selected(l).empty());
    ASSERT_EQ(RunTrapped([&] { l->set_selected(2); }), 0u);
    Key(VK_RETURN);
    EXPECT_EQ(Selected(l), std::vector<uint32_t>{3});
    Key(VK_DOWN);
    EXPECT_EQ(Selected(l), std::vector<uint32_t>{3});
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    EXPECT_EQ(Selected(l), std::vector<uint32_t>{1});
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// --- a list on a pane of the task window: what reaches the parent ---

std::vector<std::string> g_parent;  // the task's e_char and e_menu events
std::vector<std::string> g_colours;

LONG_PTR Parent(HWND, event_struct* e) {
  if (e->kind == e_char) g_parent.push_back("char " + std::to_string(e->w[0]));
  else if (e->kind == e_menu) g_parent.push_back("menu " + std::to_string(e->w[0]));
  else Qel::RunTime::Kernel::Fail();
  return 0;
}
void OnColour(void*, int32_t colour, uint32_t row) {
  char text[40];
  snprintf(text, sizeof text, "colour %06X %u", unsigned(colour), row);
  g_colours.push_back(text);
}

class PaneEvents : public ListEvents {
 protected:
  void SetUp() override {
    ListEvents::SetUp();
    g_parent.clear();
    g_colours.clear();
  }
  static void RunWithParent(const std::function<void(HWND)>& body) {
    InTask([&](HWND task) {
      SetForegroundWindow(task);
      body(task);
    }, Parent);
  }
  // A 500 x 300 pane at the task's top left whose handler is the list's:
  // columns at [25, 125, 225, 325], band (0, 20), rows of 16, every column
  // sortable; column a holds r1..rN, column b the letters in reverse order.
  static libox* MakeOnPane(HWND task, int lines, HWND* paneOut) {
    libox* l = nullptr;
    EXPECT_EQ(RunTrapped([&] {
      rect_struct r{0, 0, 500, 300};
      ilist_struct none{ListNil, 0, nullptr};
      menu_struct noMenu{3, 0};
      const LONG_PTR pane = win_Create(wt_child, &r, L"", &noMenu, reinterpret_cast<LONG_PTR>(task), &none,
                                       tav::NoEventHandler(), 0);
      *paneOut = reinterpret_cast<HWND>(pane);
      l = libox::new_(L"rz-pane", Screen(pane));
      win_SetHandler(pane, l->event_handler());
      l->allow_order(MakeList<uint32_t>({1, 2, 3}));
      Fill(l, lines, [lines](int i) { return std::wstring(1, wchar_t(L'a' + lines - i)); });
    }), 0u);
    Pump(150);
    return l;
  }
  static std::wstring FirstCell(libox* l, uint32_t row) {
    line ln{};
    std::wstring s;
    RunTrapped([&] {
      if (l->nth_line(row, &ln) && !ln.cells->Empty()) s = ln.cells->head;
    });
    return s;
  }
};

// A right press with a pop-up menu: the command chosen from the menu
// arrives at the parent as e_menu; nothing is selected.
TEST_F(PaneEvents, PopUpCommandReachesTheParent) {
  RunWithParent([&](HWND task) {
    HWND pane;
    libox* l = MakeOnPane(task, 4, &pane);
    auto* items = static_cast<QEL_KWI::menu_item*>(Qel::RunTime::Kernel::Memory::AllocHeap(2 * sizeof(QEL_KWI::menu_item)));
    auto* cells = static_cast<QEL_KWI::menu_item_list_struct*>(
        Qel::RunTime::Kernel::Memory::AllocHeap(3 * sizeof(QEL_KWI::menu_item_list_struct)));
    auto* noAccel = static_cast<QEL_KWI::menu_accelerator*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(QEL_KWI::menu_accelerator)));
    *noAccel = {1, 0, 0};
    for (int i = 0; i < 2; ++i) {
      items[i] = {1, {4101 + i, reinterpret_cast<LONG_PTR>(i ? L"Second" : L"First"), reinterpret_cast<LONG_PTR>(noAccel), 1, 0,
                      reinterpret_cast<LONG_PTR>(&cells[2])}};
      cells[i] = {ListCons, &items[i], &cells[i + 1]};
    }
    cells[2] = {ListNil, nullptr, nullptr};
    auto* menu = static_cast<menu_struct*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(menu_struct)));
    *menu = {2, reinterpret_cast<uintptr_t>(cells)};
    ASSERT_EQ(RunTrapped([&] { l->set_menu(menu); }), 0u);
    std::thread chooser([] {
      HWND m = nullptr;
      for (int i = 0; i < 500 && !m; ++i, Sleep(10))
        if (HWND w = FindWindowW(L"#32768", nullptr); w && IsWindowVisible(w)) m = w;
      if (!m) return;
      Sleep(50);
      for (WORD k : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageW(m, WM_KEYDOWN, k, 1);
        PostMessageW(m, WM_KEYUP, k, 0xC0000001);
        Sleep(30);
      }
    });
    Click(task, 60, 44, {}, true);
    chooser.join();
    Pump(150);
    EXPECT_EQ(g_parent, std::vector<std::string>{"menu 4102"});
    EXPECT_TRUE(Selected(l).empty());
    EXPECT_TRUE(g_log.empty());
    RunTrapped([&] { l->destroy_scroll(); });
    g_list = nullptr;
  });
}

// Keys the list does not take, typed on the list: F5 and Page Down go on to
// the parent; Enter with nothing selected stays unhandled and goes nowhere.
TEST_F(PaneEvents, OtherKeysReachTheParent) {
  RunWithParent([&](HWND task) {
    HWND pane;
    libox* l = MakeOnPane(task, 4, &pane);
    ASSERT_EQ(RunTrapped([&] { win_SetFocus(reinterpret_cast<LONG_PTR>(pane)); }), 0u);
    Pump();
    Key(VK_F5);
    Key(VK_NEXT);
    Key(VK_RETURN);
    ASSERT_EQ(g_parent.size(), 2u);
    for (const std::string& e : g_parent) EXPECT_EQ(e.rfind("char ", 0), 0u) << e;
    EXPECT_GE(std::stoll(g_parent[0].substr(5)), 65536) << "F5 is a function key";
    EXPECT_NE(g_parent[0], g_parent[1]);
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// A click on a column title: the list is sorted by that column and the
// double-click call-back hears (9001, 9001) with an empty line.
TEST_F(PaneEvents, TitleDropSortsAndCallsBack) {
  RunWithParent([&](HWND task) {
    HWND pane;
    libox* l = MakeOnPane(task, 5, &pane);
    EXPECT_EQ(FirstCell(l, 1), L"r1");
    Click(task, 175, 10);
    Pump(150);
    EXPECT_EQ(g_log, std::vector<std::string>{"dbl 9001 9001 empty"});
    std::vector<std::wstring> order;
    for (uint32_t row = 1; row <= 5; ++row) order.push_back(FirstCell(l, row));
    EXPECT_EQ(order, (std::vector<std::wstring>{L"r5", L"r4", L"r3", L"r2", L"r1"}));
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// A plain press left of the first boundary of a list with a colour box: the
// colour dialog opens on the line's colour, the chosen colour is stored and
// the call-back hears it; Cancel changes nothing and calls nothing.
TEST_F(PaneEvents, ColourBoxStoresTheChosenColour) {
  RunWithParent([&](HWND task) {
    HWND pane;
    libox* l = MakeOnPane(task, 4, &pane);
    ASSERT_EQ(RunTrapped([&] {
      l->set_data_props(MakeList<data_prop>({data_prop::has_color_box}));
      l->set_color_sel({&OnColour, nullptr});
      l->lbox_draw();
    }), 0u);
    auto colourOf = [&](uint32_t row) {
      line ln{};
      RunTrapped([&] { l->nth_line(row, &ln); });
      return ln.colour;
    };
    const int32_t before = colourOf(3);
    {
      testbox::Answer cancel(L"Color", [](HWND d) { testbox::Press(d, IDCANCEL); });
      Click(task, 10, 76);
    }
    Pump(150);
    EXPECT_EQ(colourOf(3), before);
    EXPECT_TRUE(g_colours.empty());
    {
      testbox::Answer pick(L"Color", [](HWND d) {
        // The red, green and blue fields of the dialog.
        SetDlgItemTextW(d, 706, L"18");
        SetDlgItemTextW(d, 707, L"52");
        SetDlgItemTextW(d, 708, L"86");
        Sleep(50);
        testbox::Press(d, IDOK);
      });
      Pump(GetDoubleClickTime() + 50);
      Click(task, 10, 76);
    }
    Pump(150);
    EXPECT_EQ(colourOf(3), 0x563412);
    EXPECT_EQ(g_colours, std::vector<std::string>{"colour 563412 3"});
    EXPECT_TRUE(Selected(l).empty());
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

}  // namespace
}  // namespace rztest
