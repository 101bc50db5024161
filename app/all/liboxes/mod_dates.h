// mod_dates: the list view of the roster's per-date changes: a row number,
// the date, task, location, day and slot of each change and whether it adds
// a duty or removes a typical one, in the order the changes are stored.
//
// Invariants:
//  - The rows are those of the store at the last update_libox, all white.
//  - The list changes nothing in the store: del_selected only tells the
//    user and refreshes.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace all {

class mod_dates : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10110;

  static mod_dates* new_mod_dates(LONG_PTR window);

  virtual void update_libox();
  virtual void destroy_scroll2();
  virtual void del_selected();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();

  uint32_t xcount_ = 0;
};

}  // namespace all
