// drag_in_taskwin: the one item being dragged from one window towards
// another inside the task window, shared by the whole program.
//
// Invariants:
//  - At most one item is held; set_dragging_item replaces it.
//  - The item's strings are heap copies, so it outlives the grab's terms.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"

namespace rizediveva6 {

// drag_item(Source, Box, SourceClass, Key).
struct drag_item {
  LONG_PTR source;
  QEL_KWI::rect_struct box;
  const wchar_t* sourceClass;
  const wchar_t* key;
};

class drag_in_taskwin {
 public:
  static const tav::ClassInfo classInfo;

  static void set_dragging_item(const drag_item& item);
  // Takes the held item out; false when none is held.
  static bool drop_dragging_item(drag_item* item);
  // Whether an item is held; when one is, writes "\n dragging" to the
  // message window.
  static bool is_dragging_item();
};

}  // namespace rizediveva6
