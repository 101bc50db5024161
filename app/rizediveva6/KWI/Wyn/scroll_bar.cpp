// scroll_bar: see the header.
#include "KWI/Wyn/scroll_bar.h"

#include <windows.h>

#include "unit.h"

namespace rizediveva6 {

void scroll_bar::SetRange(int32_t min, int32_t max) const {
  QEL_KWI::win_SetScrollRange(xdb_ctl_win, xscrolltype, min, max);
}

void scroll_bar::SetPos(int32_t pos) const { QEL_KWI::win_SetScrollPos(xdb_ctl_win, xscrolltype, pos); }

void scroll_bar::Release() const {
  if (window_type != 2) return;
  const LONG_PTR control = xdb_ctl_win;
  TrapAndForget([control] {
    if (IsWindow(reinterpret_cast<HWND>(control))) QEL_KWI::win_Destroy(control);
  });
}

scroll_bar MakeBar(LONG_PTR window, BarKind kind) {
  switch (kind) {
    case BarKind::main_h: return {window, 0, 1};
    case BarKind::main_v: return {window, 1, 1};
    case BarKind::control: break;
  }
  return {window, 2, 2};
}

}  // namespace rizediveva6
