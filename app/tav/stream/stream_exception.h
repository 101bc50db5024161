// stream_exception: the descriptors of every stream class and their raise
// helpers, raised at the caller's last saved source position.
#pragma once

#include "exception/exception.h"

namespace tav {

class stream_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor endofstream, notsupportedproperty, nocrlfconversion, wrongmode,
      nostream;
  [[noreturn]] static void raise_endofstream(const ClassInfo* ci);
  [[noreturn]] static void raise_notsupportedproperty(const ClassInfo* ci);
  [[noreturn]] static void raise_nocrlfconversion(const ClassInfo* ci);
  // "Predicate name", then "stream mode".
  [[noreturn]] static void raise_wrongmode(const ClassInfo* ci, const wchar_t* predicate,
                                           const wchar_t* modeText);
  [[noreturn]] static void raise_nostream(const ClassInfo* ci, const wchar_t* predicate);
};

}  // namespace tav
