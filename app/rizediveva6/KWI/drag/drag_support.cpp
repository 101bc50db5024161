// drag_support: see the header.
#include "KWI/drag/drag_support.h"

#include "kwi/kwi.h"

namespace rizediveva6::drag_support {

using namespace QEL_KWI;

void SavedScreen::RestoreFirst(LONG_PTR w) {
  if (!first || first->window != w) return;
  Cell* c = first;
  first = c->next;
  tav::kwi::pictdraw(w, c->pict, &c->corner, 12);
  pict_Destroy(c->pict);
}

void SavedScreen::Save(LONG_PTR w, rect_struct r) {
  auto* cell = static_cast<Cell*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(Cell)));
  *cell = {w, pict_GetFromWin(w, &r), {r.left, r.top}, nullptr};
  Cell** at = &first;
  while (*at) at = &(*at)->next;
  *at = cell;
}

void SavedScreen::DropFirst() {
  if (!first) return;
  pict_Destroy(first->pict);
  first = first->next;
}

}  // namespace rizediveva6::drag_support
