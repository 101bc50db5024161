// Helpers shared by file and directory: system answers into buffers that
// grow until the answer fits, "finally" around a handle, and raising a
// native-call exception with named values.
#pragma once

#include <windows.h>

#include <cwchar>

#include "exception/exception.h"
#include "memory/memory.h"

namespace tav::fs {

// call(buffer, units) answers like GetCurrentDirectoryW: 0 for failure, the
// length without terminator when it fitted, else the units needed.  Null
// when the call failed.
template <class Call>
wchar_t* Grown(Call call, DWORD units = MAX_PATH) {
  for (;;) {
    wchar_t* buffer = memory::allocstringbuffer(units + 1);
    DWORD n = call(buffer, units);
    if (n == 0) return nullptr;
    if (n < units) return buffer;
    units = n + 1;
  }
}

// One named string value.
inline const NamedValueList* One(const wchar_t* name, const wchar_t* value) {
  return Values({{name, value::string(value)}});
}

[[noreturn]] inline void Raise(const ClassInfo* ci, const wchar_t* api,
                               const NamedValueList* extra = EmptyList()) {
  TAV_AT();
  common_exception::raise_nativecallexception(ci, api, extra);
}

// Runs body(); then release() on every way out; an error of body is raised
// again after the release.
template <class Body, class Release>
void Finally(Body&& body, Release&& release) {
  uint32_t error = K::RunTrapped(body);
  release();
  if (error) K::Errors::Qel_ErrorExit(error);
}

}  // namespace tav::fs
