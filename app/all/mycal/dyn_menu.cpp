// dyn_menu: see the header.
#include "mycal/dyn_menu.h"

namespace all::dyn_menu {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

template <class T>
T* Alloc() {
  return static_cast<T*>(K::Memory::AllocHeap(sizeof(T)));
}

}  // namespace

menu_item* Item(uint32_t id, const wchar_t* text, menu_item_list_struct* sub) {
  static menu_accelerator none{1, 0, 0};
  auto* it = Alloc<menu_item>();
  *it = {1, {static_cast<LONG_PTR>(id), reinterpret_cast<LONG_PTR>(text), reinterpret_cast<LONG_PTR>(&none), 1, 0,
             reinterpret_cast<LONG_PTR>(sub)}};
  return it;
}

menu_item* Separator() {
  auto* it = Alloc<menu_item>();
  *it = {3, {}};
  return it;
}

menu_item_list_struct* ListOf(const rizediveva6::HeapArray<menu_item*>& items) {
  auto* l = Alloc<menu_item_list_struct>();
  *l = {ListNil, nullptr, nullptr};
  for (uint32_t i = items.size(); i > 0; --i) {
    auto* c = Alloc<menu_item_list_struct>();
    *c = {ListCons, items[i - 1], l};
    l = c;
  }
  return l;
}

menu_struct* Menu(const rizediveva6::HeapArray<menu_item*>& items) {
  auto* m = Alloc<menu_struct>();
  *m = {2, reinterpret_cast<uintptr_t>(ListOf(items))};
  return m;
}

}  // namespace all::dyn_menu
