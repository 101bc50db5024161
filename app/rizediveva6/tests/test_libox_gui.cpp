// The list box on real windows and picture targets (Xvfb): its scroll bar,
// the header drawing, and the database left to the collector.
#include "KWI/orvtoolkwi/libox.h"
#include "checks.h"
#include "dialog_recorder.h"
#include "print_checks.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using tav::chainDB;
using tav::place;

class ListWindows : public Rz {
 protected:
  DialogRecorder dialogs_;
};

TEST_F(ListWindows, ScrollBarOnlyOnAScreenWindow) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = nullptr;
    ASSERT_EQ(RunTrapped([&] { l = libox::new_(L"rz-gui-list", Screen(w)); }), 0u);
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetParent(bar), task);
    EXPECT_EQ(GetDlgCtrlID(bar), 99);
    RECT client, r;
    GetClientRect(task, &client);
    GetWindowRect(bar, &r);
    MapWindowPoints(nullptr, task, reinterpret_cast<POINT*>(&r), 2);
    const LONG width = static_cast<LONG>(QEL_KWI::kwi_GetAttrVal(204));
    EXPECT_EQ(r.right, client.right);
    EXPECT_EQ(r.left, client.right - width);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, client.bottom);
    ASSERT_EQ(RunTrapped([&] {
      EXPECT_EQ(libox::new_(L"rz-gui-null", WNull())->get_vscroll(), 0);
      l->delete_db();
    }), 0u);
  });
}

TEST_F(ListWindows, HeaderDrawing) {
  InTask([](HWND) {
    constexpr uint32_t kMagenta = 0xFF00FF, kFace = 0xC0C0C0, kBlackPx = 0, kWhitePx = 0xFFFFFF;
    column* c = nullptr;
    auto draw = [&](bool hidden) {
      return DrawOnPicture(260, 50, [&](LONG_PTR p) {
        ASSERT_EQ(RunTrapped([&] {
          c = column::new_column(WNull(), L"rz-gui-header");
          c->set_title_tb(TitleTb(5, 30));
          c->add_cols(AsSList(MakeStringList({L"WWWW", L"MMMM"})));
          c->set_col_widths(true, MakeList<uint32_t>({10, 100, 100}));
          c->set_title_color(L"WWWW", int32_t(kMagenta));
          c->set_title(1, L"WWWW");
          c->show_title_or_not(hidden);
          c->col_draw_titles(Screen(p));
        }), 0u);
      });
    };
    const Pixels px = draw(false);
    for (const pnt_struct& ring : {pnt_struct{11, 5}, pnt_struct{60, 5}, pnt_struct{11, 20}, pnt_struct{111, 20},
                                   pnt_struct{60, 30}, pnt_struct{211, 20}})
      EXPECT_EQ(px.at(ring.x, ring.y), kBlackPx) << ring.x << "," << ring.y;
    for (const pnt_struct& face : {pnt_struct{14, 26}, pnt_struct{107, 26}, pnt_struct{114, 26}})
      EXPECT_EQ(px.at(face.x, face.y), kFace) << face.x << "," << face.y;
    EXPECT_EQ(px.at(60, 40), kWhitePx);  // below the band
    auto count = [](const Pixels& p, int from, int to, uint32_t colour) {
      int n = 0;
      for (int y = 5; y <= 30; ++y)
        for (int x = from; x <= to; ++x) n += p.at(x, y) == colour;
      return n;
    };
    EXPECT_GT(count(px, 12, 110, kMagenta), 0);   // the first title in its colour
    EXPECT_EQ(count(px, 112, 210, kMagenta), 0);  // the second in black
    EXPECT_GT(count(px, 114, 208, kBlackPx), 0);

    // Titles shown instead of names: the column without one is not drawn.
    const Pixels hidden = draw(true);
    EXPECT_EQ(hidden.at(11, 20), kBlackPx);
    EXPECT_EQ(count(hidden, 113, 210, kFace), 0);
    EXPECT_EQ(hidden.at(211, 20), kWhitePx);
  });
}

// Header drags through the input queue: the task's handler drives the
// header as the list box's handler does.
class HeaderDrags : public ListWindows {
 protected:
  static LONG_PTR Drive(column* c, event_struct* e) {
    if (!c) Qel::RunTime::Kernel::Fail();
    const pnt_struct p = *reinterpret_cast<const pnt_struct*>(e->w[0]);
    uint32_t ref;
    const bool dragging = c->is_dragging_col(&ref);
    bool done = false;
    if (e->kind == e_mousedown && !dragging) done = c->try_drag_col(p);
    else if (e->kind == e_mousemove && dragging) done = c->try_drag_col(p);
    else if (e->kind == e_mouseup && dragging) done = c->drop_col(p);
    if (!done) Qel::RunTime::Kernel::Fail();
    return 0;
  }
  // Press at `from`, move in steps to `to` and release there (client points).
  static void Drag(HWND task, POINT from, POINT to, column* c) {
    kwitest::DragMouse(task, from, to);
    uint32_t ref;
    kwitest::PumpUntil([&] { return !c->is_dragging_col(&ref); }, 1000);
  }
};

TEST_F(HeaderDrags, EdgesAndTitles) {
  column* c = nullptr;
  kwitest::TaskOptions options;
  options.menu = 0;
  options.events = [&](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind != e_mousedown && e->kind != e_mousemove && e->kind != e_mouseup) Qel::RunTime::Kernel::Fail();
    return Drive(c, e);
  };
  std::vector<uint32_t> afterEdge, afterLeft;
  std::vector<std::wstring> moved, prevented;
  auto bounds = [&] {
    std::vector<uint32_t> v;
    for (const List<uint32_t>* l = c->get_boundaries(Screen(0)); !l->Empty(); l = l->tail) v.push_back(l->head);
    return v;
  };
  auto order = [&] {
    std::vector<std::wstring> v;
    for (uint32_t n = 1; n <= 3; ++n) {
      col_info i;
      if (c->nth_col(n, &i)) v.push_back(i.name);
    }
    return v;
  };
  kwitest::RunInTask([&](HWND task) {
    SetForegroundWindow(task);
    ASSERT_EQ(RunTrapped([&] {
      column* made = column::new_column(Screen(reinterpret_cast<LONG_PTR>(task)), L"rz-gui-drag");
      made->set_title_tb(TitleTb(21, 40));
      made->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
      made->set_col_widths(true, MakeList<uint32_t>({40, 100, 100, 100}));
      made->col_draw_titles(WNull());  // [41, 141, 241, 341]
      c = made;
    }), 0u);
    Drag(task, {139, 30}, {50, 30}, c);  // the right edge of a, left of its left edge + 20
    ASSERT_EQ(RunTrapped([&] { c->col_draw_titles(WNull()); }), 0u);
    afterEdge = bounds();
    Drag(task, {63, 30}, {100, 30}, c);  // the left edge of b
    afterLeft = bounds();
    Drag(task, {200, 30}, {100, 30}, c);  // c dropped on b
    moved = order();
    c->prevent_col_reorder(true);
    Drag(task, {200, 30}, {40 + 30, 30}, c);
    prevented = order();
    c = nullptr;
  }, options);
  EXPECT_EQ(afterEdge, (std::vector<uint32_t>{41, 61, 150, 250}));
  EXPECT_EQ(afterLeft, afterEdge);
  EXPECT_EQ(moved, (std::vector<std::wstring>{L"a", L"c", L"b"}));
  EXPECT_EQ(prevented, moved);
}

// The band (21, 40) on a printer page, rasterised at the printer's
// resolution: the title's outer ring on device rows 63 and 120.
TEST_F(ListWindows, HeaderOnAPrintJob) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  const std::wstring title = L"LiboxJob" + std::to_wstring(GetTickCount());
  HDC printer = CreateDCW(nullptr, L"KwiPDF", nullptr, nullptr);
  ASSERT_TRUE(printer);
  const int dpi = GetDeviceCaps(printer, LOGPIXELSY), ox = GetDeviceCaps(printer, PHYSICALOFFSETX),
            oy = GetDeviceCaps(printer, PHYSICALOFFSETY);
  DeleteDC(printer);
  InTask([&](HWND) {
    const LONG_PTR w = print_StartJob(title.c_str());
    ASSERT_NE(w, 0);
    ASSERT_EQ(print_StartPage(w), 1);
    ASSERT_EQ(RunTrapped([&] {
      column* c = column::new_column(Prnt(w), L"rz-gui-print");
      c->set_title_tb(TitleTb(21, 40));
      c->add_col(L"Printed");
      c->set_col_widths(true, MakeList<uint32_t>({100, 200}));  // [101, 301] at the drawing
      c->col_draw_titles(Prnt(w));
    }), 0u);
    print_EndPage(w);
    print_EndJob(w);
  });
  const std::wstring pdf = kwitest::WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  const std::wstring dir = kwitest::TempDir(L"rizediveva6_libox_print");
  kwitest::Ppm page(kwitest::ShellOutput("pdftoppm -r " + std::to_string(dpi) + " -singlefile '" +
                                         kwitest::UnixName(pdf) + "'", dir + L"page.ppm"));
  ASSERT_GT(page.width, 0);
  const int x = ox + 320;  // left of the centred text, inside the title (303 to 903)
  auto white = [&](int y) {
    const uint32_t c = page.At(x, oy + y);
    return (c >> 16 & 0xFF) > 240 && (c >> 8 & 0xFF) > 240 && (c & 0xFF) > 240;
  };
  int first = -1, last = -1;
  for (int y = 0; y < 400; ++y)
    if (!white(y)) {
      if (first < 0) first = y;
      last = y;
    }
  EXPECT_EQ(first, 63);
  EXPECT_EQ(last, 120);
}

TEST_F(ListWindows, ListLeftToTheCollectorDeletesItsDatabase) {
  ASSERT_EQ(RunTrapped([] { libox::new_(L"rz-gui-left", WNull())->lbox_add_slist(MakeList<const wchar_t*>({L"a"})); }), 0u);
  EXPECT_EQ(RunTrapped([] { Qel::RunTime::Kernel::Memory::FinalizeAll(); }), 0u);
  EXPECT_EQ(ErrorNumber(RunTrapped([] { chainDB::db_delete(L"rz-gui-left", place::in_memory); })), 1318u);
}

}  // namespace
}  // namespace rztest
