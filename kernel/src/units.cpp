// Start-up and termination of units, dynamic loading of procedures, and
// temporary thread records for threads that enter the kernel without one.
//
// Invariants:
//  - The core is initialised once per process, by the first of
//    KernelUnitInitialization and ExeInitialization.
//  - Every entry that runs code returns a code instead of letting an error
//    unwind out of it; the message of such an error has been shown.
//  - A temporary record is removed only by DeleteTemporaryPTD on its own
//    thread, which also clears the thread's slot.
#include "ptd.h"

namespace Qel::RunTime::Kernel {
namespace detail {

namespace {

bool g_coreInitialized = false;
bool g_isProgram = false;

constexpr size_t kTebTlsArray = 0x58;  // TEB.ThreadLocalStoragePointer (x86-64)

void** TlsArraySlot() {
  return reinterpret_cast<void**>(CurrentTeb() + kTebTlsArray);
}

// x87: invalid-operation, zero-divide and overflow exceptions unmasked;
// denormal, underflow and precision masked; 64-bit precision; round to
// nearest.
void SetFloatingPointUnit() {
  uint16_t cw;
  asm volatile("fninit\n\tfnstcw %0" : "=m"(cw));
  cw = static_cast<uint16_t>((cw & ~0x1C0Du) | 0x372u);
  asm volatile("fnclex\n\tfldcw %0" : : "m"(cw));
}

int CoreInitialization() {
  if (g_coreInitialized) return 0;
  g_coreInitialized = true;
  LogLine("QelInitialization::coreInitialization() Release\n");
  SetValidTLSArray();
  if (!IsValidPTD(CurrentPTD())) InstallPTD(&g_mainRecord);
  Multithreading::RegistrationPTDForDebugger(CurrentPTD(), GetCurrentThreadId());
  // The main record's global stack, trail and error management are made by
  // the library's load step, so that the kernel works before any unit starts.
  return Guarded([] {
    ErrorManagementReInitialization();
    SetFloatingPointUnit();
  });
}

}  // namespace

void CoreTermination() {
  if (!g_coreInitialized) return;
  g_coreInitialized = false;
  LogLine("\nQel::RunTime::Kernel::coreTermination()\n");
}

}  // namespace detail

using namespace detail;

int KernelUnitInitialization(void* module, const RScopeClassDescriptor* const* unitTable) {
  if (int rc = CoreInitialization()) return rc;
  LogAt(5, "Qel::RunTime::Kernel::KernelUnitInitialization( %08llX, %08llX )\n",
        reinterpret_cast<unsigned long long>(module),
        reinterpret_cast<unsigned long long>(unitTable));
  return Guarded([=] {
    Succeeds([=] {
      uint32_t version = unitTable ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(unitTable[0]))
                                   : 0;
      if ((version & 0xFFFF) == KernelInterfaceVersion && !(version & 0x80000000u)) return;
      wchar_t name[600];
      ModuleFileName(static_cast<HMODULE>(module), name, 600);
      Errors::RunTimeError(2, name, version, KernelInterfaceVersion);
    });
  });
}

int ExeInitialization() {
  g_isProgram = true;
  if (int rc = CoreInitialization()) return rc;
  return Guarded([] {
    if (IsConsoleProgram() && !SetConsoleCtrlHandler(ConsoleControlHandler, TRUE))
      Errors::SystemAPIError("SetConsoleCtrlHandler");
  });
}

int RunGoal(TGoal goal) {
  LogAt(5, "QelInitialization::RunGoal() ProcessId=%08lX ThreadId=%08lX\n", GetCurrentProcessId(),
        GetCurrentThreadId());
  return Guarded([=] { Succeeds([=] { goal(); }); });
}

void KernelUnitTermination() { LogLine("Qel::RunTime::Kernel::KernelUnitTermination\n"); }

void ExeTermination(int exitCode) {
  Guarded([] {
    if (IsConsoleProgram() && !SetConsoleCtrlHandler(ConsoleControlHandler, FALSE))
      Errors::SystemAPIError("SetConsoleCtrlHandler");
  });
  LogLine("\nQelInitialization::ExeTermination() ProcessId=%08lX ThreadId=%08lX\n",
          GetCurrentProcessId(), GetCurrentThreadId());
  LogLine("\nQelInitialization::executeFinalizers() start ...\n");
  Guarded([] { Memory::FinalizeAll(); });
  LogLine("\nQelInitialization::executeFinalizers() stop\n");
  ExitProcess(static_cast<UINT>(exitCode));
}

void* LoadProcAddress(const wchar_t* module, const char* procedure, void** out) {
  bool loaded = false;
  HMODULE handle = GetModuleHandleW(module);
  if (!handle) {
    handle = LoadLibraryW(module);
    if (!handle) {
      DWORD rc = GetLastError();
      wchar_t text[512];
      SystemErrorText(rc, text, 512);
      Errors::RunTimeError(15, module, rc, text);
    }
    loaded = true;
  }
  void* address = reinterpret_cast<void*>(GetProcAddress(handle, procedure));
  if (!address) {
    DWORD rc = GetLastError();
    if (loaded) FreeLibrary(handle);
    wchar_t text[512];
    SystemErrorText(rc, text, 512);
    Errors::RunTimeError(16, procedure, module, rc, text);
  }
  if (out) *out = address;
  return address;
}

bool CreateTemporaryPTDifNeed() {
  if (IsValidPTD(CurrentPTD())) return false;
  // A thread older than the kernel was never registered with the collector.
  bool registered = RegisterThreadWithCollector();
  auto* record = static_cast<TPrologThreadData*>(LocalAlloc(LPTR, sizeof(TPrologThreadData)));
  if (!record) {
    if (registered) UnregisterThreadWithCollector();
    return false;
  }
  InitThreadRecord(record);
  record->flags = kRecordIsTemporary | (registered ? kRecordIsRegistered : 0);
  InstallPTD(record);
  RunTrapped([=] { CreateTrail(record); });
  return true;
}

void DeleteTemporaryPTD() {
  TPrologThreadData* record = CurrentPTD();
  if (!IsValidPTD(record) || !(record->flags & kRecordIsTemporary)) return;
  bool registered = record->flags & kRecordIsRegistered;
  FreeThreadRecord(record);
  LocalFree(record);
  if (registered) UnregisterThreadWithCollector();
}

void* SetValidTLSArray() {
  static void* shared = nullptr;
  void** slot = TlsArraySlot();
  void* previous = *slot;
  if (!previous) {
    if (!shared) shared = LocalAlloc(LPTR, 1024);
    *slot = shared;
  }
  return previous;
}

void RestoreTLSArray(void* array) { *TlsArraySlot() = array; }

void* GetHinstanceFromWinMain() { return GetModuleHandleW(nullptr); }

}  // namespace Qel::RunTime::Kernel
