// projectToolbar: a button bar at the top of its parent; the program
// declares it and never creates it.
#pragma once

#include <windows.h>

#include "core/core.h"

namespace kalmora {

class projectToolbar {
 public:
  static const tav::ClassInfo classInfo;
  static LONG_PTR create(LONG_PTR parent);
};

}  // namespace kalmora
