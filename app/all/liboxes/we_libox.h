// we_libox: the list view of the weekend day-slots: per weekend day-slot
// its number, day name and slot name, day by day in the week's day order
// and within a day in slot order.
//
// Invariants:
//  - The rows are those of the store at creation; updt only draws them
//    (after a change the command tree makes the list anew).
//  - No selection, no data properties, no call-backs.
#pragma once

#include "liboxes/list_common.h"

namespace all {

class we_libox : public lists::row_list {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10129;

  static we_libox* new_we_libox(LONG_PTR window);

  // Method table, in slot order.
  virtual void updt() { lbox_draw(); }
  virtual void destroy_scroll2() { destroy_scroll(); }
  virtual bool popup_callback(uint32_t id) { return print_or_copy(id, L"Print weekend duties"); }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
};

}  // namespace all
