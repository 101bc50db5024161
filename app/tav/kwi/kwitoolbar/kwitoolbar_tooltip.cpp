// kwiToolbar hover and tooltips: one tooltip window pair per parent window
// (a disabled topmost modeless dialog and its text child), three timers on
// the tip window (first-time 100 ms, show 500 ms, hide 500 ms x 10), the
// hover timer (2000 ms) of the button under the mouse, its frame and status
// text, and the hold of a pressed push button.  At most one of each timer
// runs in the process; all state is class facts.  A tooltip_win whose tip
// window is gone is replaced when the parent gets a toolbar again.
#include <windows.h>

#include <cstdlib>

#include "kwi/kwidomains.h"
#include "kwi/kwitoolbar/kwitoolbar_internal.h"

namespace tav::tbar {

using namespace QEL_KWI;
namespace kd = kwidomains;

namespace {

constexpr uint32_t kFirstTimeMs = 100, kShowMs = 500, kHideMs = 500, kHoverMs = 2000;
constexpr int32_t kHideTicks = 10;

LONG_PTR tooltip_handler(LONG_PTR tip, event_struct* e);
LONG_PTR tooltip_child_handler(LONG_PTR textWin, event_struct* e);

PROLOG_EHANDLER_STRUCT* TipHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&tooltip_handler), nullptr};
  return &h;
}
PROLOG_EHANDLER_STRUCT* TextHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&tooltip_child_handler), nullptr};
  return &h;
}

bool Inside(const rect_struct& r, const pnt_struct& p) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

// The cursor in the window's client coordinates.
pnt_struct CursorIn(LONG_PTR win) { return *cursor_GetPos(win); }

TipWinRec* TipOf(LONG_PTR parent) {
  return facts().tooltip_win.First([&](const TipWinRec& t) { return t.parent == parent; });
}

// Moves the window under a trap; an error is dropped.
void MoveQuietly(LONG_PTR win, int32_t l, int32_t t, int32_t r, int32_t b) {
  ClearCaught(K::RunTrapped([&] { win_Move(win, kd::Rect(l, t, r, b)); }));
}

// --- Timers --------------------------------------------------------------------------

void Kill(SingleTimer& t) {
  if (!t.present) return;
  t.present = false;
  const LONG_PTR id = t.timer;
  ClearCaught(K::RunTrapped([&] { timer_Kill(id); }));
}
void Start(SingleTimer& t, LONG_PTR tip, uint32_t ms) {
  Kill(t);
  const LONG_PTR id = timer_Set(tip, ms);
  t = {true, id, 0};
}
void tooltip_kill_show_timer() { Kill(facts().tooltip_show_timer); }
void tooltip_kill_hide_timer() { Kill(facts().tooltip_hide_timer); }

// --- Usage ---------------------------------------------------------------------------

void tooltip_stop_usage() {
  Facts& f = facts();
  f.tooltip_in_use = false;
  f.tooltip_first_time = false;
  f.tooltip_current.RetractAll([](const TipCurrentRec&) { return true; });
}

void tooltip_check_mousetimer(LONG_PTR win) {
  Facts& f = facts();
  const TipMouseRec* m = f.tooltip_mouse.First([&](const TipMouseRec& r) { return r.win == win; });
  if (!m) {
    f.tooltip_mouse.RetractAll([](const TipMouseRec&) { return true; });
    return;
  }
  const pnt_struct c = CursorIn(win);
  const rect_struct client = *win_GetClientRect(win);
  const bool resting =
      Inside(client, c) && std::abs(m->pnt.x - c.x) < 5 && std::abs(m->pnt.y - c.y) < 5;
  if (!resting) f.tooltip_mouse.RetractAll([](const TipMouseRec&) { return true; });
}

// The cursor when it lies in a toolbar with tooltips (usage starts); else
// the sequence stops and false.
bool tooltip_mouse_in_tb(LONG_PTR win, pnt_struct* at) {
  Facts& f = facts();
  if (f.tooltip_info.First([&](const TipInfoRec& r) { return r.win == win; })) {
    rect_struct client{};
    const uint32_t code = K::RunTrapped([&] { client = *win_GetClientRect(win); });
    ClearCaught(code);
    const pnt_struct p = CursorIn(win);
    if (code == 0 && Inside(client, p)) {
      *at = p;
      if (!f.tooltip_in_use) {
        f.tooltip_in_use = true;
        f.tooltip_first_time = true;
      }
      return true;
    }
  }
  tooltip_kill_show_timer();
  tooltip_stop_usage();
  return false;
}

void hide_tooltip(LONG_PTR win) {
  tooltip_kill_show_timer();
  tooltip_kill_hide_timer();
  facts().tooltip_current.RetractAll([](const TipCurrentRec&) { return true; });
  const TipWinRec* t = TipOf(win_GetParent(win));
  if (t) MoveQuietly(t->tip, 0, 0, 0, 0);
}

// True when a different tooltip (or none) became current.
bool tooltip_change_if_not_current(LONG_PTR win) {
  Facts& f = facts();
  pnt_struct p;
  const TipInfoRec* info = nullptr;
  if (tooltip_mouse_in_tb(win, &p))
    info = f.tooltip_info.First([&](const TipInfoRec& r) { return r.win == win && Inside(r.rect, p); });
  if (!info) {
    hide_tooltip(win);
    return true;
  }
  const bool same = f.tooltip_current.First([&](const TipCurrentRec& c) {
    return c.win == win && SameRect(c.rect, info->rect) && wcscmp(c.text, info->text) == 0 &&
           SamePnt(c.pnt, p);
  });
  if (same) return false;
  const TipInfoRec chosen = *info;
  hide_tooltip(win);
  f.tooltip_current.Assert({win, chosen.rect, chosen.text, p});
  return true;
}

// False when it has just started the first-time delay.
bool tooltip_check_first_time(LONG_PTR tip) {
  Facts& f = facts();
  if (f.tooltip_first_time_creating) {
    f.tooltip_first_time_creating = false;
    f.tooltip_first_time = true;
  }
  if (!f.tooltip_first_time) return true;
  f.tooltip_first_time = false;
  f.tooltip_first_time_creating = true;
  Start(f.tooltip_first_time_timer, tip, kFirstTimeMs);
  return false;
}

// --- Showing ---------------------------------------------------------------------------

void tooltip_validate(int32_t edge, int32_t limit, int32_t* shift) {
  *shift = limit < edge ? SubChecked(edge, limit) : 0;
}

bool tooltip_showtimerhandler(LONG_PTR tip) {
  Facts& f = facts();
  tooltip_kill_show_timer();
  const TipCurrentRec* cur = f.tooltip_current.First([](const TipCurrentRec&) { return true; });
  if (!cur) return false;
  const LONG_PTR win = cur->win;
  const wchar_t* text = cur->text;
  volatile LONG_PTR parent = 0;
  const uint32_t code = K::RunTrapped([&] { parent = win_GetParent(win); });
  ClearCaught(code);
  if (code) return false;
  const TipWinRec* pair =
      f.tooltip_win.First([&](const TipWinRec& t) { return t.parent == parent && t.tip == tip; });
  const InsideRec* hovered = f.inside.First([](const InsideRec&) { return true; });
  if (!pair || !hovered) return false;
  const LONG_PTR textWin = pair->text;
  test_not_leave_ctrl(win, hovered->id, CursorIn(win));
  const TipMouseRec* mouse = f.tooltip_mouse.First([&](const TipMouseRec& m) { return m.win == win; });
  if (!mouse) return false;
  const pnt_struct mp = mouse->pnt;
  int w = 0, h = 0, leading = 0, ascent = 0, descent = 0;
  win_GetTextExtent(textWin, text, -1, &w, &h);
  win_GetFontMetrics(textWin, &leading, &ascent, &descent);
  const int32_t width = AddChecked(w, 4);
  const int32_t height = AddChecked(AddChecked(ascent, descent), 2);
  const LONG_PTR screen = kwi_GetAttrVal(300);
  auto* one = static_cast<pntlist_struct*>(GStackAlloc(2 * sizeof(pntlist_struct)));
  one[1].functor = ListNil;
  one[0] = {ListCons, kd::Point(mp.x, mp.y), &one[1]};
  const pntlist_struct* mapped = win_MapPoints(win, screen, one);
  if (mapped->functor != ListCons || mapped->next->functor != ListNil) return false;
  const rect_struct scr = *win_GetClientRect(screen);
  const int32_t left = mapped->value->x;
  const int32_t top = AddChecked(mapped->value->y, GetSystemMetrics(SM_CYCURSOR));
  const int32_t right = AddChecked(left, width), bottom = AddChecked(top, height);
  int32_t dx, dy;
  tooltip_validate(right, scr.right, &dx);
  tooltip_validate(bottom, scr.bottom, &dy);
  win_Move(tip, kd::Rect(SubChecked(left, dx), SubChecked(top, dy), SubChecked(right, dx),
                         SubChecked(bottom, dy)));
  win_Move(textWin, kd::Rect(0, 0, width, height));
  Start(f.tooltip_hide_timer, tip, kHideMs);
  return true;
}

bool tooltip_hidetimerhandler(LONG_PTR tip, int32_t count) {
  Facts& f = facts();
  if (count >= kHideTicks) {
    tooltip_kill_hide_timer();
    win_Move(tip, kd::Rect(0, 0, 0, 0));
    return true;
  }
  const TipCurrentRec* cur = f.tooltip_current.First([](const TipCurrentRec&) { return true; });
  const InsideRec* hovered = f.inside.First([](const InsideRec&) { return true; });
  if (!cur || !hovered) return false;
  const LONG_PTR win = cur->win;
  test_not_leave_ctrl(win, hovered->id, CursorIn(win));
  return true;
}

LONG_PTR tooltip_handler(LONG_PTR tip, event_struct* e) {
  Facts& f = facts();
  if (e->kind != e_timer) K::Fail();
  const LONG_PTR id = e->w[0];
  if (f.tooltip_first_time_timer.present && f.tooltip_first_time_timer.timer == id) {
    Kill(f.tooltip_first_time_timer);
    Start(f.tooltip_show_timer, tip, kShowMs);
    f.tooltip_first_time_creating = false;
    return 0;
  }
  if (f.tooltip_show_timer.present && f.tooltip_show_timer.timer == id) {
    if (!tooltip_showtimerhandler(tip)) K::Fail();
    return 0;
  }
  if (f.tooltip_hide_timer.present && f.tooltip_hide_timer.timer == id) {
    const int32_t count = ++f.tooltip_hide_timer.count;
    if (!tooltip_hidetimerhandler(tip, count)) K::Fail();
    return 0;
  }
  K::Fail();
}

void tooltip_get_color(uint32_t* fore, uint32_t* back) {
  *back = static_cast<uint32_t>(kwi_GetAttrVal(125));
  if (*back != 0) {
    *fore = static_cast<uint32_t>(kwi_GetAttrVal(124));
  } else {
    *fore = 0;
    *back = 0xFFFF;
  }
}

LONG_PTR tooltip_child_handler(LONG_PTR textWin, event_struct* e) {
  if (e->kind == e_create) {
    win_SetBackMode(textWin, 1);
    win_SetFont(textWin, kwi::fontcreatebyname(L"MS Sans Serif", 8));
    return 0;
  }
  if (e->kind != e_update) K::Fail();
  uint32_t fore, back;
  tooltip_get_color(&fore, &back);
  auto* brush = static_cast<brush_struct*>(GStackAlloc(sizeof(brush_struct)));
  auto* pen = static_cast<pen_struct*>(GStackAlloc(sizeof(pen_struct)));
  *brush = {2, back};
  *pen = {1, 0, back};
  win_SetBrush(textWin, brush);
  win_SetPen(textWin, pen);
  win_SetBackColor(textWin, back);
  win_SetForeColor(textWin, fore);
  rect_struct* r = win_GetClientRect(textWin);
  draw_Rect(textWin, r);
  const TipCurrentRec* cur = facts().tooltip_current.First([](const TipCurrentRec&) { return true; });
  if (!cur) K::Fail();
  draw_TextInRect(textWin, r, cur->text, -1, kd::Ints({2, 12, 7}));
  return 0;
}

void tooltip_set_show(LONG_PTR tip) { Start(facts().tooltip_show_timer, tip, kShowMs); }

void tooltip_try_show(LONG_PTR win, int32_t mode) {
  if (mode != 0 && mode != 1) return;
  const TipWinRec* pair = TipOf(win_GetParent(win));
  if (!pair) return;
  const LONG_PTR tip = pair->tip;
  if (mode == 0) {
    tooltip_showtimerhandler(tip);
    return;
  }
  tooltip_check_mousetimer(win);
  if (!tooltip_change_if_not_current(win)) return;
  if (!tooltip_check_first_time(tip)) return;
  tooltip_set_show(tip);
}

// --- Holding a push button -----------------------------------------------------------

void restore_pressed_button(LONG_PTR win, uint32_t id, int32_t from, int32_t to) {
  Facts& f = facts();
  if (!f.choosecontrol.First([&](const ChooseRec& c) { return c.id == id; })) return;
  const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) {
    return r.win == win && r.id == id && r.cs == ControlStyle::pushb && r.enabled == 1 &&
           r.state == from;
  });
  if (!c) return;
  const CtrlRec* now = f.ctrl.Replace(c, [&](CtrlRec& r) { r.state = to; });
  drawbutton(win, now->rect, now->bitmap, 1, to);
}

void toolbar_set_flagmousedown(LONG_PTR win) {
  if (facts().flagmousedown) return;
  facts().flagmousedown = true;
  win_CaptureMouse(win);
}

void toolbar_release_flagmousedown() {
  if (!facts().flagmousedown) return;
  facts().flagmousedown = false;
  win_ReleaseMouse();
}

}  // namespace

void tooltip_create(LONG_PTR parent) {
  Facts& f = facts();
  if (const TipWinRec* t = TipOf(parent)) {
    if (IsWindow(reinterpret_cast<HWND>(t->tip))) return;
    f.tooltip_win.Retract(t);
  }
  auto* def = static_cast<windef*>(GStackAlloc(sizeof(windef)));
  auto* wd = static_cast<wdef*>(GStackAlloc(sizeof(wdef)));
  *wd = {wt_modeless, kd::Rect(0, 0, 0, 0), L"", kd::kPixels};
  *def = {wd_dlg, {reinterpret_cast<LONG_PTR>(wd), reinterpret_cast<LONG_PTR>(kd::Ints({12}))}};
  const LONG_PTR tip = win_CreateDynDialog(parent, kd::Windefs({def}),
                                           TipHandler(), 0);
  SetWindowPos(reinterpret_cast<HWND>(tip), HWND_TOPMOST, 0, 0, 1, 1, 0);
  win_Move(tip, kd::Rect(0, 0, 0, 0));
  const LONG_PTR text = win_Create(wt_child, kd::Rect(0, 0, 0, 0), L"", kd::NoMenu(), tip,
                                   kd::Ints({}), TextHandler(), 0);
  f.tooltip_win.Assert({parent, tip, text});
}

void tooltip_clean_up(LONG_PTR win) {
  facts().tooltip_mouse.RetractAll([&](const TipMouseRec& m) { return m.win == win; });
  facts().tooltip_info.RetractAll([&](const TipInfoRec& t) { return t.win == win; });
}

void tooltip_check_mousemove(LONG_PTR win, const pnt_struct& p) {
  Facts& f = facts();
  if (f.tooltip_mouse.First([&](const TipMouseRec& m) { return m.win == win && SamePnt(m.pnt, p); }))
    return;
  f.tooltip_mouse.RetractAll([](const TipMouseRec&) { return true; });
  f.tooltip_mouse.Assert({win, p});
}

void test_enter_ctrl(LONG_PTR win, const pnt_struct& p, int32_t mode) {
  Facts& f = facts();
  const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) { return r.win == win && Inside(r.rect, p); });
  if (!c) return;
  const CtrlRec button = *c;
  toolbar_if_draw_frame(win, button.rect, button.enabled, button.state);
  f.inside.Assert({button.id, timer_Set(win, kHoverMs)});
  tooltip_try_show(win, mode);
  show_status_text(win, button.text);
  restore_pressed_button(win, button.id, 1, 0);
}

void test_not_leave_ctrl(LONG_PTR win, uint32_t id, const pnt_struct& p) {
  Facts& f = facts();
  if (f.ctrl.First([&](const CtrlRec& r) { return r.win == win && r.id == id && Inside(r.rect, p); }))
    return;
  const InsideRec* in = f.inside.First([&](const InsideRec& r) { return r.id == id; });
  const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) { return r.win == win && r.id == id; });
  if (!in || !c) return;
  const LONG_PTR timer = in->timer;
  eraseframe(win, c->rect, c->state);
  timer_Kill(timer);
  f.inside.RetractAll([&](const InsideRec& r) { return r.timer == timer; });
  tooltip_try_show(win, 1);
  restore_initial_status_text(win);
  restore_pressed_button(win, id, 0, 1);
}

void set_flagmousedown(LONG_PTR win, ControlStyle cs, int32_t group) {
  if (cs == ControlStyle::pushb && group == 0) toolbar_set_flagmousedown(win);
}

void set_button_released(LONG_PTR win) {
  Facts& f = facts();
  if (!f.flagmousedown) return;
  toolbar_release_flagmousedown();
  if (const ChooseRec* c = f.choosecontrol.First([](const ChooseRec&) { return true; }))
    restore_pressed_button(win, c->id, 0, 1);
}

}  // namespace tav::tbar

namespace tav {

bool kwiToolbar::gettoolbar_nd(LONG_PTR parent, Each<LONG_PTR> k) {
  auto all = tbar::facts().tb.Collect([&](const tbar::TbRec& t) { return t.parent == parent; });
  for (uint32_t i = 0; i < all.count; ++i)
    if (TrySolution(k, all.items[i]->win)) return true;
  return false;
}

void kwiToolbar::tooltip_hide() {
  tbar::Facts& f = tbar::facts();
  tbar::tooltip_kill_show_timer();
  tbar::tooltip_kill_hide_timer();
  f.tooltip_current.RetractAll([](const tbar::TipCurrentRec&) { return true; });
  auto pairs = f.tooltip_win.Collect([](const tbar::TipWinRec&) { return true; });
  for (uint32_t i = 0; i < pairs.count; ++i) tbar::MoveQuietly(pairs.items[i]->tip, 0, 0, 0, 0);
}

}  // namespace tav
