// cannot_libox: the list view of the can't-do rules: the doctors' rules,
// then the groups' rules, each with its number, the name, the rule's text
// and its reference in "rule_chain"; checked rows are deleted by that
// reference.
//
// Invariants:
//  - Each stored rule is listed at most once: a doctor's rule under the
//    first doctor of that name, a group's under the first group of that
//    name; rules of other names are not listed.
//  - Cell 4 of a row is its rule's reference as text; a deletion reads it
//    back and deletes only references that are stored, each once.
#pragma once

#include "liboxes/list_common.h"

namespace all {

class cannot_libox : public lists::row_list {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10107;

  static cannot_libox* new_cannot_libox(LONG_PTR window);

  // Method table, in slot order.
  virtual void del_selected();
  virtual void update_libox() { lists::Refill(this, make_lines_x()); }
  virtual void destroy_scroll2() { destroy_scroll(); }
  virtual bool popup_callback(uint32_t id) { return print_or_copy(id, L"Print 'Can't do' rules"); }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
};

}  // namespace all
