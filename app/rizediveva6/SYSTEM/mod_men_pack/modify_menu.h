// modify_menu: edits a menu description of the GUI layer before it is shown:
// enables or disables, removes and retitles items by id, and gives the
// changed menu back.  It never touches a live window menu.
//
// Invariants:
//  - Only text items (first alternative, six words) are matched; every other
//    alternative is kept as it is.
//  - At each level only the first item with the id changes; the rest of that
//    level after it is shared, unvisited, and so is every part of a level
//    after its last changed item; an unchanged level is the input's own.  Submenus of earlier text items are
//    walked (the one place that recurses); a level is walked in a loop.
//  - Changed lists are new cells on the collected heap (the object keeps
//    them); the input menu is never written and is shared, so it must live
//    as long as the object.
#pragma once

#include <initializer_list>

#include "SYSTEM/orv_list/orv_list.h"
#include "qel6kwi.h"

namespace rizediveva6 {

class modify_menu {
 public:
  static const tav::ClassInfo classInfo;
  using Items = List<const QEL_KWI::menu_item*>;

  // A dynmenu gives its items; any other menu the note "modify menu init
  // failed - error 8609" and no items.
  static modify_menu* new_(const QEL_KWI::menu_struct* menu);

  virtual void enabled(const List<int32_t>* ids, bool enable);
  virtual void menu_remove(const List<int32_t>* ids);
  virtual void set_text(int32_t id, const wchar_t* text);
  virtual const QEL_KWI::menu_struct* get();

  // The level without its first text item of `id` (and without the first of
  // each sub-menu of the text items before it).
  static const Items* remove_item(const Items* level, int64_t id);

  const Items* xmits = nullptr;
};

}  // namespace rizediveva6
