// loadlibox: the list view of one loadings table: the weekday (weekend(0))
// or weekend (weekend(1)) table with each doctor's groups, fraction and
// editable parts, or the calculated totals table.
//
// Invariants:
//  - xwhat_stat is set once at creation (a heap copy) and never changes.
//  - Row r (from 1) stands for the r-th doctor of staff_db::nd_person that
//    is not marked deleted; p_ref counts exactly those rows.
//  - No parts value reaches the store unless it is a whole number of 0 or
//    more and every store of the command keeps the table's sum of parts in
//    the signed 32-bit range; a refused value stores nothing.
//  - The totals table has no menu, no check marks and no editable cell.
#pragma once

#include "KWI/orvtoolkwi/libox.h"
#include "kalmoradb/roster_types.h"

namespace all {

class loadlibox : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10135;

  // whatStat: weekend(0), weekend(1) or total.
  static loadlibox* new_(LONG_PTR window, const WhatStatTerm* whatStat);

  virtual void destroy_scroll2();
  virtual void update_libox();
  // 10136, 10137, 10138 (weekday and weekend tables), 10102, 10101;
  // false for any other id.
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }
  const WhatStatTerm* what_stat() const { return xwhat_stat_; }

 private:
  static void _es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column);
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
  // The doctor of row `row`; false when no row has that number.
  bool p_ref(uint32_t row, chain_ref* doctor);
  const WhatStatTerm* other() const;
  const wchar_t* what_s() const;
  void set_select();
  bool is_total() const { return xwhat_stat_->Kind() == stat_kind::total; }
  // Even spread over every doctor, or over the checked rows only.
  void even_spread(bool checkedOnly);
  void copy_to_other();

  const WhatStatTerm* xwhat_stat_ = nullptr;
  uint32_t xcount_ = 0;
};

}  // namespace all
