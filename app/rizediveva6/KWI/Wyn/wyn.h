// wyn: the drawing widgets' class; here its shell helper.  open_a_file asks
// the shell to "open" a file with its associated program and never reports
// the shell's result.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

class wyn {
 public:
  static const tav::ClassInfo classInfo;
  // The shell's "open" verb on the file: no parameters, no working folder,
  // shown normally; always succeeds.
  static void open_a_file(const wchar_t* fileName);
};

}  // namespace rizediveva6
