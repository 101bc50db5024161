// fileSystem_exception: the descriptors of the file-system package and
// their raisers (raised at the caller's last saved source position), and the
// check of ReadFile's result shared by the file readers.
#pragma once

#include <windows.h>

#include "exception/exception.h"

namespace tav {

class fileSystem_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor filealreadyexists, wrongattribute, filetoobig;
  // "File name".
  [[noreturn]] static void raise_filealreadyexists(const ClassInfo* ci, const wchar_t* fileName);
  // "File attribute": the attribute bits.
  [[noreturn]] static void raise_wrongattribute(const ClassInfo* ci, uint32_t attributes);
  // "File name".
  [[noreturn]] static void raise_filetoobig(const ClassInfo* ci, const wchar_t* fileName);
  // A zero ReadFile result raises "FileRead" unless the error is
  // ERROR_MORE_DATA, which counts as a good read.
  static void checkfilereadresult(const ClassInfo* ci, BOOL result);
};

}  // namespace tav
