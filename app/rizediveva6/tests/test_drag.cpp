// Drag feedback on a real window (Xvfb): kinds chosen at the grab, new
// positions, and the screen restored from the saved pictures.
#include "KWI/Wyn/wyn.h"
#include "KWI/drag/drag_rct.h"
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

}  // namespace
}  // namespace rztest
