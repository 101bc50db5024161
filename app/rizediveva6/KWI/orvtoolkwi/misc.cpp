// misc: see the header.
#include "KWI/orvtoolkwi/misc.h"

#include "core/core.h"

namespace rizediveva6 {

const tav::ClassInfo misc::classInfo{L"qel6pack/ORVtoolKWI/misc", TAV_CLASS_VERSION};

namespace {
constexpr uintptr_t kDynMenu = 2;
}

const misc::Items* misc::remove(uint32_t id, const Items* items) { return modify_menu::remove_item(items, id); }

const QEL_KWI::menu_struct* misc::remove_item_from_menu(uint32_t id, const QEL_KWI::menu_struct* menu) {
  if (menu->functor != kDynMenu) return menu;
  auto* m = static_cast<QEL_KWI::menu_struct*>(tav::GStackAlloc(sizeof(QEL_KWI::menu_struct)));
  m->functor = kDynMenu;
  m->value = reinterpret_cast<uintptr_t>(remove(id, reinterpret_cast<const Items*>(menu->value)));
  return m;
}

}  // namespace rizediveva6
