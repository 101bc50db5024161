// mod_dates: the list view of the roster's per-date changes: a row number,
// the date, task, location, day and slot of each change and whether it adds
// a duty or removes a typical one, in the order the changes are stored.
//
// Invariants:
//  - The rows are those of the store at the last update_libox, all white.
//  - The list changes nothing in the store: del_selected only tells the
//    user and refreshes.
#pragma once

#include "liboxes/list_common.h"

namespace all {

class mod_dates : public lists::row_list {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10110;

  static mod_dates* new_mod_dates(LONG_PTR window);

  // Method table, in slot order.
  virtual void update_libox() { lists::Refill(this, make_lines_x()); }
  virtual void destroy_scroll2() { destroy_scroll(); }
  virtual void del_selected();
  virtual bool popup_callback(uint32_t id) { return print_or_copy(id, L"Print list of modified duties to be done"); }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
};

}  // namespace all
