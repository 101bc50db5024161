// held_context: the drawing context of a window target held for the length
// of one drawing, so that its primitives do not each get and release one.
//
// Invariants:
//  - Holds only what it acquired (inside a paint the paint's context is
//    used and nothing is held); release() lets go once, and a context not
//    released is let go of by nothing else: every holder calls release().
//  - A `wnull` target holds nothing.
#pragma once

#include <windows.h>

#include "KWI/Wyn/wyn.h"

namespace rizediveva6 {

class held_context {
 public:
  explicit held_context(wyndow t);
  void release();

 private:
  LONG_PTR window_ = 0;
  HDC dc_ = nullptr;
  int acquired_ = 0;
};

}  // namespace rizediveva6
