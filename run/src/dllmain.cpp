// The runtime library's entry: keeps its module handle, whose string table
// holds the runtime's error texts.
#include "runtime.h"

namespace Qel::RunTime::detail {
HMODULE g_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Qel::RunTime::detail::g_module = instance;
  return TRUE;
}
