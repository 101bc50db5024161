// The kernel library's load and unload steps: settings, the thread-local
// slot, the collector, the main thread's record with its global stack and
// trail, and error management; thread attach and detach register threads
// with the collector.
#include "ptd.h"

namespace Qel::RunTime::Kernel::detail {

TPrologThreadData g_mainRecord;
bool g_inLoadStep = false;

static bool LoadStep(HINSTANCE module) {
  g_inLoadStep = true;
  ReadSettings();
  LogLine("\nDllMain( %08llX, %d ) ProcessId=%08lX ThreadId=%08lX\n",
          reinterpret_cast<unsigned long long>(module), DLL_PROCESS_ATTACH, GetCurrentProcessId(),
          GetCurrentThreadId());
  DWORD index = TlsAlloc();
  // The assembler entries read the slot straight from the TEB's first 64.
  if (index == TLS_OUT_OF_INDEXES || index >= 64) return false;
  qel_ptd_tls_index = index;
  HeapProcessAttach();
  InitThreadRecord(&g_mainRecord);
  InstallPTD(&g_mainRecord);
  uint32_t failed = RunTrapped([] {
    CreateGStack(&g_mainRecord, kMainGStackSize);
    CreateTrail(&g_mainRecord);
    ErrorManagementInitialization();
  });
  g_inLoadStep = false;
  return failed == 0;
}

static void UnloadStep() {
  CoreTermination();
  Memory::Statistics::memProf_Close();
  ErrorManagementTermination();
  ReleaseTrail(&g_mainRecord);
  SafeReleaseGStack(&g_mainRecord);
}

// A thread that ends with a record still installed (it called ExitThread
// inside a predicate, or never removed its temporary record): its global
// stack must not stay a root.
static void ThreadDetach() {
  TPrologThreadData* record = CurrentPTD();
  if (record && record != &g_mainRecord && IsValidPTD(record)) {
    SafeReleaseGStack(record);
    if (record->flags & kRecordIsTemporary) DeleteTemporaryPTD();
  }
  HeapThreadDetach();
}

}  // namespace Qel::RunTime::Kernel::detail

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  using namespace Qel::RunTime::Kernel::detail;
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return LoadStep(module);
    case DLL_THREAD_ATTACH:
      HeapThreadAttach();
      break;
    case DLL_THREAD_DETACH:
      ThreadDetach();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit other threads are gone and the collector may be too.
      if (!reserved) UnloadStep();
      break;
  }
  return TRUE;
}
