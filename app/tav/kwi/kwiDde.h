// kwiDde: class information only; the DDE records are the GUI layer's.
#pragma once

#include "core/core.h"

namespace tav {

class kwiDde {
 public:
  static const ClassInfo classInfo;
};

}  // namespace tav
