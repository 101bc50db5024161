// The collected heap: global stacks as roots, finalisers, the collection and
// statistics switches, timers and the size checks.
#include <gtest/gtest.h>
#include <windows.h>

#include <gc.h>

#include <cstring>

#include "heap_probe.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using PTD = Control::TPrologThreadData;
using Memory::PROLOG_TimeIntervalValue;
using Memory::PROLOG_Unsigned64;

namespace {

struct GStackScope {
  uint8_t* mark = Memory::MarkGStack();
  ~GStackScope() { Memory::ReleaseGStack(mark); }
};

int g_finalized[8];
void CountFinalizer(void* block) { ++g_finalized[*static_cast<int*>(block)]; }
void RaisingFinalizer(void*) { Errors::RunTimeError(201, 5u); }

}  // namespace

TEST(Heap, StringReferencedOnlyFromTheGlobalStackSurvivesUntilReleased) {
  GStackRootOutcome outcome = CheckGStackRoot();
  EXPECT_TRUE(outcome.keptWhileReferenced) << "a block referenced from the global stack was reclaimed";
  EXPECT_TRUE(outcome.textIntact);
  EXPECT_TRUE(outcome.reclaimedAfterRelease) << "a block above the global-stack top was kept";
  // The collector's start hook cleared the released words.
  EXPECT_TRUE(outcome.releasedWordCleared);
}

TEST(Heap, UnreferencedStringIsReclaimed) {
  // The control for the test above: the probe sees a reclaim.
  Probe probe = NewUnreferencedHeapString();
  ScrubStack();
  for (int i = 0; i < 3 && probe.Alive(); ++i) Memory::GarbageCollector();
  EXPECT_FALSE(probe.Alive());
}

TEST(Heap, FinalisersRunOnceAtCollection) {
  memset(g_finalized, 0, sizeof g_finalized);
  MakeFinalizable(0, CountFinalizer);
  MakeFinalizable(1, CountFinalizer);
  ScrubStack();
  for (int i = 0; i < 4; ++i) Memory::GarbageCollector();
  EXPECT_EQ(g_finalized[0], 1);
  EXPECT_EQ(g_finalized[1], 1);
}

TEST(Heap, ErrorInAFinaliserIsTrappedThereAndOthersStillRun) {
  memset(g_finalized, 0, sizeof g_finalized);
  PTD* r = PTD::GetPTDwithBody();
  TBackTrackBlock* trapTop = r->trapTop;
  TBackTrackBlock* backTrackTop = r->backTrackTop;
  uint8_t* top = r->gstackTop;
  MakeFinalizable(2, RaisingFinalizer);
  MakeFinalizable(3, CountFinalizer);
  // Not code: never called, but the block is still finalised.
  static int notCode = 3;
  Memory::AllocHeapWithFinalization(16, reinterpret_cast<Memory::TFinalizer>(&notCode));
  ScrubStack();
  for (int i = 0; i < 4; ++i) Memory::GarbageCollector();
  EXPECT_EQ(g_finalized[3], 1);
  EXPECT_EQ(r->trapTop, trapTop);
  EXPECT_EQ(r->backTrackTop, backTrackTop);
  EXPECT_EQ(r->gstackTop, top);
}

TEST(Heap, ExplicitReleaseDropsTheFinaliser) {
  memset(g_finalized, 0, sizeof g_finalized);
  void* block = Memory::AllocHeapWithFinalization(16, CountFinalizer);
  *static_cast<int*>(block) = 4;
  Memory::ReleaseHeap(block);
  // The memory is reused; its finaliser must not follow it.
  for (int i = 0; i < 1000; ++i) *static_cast<int*>(Memory::AllocHeap(16)) = 4;
  static int notOnTheHeap[4];
  Memory::ReleaseHeap(&notOnTheHeap[1]);  // ignored
  ScrubStack();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  EXPECT_EQ(g_finalized[4], 0);
}

TEST(Heap, CollectionSwitchIsACounterThatNeverGoesBelowZero) {
  Memory::GarbageCollectorDisable();
  Memory::GarbageCollectorDisable();
  Memory::GarbageCollectorEnable();
  EXPECT_TRUE(GC_is_disabled());
  Probe probe = NewUnreferencedHeapString();
  ScrubStack();
  Memory::GarbageCollector();
  EXPECT_TRUE(probe.Alive()) << "collected while collection was disabled";
  Memory::GarbageCollectorEnable();
  EXPECT_FALSE(GC_is_disabled());
  Memory::GarbageCollectorEnable();  // at zero: stays zero
  Memory::GarbageCollectorDisable();
  EXPECT_TRUE(GC_is_disabled());
  Memory::GarbageCollectorEnable();
  EXPECT_FALSE(GC_is_disabled());
  for (int i = 0; i < 3 && probe.Alive(); ++i) Memory::GarbageCollector();
  EXPECT_FALSE(probe.Alive());
}

TEST(Heap, StatisticsTimeCollectorCallsWhileSwitchedOn) {
  GStackScope scope;
  PROLOG_TimeIntervalValue *elapsed, *inCollector, *inFinalizers;
  PROLOG_Unsigned64 *ticksElapsed, *ticksCollector, *ticksFinalizers;
  Memory::GetGarbageCollectorCounters(&ticksElapsed, &ticksCollector, &ticksFinalizers);
  uint64_t before = *ticksCollector;
  Memory::GarbageCollector();  // switched off: not timed
  Memory::GetGarbageCollectorCounters(&ticksElapsed, &ticksCollector, &ticksFinalizers);
  EXPECT_EQ(*ticksCollector, before);

  Memory::GarbageCollectorStatisticsDisable();  // at zero: stays zero
  Memory::GarbageCollectorStatisticsEnable();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  for (int i = 0; i < 1000; ++i) Memory::AllocHeap(100);
  Memory::GarbageCollectorStatisticsDisable();
  Memory::GetGarbageCollectorCounters(&ticksElapsed, &ticksCollector, &ticksFinalizers);
  EXPECT_GT(*ticksCollector, before);
  EXPECT_GE(*ticksElapsed, *ticksCollector);

  Memory::GetGarbageCollectorTimes(&elapsed, &inCollector, &inFinalizers);
  EXPECT_GT(*inCollector, 0);
  EXPECT_GE(*elapsed, *inCollector);
  EXPECT_GE(*inFinalizers, 0);
  // Values live on the caller's global stack.
  EXPECT_GE(reinterpret_cast<uint8_t*>(elapsed), scope.mark);
  EXPECT_LT(reinterpret_cast<uint8_t*>(elapsed), Memory::MarkGStack());
  // Elapsed time since the kernel was loaded is about the process's age.
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  auto ft = [](FILETIME f) { return (static_cast<int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  int64_t age = ft(now) - ft(created);
  EXPECT_LE(*elapsed, age + 10000000);
  EXPECT_GT(*elapsed, 0);
}

TEST(Heap, SizesAndStrings) {
  GStackScope scope;
  wchar_t* empty = Memory::AllocHeapString(0);
  EXPECT_EQ(empty[0], 0);
  // 2n + 2 bytes of 0xFFFFFFFF units does not fit: 206, not a wrapped size.
  EXPECT_EQ(RunTrapped([] { Memory::AllocHeapString(0xFFFFFFFFu); }), 206u);
  EXPECT_NE(std::wstring(PTD::GetCurrentLastErrorMessage()).find(L"Heap exhausted. Request="),
            std::wstring::npos);

  // CopyStringToGStack copies to the heap: the copy outlives the global stack.
  wchar_t* onStack = Memory::AllocGStackString(5);
  wcscpy(onStack, L"hello");
  wchar_t* copy = Memory::CopyStringToGStack(onStack);
  Memory::ReleaseGStack(scope.mark);
  Memory::AllocGStackString(5)[0] = L'X';
  EXPECT_STREQ(copy, L"hello");
  EXPECT_TRUE(GC_base(copy) != nullptr);

  auto* grown = static_cast<char*>(Memory::ReAllocHeap(Memory::AllocHeap(8), 4096));
  grown[4095] = 1;
  Memory::ReleaseHeap(grown);
  EXPECT_GT(Memory::UsedHeapSize(), 0u);
  EXPECT_GT(Memory::FreeHeapSize(), 0u);
}
