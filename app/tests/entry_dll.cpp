// A library built on the units with the start-up glue as its DllMain: its
// goal counts its runs; it exports the glue's library entries.  Built with
// ENTRY_DLL_VERSION 7 its table is one the kernel refuses.
#include <windows.h>

#include "QelStartUp/qelstartup.h"
#include "qel6run.h"
#include "qel6decl.h"

#ifndef ENTRY_DLL_VERSION
#define ENTRY_DLL_VERSION 8
#endif

namespace {

namespace decl = Qel::RunTime::Decl;

Qel::RunTime::RScopeClassDescriptor entryDllClass = decl::Class(L"entry_dll", QEL_HERE);
struct Table {
  uintptr_t version;
  Qel::RunTime::RScopeClassDescriptor* entries[1];
  intptr_t end;
} table{ENTRY_DLL_VERSION, {&entryDllClass}, -2};
const wchar_t* const kSymbols[] = {nullptr, nullptr};

int g_goalRuns = 0;
void Goal() { ++g_goalRuns; }

const qelstartup::UnitImage& Image() {
  static const qelstartup::UnitImage image{
      reinterpret_cast<const Qel::RunTime::RScopeClassDescriptor* const*>(&table), kSymbols, &Goal};
  return image;
}

}  // namespace

extern "C" {
__declspec(dllexport) BOOL QelDllMain(HINSTANCE module, DWORD reason, void* reserved) {
  return qelstartup::DllEntry(module, reason, reserved, Image());
}
__declspec(dllexport) void QelSetDllHook(const qelstartup::QelDllHook* hook) { qelstartup::SetDllHook(hook); }
__declspec(dllexport) HINSTANCE QelDllGetHandleModule() { return qelstartup::GetHandleModule(); }
__declspec(dllexport) int GoalRuns() { return g_goalRuns; }
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) { return QelDllMain(module, reason, reserved); }
