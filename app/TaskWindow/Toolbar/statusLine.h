// statusLine: the task window's status line, a toolbar at the bottom of its
// parent with one empty text field (id 10202).
#pragma once

#include <windows.h>

#include "core/core.h"

namespace kalmora {

class statusLine {
 public:
  static const tav::ClassInfo classInfo;
  static LONG_PTR create(LONG_PTR parent);
};

}  // namespace kalmora
