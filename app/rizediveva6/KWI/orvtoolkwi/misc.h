// misc: removal of a command from a dynamic menu description.
//
// Invariants:
//  - The input is never changed: new cells are built only on the path to the
//    removed item, the rest is shared.
//  - Only text items are matched; an owner-drawn item's sub-items are not
//    searched; the first first-level match ends the walk of that level.
#pragma once

#include "SYSTEM/mod_men_pack/modify_menu.h"

namespace rizediveva6 {

class misc {
 public:
  static const tav::ClassInfo classInfo;
  using Items = modify_menu::Items;

  // dynmenu(remove(id, Items)); any other menu as it is.
  static const QEL_KWI::menu_struct* remove_item_from_menu(uint32_t id, const QEL_KWI::menu_struct* menu);
  static const Items* remove(uint32_t id, const Items* items);
};

}  // namespace rizediveva6
