// The library's load step: keeps the module handle (for the drag cursor).
#include <windows.h>

namespace QEL_EDIT::detail {
HINSTANCE moduleHandle = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) QEL_EDIT::detail::moduleHandle = instance;
  return TRUE;
}
