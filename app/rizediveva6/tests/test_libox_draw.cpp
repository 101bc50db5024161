// The list box drawn on a real window (Xvfb): the look of its rows, the row
// geometry, the scroll bar, hover and clicks through the input queue, button
// cells, the line grab, closing, printing through the CUPS PDF queue and
// copying read back with xclip.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "KWI/drag/drag_in_taskwin.h"
#include "KWI/orvtoolkwi/libox.h"
#include "SYSTEM/options/options_db.h"
#include "answer.h"
#include "checks.h"
#include "dialog_recorder.h"
#include "list_print_test.h"
#include "print_checks.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using tav::chainDB;
using tav::place;
using Row = std::vector<std::wstring>;

constexpr int kBand = 20, kH = 16;  // band (0, 20), rows of 16: row n of offset k spans 20 + (n - k) * 16 + [0, 16]
constexpr uint32_t kWhitePx = 0xFFFFFF, kBlackPx = 0;

// A GUI-layer colour (red low) as a pixel (red high).
uint32_t Px(LONG_PTR colour) {
  const uint32_t c = static_cast<uint32_t>(colour);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}
int Count(const Pixels& p, RECT r, uint32_t colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += p.at(x, y) == colour;
  return n;
}

SCROLLINFO Info(UINT mask) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = mask;
  return si;
}

const SList* Cells(const Row& r) {
  ListBuilder<const wchar_t*> b(true);
  for (const std::wstring& s : r) b.Add(tav::HeapCopy(s.c_str()));
  return b.Finish();
}

// The list whose handler the task window runs.
libox* g_list = nullptr;

LONG_PTR Drive(HWND w, event_struct* e) {
  if (!g_list) Qel::RunTime::Kernel::Fail();
  return g_list->_lbox_eh(reinterpret_cast<LONG_PTR>(w), e);
}

class DrawnLists : public Rz {
 protected:
  void TearDown() override {
    g_list = nullptr;
    Rz::TearDown();
  }
  // A list on the task window: columns a, b, c at [26, 126, 226, 326],
  // band (0, 20), rows of 16, `lines` added and drawn.
  static libox* Make(HWND task, const std::vector<Row>& lines, const wchar_t* name = L"rz-draw",
                    bool fixedHeight = true) {
    libox* l = nullptr;
    EXPECT_EQ(RunTrapped([&] {
      l = libox::new_(name, Screen(reinterpret_cast<LONG_PTR>(task)));
      l->set_title_tb(TitleTb(0, kBand));
      l->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
      l->set_col_widths(true, MakeList<uint32_t>({25, 100, 100, 100}));
      if (fixedHeight) l->set_row_height(kH);
      ListBuilder<const SList*> rows(true);
      for (const Row& r : lines) rows.Add(Cells(r));
      l->lbox_add(rows.Finish());
      l->lbox_draw();
    }), 0u);
    return l;
  }
  static std::vector<Row> Numbered(int n, const wchar_t* prefix = L"line ") {
    std::vector<Row> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({prefix + std::to_wstring(i), std::to_wstring(i)});
    return rows;
  }
  // "Müller 001" ... in the first cell, the number in the second.
  static std::vector<Row> Padded(int n) {
    std::vector<Row> rows;
    for (int i = 1; i <= n; ++i) {
      wchar_t cell[32];
      swprintf(cell, 32, L"M\u00fcller %03d", i);
      rows.push_back({cell, std::to_wstring(i)});
    }
    return rows;
  }
  static std::vector<uint32_t> DrawnRows(libox* l) {
    std::vector<uint32_t> rows;
    for (const drawn_row& d : l->drawn_rows()) rows.push_back(d.row);
    return rows;
  }
  static void Run(const std::function<void(HWND)>& body) { InTask(body, Drive); }
  static void MoveTo(HWND task, int x, int y) {
    POINT p{x, y};
    ClientToScreen(task, &p);
    SetCursorPos(p.x, p.y);
    kwitest::PumpUntil([] { return false; }, 80);
  }
  static void Button(DWORD flag) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    SendInput(1, &in, sizeof in);
    kwitest::PumpUntil([] { return false; }, 80);
  }
  static void Click(HWND task, int x, int y) {
    MoveTo(task, x, y);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);
  }
};

// Row 1 plain with an "x" and an "X" cell and a colour box, row 2 selected
// on the highlight colour, row 3 disabled, row 4 with a button in column 2.
TEST_F(DrawnLists, RowsLookAsTheirStateSays) {
  constexpr int32_t kBox = 0x3366CC;
  Run([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = Make(task, {});
    ASSERT_EQ(RunTrapped([&] {
      l->set_data_props(MakeList<data_prop>({data_prop::has_cell_boundaries, data_prop::has_color_box}));
      l->set_selected_props(MakeList<selected_prop>({{selected_prop::selected_is_colored, 0, 0}}));
      l->lbox_add_lines(MakeList<line>({LineNo(Cells({L"plain", L"x", L"X"}), kBox, 0),
                                        LineNo(Cells({L"WWWWWW", L"b", L"c"})), LineNo(Cells({L"WWWWWW", L"d", L"e"})),
                                        LineNo(Cells({L"button", L"f", L"g"}))}));
      l->set_selected(2);
      l->lbox_enable(MakeList<int32_t>({1, 1, 0, 1}));
      l->make_button(4, 2, {[](void*, uint32_t, uint32_t) {}, nullptr});
      l->lbox_draw();
    }), 0u);
    const Pixels px = WindowPixels(w, {0, 0, 400, 120});
    const uint32_t highlight = Px(kwi_GetAttrVal(113)), light = Px(kwi_GetAttrVal(129)),
                   shadow = Px(kwi_GetAttrVal(109));
    // Rows 1..4 span y 36-52, 52-68, 68-84, 84-100.
    EXPECT_EQ(px.at(10, 44), Px(kBox));                          // the colour box
    EXPECT_GT(Count(px, {28, 54, 120, 67}, highlight), 20);      // selected: behind its text
    EXPECT_EQ(Count(px, {28, 70, 120, 83}, highlight), 0);
    EXPECT_GT(Count(px, {28, 70, 120, 83}, 0x808080), 20);       // disabled: grey text
    EXPECT_EQ(Count(px, {28, 70, 120, 83}, kBlackPx), 0);
    // "X" is a filled tick in the middle of its cell, "x" a letter at its left.
    EXPECT_GT(Count(px, {262, 38, 290, 51}, kBlackPx), 15);
    EXPECT_EQ(Count(px, {162, 38, 190, 51}, kBlackPx), 0);
    EXPECT_GT(Count(px, {128, 38, 140, 51}, kBlackPx), 0);
    // Perimeters: black outside, light top and left, shadow bottom and right.
    for (auto [x, y, colour] : {std::tuple{60, 36, kBlackPx}, {60, 37, light}, {27, 44, light}, {60, 51, shadow},
                                {125, 44, shadow}, {150, 85, light}, {150, 99, shadow}})
      EXPECT_EQ(px.at(x, y), colour) << x << "," << y;
    EXPECT_EQ(px.at(210, 92), 0xC0C0C0u);  // the button's face
    EXPECT_EQ(px.at(210, 76), kWhitePx);   // a plain cell's
    EXPECT_EQ(px.at(60, 110), kWhitePx);   // below the last row

    // Emptied: everything below the band is cleared.
    ASSERT_EQ(RunTrapped([&] {
      l->lbox_clear();
      l->lbox_draw();
    }), 0u);
    const Pixels empty = WindowPixels(w, {0, 0, 400, 120});
    EXPECT_EQ(Count(empty, {0, 21, 330, 120}, kWhitePx), 330 * 99);
    EXPECT_EQ(l->number_of_lines(), 0u);
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Offset k paints line k + 1 one row below the band; a row ending on the
// client bottom is painted, one pixel lower not; every line is counted.
TEST_F(DrawnLists, RowGeometry) {
  Run([&](HWND task) {
    RECT client;
    GetClientRect(task, &client);
    libox* l = Make(task, Numbered(100));
    struct Case {
      uint32_t offset;
      int band;
    };
    // The band bottom that makes a row end exactly on the client bottom.
    const int exact = kBand + (client.bottom - kBand) % kH;
    for (const Case c : {Case{0, kBand}, Case{7, kBand}, Case{0, exact}, Case{0, exact + 1}}) {
      ASSERT_EQ(RunTrapped([&] {
        l->set_title_tb(TitleTb(0, uint32_t(c.band)));
        l->v_scroll(6, c.offset);
        l->lbox_draw();
      }), 0u);
      const std::vector<uint32_t> rows = DrawnRows(l);
      ASSERT_FALSE(rows.empty());
      EXPECT_EQ(rows.front(), c.offset + 1);
      const int fit = (client.bottom - c.band) / kH - 1;  // rows below the band's empty row
      EXPECT_EQ(int(rows.size()), fit) << c.band;
      EXPECT_EQ(l->drawn_rows()[0].r.top, c.band + kH);
      EXPECT_EQ(l->get_bot(), uint32_t(c.band + (fit + 1) * kH));
      EXPECT_LE(l->get_bot(), uint32_t(client.bottom));
      if (c.band == exact) {
        EXPECT_EQ(l->get_bot(), uint32_t(client.bottom));
      }
      EXPECT_EQ(l->number_of_lines(), 100u);
      EXPECT_EQ(l->get_nth_y(c.offset + 1), uint32_t(c.band + kH + kH / 2));
      EXPECT_EQ(l->get_nth_y(c.offset + 1 + fit), 100u);  // not drawn
      if (c.offset) {
        EXPECT_EQ(l->get_nth_y(c.offset), 100u);
      }
    }
    // A line with more cells than boundaries is painted as far as it fits
    // and left without a drawn row; the next one is drawn.
    ASSERT_EQ(RunTrapped([&] {
      l->set_title_tb(TitleTb(0, kBand));
      l->v_scroll(6, 0);
      l->lbox_add_lines(MakeList<line>({LineNo(Cells({L"1", L"2", L"3", L"4", L"5"})), LineNo(Cells({L"ok"}))}));
      l->lbox_draw();
    }), 0u);
    EXPECT_EQ(DrawnRows(l), std::vector<uint32_t>{2});
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// The rows under a point or at a height: a y on a boundary is the upper row.
TEST_F(DrawnLists, RowQueries) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(5));
    uint32_t row = 0;
    rect_struct r;
    line ln;
    EXPECT_TRUE(l->y_row(68, &row, &r));  // rows 2 (52-68) and 3 meet at 68
    EXPECT_EQ(row, 2u);
    EXPECT_TRUE(l->pnt_row({40, 60}, &row, &r, &ln));
    EXPECT_EQ(row, 2u);
    EXPECT_EQ(std::wstring(ln.cells->head), L"line 2");
    EXPECT_FALSE(l->pnt_row({40, 200}, &row, &r, &ln));
    EXPECT_FALSE(l->y_row(30, &row, &r));  // the empty row below the band
    std::vector<uint32_t> tops;
    EXPECT_FALSE(l->nd_row_tb([&](libox::row_tb t) {
      tops.push_back(t.top);
      EXPECT_EQ(t.bottom, t.top + kH);
      Qel::RunTime::Kernel::Fail();
    }));
    EXPECT_EQ(tops, (std::vector<uint32_t>{36, 52, 68, 84, 100}));
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// The bar is repainted when its thumb moves, not when only its range
// changes under a thumb that stays where it was.
TEST_F(DrawnLists, ScrollBarRepaintedOnlyWhenItsThumbMoves) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(100));
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    auto barOwed = [&] { return GetUpdateRect(bar, nullptr, FALSE) != FALSE; };
    UpdateWindow(bar);
    ASSERT_FALSE(barOwed());
    ASSERT_EQ(RunTrapped([&] {
      l->v_scroll(6, 50);
      l->lbox_draw();
    }), 0u);
    EXPECT_TRUE(barOwed()) << "thumb moved";
    UpdateWindow(bar);
    ASSERT_EQ(RunTrapped([&] {
      l->v_scroll(6, 0);
      l->lbox_draw();
    }), 0u);
    UpdateWindow(bar);
    SCROLLBARINFO before{sizeof(SCROLLBARINFO)};
    GetScrollBarInfo(bar, OBJID_CLIENT, &before);
    ASSERT_EQ(RunTrapped([&] {
      l->lbox_add(MakeList<const SList*>({Cells({L"line 101", L"101"})}));
      l->lbox_draw();
    }), 0u);
    SCROLLINFO si = Info(SIF_RANGE);
    GetScrollInfo(bar, SB_CTL, &si);
    EXPECT_EQ(si.nMax, 101) << "range set";
    SCROLLBARINFO after{sizeof(SCROLLBARINFO)};
    GetScrollBarInfo(bar, OBJID_CLIENT, &after);
    ASSERT_EQ(after.xyThumbTop, before.xyThumbTop);
    EXPECT_FALSE(barOwed()) << "thumb stayed at the top";
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Every scroll code as the bar sends it: the offset, and the bar's range
// and position after the redraw.
TEST_F(DrawnLists, ScrollCodes) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(100));
    g_list = l;
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    struct Case {
      uint32_t from, code, to;
      bool handled;
    };
    for (const Case c : {Case{0, 1, 0, true}, {3, 1, 2, true}, {0, 2, 1, true}, {2, 3, 0, true}, {7, 3, 4, true},
                         {0, 4, 5, true}, {90, 4, 95, true}, {5, 0, 5, false}, {5, 5, 5, false}, {5, 7, 5, false},
                         {5, 8, 5, false}}) {
      ASSERT_EQ(RunTrapped([&] {
        l->v_scroll(6, c.from);
        l->lbox_draw();
      }), 0u);
      SendMessageW(task, WM_VSCROLL, MAKEWPARAM(c.code == 5 ? SB_THUMBPOSITION : c.code == 0 ? SB_ENDSCROLL
                                                : c.code == 7 ? SB_TOP : c.code == 8 ? SB_BOTTOM : c.code - 1, 0),
                   reinterpret_cast<LPARAM>(bar));
      EXPECT_EQ(l->offset(), c.to) << c.from << " " << c.code;
      SCROLLINFO si = Info(SIF_RANGE | SIF_POS);
      GetScrollInfo(bar, SB_CTL, &si);
      EXPECT_EQ(si.nMin, 0);
      EXPECT_EQ(si.nMax, 100);
      EXPECT_EQ(si.nPos, int(c.to));
    }
    // Past the last line: no rows, the thumb at the end.
    ASSERT_EQ(RunTrapped([&] {
      l->v_scroll(6, 98);
      l->v_scroll(4, 0);
      l->lbox_draw();
    }), 0u);
    EXPECT_TRUE(DrawnRows(l).empty());
    SCROLLINFO si = Info(SIF_POS);
    GetScrollInfo(bar, SB_CTL, &si);
    EXPECT_EQ(si.nPos, 100);
    g_list = nullptr;
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// The bar is set only when its range or position changes.
LRESULT CALLBACK CountingBar(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR counter) {
  if (m == SBM_SETSCROLLINFO || m == SBM_SETRANGE || m == SBM_SETPOS || m == SBM_SETRANGEREDRAW)
    ++*reinterpret_cast<int*>(counter);
  return DefSubclassProc(w, m, wp, lp);
}

TEST_F(DrawnLists, RedrawWithNothingChangedLeavesTheBar) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(30));
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    int sets = 0;
    ASSERT_TRUE(SetWindowSubclass(bar, CountingBar, 1, reinterpret_cast<DWORD_PTR>(&sets)));
    ASSERT_EQ(RunTrapped([&] { l->lbox_draw(); }), 0u);
    EXPECT_EQ(sets, 0);
    ASSERT_EQ(RunTrapped([&] {
      l->v_scroll(2, 0);
      l->lbox_draw();
    }), 0u);
    EXPECT_EQ(sets, 1);
    RemoveWindowSubclass(bar, CountingBar, 1);
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// A real thumb drag on a list of 70,000 lines: the 32-bit position.
TEST_F(DrawnLists, ThumbDragPastSixteenBits) {
  Run([&](HWND task) {
    SetForegroundWindow(task);
    libox* l = Make(task, Numbered(70000));
    g_list = l;
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    RECT r;
    GetWindowRect(bar, &r);
    const int arrow = GetSystemMetrics(SM_CYVSCROLL), x = (r.left + r.right) / 2, from = r.top + arrow + 3;
    const int to = r.bottom - arrow - (r.bottom - r.top - 2 * arrow) / 20;  // about 95 % down
    // The bar tracks the thumb in a loop of its own: the mouse is moved
    // from another thread while this one pumps.
    std::atomic<bool> done{false};
    std::thread mover([&] {
      auto button = [](DWORD flag) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        SendInput(1, &in, sizeof in);
        Sleep(80);
      };
      SetCursorPos(x, from);
      Sleep(300);
      button(MOUSEEVENTF_LEFTDOWN);
      for (int i = 1; i <= 8; ++i) {
        SetCursorPos(x, from + (to - from) * i / 8);
        Sleep(150);
      }
      button(MOUSEEVENTF_LEFTUP);
      done = true;
    });
    kwitest::PumpUntil([&] { return done.load(); }, 10000);
    mover.join();
    kwitest::PumpUntil([] { return false; }, 100);
    g_list = nullptr;
    const std::vector<uint32_t> rows = DrawnRows(l);
    ASSERT_FALSE(rows.empty());
    EXPECT_GT(l->offset(), 65535u);
    EXPECT_EQ(rows.front(), l->offset() + 1);
    SCROLLINFO si = Info(SIF_POS);
    GetScrollInfo(bar, SB_CTL, &si);
    EXPECT_EQ(si.nPos, int(l->offset()));
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// A pass outside an update event leaves nothing to paint, and a later one
// that repaints only the changed rows draws what a full paint draws: after
// each change the screen equals the list repainted whole, and the change
// shows (the rows it touches differ from before).
TEST_F(DrawnLists, DirectPassDrawsEveryChange) {
  Run([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = Make(task, Numbered(6));
    ASSERT_EQ(RunTrapped([&] {
      l->set_selected_props(MakeList<selected_prop>({{selected_prop::selected_is_colored, 0, 0}}));
      l->set_selected(2);
      l->lbox_draw();
    }), 0u);
    kwitest::PumpUntil([] { return false; }, 200);
    ASSERT_EQ(RunTrapped([&] { l->lbox_draw(); }), 0u);
    EXPECT_FALSE(GetUpdateRect(task, nullptr, FALSE));
    auto replaceCell = [&](uint32_t row, const wchar_t* text) {
      line ln;
      ASSERT_TRUE(l->nth_line(row, &ln));
      ln.cells = Cells({L"line " + std::to_wstring(row), text});
      l->replace_line(ln);
    };
    struct Step {
      const char* what;
      std::function<void()> change;
      int row;  // a row whose pixels the change alters; 0: rows below the list
    };
    const Step steps[] = {
        {"selection moved", [&] { l->set_selected(4); }, 2},
        {"selection added", [&] { l->set_selected(5); }, 5},
        {"cell text", [&] { replaceCell(3, L"WWWW"); }, 3},
        {"cell tick", [&] { replaceCell(1, L"X"); }, 1},
        {"row disabled", [&] { l->lbox_enable(MakeList<int32_t>({1, 1, 1, 1, 1, 0})); }, 6},
        {"line added", [&] { l->lbox_add(Cons<const SList*>(Cells({L"line 7", L"7"}), Nil<const SList*>())); }, 7},
        {"pending paint", [&] {
           InvalidateRect(task, nullptr, FALSE);
           l->set_selected(1);
         }, 1},
    };
    const rect_struct area{0, 0, 400, 200};
    g_list = l;  // paints run the list's pass
    for (const Step& s : steps) {
      SCOPED_TRACE(s.what);
      const Pixels before = WindowPixels(w, area);
      ASSERT_EQ(RunTrapped([&] {
        s.change();
        l->lbox_draw();
      }), 0u);
      const Pixels direct = WindowPixels(w, area);
      // Nothing is owed left of the list (x 0..26): no paint draws the rows again for it.
      HRGN owed = CreateRectRgn(0, 0, 0, 0);
      GetUpdateRgn(task, owed, FALSE);
      const RECT strip{0, 0, 26, 200};
      EXPECT_FALSE(RectInRegion(owed, &strip));
      DeleteObject(owed);
      const int top = kBand + s.row * kH;
      bool differs = false;
      for (int y = top + 1; y < top + kH; ++y)
        for (int x = 28; x < 320; ++x) differs = differs || before.at(x, y) != direct.at(x, y);
      EXPECT_TRUE(differs);
      kwitest::PumpUntil([] { return false; }, 100);
      InvalidateRect(task, nullptr, TRUE);
      UpdateWindow(task);
      const Pixels full = WindowPixels(w, area);
      int diff = 0, fx = -1, fy = -1;
      for (int y = 0; y < full.h; ++y)
        for (int x = 0; x < full.w; ++x)
          if (full.at(x, y) != direct.at(x, y) && diff++ == 0) fx = x, fy = y;
      EXPECT_EQ(diff, 0) << "first at " << fx << "," << fy;
      ASSERT_EQ(RunTrapped([&] { l->lbox_draw(); }), 0u);  // the next step's pass starts from a direct one
    }
    g_list = nullptr;
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// A pass after the held font was set again, or after the list was filled
// again with one line changed, repaints the changed row only; another font
// repaints every row.  A pixel put into row 5 by hand shows which.
TEST_F(DrawnLists, RefillAndSameFontRepaintOnlyTheChangedRow) {
  Run([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = Make(task, Numbered(6));
    kwitest::PumpUntil([] { return false; }, 200);
    ASSERT_EQ(RunTrapped([&] { l->lbox_draw(); }), 0u);
    const rect_struct area{0, 0, 400, 200};
    const int x = 300, y = kBand + 5 * kH + kH / 2;
    auto setFont = [&](int points) { l->lbox_setfont(libox::heap_font(QEL_KWI::font_Create(4, nullptr, points)), false); };
    auto changeRow2 = [&] {
      line ln;
      ASSERT_TRUE(l->nth_line(2, &ln));
      ln.cells = Cells({L"line 2", L"changed"});
      l->replace_line(ln);
    };
    auto refill = [&] {
      std::vector<Row> rows = Numbered(6);
      rows[1] = {L"line 2", L"filled again"};
      ListBuilder<const SList*> lines(true);
      for (const Row& r : rows) lines.Add(Cells(r));
      l->lbox_clear();
      l->lbox_add(lines.Finish());
    };
    struct Case {
      const char* what;
      std::function<void()> change;
      bool kept;
    };
    const Case cases[] = {
        {"same font again", [&] {
           setFont(9);
           changeRow2();
         }, true},
        {"filled again", refill, true},
        {"another font", [&] { setFont(12); }, false},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      HDC dc = GetDC(task);
      SetPixel(dc, x, y, RGB(255, 0, 0));
      ReleaseDC(task, dc);
      const Pixels before = WindowPixels(w, area);
      ASSERT_EQ(RunTrapped([&] {
        c.change();
        l->lbox_draw();
      }), 0u);
      const Pixels after = WindowPixels(w, area);
      EXPECT_EQ(after.at(x, y) == before.at(x, y), c.kept);
      bool row2 = false;
      for (int py = kBand + 2 * kH + 1; py < kBand + 3 * kH; ++py)
        for (int px = 28; px < 320; ++px) row2 = row2 || before.at(px, py) != after.at(px, py);
      EXPECT_TRUE(row2 || !c.kept);
    }
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Real mouse moves: the hovered row on 0xBBBBBB, a selected row left behind
// highlighted again, a moved-in row no longer hovered.
TEST_F(DrawnLists, HoverThroughTheMouse) {
  Run([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = Make(task, Numbered(6, L"WWWWWW "));
    ASSERT_EQ(RunTrapped([&] {
      l->set_selected_props(MakeList<selected_prop>({{selected_prop::selected_is_colored, 0, 0}}));
      l->set_selected(2);
      l->lbox_draw();
      l->allow_highlight(true);
    }), 0u);
    g_list = l;
    kwitest::PumpUntil([] { return false; }, 200);  // pending paints first
    const uint32_t highlight = Px(kwi_GetAttrVal(113)), hover = 0xBBBBBB;
    auto rowPixels = [&](int row) {
      const int top = kBand + row * kH;
      return WindowPixels(w, {28, top + 1, 320, top + kH - 1});
    };
    MoveTo(task, 200, 60);  // row 2, selected
    Pixels two = rowPixels(2);
    EXPECT_GT(Count(two, {0, 0, 292, 14}, hover), 1000);
    EXPECT_EQ(Count(two, {0, 0, 292, 14}, highlight), 0);
    EXPECT_EQ(rowPixels(3).at(200, 7), kWhitePx);
    MoveTo(task, 200, 76);  // row 3
    EXPECT_GT(Count(rowPixels(3), {0, 0, 292, 14}, hover), 1000);
    two = rowPixels(2);
    EXPECT_GT(Count(two, {0, 0, 90, 14}, highlight), 20);  // highlighted again
    EXPECT_EQ(Count(two, {0, 0, 292, 14}, hover), 0);
    MoveTo(task, 200, 300);  // below the rows: the highlight stays
    EXPECT_GT(Count(rowPixels(3), {0, 0, 292, 14}, hover), 1000);
    ASSERT_EQ(RunTrapped([&] { l->allow_highlight(false); }), 0u);
    MoveTo(task, 200, 92);
    EXPECT_EQ(Count(rowPixels(4), {0, 0, 292, 14}, hover), 0);
    g_list = nullptr;
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Clicks through the input queue select as the click rule says, also right
// of x 1000 on a wide list.
TEST_F(DrawnLists, ClicksSelect) {
  Run([&](HWND task) {
    SetForegroundWindow(task);
    MoveWindow(task, 0, 0, 1270, 400, TRUE);
    kwitest::PumpUntil([] { return false; }, 100);
    libox* l = Make(task, Numbered(5));
    ASSERT_EQ(RunTrapped([&] {
      l->set_col_widths(true, MakeList<uint32_t>({25, 500, 600, 100}));  // c from 1126 to 1226
      l->set_selected_props(MakeList<selected_prop>({{selected_prop::selection_allowed, 0, 9}}));
      l->set_selecteds(MakeList<uint32_t>({1, 5}));
      l->lbox_draw();
    }), 0u);
    g_list = l;
    auto selected = [&] {
      std::vector<uint32_t> v;
      for (uint32_t r : l->selected_rows()) v.push_back(r);
      return v;
    };
    Click(task, 60, 76);  // row 3
    EXPECT_EQ(selected(), std::vector<uint32_t>{3});
    Click(task, 60, 76);
    EXPECT_EQ(selected(), std::vector<uint32_t>{3});
    Click(task, 1150, 44);  // row 1, right of x 1000
    EXPECT_EQ(selected(), std::vector<uint32_t>{1});
    Click(task, 60, 300);  // below the rows
    EXPECT_EQ(selected(), std::vector<uint32_t>{1});
    g_list = nullptr;
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Buttons, inversion and the line grab on drawn rows.
TEST_F(DrawnLists, ButtonsInversionAndGrab) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(5));
    static int called = 0;
    but_callback cb;
    ASSERT_EQ(RunTrapped([&] {
      l->make_button(2, 1, {[](void*, uint32_t, uint32_t) { called = 1; }, nullptr});
      l->make_button(2, 1, {[](void*, uint32_t, uint32_t) { called = 2; }, nullptr});
      l->set_selecteds(MakeList<uint32_t>({2, 4}));
      l->swap_selection();
    }), 0u);
    ASSERT_TRUE(l->ndb_button(2, 1, &cb));
    cb.code(cb.object, 2, 1);
    EXPECT_EQ(called, 2);
    EXPECT_FALSE(l->ndb_button(2, 2, &cb));
    EXPECT_EQ(std::vector<uint32_t>(l->selected_rows().begin(), l->selected_rows().end()),
              (std::vector<uint32_t>{1, 3, 5}));

    drag_item item;
    while (drag_in_taskwin::drop_dragging_item(&item)) {
    }
    EXPECT_FALSE(l->grab_a_line({40, 200}));  // below the rows
    EXPECT_FALSE(drag_in_taskwin::drop_dragging_item(&item));
    EXPECT_TRUE(l->grab_a_line({40, 40}));
    EXPECT_TRUE(l->grab_a_line({40, 60}));
    ASSERT_TRUE(drag_in_taskwin::drop_dragging_item(&item));
    EXPECT_EQ(item.source, reinterpret_cast<LONG_PTR>(task));
    EXPECT_EQ(item.box.top, 52);
    EXPECT_EQ(item.box.bottom, 68);
    EXPECT_EQ(std::wstring(item.sourceClass), L"libox_class");
    EXPECT_EQ(std::wstring(item.key), L"line 2");
    EXPECT_FALSE(drag_in_taskwin::drop_dragging_item(&item));
    RunTrapped([&] { l->destroy_scroll(); });
  });
}

// Closing: bar gone, database deleted, layout saved; drawing then raises 329.
TEST_F(DrawnLists, DestroyScroll) {
  Run([&](HWND task) {
    libox* l = Make(task, Numbered(3), L"rz-draw-close");
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    ASSERT_EQ(RunTrapped([&] { l->destroy_scroll(); }), 0u);
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_EQ(l->get_vscroll(), 0);
    EXPECT_EQ(ErrorNumber(RunTrapped([] { chainDB::db_delete(L"rz-draw-close", place::in_memory); })), 1318u);
    const IntList* saved = nullptr;
    ASSERT_EQ(RunTrapped([&] { ASSERT_TRUE(options_db::various_ilist(L"rz-draw-close", &saved)); }), 0u);
    std::vector<int32_t> bounds;
    for (; saved && !saved->Empty(); saved = saved->tail) bounds.push_back(saved->head);
    EXPECT_EQ(bounds, (std::vector<int32_t>{26, 126, 226, 326}));
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { l->lbox_draw(); })), 329u);
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { l->lbox_add_slist(MakeList<const wchar_t*>({L"a"})); })), 329u);
  });
}

// --- printing ---

TEST_F(DrawnLists, PrintsEveryLineOnPagesFromTheFirst) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  const std::wstring title = L"LiboxList" + std::to_wstring(GetTickCount());
  bool printed = false, cancelled = true;
  std::vector<uint32_t> rowsBefore, rowsAfter;
  uint32_t botBefore = 0, botAfter = 0;
  Run([&](HWND task) {
    libox* l = Make(task, Padded(150), L"rz-draw", false);
    ASSERT_EQ(RunTrapped([&] {
      l->set_data_props(MakeList<data_prop>({data_prop::selected_has_checkbox}));
      l->set_title(1, L"Tick");
      l->set_title(2, L"Name");
      l->show_title_or_not(true);
      l->set_selected(3);
      l->v_scroll(6, 40);
      l->lbox_draw();
    }), 0u);
    rowsBefore = DrawnRows(l);
    botBefore = l->get_bot();
    {
      kwitest::Answer cancel(nullptr, [](HWND d) { kwitest::Press(d, IDCANCEL); });
      ASSERT_EQ(RunTrapped([&] { cancelled = !l->lbox_print(title.c_str()); }), 0u);
    }
    {
      kwitest::Answer ok(nullptr, [](HWND d) {
        ChooseSans(d);
        kwitest::Press(d, IDOK);
      });
      ASSERT_EQ(RunTrapped([&] { printed = l->lbox_print(title.c_str()); }), 0u);
    }
    rowsAfter = DrawnRows(l);
    botAfter = l->get_bot();
    uint32_t row;
    rect_struct r;
    line ln;
    EXPECT_FALSE(l->pnt_row({60, int32_t(botBefore) + 30}, &row, &r, &ln));
    RunTrapped([&] { l->destroy_scroll(); });
  });
  EXPECT_TRUE(cancelled);
  ASSERT_TRUE(printed);
  EXPECT_EQ(rowsAfter, rowsBefore);
  EXPECT_EQ(botAfter, botBefore);
  const std::wstring pdf = kwitest::WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  const std::wstring dir = kwitest::TempDir(L"rizediveva6_libox_draw");
  const std::string text = kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -", dir + L"job.txt");
  const std::string info = kwitest::ShellOutput("pdfinfo '" + kwitest::UnixName(pdf) + "'", dir + L"job.info");
  const size_t at = info.find("Pages:");
  ASSERT_NE(at, std::string::npos);
  const int pages = std::stoi(info.substr(at + 6));
  EXPECT_GE(pages, 2);
  size_t from = 0;
  for (int i = 1; i <= 150; ++i) {
    const std::string cell = Utf8(Padded(150)[size_t(i - 1)][0]);
    const size_t found = text.find(cell, from);
    ASSERT_NE(found, std::string::npos) << i;
    EXPECT_EQ(text.find(cell, found + 1), std::string::npos) << i;
    from = found + cell.size();
  }
  int headers = 0;
  for (size_t p = text.find("Name"); p != std::string::npos; p = text.find("Name", p + 1)) ++headers;
  EXPECT_EQ(headers, pages);
  // The cancelled dialog started no job: one PDF of the title.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((L"Z:\\root\\PDF\\" + title + L"*.pdf").c_str(), &fd);
  int jobs = 0;
  if (h != INVALID_HANDLE_VALUE) {
    do ++jobs;
    while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  EXPECT_EQ(jobs, 1);
}

// --- copying ---

TEST_F(DrawnLists, CopiesEveryLineAsTabSeparatedText) {
  const std::wstring dir = kwitest::TempDir(L"rizediveva6_libox_draw");
  DialogRecorder notes;
  std::string copied, parsed, empty;
  std::string expected;
  Run([&](HWND task) {
    std::vector<Row> rows;
    for (int i = 1; i <= 10000; ++i) rows.push_back({L"Z\u00f6e " + std::to_wstring(i), L"", L"\u65e5"});
    rows[4] = {L"tab\there", L"cr\rlf\n", L"x"};
    libox* l = Make(task, rows);
    for (const Row& r : rows) {
      for (std::wstring c : r) {
        for (wchar_t& ch : c)
          if (ch == L'\t' || ch == L'\r' || ch == L'\n') ch = L' ';
        expected += Utf8(c) + "\t";
      }
      expected += "\n";
    }
    ASSERT_EQ(RunTrapped([&] { l->to_exel_cb(); }), 0u);
    copied = kwitest::ShellOutput("xclip -o -selection clipboard", dir + L"clip.txt");
    parsed = kwitest::ShellOutput(
        "xclip -o -selection clipboard | python3 -c 'import csv,sys; r=list(csv.reader(sys.stdin, delimiter=chr(9)));"
        " print(len(r), set(len(x) for x in r), r[0][3] == chr(32) * 0)'",
        dir + L"csv.txt");
    ASSERT_EQ(RunTrapped([&] {
      l->lbox_clear();
      l->to_exel_cb();
    }), 0u);
    empty = kwitest::ShellOutput("xclip -o -selection clipboard | wc -c", dir + L"empty.txt");
    RunTrapped([&] { l->destroy_scroll(); });
  });
  EXPECT_NE(copied.find("tab here\tcr lf \tx\t\n"), std::string::npos);
  EXPECT_TRUE(copied == expected);
  EXPECT_EQ(copied.find('\r'), std::string::npos);
  EXPECT_EQ(parsed, "10000 {4} True\n");
  EXPECT_EQ(empty, "0\n");
  ASSERT_EQ(notes.shown().size(), 2u);
  EXPECT_EQ(notes.shown()[0].text, L"You may now paste to (eg) Excel");
}

}  // namespace
}  // namespace rztest
