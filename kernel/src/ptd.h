// Internals of the kernel shared by its source files.  Nothing here is
// visible to other modules.
#pragma once

#ifndef QEL6KERNEL_BUILD
#define QEL6KERNEL_BUILD
#endif
#include "qel6kernel.h"
#include "layout.h"

#include <windows.h>

namespace Qel::RunTime::Kernel::detail {

using Control::TPrologThreadData;

static_assert(offsetof(TPrologThreadData, backTrackTop) == PTD_BACKTRACKTOP);
static_assert(offsetof(TPrologThreadData, gstackBase) == PTD_GSTACKBASE);
static_assert(offsetof(TPrologThreadData, gstackTop) == PTD_GSTACKTOP);
static_assert(offsetof(TPrologThreadData, gstackEnd) == PTD_GSTACKEND);
static_assert(offsetof(TPrologThreadData, gstackCommitTop) == PTD_GSTACKCOMMIT);
static_assert(offsetof(TPrologThreadData, trapTop) == PTD_TRAPTOP);
static_assert(offsetof(TPrologThreadData, trail) == PTD_TRAIL);
static_assert(offsetof(TPrologThreadData, trailTop) == PTD_TRAILTOP);
static_assert(offsetof(TPrologThreadData, trailCapacity) == PTD_TRAILCAP);
static_assert(offsetof(TPrologThreadData, currentPosition) == PTD_CURRENTPOS);
static_assert(offsetof(TBackTrackBlock, gstackTop) == BB_GSTACK);
static_assert(offsetof(TBackTrackBlock, trapTop) == BB_TRAP);
static_assert(offsetof(TStackBlock, saved) == SB_RBX && offsetof(TStackBlock, mxcsr) == SB_MXCSR);

}  // namespace Qel::RunTime::Kernel::detail

// Read by the assembler entries.
extern "C" uint64_t qel_ptd_tls_index;

namespace Qel::RunTime::Kernel::detail {

inline TPrologThreadData* CurrentPTD() {
  TPrologThreadData* record;
  asm("mov %%gs:%c1(,%2,8), %0" : "=r"(record) : "i"(TEB_TLS_SLOTS), "r"(qel_ptd_tls_index));
  return record;
}
// The thread's TEB, through its self pointer (NtCurrentTeb trips GCC's
// -Warray-bounds).
inline uint8_t* CurrentTeb() {
  uint8_t* teb;
  asm("mov %%gs:0x30, %0" : "=r"(teb));
  return teb;
}
void InstallPTD(TPrologThreadData* record);
bool IsValidPTD(const TPrologThreadData* record);

// Thread record and its memory.
void InitThreadRecord(TPrologThreadData* record);
void CreateGStack(TPrologThreadData* record, uint64_t size);
void ReleaseGStack(TPrologThreadData* record);
void SafeReleaseGStack(TPrologThreadData* record);
void CreateTrail(TPrologThreadData* record);
void ReleaseTrail(TPrologThreadData* record);
// Frees what the current thread's record holds (global stack, trail,
// message buffer), invalidates it and clears the thread's slot.
void FreeThreadRecord(TPrologThreadData* record);
void PrepareGStackForGC();  // never raises: runs inside the collector
constexpr uint32_t kMainGStackSize = 100000000;
// TPrologThreadData::flags
constexpr uint32_t kRecordIsRoot = 1;       // on the collector's root list
constexpr uint32_t kRecordIsTemporary = 2;  // made by CreateTemporaryPTDifNeed
constexpr uint32_t kRecordIsRegistered = 4;  // its thread was registered with it
constexpr uint32_t kInitialTrailBytes = 32;  // four entries

// The collector.
extern bool g_collectorFailed;
void HeapProcessAttach();
void HeapThreadAttach();
void HeapThreadDetach();
bool RegisterThreadWithCollector();  // true when this call registered it
void UnregisterThreadWithCollector();
void AddGStackRoot(TPrologThreadData* record);
void RemoveGStackRoot(TPrologThreadData* record);

// Memory profile.
extern volatile bool g_profileOpen;
void ProfileAllocation(void* block, uint32_t size, bool reportRelease);

// Units and threads.
extern TPrologThreadData g_mainRecord;
extern CRITICAL_SECTION g_coreLock;
extern bool g_inLoadStep;
void CoreTermination();

// Backtracking and raising.
[[noreturn]] void ErrorExit(uint32_t code);
[[noreturn]] void CallPrologExceptionPredicate(uint32_t code);
void ShiftTrapPointForUserExceptionRaiser();
void DefaultExceptionPredicate(uint32_t code, const TFullCursor*, const wchar_t*);

// Messages and log.
extern uint32_t g_logLevel;
extern int32_t g_miniDumpType;
void ReadSettings();
void LogLine(const char* format, ...);        // when logging is on
void LogAt(uint32_t level, const char* format, ...);  // when level <= log level
void ShowMessage(const wchar_t* text);
// Builds the message of `code` (kernel texts), logs and shows it, and ends the
// process with `code` without unwinding or running library detach code.
[[noreturn]] void FatalErrorExit(uint32_t code, ...);
// Shows the pending message under a trap of its own.
void DisplayPendingMessage();
// Runs `body` under a trap: 0, or the trapped error's code after its
// message is shown.
template <class Body>
int Guarded(Body&& body) {
  uint32_t code = RunTrapped(body);
  if (code) DisplayPendingMessage();
  return static_cast<int>(code);
}
void ApiFailureLine(const char* apiName, DWORD rc);
void ErrorManagementInitialization();
void ErrorManagementReInitialization();
void ErrorManagementTermination();
void WriteMiniDump(EXCEPTION_POINTERS* info);
LONG WINAPI ExceptionFilter(EXCEPTION_POINTERS* info);
BOOL WINAPI ConsoleControlHandler(DWORD type);

// OS helpers.
void* GlobalAllocZero(size_t bytes);
HMODULE ExeModule();
bool IsConsoleProgram();
bool IsNTFamily();
bool IsProjectCode(const void* address);
// The checks of OSIsBadReadPtr, OSIsBadCodePtr and OSIsBadStringPtr with
// their answers, answered without the memory manager for memory in a
// loaded module's sections or in a collected block (the raise path runs
// them on every error).
bool ReadableMemory(const void* p, size_t n);
bool ExecutableCode(const void* p);
bool ReadableString(const wchar_t* s, uint32_t max);
void ModuleFileName(HMODULE module, wchar_t* out, DWORD units);
void SystemErrorText(DWORD code, wchar_t* out, DWORD units);
HMODULE KernelModule();

}  // namespace Qel::RunTime::Kernel::detail

extern "C" {
[[noreturn]] void qel_no_backtrack_exit();
void qel_trail_grow(Qel::RunTime::Kernel::Control::TPrologThreadData* record);
const void* qel_readable_position(const void* position);
}
