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

#include "KWI/orvtoolkwi/libox.h"

namespace all {

class hol_libox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10132;

  static hol_libox* new_hol_libox(LONG_PTR window);

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
