// we_libox: the list view of the weekend day-slots: per weekend day-slot
// its number, day name and slot name, day by day in the week's day order
// and within a day in slot order.
//
// Invariants:
//  - The rows are those of the store at creation; updt only draws them
//    (after a change the command tree makes the list anew).
//  - No selection, no data properties, no call-backs.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace all {

class we_libox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10129;

  static we_libox* new_we_libox(LONG_PTR window);

  virtual void updt();
  virtual void destroy_scroll2();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();

  uint32_t xcount_ = 0;
};

}  // namespace all
