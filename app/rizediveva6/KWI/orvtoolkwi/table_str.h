// table_str: a table of strings in a resizable modal dialog over a list box,
// with a print and a copy button.
//
// Invariants:
//  - The list control's window class "cust_lbox" is registered once per
//    process, before the first table; its own handler handles nothing (the
//    list box subclasses each control).
//  - xlibox is read only after the dialog's creation set it; before, 329.
//  - The list is never closed with destroy_scroll: its column widths are
//    not saved.
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace rizediveva6 {

class table_str {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr int kPrint = 10048, kCopy = 10039, kList = 10049;

  static table_str* new_();

  // Shows the rows modally with `parent` as owner; returns once closed.
  virtual void show(LONG_PTR parent, const List<const SList*>* rows);

  libox* list() const;
  LONG_PTR window() const { return thiswin_; }

 private:
  LONG_PTR on_event(LONG_PTR w, QEL_KWI::event_struct* e);
  void set_up(LONG_PTR dialog);
  void fill();

  LONG_PTR thiswin_ = 0;
  libox* xlibox_ = nullptr;
  const List<const SList*>* xslists_ = nullptr;
};

}  // namespace rizediveva6
