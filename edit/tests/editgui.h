// Editor tests on the X display: the GUI layer's test helpers (gui.h) and
// the editor's exports, a task window without a menu, an editor's text.
#pragma once

#include <string>

#include "gui.h"
#include "qel6edit.h"
#include "qel6kernel.h"

namespace edittest {

// A task window without a menu bar.
inline kwitest::TaskOptions NoMenu() {
  kwitest::TaskOptions o;
  o.menu = 0;
  return o;
}

// An editor window's whole text.
inline std::wstring Text(LONG_PTR w) {
  uint8_t* m = Qel::RunTime::Kernel::Memory::MarkGStack();
  std::wstring s = QEL_EDIT::edit_GetText_0(w);
  Qel::RunTime::Kernel::Memory::ReleaseGStack(m);
  return s;
}

}  // namespace edittest
