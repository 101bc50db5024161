// Delivers a console Ctrl event to this process the way the system does: a
// new thread at kernelbase's CtrlRoutine runs the registered handlers (Wine
// without a console delivers none of its own).  False when it cannot.
#pragma once
#include <windows.h>

#include <cstdint>

inline bool DeliverCtrlEvent(DWORD type) {
  auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
  if (!routine) return false;
  HANDLE thread = CreateThread(nullptr, 0, routine,
                               reinterpret_cast<void*>(static_cast<uintptr_t>(type)), 0, nullptr);
  if (!thread) return false;
  bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return done;
}
