// Dynamic pop-up menus of the calendar layers: text items and their lists.
//
// Invariants: every term lives on the collected heap (menus are built in
// walks that backtrack over the global stack); items have no accelerator,
// are enabled and not checked.
#pragma once

#include "KWI/orvtoolkwi/heap_array.h"
#include "qel6kwi.h"

namespace all::dyn_menu {

// A txt item; sub: its sub-items (null: none).
QEL_KWI::menu_item* Item(uint32_t id, const wchar_t* text, QEL_KWI::menu_item_list_struct* sub);
QEL_KWI::menu_item* Separator();
// The list of the items in order.
QEL_KWI::menu_item_list_struct* ListOf(const rizediveva6::HeapArray<QEL_KWI::menu_item*>& items);
// dynmenu(items) on the collected heap.
QEL_KWI::menu_struct* Menu(const rizediveva6::HeapArray<QEL_KWI::menu_item*>& items);

}  // namespace all::dyn_menu
