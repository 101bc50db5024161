// kwiOwnerDraw: class information only; the owner-draw records are the GUI
// layer's.
#pragma once

#include "core/core.h"

namespace tav {

class kwiOwnerDraw {
 public:
  static const ClassInfo classInfo;
};

}  // namespace tav
