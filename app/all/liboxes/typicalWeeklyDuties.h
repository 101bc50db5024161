// typicalWeeklyDuties: the check list of one day kind's typical duties:
// one row per (task, location, slot) combination of the roster, checked
// where the day kind holds it; the checked rows become the day kind's
// typical duties when the list is removed.
//
// Invariants:
//  - xcon is a which_day_dom value (1001..1003), set once at creation.
//  - Check marks live in the base only; the document changes at removal,
//    and only when the document the list was made on is still open.
//  - A row's text is the term text of [task, location, slot] names; a row
//    whose names are not all known is left out of the store.
#pragma once

#include "KWI/orvtoolkwi/libox.h"
#include "chainDB/chainDb.h"
#include "kalmoradb/roster_types.h"

namespace all {

class typicalWeeklyDuties : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;

  // Day outside 1001..1003: the range error 302, no list.
  static typicalWeeklyDuties* new_(LONG_PTR window, uint32_t day);

  virtual void update_libox();
  // Stores the checked rows, then removes the list's window parts.
  virtual void destroy_scroll2();
  // No menu is set or routed here: fails for every id.
  virtual bool popup_callback(uint32_t id);

  rizediveva6::libox* list_box() { return this; }
  uint32_t day_kind() const { return xcon_; }

 private:
  void set_which(uint32_t day);
  void make_sat(LONG_PTR window);
  void highlight_lboxes();
  const rizediveva6::List<rizediveva6::line>* nd_lines_sat();
  // The checked rows as typical duties, in row order.
  const rizediveva6::List<tls>* get_selection();

  const wchar_t* xday_ = L"";
  uint32_t xcon_ = 0;
  tav::chainDB* xdoc_ = nullptr;  // the roster database the list shows
};

}  // namespace all
