// ties_libox: the list view of the roster's ties: per tie its number, its
// repetition, whom it applies to, both duties, its kind and its reference
// in "tie_chain"; checked rows are deleted by that reference.
//
// Invariants:
//  - Ties whose duties are gone are removed before the first rows are made.
//  - Cell 7 of a row is its tie's reference as text; a deletion reads it
//    back and deletes only references that are stored, each once.
//  - Rows are numbered 1..n at every production.
#pragma once

#include "liboxes/list_common.h"

namespace all {

class ties_libox : public lists::row_list {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10103;

  static ties_libox* new_ties_libox(LONG_PTR window);

  // Method table, in slot order.
  virtual void del_selected();
  virtual void update_libox() { lists::Refill(this, make_lines_x()); }
  virtual void destroy_scroll2() { destroy_scroll(); }
  virtual bool popup_callback(uint32_t id) { return print_or_copy(id, L"Print TIES"); }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
};

}  // namespace all
