// kwiToolbar on real windows: layout read back through the records, button
// texts and tooltips, list controls, removal and margins, pixels of each
// button look against the system colours, mouse handling through the
// toolbar window's messages and through SendInput, the default action, the
// tooltip's timing and size, the status line, and the two creation mends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kwi/kwitoolbar/kwitoolbar_facts.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace tav::tbar;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using Toolbar = Library;

constexpr uint32_t kCorner = 401;  // 16x16 white, black 4x4 block top-left

struct Controls {
  std::vector<control> v;
  Controls(std::initializer_list<control> c) : v(c) {}
  operator control_list() const { return {v.data(), static_cast<uint32_t>(v.size())}; }
};

control Button(uint32_t id, const wchar_t* text = L"", int32_t enabled = 1, int32_t state = 1,
               ControlStyle cs = ControlStyle::pushb) {
  return tb_ctrl(id, cs, resid(kCorner), text, enabled, state);
}

// Actions the recording closure received.
struct Call {
  LONG_PTR parent;
  uint32_t id;
  tbar::value v;
};
std::vector<Call>& Calls() {
  static std::vector<Call> calls;
  return calls;
}
void Record(LONG_PTR parent, uint32_t id, const tbar::value* v) { Calls().push_back({parent, id, *v}); }
actionfunc Recorder() { return {reinterpret_cast<void*>(&Record), nullptr}; }

template <class R>
std::vector<R> All(FactChain<R>& chain, LONG_PTR win) {
  std::vector<R> out;
  auto s = chain.Collect([&](const R& r) { return r.win == win; });
  for (uint32_t i = 0; i < s.count; ++i) out.push_back(*s.items[i]);
  return out;
}
const TbRec* Tb(LONG_PTR win) {
  return facts().tb.First([&](const TbRec& t) { return t.win == win; });
}
bool Eq(const rect_struct& r, int l, int t, int rr, int b) {
  return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}
std::string Str(const rect_struct& r) {
  char s[64];
  snprintf(s, sizeof s, "(%d,%d,%d,%d)", r.left, r.top, r.right, r.bottom);
  return s;
}
HWND H(LONG_PTR w) { return reinterpret_cast<HWND>(w); }

int ChildrenOfClass(HWND parent, const wchar_t* cls) {
  struct Ctx {
    const wchar_t* cls;
    int n;
  } ctx{cls, 0};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        if (_wcsicmp(name, c->cls) == 0) ++c->n;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.n;
}

// The window's client area as COLORREF values (0x00BBGGRR), row by row.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};
Pixels Capture(HWND w) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(100);
  Pixels p;
  RECT r;
  GetClientRect(w, &r);
  p.width = r.right;
  p.height = r.bottom;
  HDC dc = GetDC(w);
  HDC mem = CreateCompatibleDC(dc);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP b = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, b);
  BitBlt(mem, 0, 0, p.width, p.height, dc, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* src = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < p.width * p.height; ++i) {
    const uint32_t v = src[i];
    p.px.push_back(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
  }
  SelectObject(mem, old);
  DeleteObject(b);
  DeleteDC(mem);
  ReleaseDC(w, dc);
  return p;
}

const uint32_t kBlack = 0, kWhite = 0xFFFFFF;
uint32_t Face() { return GetSysColor(COLOR_BTNFACE); }
uint32_t Hi() { return GetSysColor(COLOR_BTNHIGHLIGHT); }
uint32_t Shadow() { return GetSysColor(COLOR_BTNSHADOW); }

// Mouse messages straight to the toolbar window (client coordinates).
void Mouse(LONG_PTR win, UINT msg, int x, int y) {
  const WPARAM keys = msg == WM_LBUTTONDOWN ? MK_LBUTTON : msg == WM_RBUTTONDOWN ? MK_RBUTTON : 0;
  SendMessageW(H(win), msg, keys, MAKELPARAM(x, y));
}
void Click(LONG_PTR win, int x, int y) {
  Mouse(win, WM_LBUTTONDOWN, x, y);
  Mouse(win, WM_LBUTTONUP, x, y);
}

// The real pointer, in the window's client coordinates.
void Input(DWORD flags, HWND w = nullptr, int x = 0, int y = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  if (w) {
    POINT p{x, y};
    ClientToScreen(w, &p);
    in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  }
  SendInput(1, &in, sizeof in);
  Pump(60);
}
void MoveTo(HWND w, int x, int y) { Input(0, w, x, y); }

void Foreground(LONG_PTR task) {
  SetWindowPos(H(task), HWND_TOP, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(H(task));
  SetClientSize(task, 500, 300);
}

TEST_F(Toolbar, LayoutFollowsEachStylesRules) {
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    {
      SCOPED_TRACE("tb_top, two buttons");
      LONG_PTR w = kwiToolbar::create(tbar::tb_top(), task, Controls{Button(1), Button(2)});
      auto b = All(facts().ctrl, w);
      ASSERT_EQ(b.size(), 2u);
      EXPECT_TRUE(Eq(b[0].rect, 0, 2, 18, 20)) << Str(b[0].rect);
      EXPECT_TRUE(Eq(b[1].rect, 19, 2, 37, 20)) << Str(b[1].rect);
      Pump(100);
      RECT r = ClientInParent(H(w));
      EXPECT_EQ(r.bottom - r.top, 21);
      EXPECT_EQ(r.right - r.left, 500);
      EXPECT_EQ(kwi_GetAttrVal(10004), 21);
      kwiToolbar::remove(w);
      kwi_SetAttrVal(10004, 0);
    }
    {
      SCOPED_TRACE("tb_inside with new_row");
      LONG_PTR w = kwiToolbar::create(tbar::tb_inside({100, 50}), task,
                                      Controls{Button(1), Button(2), tbar::new_row(), Button(3)});
      auto b = All(facts().ctrl, w);
      ASSERT_EQ(b.size(), 3u);
      EXPECT_TRUE(Eq(b[0].rect, 2, 1, 20, 19)) << Str(b[0].rect);
      EXPECT_TRUE(Eq(b[1].rect, 21, 1, 39, 19)) << Str(b[1].rect);
      EXPECT_TRUE(Eq(b[2].rect, 2, 21, 20, 39)) << Str(b[2].rect);
      Pump(100);
      RECT r = ClientInParent(H(w));
      EXPECT_EQ(r.left, 100);
      EXPECT_EQ(r.top, 50);
      EXPECT_EQ(r.right, 140);
      EXPECT_EQ(r.bottom, 90);
      kwiToolbar::remove(w);
    }
    {
      SCOPED_TRACE("tb_left with a separator");
      LONG_PTR w = kwiToolbar::create(tbar::tb_left(), task,
                                      Controls{Button(1), tbar::separator(), Button(2)});
      auto b = All(facts().ctrl, w);
      auto s = All(facts().separatorline, w);
      ASSERT_EQ(b.size(), 2u);
      ASSERT_EQ(s.size(), 1u);
      EXPECT_TRUE(Eq(b[0].rect, 0, 1, 18, 19)) << Str(b[0].rect);
      EXPECT_TRUE(Eq(b[1].rect, 0, 24, 18, 42)) << Str(b[1].rect);
      EXPECT_TRUE(SamePnt(s[0].p1, {0, 21}) && SamePnt(s[0].p2, {19, 21}));
      EXPECT_TRUE(SamePnt(s[0].p3, {0, 22}) && SamePnt(s[0].p4, {19, 22}));
      Pump(100);
      RECT r = ClientInParent(H(w));
      EXPECT_EQ(r.right - r.left, 19);
      EXPECT_EQ(kwi_GetAttrVal(10010), 19);
      kwiToolbar::remove(w);
      kwi_SetAttrVal(10010, 0);
    }
    {
      SCOPED_TRACE("a 200-wide text field, a list button, entries a style drops");
      LONG_PTR w = kwiToolbar::create(
          tbar::tb_top(), task,
          Controls{tbar::tb_text(5, TextStyle::tb_static, 200, 0, 4, 10, 0, L"x"), tbar::new_row()});
      LONG_PTR probe = win_Create(wt_child, kd::Rect(0, 0, 10, 10), L"", kd::NoMenu(), task,
                                  kd::Ints({}), NoEventHandler(), 0);
      win_SetFont(probe, font_Create(4, kd::Ints({0}), 10));
      int ew = 0, eh = 0;
      win_GetTextExtent(probe, L"Wy", -1, &ew, &eh);
      win_Destroy(probe);
      auto t = All(facts().text, w);
      ASSERT_EQ(t.size(), 1u);
      EXPECT_TRUE(Eq(t[0].rect, 0, 2, 200, 2 + eh + 2)) << Str(t[0].rect);
      EXPECT_EQ(Tb(w)->maxH, eh + 2);
      kwiToolbar::remove(w);
      LONG_PTR v = kwiToolbar::create(tbar::tb_right(), task,
                                      Controls{tbar::tb_lbut(6, 80, kd::Strings({L"a"}), 1, 0)});
      EXPECT_TRUE(All(facts().lbut, v).empty());
      EXPECT_EQ(Tb(v)->maxW, 80);
      EXPECT_EQ(Tb(v)->maxH, 24);
      kwiToolbar::remove(v);
      kwi_SetAttrVal(10004, 0);
      kwi_SetAttrVal(10011, 0);
    }
    {
      SCOPED_TRACE("empty lists");
      LONG_PTR top = kwiToolbar::create(tbar::tb_top(), task, Controls{});
      EXPECT_EQ(kwi_GetAttrVal(10004), 3);
      kwiToolbar::remove(top);
      LONG_PTR in = kwiToolbar::create(tbar::tb_inside({5, 5}), task, Controls{});
      RECT r = ClientInParent(H(in));
      EXPECT_EQ(r.right - r.left, 1);
      EXPECT_EQ(r.bottom - r.top, 2);
      kwiToolbar::remove(in);
      LONG_PTR mv = kwiToolbar::create(tbar::tb_moveable(L"Float", {5, 5}), task, Controls{});
      GetClientRect(H(mv), &r);
      EXPECT_EQ(r.right, 0);
      EXPECT_EQ(r.bottom, 0);
      kwiToolbar::remove(mv);
      kwi_SetAttrVal(10004, 0);
    }
  });
  EXPECT_TRUE(Reported().empty());
}

TEST_F(Toolbar, ButtonTextsSplitIntoTooltipAndStatusAndSurviveReload) {
  struct Case {
    const wchar_t* text;
    const wchar_t* tooltip;  // null: none registered
    const wchar_t* status;
  };
  const Case cases[] = {{L"", nullptr, L""},
                        {L"Open", L"Open", L""},
                        {L"Open;Open a file", L"Open", L"Open a file"},
                        {L"Open;a;b", L"Open", L"a;b"},
                        {L";Only status", nullptr, L"Only status"}};
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    Controls list{};
    for (uint32_t i = 0; i < 5; ++i) list.v.push_back(Button(i + 1, cases[i].text));
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({0, 0}), task, list);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round ? "after reload" : "after create");
      // The records' texts are reachable by the collector: a collection and
      // fresh garbage leave them as they were.
      Qel::RunTime::Kernel::Memory::GarbageCollector();
      for (int i = 0; i < 2000; ++i) wmemset(HeapCopy(L"garbage garbage garbage"), L'#', 20);
      auto b = All(facts().ctrl, w);
      auto tips = All(facts().tooltip_info, w);
      ASSERT_EQ(b.size(), 5u);
      size_t tip = 0;
      for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_STREQ(b[i].text, cases[i].status) << i;
        if (!cases[i].tooltip) continue;
        ASSERT_LT(tip, tips.size());
        EXPECT_STREQ(tips[tip].text, cases[i].tooltip);
        EXPECT_TRUE(SameRect(tips[tip].rect, b[i].rect));
        ++tip;
      }
      EXPECT_EQ(tip, tips.size());
      kwiToolbar::reload(w, list);
    }
    kwiToolbar::remove(w);
    EXPECT_TRUE(All(facts().tooltip_info, w).empty());
  });
}

TEST_F(Toolbar, ListButtonsAreListControlsEnabledAsTheirFlagSays) {
  int lists = -1, afterReload = -1, afterShorter = -1;
  bool disabledOff = false, twoOn = false, sel = false;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    Controls three{tbar::tb_lbut(11, 60, kd::Strings({L"a", L"b"}), 1, 1),
                   tbar::tb_lbut(12, 60, kd::Strings({L"c"}), 0, 0),
                   tbar::tb_lbut(13, 60, kd::Strings({L"d"}), 2, 0)};
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({0, 0}), task, three);
    lists = ChildrenOfClass(H(w), L"ComboBox");
    disabledOff = !IsWindowEnabled(GetDlgItem(H(w), 12));
    twoOn = IsWindowEnabled(GetDlgItem(H(w), 13)) != 0;
    sel = SendMessageW(GetDlgItem(H(w), 11), CB_GETCURSEL, 0, 0) == 1;
    RECT before, after;
    GetWindowRect(H(w), &before);
    kwiToolbar::reload(w, three);
    afterReload = ChildrenOfClass(H(w), L"ComboBox");
    kwiToolbar::reload(w, Controls{tbar::tb_lbut(14, 60, kd::Strings({L"e"}), 1, 0)});
    afterShorter = ChildrenOfClass(H(w), L"ComboBox");
    GetWindowRect(H(w), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(GetDlgItem(H(w), 14) && !GetDlgItem(H(w), 11));
    kwiToolbar::reload(task, three);  // not a toolbar: nothing
    kwiToolbar::remove(w);
  });
  EXPECT_EQ(lists, 3);
  EXPECT_EQ(afterReload, 3);
  EXPECT_EQ(afterShorter, 1);
  EXPECT_TRUE(disabledOff);
  EXPECT_TRUE(twoOn);
  EXPECT_TRUE(sel);
}

TEST_F(Toolbar, RemovalFreesMarginsInMdiModeOnlyAndRemovesEveryToolbarOfAParent) {
  struct Case {
    style st;
    int mdi;
    int attribute;
    LONG_PTR expected;  // -1: as it was before the removal
  };
  const Case cases[] = {{tbar::tb_bottom(), 1, 10005, 0},
                        {tbar::tb_bottom(), 0, 10005, -1},
                        {tbar::tb_moveable(L"M", {0, 0}), 1, 10005, -1}};
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.mdi);
      kwi_SetAttrVal(10005, 7);
      LONG_PTR w = kwiToolbar::create(c.st, task, Controls{Button(1)});
      const LONG_PTR before = kwi_GetAttrVal(c.attribute);
      kwi_SetAttrVal(10002, c.mdi);
      kwiToolbar::remove(w);
      kwi_SetAttrVal(10002, 0);
      EXPECT_FALSE(IsWindow(H(w)));
      EXPECT_EQ(kwi_GetAttrVal(c.attribute), c.expected < 0 ? before : c.expected);
      EXPECT_EQ(Tb(w), nullptr);
    }
    LONG_PTR a = kwiToolbar::create(tbar::tb_top(), task, Controls{Button(1)});
    LONG_PTR b = kwiToolbar::create(tbar::tb_inside({0, 40}), task, Controls{Button(2)});
    kwiToolbar::remove(task);
    EXPECT_FALSE(IsWindow(H(a)));
    EXPECT_FALSE(IsWindow(H(b)));
    EXPECT_TRUE(facts().tb.Empty());
    EXPECT_TRUE(All(facts().ctrl, a).empty() && All(facts().ctrl, b).empty());
    kwi_SetAttrVal(10004, 0);
    kwi_SetAttrVal(10005, 0);
  });
}

TEST_F(Toolbar, EachButtonLookIsDrawnInTheSystemColours) {
  Pixels p;
  std::vector<CtrlRec> b;
  std::vector<SepRec> s;
  std::vector<TextRec> t;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR w = kwiToolbar::create(
        tbar::tb_top(), task,
        Controls{Button(1), Button(2, L"", 1, 0), Button(3, L"", 0, 1), Button(4, L"", 1, 2),
                 tbar::separator(), tbar::tb_text(5, TextStyle::tb_static, 60, 0, 4, 10, 0, L"")});
    Pump(100);
    b = All(facts().ctrl, w);
    s = All(facts().separatorline, w);
    t = All(facts().text, w);
    p = Capture(H(w));
    kwiToolbar::remove(w);
    kwi_SetAttrVal(10004, 0);
  });
  ASSERT_EQ(b.size(), 4u);
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(t.size(), 1u);
  ASSERT_GE(p.width, 200);
  const uint32_t face = Face(), hi = Hi(), sh = Shadow();
  // The ornament of tb_top: shadow, highlight, and shadow at the bottom.
  const int free = p.width - 5;
  EXPECT_EQ(p.at(free, 0), sh);
  EXPECT_EQ(p.at(free, 1), hi);
  EXPECT_EQ(p.at(free, p.height - 1), sh);
  struct Look {
    const char* name;
    const CtrlRec& c;
    int dx, dy;
    uint32_t colour;
  };
  const Look looks[] = {
      {"released: image at +1", b[0], 1, 1, kBlack},
      {"released: white", b[0], 10, 10, kWhite},
      {"released: no frame", b[0], 0, 8, face},
      {"pressed: image one pixel further", b[1], 2, 2, kBlack},
      {"pressed: left of the moved image", b[1], 1, 8, face},
      {"pressed: sunken left", b[1], 0, 8, sh},
      {"pressed: sunken right", b[1], 17, 8, hi},
      {"disabled: shadow image", b[2], 1, 1, sh},
      {"disabled: highlight beside it", b[2], 5, 5, hi},
      {"disabled: face fill", b[2], 10, 10, face},
      {"state 2: disabled look", b[3], 1, 1, sh},
      {"state 2: face fill", b[3], 10, 10, face},
  };
  for (const Look& l : looks)
    EXPECT_EQ(p.at(l.c.rect.left + l.dx, l.c.rect.top + l.dy), l.colour) << l.name;
  EXPECT_EQ(p.at(s[0].p1.x, s[0].p1.y + 5), sh) << "separator shadow";
  EXPECT_EQ(p.at(s[0].p3.x, s[0].p3.y + 5), hi) << "separator highlight";
  const rect_struct& tr = t[0].rect;
  EXPECT_EQ(p.at(tr.left + 2, tr.top + 5), sh) << "text field left";
  EXPECT_EQ(p.at(tr.right - 2, tr.top + 5), hi) << "text field right";
  EXPECT_EQ(p.at(tr.left + 10, tr.top + 5), face) << "text field inside";
}

TEST_F(Toolbar, MoveableToolbarsHaveNoOrnamentAndContextTextShowsByPresence) {
  Pixels moveable, status;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR mv = kwiToolbar::create(tbar::tb_moveable(L"Float", {20, 60}), task,
                                     Controls{tbar::tb_text(9, TextStyle::tb_static, 80, 0, 4, 10, 0, L"")});
    moveable = Capture(H(mv));
    kwiToolbar::remove(mv);
    LONG_PTR line = kwiToolbar::create(
        tbar::tb_bottom(), task, Controls{tbar::tb_text(10202, TextStyle::tb_context, 200, 0, 4, 10, 0, L"")});
    kwiToolbar::setvalue(task, 10202, tbar::text_value(L"WWWWWWWW"));
    status = Capture(H(line));
    kwiToolbar::remove(line);
    kwi_SetAttrVal(10005, 0);
  });
  ASSERT_GT(moveable.width, 0);
  EXPECT_EQ(moveable.at(moveable.width - 1, 0), Face());
  EXPECT_EQ(moveable.at(0, moveable.height - 1), Face());
  int dark = 0;
  for (int y = 0; y < status.height; ++y)
    for (int x = 0; x < 200 && x < status.width; ++x) dark += status.at(x, y) == kBlack ? 1 : 0;
  EXPECT_GT(dark, 10);
}

TEST_F(Toolbar, ClicksPressReleaseAndCallTheAction) {
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    Calls().clear();
    LONG_PTR w = kwiToolbar::create(
        tbar::tb_inside({0, 0}), task,
        Controls{Button(1), Button(2, L"", 1, 1, ControlStyle::checkb), Button(3), Button(4), Button(5),
                 Button(6, L"", 0, 1)},
        Recorder());
    auto rect = [&](uint32_t id) {
      return facts().ctrl.First([&](const CtrlRec& c) { return c.win == w && c.id == id; })->rect;
    };
    auto state = [&](uint32_t id) { return kwiToolbar::getvalue(task, id).state; };
    const rect_struct r1 = rect(1);
    {
      SCOPED_TRACE("push button: press, then release over it");
      Mouse(w, WM_LBUTTONDOWN, r1.left + 5, r1.top + 5);
      EXPECT_EQ(state(1), 0);
      EXPECT_TRUE(Calls().empty());
      Mouse(w, WM_LBUTTONUP, r1.left + 6, r1.top + 6);
      ASSERT_EQ(Calls().size(), 1u);
      EXPECT_EQ(Calls()[0].parent, task);
      EXPECT_EQ(Calls()[0].id, 1u);
      EXPECT_TRUE(Calls()[0].v == tbar::ctrl_value(1, 1));
      EXPECT_EQ(state(1), 1);
    }
    {
      SCOPED_TRACE("right button acts as the left one; release outside calls nothing");
      Calls().clear();
      Mouse(w, WM_RBUTTONDOWN, r1.left + 5, r1.top + 5);
      EXPECT_EQ(state(1), 0);
      Mouse(w, WM_RBUTTONUP, r1.right + 30, r1.top + 5);
      EXPECT_EQ(state(1), 1);
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(SendMessageW(H(w), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r1.left + 5, r1.top + 5)), 0);
      EXPECT_TRUE(Calls().empty());
      Mouse(w, WM_LBUTTONUP, r1.left + 5, r1.top + 5);
    }
    {
      SCOPED_TRACE("check button twice");
      Calls().clear();
      const rect_struct r2 = rect(2);
      Click(w, r2.left + 5, r2.top + 5);
      Click(w, r2.left + 5, r2.top + 5);
      ASSERT_EQ(Calls().size(), 2u);
      EXPECT_TRUE(Calls()[0].v == tbar::ctrl_value(1, 0));
      EXPECT_TRUE(Calls()[1].v == tbar::ctrl_value(1, 1));
    }
    {
      SCOPED_TRACE("a group: one pressed at a time, a pressed one ignores clicks");
      Calls().clear();
      const uint32_t ids[] = {3, 4, 5};
      kwiToolbar::groupcontrols(task, 1, ids, 3);
      const rect_struct r4 = rect(4), r5 = rect(5);
      Click(w, r4.left + 5, r4.top + 5);
      uint32_t pressed = 0;
      EXPECT_TRUE(kwiToolbar::getpressedbutton(task, 1, &pressed));
      EXPECT_EQ(pressed, 4u);
      Click(w, r5.left + 5, r5.top + 5);
      EXPECT_TRUE(kwiToolbar::getpressedbutton(task, 1, &pressed));
      EXPECT_EQ(pressed, 5u);
      EXPECT_EQ(state(4), 1);
      Click(w, r5.left + 5, r5.top + 5);
      ASSERT_EQ(Calls().size(), 2u);
      EXPECT_TRUE(Calls()[0].v == tbar::ctrl_value(1, 0));
      EXPECT_TRUE(Calls()[1].v == tbar::ctrl_value(1, 0));
      EXPECT_FALSE(kwiToolbar::getpressedbutton(task, 2, &pressed));
      kwiToolbar::setpressedbutton(task, 0, 3);
      EXPECT_EQ(state(3), 1);
    }
    {
      SCOPED_TRACE("a disabled button ignores the mouse");
      Calls().clear();
      const rect_struct r6 = rect(6);
      Click(w, r6.left + 5, r6.top + 5);
      EXPECT_TRUE(Calls().empty());
      EXPECT_TRUE(kwiToolbar::getvalue(task, 6) == tbar::ctrl_value(0, 1));
    }
    kwiToolbar::remove(w);
  });
  EXPECT_TRUE(Reported().empty());
}

TEST_F(Toolbar, AHeldPushButtonFollowsTheRealPointer) {
  std::vector<int> states;
  size_t callsAfterOutside = 9, callsAfterInside = 9;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    Calls().clear();
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({30, 30}), task, Controls{Button(1), Button(2)},
                                    Recorder());
    Pump(100);
    const rect_struct r =
        facts().ctrl.First([&](const CtrlRec& c) { return c.win == w && c.id == 1; })->rect;
    auto state = [&] { states.push_back(kwiToolbar::getvalue(task, 1).state); };
    MoveTo(H(w), r.left + 5, r.top + 5);
    Input(MOUSEEVENTF_LEFTDOWN);
    state();  // pressed
    MoveTo(H(w), r.left + 5, r.bottom + 80);
    state();  // dragged off: released look
    MoveTo(H(w), r.left + 6, r.top + 6);
    state();  // back: pressed
    MoveTo(H(w), r.left + 5, r.bottom + 80);
    Input(MOUSEEVENTF_LEFTUP);
    state();
    callsAfterOutside = Calls().size();
    Pump(GetDoubleClickTime() + 100);  // two downs in a row would make a double click
    MoveTo(H(w), r.left + 5, r.top + 5);
    Input(MOUSEEVENTF_LEFTDOWN);
    Input(MOUSEEVENTF_LEFTUP);
    callsAfterInside = Calls().size();
    MoveTo(H(task), 400, 250);
    kwiToolbar::remove(w);
  });
  EXPECT_EQ(states, (std::vector<int>{0, 1, 0, 1}));
  EXPECT_EQ(callsAfterOutside, 0u);
  EXPECT_EQ(callsAfterInside, 1u);
  ASSERT_FALSE(Calls().empty());
  EXPECT_TRUE(Calls()[0].v == tbar::ctrl_value(1, 1));
}

TEST_F(Toolbar, TheDefaultActionTurnsUseIntoEventsForTheTarget) {
  struct Seen {
    LONG_PTR window;
    uint32_t kind;
    LONG_PTR w0, w1, w2;
    uintptr_t info;
  };
  static std::vector<Seen> seen;
  seen.clear();
  auto record = [](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind != e_menu && e->kind != e_control) Fail();
    const uintptr_t info = e->kind == e_control && e->w[3] ? reinterpret_cast<controlinfo*>(e->w[3])->alt : 0;
    seen.push_back({reinterpret_cast<LONG_PTR>(w), e->kind, e->w[0], e->w[1], e->w[2], info});
    return 0;
  };
  LONG_PTR taskWin = 0, other = 0, listCtl = 0;
  tbar::value stored{};
  RunInTask(
      [&](LONG_PTR task) {
        Foreground(task);
        taskWin = task;
        Closure otherHandler(record);
        other = win_Create(wt_child, kd::Rect(300, 200, 320, 220), L"", kd::NoMenu(), task, kd::Ints({}),
                           &otherHandler, 0);
        LONG_PTR w = kwiToolbar::create(
            tbar::tb_inside({0, 0}), task,
            Controls{Button(9001), Button(7, L"", 1, 1, ControlStyle::checkb),
                     tbar::tb_lbut(8, 60, kd::Strings({L"a", L"b", L"c"}), 1, 0)});
        auto rect = [&](uint32_t id) {
          return facts().ctrl.First([&](const CtrlRec& c) { return c.win == w && c.id == id; })->rect;
        };
        const rect_struct push = rect(9001), check = rect(7);
        Click(w, push.left + 5, push.top + 5);
        Pump(100);
        kwiToolbar::mesredirect(task, other);
        Click(w, push.left + 5, push.top + 5);
        Pump(100);
        kwiToolbar::mesredirect(task, task);
        Click(w, check.left + 5, check.top + 5);
        HWND list = GetDlgItem(H(w), 8);
        listCtl = reinterpret_cast<LONG_PTR>(list);
        SendMessageW(list, CB_SETCURSEL, 2, 0);
        SendMessageW(H(w), WM_COMMAND, MAKEWPARAM(8, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        stored = kwiToolbar::getvalue(task, 8);
        const tbar::value offButton = tbar::ctrl_value(0, 1), offList = tbar::lbut_value(0, 1);
        kwiToolbar::_resendtoparentwindow(task, 9001, &offButton);
        kwiToolbar::_resendtoparentwindow(task, 8, &offList);
        Pump(100);
        kwiToolbar::remove(w);
        win_Destroy(other);
      },
      record);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].window, taskWin);
  EXPECT_EQ(seen[0].kind, static_cast<uint32_t>(e_menu));
  EXPECT_EQ(seen[0].w0, 9001);
  EXPECT_EQ(seen[1].window, other);
  EXPECT_EQ(seen[1].kind, static_cast<uint32_t>(e_menu));
  EXPECT_EQ(seen[1].w0, 9001);
  EXPECT_EQ(seen[2].window, taskWin);
  EXPECT_EQ(seen[2].kind, static_cast<uint32_t>(e_control));
  EXPECT_EQ(seen[2].w0, 7);
  EXPECT_EQ(seen[2].w1, 10);
  EXPECT_EQ(seen[2].w2, 0);
  EXPECT_EQ(seen[2].info, ci_activated);
  EXPECT_EQ(seen[3].kind, static_cast<uint32_t>(e_control));
  EXPECT_EQ(seen[3].w0, 8);
  EXPECT_EQ(seen[3].w1, 16);
  EXPECT_EQ(seen[3].w2, listCtl);
  EXPECT_EQ(seen[3].info, ci_selchanged);
  EXPECT_TRUE(stored == tbar::lbut_value(1, 2));
}

TEST_F(Toolbar, ValuesActOnTheFirstToolbarOfTheParentAndOnTheirOwnKind) {
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR a = kwiToolbar::create(tbar::tb_inside({0, 0}), task,
                                    Controls{Button(5), tbar::tb_text(6, TextStyle::tb_static, 40, 0, 4, 10, 0, L"t")});
    LONG_PTR b = kwiToolbar::create(tbar::tb_inside({0, 60}), task,
                                    Controls{Button(5), tbar::tb_lbut(7, 60, kd::Strings({L"x", L"y"}), 1, 0)});
    kwiToolbar::setvalue(task, 5, tbar::ctrl_value(1, 0));
    EXPECT_EQ(facts().ctrl.First([&](const CtrlRec& c) { return c.win == a && c.id == 5; })->state, 0);
    EXPECT_EQ(facts().ctrl.First([&](const CtrlRec& c) { return c.win == b && c.id == 5; })->state, 1);
    kwiToolbar::setvalue(task, 6, tbar::ctrl_value(0, 0));  // a text field: unchanged
    EXPECT_TRUE(kwiToolbar::getvalue(task, 6) == tbar::text_value(L"t"));
    kwiToolbar::setvalue(task, 99, tbar::text_value(L"x"));
    EXPECT_TRUE(kwiToolbar::getvalue(task, 99) == tbar::none());
    HWND list = GetDlgItem(H(b), 7);
    kwiToolbar::setvalue(task, 7, tbar::lbut_value(0, 1));
    EXPECT_FALSE(IsWindowEnabled(list));
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 1);
    kwiToolbar::setvalue(task, 7, tbar::lbut_value(2, 0));  // stored; the state stays
    EXPECT_FALSE(IsWindowEnabled(list));
    EXPECT_TRUE(kwiToolbar::getvalue(task, 7) == tbar::lbut_value(2, 0));
    SendMessageW(list, CB_SETCURSEL, 1, 0);  // the list itself is not asked
    EXPECT_TRUE(kwiToolbar::getvalue(task, 7) == tbar::lbut_value(2, 0));
    rect_struct r{};
    EXPECT_FALSE(kwiToolbar::getrect(task, tbar::tb_inside({0, 0}), &r));
    EXPECT_FALSE(kwiToolbar::getrect(task, tbar::tb_top(), &r));
    std::vector<LONG_PTR> found;
    kwiToolbar::gettoolbar_nd(task, [&](LONG_PTR w) {
      found.push_back(w);
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(found, (std::vector<LONG_PTR>{a, b}));
    kwiToolbar::remove(task);
  });
}

// A tooltip's geometry, found on the parent's tip window.
struct Tip {
  HWND tip = nullptr;
  bool visible() const {
    RECT r;
    GetClientRect(tip, &r);
    return r.right > 0 && r.bottom > 0;
  }
};

TEST_F(Toolbar, TooltipsFollowTheirDelaysSizeAndColours) {
  DWORD first = 0, fromNothing = 0, direct = 0, hiddenAfter = 0;
  bool backWhileStaying = true, backAfterReenter = false, sizeOk = false, belowCursor = false,
       yellow = false, statusShown = false;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    const int indices[] = {COLOR_INFOBK};
    const COLORREF saved[] = {GetSysColor(COLOR_INFOBK)};
    const COLORREF black[] = {0};
    SetSysColors(1, indices, black);
    LONG_PTR line = kwiToolbar::create(
        tbar::tb_bottom(), task, Controls{tbar::tb_text(10202, TextStyle::tb_context, 200, 0, 4, 10, 0, L"Ready")});
    LONG_PTR w = kwiToolbar::create(
        tbar::tb_inside({40, 40}), task,
        Controls{Button(1, L"First tip;first status"), Button(2), Button(3, L"Third tip"),
                 tbar::tb_text(5, TextStyle::tb_static, 60, 0, 4, 10, 0, L"")});
    LONG_PTR w2 = kwiToolbar::create(tbar::tb_inside({40, 120}), task, Controls{Button(9, L"x")});
    EXPECT_EQ(facts().tooltip_win.Collect([&](const TipWinRec& t) { return t.parent == task; }).count, 1u);
    Tip tip{H(facts().tooltip_win.First([&](const TipWinRec& t) { return t.parent == task; })->tip)};
    auto rect = [&](uint32_t id) {
      return facts().ctrl.First([&](const CtrlRec& c) { return c.win == w && c.id == id; })->rect;
    };
    auto waitShown = [&](DWORD limit) {
      const DWORD start = GetTickCount();
      PumpUntil([&] { return tip.visible(); }, limit);
      return GetTickCount() - start;
    };
    MoveTo(H(task), 450, 20);
    const rect_struct r1 = rect(1), r2 = rect(2), r3 = rect(3);
    MoveTo(H(w), r1.left + 4, r1.top + 4);
    first = waitShown(3000);
    RECT tr;
    GetWindowRect(tip.tip, &tr);
    POINT cursor;
    GetCursorPos(&cursor);
    belowCursor = tr.top >= cursor.y + GetSystemMetrics(SM_CYCURSOR) - 2;
    {
      HWND text = GetWindow(tip.tip, GW_CHILD);
      RECT tc;
      GetClientRect(text, &tc);
      LONG_PTR tw = reinterpret_cast<LONG_PTR>(text);
      int ew = 0, eh = 0, lead = 0, asc = 0, desc = 0;
      win_GetTextExtent(tw, L"First tip", -1, &ew, &eh);
      win_GetFontMetrics(tw, &lead, &asc, &desc);
      sizeOk = tc.right == ew + 4 && tc.bottom == asc + desc + 2;
      HDC dc = GetDC(text);
      yellow = GetPixel(dc, 1, 1) == 0xFFFF;
      ReleaseDC(text, dc);
    }
    const TextRec* field = facts().text.First([&](const TextRec& t) { return t.win == line; });
    statusShown = field && std::wstring(field->text) == L"Ready";
    MoveTo(H(w), r2.left + 4, r2.top + 4);  // no tooltip: hidden
    Pump(50);
    MoveTo(H(w), r3.left + 4, r3.top + 4);  // straight from a button: at once
    {
      const DWORD start = GetTickCount();
      PumpUntil([&] { return tip.visible(); }, 3000);
      direct = GetTickCount() - start;
    }
    MoveTo(H(w), r3.right + 30, r3.top + 4);  // the text field: a spot without a button
    Pump(200);
    MoveTo(H(w), r1.left + 4, r1.top + 4);
    fromNothing = waitShown(3000);
    {
      const DWORD start = GetTickCount();
      PumpUntil([&] { return !tip.visible(); }, 8000);
      hiddenAfter = GetTickCount() - start;
    }
    Pump(1200);
    backWhileStaying = tip.visible();
    MoveTo(H(w), r3.right + 30, r3.top + 4);
    Pump(200);
    MoveTo(H(w), r1.left + 5, r1.top + 5);
    PumpUntil([&] { return tip.visible(); }, 3000);
    backAfterReenter = tip.visible();
    MoveTo(H(task), 450, 20);
    Pump(100);
    SetSysColors(1, indices, saved);
    kwiToolbar::remove(w2);
    kwiToolbar::remove(w);
    kwiToolbar::remove(line);
    kwi_SetAttrVal(10005, 0);
  });
  EXPECT_GE(first, 450u);
  EXPECT_LE(first, 1100u);
  EXPECT_LE(direct, 250u);
  EXPECT_GE(fromNothing, 350u);
  EXPECT_LE(fromNothing, 900u);
  EXPECT_GE(hiddenAfter, 3500u);
  EXPECT_LE(hiddenAfter, 6500u);
  EXPECT_FALSE(backWhileStaying);
  EXPECT_TRUE(backAfterReenter);
  EXPECT_TRUE(sizeOk);
  EXPECT_TRUE(belowCursor);
  EXPECT_TRUE(yellow);
  EXPECT_TRUE(statusShown);
}

TEST_F(Toolbar, ATooltipAtTheScreensCornerIsMovedOntoTheScreen) {
  RECT shown{};
  int screenW = 0, screenH = 0;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    screenW = GetSystemMetrics(SM_CXSCREEN);
    screenH = GetSystemMetrics(SM_CYSCREEN);
    RECT outer;
    GetWindowRect(H(task), &outer);
    POINT origin{0, 0};
    ClientToScreen(H(task), &origin);
    // The task window's client area ends 4 pixels inside the screen's corner.
    SetWindowPos(H(task), nullptr, screenW - 504 - (origin.x - outer.left),
                 screenH - 304 - (origin.y - outer.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(100);
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({470, 270}), task,
                                    Controls{Button(1, L"A rather long tooltip text")});
    Tip tip{H(facts().tooltip_win.First([&](const TipWinRec& t) { return t.parent == task; })->tip)};
    const rect_struct r = facts().ctrl.First([&](const CtrlRec& c) { return c.win == w; })->rect;
    MoveTo(H(task), 100, 100);
    MoveTo(H(w), r.left + 8, r.top + 8);
    PumpUntil([&] { return tip.visible(); }, 3000);
    GetClientRect(tip.tip, &shown);
    MapWindowPoints(tip.tip, nullptr, reinterpret_cast<POINT*>(&shown), 2);
    MoveTo(H(task), 100, 100);
    kwiToolbar::remove(w);
  });
  EXPECT_GT(shown.right - shown.left, 20);
  EXPECT_EQ(shown.right, screenW);
  EXPECT_EQ(shown.bottom, screenH);
}

TEST_F(Toolbar, HoverShowsAFrameAndStatusTextButNotOnADisabledButton) {
  uint32_t enabledLeft = 0, disabledLeft = 0, afterLeave = 0;
  int statusDark = 0, restoredDark = -1;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR line = kwiToolbar::create(
        tbar::tb_bottom(), task, Controls{tbar::tb_text(10202, TextStyle::tb_context, 300, 0, 4, 10, 0, L"")});
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({40, 40}), task,
                                    Controls{Button(1, L";WWWWWWWWWW"), Button(2, L";MMMMMMMM", 0)});
    auto rect = [&](uint32_t id) {
      return facts().ctrl.First([&](const CtrlRec& c) { return c.win == w && c.id == id; })->rect;
    };
    auto dark = [&] {
      Pixels p;
      HDC dc = GetDC(H(line));
      int n = 0;
      for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 20; ++y) n += GetPixel(dc, x, y) == 0 ? 1 : 0;
      ReleaseDC(H(line), dc);
      return n;
    };
    const rect_struct r1 = rect(1), r2 = rect(2);
    MoveTo(H(task), 450, 20);
    MoveTo(H(w), r1.left + 5, r1.top + 5);
    HDC dc = GetDC(H(w));
    enabledLeft = GetPixel(dc, r1.left, r1.top + 8);
    statusDark = dark();
    MoveTo(H(w), r2.left + 5, r2.top + 5);
    disabledLeft = GetPixel(dc, r2.left, r2.top + 8);
    afterLeave = GetPixel(dc, r1.left, r1.top + 8);
    MoveTo(H(task), 450, 20);
    Pump(2300);  // no move reaches the toolbar: its hover timer finds the mouse gone
    restoredDark = dark();
    ReleaseDC(H(w), dc);
    kwiToolbar::remove(w);
    kwiToolbar::remove(line);
    kwi_SetAttrVal(10005, 0);
  });
  EXPECT_EQ(enabledLeft, Hi());
  EXPECT_EQ(disabledLeft, Face());
  EXPECT_EQ(afterLeave, Face());
  EXPECT_GT(statusDark, 10);
  EXPECT_EQ(restoredDark, 0);
}

TEST_F(Toolbar, TheStatusLineShowsItsValueAndFollowsTheParentsSize) {
  std::wstring read;
  RECT placed{};
  RECT client{};
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR line = kwiToolbar::create(
        tbar::tb_bottom(), task, Controls{tbar::tb_text(10202, TextStyle::tb_context, 452, 0, 4, 10, 0, L"")});
    const TbRec* tb = Tb(line);
    ASSERT_TRUE(tb);
    EXPECT_EQ(tb->parent, task);
    EXPECT_EQ(tb->target, task);
    EXPECT_EQ(tb->ornament, 0);
    EXPECT_EQ(tb->action.function, kwiToolbar::resendtoparentwindow().function);
    kwiToolbar::setvalue(task, 10202, tbar::text_value(L"Ready"));
    const tbar::value v = kwiToolbar::getvalue(task, 10202);
    read = v.text;
    SetClientSize(task, 420, 260);
    kwiToolbar::resize(task);
    Pump(200);
    placed = ClientInParent(H(line));
    GetClientRect(H(task), &client);
    rect_struct got{};
    EXPECT_TRUE(kwiToolbar::getrect(task, tbar::tb_bottom(), &got));
    EXPECT_EQ(got.bottom, client.bottom);
    kwiToolbar::remove(line);
    kwi_SetAttrVal(10005, 0);
  });
  EXPECT_EQ(read, L"Ready");
  EXPECT_EQ(placed.bottom, client.bottom);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.right, client.right);
}

bool WriteCornerBmp(const wchar_t* path) {
  HRSRC r = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kCorner), RT_BITMAP);
  if (!r) return false;
  const auto* dib = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, r)));
  const DWORD size = SizeofResource(nullptr, r);
  BITMAPFILEHEADER h{};
  h.bfType = 0x4D42;
  h.bfSize = sizeof h + size;
  h.bfOffBits = sizeof h + reinterpret_cast<const BITMAPINFOHEADER*>(dib)->biSize;
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  fwrite(&h, sizeof h, 1, f);
  fwrite(dib, size, 1, f);
  fclose(f);
  return true;
}

TEST_F(Toolbar, AFailedCreationLeavesNothingBehind) {
  uint32_t range = 0, overflow = 0, missingRes = 0, missingFile = 0;
  std::wstring rangeName;
  int childrenBefore = -1, childrenAfter = -2;
  size_t zeroRecords = 9, nextCtrls = 9, nextLbuts = 9;
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    childrenBefore = ChildrenOfClass(H(task), L"ComboBox") + static_cast<int>(facts().tb.Collect([](const TbRec&) { return true; }).count);
    range = RunTrapped([&] {
      kwiToolbar::create(tbar::tb_inside({0, 0}), task,
                         Controls{Button(1), tbar::tb_lbut(0x80000000u, 60, kd::Strings({L"a"}), 1, 0)});
    });
    auto entries = Entries();
    if (!entries.empty()) rangeName = entries.front()->exception->name;
    overflow = RunTrapped([&] {  // after the records are stored under window 0
      kwiToolbar::create(tbar::tb_inside({INT32_MAX - 5, 0}), task, Controls{Button(1), Button(2)});
    });
    missingRes = RunTrapped([&] {
      kwiToolbar::create(tbar::tb_top(), task, Controls{tb_ctrl(1, ControlStyle::pushb, resid(999), L"", 1, 1)});
    });
    missingFile = RunTrapped([&] {
      kwiToolbar::create(tbar::tb_top(), task,
                         Controls{tb_ctrl(1, ControlStyle::pushb, tbar::filename(L"no-such.bmp"), L"", 1, 1)});
    });
    zeroRecords = All(facts().ctrl, 0).size() + All(facts().lbut, 0).size() + All(facts().tooltip_info, 0).size() +
                  (Tb(0) ? 1 : 0);
    childrenAfter = ChildrenOfClass(H(task), L"ComboBox") + static_cast<int>(facts().tb.Collect([](const TbRec&) { return true; }).count);
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({0, 0}), task, Controls{Button(7)});
    nextCtrls = All(facts().ctrl, w).size();
    nextLbuts = All(facts().lbut, w).size();
    kwiToolbar::remove(w);
  });
  EXPECT_NE(range, 0u);
  EXPECT_EQ(rangeName, L"norangenumber");
  EXPECT_NE(overflow, 0u);
  EXPECT_NE(missingRes, 0u);
  EXPECT_NE(missingFile, 0u);
  EXPECT_EQ(zeroRecords, 0u);
  EXPECT_EQ(childrenAfter, childrenBefore);
  EXPECT_EQ(nextCtrls, 1u);
  EXPECT_EQ(nextLbuts, 0u);
}

TEST_F(Toolbar, ABitmapFileRemovedAfterCreationPaintsAPlainFace) {
  const wchar_t* path = L"toolbar_gone.bmp";
  ASSERT_TRUE(WriteCornerBmp(path));
  Pixels before, after;
  rect_struct r{};
  RunInTask([&](LONG_PTR task) {
    Foreground(task);
    LONG_PTR w = kwiToolbar::create(tbar::tb_inside({10, 10}), task,
                                    Controls{tb_ctrl(1, ControlStyle::pushb, tbar::filename(path), L"", 1, 1)});
    r = facts().ctrl.First([&](const CtrlRec& c) { return c.win == w; })->rect;
    before = Capture(H(w));
    DeleteFileW(path);
    after = Capture(H(w));
    kwiToolbar::remove(w);
  });
  EXPECT_EQ(before.at(r.left + 1, r.top + 1), kBlack);
  EXPECT_EQ(after.at(r.left + 1, r.top + 1), Face());
  EXPECT_EQ(after.at(r.left + 10, r.top + 10), Face());
  EXPECT_TRUE(Reported().empty());
}

}  // namespace
