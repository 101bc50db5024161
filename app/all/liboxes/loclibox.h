// loclibox: the list view of the roster's locations; it holds a list box
// object (xlibox) and runs every list operation on it.  A row number and
// the name per location (white), then the "new->" row; typing a name
// stores it through locations::add_loc.
//
// Invariants:
//  - xlibox is set once, by new_, before any other operation.
//  - Only column 3 edits reach the store.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace all {

class loclibox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10140;

  static loclibox* new_(LONG_PTR window);

  virtual void update_libox();
  virtual void destroy_scroll2();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return xlibox_; }

 private:
  static void _es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column);
  const rizediveva6::List<rizediveva6::line>* make_lines_x();

  uint32_t xcount_ = 0;
  rizediveva6::libox* xlibox_ = nullptr;
};

}  // namespace all
