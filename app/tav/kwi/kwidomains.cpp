// GUI record terms on the global stack: list cells {1, head, tail}, the empty
// list {2}, every word 8 bytes.
#include "kwi/kwidomains.h"

namespace tav::kwidomains {

using QEL_KWI::ListCons;
using QEL_KWI::ListNil;
using QEL_KWI::wdef;

namespace {

template <class T>
T* New() {
  auto* t = static_cast<T*>(GStackAlloc(sizeof(T)));
  *t = T{};
  return t;
}

// A list of `count` values, built from the back.
template <class Cell, class Value>
Cell* List(const Value* values, uint32_t count) {
  Cell* l = New<Cell>();
  l->functor = ListNil;
  for (uint32_t i = count; i-- > 0;) {
    Cell* c = New<Cell>();
    c->functor = ListCons;
    c->value = values[i];
    c->next = l;
    l = c;
  }
  return l;
}

wdef* Wdef(int32_t type, rect_struct* r, const wchar_t* title, int32_t unit) {
  wdef* w = New<wdef>();
  *w = {type, r, title ? title : L"", unit};
  return w;
}

windef* Def(uintptr_t alt, std::initializer_list<LONG_PTR> words) {
  windef* d = New<windef>();
  d->alt = alt;
  int i = 0;
  for (LONG_PTR w : words) d->w[i++] = w;
  return d;
}

template <class Cell>
uint32_t Count(const Cell* l) {
  uint32_t n = 0;
  for (; l && l->functor == ListCons; l = l->next) ++n;
  return n;
}

LONG_PTR P(const void* p) { return reinterpret_cast<LONG_PTR>(p); }

}  // namespace

ilist_struct* Ints(const int64_t* values, uint32_t count) {
  return List<ilist_struct>(values, count);
}
ilist_struct* Ints(std::initializer_list<int64_t> values) {
  return Ints(values.begin(), static_cast<uint32_t>(values.size()));
}
slist_struct* Strings(std::initializer_list<const wchar_t*> values) {
  return List<slist_struct>(values.begin(), static_cast<uint32_t>(values.size()));
}

rect_struct* Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  rect_struct* r = New<rect_struct>();
  *r = {left, top, right, bottom};
  return r;
}

pnt_struct* Point(int32_t x, int32_t y) {
  pnt_struct* p = New<pnt_struct>();
  *p = {x, y};
  return p;
}

menu_struct* NoMenu() {
  menu_struct* m = New<menu_struct>();
  *m = {3, 0};
  return m;
}

menu_struct* ResMenu(uint32_t id) {
  menu_struct* m = New<menu_struct>();
  *m = {1, id};
  return m;
}

windef* DlgFont(int32_t type, rect_struct* r, const wchar_t* title, int32_t unit,
                const wchar_t* face, int32_t size, ilist_struct* flags) {
  return Def(QEL_KWI::wd_dlgfont, {P(Wdef(type, r, title, unit)), P(face), size, P(flags)});
}

windef* Ctl(int32_t type, rect_struct* r, const wchar_t* title, int64_t id, ilist_struct* flags) {
  return Def(QEL_KWI::wd_ctl, {P(Wdef(type, r, title, kDialogUnits)), static_cast<LONG_PTR>(id), P(flags)});
}

windef* Icon(rect_struct* r, int64_t id, int64_t iconId, ilist_struct* flags) {
  return Def(QEL_KWI::wd_icon, {P(Wdef(QEL_KWI::wt_icon, r, L"", kDialogUnits)), static_cast<LONG_PTR>(id),
                                static_cast<LONG_PTR>(iconId), P(flags)});
}

windef* CustomCtl(int32_t type, rect_struct* r, const wchar_t* title, int32_t unit,
                  const wchar_t* className, int64_t id, ilist_struct* flags) {
  return Def(QEL_KWI::wd_customctl,
             {P(Wdef(type, r, title, unit)), P(className), static_cast<LONG_PTR>(id), P(flags)});
}

windef_list_struct* Windefs(windef* const* items, uint32_t count) {
  return List<windef_list_struct>(items, count);
}
windef_list_struct* Windefs(std::initializer_list<windef*> items) {
  return Windefs(items.begin(), static_cast<uint32_t>(items.size()));
}

uint32_t Length(const slist_struct* l) { return Count(l); }
uint32_t Length(const ilist_struct* l) { return Count(l); }

bool Contains(const ilist_struct* l, int64_t value) {
  for (; l && l->functor == ListCons; l = l->next)
    if (l->value == value) return true;
  return false;
}

}  // namespace tav::kwidomains
