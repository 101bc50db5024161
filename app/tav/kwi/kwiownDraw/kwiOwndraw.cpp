// kwiOwndraw.  Invariants: facts keep assertion order (the first match is
// the oldest); replacing a fact retracts it and appends the new one; only
// destroy removes facts, and only rectangles; the draw operations never
// fail, a case they do not cover draws nothing.
#include "kwi/kwiownDraw/kwiOwndraw.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "exception/exception.h"
#include "kwi/kwicommondialogs.h"
#include "kwi/kwidomains.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwiOwndraw::classInfo{L"com/corvane/kwi/kwiOwndraw/kwiOwndraw", TAV_CLASS_VERSION};
const ExceptionDescriptor kwiOwndraw::wrongwindowtype{&kwiOwndraw::classInfo, L"wrongwindowtype",
                                                      L"Unexpected windowtype."};

namespace {

// Control kinds of the rectangle facts.
constexpr uint32_t kButton = 0, kListBox = 2, kMenuItem = 3, kRadio = 11;
// Item actions and states of the layer's owner-draw event.
constexpr int64_t kDrawEntire = 1, kFocusChanged = 2, kSelectionChanged = 3;
constexpr int64_t kSelected = 1, kFocus = 5;
constexpr uint32_t kBlack = 0x000000, kDarkGrey = 0x808080, kLightGrey = 0xC0C0C0,
                   kWhite = 0xFFFFFF;

struct RadioFact {
  LONG_PTR parent;
  uint32_t id;
  LONG_PTR window;
  int16_t group;
  int32_t checked;
};
struct RectFact {
  LONG_PTR parent;
  uint32_t id;
  rect_struct r;
  uint32_t kind;
};

struct Facts {
  std::vector<RadioFact> radios;
  bool groupRadio0 = false;
  bool checkFlagButton = false;
  bool hasGroups = false;
  int16_t groups = 0;
  std::vector<RectFact> rects;
  std::vector<LONG_PTR> checked;
};
Facts& Db() {
  static Facts f;
  return f;
}

void Append(const RadioFact& f) { Db().radios.push_back(f); }
void RetractRadios(LONG_PTR parent, uint32_t id) {
  std::erase_if(Db().radios, [&](const RadioFact& f) { return f.parent == parent && f.id == id; });
}
const RadioFact* FirstRadio(LONG_PTR parent, uint32_t id) {
  for (const RadioFact& f : Db().radios)
    if (f.parent == parent && f.id == id) return &f;
  return nullptr;
}
const RadioFact* FirstOfGroup(LONG_PTR parent, int16_t group) {
  for (const RadioFact& f : Db().radios)
    if (f.parent == parent && f.group == group) return &f;
  return nullptr;
}

bool Has(const ilist_struct* l, int64_t v) { return kd::Contains(l, v); }
int64_t Action(const ilist_struct* l) { return l && l->functor == ListCons ? l->value : 0; }

// Unsigned ids that must become signed integers.
void CheckId(uint32_t id) {
  T::Check_IU_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer), id);
}

int32_t Checked(int32_t a, int32_t b, bool subtract) {
  int32_t r;
  if (subtract ? __builtin_sub_overflow(a, b, &r) : __builtin_add_overflow(a, b, &r))
    RaiseIntegerOverflow();
  return r;
}
int32_t Plus(int32_t a, int32_t b) { return Checked(a, b, false); }
int32_t Minus(int32_t a, int32_t b) { return Checked(a, b, true); }

// --- Drawing -------------------------------------------------------------------------

void Pen(LONG_PTR w, int32_t width, int32_t style, uint32_t colour) {
  pen_struct p{width, style, colour};
  win_SetPen(w, &p);
}
void Brush(LONG_PTR w, int32_t style, uint32_t colour) {
  brush_struct b{style, colour};
  win_SetBrush(w, &b);
}
void Hollow(LONG_PTR w) { Brush(w, 1, 0); }
void Rect(LONG_PTR w, int32_t l, int32_t t, int32_t r, int32_t b) {
  rect_struct x{l, t, r, b};
  draw_Rect(w, &x);
}
void Line(LONG_PTR w, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  pnt_struct a{x1, y1}, b{x2, y2};
  draw_Line(w, &a, &b);
}
void Polyline(LONG_PTR w, std::initializer_list<pnt_struct> points) {
  pnt_struct at[4];
  pntlist_struct cells[4];
  pntlist_struct end{ListNil, nullptr, nullptr};
  pntlist_struct* next = &end;
  size_t n = points.size();
  for (auto it = std::rbegin(points); it != std::rend(points); ++it) {
    at[--n] = *it;
    cells[n] = {ListCons, &at[n], next};
    next = &cells[n];
  }
  draw_Polyline(w, next);
}
void LightGreyFill(LONG_PTR w, const rect_struct& r) {
  Brush(w, 2, kLightGrey);
  Pen(w, 1, 0, kLightGrey);
  Rect(w, r.left, r.top, r.right, r.bottom);
}
void FocusFrame(LONG_PTR w, const rect_struct& r, int32_t shrink, int32_t down) {
  Pen(w, 1, 2, kBlack);
  Hollow(w);
  Rect(w, Plus(r.left, shrink), Plus(Plus(r.top, shrink), down), Minus(r.right, shrink),
       Plus(Minus(r.bottom, shrink), down));
}

template <class F, class... A>
void Call(const OdCallback* f, A... args) {
  if (!f || !f->function) return;
  if (f->object)
    reinterpret_cast<void (*)(void*, A...)>(f->function)(f->object, args...);
  else
    reinterpret_cast<F>(f->function)(args...);
}

// The button's light-grey face from (0, 0), then its content at `offset`.
void ButtonFace(LONG_PTR w, rect_struct* r, int32_t offset, const OdCallback* f) {
  Pen(w, 1, 0, kBlack);
  Brush(w, 2, kLightGrey);
  Rect(w, 0, 0, r->right, r->bottom);
  Call<ButFunc>(f, w, offset, offset, r);
}

void DrawRaised(LONG_PTR w, rect_struct* r, const OdCallback* f) {
  const int32_t R = r->right, B = r->bottom;
  ButtonFace(w, r, 0, f);
  Pen(w, 4, 0, kWhite);
  Polyline(w, {{Minus(R, 3), 3}, {3, 3}, {3, Minus(B, 3)}});
  Pen(w, 4, 0, kDarkGrey);
  Polyline(w, {{7, Minus(B, 3)}, {Minus(R, 3), Minus(B, 3)}, {Minus(R, 3), 7}});
  Line(w, 5, Minus(B, 1), 10, Minus(B, 1));
  Line(w, Minus(R, 1), 5, Minus(R, 1), 10);
  Pen(w, 1, 0, kBlack);
  Line(w, 0, B, 6, Minus(B, 6));
  Line(w, R, 0, Minus(R, 6), 6);
  Line(w, R, B, Minus(R, 6), Minus(B, 6));
  Hollow(w);
  Rect(w, 0, 0, R, B);
}

void DrawPushed(LONG_PTR w, rect_struct* r, const OdCallback* f) {
  const int32_t R = r->right, B = r->bottom;
  ButtonFace(w, r, 6, f);
  Pen(w, 4, 0, kBlack);
  Polyline(w, {{Minus(R, 3), 3}, {3, 3}, {3, Minus(B, 3)}});
  Pen(w, 2, 0, kBlack);
  Line(w, 0, Minus(B, 1), Minus(R, 1), Minus(B, 1));
}

void DrawCheckBox(LONG_PTR w, rect_struct* item, rect_struct* box, int32_t checked,
                  const OdCallback* f) {
  const int32_t L = box->left, T = box->top, R = box->right, B = box->bottom;
  LightGreyFill(w, *item);
  Brush(w, 2, kWhite);
  Pen(w, 1, 0, kWhite);
  Rect(w, L, T, R, B);
  Call<CheckFunc>(f, w, item, box, checked);
  Pen(w, 1, 0, kDarkGrey);
  Polyline(w, {{Minus(L, 2), Plus(B, 1)}, {Minus(L, 2), Minus(T, 2)}, {Plus(R, 2), Minus(T, 2)}});
  Pen(w, 1, 0, kWhite);
  Polyline(w, {{Minus(L, 2), Plus(B, 2)}, {Plus(R, 2), Plus(B, 2)}, {Plus(R, 2), Minus(T, 1)}});
  Pen(w, 1, 0, kBlack);
  Polyline(w, {{Minus(L, 1), Minus(B, 1)}, {Minus(L, 1), Minus(T, 1)}, {Plus(R, 1), Minus(T, 1)}});
  Pen(w, 1, 0, kLightGrey);
  Polyline(w, {{Minus(L, 1), Plus(B, 1)}, {Plus(R, 1), Plus(B, 1)}, {Plus(R, 1), T}});
  Hollow(w);
  Pen(w, 1, 0, kBlack);
  Rect(w, item->left, item->top, item->right, item->bottom);
}

void DrawRadioButton(LONG_PTR w, uint32_t id, rect_struct* item, rect_struct* circle,
                     int32_t checked, const OdCallback* f) {
  const int32_t L = Minus(circle->left, 1), T = Minus(circle->top, 1), R = Plus(circle->right, 1),
                B = Plus(circle->bottom, 1);
  rect_struct e{L, T, R, B};
  LightGreyFill(w, *item);
  Brush(w, 2, kWhite);
  Pen(w, 1, 0, kWhite);
  draw_Ellipse(w, &e);
  Call<RadioFunc>(f, id, w, item, circle, checked);
  Pen(w, 1, 0, kBlack);
  rect_struct shadow{L, T, Plus(R, 5), Plus(B, 5)};
  draw_Arc(w, &shadow, Plus(Plus(L, R) / 2, 2), T, L, Plus(Plus(T, B) / 2, 2));
  Pen(w, 1, 0, kWhite);
  rect_struct light{Minus(L, 1), Minus(T, 1), Plus(R, 1), Plus(B, 1)};
  draw_Arc(w, &light, Plus(L, R) / 4, B, R, Plus(T, B) / 4);
  Pen(w, 1, 0, kLightGrey);
  Hollow(w);
  draw_Ellipse(w, &e);
  Pen(w, 1, 0, kBlack);
  Rect(w, item->left, item->top, item->right, item->bottom);
}

void DrawListItem(LONG_PTR control, rect_struct* r, bool selected, bool threeD, const wchar_t* text,
                  int32_t index, const OdCallback* f) {
  const int32_t L = r->left, T = r->top, R = r->right, B = r->bottom;
  if (threeD) {
    LightGreyFill(control, *r);
    Pen(control, 1, 0, selected ? kBlack : kWhite);
    Polyline(control, {{Plus(L, 1), Minus(B, 1)}, {Plus(L, 1), Plus(T, 1)}, {Minus(R, 1), Plus(T, 1)}});
    if (!selected) {
      Pen(control, 1, 0, kDarkGrey);
      Polyline(control, {{Plus(L, 1), Minus(B, 1)}, {Minus(R, 1), Minus(B, 1)}, {Minus(R, 1), Plus(T, 1)}});
    }
  }
  Call<LboxFunc>(f, control, r, selected ? int32_t{3} : int32_t{0}, text, index);
}

// Checks the first radio button of a group of the parent.
void CheckFirst(LONG_PTR parent, int16_t group) {
  const RadioFact* first = FirstOfGroup(parent, group);
  if (!first) return;
  RadioFact f = *first;
  f.checked = 1;
  RetractRadios(parent, f.id);
  Append(f);
}

void MoveToGroup(const RadioFact& f, int16_t group) {
  Db().groupRadio0 = false;
  RadioFact moved = f;
  moved.group = group;
  moved.checked = 0;
  std::erase_if(Db().radios, [&](const RadioFact& x) {
    return x.parent == f.parent && x.id == f.id && x.window == f.window && x.group == 0;
  });
  Append(moved);
}

int16_t NextGroup() {
  Facts& db = Db();
  const int32_t next = db.hasGroups ? Plus(db.groups, 1) : 1;
  T::Check_II_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer),
                    next);
  if (next > 32767)
    T::Check_IU_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer),
                      0x80000000u);
  db.hasGroups = true;
  db.groups = static_cast<int16_t>(next);
  return db.groups;
}

const RectFact* FirstRect(LONG_PTR parent, bool anyParent, uint32_t id, bool anyKind, uint32_t kind) {
  for (const RectFact& f : Db().rects)
    if ((anyParent || f.parent == parent) && f.id == id && (anyKind || f.kind == kind)) return &f;
  return nullptr;
}

menu_item_list_struct* Translate(const OdMenu* menu) {
  auto* end = static_cast<menu_item_list_struct*>(GStackAlloc(sizeof(menu_item_list_struct)));
  *end = {ListNil, nullptr, nullptr};
  menu_item_list_struct* head = end;
  menu_item_list_struct** tail = &head;
  int32_t y = 0;
  for (const OdMenu* l = menu; l && l->functor == ListCons; l = l->next) {
    const OdItem* it = l->head;
    const int32_t bottom = Plus(y, it->height);
    std::erase_if(Db().rects, [&](const RectFact& f) { return f.parent == 0 && f.id == it->tag; });
    Db().rects.push_back({0, it->tag, {0, y, it->width, bottom}, kMenuItem});
    auto* item = static_cast<menu_item*>(GStackAlloc(sizeof(menu_item)));
    *item = {2, {static_cast<LONG_PTR>(it->tag), 0, 1, 0,
                 reinterpret_cast<LONG_PTR>(Translate(it->submenu)), 0}};
    auto* cell = static_cast<menu_item_list_struct*>(GStackAlloc(sizeof(menu_item_list_struct)));
    *cell = {ListCons, item, end};
    *tail = cell;
    tail = &cell->next;
    y = bottom;
  }
  return head;
}

}  // namespace

// --- Creation ----------------------------------------------------------------------------

LONG_PTR kwiOwndraw::createcontrol(int32_t kind, uint32_t id, rect_struct* r, const wchar_t* title,
                                   LONG_PTR parent) {
  return createcontrol(kind, id, r, 0, title, parent);
}

LONG_PTR kwiOwndraw::createcontrol(int32_t kind, uint32_t id, rect_struct* r, int32_t unit,
                                   const wchar_t* title, LONG_PTR parent) {
  if (kind != wt_pushbutton && kind != wt_checkbox && kind != wt_radiobutton) {
    TAV_AT();
    exception::raise(&classInfo, &wrongwindowtype,
                     Values({{L"parameter", value::string(std::to_wstring(kind).c_str())}}));
  }
  Db().rects.push_back({parent, id, *r, kind == wt_radiobutton ? kRadio : kButton});
  CheckId(id);
  const bool radio = kind == wt_radiobutton;
  windef* def = kd::Ctl(kind, r, title, static_cast<int64_t>(id),
                        radio ? kd::Ints({35, 26}) : kd::Ints({35, 26, 25}));
  reinterpret_cast<wdef*>(def->w[0])->dlgUnits = unit;
  win_CreateDynControl(kd::Windefs({def}), parent);
  const LONG_PTR control = win_GetCtlHandle(parent, static_cast<int>(id));
  if (radio) {
    RetractRadios(parent, id);
    int32_t checked = 0;
    if (!Db().groupRadio0) {
      Db().groupRadio0 = true;
      checked = 1;
    }
    Append({parent, id, control, 0, checked});
  }
  return control;
}

void kwiOwndraw::creategroupbox(rect_struct* r, LONG_PTR parent) {
  const int16_t group = NextGroup();
  const std::vector<RectFact> rects = Db().rects;
  for (const RectFact& rf : rects) {
    if (rf.parent != parent || rf.kind != kRadio) continue;
    const RadioFact* f = nullptr;
    for (const RadioFact& x : Db().radios)
      if (x.parent == parent && x.id == rf.id && x.group == 0) {
        f = &x;
        break;
      }
    if (!f) continue;
    Db().groupRadio0 = false;
    rect_struct a = rf.r;
    const rect_struct* in = rect_Intersect(&a, r);
    // Grouped when the intersection is not empty (a button at x = 0 or y = 0 too).
    if (in->right > in->left && in->bottom > in->top) MoveToGroup(*f, group);
  }
  CheckFirst(parent, group);
  CheckFirst(parent, 0);
}

void kwiOwndraw::groupcontrols(int32_t group, const ilist_struct* ids, LONG_PTR parent) {
  for (const ilist_struct* l = ids; l && l->functor == ListCons; l = l->next) {
    if (l->value < 0 || l->value > UINT32_MAX)
      T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_), -1);
    const uint32_t id = static_cast<uint32_t>(l->value);
    for (const RadioFact& x : Db().radios)
      if (x.parent == parent && x.id == id && x.group == 0) {
        MoveToGroup(RadioFact(x), static_cast<int16_t>(group));
        break;
      }
  }
  CheckFirst(parent, static_cast<int16_t>(group));
  CheckFirst(parent, 0);
}

LONG_PTR kwiOwndraw::createlistbox(uint32_t id, rect_struct* r, const wchar_t* title, LONG_PTR parent,
                                   slist_struct* items, int32_t selected, int32_t rows) {
  return createlistbox(id, r, 0, title, parent, items, selected, rows);
}

LONG_PTR kwiOwndraw::createlistbox(uint32_t id, rect_struct* r, int32_t unit, const wchar_t* title,
                                   LONG_PTR parent, slist_struct* items, int32_t selected,
                                   int32_t rows) {
  // At least one row: the item height is the height divided by the rows.
  if (rows < 1)
    T::Check_IU_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer),
                      0x80000000u);
  const int32_t height = Minus(r->bottom, r->top) / rows;
  Db().rects.push_back({parent, id, {r->left, 0, r->right, height}, kListBox});
  CheckId(id);
  windef* def = kd::Ctl(wt_listbox, r, title, static_cast<int64_t>(id), kd::Ints({35, 56, 8, 26, 25}));
  reinterpret_cast<wdef*>(def->w[0])->dlgUnits = unit;
  win_CreateDynControl(kd::Windefs({def}), parent);
  const LONG_PTR box = win_GetCtlHandle(parent, static_cast<int>(id));
  lbox_Suspend(box);
  lbox_Add_1(box, -1, items);
  lbox_Resume(box);
  lbox_SetSel(box, selected, 1);
  return box;
}

menu_struct* kwiOwndraw::createmenu(const OdMenu* menu) {
  auto* m = static_cast<menu_struct*>(GStackAlloc(sizeof(menu_struct)));
  *m = {2, reinterpret_cast<uintptr_t>(Translate(menu))};
  return m;
}

int32_t kwiOwndraw::measurecontrol(uint32_t id) {
  const RectFact* f = FirstRect(0, false, id, false, kMenuItem);
  const int32_t less = f ? 12 : 0;
  if (!f) f = FirstRect(0, true, id, true, 0);
  if (!f) {
    const std::wstring text = L"Error measuring Control ID=" + std::to_wstring(id);
    kwiCommonDialogs::error(text.c_str());
    return 0;
  }
  const int32_t width = Minus(Minus(f->r.right, f->r.left), less);
  int32_t high;
  if (__builtin_mul_overflow(Minus(f->r.bottom, f->r.top), 65536, &high)) RaiseIntegerOverflow();
  return Plus(width, high);
}

// --- Drawing -------------------------------------------------------------------------------

void kwiOwndraw::drawbutton(const ilist_struct* action, const ilist_struct* state, rect_struct* r,
                            LONG_PTR window, const OdCallback* f) {
  Facts& db = Db();
  const int64_t a = Action(action);
  if (a != kSelectionChanged && db.checkFlagButton) {
    db.checkFlagButton = false;
    return;
  }
  if (a == kDrawEntire) return DrawRaised(window, r, f);
  if (a == kSelectionChanged && Has(state, kFocus) && Has(state, kSelected))
    return DrawPushed(window, r, f);
  if (!Has(state, kFocus)) return;
  DrawRaised(window, r, f);
  win_SetDrawMode(window, 12);
  FocusFrame(window, *r, 6, 0);
  db.checkFlagButton = true;
}

void kwiOwndraw::drawcheck(const ilist_struct* action, const ilist_struct* state, rect_struct* item,
                           rect_struct* box, LONG_PTR, LONG_PTR control, const OdCallback* f) {
  std::vector<LONG_PTR>& checked = Db().checked;
  const bool on = std::find(checked.begin(), checked.end(), control) != checked.end();
  const int64_t a = Action(action);
  if (a == kDrawEntire) return DrawCheckBox(control, item, box, on, f);
  if (a == kSelectionChanged && Has(state, kSelected)) {
    if (on)
      std::erase(checked, control);
    else
      checked.push_back(control);
    return;
  }
  if (Has(state, kFocus) && !Has(state, kSelected)) {
    DrawCheckBox(control, item, box, on, f);
    FocusFrame(control, *item, 2, 0);
  }
}

void kwiOwndraw::drawradio(const ilist_struct* action, const ilist_struct* state, rect_struct* item,
                           rect_struct* circle, LONG_PTR parent, LONG_PTR control, uint32_t id,
                           const OdCallback* f) {
  const int64_t a = Action(action);
  if (a == kDrawEntire) {
    if (const RadioFact* first = FirstRadio(parent, id)) {
      RadioFact fact = *first;
      fact.window = control;
      RetractRadios(parent, id);
      Append(fact);
      return DrawRadioButton(control, id, item, circle, fact.checked, f);
    }
  }
  if (a == kSelectionChanged && Has(state, kSelected)) {
    const RadioFact* self = nullptr;
    for (const RadioFact& x : Db().radios)
      if (x.parent == parent && x.id == id && x.window == control && x.checked == 0) {
        self = &x;
        break;
      }
    const RadioFact* other = nullptr;
    if (self)
      for (const RadioFact& x : Db().radios)
        if (x.parent == parent && x.group == self->group && x.checked == 1) {
          other = &x;
          break;
        }
    if (self && other) {
      RadioFact was = *other, now = *self;
      std::erase_if(Db().radios, [&](const RadioFact& x) {
        return x.parent == was.parent && x.id == was.id && x.window == was.window &&
               x.group == was.group && x.checked == 1;
      });
      was.checked = 0;
      Append(was);
      std::erase_if(Db().radios, [&](const RadioFact& x) {
        return x.parent == now.parent && x.id == now.id && x.window == now.window &&
               x.group == now.group && x.checked == 0;
      });
      now.checked = 1;
      Append(now);
      win_SetState(was.window, kd::Ints({11}));
      win_SetState(was.window, kd::Ints({10}));
      return;
    }
  }
  if (Has(state, kFocus) && !Has(state, kSelected)) {
    const RadioFact* self = nullptr;
    for (const RadioFact& x : Db().radios)
      if (x.id == id && x.window == control) {
        self = &x;
        break;
      }
    const RadioFact* on = nullptr;
    if (self)
      for (const RadioFact& x : Db().radios)
        if (x.parent == self->parent && x.group == self->group && x.checked == 1) {
          on = &x;
          break;
        }
    if (self && on) {
      DrawRadioButton(control, id, item, circle, on->window == control ? 1 : 0, f);
      FocusFrame(control, *item, 2, 0);
    }
  }
}

void kwiOwndraw::drawlistbox(const ilist_struct* action, const ilist_struct* state, rect_struct* item,
                             LONG_PTR, LONG_PTR control, uint32_t index, const OdCallback* f,
                             int32_t threeD) {
  CheckId(index);
  const int64_t a = Action(action);
  const bool raised = threeD == 1;
  if (a == kDrawEntire || a == kSelectionChanged) {
    const wchar_t* text = lbox_GetItem(control, static_cast<int>(index));
    return DrawListItem(control, item, false, raised, text, static_cast<int32_t>(index), f);
  }
  if (a == kFocusChanged && Has(state, kFocus) && Has(state, kSelected)) {
    const wchar_t* text = lbox_GetItem(control, static_cast<int>(index));
    DrawListItem(control, item, true, raised, text, static_cast<int32_t>(index), f);
    if (raised) FocusFrame(control, *item, 2, 1);
  }
}

void kwiOwndraw::drawmenu(const ilist_struct* action, const ilist_struct* state, LONG_PTR window,
                          uint32_t tag, const OdCallback* f) {
  const int64_t a = Action(action);
  if (a == kDrawEntire) {
    const std::vector<RectFact> rects = Db().rects;
    for (const RectFact& x : rects) {
      if (x.parent != 0 || x.kind != kMenuItem) continue;
      rect_struct r = x.r;
      Brush(window, 2, kWhite);
      Pen(window, 5, 0, kWhite);
      Rect(window, r.left, r.top, r.right, r.bottom);
      Call<MenuFunc>(f, window, x.id, &r, int32_t{0});
    }
    return;
  }
  if (a != kSelectionChanged) return;
  const RectFact* fact = FirstRect(0, false, tag, false, kMenuItem);
  if (!fact) return;
  rect_struct r = fact->r;
  if (Has(state, kSelected)) {
    Call<MenuFunc>(f, window, tag, &r, int32_t{1});
    Hollow(window);
    Pen(window, 5, 0, kBlack);
    Rect(window, r.left, r.top, r.right, r.bottom);
  } else {
    Hollow(window);
    Pen(window, 5, 0, kWhite);
    Rect(window, r.left, r.top, r.right, r.bottom);
    Call<MenuFunc>(f, window, tag, &r, int32_t{0});
  }
}

void kwiOwndraw::destroy(LONG_PTR parent) {
  std::erase_if(Db().rects, [&](const RectFact& f) { return f.parent == parent; });
}

void kwiOwndraw::destroy(LONG_PTR parent, uint32_t id) {
  std::erase_if(Db().rects, [&](const RectFact& f) { return f.parent == parent && f.id == id; });
}

}  // namespace tav
