// The left margin on the X display, read back as memory-bitmap pixels:
// bookmark images from the application's bitmap and icon resources
// (edit_marks.rc), the default mark for other ids, and the margin event
// through which the application colours each row's margin itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "editgui.h"

using namespace QEL_EDIT;
using namespace kwitest;
using edittest::ClientPixels;
using edittest::NoMenu;
using edittest::Rgb;
using edittest::ShownEditor;
namespace K = Qel::RunTime::Kernel;

namespace {

// Pixels read as 0xRRGGBB; the default mark is the colour value 0xFF0000.
constexpr uint32_t BitmapLeft = 0x3366CC, BitmapRight = 0xCC9933, IconColour = 0x22AA77, Ellipse = 0x0000FF;

uint32_t MarkResource(uint32_t type) {
  switch (type & 0xFFFF) {
    case 1: return 201;  // the bitmap
    case 2: return 202;  // the icon
    case 4: return 999;  // no such resource
    default: return 0;
  }
}

TEST(EditorMargin, BookmarksShowTheHandlersBitmapsAndIcons) {
  Terms t;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = ShownEditor(t, task, L"one\ntwo\nthree\nfour\nfive\nsix", &row);
    HWND h = reinterpret_cast<HWND>(w);
    edit_BookmarkSetHandler(&MarkResource);
    edit_BookmarkSetTypeForLine(w, 1, 1);
    edit_BookmarkSetTypeForLine(w, 3, 4);
    edit_BookmarkSetTypeForLine(w, 5, 8);
    edit_BookmarkSetTypeForLine(w, 6, 2);
    edit_BookmarkShow(w);
    win_Update(w);
    ClientPixels p(h);
    // The bitmap is stretched over the first row's mark: both halves, in order.
    EXPECT_TRUE(p.Has(0, 0, 8, row, BitmapLeft));
    EXPECT_TRUE(p.Has(8, 0, 16, row, BitmapRight));
    EXPECT_FALSE(p.Has(8, 0, 16, row, BitmapLeft));
    EXPECT_FALSE(p.Has(0, 0, 16, row, Ellipse));
    EXPECT_FALSE(p.Has(0, row, 16, 5 * row, BitmapLeft));
    // An id naming no resource, and a handler answering 0: the ellipse.
    EXPECT_TRUE(p.Has(0, 2 * row, 16, 3 * row, Ellipse));
    EXPECT_TRUE(p.Has(0, 4 * row, 16, 5 * row, Ellipse));
    EXPECT_FALSE(p.Has(0, row, 16, 2 * row, Ellipse));
    // The icon from the mark's top left corner.
    EXPECT_TRUE(p.Has(0, 5 * row, 16, 6 * row, IconColour));
    EXPECT_FALSE(p.Has(0, 0, 16, 5 * row, IconColour));
    EXPECT_FALSE(p.Has(0, 5 * row, 16, 6 * row, Ellipse));
    edit_BookmarkSetHandler(nullptr);
    edit_UpdateLeftMargin(w);
    ClientPixels q(h);
    EXPECT_TRUE(q.Has(0, 0, 16, row, Ellipse));
    EXPECT_FALSE(q.Has(0, 0, 16, 6 * row, BitmapLeft));
    DestroyWindow(h);
  }, NoMenu());
}

// With line colours on, each painted row sends 10005 once, with its top,
// the text's x offset and its line; what the handler draws in the margin
// stays, and without line colours no event comes.
TEST(EditorMargin, EachPaintedRowAsksTheApplicationForItsMargin) {
  Terms t;
  RunInTask([&](HWND task) {
    struct Seen {
      int32_t kind, top, x, line;
    };
    std::vector<Seen> seen;
    LONG_PTR editor = 0;
    const uint32_t mine = 0x5A2D84;
    Closure user([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user && e->w[0] == 10005) {
        auto* m = reinterpret_cast<const margin_event_struct*>(e->w[1]);
        seen.push_back({m->kind, m->top, m->xOffset, m->line});
        if (m->line == 2) {
          brush_struct b{2, Rgb(mine)};
          pen_struct pen{1, 0, Rgb(mine)};
          win_SetBrush(editor, &b);
          win_SetPen(editor, &pen);
          rect_struct r{0, m->top, 4, m->top + 4};
          draw_Rect(editor, &r);
        }
        return 0;
      }
      Fail();
    });
    int row;
    editor = ShownEditor(t, task, L"alpha\nbeta\ngamma", &row, &user);
    HWND h = reinterpret_cast<HWND>(editor);
    win_Update(editor);
    EXPECT_TRUE(seen.empty());
    edit_EnableSetLineColor(editor, 1);
    win_Update(editor);
    ASSERT_EQ(seen.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(seen[i].kind, 1);
      EXPECT_EQ(seen[i].line, i + 1);
      EXPECT_EQ(seen[i].top, i * row);
      EXPECT_EQ(seen[i].x, 0);
    }
    ClientPixels p(h);
    EXPECT_TRUE(p.Has(0, row, 4, row + 4, mine));
    EXPECT_FALSE(p.Has(0, 0, 4, row, mine));
    // A repaint of one row asks for that row only.
    seen.clear();
    rect_struct one{0, 2 * row, 50, 3 * row - 1};
    win_Invalidate_1(editor, &one);
    win_Update(editor);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, 3);
    seen.clear();
    edit_EnableSetLineColor(editor, 0);
    win_Update(editor);
    EXPECT_TRUE(seen.empty());
    DestroyWindow(h);
  }, NoMenu());
}

// A non-zero answer to 10004 leaves a line's colours to the application:
// its brush fills the line behind the text; other lines and a selection
// through the line keep the editor's colours.
TEST(EditorMargin, TheApplicationColoursTheLinesItAnswers) {
  Terms t;
  RunInTask([&](HWND task) {
    const uint32_t mine = 0x2E8B57;
    LONG_PTR editor = 0;
    std::vector<LONG_PTR> asked;
    Closure user([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user && e->w[0] == 10004) {
        asked.push_back(e->w[1]);
        if (e->w[1] != 2) return 0;
        brush_struct b{2, Rgb(mine)};
        pen_struct pen{1, 0, Rgb(mine)};
        win_SetBrush(editor, &b);
        win_SetPen(editor, &pen);
        return 1;
      }
      Fail();
    });
    int row;
    editor = ShownEditor(t, task, L"alpha\nbeta\ngamma", &row, &user);
    HWND h = reinterpret_cast<HWND>(editor);
    edit_EnableSetLineColor(editor, 1);
    win_Update(editor);
    RECT rc;
    GetClientRect(h, &rc);
    const uint32_t background = Rgb(kwi_GetAttrVal(121)), highlight = Rgb(kwi_GetAttrVal(113));
    ClientPixels p(h);
    EXPECT_EQ(p.At(rc.right - 3, row + row / 2), mine);
    EXPECT_EQ(p.At(rc.right - 3, row / 2), background);
    EXPECT_EQ(p.At(rc.right - 3, 2 * row + row / 2), background);
    for (LONG_PTR line : {1, 2, 3}) EXPECT_NE(std::count(asked.begin(), asked.end(), line), 0) << line;
    // Selected through to the next line: the selection's colours win.
    ASSERT_EQ(edit_SetSelection(editor, 7, 13), 1);
    win_Update(editor);
    ClientPixels q(h);
    EXPECT_EQ(q.At(rc.right - 3, row + row / 2), highlight);
    DestroyWindow(h);
  }, NoMenu());
}

}  // namespace
