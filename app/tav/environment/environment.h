// environment: the process environment (expansion, one variable, all of
// them), the system version and a text with system information.  Results are
// runtime string buffers; system calls that fail raise the native-call
// exception with the call's name.
#pragma once

#include "core/core.h"

namespace tav {

class environment {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor undefinedenvironmentvariable;

  static const wchar_t* expand(const wchar_t* text);
  // Raises undefinedenvironmentvariable ("variable" = name) when absent or empty.
  static const wchar_t* getvariable(const wchar_t* name);
  // Null (fails) when absent or empty.
  static const wchar_t* trygetvariable(const wchar_t* name);
  static void setvariable(const wchar_t* name, const wchar_t* value);
  // Also when the value is empty; an absent variable is no error.
  static void deletevariable(const wchar_t* name);
  // namedvalue(Name, string(Value)) in block order, values as the block has
  // them; the hidden entries that begin with "=" are left out.
  static const NamedValueList* getallvariables();
  static void getosversion(uint32_t* major, uint32_t* minor, bool* isNT,
                           const wchar_t** servicePack);
  static const wchar_t* getsysteminfo();
};

}  // namespace tav
