// list_common: what the roster's list views share: the object allocation
// on the collected heap, the layout of the title band and rows, the pop-up
// menu copied off the global stack, row texts and the refill of the rows.
//
// Invariants:
//  - Every list object and everything it keeps (menus, cells) lives on the
//    collected heap; a menu loaded from the resources is copied whole,
//    sub-menus and texts included.
//  - Row numbers are decimal without leading zeros or blanks.
//  - A reference cell reads back to exactly the reference it was made from.
#pragma once

#include <cstring>
#include <initializer_list>
#include <new>

#include "KWI/orvtoolkwi/libox.h"
#include "qel6kwi.h"
#include "unit.h"

namespace all::lists {

// A new object of a list class; its finaliser drops the list box's
// database (T::list_box() names the list box, null before it exists).
template <class T>
T* NewObject() {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(T), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, [](void* b) {
    rizediveva6::TrapAndForget([&] {
      if (rizediveva6::libox* l = static_cast<T*>(b)->list_box()) l->delete_db();
    });
  });
  memset(block, 0, sizeof(T));
  return new (block) T();
}

// Title band 21..40, first row at 41, left margin 10.
void SetLayout(rizediveva6::libox* l);
// A menu's items copied whole to the collected heap.
QEL_KWI::menu_item_list_struct* HeapItems(const QEL_KWI::menu_item_list_struct* l);
// The menu resource `id` on the collected heap.
QEL_KWI::menu_struct* LoadMenu(uint32_t id);
// `n` as decimal text on the collected heap.
const wchar_t* Decimal(uint32_t n);
// The list font option, then clear, the rows, draw.
void Refill(rizediveva6::libox* l, const rizediveva6::List<rizediveva6::line>* rows);
// A row's cells on the collected heap, texts copied (rows are collected
// across walks that backtrack).
const rizediveva6::SList* HeapCells(std::initializer_list<const wchar_t*> texts);
// The "new->" row after `cells` empty texts.
rizediveva6::line InputRow(uint32_t emptyCells);
// A chain reference as the runtime writes a 32-bit reference (heap copy),
// and read back the same way; false for a text that is none.
const wchar_t* RefText(int32_t ref);
bool ReadRef(const wchar_t* text, int32_t* ref);
// The n-th cell (from 1) of a row's cells; false when the row is shorter.
bool NthCell(const rizediveva6::SList* cells, uint32_t n, const wchar_t** text);
// The references of the checked rows (cell `cell` of each) that are among
// `stored`, each once, in row order.
const rizediveva6::List<int32_t>* CheckedRefs(rizediveva6::libox* l, uint32_t cell,
                                              const rizediveva6::List<int32_t>* stored);
// The set-up the ties and can't-do lists share after their base is built
// in `window`: layout, bold then selectable columns 0..3, the handler,
// multiple selection, the check column, the menu and the DrawnSelection
// call-back.
void RefListSetUp(rizediveva6::libox* l, LONG_PTR window, uint32_t menu);
// Selection call-back of the lists whose base leaves the drawing to them:
// draws the list and succeeds for a column above 2, fails for the others.
void DrawnSelection(void* list, uint32_t column, uint32_t row, const rizediveva6::line& l);

}  // namespace all::lists
