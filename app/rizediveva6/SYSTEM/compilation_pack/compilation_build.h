// compilation_build: on the maker's machine, copies the first lines of the
// program's class declaration file into a file beside it; anywhere else
// (no such file) it does nothing.
#pragma once

#include "core/core.h"

namespace rizediveva6 {

class compilation_build {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr const wchar_t* sourceFile = L"C:\\kalmoraTessaro-dev\\app\\kalmoraTessaro.cl";
  static constexpr uint32_t lineCount = 90;
  // Copies up to lineCount lines of sourceFile, unchanged, into sourceFile
  // + "_dummy" (8-bit text both).
  static void increment();
};

}  // namespace rizediveva6
