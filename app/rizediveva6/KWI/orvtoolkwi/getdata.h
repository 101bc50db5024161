// getdata: whole and real numbers asked for with the toolkit's one-line
// prompt.
//
// Invariants:
//  - The prompt opens on the default's plain text; Cancel fails.
//  - An answer that is not a number of the asked kind (blanks after it are
//    accepted) is never returned: a note says so and the prompt asks again
//    with the typed text.  Any other error goes on to the caller.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

class getdata {
 public:
  static const tav::ClassInfo classInfo;

  // False when the user cancels.
  static bool get_int(const wchar_t* title, const wchar_t* prompt, int32_t defaultValue, int32_t* value);
  static bool get_real(const wchar_t* title, const wchar_t* prompt, double defaultValue, double* value);
};

}  // namespace rizediveva6
