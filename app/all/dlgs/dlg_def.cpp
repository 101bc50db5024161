// The window definition's cells, each allocated once.
#include "dlgs/dlg_def.h"

#include <iterator>

#include "qel6kernel.h"

namespace all::dlgs {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

template <class T>
T* Keep(const T& v) {
  auto* p = static_cast<T*>(K::Memory::AllocUncollectableHeap(sizeof(T)));
  *p = v;
  return p;
}

ilist_struct* Flags(std::initializer_list<int> flags) {
  ilist_struct* list = Keep(ilist_struct{ListNil, 0, nullptr});
  for (auto f = std::rbegin(flags); f != std::rend(flags); ++f) list = Keep(ilist_struct{ListCons, *f, list});
  return list;
}

LONG_PTR W(const void* p) { return reinterpret_cast<LONG_PTR>(p); }

}  // namespace

windef_list_struct* MakeDefinition(const Dialog& d, std::initializer_list<Control> controls) {
  windef_list_struct* list = Keep(windef_list_struct{ListNil, nullptr, nullptr});
  for (auto c = std::rbegin(controls); c != std::rend(controls); ++c) {
    wdef* def = Keep(wdef{c->type, Keep(c->rect), reinterpret_cast<const u16*>(c->text), 2});
    windef* ctl = Keep(windef{wd_ctl, {W(def), c->id, W(Flags(c->flags)), 0}});
    list = Keep(windef_list_struct{ListCons, ctl, list});
  }
  wdef* def = Keep(wdef{d.type, Keep(d.rect), reinterpret_cast<const u16*>(d.title), 2});
  windef* dialog = Keep(windef{wd_dlgfont, {W(def), W(d.font), d.fontSize, W(Flags(d.flags))}});
  return Keep(windef_list_struct{ListCons, dialog, list});
}

}  // namespace all::dlgs
