// Drag feedback on a real window (Xvfb): kinds chosen at the grab, new
// positions, and the screen restored from the saved pictures.
#include "KWI/Wyn/wyn.h"
#include "KWI/drag/drag_line.h"
#include "KWI/drag/drag_rct.h"
#include "KWI/drag/drag_string.h"
#include "KWI/drag/o_drag_pic.h"
#include "KWI/drag/o_drag_stretch_rct.h"
#include "wyn_test.h"

namespace rztest {
namespace {

class Drag : public Rz {};

constexpr direct kAny{direct::any_direc, {}};
constexpr direct kVertSmooth{direct::vert_only, {grainy::smooth, 0}};
constexpr direct kVertBox{direct::vert_only, {grainy::by_box_size, 0}};
constexpr direct kVertDx{direct::vert_only, {grainy::by_dx, 7}};
constexpr direct kHorzBox{direct::horz_only, {grainy::by_box_size, 0}};
constexpr rect_struct kBox{100, 100, 200, 140};

std::vector<int> Rect(rect_struct r) { return {r.left, r.top, r.right, r.bottom}; }

TEST_F(Drag, KindChosenAtTheGrab) {
  struct Case {
    const char* what;
    rect_struct r;
    pnt_struct grab;
    direct d;
    allow_stetch allow;
    uint32_t kind;
    state_dom state;
  } cases[] = {
      {"4 left of the left edge", kBox, {96, 120}, kAny, allow_stetch::both, drag_obj_dom::left, state_dom::good},
      {"5 left of the left edge", kBox, {95, 120}, kAny, allow_stetch::both, drag_obj_dom::move, state_dom::good},
      {"right edge", kBox, {203, 120}, kAny, allow_stetch::both, drag_obj_dom::right, state_dom::good},
      {"narrow box: left first", {100, 100, 106, 140}, {103, 120}, kAny, allow_stetch::both, drag_obj_dom::left,
       state_dom::good},
      {"corner stretches sideways", kBox, {101, 101}, kAny, allow_stetch::both, drag_obj_dom::left, state_dom::good},
      {"top edge", kBox, {150, 98}, kAny, allow_stetch::both, drag_obj_dom::top, state_dom::good},
      {"bottom edge", kBox, {150, 143}, kAny, allow_stetch::both, drag_obj_dom::bottom, state_dom::good},
      {"vertical only skips sides", kBox, {101, 120}, kVertSmooth, allow_stetch::both, drag_obj_dom::move,
       state_dom::good},
      {"horizontal only skips top", kBox, {150, 101}, kHorzBox, allow_stetch::both, drag_obj_dom::move,
       state_dom::good},
      {"whole only on an edge", kBox, {100, 100}, kAny, allow_stetch::whole_rct_only, drag_obj_dom::move,
       state_dom::good},
      {"stretch only, no edge", kBox, {150, 120}, kAny, allow_stetch::stretch_only, drag_obj_dom::move,
       state_dom::bad},
      {"stretch only, edge", kBox, {199, 120}, kAny, allow_stetch::stretch_only, drag_obj_dom::right,
       state_dom::good},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    drag_rct* d = drag_rct::new_drag_rct(0, c.r, c.grab, c.d, c.allow);
    EXPECT_EQ(d->get_state(), c.state);
    rect_struct final, start;
    drag_obj_dom kind;
    ASSERT_TRUE(d->drop_it(c.grab, &final, &kind, &start));
    EXPECT_EQ(kind.alt, c.kind);
    EXPECT_EQ(Rect(start), Rect(c.r));
    EXPECT_EQ(Rect(d->get_draw_rct()), Rect(c.r));
    if (kind.alt == drag_obj_dom::move)
      EXPECT_EQ((std::vector<int>{kind.offset.x, kind.offset.y}), (std::vector<int>{c.grab.x - c.r.left, c.grab.y - c.r.top}));
    EXPECT_FALSE(d->drop_it(c.grab, &final, &kind, &start));  // second drop
    EXPECT_FALSE(d->drag_it(c.grab, &kind));
  }
}

TEST_F(Drag, PositionsFollowTheKind) {
  const drag_obj_dom moveOf[] = {{drag_obj_dom::move, {10, 5}, kAny},
                                 {drag_obj_dom::move, {10, 5}, kVertSmooth},
                                 {drag_obj_dom::move, {10, 5}, kVertBox},
                                 {drag_obj_dom::move, {10, 5}, kVertDx},
                                 {drag_obj_dom::move, {10, 5}, kHorzBox}};
  struct Case {
    const char* what;
    drag_obj_dom kind;
    pnt_struct p;
    std::vector<int> expected;
  } cases[] = {
      {"free move", moveOf[0], {300, 50}, {290, 45, 390, 85}},
      {"vertical smooth", moveOf[1], {300, 50}, {100, 45, 200, 85}},
      {"box inside stays", moveOf[2], {0, 120}, {100, 100, 200, 140}},
      {"box far above snaps one up", moveOf[2], {0, -500}, {100, 60, 200, 100}},
      {"box below snaps one down", moveOf[2], {0, 141}, {100, 140, 200, 180}},
      {"box on the top edge follows", moveOf[2], {0, 100}, {100, 95, 200, 135}},
      {"vertical by dx as smooth", moveOf[3], {300, 50}, {100, 45, 200, 85}},
      {"horizontal ignores its grain", moveOf[4], {300, 50}, {290, 100, 390, 140}},
      {"right edge", {drag_obj_dom::right, {}, {}}, {250, 0}, {100, 100, 250, 140}},
      {"right edge past the left", {drag_obj_dom::right, {}, {}}, {50, 0}, {50, 100, 50, 140}},
      {"left edge", {drag_obj_dom::left, {}, {}}, {50, 0}, {50, 100, 200, 140}},
      {"left edge past the right", {drag_obj_dom::left, {}, {}}, {250, 0}, {250, 100, 250, 140}},
      {"top edge past the bottom", {drag_obj_dom::top, {}, {}}, {0, 150}, {100, 150, 200, 150}},
      {"bottom edge", {drag_obj_dom::bottom, {}, {}}, {0, 150}, {100, 100, 200, 150}},
      {"bottom edge above the top", {drag_obj_dom::bottom, {}, {}}, {0, 90}, {100, 90, 200, 90}},
  };
  for (const Case& c : cases) EXPECT_EQ(Rect(drag_rct::position(c.kind, c.p, kBox)), c.expected) << c.what;
  EXPECT_EQ(ErrorNumber(RunTrapped([&] { drag_rct::position(moveOf[0], {INT32_MIN, 0}, kBox); })), 1u);
}

// A patterned client area to drag over.
void Paint(LONG_PTR w) {
  win_Clear_0(w, 0xFFFFFF);
  wyn::o_fade_rect(Screen(w), {0, 0, 300, 100}, true, {0, 0, 255}, {0, 255, 0});
  wyn::draw_striped_rect(Screen(w), 0xFFFF00, 0x800080, {0, 100, 300, 200});
}

// Every pixel outside r equals the one before.
void ExpectSameOutside(const Pixels& before, const Pixels& after, rect_struct r) {
  ASSERT_EQ(before.w, after.w);
  for (int y = 0; y < before.h; ++y)
    for (int x = 0; x < before.w; ++x)
      if (x < r.left || x >= r.right || y < r.top || y >= r.bottom)
        ASSERT_EQ(after.at(x, y), before.at(x, y)) << x << "," << y;
}

TEST_F(Drag, ScreenOutsideTheLastFeedbackIsRestored) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    const rect_struct area{0, 0, 300, 200};
    for (direct d : {kAny, kVertBox, kHorzBox}) {
      Paint(w);
      const Pixels before = WindowPixels(w, area);
      win_SetPen(w, std::array<pen_struct, 1>{{{1, 0, 0}}}.data());
      brush_struct red{2, 0x0000FF};
      win_SetBrush(w, &red);
      drag_rct* drag = drag_rct::new_drag_rct(w, {50, 60, 250, 100}, {120, 80}, d, allow_stetch::whole_rct_only);
      drag_obj_dom kind;
      const pnt_struct moves[] = {{130, 90}, {200, 20}, {20, 170}, {121, 81}, {160, 150}};
      for (pnt_struct p : moves) ASSERT_TRUE(drag->drag_it(p, &kind));
      const rect_struct last = drag_rct::position(kind, moves[4], {50, 60, 250, 100});
      const Pixels after = WindowPixels(w, area);
      ExpectSameOutside(before, after, last);
      EXPECT_EQ(after.at(last.left + 5, last.top + 5), 0xFF0000u);  // the feedback stays
      EXPECT_EQ(after.at(last.left, last.top + 5), 0u);
      rect_struct final, start;
      EXPECT_TRUE(drag->drop_it(moves[4], &final, &kind, &start));
      EXPECT_EQ(Rect(final), Rect(last));
      EXPECT_EQ(WindowPixels(w, area), after);  // the drop draws nothing
    }
  });
}

// The saved screen is reused from move to move: what the window draws
// meanwhile outside the feedback stays, and a wide pen's outline is erased.
TEST_F(Drag, LaterMovesKeepWhatTheWindowDrewMeanwhile) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    const rect_struct area{0, 0, 300, 200}, start{50, 60, 250, 100};
    rect_struct box = start;
    // The screen the window shows at the end: the pattern, the start box anew.
    Paint(w);
    win_Clear_1(w, &box, 0x0000FF);
    const Pixels expected = WindowPixels(w, area);
    Paint(w);
    pen_struct wide{5, 0, 0x00FF00};
    win_SetPen(w, &wide);
    brush_struct hollow{1, 0};
    win_SetBrush(w, &hollow);
    drag_rct* drag = drag_rct::new_drag_rct(w, start, {120, 80}, kAny, allow_stetch::whole_rct_only);
    drag_obj_dom kind;
    ASSERT_TRUE(drag->drag_it({130, 150}, &kind));  // feedback at (60, 130, 260, 170)
    win_Clear_1(w, &box, 0x0000FF);                // the window draws the start box anew
    ASSERT_TRUE(drag->drag_it({20, 20}, &kind));
    ASSERT_TRUE(drag->drag_it({200, 170}, &kind));
    const rect_struct last = drag_rct::position(kind, {200, 170}, start);
    const Pixels after = WindowPixels(w, area);
    ExpectSameOutside(expected, after, {last.left - 5, last.top - 5, last.right + 5, last.bottom + 5});
  });
}

TEST_F(Drag, BadStateDrawsNothing) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    Paint(w);
    const Pixels before = WindowPixels(w, {0, 0, 300, 200});
    drag_rct* d = drag_rct::new_drag_rct(w, kBox, {150, 120}, kAny, allow_stetch::stretch_only);
    drag_obj_dom kind;
    EXPECT_FALSE(d->drag_it({170, 130}, &kind));
    EXPECT_FALSE(d->drag_it({10, 10}, &kind));
    EXPECT_EQ(WindowPixels(w, {0, 0, 300, 200}), before);
  });
}

constexpr rect_struct kArea{0, 0, 300, 200};

// The differing pixels of two pictures lie inside r; how many differ.
int DiffersOnlyInside(const Pixels& before, const Pixels& after, rect_struct r) {
  int differing = 0;
  for (int y = 0; y < before.h; ++y)
    for (int x = 0; x < before.w; ++x)
      if (after.at(x, y) != before.at(x, y)) {
        ++differing;
        EXPECT_TRUE(x >= r.left && x < r.right && y >= r.top && y < r.bottom) << x << "," << y;
        if (::testing::Test::HasFailure()) return differing;
      }
  return differing;
}

TEST_F(Drag, StretchBandLeavesNothingBehind) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    Paint(w);
    const Pixels before = WindowPixels(w, kArea);
    o_drag_stretch_rct* band = o_drag_stretch_rct::new_(w, {50, 40});
    for (pnt_struct p : {pnt_struct{120, 90}, pnt_struct{200, 150}, pnt_struct{90, 70}}) band->mousemove(p);
    const Pixels after = WindowPixels(w, kArea);
    EXPECT_GT(DiffersOnlyInside(before, after, {50, 40, 90, 70}), 0);
    EXPECT_EQ(after.at(60, 50), before.at(60, 50) ^ 0xC0C0C0u);
    band->mousemove({50, 40});  // an empty band: the screen as it was
    EXPECT_EQ(WindowPixels(w, kArea), before);
    EXPECT_EQ(Rect(band->mouseup({70, 60})), (std::vector<int>{50, 40, 70, 60}));
    // Left of and above the anchor: the anchor follows the mouse.
    band->mousemove({30, 45});
    band->mousemove({60, 20});
    EXPECT_EQ(Rect(band->mouseup({80, 50})), (std::vector<int>{30, 20, 80, 50}));
    EXPECT_EQ(Rect(o_drag_stretch_rct::new_(w, {50, 40})->mouseup({10, 5})), (std::vector<int>{50, 40, 10, 5}));
  });
}

TEST_F(Drag, FixedHeightBandSpansItsRows) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    Paint(w);
    const Pixels before = WindowPixels(w, kArea);
    o_drag_stretch_rct* band = o_drag_stretch_rct::new_(w, {50, 10});
    band->set_type({rct_type::horz_fixed_ht, 100, 120});
    for (pnt_struct p : {pnt_struct{150, 180}, pnt_struct{200, 30}, pnt_struct{120, 60}}) band->mousemove(p);
    const Pixels after = WindowPixels(w, kArea);
    EXPECT_GT(DiffersOnlyInside(before, after, {50, 100, 121, 121}), 0);
    EXPECT_EQ(after.at(80, 100), before.at(80, 100) ^ 0xFFFFFFu);  // inverted outline
    EXPECT_EQ(after.at(80, 110), before.at(80, 110));             // inside untouched
    EXPECT_EQ(Rect(band->mouseup({130, 5})), (std::vector<int>{50, 100, 130, 120}));
  });
}

TEST_F(Drag, PictureFollowsTheMouseOverTheSavedScreen) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    const rect_struct box{20, 120, 60, 140};
    struct Case {
      direct d;
      pnt_struct last, corner;  // the last mouse point and where the picture lands
    } cases[] = {{kAny, {200, 60}, {190, 55}},
                 {{direct::horz_only, {grainy::smooth, 0}}, {200, 60}, {190, 120}},
                 {kVertSmooth, {200, 60}, {20, 55}}};
    for (const Case& c : cases) {
      Paint(w);
      const Pixels before = WindowPixels(w, kArea);
      o_drag_pic* pic = o_drag_pic::new_(w, {30, 125}, box, c.d);
      EXPECT_EQ((std::vector<int>{pic->get_offset().x, pic->get_offset().y}), (std::vector<int>{10, 5}));
      for (pnt_struct p : {pnt_struct{100, 100}, pnt_struct{150, 30}, c.last}) pic->pic_mousemove(w, p);
      const rect_struct drawn{c.corner.x, c.corner.y, c.corner.x + 41, c.corner.y + 21};
      const Pixels after = WindowPixels(w, kArea);
      DiffersOnlyInside(before, after, drawn);
      if (c.d.alt != direct::horz_only)  // a copy: the box's pixels at the corner
        for (int y = 0; y <= 20; ++y)
          for (int x = 0; x <= 40; ++x)
            ASSERT_EQ(after.at(c.corner.x + x, c.corner.y + y), before.at(box.left + x, box.top + y));
      pic->delete_();
      EXPECT_EQ(WindowPixels(w, kArea), after);  // delete draws nothing
    }
    EXPECT_TRUE(IsRangeError(RunTrapped([&] { o_drag_pic::new_(w, {0, 0}, {50, 0, 44, 10}, kAny); })));
  });
}

TEST_F(Drag, LinesFromTheMouseToFixedPoints) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    Paint(w);
    const Pixels before = WindowPixels(w, kArea);
    // One line from the last mouse point to the start.
    drag_line* line = drag_line::new_(w, {40, 40});
    line->line_drag_mousemove({250, 60});
    line->line_drag_mousemove({150, 170});
    EXPECT_GT(DiffersOnlyInside(before, WindowPixels(w, kArea), {40, 40, 151, 171}), 0);
    pnt_struct start;
    const pntlist* points;
    line->line_drag_mouseup(&start, &points);
    EXPECT_EQ((std::vector<int>{start.x, start.y, points->head.x, points->head.y}), (std::vector<int>{40, 40, 40, 40}));
    line->line_drag_mousemove({40, 40});  // to the start: the line goes
    EXPECT_EQ(WindowPixels(w, kArea), before);
    // The same point twice: the two lines cancel.
    drag_line* twice = drag_line::new_(w, {10, 10}, MakeList<pnt_struct>({{200, 150}, {200, 150}}));
    twice->line_drag_mousemove({100, 20});
    EXPECT_EQ(WindowPixels(w, kArea), before);
    // Fixed points other than the start: nothing before the first move; new
    // fixed points: the old lines go, the new ones follow.
    drag_line* reset = drag_line::new_(w, {10, 10}, MakeList<pnt_struct>({{250, 20}}));
    reset->line_drag_mousemove({100, 100});
    reset->line_drag_reset_pnts(MakeList<pnt_struct>({{20, 180}, {280, 180}}));
    EXPECT_GT(DiffersOnlyInside(before, WindowPixels(w, kArea), {20, 100, 281, 181}), 0);
    reset->line_drag_mousemove({20, 180});
    reset->line_drag_reset_pnts(MakeList<pnt_struct>({{20, 180}}));
    EXPECT_EQ(WindowPixels(w, kArea), before);
  });
}

TEST_F(Drag, MarkerAndText) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    Paint(w);
    const Pixels before = WindowPixels(w, kArea);
    drag_vlittle* marker = drag_vlittle::new_(w);
    marker->mousemove({100, 20}, {100, 80});
    const Pixels once = WindowPixels(w, kArea);
    EXPECT_EQ(DiffersOnlyInside(before, once, {100, 20, 101, 80}), 60);
    marker->mousemove({100, 20}, {100, 80});
    EXPECT_EQ(WindowPixels(w, kArea), once);
    marker->mousemove({0, 0}, {0, 0});
    EXPECT_EQ(WindowPixels(w, kArea), before);

    drag_string* text = drag_string::new_(w, L"Dragged", 0x00FFFF);
    int tw = 0, th = 0;
    win_GetTextExtent(w, L"Dragged", -1, &tw, &th);
    EXPECT_EQ(Rect(text->xrct), (std::vector<int>{0, 0, tw, th}));
    const Pixels pic = Decode(text->xpic);
    EXPECT_EQ((std::vector<int>{pic.w, pic.h}), (std::vector<int>{tw, th}));
    for (pnt_struct p : {pnt_struct{50, 50}, pnt_struct{200, 120}, pnt_struct{120, 90}}) text->mousemove(p);
    const Pixels after = WindowPixels(w, kArea);
    DiffersOnlyInside(before, after, {120, 90, 120 + tw, 90 + th});
    for (int y = 0; y < th; ++y)
      for (int x = 0; x < tw; ++x) ASSERT_EQ(after.at(120 + x, 90 + y), pic.at(x, y));
    const drag_support::SavedScreen::Cell* saved = text->db_background2.first;
    ASSERT_TRUE(saved && !saved->next);
    const Pixels piece = Decode(saved->pict);
    EXPECT_EQ((std::vector<int>{saved->corner.x, saved->corner.y, piece.w, piece.h}),
              (std::vector<int>{120 - tw, 90 - th, 2 * tw, 2 * th}));
  });
}

}  // namespace
}  // namespace rztest
