// kwiToolbar records and layout: measuring a control list, laying it out
// into ctrl/text/lbut/separatorline records, binding the records of the
// toolbar under construction (window 0) to its window, list controls, the
// task window's edge margins, fonts and colours.  Coordinate sums raise the
// runtime's overflow error; list-button Ids above 2147483647 its range error.
#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "application/Exe/mainExe.h"
#include "exception/exception.h"
#include "kwi/kwidomains.h"
#include "kwi/kwitoolbar/kwitoolbar_internal.h"

namespace tav::tbar {

using namespace QEL_KWI;
namespace kd = kwidomains;

Facts& facts() {
  static Facts f;
  return f;
}

bool SameRect(const rect_struct& a, const rect_struct& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
bool SamePnt(const pnt_struct& a, const pnt_struct& b) { return a.x == b.x && a.y == b.y; }
bool SameStyle(const style& a, const style& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == StyleKind::tb_inside) return SamePnt(a.origin, b.origin);
  if (a.kind == StyleKind::tb_moveable)
    return SamePnt(a.origin, b.origin) && wcscmp(a.title, b.title) == 0;
  return true;
}

bool multiple_rows(const style& s) {
  return s.kind == StyleKind::tb_inside || s.kind == StyleKind::tb_moveable;
}
bool Horizontal(const style& s) {
  return multiple_rows(s) || s.kind == StyleKind::tb_top || s.kind == StyleKind::tb_bottom;
}
int32_t getaddornamentationbystyle(const style& s) {
  return s.kind == StyleKind::tb_top || multiple_rows(s) ? 1 : 0;
}
int32_t getleftoffset(const style& s) { return s.kind == StyleKind::tb_inside ? 2 : 0; }
int32_t gettopoffset(const style& s) {
  switch (s.kind) {
    case StyleKind::tb_top:
    case StyleKind::tb_bottom: return 2;
    case StyleKind::tb_moveable: return 0;
    default: return 1;
  }
}
int32_t getrightoffset(const style&) { return 1; }
int32_t getbottomoffset(const style& s) { return s.kind == StyleKind::tb_moveable ? 0 : 1; }

TbRec* TbOf(LONG_PTR toolbarWin) {
  return facts().tb.First([&](const TbRec& t) { return t.win == toolbarWin; });
}

void ClearCaught(uint32_t code) {
  if (code >= kFirstTraceId) K::RunTrapped([&] { exception::clear(code); });
}

int32_t SignedId(uint32_t id) {
  T::Check_IU_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer), id);
  return static_cast<int32_t>(id);
}

// --- Measuring -----------------------------------------------------------------------

namespace {

// The size a bitmap resource of the program loads with: read from its
// header; false when it has none that holds one (the load then raises).
bool ResourceBitmapSize(uint32_t id, int32_t* width, int32_t* height) {
  HMODULE module = mainExe::getcurrenthinstance();
  HRSRC r = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (!r || SizeofResource(module, r) < sizeof(BITMAPINFOHEADER)) return false;
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, r)));
  if (!header || header->biSize < sizeof(BITMAPINFOHEADER) || header->biWidth <= 0 ||
      header->biHeight == 0 || header->biHeight == INT32_MIN)
    return false;
  *width = header->biWidth;
  *height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  return true;
}

void picturegetsize(const BitmapIdTerm& source, int32_t* width, int32_t* height) {
  if (source.functor == 1 && ResourceBitmapSize(static_cast<uint32_t>(source.payload), width, height))
    return;
  picture p = kwi::pictload(&source, 0, 0, 0);
  int size = 0;
  int w = 0, h = 0;
  if (p) pict_GetSize(p, &w, &h, &size);
  *width = w;
  *height = h;
  if (p && source.functor != 3) pict_Destroy(p);
}

void getcontrolsize(LONG_PTR win, const control& c, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  switch (c.kind) {
    case ControlKind::tb_ctrl:
      picturegetsize(c.bitmap, width, height);
      *width = AddChecked(*width, 2);
      *height = AddChecked(*height, 2);
      break;
    case ControlKind::tb_lbut:
      *width = c.width;
      *height = 24;
      break;
    case ControlKind::tb_text: {
      win_SetFont(win, createtoolbarfont(c.fontFamily, c.fontStyle, c.fontSize));
      int w = 0, h = 0;
      win_GetTextExtent(win, L"Wy", -1, &w, &h);
      *width = c.width;
      *height = AddChecked(h, 2);
      break;
    }
    default: break;
  }
}

}  // namespace

// The measuring window is made only for a list with text fields, the only
// entries measured in a window's font.
void getmaxcontrolsize(LONG_PTR parent, control_list controls, int32_t* width, int32_t* height) {
  bool texts = false;
  for (uint32_t i = 0; i < controls.count; ++i) texts |= controls.items[i].kind == ControlKind::tb_text;
  const volatile LONG_PTR measure =
      texts ? win_Create(wt_child, kd::Rect(0, 0, 0, 0), L"", kd::NoMenu(), parent, kd::Ints({}),
                         NoEventHandler(), 0)
            : 0;
  volatile int32_t w = 0, h = 0;
  const uint32_t code = K::RunTrapped([&] {
    for (uint32_t i = 0; i < controls.count; ++i) {
      int32_t cw, ch;
      getcontrolsize(measure, controls.items[i], &cw, &ch);
      if (cw > w) w = cw;
      if (ch > h) h = ch;
    }
  });
  if (measure) win_Destroy(measure);
  if (code) K::Errors::Qel_ErrorExit(code);
  *width = w;
  *height = h;
}

// --- Building the control database ---------------------------------------------------

namespace {

const wchar_t* Keep(const wchar_t* s) { return HeapCopy(s ? s : L""); }

BitmapIdTerm KeepBitmap(const BitmapIdTerm& b) {
  if (b.functor != 2) return b;
  return {b.functor, reinterpret_cast<uint64_t>(Keep(reinterpret_cast<const wchar_t*>(b.payload)))};
}

const slist_struct* KeepItems(const slist_struct* l) {
  auto* nil = static_cast<slist_struct*>(K::Memory::AllocHeap(sizeof(slist_struct)));
  nil->functor = ListNil;
  slist_struct* head = nil;
  slist_struct** link = &head;
  for (; l && l->functor == ListCons; l = l->next) {
    auto* c = static_cast<slist_struct*>(K::Memory::AllocHeap(sizeof(slist_struct)));
    c->functor = ListCons;
    c->value = Keep(l->value);
    c->next = nil;
    *link = c;
    link = &c->next;
  }
  return head;
}

int32_t Max(int32_t a, int32_t b) { return a >= b ? a : b; }

struct Cursor {
  int32_t x, y, rowMax;
};

// One layout step: stores the entry's record and moves the cursor.
void build_control_database8(LONG_PTR win, const style& s, const control& c, Cursor* at) {
  const TbRec* tb = TbOf(win);
  if (!tb) return;
  const bool horizontal = Horizontal(s);
  const int32_t x = at->x, y = at->y;
  switch (c.kind) {
    case ControlKind::tb_ctrl: {
      int32_t pw, ph;
      picturegetsize(c.bitmap, &pw, &ph);
      rect_struct r = horizontal
                          ? rect_struct{x, y, AddChecked(x, AddChecked(pw, 2)), AddChecked(y, tb->maxH)}
                          : rect_struct{x, y, AddChecked(x, tb->maxW), AddChecked(y, AddChecked(ph, 2))};
      facts().ctrl.Assert({win, c.id, 0, c.controlStyle, r, KeepBitmap(c.bitmap), Keep(c.text),
                           c.enabled, c.state});
      if (horizontal) {
        at->x = AddChecked(x, AddChecked(pw, 3));
        at->rowMax = Max(at->rowMax, r.right);
      } else {
        *at = {0, AddChecked(y, AddChecked(ph, 3)), 0};
      }
      break;
    }
    case ControlKind::tb_text: {
      const int32_t right = AddChecked(x, c.width);
      rect_struct r{x, y, right, AddChecked(y, tb->maxH)};
      facts().text.Assert({win, c.id, c.textStyle, r, c.fontStyle, c.fontFamily, c.fontSize,
                           c.textColor, Keep(c.text)});
      if (horizontal) {
        at->x = right;
        at->rowMax = Max(at->rowMax, right);
      } else {
        *at = {0, AddChecked(y, tb->maxH), 0};
      }
      break;
    }
    case ControlKind::tb_lbut: {
      if (!horizontal) break;
      const int32_t right = AddChecked(x, c.width);
      facts().lbut.Assert({win, c.id, rect_struct{x, y, right, AddChecked(y, tb->maxH)},
                           KeepItems(c.items), c.enabled, c.state});
      at->x = right;
      at->rowMax = Max(at->rowMax, right);
      break;
    }
    case ControlKind::separator: {
      if (horizontal) {
        const int32_t x1 = AddChecked(x, 1), x2 = AddChecked(x, 2);
        const int32_t bottom = AddChecked(y, AddChecked(tb->maxH, 1));
        facts().separatorline.Assert({win, {x1, y}, {x1, bottom}, {x2, y}, {x2, bottom}});
        at->x = AddChecked(x, 4);
        at->rowMax = Max(at->rowMax, at->x);
      } else {
        const int32_t y1 = AddChecked(y, 1), y2 = AddChecked(y, 2);
        const int32_t right = AddChecked(x, AddChecked(tb->maxW, 1));
        facts().separatorline.Assert({win, {x, y1}, {right, y1}, {x, y2}, {right, y2}});
        *at = {0, AddChecked(y, 4), 0};
      }
      break;
    }
    case ControlKind::new_row:
      if (multiple_rows(s)) {
        at->x = getleftoffset(s);
        at->y = AddChecked(y, AddChecked(tb->maxH, 2));
      }
      break;
  }
}

void set_new_kwitbarattr(const style& s, int32_t thickness, LONG_PTR parent);

// The toolbar's size once the list is laid out.
void rightbottom(LONG_PTR win, const style& s, const Cursor& at, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  const TbRec* tb = TbOf(win);
  if (!tb) return;
  switch (s.kind) {
    case StyleKind::tb_inside:
      *width = AddChecked(at.rowMax, 1);
      *height = AddChecked(AddChecked(at.y, tb->maxH), 1);
      return;
    case StyleKind::tb_moveable: {
      volatile LONG_PTR mdi = 0, task = 0;
      const uint32_t code = K::RunTrapped([&] {
        mdi = kwi_GetAttrVal(10002);
        task = kwi_GetAttrVal(301);
      });
      ClearCaught(code);
      *width = at.rowMax;
      *height = AddChecked(at.y, tb->maxH);
      if (code == 0 && mdi == 1 && tb->parent == task)
        *height = AddChecked(*height, static_cast<int32_t>(kwi_GetAttrVal(507)));
      return;
    }
    case StyleKind::tb_top:
    case StyleKind::tb_bottom:
      *height = AddChecked(AddChecked(at.y, tb->maxH), getbottomoffset(s));
      set_new_kwitbarattr(s, *height, tb->parent);
      *width = win_GetClientRect(tb->parent)->right;
      return;
    case StyleKind::tb_left:
    case StyleKind::tb_right:
      *width = AddChecked(AddChecked(at.x, tb->maxW), getrightoffset(s));
      set_new_kwitbarattr(s, *width, tb->parent);
      *height = win_GetClientRect(tb->parent)->bottom;
      return;
  }
}

int32_t MarginAttribute(const style& s) {
  switch (s.kind) {
    case StyleKind::tb_top: return 10004;
    case StyleKind::tb_bottom: return 10005;
    case StyleKind::tb_left: return 10010;
    case StyleKind::tb_right: return 10011;
    default: return 0;
  }
}

void set_new_kwitbarattr(const style& s, int32_t thickness, LONG_PTR parent) {
  if (win_GetType(parent) != wt_task || !MarginAttribute(s)) return;
  kwi_SetAttrVal(MarginAttribute(s), thickness);
}

}  // namespace

void remove_kwitbarattr(const style& s, LONG_PTR parent) {
  if (!MarginAttribute(s) || win_GetType(parent) != wt_task || kwi_GetAttrVal(10002) == 0) return;
  kwi_SetAttrVal(MarginAttribute(s), 0);
}

void build_control_database(LONG_PTR win, const style& s, control_list controls, int32_t* width,
                            int32_t* height) {
  Cursor at{getleftoffset(s), gettopoffset(s), 0};
  for (uint32_t i = 0; i < controls.count; ++i)
    build_control_database8(win, s, controls.items[i], &at);
  rightbottom(win, s, at, width, height);
}

// --- Placement -------------------------------------------------------------------------

void get_inits_for_twin(LONG_PTR parent, int32_t* left, int32_t* top, int32_t* right,
                        int32_t* bottom) {
  *left = *top = *right = *bottom = 0;
  if (win_GetType(parent) != wt_task) return;
  *left = static_cast<int32_t>(kwi_GetAttrVal(10010));
  *top = static_cast<int32_t>(kwi_GetAttrVal(10004));
  *right = static_cast<int32_t>(kwi_GetAttrVal(10011));
  *bottom = static_cast<int32_t>(kwi_GetAttrVal(10005));
}

void get_inits(LONG_PTR win, const style& s, int32_t parentBottom, int32_t parentRight,
               int32_t* top, int32_t* left) {
  *top = *left = 0;
  if (multiple_rows(s)) {
    *left = s.origin.x;
    *top = s.origin.y;
    return;
  }
  if (s.kind == StyleKind::tb_top) return;
  const TbRec* tb = TbOf(win);
  if (!tb) return;
  int32_t ml, mt, mr, mb;
  get_inits_for_twin(tb->parent, &ml, &mt, &mr, &mb);
  switch (s.kind) {
    case StyleKind::tb_left: *top = mt; break;
    case StyleKind::tb_bottom: *top = SubChecked(parentBottom, tb->maxH); break;
    case StyleKind::tb_right:
      *left = SubChecked(parentRight, tb->maxW);
      *top = mt;
      break;
    default: break;
  }
}

// --- Binding the records to the window -----------------------------------------------

void split_control_text(const wchar_t* text, const wchar_t** tooltip, const wchar_t** status) {
  const wchar_t* semi = wcschr(text, L';');
  if (!semi) {
    *tooltip = text;
    *status = L"";
    return;
  }
  const size_t n = static_cast<size_t>(semi - text);
  auto* front = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(static_cast<uint32_t>((n + 1) * 2)));
  wmemcpy(front, text, n);
  front[n] = 0;
  *tooltip = front;
  *status = HeapCopy(semi + 1);
}

void tooltip_register(LONG_PTR win, const rect_struct& r, const wchar_t* text) {
  if (!*text) return;
  facts().tooltip_info.RetractAll(
      [&](const TipInfoRec& t) { return t.win == win && SameRect(t.rect, r); });
  facts().tooltip_info.Assert({win, r, text});
}

namespace {

// Moves every record of `oldWin` matching `p` to `newWin`, in store order.
template <class R, class P>
void Rekey(FactChain<R>& chain, LONG_PTR oldWin, LONG_PTR newWin, P&& extra) {
  auto s = chain.Collect([&](const R& r) { return r.win == oldWin && extra(r); });
  for (uint32_t i = 0; i < s.count; ++i) chain.Replace(s.items[i], [&](R& r) { r.win = newWin; });
}

// Splits the button's text, keeps its status part and registers its tooltip.
void BindButton(CtrlRec* c, LONG_PTR win) {
  const wchar_t* tooltip;
  const wchar_t* status;
  split_control_text(c->text, &tooltip, &status);
  const CtrlRec* bound = facts().ctrl.Replace(c, [&](CtrlRec& r) {
    r.win = win;
    r.text = status;
  });
  tooltip_register(win, bound->rect, tooltip);
}

}  // namespace

void set_ctrl_to_tb_win(LONG_PTR oldWin, LONG_PTR newWin) {
  Facts& f = facts();
  Rekey(f.tb, oldWin, newWin, [](const TbRec&) { return true; });
  auto buttons = f.ctrl.Collect([&](const CtrlRec& c) { return c.win == oldWin && c.group == 0; });
  for (uint32_t i = 0; i < buttons.count; ++i) BindButton(buttons.items[i], newWin);
  Rekey(f.text, oldWin, newWin, [](const TextRec&) { return true; });
  Rekey(f.lbut, oldWin, newWin, [](const LbutRec&) { return true; });
  Rekey(f.separatorline, oldWin, newWin, [](const SepRec&) { return true; });
}

void set_ctrl_to_tb_win1(LONG_PTR win) {
  auto buttons = facts().ctrl.Collect([&](const CtrlRec& c) { return c.win == win; });
  for (uint32_t i = 0; i < buttons.count; ++i) BindButton(buttons.items[i], win);
}

void RetractControls(LONG_PTR win) {
  Facts& f = facts();
  f.ctrl.RetractAll([&](const CtrlRec& r) { return r.win == win; });
  f.lbut.RetractAll([&](const LbutRec& r) { return r.win == win; });
  f.text.RetractAll([&](const TextRec& r) { return r.win == win; });
  f.separatorline.RetractAll([&](const SepRec& r) { return r.win == win; });
}

// --- List buttons ----------------------------------------------------------------------

namespace {

// 13 enables, 12 disables; 0 for any other value.
int32_t get_flag(int32_t enabled) { return enabled == 1 ? 13 : enabled == 0 ? 12 : 0; }

}  // namespace

void ShowListValue(LONG_PTR ctl, const slist_struct* items, int32_t selection, int32_t enabled) {
  lbox_Suspend(ctl);
  if (items) lbox_Add_1(ctl, -1, const_cast<slist_struct*>(items));
  lbox_SetSel(ctl, selection, 1);
  lbox_Resume(ctl);
  if (const int32_t flag = get_flag(enabled)) win_SetState(ctl, kd::Ints({flag}));
}

void create_listcontrols(LONG_PTR win) {
  auto buttons = facts().lbut.Collect([&](const LbutRec& l) { return l.win == win; });
  for (uint32_t i = 0; i < buttons.count; ++i) {
    const LbutRec& l = *buttons.items[i];
    const int32_t id = SignedId(l.id);
    const LONG_PTR ctl =
        win_CreateControl(wt_listbutton,
                          kd::Rect(l.rect.left, AddChecked(l.rect.top, 1), l.rect.right,
                                   AddChecked(l.rect.top, 121)),
                          L"", win, kd::Ints({}), id);
    ShowListValue(ctl, l.items, l.selection, l.enabled);
  }
}

void toolbar_retract_controls(LONG_PTR win) {
  auto buttons = facts().lbut.Collect([&](const LbutRec& l) { return l.win == win; });
  for (uint32_t i = 0; i < buttons.count; ++i) {
    const uint32_t id = buttons.items[i]->id;
    facts().lbut.Retract(buttons.items[i]);
    const uint32_t code = K::RunTrapped([&] { win_Destroy(win_GetCtlHandle(win, SignedId(id))); });
    ClearCaught(code);
  }
}

// --- Fonts, colours, repainting --------------------------------------------------------

uint8_t* createtoolbarfont(int32_t family, int32_t fontStyle, int16_t size) {
  uint8_t* volatile font = nullptr;
  const uint32_t code =
      K::RunTrapped([&] { font = font_Create(family, kd::Ints({fontStyle}), size); });
  if (code == 0) return font;
  ClearCaught(code);
  return font_Create(4, kd::Ints({}), 10);
}

void buttoncolors(uint32_t* face, uint32_t* highlight, uint32_t* shadow) {
  *face = static_cast<uint32_t>(kwi_GetAttrVal(108));
  *highlight = static_cast<uint32_t>(kwi_GetAttrVal(127));
  *shadow = static_cast<uint32_t>(kwi_GetAttrVal(109));
}

void tbar_invalidate(LONG_PTR win, const style& s, int32_t parentBottom, int32_t parentRight,
                     const rect_struct& old) {
  if (Horizontal(s))
    win_Invalidate_1(win, kd::Rect(SubChecked(old.right, 2), 0, parentRight, old.bottom));
  else
    win_Invalidate_1(win, kd::Rect(0, SubChecked(old.bottom, 5), old.right, parentBottom));
}

}  // namespace tav::tbar
