// hol_libox: the list view of the holidays: per holiday its number and its
// date; checked rows are deleted.
//
// Invariants:
//  - Row r (from 1) shows the r-th holiday of "holiday_chain" as of the
//    last update_libox.
//  - A deletion turns every checked row into the stored holiday its date
//    text names before the first deletion; a row whose date is no longer
//    stored is passed over.
#pragma once

#include "liboxes/list_common.h"

namespace all {

class hol_libox : public lists::row_list {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10132;

  static hol_libox* new_hol_libox(LONG_PTR window);

  // Method table, in slot order.
  virtual void update_libox() { lists::Refill(this, make_lines_x()); }
  virtual void destroy_scroll2() { destroy_scroll(); }
  virtual void del_selected();
  virtual bool popup_callback(uint32_t id) { return print_or_copy(id, L"Print holidays"); }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
};

}  // namespace all
