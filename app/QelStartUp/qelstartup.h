// The start-up glue of a program or a library built on the kernel and the
// runtime: the process entry's seven steps, the library entry by reason
// code, and the library hook for threads the kernel did not create.
//
// Invariants:
//  - One unit image (class-descriptor table, symbol list, goal) is given to
//    both unit calls; the kernel checks the table's version word.
//  - A non-zero result of a start step ends the process (entry) or the
//    attach (library) at once; no later step runs.
//  - The module handle is set only by a library attach: 0 in a program.
//  - The hook record is process-wide per linked copy of this glue; a hook
//    call gives the thread a kernel record for the call only and puts its
//    thread-local array back.
#pragma once

#include <windows.h>

#include "qel6kernel.h"

namespace qelstartup {

using Qel::RunTime::RScopeClassDescriptor;

struct UnitImage {
  const RScopeClassDescriptor* const* table;  // word 0: interface version, ends with -2
  const wchar_t* const* symbols;              // word 0 unused, then names, ends with null
  Qel::RunTime::Kernel::TGoal goal;
};

// The hook of the library build: function(module, reason, reserved), or
// function(context, module, reason, reserved) when the context is set.
using HookFunction = int (*)(HINSTANCE module, DWORD reason, void* reserved);
using HookMethod = int (*)(void* context, HINSTANCE module, DWORD reason, void* reserved);
struct QelDllHook {
  void* function;
  void* context;
};

// The process entry: the units started, the goal run, the units ended and
// the process ended with the goal's result.  Returns only through
// ExitProcess.
[[noreturn]] void StartUp(const UnitImage& image);

// The library entry of a DLL built on the units (DllMain's arguments).
BOOL DllEntry(HINSTANCE module, DWORD reason, void* reserved, const UnitImage& image);

// Copies the record's two words into the process-wide hook.
void SetDllHook(const QelDllHook* hook);
// The hook's result, or 1 when none is set.
int TryCallHook(HINSTANCE module, DWORD reason, void* reserved);
// The module handle a library attach stored; 0 in a program.
HINSTANCE GetHandleModule();

}  // namespace qelstartup
