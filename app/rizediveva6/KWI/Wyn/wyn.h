// wyn: the drawing widgets' class; here its shell helper and its random
// colours.  open_a_file asks the shell to "open" a file with its associated
// program and never reports the shell's result.  random_color never gives a
// component of 255.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

class wyn {
 public:
  static const tav::ClassInfo classInfo;
  // The shell's "open" verb on the file: no parameters, no working folder,
  // shown normally; always succeeds.
  static void open_a_file(const wchar_t* fileName);
  // Three draws of the runtime's random number below 255, composed as
  // red | green << 8 | blue << 16.
  static int32_t random_color();
};

}  // namespace rizediveva6
