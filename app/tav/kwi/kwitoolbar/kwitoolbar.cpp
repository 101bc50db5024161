// kwiToolbar's public operations: creation, reload, placement, removal,
// redirection, the two ready-made actions, control values and button groups.
// A toolbar under construction is keyed by window 0 (one creation at a
// time); when a creation raises, every record and tooltip under window 0
// goes, the window goes if it was made, and the error is passed on.
#include <cwchar>

#include "kwi/kwidomains.h"
#include "kwi/kwitoolbar/kwitoolbar_internal.h"

namespace tav {

namespace tbar {

using namespace QEL_KWI;
namespace kd = kwidomains;

style tb_top() { return {StyleKind::tb_top, {0, 0}, L""}; }
style tb_left() { return {StyleKind::tb_left, {0, 0}, L""}; }
style tb_bottom() { return {StyleKind::tb_bottom, {0, 0}, L""}; }
style tb_right() { return {StyleKind::tb_right, {0, 0}, L""}; }
style tb_inside(pnt_struct origin) { return {StyleKind::tb_inside, origin, L""}; }
style tb_moveable(const wchar_t* title, pnt_struct origin) {
  return {StyleKind::tb_moveable, origin, title ? title : L""};
}

control tb_ctrl(uint32_t id, ControlStyle cs, BitmapIdTerm bitmap, const wchar_t* text,
                int32_t enabled, int32_t state) {
  control c{};
  c.kind = ControlKind::tb_ctrl;
  c.id = id;
  c.controlStyle = cs;
  c.bitmap = bitmap;
  c.text = text ? text : L"";
  c.enabled = enabled;
  c.state = state;
  return c;
}
control tb_text(uint32_t id, TextStyle ts, int16_t width, int32_t fontStyle, int32_t fontFamily,
                int16_t fontSize, uint32_t textColor, const wchar_t* text) {
  control c{};
  c.kind = ControlKind::tb_text;
  c.id = id;
  c.textStyle = ts;
  c.width = width;
  c.fontStyle = fontStyle;
  c.fontFamily = fontFamily;
  c.fontSize = fontSize;
  c.textColor = textColor;
  c.text = text ? text : L"";
  return c;
}
control tb_lbut(uint32_t id, int16_t width, const slist_struct* items, int32_t enabled,
                int32_t selection) {
  control c{};
  c.kind = ControlKind::tb_lbut;
  c.id = id;
  c.width = width;
  c.items = items;
  c.enabled = enabled;
  c.state = selection;
  return c;
}
control separator() {
  control c{};
  c.kind = ControlKind::separator;
  return c;
}
control new_row() {
  control c{};
  c.kind = ControlKind::new_row;
  return c;
}

BitmapIdTerm resid(uint32_t id) { return {1, id}; }
BitmapIdTerm filename(const wchar_t* name) { return {2, reinterpret_cast<uint64_t>(name)}; }
BitmapIdTerm bmp(picture p) { return {3, reinterpret_cast<uint64_t>(p)}; }

value ctrl_value(int32_t enabled, int32_t state) { return {ValueKind::ctrl_value, enabled, state, nullptr}; }
value text_value(const wchar_t* text) { return {ValueKind::text_value, 0, 0, text ? text : L""}; }
value lbut_value(int32_t enabled, int32_t selection) {
  return {ValueKind::lbut_value, enabled, selection, nullptr};
}
value none() { return {ValueKind::none, 0, 0, nullptr}; }
bool operator==(const value& a, const value& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == ValueKind::text_value) return wcscmp(a.text, b.text) == 0;
  return a.enabled == b.enabled && a.state == b.state;
}

namespace {

// The first record of `chain` with this Id on a toolbar of the parent, the
// toolbars searched in creation order.
template <class R, class P>
R* FirstOfParent(FactChain<R>& chain, LONG_PTR parent, uint32_t id, P&& extra) {
  auto toolbars = facts().tb.Collect([&](const TbRec& t) { return t.parent == parent; });
  for (uint32_t i = 0; i < toolbars.count; ++i) {
    const LONG_PTR win = toolbars.items[i]->win;
    if (R* r = chain.First([&](const R& x) { return x.win == win && x.id == id && extra(x); }))
      return r;
  }
  return nullptr;
}
template <class R>
R* FirstOfParent(FactChain<R>& chain, LONG_PTR parent, uint32_t id) {
  return FirstOfParent(chain, parent, id, [](const R&) { return true; });
}

windef_list_struct* ToolbarDefinition(const rect_struct& r, const style& s) {
  const bool moveable = s.kind == StyleKind::tb_moveable;
  auto* wd = static_cast<wdef*>(GStackAlloc(sizeof(wdef)));
  *wd = {wt_child, kd::Rect(r.left, r.top, r.right, r.bottom), moveable ? s.title : L"", kd::kPixels};
  auto* def = static_cast<windef*>(GStackAlloc(sizeof(windef)));
  *def = {wd_childwin,
          {reinterpret_cast<LONG_PTR>(wd), 0,
           reinterpret_cast<LONG_PTR>(moveable ? kd::Ints({9, 18}) : kd::Ints({18}))}};
  return kd::Windefs({def});
}

// Drops what a failed creation left: the records under window 0 and, once
// its window exists, the window (whose clean-up drops the moved records).
void UndoCreation(LONG_PTR made) {
  Facts& f = facts();
  f.tb.RetractAll([](const TbRec& t) { return t.win == 0; });
  RetractControls(0);
  tooltip_clean_up(0);
  if (made) ClearCaught(K::RunTrapped([&] { win_Destroy(made); }));
}

style KeepStyle(const style& s) {
  style kept = s;
  kept.title = HeapCopy(s.title ? s.title : L"");
  return kept;
}

}  // namespace

void setpressedbutton(LONG_PTR parent, int32_t group, uint32_t id) {
  kwiToolbar::setpressedbutton(parent, group, id);
}

}  // namespace tbar

using namespace QEL_KWI;
using namespace tbar;

const ClassInfo kwiToolbar::classInfo{L"com/corvane/kwi/kwiToolbar", TAV_CLASS_VERSION};

actionfunc kwiToolbar::resendtoparentwindow() {
  return {reinterpret_cast<void*>(&kwiToolbar::_resendtoparentwindow), nullptr};
}
actionfunc kwiToolbar::noaction() { return {reinterpret_cast<void*>(&kwiToolbar::_noaction), nullptr}; }

LONG_PTR kwiToolbar::create(const style& s, LONG_PTR parent, control_list controls) {
  return create(s, parent, controls, resendtoparentwindow());
}
LONG_PTR kwiToolbar::create(const style& s, LONG_PTR parent, control_list controls,
                            actionfunc action) {
  return create(s, parent, controls, action, getaddornamentationbystyle(s));
}

LONG_PTR kwiToolbar::create(const style& s, LONG_PTR parent, control_list controls,
                            actionfunc action, int32_t ornament) {
  tooltip_create(parent);
  const rect_struct client = *win_GetClientRect(parent);
  int32_t maxW, maxH;
  getmaxcontrolsize(parent, controls, &maxW, &maxH);
  const style kept = KeepStyle(s);
  facts().tb.Assert({parent, 0, kept, maxW, maxH, action, parent, ornament});
  volatile LONG_PTR made = 0;
  const uint32_t code = K::RunTrapped([&] {
    int32_t width, height, top, left;
    build_control_database(0, kept, controls, &width, &height);
    get_inits(0, kept, client.bottom, client.right, &top, &left);
    const rect_struct r{left, top, AddChecked(left, width), AddChecked(top, height)};
    made = win_CreateDyn(ToolbarDefinition(r, kept), parent, TbHandler(), 0);
    set_ctrl_to_tb_win(0, made);
    create_listcontrols(made);
  });
  if (code) {
    UndoCreation(made);
    K::Errors::Qel_ErrorExit(code);
  }
  resize(parent);
  return made;
}

void kwiToolbar::reload(LONG_PTR toolbarWin, control_list controls) {
  const TbRec* tb = TbOf(toolbarWin);
  if (!tb) return;
  const style st = tb->st;
  Facts& f = facts();
  f.ctrl.RetractAll([&](const CtrlRec& r) { return r.win == toolbarWin; });
  f.text.RetractAll([&](const TextRec& r) { return r.win == toolbarWin; });
  f.separatorline.RetractAll([&](const SepRec& r) { return r.win == toolbarWin; });
  toolbar_retract_controls(toolbarWin);
  tooltip_create(win_GetParent(toolbarWin));
  tooltip_clean_up(toolbarWin);
  int32_t width, height;
  build_control_database(toolbarWin, st, controls, &width, &height);
  create_listcontrols(toolbarWin);
  set_ctrl_to_tb_win1(toolbarWin);
  win_Invalidate_0(toolbarWin);
}

void kwiToolbar::resize(LONG_PTR parent) {
  auto all = facts().tb.Collect([&](const TbRec& t) { return t.parent == parent && !multiple_rows(t.st); });
  for (uint32_t i = 0; i < all.count; ++i) {
    auto* e = static_cast<event_struct*>(GStackAlloc(sizeof(event_struct)));
    *e = {};
    e->kind = e_user;
    e->w[0] = 52;
    win_PostEvent(all.items[i]->win, e);
  }
}

bool kwiToolbar::getrect(LONG_PTR parent, const style& s, rect_struct* out) {
  const TbRec* tb =
      facts().tb.First([&](const TbRec& t) { return t.parent == parent && SameStyle(t.st, s); });
  if (!tb) return false;
  const LONG_PTR win = tb->win;
  const rect_struct client = *win_GetClientRect(parent);
  return tb_rect(win, s, client.bottom, client.right, out);
}

void kwiToolbar::remove(LONG_PTR window) {
  if (const TbRec* tb = TbOf(window)) {
    const style st = tb->st;
    const LONG_PTR parent = tb->parent;
    win_Destroy(window);
    remove_kwitbarattr(st, parent);
    resize(parent);
    return;
  }
  auto all = facts().tb.Collect([&](const TbRec& t) { return t.parent == window; });
  for (uint32_t i = 0; i < all.count; ++i) {
    const TbRec t = *all.items[i];
    win_Destroy(t.win);
    remove_kwitbarattr(t.st, window);
  }
  resize(window);
}

void kwiToolbar::mesredirect(LONG_PTR parent, LONG_PTR eventTarget) {
  Facts& f = facts();
  auto all = f.tb.Collect([&](const TbRec& t) { return t.parent == parent && t.target != eventTarget; });
  for (uint32_t i = 0; i < all.count; ++i)
    f.tb.Replace(all.items[i], [&](TbRec& t) { t.target = eventTarget; });
}

void kwiToolbar::_resendtoparentwindow(LONG_PTR parent, uint32_t id, const tbar::value* v) {
  if (v->enabled != 1) return;
  auto* e = static_cast<event_struct*>(GStackAlloc(sizeof(event_struct)));
  *e = {};
  if (v->kind == tbar::ValueKind::ctrl_value) {
    const CtrlRec* c = FirstOfParent(facts().ctrl, parent, id);
    if (!c) return;
    const TbRec* tb = TbOf(c->win);
    if (!tb) return;
    if (c->cs == ControlStyle::pushb) {
      e->kind = e_menu;
      e->w[0] = id;
      win_PostEvent(tb->target, e);
      return;
    }
    auto* info = static_cast<controlinfo*>(GStackAlloc(sizeof(controlinfo)));
    *info = {ci_activated, 0, 0};
    e->kind = e_control;
    e->w[0] = SignedId(id);
    e->w[1] = 10;
    e->w[3] = reinterpret_cast<LONG_PTR>(info);
    win_SendEvent(tb->target, e);
    return;
  }
  if (v->kind != tbar::ValueKind::lbut_value) return;
  const LbutRec* l = FirstOfParent(facts().lbut, parent, id);
  if (!l) return;
  const TbRec* tb = TbOf(l->win);
  if (!tb) return;
  auto* info = static_cast<controlinfo*>(GStackAlloc(sizeof(controlinfo)));
  *info = {ci_selchanged, 0, 0};
  e->kind = e_control;
  e->w[0] = SignedId(id);
  e->w[1] = wt_listbutton;
  e->w[2] = win_GetCtlHandle(l->win, SignedId(id));
  e->w[3] = reinterpret_cast<LONG_PTR>(info);
  win_SendEvent(tb->target, e);
}

void kwiToolbar::_noaction(LONG_PTR, uint32_t, const tbar::value*) {}

// --- Values and button groups ----------------------------------------------------------

void kwiToolbar::setvalue(LONG_PTR parent, uint32_t id, const tbar::value& v) {
  Facts& f = facts();
  switch (v.kind) {
    case tbar::ValueKind::text_value: {
      const TextRec* t = FirstOfParent(f.text, parent, id);
      if (!t) return;
      const wchar_t* text = HeapCopy(v.text ? v.text : L"");
      const TextRec* now = f.text.Replace(t, [&](TextRec& r) { r.text = text; });
      show_text(now->win, now->rect, now->fontStyle, now->fontFamily, now->fontSize,
                now->textColor, now->text);
      return;
    }
    case tbar::ValueKind::ctrl_value: {
      const CtrlRec* c = FirstOfParent(f.ctrl, parent, id);
      if (!c) return;
      const CtrlRec* now = f.ctrl.Replace(c, [&](CtrlRec& r) {
        r.enabled = v.enabled;
        r.state = v.state;
      });
      drawbutton(now->win, now->rect, now->bitmap, now->enabled, now->state);
      return;
    }
    case tbar::ValueKind::lbut_value: {
      const LbutRec* l = FirstOfParent(f.lbut, parent, id);
      if (!l) return;
      const LbutRec* now = f.lbut.Replace(l, [&](LbutRec& r) {
        r.enabled = v.enabled;
        r.selection = v.state;
      });
      const LONG_PTR ctl = win_GetCtlHandle(now->win, SignedId(id));
      ShowListValue(ctl, nullptr, v.state, v.enabled);
      return;
    }
    case tbar::ValueKind::none: return;
  }
}

tbar::value kwiToolbar::getvalue(LONG_PTR parent, uint32_t id) {
  Facts& f = facts();
  if (const CtrlRec* c = FirstOfParent(f.ctrl, parent, id)) return ctrl_value(c->enabled, c->state);
  if (const TextRec* t = FirstOfParent(f.text, parent, id)) return text_value(t->text);
  if (const LbutRec* l = FirstOfParent(f.lbut, parent, id)) return lbut_value(l->enabled, l->selection);
  return none();
}

void kwiToolbar::groupcontrols(LONG_PTR parent, int32_t group, const uint32_t* ids, uint32_t count) {
  Facts& f = facts();
  for (uint32_t i = 0; i < count; ++i) {
    const CtrlRec* c =
        FirstOfParent(f.ctrl, parent, ids[i], [&](const CtrlRec& r) { return r.group != group; });
    if (c) f.ctrl.Replace(c, [&](CtrlRec& r) { r.group = group; });
  }
}

bool kwiToolbar::getpressedbutton(LONG_PTR parent, int32_t group, uint32_t* id) {
  auto toolbars = facts().tb.Collect([&](const TbRec& t) { return t.parent == parent; });
  for (uint32_t i = 0; i < toolbars.count; ++i) {
    const LONG_PTR win = toolbars.items[i]->win;
    if (const CtrlRec* c = facts().ctrl.First([&](const CtrlRec& r) {
          return r.win == win && r.group == group && r.state == 0;
        })) {
      *id = c->id;
      return true;
    }
  }
  return false;
}

void kwiToolbar::setpressedbutton(LONG_PTR parent, int32_t group, uint32_t id) {
  if (group == 0) return;
  Facts& f = facts();
  auto toolbars = f.tb.Collect([&](const TbRec& t) { return t.parent == parent; });
  for (uint32_t i = 0; i < toolbars.count; ++i) {
    const LONG_PTR win = toolbars.items[i]->win;
    auto pressed = f.ctrl.Collect([&](const CtrlRec& r) {
      return r.win == win && r.group == group && r.state == 0 && r.id != id;
    });
    for (uint32_t k = 0; k < pressed.count; ++k) setvalue(parent, pressed.items[k]->id, ctrl_value(1, 1));
  }
  setvalue(parent, id, ctrl_value(1, 0));
}

}  // namespace tav
