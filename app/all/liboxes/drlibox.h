// drlibox: the list view of the roster's doctors: a row number, letter and
// name per shown doctor in the doctor's colour, an "X" per practice or
// group the doctor belongs to, then the "new->" row.  Typing in the
// "new->" row adds a doctor, a group cell toggles the membership, the
// colour box recolours, "Delete selected" deletes the checked doctors.
//
// Invariants:
//  - Row r (from 1) stands for the r-th `exists` doctor of the chain as of
//    the last update_libox; a row acts on that record only while its name
//    still matches, so doctors sharing a name are told apart.
//  - input_line is the row number of the "new->" row.
#pragma once

#include "KWI/orvtoolkwi/libox.h"
#include "kalmoradb/roster_types.h"

namespace all {

class drlibox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10142;

  static drlibox* new_(LONG_PTR window);

  virtual void update_libox();
  virtual void destroy_scroll2();
  virtual void del_selected();
  // False for an id other than print (10102) and copy (10101).
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }
  uint32_t input_line() const { return input_line_; }

 private:
  static void _es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column);
  static void _lbox_cb(void* self, uint32_t column, uint32_t row, const rizediveva6::line& l);
  static void _colour_cb(void* self, int32_t colour, uint32_t row);
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
  // The doctor row `row` shows; false for the "new->" row or a row whose
  // doctor is gone or renamed.
  bool row_person(uint32_t row, const PersonTerm** person);

  uint32_t xcount_ = 0;
  uint32_t input_line_ = 0;
};

}  // namespace all
