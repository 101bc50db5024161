// Threads that run a predicate with their own record, global stack and
// trail; the core critical section.
//
// Invariants:
//  - A thread's record lives on its own machine stack and leaves the
//    collector's root list, and the thread's slot, before the thread ends.
//  - The start record is uncollectable until the new thread has copied it:
//    the object it names stays reachable in between.
#include "ptd.h"

#include <gc.h>

namespace Qel::RunTime::Kernel {
namespace detail {

CRITICAL_SECTION g_coreLock;

namespace {

struct CoreLockInit {
  CoreLockInit() { InitializeCriticalSection(&g_coreLock); }
} g_coreLockInit;

struct StartRecord {
  const void* code;
  void* object;
  uint32_t gstackSize;
};

DWORD WINAPI ThreadMain(void* arg) {
  auto* start = static_cast<StartRecord*>(arg);
  const void* code = start->code;
  void* object = start->object;
  uint32_t gstackSize = start->gstackSize;
  GC_free(start);

  TPrologThreadData record;
  InitThreadRecord(&record);
  InstallPTD(&record);
  Multithreading::RegistrationPTDForDebugger(&record, GetCurrentThreadId());
  LogLine("threadMain. threadId: %08lX\n", GetCurrentThreadId());
  LogLine("\tPTD: %08llX %08llX\n", reinterpret_cast<unsigned long long>(&record),
          reinterpret_cast<unsigned long long>(CurrentPTD()));
  LogLine("\tBaseESP: %08llX\tGStackBase: %08llX\n",
          reinterpret_cast<unsigned long long>(record.baseESP),
          reinterpret_cast<unsigned long long>(record.gstackBase));

  DWORD result = Guarded([&] {
    CreateGStack(&record, gstackSize);
    CreateTrail(&record);
  });
  if (!result) {
    result = Guarded([&] {
      Succeeds([&] {
        if (object)
          reinterpret_cast<void (*)(void*)>(const_cast<void*>(code))(object);
        else
          reinterpret_cast<void (*)()>(const_cast<void*>(code))();
      });
    });
    LogLine("terminateThread. threadId: %08lX\n", GetCurrentThreadId());
    Guarded([&] {
      ReleaseGStack(&record);
      ReleaseTrail(&record);
    });
  }
  // Whatever step 2 or 3 left behind.
  FreeThreadRecord(&record);
  return result;
}

}  // namespace
}  // namespace detail

using namespace detail;

namespace Multithreading {

void EnterQelCoreCriticalSection() { EnterCriticalSection(&g_coreLock); }
void LeaveQelCoreCriticalSection() { LeaveCriticalSection(&g_coreLock); }

void* CreatePrologThread(const RPrologRunnablePredicateStruct* predicate, uint32_t gstackSize,
                         uint32_t machineStackSize, uint32_t creationFlags) {
  if (!predicate || !predicate->code) Errors::InternalError(L"CreatePrologThread: no predicate");
  auto* start = static_cast<StartRecord*>(Memory::AllocUncollectableHeap(sizeof(StartRecord)));
  start->code = predicate->code;
  start->object = predicate->object;
  start->gstackSize = gstackSize;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, machineStackSize, ThreadMain, start, creationFlags, &id);
  if (!thread) {
    DWORD rc = GetLastError();
    GC_free(start);
    Errors::RunTimeError(11, static_cast<int>(rc));
  }
  LogLine("CreatePrologThread. threadHandle=%08llX, threadId=%08lX\n",
          reinterpret_cast<unsigned long long>(thread), id);
  return thread;
}

void RegistrationPTDForDebugger(Control::TPrologThreadData*, uint32_t) {}

}  // namespace Multithreading
}  // namespace Qel::RunTime::Kernel
