// Cursor hot spots on a real window: the list's first match decides, strict
// tolerances, stretchable edges, segments by areas, temporary defaults, and
// one cursor change for repeated answers.
#include "KWI/Wyn/sc_mouse.h"
#include "wyn_test.h"

namespace rztest {
namespace {

class Mouse : public Rz {
 protected:
  void SetUp() override {
    Rz::SetUp();
    sc_mouse::xcursor = sc_mouse::xcursor_default = 1;
    sc_mouse::o_mouse_set_ns(7);
    sc_mouse::o_mouse_set_we(9);
    sc_mouse::o_mouse_remove_temp_default_all();
  }
};

o_mouse_dom Vert(int x) { return {o_mouse_dom::on_vert, {}, x, 0, 0, {}, {}, 0}; }
o_mouse_dom Horz(int y) { return {o_mouse_dom::on_horz, {}, y, 0, 0, {}, {}, 0}; }
o_mouse_dom VertIn(int x, int y1, int y2) { return {o_mouse_dom::on_vert_in_y, {}, x, y1, y2, {}, {}, 0}; }
o_mouse_dom HorzIn(int y, int x1, int x2) { return {o_mouse_dom::on_horz_in_x, {}, y, x1, x2, {}, {}, 0}; }
o_mouse_dom Stretch(rect_struct r) { return {o_mouse_dom::in_rct_stretch_horz, r, 0, 0, 0, {}, {}, 0}; }
o_mouse_dom Plain(rect_struct r) { return {o_mouse_dom::in_rct, r, 0, 0, 0, {}, {}, 0}; }
o_mouse_dom Line(pnt_struct a, pnt_struct b, int cursor) { return {o_mouse_dom::on_line, {}, 0, 0, 0, a, b, cursor}; }

TEST_F(Mouse, HotSpotTable) {
  struct Case {
    const char* what;
    std::vector<o_mouse_dom> spots;
    pnt_struct p;
    int tolerance;
    bool hit;
    int cursor;  // the cursor set afterwards (the previous is 4)
  } cases[] = {
      {"vertical line 2 away", {Vert(100)}, {98, 0}, 3, true, 9},
      {"vertical line 3 away", {Vert(100)}, {97, 0}, 3, false, 1},
      {"vertical inside y", {VertIn(100, 10, 20)}, {101, 20}, 3, true, 9},
      {"vertical outside y", {VertIn(100, 10, 20)}, {101, 21}, 3, false, 1},
      {"horizontal line", {Horz(50)}, {0, 52}, 3, true, 7},
      {"horizontal inside x", {HorzIn(50, 0, 10)}, {0, 48}, 3, true, 7},
      {"horizontal outside x", {HorzIn(50, 0, 10)}, {11, 50}, 3, false, 1},
      {"stretch left edge", {Stretch({10, 10, 50, 50})}, {12, 30}, 3, true, 9},
      {"stretch right edge", {Stretch({10, 10, 50, 50})}, {48, 30}, 3, true, 9},
      {"stretch inside keeps", {Stretch({10, 10, 50, 50})}, {30, 30}, 3, true, 4},
      {"stretch outside goes on", {Stretch({10, 10, 50, 50}), Horz(30)}, {52, 30}, 3, true, 7},
      {"plain rectangle skipped", {Plain({0, 0, 100, 100})}, {5, 5}, 3, false, 1},
      {"first match decides", {Horz(5), Vert(5)}, {5, 5}, 3, true, 7},
      {"flat segment on", {Line({0, 20}, {100, 20}, 3)}, {60, 20}, 0, true, 3},
      {"flat segment off", {Line({0, 20}, {100, 20}, 3)}, {60, 21}, 50, false, 1},
      {"diagonal middle", {Line({0, 100}, {100, 0}, 2)}, {50, 50}, 50, true, 2},
      {"diagonal off", {Line({0, 100}, {100, 0}, 2)}, {30, 30}, 50, false, 1},
      {"falling diagonal", {Line({0, 0}, {100, 100}, 2)}, {30, 30}, 1, true, 2},
      {"falling diagonal off", {Line({0, 0}, {100, 100}, 2)}, {30, 60}, 50, false, 1},
      {"outside the segment's box", {Line({0, 0}, {100, 100}, 2)}, {101, 101}, 5000, false, 1},
  };
  InTask([&](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      sc_mouse::xcursor = 4;
      ListBuilder<o_mouse_dom> spots;
      for (const o_mouse_dom& s : c.spots) spots.Add(s);
      EXPECT_EQ(sc_mouse::o_mouse_set(w, c.p, spots.Finish(), c.tolerance), c.hit);
      EXPECT_EQ(sc_mouse::xcursor, c.cursor);
    }
  });
}

TEST_F(Mouse, TemporaryDefaultsAndOneChangePerAnswer) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    sc_mouse::o_mouse_set_temp_default(5);
    sc_mouse::o_mouse_set_temp_default(3);
    EXPECT_FALSE(sc_mouse::o_mouse_set(w, {0, 0}, Nil<o_mouse_dom>(), 3));
    EXPECT_EQ(cursor_Get(w), 3);
    sc_mouse::o_mouse_remove_temp_default();
    sc_mouse::o_mouse_set(w, {0, 0}, Nil<o_mouse_dom>(), 3);
    EXPECT_EQ(cursor_Get(w), 5);
    sc_mouse::o_mouse_remove_temp_default_all();
    sc_mouse::o_mouse_remove_temp_default();  // none left: no error
    sc_mouse::o_mouse_set_default(2);
    sc_mouse::o_mouse_set(w, {0, 0}, Nil<o_mouse_dom>(), 3);
    EXPECT_EQ(cursor_Get(w), 2);
    // The same answer again does not touch the window's cursor.
    cursor_Set(w, 1, 1);
    sc_mouse::o_mouse_set(w, {0, 0}, Nil<o_mouse_dom>(), 3);
    EXPECT_EQ(cursor_Get(w), 1);
  });
}

TEST_F(Mouse, OverflowingDifferencesRaise) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { sc_mouse::o_mouse_set(w, {INT32_MIN, 0}, MakeList({Vert(1)}), 3); })), 1u);
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { sc_mouse::is_on_line({0, 0}, {100000, 100000}, {50000, 70000}, 1); })), 1u);
  });
}

}  // namespace
}  // namespace rztest
