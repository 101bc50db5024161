// kwiOwndraw on real owner-drawn controls of a task window: radio buttons
// and their groups read back through the draw callback, measuring of list
// boxes and menu items, and the refused control kinds.
#include <map>
#include <string>

#include "kwi/kwiownDraw/kwiOwndraw.h"
#include "pixels.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using OwnerDraw = Library;

// The checked value each radio button was last drawn with.
std::map<uint32_t, int32_t>& Drawn() {
  static std::map<uint32_t, int32_t> d;
  return d;
}
void RecordRadio(uint32_t id, LONG_PTR, rect_struct*, rect_struct*, int32_t checked) {
  Drawn()[id] = checked;
}

// The task window's handler: owner-draw events of radio buttons to drawradio.
LONG_PTR Events(HWND task, event_struct* e) {
  static OdCallback radio{reinterpret_cast<void*>(&RecordRadio), nullptr};
  if (e->kind != e_ownerdraw || e->w[0] != 0) Fail();
  auto* item = reinterpret_cast<rect_struct*>(e->w[6]);
  rect_struct circle{item->left + 2, item->top + 2, item->left + 12, item->top + 12};
  kwiOwndraw::drawradio(reinterpret_cast<ilist_struct*>(e->w[3]), reinterpret_cast<ilist_struct*>(e->w[4]),
                        item, &circle, reinterpret_cast<LONG_PTR>(task), e->w[5],
                        static_cast<uint32_t>(e->w[1]), &radio);
  return 1;
}

// Redraws every radio button of the task window and reads what was drawn.
std::map<uint32_t, int32_t> Redraw(LONG_PTR task, std::initializer_list<uint32_t> ids) {
  Drawn().clear();
  for (uint32_t id : ids) {
    HWND b = GetDlgItem(reinterpret_cast<HWND>(task), static_cast<int>(id));
    InvalidateRect(b, nullptr, TRUE);
    UpdateWindow(b);
  }
  Pump(50);
  return Drawn();
}

LONG_PTR Radio(LONG_PTR task, uint32_t id, int32_t left, int32_t top) {
  return kwiOwndraw::createcontrol(wt_radiobutton, id, kd::Rect(left, top, left + 60, top + 20),
                                   L"r", task);
}

void InTask(const std::function<void(LONG_PTR)>& body) {
  RunInTask(
      [&](LONG_PTR task) {
        const uint32_t code = RunTrapped([&] { body(task); });
        EXPECT_EQ(code, 0u);
      },
      Events);
}

// The radio steps run in this order in one process: the first radio button
// after the group-0 marker was cleared starts checked.
TEST_F(OwnerDraw, RadioButtonsStartCheckedOncePerGroupAndMoveIntoGroups) {
  using Checks = std::map<uint32_t, int32_t>;
  InTask([&](LONG_PTR task) {
    Radio(task, 1, 10, 10);
    Radio(task, 2, 10, 40);
    Radio(task, 3, 10, 70);
    EXPECT_EQ(Redraw(task, {1, 2, 3}), (Checks{{1, 1}, {2, 0}, {3, 0}}));
    kwiOwndraw::groupcontrols(1, kd::Ints({2, 3}), task);
    EXPECT_EQ(Redraw(task, {1, 2, 3}), (Checks{{1, 1}, {2, 1}, {3, 0}}));
  });
  // A group box takes a button at x = 0 and y = 0; the one outside stays in
  // group 0 and is checked there.
  InTask([&](LONG_PTR task) {
    Radio(task, 4, 0, 0);
    Radio(task, 5, 150, 150);
    kwiOwndraw::creategroupbox(kd::Rect(0, 0, 100, 100), task);
    EXPECT_EQ(Redraw(task, {4, 5}), (Checks{{4, 1}, {5, 1}}));
    // A second box gets a group of its own: 6 is checked beside 4.
    Radio(task, 6, 200, 10);
    kwiOwndraw::creategroupbox(kd::Rect(190, 0, 300, 100), task);
    EXPECT_EQ(Redraw(task, {4, 5, 6}), (Checks{{4, 1}, {5, 1}, {6, 1}}));
  });
}

TEST_F(OwnerDraw, MeasuringGivesWidthAndHeightOrShowsAnError) {
  std::vector<int32_t> sizes;
  std::vector<testbox::Seen> seen;
  InTask([&](LONG_PTR task) {
    kwiOwndraw::createlistbox(600, kd::Rect(0, 0, 120, 100), L"", task, kd::Strings({L"a", L"b"}), 0, 4);
    kwiOwndraw::createlistbox(601, kd::Rect(130, 0, 250, 99), L"", task, kd::Strings({L"a"}), 0, 4);
    sizes.push_back(kwiOwndraw::measurecontrol(600));
    sizes.push_back(kwiOwndraw::measurecontrol(601));
    // A menu item under a control's id answers for the menu item.
    const OdMenu nil{2, nullptr, nullptr};
    const OdItem first{1, 600, 80, 18, &nil}, second{1, 602, 50, 20, &nil};
    const OdMenu tail{1, &second, &nil}, menu{1, &first, &tail};
    menu_struct* m = kwiOwndraw::createmenu(&menu);
    EXPECT_EQ(m->functor, 2u);
    sizes.push_back(kwiOwndraw::measurecontrol(600));
    sizes.push_back(kwiOwndraw::measurecontrol(602));
    Script s({{L"Error", [](HWND d) { Press(d, IDOK); }}});
    sizes.push_back(kwiOwndraw::measurecontrol(7));
    s.Finish();
    seen = s.Boxes();
    // destroy forgets a window's rectangles.
    kwiOwndraw::destroy(task, 601);
    Script again({{L"Error", [](HWND d) { Press(d, IDOK); }}});
    sizes.push_back(kwiOwndraw::measurecontrol(601));
    again.Finish();
  });
  EXPECT_EQ(sizes, (std::vector<int32_t>{120 + 25 * 65536, 120 + 24 * 65536, 68 + 18 * 65536,
                                         38 + (38 - 18) * 65536, 0, 0}));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, L"Error measuring Control ID=7");
}

TEST_F(OwnerDraw, BadKindsRowsAndIdsRaiseBeforeAnythingIsCreated) {
  InTask([&](LONG_PTR task) {
    uint32_t id = RunTrapped([&] { kwiOwndraw::createcontrol(15, 700, kd::Rect(0, 0, 10, 10), L"", task); });
    const TraceEntry* e = exception::trygetdescriptor(id, &kwiOwndraw::wrongwindowtype);
    ASSERT_TRUE(e);
    EXPECT_EQ(Extra(e, L"parameter"), L"15");
    EXPECT_EQ(GetDlgItem(reinterpret_cast<HWND>(task), 700), nullptr);
    id = RunTrapped([&] {
      kwiOwndraw::createlistbox(701, kd::Rect(0, 0, 10, 10), L"", task, kd::Strings({}), 0, 0);
    });
    EXPECT_GE(id, kFirstTraceId);
    EXPECT_EQ(GetDlgItem(reinterpret_cast<HWND>(task), 701), nullptr);
    id = RunTrapped([&] {
      kwiOwndraw::createcontrol(wt_pushbutton, 0x80000000u, kd::Rect(0, 0, 10, 10), L"", task);
    });
    EXPECT_GE(id, kFirstTraceId);
    // A measured height of 32768 overflows.
    id = RunTrapped([&] {
      kwiOwndraw::createlistbox(702, kd::Rect(0, 0, 10, 32768), L"", task, kd::Strings({}), 0, 1);
      kwiOwndraw::measurecontrol(702);
    });
    EXPECT_GE(id, kFirstTraceId);
  });
}

}  // namespace

namespace {

constexpr uint32_t kButtonId = 50;

// The task window's handler: the owner-drawn push button to drawbutton.
LONG_PTR ButtonEvents(HWND task, event_struct* e) {
  if (e->kind != e_ownerdraw || e->w[1] != static_cast<LONG_PTR>(kButtonId)) Fail();
  kwiOwndraw::drawbutton(reinterpret_cast<ilist_struct*>(e->w[3]), reinterpret_cast<ilist_struct*>(e->w[4]),
                         reinterpret_cast<rect_struct*>(e->w[6]), e->w[5], nullptr);
  (void)task;
  return 1;
}

}  // namespace

TEST_F(OwnerDraw, AButtonIsDrawnRaisedAndPushedWhilePressed) {
  constexpr uint32_t kBlack = 0x000000, kDarkGrey = 0x808080, kLightGrey = 0xC0C0C0, kWhite = 0xFFFFFF;
  RunInTask(
      [&](LONG_PTR task) {
        const uint32_t code = RunTrapped([&] {
          kwiOwndraw::createcontrol(wt_pushbutton, kButtonId, kd::Rect(10, 10, 90, 50), L"", task);
        });
        ASSERT_EQ(code, 0u);
        HWND b = GetDlgItem(reinterpret_cast<HWND>(task), static_cast<int>(kButtonId));
        ASSERT_NE(b, nullptr);
        InvalidateRect(b, nullptr, TRUE);
        UpdateWindow(b);
        Pump(50);
        const kwitest::Pixels raised = kwitest::ClientPixels(b);
        const int midX = raised.w / 2, midY = raised.h / 2;
        const int right = raised.w - 1, bottom = raised.h - 1;
        struct Spot {
          const char* what;
          int x, y;
          uint32_t colour;
        };
        for (const Spot& s : {Spot{"frame", 0, midY, kBlack}, Spot{"frame", midX, 0, kBlack},
                              Spot{"lit top", midX, 3, kWhite}, Spot{"lit left", 3, midY, kWhite},
                              Spot{"shaded bottom", midX, bottom - 3, kDarkGrey},
                              Spot{"shaded right", right - 3, midY, kDarkGrey},
                              Spot{"face", midX, midY, kLightGrey}}) {
          EXPECT_EQ(raised.at(s.x, s.y), s.colour) << "raised " << s.what;
        }
        // Pressed with the focus: the pushed look, a dark top-left edge.
        SetFocus(b);
        SendMessageW(b, BM_SETSTATE, TRUE, 0);
        Pump(50);
        const kwitest::Pixels pushed = kwitest::ClientPixels(b);
        EXPECT_EQ(pushed.at(midX, 3), kBlack) << "pushed top";
        EXPECT_EQ(pushed.at(3, midY), kBlack) << "pushed left";
        EXPECT_EQ(pushed.at(midX, bottom - 1), kBlack) << "pushed bottom line";
        EXPECT_EQ(pushed.at(midX, midY), kLightGrey) << "pushed face";
        SendMessageW(b, BM_SETSTATE, FALSE, 0);
      },
      ButtonEvents);
}
