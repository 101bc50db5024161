// web_check: whether the program may look on the web; the answer is fixed.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

enum class web_state { offline = 1, online };

class web_check {
 public:
  static const tav::ClassInfo classInfo;
  // Both arguments are ignored; always `online`.
  static web_state check_on_web(const wchar_t* first, const wchar_t* second);
};

}  // namespace rizediveva6
