// Threads with their own record and global stack, temporary records for
// threads that have none, and the core critical section.
#include <gtest/gtest.h>
#include <windows.h>

#include <gc.h>

#include <thread>

#include "heap_probe.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using Multithreading::RPrologRunnablePredicateStruct;
using PTD = Control::TPrologThreadData;

namespace {

DWORD RunThread(const void* code, void* object, uint32_t gstackSize) {
  RPrologRunnablePredicateStruct predicate{code, object};
  HANDLE thread = nullptr;
  uint32_t rc = RunTrapped([&] {
    thread = static_cast<HANDLE>(Multithreading::CreatePrologThread(&predicate, gstackSize, 0, 0));
  });
  EXPECT_EQ(rc, 0u);
  if (!thread) return 0xFFFFFFFF;
  EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 0xFFFFFFFF;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  return exitCode;
}

struct Seen {
  PTD* record;
  PTD* creator;
  uint64_t reserved;
  bool allocated;
};

void Inspect(void* object) {
  auto* seen = static_cast<Seen*>(object);
  PTD* r = PTD::GetPTDwithBody();
  seen->record = r;
  seen->reserved = r->gstackEnd - r->gstackBase;
  uint8_t* block = Memory::AllocGStack(100000);
  seen->allocated = block >= r->gstackBase && block < r->gstackEnd && r->trail != nullptr;
}

void Fails() { Fail(); }
void Raises() { Errors::RunTimeError(201, 7u); }
void AllocatesOnTheGlobalStack() { Memory::AllocGStack(16); }

}  // namespace

TEST(Threads, PredicateRunsWithItsOwnRecordAndGlobalStack) {
  Seen seen{nullptr, PTD::GetPTDwithBody(), 0, false};
  EXPECT_EQ(RunThread(reinterpret_cast<const void*>(&Inspect), &seen, 1 << 20), 0u);
  EXPECT_NE(seen.record, nullptr);
  EXPECT_NE(seen.record, seen.creator);
  EXPECT_EQ(seen.reserved, 1u << 20);
  EXPECT_TRUE(seen.allocated);
}

TEST(Threads, ExitCodeIsZeroOnSuccessOrFailureAndTheErrorCodeOtherwise) {
  struct Case {
    void (*code)();
    uint32_t gstackSize;
    DWORD exitCode;
  };
  const Case cases[] = {
      {&AllocatesOnTheGlobalStack, 65536, 0},
      {&Fails, 65536, 0},
      {&Raises, 65536, 201},
      {&AllocatesOnTheGlobalStack, 0, 203},  // no global stack
  };
  for (const Case& c : cases)
    EXPECT_EQ(RunThread(reinterpret_cast<const void*>(c.code), nullptr, c.gstackSize), c.exitCode);
}

namespace {

struct RootCheck {
  HANDLE stored;
  HANDLE release;
  Probe probe;
};

// Keeps a heap string referenced only from the thread's global stack until
// told to finish.
void KeepOnThreadGStack(void* object) {
  auto* check = static_cast<RootCheck*>(object);
  auto* slot = reinterpret_cast<wchar_t**>(Memory::AllocGStack(sizeof(wchar_t*)));
  check->probe = StoreNewHeapString(slot, L"on another thread's global stack");
  ScrubStack();
  SetEvent(check->stored);
  WaitForSingleObject(check->release, INFINITE);
}

}  // namespace

TEST(Threads, AnotherThreadsGlobalStackIsARoot) {
  RootCheck check{CreateEventW(nullptr, TRUE, FALSE, nullptr),
                  CreateEventW(nullptr, TRUE, FALSE, nullptr), {}};
  RPrologRunnablePredicateStruct predicate{reinterpret_cast<const void*>(&KeepOnThreadGStack),
                                           &check};
  HANDLE thread =
      static_cast<HANDLE>(Multithreading::CreatePrologThread(&predicate, 1 << 20, 0, 0));
  ASSERT_EQ(WaitForSingleObject(check.stored, 30000), WAIT_OBJECT_0);
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  EXPECT_TRUE(check.probe.Alive());
  SetEvent(check.release);
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
  // The thread released its global stack: no longer a root.
  ScrubStack();
  for (int i = 0; i < 3 && check.probe.Alive(); ++i) Memory::GarbageCollector();
  EXPECT_FALSE(check.probe.Alive());
  CloseHandle(check.stored);
  CloseHandle(check.release);
}

namespace {

// Breaks its own record's signature until told to finish.
void BreakOwnRecord(void* object) {
  auto* check = static_cast<RootCheck*>(object);
  PTD* r = PTD::GetPTDwithBody();
  r->signature = 0;
  SetEvent(check->stored);
  WaitForSingleObject(check->release, INFINITE);
  r->signature = PTD::Signature;
}

}  // namespace

TEST(Threads, ARecordWithABadSignatureCostsOnlyItsOwnRoot) {
  // The broken record is newer than the main thread's: the collector must
  // still scan the main thread's global stack.
  RootCheck check{CreateEventW(nullptr, TRUE, FALSE, nullptr),
                  CreateEventW(nullptr, TRUE, FALSE, nullptr), {}};
  RPrologRunnablePredicateStruct predicate{reinterpret_cast<const void*>(&BreakOwnRecord), &check};
  HANDLE thread =
      static_cast<HANDLE>(Multithreading::CreatePrologThread(&predicate, 1 << 20, 0, 0));
  ASSERT_EQ(WaitForSingleObject(check.stored, 30000), WAIT_OBJECT_0);
  uint8_t* mark = Memory::MarkGStack();
  auto* slot = reinterpret_cast<wchar_t**>(Memory::AllocGStack(sizeof(wchar_t*)));
  Probe probe = StoreNewHeapString(slot, L"on the main thread's global stack");
  ScrubStack();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  EXPECT_TRUE(probe.Alive());
  EXPECT_TRUE(SlotHolds(slot, L"on the main thread's global stack"));
  SetEvent(check.release);
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
  Memory::ReleaseGStack(mark);
  CloseHandle(check.stored);
  CloseHandle(check.release);
}

TEST(Threads, TemporaryRecordForAThreadWithoutOne) {
  std::thread([] {
    EXPECT_EQ(PTD::GetPTDwithBody(), nullptr);
    ASSERT_TRUE(CreateTemporaryPTDifNeed());
    EXPECT_FALSE(CreateTemporaryPTDifNeed());
    PTD* r = PTD::GetPTDwithBody();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->signature, 0x00445450u);
    // Traps work; the record has no global stack.
    EXPECT_EQ(RunTrapped([] { Memory::AllocGStack(8); }), 203u);
    EXPECT_FALSE(Succeeds([] { Fail(); }));
    void* block = Memory::AllocHeap(32);
    EXPECT_NE(block, nullptr);
    DeleteTemporaryPTD();
    EXPECT_EQ(PTD::GetPTDwithBody(), nullptr) << "the slot still names the removed record";
    DeleteTemporaryPTD();  // nothing left to remove
  }).join();

  // A record that is not temporary is never removed.
  PTD* main = PTD::GetPTDwithBody();
  EXPECT_FALSE(CreateTemporaryPTDifNeed());
  DeleteTemporaryPTD();
  EXPECT_EQ(PTD::GetPTDwithBody(), main);
  EXPECT_EQ(main->signature, 0x00445450u);
}

TEST(Threads, CoreCriticalSectionSerialises) {
  static int counter = 0;
  counter = 0;
  std::thread threads[4];
  for (auto& t : threads)
    t = std::thread([] {
      for (int i = 0; i < 20000; ++i) {
        Multithreading::EnterQelCoreCriticalSection();
        int seen = counter;
        if (i % 1000 == 0) Sleep(0);
        counter = seen + 1;
        Multithreading::LeaveQelCoreCriticalSection();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

TEST(Units, LoadProcAddress) {
  void* out = nullptr;
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  void* found = LoadProcAddress(L"kernel32.dll", "GetTickCount", &out);
  EXPECT_EQ(found, reinterpret_cast<void*>(GetProcAddress(kernel32, "GetTickCount")));
  EXPECT_EQ(out, found);
  EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), kernel32);

  EXPECT_EQ(RunTrapped([] { LoadProcAddress(L"kernel32.dll", "NoSuchProcedure", nullptr); }), 16u);
  std::wstring m = PTD::GetCurrentLastErrorMessage();
  EXPECT_NE(m.find(L"Error on loading predicate 'NoSuchProcedure' from module 'kernel32.dll', "
                   L"GetLastError=127"),
            std::wstring::npos)
      << testing::PrintToString(m);
  EXPECT_EQ(RunTrapped([] { LoadProcAddress(L"no-such-module.dll", "X", nullptr); }), 15u);
  m = PTD::GetCurrentLastErrorMessage();
  EXPECT_NE(m.find(L"Error on loading module 'no-such-module.dll', GetLastError=126"),
            std::wstring::npos)
      << testing::PrintToString(m);
  // A module this call loaded is freed again when the procedure is missing.
  static const wchar_t* unloaded = nullptr;
  for (const wchar_t* name : {L"msimg32.dll", L"dciman32.dll", L"mapi32.dll"})
    if (!unloaded && !GetModuleHandleW(name)) unloaded = name;
  ASSERT_NE(unloaded, nullptr);
  EXPECT_EQ(RunTrapped([] { LoadProcAddress(unloaded, "NoSuchProcedure", nullptr); }), 16u);
  EXPECT_EQ(GetModuleHandleW(unloaded), nullptr);
}

// The module is loaded at the first call, not before; the slot keeps the
// address, and a procedure that is missing raises and leaves it empty.
TEST(Units, BoundProcedure) {
  ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);
  auto gradientFill = [] { return QEL_BOUND_PROCEDURE(L"msimg32.dll", GradientFill); };
  auto* bound = gradientFill();
  HMODULE msimg32 = GetModuleHandleW(L"msimg32.dll");
  ASSERT_NE(msimg32, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(bound),
            reinterpret_cast<void*>(GetProcAddress(msimg32, "GradientFill")));
  EXPECT_EQ(gradientFill(), bound);

  using Procedure = void();
  static Procedure* volatile slot = nullptr;
  EXPECT_EQ(RunTrapped([] { BoundProcedure(&slot, L"msimg32.dll", "NoSuchProcedure"); }), 16u);
  EXPECT_EQ(slot, nullptr);
}
