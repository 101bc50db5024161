// A dialog's window definition built once from a table of its controls.
//
// Invariants:
//  - The definition lives in uncollectable memory for the life of the
//    program and only points at constant texts and at its own cells.
//  - Rectangles are in dialog units; controls keep the table's order, which
//    is also the tab order.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "qel6kwi.h"

namespace all::dlgs {

struct Control {
  int id;
  int32_t type;  // QEL_KWI::wt_*
  const wchar_t* text;
  QEL_KWI::rect_struct rect;
  std::initializer_list<int> flags;
};

struct Dialog {
  int32_t type;  // wt_modal or wt_modeless
  const wchar_t* title;
  QEL_KWI::rect_struct rect;
  const wchar_t* font;
  int32_t fontSize;
  std::initializer_list<int> flags;
};

QEL_KWI::windef_list_struct* MakeDefinition(const Dialog& dialog, std::initializer_list<Control> controls);

// Style flag numbers of the definitions.
enum Flag : int {
  kCloseBox = 4, kTitleBar = 9, kDisabled = 12, kDefault = 23, kGroup = 25, kTabStop = 26,
  kMultiLine = 28, kLeftText = 31, kCentredText = 32, kAutoHScroll = 46, kWantReturn = 49,
};

}  // namespace all::dlgs
