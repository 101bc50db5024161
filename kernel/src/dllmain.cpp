// The kernel library's load step: settings, the thread-local slot, the main
// thread's record with its global stack and trail, and error management.
#include "ptd.h"

#include <gc.h>

namespace Qel::RunTime::Kernel::detail {

static TPrologThreadData g_mainRecord;

static bool LoadStep() {
  ReadSettings();
  DWORD index = TlsAlloc();
  // The assembler entries read the slot straight from the TEB's first 64.
  if (index == TLS_OUT_OF_INDEXES || index >= 64) return false;
  qel_ptd_tls_index = index;
  GC_INIT();
  InitThreadRecord(&g_mainRecord);
  InstallPTD(&g_mainRecord);
  uint32_t failed = RunTrapped([] {
    CreateGStack(&g_mainRecord, kMainGStackSize);
    CreateTrail(&g_mainRecord);
    ErrorManagementInitialization();
  });
  return failed == 0;
}

static void UnloadStep() {
  ErrorManagementTermination();
  ReleaseTrail(&g_mainRecord);
  SafeReleaseGStack(&g_mainRecord);
}

}  // namespace Qel::RunTime::Kernel::detail

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  using namespace Qel::RunTime::Kernel::detail;
  if (reason == DLL_PROCESS_ATTACH) return LoadStep();
  // At process exit other threads are gone and the collector may be too.
  if (reason == DLL_PROCESS_DETACH && !reserved) UnloadStep();
  return TRUE;
}
