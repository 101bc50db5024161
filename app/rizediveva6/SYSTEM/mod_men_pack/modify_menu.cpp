// modify_menu: see the header.
#include "SYSTEM/mod_men_pack/modify_menu.h"

#include "SYSTEM/myKWI/myKWI.h"
#include "stream/stream.h"

namespace rizediveva6 {

using QEL_KWI::menu_item;
using QEL_KWI::menu_struct;

const tav::ClassInfo modify_menu::classInfo{L"qel6pack/mod_men_pack/modify_menu", TAV_CLASS_VERSION};

namespace {

using Items = modify_menu::Items;
constexpr uintptr_t kDynMenu = 2, kTextItem = 1;
enum TextWord { w_id, w_text, w_accelerator, w_enabled, w_flags, w_sub };

const Items* Sub(const menu_item* it) { return reinterpret_cast<const Items*>(it->w[w_sub]); }
bool IsText(const menu_item* it) { return it->functor == kTextItem; }

menu_item* Copy(const menu_item* it) {
  auto* c = static_cast<menu_item*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(menu_item)));
  *c = *it;
  return c;
}

// The walk of one level for id: `change` gives the matching item's
// replacement, or null to drop it.  New cells are built only up to the last
// item that changed (a match, or a text item whose sub-menu changed); the
// rest of the level is shared, and an unchanged level is given back as it is.
template <class Change>
const Items* Walk(const Items* level, int32_t id, Change change) {
  ListBuilder<const menu_item*> out(true);
  const Items* shared = level;  // cells from here on are still the input's
  auto takeUpTo = [&](const Items* stop) {
    for (; shared != stop; shared = shared->tail) out.Add(shared->head);
  };
  for (const Items* l = level; !l->Empty(); l = l->tail) {
    const menu_item* it = l->head;
    if (!IsText(it)) continue;
    if (it->w[w_id] == id) {
      takeUpTo(l);
      if (const menu_item* replacement = change(it)) out.Add(replacement);
      return out.Finish(l->tail);
    }
    const Items* sub = Walk(Sub(it), id, change);
    if (sub == Sub(it)) continue;
    takeUpTo(l);
    menu_item* copy = Copy(it);
    copy->w[w_sub] = reinterpret_cast<LONG_PTR>(sub);
    out.Add(copy);
    shared = l->tail;
  }
  return shared == level ? level : out.Finish(shared);
}

}  // namespace

modify_menu* modify_menu::new_(const menu_struct* menu) {
  modify_menu* m = tav::NewObject<modify_menu>();
  m->xmits = Nil<const menu_item*>();
  if (menu->functor == kDynMenu) m->xmits = reinterpret_cast<const Items*>(menu->value);
  else myKWI::note(L"modify menu init failed - error 8609");
  return m;
}

void modify_menu::enabled(const List<int32_t>* ids, bool enable) {
  for (; !ids->Empty(); ids = ids->tail)
    xmits = Walk(xmits, ids->head, [enable](const menu_item* it) {
      menu_item* c = Copy(it);
      c->w[w_enabled] = enable ? 1 : 0;
      return c;
    });
}

void modify_menu::menu_remove(const List<int32_t>* ids) {
  for (; !ids->Empty(); ids = ids->tail) xmits = remove_item(xmits, ids->head);
}

const Items* modify_menu::remove_item(const Items* level, int64_t id) {
  if (id < INT32_MIN || id > INT32_MAX) return level;  // no item carries it
  return Walk(level, int32_t(id), [](const menu_item*) -> const menu_item* { return nullptr; });
}

void modify_menu::set_text(int32_t id, const wchar_t* text) {
  xmits = Walk(xmits, id, [text](const menu_item* it) {
    menu_item* c = Copy(it);
    c->w[w_text] = reinterpret_cast<LONG_PTR>(text);
    return c;
  });
}

const menu_struct* modify_menu::get() {
  auto* m = static_cast<menu_struct*>(tav::GStackAlloc(sizeof(menu_struct)));
  m->functor = kDynMenu;
  m->value = reinterpret_cast<uintptr_t>(xmits);
  return m;
}

}  // namespace rizediveva6
