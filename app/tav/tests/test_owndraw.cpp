// kwiOwndraw on real owner-drawn controls of a task window: radio buttons
// and their groups read back through the draw callback, measuring of list
// boxes and menu items, and the refused control kinds.
#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>

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

// --- Check boxes, radio clicks, list items and menu items drawn by the system --------------

namespace {

constexpr uint32_t kBlack = 0x000000, kDarkGrey = 0x808080, kLightGrey = 0xC0C0C0, kWhite = 0xFFFFFF;
constexpr uint32_t kCheckId = 60, kRadioA = 61, kRadioB = 62, kListId = 63;
constexpr uint32_t kMenuFirst = 801, kMenuSecond = 802;

// What the row callbacks were handed, in order.
struct Calls {
  std::vector<int32_t> checks;                 // check box: checked
  std::vector<std::pair<int32_t, int32_t>> rows;  // list: (index, state)
  std::vector<std::pair<uint32_t, int32_t>> menu;  // menu: (tag, selected)
};
Calls& Seen() {
  static Calls c;
  return c;
}
void RecordCheck(LONG_PTR, rect_struct*, rect_struct*, int32_t checked) { Seen().checks.push_back(checked); }
void RecordRow(LONG_PTR, rect_struct*, int32_t state, const wchar_t*, int32_t index) {
  Seen().rows.emplace_back(index, state);
}
void RecordMenu(LONG_PTR, uint32_t tag, rect_struct*, int32_t selected) { Seen().menu.emplace_back(tag, selected); }

// The task window's handler: every owner-drawn kind to its draw operation.
LONG_PTR AllEvents(HWND task, event_struct* e) {
  static OdCallback check{reinterpret_cast<void*>(&RecordCheck), nullptr};
  static OdCallback radio{reinterpret_cast<void*>(&RecordRadio), nullptr};
  static OdCallback row{reinterpret_cast<void*>(&RecordRow), nullptr};
  static OdCallback menu{reinterpret_cast<void*>(&RecordMenu), nullptr};
  const LONG_PTR t = reinterpret_cast<LONG_PTR>(task);
  if (e->kind == e_ownermeasureitem)  // a menu item by its tag, a control by its id
    return kwiOwndraw::measurecontrol(static_cast<uint32_t>(e->w[0] == 3 ? e->w[2] : e->w[1]));
  if (e->kind != e_ownerdraw) Fail();
  auto* action = reinterpret_cast<ilist_struct*>(e->w[3]);
  auto* state = reinterpret_cast<ilist_struct*>(e->w[4]);
  auto* item = reinterpret_cast<rect_struct*>(e->w[6]);
  const uint32_t id = static_cast<uint32_t>(e->w[1]);
  if (e->w[0] == 3) {
    kwiOwndraw::drawmenu(action, state, t, static_cast<uint32_t>(e->w[2]), &menu);
  } else if (id == kCheckId) {
    rect_struct box{item->left + 5, item->top + 5, item->left + 17, item->top + 17};
    kwiOwndraw::drawcheck(action, state, item, &box, 0, e->w[5], &check);
  } else if (id == kRadioA || id == kRadioB) {
    rect_struct circle{item->left + 4, item->top + 4, item->left + 16, item->top + 16};
    kwiOwndraw::drawradio(action, state, item, &circle, t, e->w[5], id, &radio);
  } else if (id == kListId) {
    kwiOwndraw::drawlistbox(action, state, item, t, e->w[5], static_cast<uint32_t>(e->w[2]), &row, 1);
  } else {
    Fail();
  }
  return 1;
}

HWND Control(LONG_PTR task, uint32_t id) { return GetDlgItem(reinterpret_cast<HWND>(task), static_cast<int>(id)); }

void Repaint(HWND w) {
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  Pump(50);
}

// A left click in the middle of a window, through the input queue, far
// enough from the one before not to make a double click.
void ClickMiddle(HWND w) {
  Pump(GetDoubleClickTime() + 100);
  RECT r;
  GetClientRect(w, &r);
  POINT p{r.right / 2, r.bottom / 2};
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
  Pump(150);
}

void InShownTask(const std::function<void(LONG_PTR)>& body) {
  RunInTask(
      [&](LONG_PTR task) {
        HWND t = reinterpret_cast<HWND>(task);
        ShowWindow(t, SW_SHOW);
        SetForegroundWindow(t);
        Pump(50);
        Seen() = Calls();
        Drawn().clear();
        const uint32_t code = RunTrapped([&] { body(task); });
        EXPECT_EQ(code, 0u);
      },
      AllEvents);
}

struct Spot {
  const char* what;
  int x, y;
  uint32_t colour;
};
void ExpectSpots(const kwitest::Pixels& p, std::initializer_list<Spot> spots, const char* when) {
  for (const Spot& s : spots) EXPECT_EQ(p.at(s.x, s.y), s.colour) << when << ": " << s.what;
}

}  // namespace

// Box (5, 5, 17, 17) in a 100 x 30 item: the bevel lines around it, white
// inside, the item framed black; the press toggles, the release draws.
TEST_F(OwnerDraw, ACheckBoxIsDrawnInItsBevelAndTogglesOnEveryClick) {
  InShownTask([&](LONG_PTR task) {
    kwiOwndraw::createcontrol(wt_checkbox, kCheckId, kd::Rect(10, 10, 110, 40), L"", task);
    HWND b = Control(task, kCheckId);
    ASSERT_NE(b, nullptr);
    Repaint(b);
    ExpectSpots(kwitest::ClientPixels(b),
                {{"outer dark left", 3, 11, kDarkGrey}, {"outer dark top", 11, 3, kDarkGrey},
                 {"inner black left", 4, 11, kBlack}, {"inner black top", 11, 4, kBlack},
                 {"outer white right", 19, 11, kWhite}, {"outer white bottom", 11, 19, kWhite},
                 {"inside", 11, 11, kWhite}, {"face", 60, 15, kLightGrey}, {"frame", 0, 15, kBlack},
                 {"frame", 60, 0, kBlack}},
                "drawn whole");
    ASSERT_EQ(Seen().checks, (std::vector<int32_t>{0}));
    ClickMiddle(b);
    ClickMiddle(b);
    // The first press takes the focus (drawn before the toggle); a press
    // toggles and draws nothing, the release draws the new state.
    EXPECT_EQ(Seen().checks, (std::vector<int32_t>{0, 0, 1, 0}));
    Repaint(b);
    EXPECT_EQ(Seen().checks.back(), 0);
  });
}

// Two buttons in one group: a click on the unchecked one moves the check;
// a click on the checked one draws nothing on the press.
TEST_F(OwnerDraw, AClickOnARadioButtonMovesTheCheckWithinItsGroup) {
  using Checks = std::map<uint32_t, int32_t>;
  InShownTask([&](LONG_PTR task) {
    kwiOwndraw::createcontrol(wt_radiobutton, kRadioA, kd::Rect(10, 10, 110, 40), L"", task);
    kwiOwndraw::createcontrol(wt_radiobutton, kRadioB, kd::Rect(10, 50, 110, 80), L"", task);
    kwiOwndraw::groupcontrols(7, kd::Ints({kRadioA, kRadioB}), task);
    HWND a = Control(task, kRadioA), b = Control(task, kRadioB);
    Drawn().clear();
    Repaint(a);
    Repaint(b);
    EXPECT_EQ(Drawn(), (Checks{{kRadioA, 1}, {kRadioB, 0}}));
    // Circle (4, 4, 16, 16) grown by one: white inside, the item framed black.
    ExpectSpots(kwitest::ClientPixels(a),
                {{"inside", 10, 10, kWhite}, {"face", 60, 15, kLightGrey}, {"frame", 0, 15, kBlack}},
                "radio");
    Drawn().clear();
    ClickMiddle(b);
    EXPECT_EQ(Drawn(), (Checks{{kRadioA, 0}, {kRadioB, 1}}));
    Drawn().clear();
    ClickMiddle(b);
    EXPECT_EQ(Drawn(), (Checks{{kRadioB, 1}}));
  });
}

// Only the selected item that has the focus is drawn selected (sunken);
// every other item is drawn raised.
TEST_F(OwnerDraw, AListItemIsDrawnSelectedOnlyWhileTheListHasTheFocus) {
  InShownTask([&](LONG_PTR task) {
    kwiOwndraw::createlistbox(kListId, kd::Rect(10, 10, 130, 110), L"", task,
                              kd::Strings({L"a", L"b", L"c"}), 0, 4);
    HWND list = Control(task, kListId);
    ASSERT_NE(list, nullptr);
    SetFocus(reinterpret_cast<HWND>(task));
    Pump(50);
    Seen().rows.clear();
    Repaint(list);
    for (const auto& r : Seen().rows) EXPECT_EQ(r.second, 0) << "row " << r.first << " without focus";
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    const int mid = (item.top + item.bottom) / 2, right = item.right - 1;  // the bevel's right column
    ExpectSpots(kwitest::ClientPixels(list),
                {{"raised left", 1, mid, kWhite}, {"raised right", right, mid, kDarkGrey},
                 {"face", 30, mid, kLightGrey}},
                "without focus");
    Seen().rows.clear();
    SetFocus(list);
    Pump(100);
    ASSERT_FALSE(Seen().rows.empty());
    EXPECT_EQ(Seen().rows.back(), (std::pair<int32_t, int32_t>{0, 3}));
    EXPECT_EQ(kwitest::ClientPixels(list).at(1, mid), kBlack) << "sunken left";
    // Losing the focus draws nothing; the next paint draws every row raised.
    Seen().rows.clear();
    SetFocus(reinterpret_cast<HWND>(task));
    Pump(100);
    EXPECT_TRUE(Seen().rows.empty());
    Repaint(list);
    ASSERT_FALSE(Seen().rows.empty());
    for (const auto& r : Seen().rows) EXPECT_EQ(r.second, 0) << "row " << r.first << " after the focus left";
    EXPECT_EQ(kwitest::ClientPixels(list).at(1, mid), kWhite) << "raised again";
  });
}

// A pop-up menu of two owner-drawn items: drawn whole as white rectangles
// where the class's rectangles put them, the highlighted one framed black.
TEST_F(OwnerDraw, MenuItemsAreDrawnWhiteAndTheSelectedOneFramedBlack) {
  kwitest::Pixels whole, selected;
  InShownTask([&](LONG_PTR task) {
    const OdMenu nil{2, nullptr, nullptr};
    const OdItem first{1, kMenuFirst, 80, 18, &nil}, second{1, kMenuSecond, 80, 20, &nil};
    const OdMenu tail{1, &second, &nil}, items{1, &first, &tail};
    menu_struct* m = kwiOwndraw::createmenu(&items);
    // The pointer away from where the menu opens: no item starts highlighted.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    std::atomic<bool> done{false};
    std::thread answer([&] {
      HWND menu = nullptr;
      for (int i = 0; i < 300 && !menu; ++i, Sleep(10)) {
        HWND w = FindWindowW(L"#32768", nullptr);
        if (w && IsWindowVisible(w)) menu = w;
      }
      if (!menu) return;
      Sleep(200);
      whole = kwitest::ClientPixels(menu);
      // The arrow is posted again until the highlight shows.
      for (int i = 0; i < 10; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(menu, WM_KEYUP, VK_DOWN, 0xC0000001);
        Sleep(200);
        selected = kwitest::ClientPixels(menu);
        if (std::find(selected.rgb.begin(), selected.rgb.end(), kBlack) != selected.rgb.end()) break;
      }
      while (!done) {
        if (HWND w = FindWindowW(L"#32768", nullptr)) PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
        Sleep(50);
      }
    });
    pnt_struct at{20, 20};
    menu_PopUp(task, m, &at, 1);
    done = true;
    answer.join();
  });
  // Every item the class knows drawn whole (the call for one draws them
  // all, menus of earlier tests included, in the order they were made),
  // then the first selected.
  const std::vector<std::pair<uint32_t, int32_t>>& calls = Seen().menu;
  const auto whole801 = std::find(calls.begin(), calls.end(), std::pair<uint32_t, int32_t>{kMenuFirst, 0});
  ASSERT_NE(whole801, calls.end());
  ASSERT_NE(whole801 + 1, calls.end());
  EXPECT_EQ(whole801[1], (std::pair<uint32_t, int32_t>{kMenuSecond, 0}));
  EXPECT_NE(std::find(calls.begin(), calls.end(), std::pair<uint32_t, int32_t>{kMenuFirst, 1}), calls.end());
  ASSERT_GT(whole.w, 0);
  ASSERT_GT(selected.w, 0);
  // Drawn on the task window, the items land in the menu at the class's
  // rectangles (0, 0, 80, 18) and (0, 18, 80, 38), not the event's; the
  // 5-pixel frame is centred on the rectangle's last column and row (its
  // left and top edges fall outside the item, where the system clips).
  ExpectSpots(whole, {{"first item", 40, 9, kWhite}, {"first item right", 79, 9, kWhite},
                      {"second item", 40, 28, kWhite}},
              "drawn whole");
  ExpectSpots(selected, {{"frame right", 79, 9, kBlack}, {"frame bottom", 40, 17, kBlack},
                         {"inside", 40, 9, kWhite}, {"second item", 40, 28, kWhite}},
              "first selected");
}
