// Editor tests on the X display: the GUI layer's test helpers (gui.h) and
// the editor's exports, with a task window options preset.
#pragma once

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

}  // namespace edittest
