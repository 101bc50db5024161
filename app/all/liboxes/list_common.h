// list_common: what the roster's list views share: the object allocation
// on the collected heap, the layout of the title band and rows, the pop-up
// menu copied off the global stack, row texts, the refill of the rows and
// the base of the views that are their own list box (row_list).
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
// The list font option, then clear and the rows, not drawn.
void Fill(rizediveva6::libox* l, const rizediveva6::List<rizediveva6::line>* rows);
// Fill, then draw.
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
// Selection call-back of the lists whose base leaves the drawing to them:
// draws the list and succeeds for a column above 2, fails for the others.
void DrawnSelection(void* list, uint32_t column, uint32_t row, const rizediveva6::line& l);

// A list view that is its own list box and numbers its rows.  Each view
// declares the operations the command tree calls itself, in the order of
// its own method table, and states its look, rows and print title.
class row_list : public rizediveva6::libox {
 public:
  rizediveva6::libox* list_box() { return this; }

 protected:
  // What the views' set-up differs in.
  struct look {
    const wchar_t* name;  // window name, also the key of the saved widths
    uint32_t menu;        // pop-up menu resource
    bool bold;            // selected rows bold
    // Last column (from 0) whose click checks a row, with multiple
    // selection and the check column; 0: no check marks.  A click in a
    // column above 2 leaves the drawing to the view (DrawnSelection).
    uint32_t checks_to;
    std::initializer_list<uint32_t> widths;
    std::initializer_list<const wchar_t*> titles;
  };
  // Builds the base in `window` with the layout and `l`, and installs the
  // base's event handler there; the rows are the view's.
  void set_up(LONG_PTR window, const look& l);
  // 10102: print under `title`; 10101: copy; false for any other id.
  bool print_or_copy(uint32_t id, const wchar_t* title);

  uint32_t xcount_ = 0;  // rows made by the last production
};

}  // namespace all::lists
