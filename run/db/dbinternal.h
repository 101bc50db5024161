// Internals shared by the image and fact-database sources.
#pragma once

#include <windows.h>

#include "qel6run_db.h"

namespace Qel::RunTime::Terms::DBInternal::detail {

// The runtime's module, whose string table holds the error texts.
inline void* RunModule() {
  static HMODULE module = [] {
    HMODULE m = GetModuleHandleW(L"qel6run.dll");
    if (!m)
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&BuildDomainClassTable)), &m);
    return m;
  }();
  return module;
}

template <class... A>
[[noreturn]] inline void Raise(uint32_t code, A... args) {
  Kernel::Errors::RunTimeErrorFromModule(RunModule(), code, args...);
}

}  // namespace Qel::RunTime::Terms::DBInternal::detail
