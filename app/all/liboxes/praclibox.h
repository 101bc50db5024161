// praclibox: the list view of the roster's practices and groups: a row
// number and the name per group in its colour, then the "new->" row;
// typing adds, renames or deletes a group, the colour box recolours it,
// "Delete selected" deletes the checked ones.
//
// Invariants:
//  - Row r (from 1) shows the r-th group of the chain; the rows are those
//    of the store at the last update_libox.
//  - Only column 3 edits reach the store; the "new->" row names no group.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace all {

class praclibox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10140;

  static praclibox* new_(LONG_PTR window);

  virtual void update_libox();
  virtual void destroy_scroll2();
  virtual void del_selected();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }

 private:
  static void _es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column);
  static void _colour_cb(void* self, int32_t colour, uint32_t row);
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
  // The name of the group shown in row `row`; false for the "new->" row.
  bool row_group(uint32_t row, const wchar_t** name);

  uint32_t xcount_ = 0;
};

}  // namespace all
