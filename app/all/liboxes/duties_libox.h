// duties_libox: the list view of the roster's dated duties: either every
// assignment (doctor and duty) or every duty nobody is assigned to, one
// row each with its number, name ("-" when unassigned), task, location,
// date, day number, day name and slot; ordered by a click on a title.
//
// Invariants:
//  - The table shown (xdo_ass) is fixed at creation.
//  - The rows are one pass over the model's listings at the last
//    update_libox; an assignment whose key names no duty or whose doctor
//    cannot be read gives no row.
//  - Row numbers are cells of their rows: ordering moves them with them.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace all {

// do_ass: assigned | unassigned.
enum class do_ass : uint64_t { assigned = 1, unassigned };

class duties_libox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;

  static duties_libox* new_duties_libox(do_ass which, LONG_PTR window);

  virtual void update_libox();
  virtual void destroy_scroll2();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }
  do_ass shown() const { return xdo_ass_; }

 private:
  const rizediveva6::List<rizediveva6::line>* make_lines_x();

  uint32_t xcount_ = 0;
  do_ass xdo_ass_ = do_ass::assigned;
};

}  // namespace all
