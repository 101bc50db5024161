// kwiToolbar window events: repaint, clean-up, hover tracking, press and
// release of push and check buttons, list-button selections, menu events
// handed to the parent and the re-layout after the parent changed size.
// Handled events answer 0 (e_erasebackground 1); every other event, and a
// listed one whose conditions fail, fails to the layer's default processing.
// Any mouse button operates the buttons; the action runs once the stored
// state is changed, with the values it left.
#include "kwi/kwidomains.h"
#include "kwi/kwitoolbar/kwitoolbar_internal.h"

namespace tav::tbar {

using namespace QEL_KWI;
namespace kd = kwidomains;

namespace {

bool Inside(const rect_struct& r, const pnt_struct& p) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

const pnt_struct& EventPoint(const event_struct* e) {
  return *reinterpret_cast<const pnt_struct*>(e->w[0]);
}

void CallAction(const actionfunc& a, LONG_PTR parent, uint32_t id, const value& v) {
  auto* arg = static_cast<value*>(GStackAlloc(sizeof(value)));
  *arg = v;
  if (a.object)
    reinterpret_cast<ActionMethod>(a.function)(a.object, parent, id, arg);
  else
    reinterpret_cast<ActionFunction>(a.function)(parent, id, arg);
}

int32_t is_call_user_func(int32_t group, ControlStyle cs) {
  return cs == ControlStyle::pushb && group == 0 ? 0 : 1;
}

void call_user_func(LONG_PTR win, uint32_t id, int32_t kind) {
  if (kind != 1) return;
  Facts& f = facts();
  f.flagmousedown = false;
  f.choosecontrol.RetractAll([](const ChooseRec&) { return true; });
  if (const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) { return r.win == win && r.id == id; })) {
    const value v = ctrl_value(c->enabled, c->state);
    const int32_t group = c->group;
    const TbRec* tb = TbOf(win);
    if (!tb) return;
    const LONG_PTR parent = tb->parent;
    const actionfunc action = tb->action;
    setpressedbutton(parent, group, id);
    CallAction(action, parent, id, v);
    return;
  }
  if (const LbutRec* l = f.lbut.First([&](const LbutRec& r) { return r.win == win && r.id == id; })) {
    const TbRec* tb = TbOf(win);
    if (tb) CallAction(tb->action, tb->parent, id, lbut_value(l->enabled, l->selection));
  }
}

LONG_PTR OnUpdate(LONG_PTR win, const event_struct* e) {
  const TbRec* tb = TbOf(win);
  if (!tb) K::Fail();
  const style st = tb->st;
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  win_Clear_1(win, reinterpret_cast<rect_struct*>(e->w[0]), face);
  show_toolbar_controls(win);
  const rect_struct* client = win_GetClientRect(win);
  drawornamentation(win, st, SubChecked(client->right, 1), SubChecked(client->bottom, 1));
  return 0;
}

LONG_PTR OnDestroy(LONG_PTR win) {
  Facts& f = facts();
  ClearCaught(K::RunTrapped([&] { tooltip_clean_up(win); }));
  auto hovered = f.inside.Collect([](const InsideRec&) { return true; });
  for (uint32_t i = 0; i < hovered.count; ++i) {
    const LONG_PTR timer = hovered.items[i]->timer;
    f.inside.Retract(hovered.items[i]);
    ClearCaught(K::RunTrapped([&] { timer_Kill(timer); }));
  }
  f.tb.RetractAll([&](const TbRec& t) { return t.win == win; });
  RetractControls(win);
  return 0;
}

LONG_PTR OnMouseMove(LONG_PTR win, const event_struct* e) {
  const pnt_struct p = EventPoint(e);
  tooltip_check_mousemove(win, p);
  Facts& f = facts();
  if (const InsideRec* in = f.inside.First([](const InsideRec&) { return true; })) {
    const uint32_t id = in->id;
    test_not_leave_ctrl(win, id, p);
    const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) { return r.win == win && r.id == id; });
    if (!c || Inside(c->rect, p)) K::Fail();
    test_enter_ctrl(win, p, 0);
    return 0;
  }
  test_enter_ctrl(win, p, 1);
  return 0;
}

LONG_PTR OnTimer(LONG_PTR win, const event_struct* e) {
  const LONG_PTR timer = e->w[0];
  const InsideRec* in = facts().inside.First([&](const InsideRec& r) { return r.timer == timer; });
  if (!in) K::Fail();
  const uint32_t id = in->id;
  test_not_leave_ctrl(win, id, *cursor_GetPos(win));
  return 0;
}

LONG_PTR OnMouseDown(LONG_PTR win, const event_struct* e) {
  const pnt_struct p = EventPoint(e);
  Facts& f = facts();
  if (const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) {
        return r.win == win && r.enabled == 1 && r.state == 1 && Inside(r.rect, p);
      })) {
    const CtrlRec b = *c;
    set_flagmousedown(win, b.cs, b.group);
    f.choosecontrol.RetractAll([](const ChooseRec&) { return true; });
    f.choosecontrol.Assert({b.id});
    f.ctrl.RetractAll([&](const CtrlRec& r) { return r.win == win && r.id == b.id; });
    CtrlRec pressed = b;
    pressed.enabled = 1;
    pressed.state = 0;
    f.ctrl.Assert(pressed);
    eraseframe(win, b.rect, 1);
    drawbutton(win, b.rect, b.bitmap, 1, 0);
    call_user_func(win, b.id, is_call_user_func(b.group, b.cs));
    return 0;
  }
  if (const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) {
        return r.win == win && r.enabled == 1 && r.cs == ControlStyle::checkb && r.group == 0 &&
               r.state == 0 && Inside(r.rect, p);
      })) {
    const CtrlRec* now = f.ctrl.Replace(c, [](CtrlRec& r) {
      r.enabled = 1;
      r.state = 1;
    });
    const uint32_t id = now->id;
    drawbutton(win, now->rect, now->bitmap, 1, 1);
    call_user_func(win, id, 1);
    return 0;
  }
  K::Fail();
}

LONG_PTR OnMouseUp(LONG_PTR win, const event_struct* e) {
  const pnt_struct p = EventPoint(e);
  Facts& f = facts();
  if (const TbRec* tb = TbOf(win)) {
    const LONG_PTR target = tb->target;
    set_button_released(win);
    ClearCaught(K::RunTrapped([&] { win_SetFocus(target); }));
  }
  if (const CtrlRec* c = f.ctrl.First([&](const CtrlRec& r) {
        return r.win == win && r.enabled == 1 && r.group == 0 && r.cs == ControlStyle::pushb &&
               Inside(r.rect, p) &&
               f.choosecontrol.First([&](const ChooseRec& x) { return x.id == r.id; });
      })) {
    const CtrlRec* now = f.ctrl.Replace(c, [](CtrlRec& r) { r.state = 1; });
    const uint32_t id = now->id;
    drawbutton(win, now->rect, now->bitmap, 1, 1);
    call_user_func(win, id, 1);
    return 0;
  }
  f.choosecontrol.RetractAll([](const ChooseRec&) { return true; });
  return 0;
}

LONG_PTR OnMenu(LONG_PTR win, event_struct* e) {
  const TbRec* tb = TbOf(win);
  if (!tb) K::Fail();
  win_SendEvent(tb->parent, e);
  return 0;
}

LONG_PTR OnControl(LONG_PTR win, const event_struct* e) {
  const int32_t signedId = static_cast<int32_t>(e->w[0]);
  const LONG_PTR ctl = win_GetCtlHandle(win, signedId);
  const int32_t selection = lbox_GetSelIndex(ctl);
  T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_),
                    signedId);
  const uint32_t id = static_cast<uint32_t>(signedId);
  Facts& f = facts();
  const LbutRec* l = f.lbut.First([&](const LbutRec& r) { return r.win == win && r.id == id; });
  if (!l) K::Fail();
  f.lbut.Replace(l, [&](LbutRec& r) { r.selection = selection; });
  call_user_func(win, id, 1);
  return 0;
}

LONG_PTR OnRelayout(LONG_PTR win, const event_struct* e) {
  if (e->w[0] != 52) K::Fail();
  const TbRec* tb = TbOf(win);
  if (!tb) K::Fail();
  const LONG_PTR parent = tb->parent;
  const style st = tb->st;
  const rect_struct old = *win_GetClientRect(win);
  const rect_struct pr = *win_GetClientRect(parent);
  rect_struct r;
  if (!tb_rect(win, st, pr.bottom, pr.right, &r)) K::Fail();
  win_Move(win, kd::Rect(r.left, r.top, r.right, r.bottom));
  tbar_invalidate(win, st, pr.bottom, pr.right, old);
  return 0;
}

LONG_PTR tb_handler(LONG_PTR win, event_struct* e) {
  switch (e->kind) {
    case e_update: return OnUpdate(win, e);
    case e_destroy: return OnDestroy(win);
    case e_mousemove: return OnMouseMove(win, e);
    case e_timer: return OnTimer(win, e);
    case e_mousedown: return OnMouseDown(win, e);
    case e_mouseup: return OnMouseUp(win, e);
    case e_menu: return OnMenu(win, e);
    case e_control: return OnControl(win, e);
    case e_losefocus: set_button_released(win); return 0;
    case e_erasebackground: return 1;
    case e_user: return OnRelayout(win, e);
    default: K::Fail();
  }
}

}  // namespace

PROLOG_EHANDLER_STRUCT* TbHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&tb_handler), nullptr};
  return &h;
}

}  // namespace tav::tbar
