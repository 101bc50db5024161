// The scroll objects on a real window's own bars and on a scroll-bar
// control (Xvfb): after every operation the bar's range and thumb equal
// the object's; steps, thumbs, notes, zooms, grains and time ranges.
#include "KWI/Wyn/o_scroll.h"
#include "KWI/Wyn/o_scroll_gmt.h"
#include "KWI/Wyn/scaled_scroll.h"
#include "dialog_recorder.h"
#include "wyn_test.h"

#include <algorithm>
#include <deque>

namespace rztest {
namespace {

class Scroll : public Rz {};

struct Bar {
  int pos, min, max;
  bool operator==(const Bar&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Bar& b) {
  return o << "pos " << b.pos << " range " << b.min << ".." << b.max;
}

// What the system shows for the bar of kind `kind` on `w`.
Bar Shown(LONG_PTR w, int kind) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_POS;
  GetScrollInfo(reinterpret_cast<HWND>(w), kind == 2 ? SB_CTL : kind == 0 ? SB_HORZ : SB_VERT, &si);
  return {si.nPos, si.nMin, si.nMax};
}

// A scroll notification kept for the test's length.
const controlinfo* Code(int code, int thumb = 0) {
  static std::deque<controlinfo> kept;
  kept.push_back({ci_scroll, code, thumb});
  return &kept.back();
}

LONG_PTR NewControl(HWND task) {
  rect_struct r{10, 10, 30, 200};
  std::vector<ilist_struct> none{{ListNil, 0, nullptr}};
  return win_CreateControl(12, &r, L"", reinterpret_cast<LONG_PTR>(task), none.data(), 4711);
}

// o_scroll: each step of a script and the position and range after it, on
// both kinds of bar.
TEST_F(Scroll, IntegerPositionFollowsTheScriptOnEveryKindOfBar) {
  struct Step {
    const char* what;
    std::function<void(o_scroll*)> apply;
    Bar expected;
  };
  const std::vector<Step> script{
      {"first range", [](o_scroll* s) { s->setscrollrange(1, 20); }, {1, 1, 20}},
      {"range (0, 100)", [](o_scroll* s) { s->setscrollrange(0, 100); }, {1, 0, 100}},
      {"thumb 95", [](o_scroll* s) { s->scroll_it(Code(5, 95)); }, {95, 0, 100}},
      {"page down clamps", [](o_scroll* s) { s->scroll_it(Code(4)); }, {100, 0, 100}},
      {"track past the end", [](o_scroll* s) { s->scroll_it(Code(6, 150)); }, {100, 0, 100}},
      {"thumb 37", [](o_scroll* s) { s->scroll_it(Code(5, 37)); }, {37, 0, 100}},
      {"line up", [](o_scroll* s) { s->scroll_it(Code(1)); }, {36, 0, 100}},
      {"page up", [](o_scroll* s) { s->scroll_it(Code(3)); }, {26, 0, 100}},
      {"own line down", [](o_scroll* s) { s->setscrolldef(2, 5); s->scroll_it(Code(2)); }, {31, 0, 100}},
      {"replaced", [](o_scroll* s) { s->setscrolldef(2, 3); s->scroll_it(Code(2)); }, {34, 0, 100}},
      {"top code keeps", [](o_scroll* s) { s->scroll_it(Code(7)); }, {34, 0, 100}},
      {"Min > Max keeps the position", [](o_scroll* s) { s->setscrollrange(10, 5); }, {34, 0, 0}},
      {"line up at 0", [](o_scroll* s) { s->setscrollrange(0, 100); s->setscroll_pos(0); s->scroll_it(Code(1)); }, {0, 0, 100}},
      {"position 500 unclamped", [](o_scroll* s) { s->setscroll_pos(500); }, {500, 0, 100}},
      {"next step clamps", [](o_scroll* s) { s->scroll_it(Code(7)); }, {100, 0, 100}},
  };
  InTask([&](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    ShowScrollBar(task, SB_BOTH, TRUE);
    for (o_scroll* s : {o_scroll::create_main_vsb(w), o_scroll::create_main_hsb(w), o_scroll::create_ctrl_sb(NewControl(task))}) {
      for (const Step& step : script) {
        SCOPED_TRACE(step.what);
        step.apply(s);
        Bar object{};
        s->scroll_pos(&object.pos, &object.min, &object.max);
        EXPECT_EQ(object, step.expected);
        // The bar shows the object's range; it clamps a stored position
        // outside it.
        Bar shown = Shown(s->get_ctrl(), s->bar.xscrolltype);
        EXPECT_EQ((Bar{0, shown.min, shown.max}), (Bar{0, object.min, object.max}));
        EXPECT_EQ(shown.pos, std::clamp(object.pos, object.min, object.max));
      }
      EXPECT_FALSE(s->scroll_it(Code(0)));
      const controlinfo focus{ci_getfocus, 0, 0};
      EXPECT_FALSE(s->scroll_it(&focus));
    }
  });
}

TEST_F(Scroll, IntegerPositionBeforeAnyRangeAndFarRanges) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    o_scroll* fresh = o_scroll::create_main_vsb(w);
    int32_t p, lo, hi;
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { fresh->scroll_pos(&p, &lo, &hi); })), 329u);
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { fresh->scroll_it(Code(2)); })), 329u);
    o_scroll* inverted = o_scroll::create_main_vsb(w);
    inverted->setscrollrange(10, 5);
    inverted->scroll_pos(&p, &lo, &hi);
    EXPECT_EQ((Bar{p, lo, hi}), (Bar{0, 0, 0}));
    DialogRecorder rec;
    o_scroll* distant = o_scroll::create_main_hsb(w);
    distant->setscrollrange(-40000, 0);
    distant->setscrollrange(-50000, 0);
    distant->scroll_pos(&p, &lo, &hi);
    EXPECT_EQ((Bar{p, lo, hi}), (Bar{-40000, -50000, 0}));
    o_scroll* wide = o_scroll::create_main_vsb(w);
    wide->setscrollrange(0, 40000);
    EXPECT_EQ(rec.shown(), (std::vector<DialogRecorder::Shown>{{L"note", L"Scroll range either >32000 or <-32000"}}));
    o_scroll* top = o_scroll::create_main_vsb(w);
    top->setscrollrange(0, 10);
    top->setscroll_pos(INT32_MAX);
    top->setscrolldef(2, 1);
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { top->scroll_it(Code(2)); })), 1u);
  });
}

// Creates a control object in a frame of its own, so that nothing on the
// test's stack keeps it.
[[gnu::noinline]] LONG_PTR ForgottenControlObject(HWND task, LONG_PTR* main) {
  const LONG_PTR control = NewControl(task);
  o_scroll::create_ctrl_sb(control)->setscrollrange(0, 10);
  scaled_scroll::create_main_vsb(reinterpret_cast<LONG_PTR>(task))->setscrollrange(0, 1);
  *main = reinterpret_cast<LONG_PTR>(task);
  return control;
}

TEST_F(Scroll, CollectedControlObjectDestroysItsControlOnly) {
  InTask([](HWND task) {
    LONG_PTR main = 0;
    const LONG_PTR control = ForgottenControlObject(task, &main);
    ASSERT_TRUE(IsWindow(reinterpret_cast<HWND>(control)));
    Qel::RunTime::Kernel::Memory::FinalizeAll();
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(control)));
    EXPECT_TRUE(IsWindow(reinterpret_cast<HWND>(main)));
    // A control destroyed before its object: the finaliser leaves it.
    const LONG_PTR gone = NewControl(task);
    o_scroll::create_ctrl_sb(gone);
    win_Destroy(gone);
    EXPECT_EQ(RunTrapped([] { Qel::RunTime::Kernel::Memory::FinalizeAll(); }), 0u);
  });
}

struct Real {
  double pos, min, max;
};
Real Read(scaled_scroll* s) {
  Real r;
  s->scroll_pos(&r.pos, &r.min, &r.max);
  return r;
}

TEST_F(Scroll, ScaledPositionStepsAndThumb) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    ShowScrollBar(task, SB_BOTH, TRUE);
    scaled_scroll* s = scaled_scroll::create_main_hsb(w);
    s->setscrollrange(10, 20);
    EXPECT_EQ(Read(s).pos, 10);
    s->setscrollrange(0, 10);
    EXPECT_EQ(Read(s).pos, 10);  // kept
    struct Step {
      const controlinfo* info;
      double pos;
      int thumb;
    } steps[] = {{Code(6, 50), 5.0, 50}, {Code(4), 6.0, 60},       {Code(5, 95), 9.5, 95},
                 {Code(4), 10.0, 100},   {Code(7), 10.0, 100},     {Code(5, 0), 0.0, 0},
                 {Code(1), 0.0, 0},      {Code(2), 0.1, 1},        {Code(8), 0.1, 1}};
    for (const Step& st : steps) {
      ASSERT_TRUE(s->scroll_it(st.info));
      EXPECT_DOUBLE_EQ(Read(s).pos, st.pos) << st.info->code;
      EXPECT_EQ(Shown(w, 0), (Bar{st.thumb, 0, 100})) << st.info->code;
    }
    s->setscrollrange(0, 1000);
    s->scroll_it(Code(5, 40));
    s->scroll_it(Code(2));
    EXPECT_DOUBLE_EQ(Read(s).pos, 400.1);
    EXPECT_EQ(Shown(w, 0).pos, 40);
    EXPECT_FALSE(s->scroll_it(Code(0)));
  });
}

TEST_F(Scroll, ScaledErrorsAndEmptyRange) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    scaled_scroll* s = scaled_scroll::create_main_vsb(w);
    for (auto op : std::vector<std::function<void()>>{[&] { s->scroll_it(Code(2)); },
                                                      [&] { s->setscroll_pos(1); },
                                                      [&] { s->zoomin(1); },
                                                      [&] { s->small_grains(); }})
      EXPECT_EQ(ErrorNumber(RunTrapped(op)), 329u);
    EXPECT_EQ(s->get_ctrl(), w);
    DialogRecorder rec;
    s->setscrollrange(5, 3);
    EXPECT_EQ(rec.shown(), (std::vector<DialogRecorder::Shown>{{L"note", L"error 76 in scaled_scroll"}}));
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { Read(s); })), 329u);
    s->setscrollrange(4, 4);  // empty: thumb 0, no error
    EXPECT_EQ(RunTrapped([&] {
                s->scroll_it(Code(6, 70));
                s->zoomin(4);
              }),
              0u);
    EXPECT_EQ(Read(s).pos, 4);
    EXPECT_EQ(Shown(w, 1).pos, 0);
    s->setscrollrange(0, 10);
    EXPECT_TRUE(IsRangeError(RunTrapped([&] { s->setscroll_pos(-1); })));
    EXPECT_EQ(Read(s).pos, -1);  // stored before the error
    EXPECT_TRUE(IsRangeError(RunTrapped([&] { s->setscroll_pos(3e9); })));
  });
}

TEST_F(Scroll, ScaledZoomsAndGrainsMatchTheReferenceSums) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    ShowScrollBar(task, SB_BOTH, TRUE);
    struct Zoom {
      std::function<void(scaled_scroll*)> apply;
      Real expected;
    } zooms[] = {{[](scaled_scroll* s) { s->zoomout(0, 100); }, {12.96, 9.0, 21.0}},
                 {[](scaled_scroll* s) { s->zoomout(10, 20); }, {13.3, 10, 20}},
                 {[](scaled_scroll* s) { s->zoomin(15); }, {13.3325, 11.665, 16.67}}};
    for (const Zoom& z : zooms) {
      scaled_scroll* s = scaled_scroll::create_main_hsb(w);
      s->setscrollrange(10, 20);
      z.apply(s);
      const Real r = Read(s);
      EXPECT_EQ((std::vector<double>{r.pos, r.min, r.max}), (std::vector<double>{z.expected.pos, z.expected.min, z.expected.max}));
      EXPECT_EQ(Shown(w, 0).pos, 33);
    }
    // Reference: count, first and last grain of the same sums in Python floats.
    struct Grains {
      bool big;
      double min, max;
      size_t count;
      double first, last;
    } grains[] = {{false, 0, 100, 401, 0.0, 100.0},       {false, 3.6, 103.6, 0, 0, 0},
                  {false, 10, 20, 401, 10.0, 19.999999999999858}, {false, -7.3, 2.1, 0, 0, 0},
                  {true, 37, 537, 1, 100.0, 100.0},       {true, 0.5, 10, 0, 0, 0},
                  {true, 0, 100, 0, 0, 0},                {true, 150, 5000, 5, 1000.0, 5000.0},
                  {true, 0.15, 0.9, 0, 0, 0},             {true, 4, 4, 0, 0, 0}};
    for (const Grains& g : grains) {
      scaled_scroll* s = scaled_scroll::create_main_hsb(w);
      s->setscrollrange(g.min, g.max);
      std::vector<double> got;
      for (auto* l = g.big ? s->big_grains() : s->small_grains(); !l->Empty(); l = l->tail) got.push_back(l->head);
      SCOPED_TRACE(testing::Message() << (g.big ? "big " : "small ") << g.min << ".." << g.max);
      ASSERT_EQ(got.size(), g.count);
      if (g.count) {
        EXPECT_EQ(got.front(), g.first);
        EXPECT_EQ(got.back(), g.last);
      }
    }
  });
}

TEST_F(Scroll, PowerOfTenRounding) {
  struct Case {
    double x, rounded;
  } cases[] = {{5, 10}, {10, 100}, {99.99, 100}, {100, 1000}, {0.5, 0.1}, {1, 0.1}, {0.1, 0.1 * 0.1},
               {-0.5, -0.1}, {-1, -10}, {-5, -10}, {0, 0}, {2e9, 1e10}, {1e12, 1e13}};
  for (const Case& c : cases) EXPECT_EQ(scaled_scroll::power_of_ten(c.x), c.rounded) << c.x;
  struct Up {
    double x, step;
  } ups[] = {{2, 0.25}, {2.5, 1}, {0.2, 0.025}, {-3, 0.0000001}, {1e7, 1e6}, {0, 0.0000001}};
  for (const Up& u : ups) EXPECT_DOUBLE_EQ(scaled_scroll::roundup(u.x), u.step) << u.x;
}

constexpr uint64_t kHour = 36'000'000'000;
// 2024-03-01 00:00 UTC in 100 ns since 1601.
constexpr uint64_t kMarch1 = 133537248000000000;

TEST_F(Scroll, TimeRangeInWholeHours) {
  ASSERT_EQ(tav::gmtTime::new_(2024, 3, 1, 0, 0, 0)->getgmttime(), kMarch1);
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    ShowScrollBar(task, SB_BOTH, TRUE);
    for (o_scroll_gmt* s : {o_scroll_gmt::create_main_vsb(w, kMarch1), o_scroll_gmt::create_ctrl_sb(NewControl(task), kMarch1)}) {
      const int kind = s->bar.xscrolltype;
      s->setscrollrange(kMarch1, kMarch1 + 53 * kHour + 59 * 600'000'000ull);
      EXPECT_EQ(Shown(s->get_ctrl(), kind), (Bar{0, 0, 53}));
      struct Step {
        const char* what;
        const controlinfo* info;
        int64_t pos;  // hours from the start
        int thumb;
      } steps[] = {{"thumb 30", Code(5, 30), 30, 30}, {"track 30", Code(6, 30), 30, 30},
                   {"week later", Code(4), 30 + 168, 53},  {"top keeps", Code(7), 198, 53},
                   {"thumb 0", Code(5, 0), 0, 0}};
      for (const Step& st : steps) {
        SCOPED_TRACE(st.what);
        ASSERT_TRUE(s->scroll_it(st.info));
        uint64_t pos, start, end;
        s->scroll_pos(&pos, &start, &end);
        EXPECT_EQ(static_cast<int64_t>(pos - kMarch1), st.pos * static_cast<int64_t>(kHour));
        EXPECT_EQ(Shown(s->get_ctrl(), kind).pos, st.thumb);
      }
      // A day earlier, before the start: the thumb is negative.
      s->scroll_it(Code(1));
      EXPECT_EQ(o_scroll_gmt::hours_between(tav::gmtTime::new_(kMarch1), tav::gmtTime::new_(kMarch1 - 24 * kHour)), -24);
      s->setscrolldef(4, static_cast<int64_t>(kHour));
      s->setscrolldef(4, 2 * static_cast<int64_t>(kHour));
      s->scroll_it(Code(4));
      uint64_t pos, start, end;
      s->scroll_pos(&pos, &start, &end);
      EXPECT_EQ(pos, kMarch1 - 22 * kHour);
      EXPECT_FALSE(s->scroll_it(Code(0)));
    }
  });
}

TEST_F(Scroll, TimeRangeEdges) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    ShowScrollBar(task, SB_BOTH, TRUE);
    o_scroll_gmt* s = o_scroll_gmt::create_main_hsb(w, kMarch1);
    uint64_t pos, start, end;
    s->setscrollrange(kMarch1, kMarch1 - 600'000'000ull);  // a minute before
    s->scroll_pos(&pos, &start, &end);
    EXPECT_EQ((std::vector<uint64_t>{pos, start, end}), (std::vector<uint64_t>{kMarch1, kMarch1, kMarch1}));
    EXPECT_EQ(Shown(w, 0), (Bar{0, 0, 0}));
    s->setscrollrange(kMarch1, kMarch1 + 10 * 24 * kHour);
    s->setscroll_pos(kMarch1 + 48 * kHour);
    EXPECT_EQ(Shown(w, 0).pos, 48);
    s->setscrollrange(kMarch1 + 24 * kHour, kMarch1 + 10 * 24 * kHour);  // start a day later
    EXPECT_EQ(Shown(w, 0).pos, 24);
    const auto hours = [](uint64_t a, uint64_t b) {
      return o_scroll_gmt::hours_between(tav::gmtTime::new_(a), tav::gmtTime::new_(b));
    };
    EXPECT_EQ(hours(kMarch1, kMarch1 - 90 * 600'000'000ull), -1);
    EXPECT_EQ(hours(kMarch1, kMarch1 + 30 * 600'000'000ull), 0);
    // An interval beyond 64 bits (no 32-bit hour count fits in 64 bits of 100 ns).
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { hours(1ull << 63, (1ull << 63) - 1); })), 1u);
  });
}

}  // namespace
}  // namespace rztest
