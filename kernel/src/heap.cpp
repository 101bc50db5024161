// The collected heap over bdwgc: allocation, finalisation, collection, the
// collection and statistics switches, the three timers, and the hooks that
// tie the collector to the kernel.
//
// Invariants:
//  - Every allocation either returns memory or raises 206; sizes computed
//    from counts are 64-bit and never wrap.
//  - The used part [base, top) of every live global stack is a root of the
//    collector; pages above the top are never read by it.
//  - Nothing called by the collector while it holds its lock (start of a
//    collection, abort) raises or unwinds: failures are logged, a fatal one
//    ends the process.
//  - Each thread that runs while the kernel is loaded is registered with the
//    collector (thread attach, or a temporary record for an older thread).
#include "ptd.h"

#include <gc.h>
#include <gc/gc_mark.h>
#include <gc/javaxfc.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace Qel::RunTime::Kernel {
namespace detail {

namespace {

struct Timer {
  uint64_t accumulated;
  uint64_t start;
};

// The heap the collector starts with (see HeapProcessAttach).
constexpr size_t kInitialHeapBytes = 64u << 20;

Timer g_elapsed, g_inCollector, g_inFinalizers;
uint64_t g_frequency = 100000;
volatile LONG g_statistics = 0;
LONG g_disableCount = 0;  // under g_switchLock
CRITICAL_SECTION g_switchLock;

// The records whose global stacks are roots: an array on the process heap
// (a record may live on a thread's stack, a link there could lead anywhere),
// changed only while the collector's lock is held.
TPrologThreadData** g_roots = nullptr;
size_t g_rootCount = 0;
size_t g_rootCapacity = 0;
GC_push_other_roots_proc g_previousPushRoots = nullptr;

uint64_t Ticks() {
  LARGE_INTEGER now;
  if (!QueryPerformanceCounter(&now)) {
    g_statistics = 0;
    return 0;
  }
  return static_cast<uint64_t>(now.QuadPart);
}

void Start(Timer& t) { t.start = Ticks(); }
// Returns the reading, which also refreshes the elapsed timer.
uint64_t Stop(Timer& t) {
  uint64_t now = Ticks();
  t.accumulated += now - t.start;
  return now;
}
void RefreshElapsed(uint64_t now) { g_elapsed.accumulated = now - g_elapsed.start; }
void RefreshElapsed() { RefreshElapsed(Ticks()); }

bool StatisticsOn() { return g_statistics > 0; }

// Runs a collector call, timed while statistics are on.
template <class Call>
auto Timed(Call&& call) {
  if (!StatisticsOn()) return call();
  Start(g_inCollector);
  struct Finish {
    ~Finish() { RefreshElapsed(Stop(g_inCollector)); }
  } finish;
  return call();
}

[[noreturn]] void Exhausted(uint64_t size) {
  uint32_t s = static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFFu));
  Errors::RunTimeError(206, s, s);
}

// --- Collector callbacks (the collector holds its lock) ----------------------

// True when [base, top) is committed memory of one reservation (a record
// left behind by a thread killed from outside may name anything).
bool CommittedRange(const uint8_t* base, const uint8_t* top) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(base, &mbi, sizeof mbi) || mbi.State != MEM_COMMIT ||
      mbi.AllocationBase != base)
    return false;
  return top <= static_cast<const uint8_t*>(mbi.BaseAddress) + mbi.RegionSize;
}

void GC_CALLBACK PushGStackRoots() {
  for (size_t i = 0; i < g_rootCount; ++i) {
    TPrologThreadData* r = g_roots[i];
    if (!IsValidPTD(r)) continue;  // a broken record costs only its own stack
    uint8_t* base = r->gstackBase;
    uint8_t* top = r->gstackTop;
    if (base && top > base && top <= r->gstackCommitTop && CommittedRange(base, top))
      GC_push_all(base, top);
  }
  if (g_previousPushRoots) g_previousPushRoots();
}

void GC_CALLBACK CollectionStarts() { PrepareGStackForGC(); }

void GC_CALLBACK IgnoreWarning(char*, GC_word) {}

// A fatal collector error: msg is null when the collector ran out of memory
// at start-up or for its own tables.
void GC_CALLBACK CollectorAbort(const char* msg) {
  // From now on nothing may wait for the collector's lock (thread attach of
  // the thread that shows the message, thread detach).
  g_collectorFailed = true;
  if (!msg) {
    LogLine("Can't start up: not enough memory\n");
    FatalErrorExit(204);
  }
  FatalErrorExit(205, msg);
}

struct RootChange {
  TPrologThreadData* record;
  bool add;
  bool done;
};

void* GC_CALLBACK ChangeRoots(void* arg) {
  auto* change = static_cast<RootChange*>(arg);
  TPrologThreadData* r = change->record;
  if (change->add) {
    if (g_rootCount == g_rootCapacity) {
      size_t capacity = g_rootCapacity ? g_rootCapacity * 2 : 16;
      void* grown = g_roots ? HeapReAlloc(GetProcessHeap(), 0, g_roots, capacity * sizeof *g_roots)
                            : HeapAlloc(GetProcessHeap(), 0, capacity * sizeof *g_roots);
      if (!grown) return nullptr;
      g_roots = static_cast<TPrologThreadData**>(grown);
      g_rootCapacity = capacity;
    }
    g_roots[g_rootCount++] = r;
    r->flags |= kRecordIsRoot;
  } else if (r->flags & kRecordIsRoot) {
    for (size_t i = 0; i < g_rootCount; ++i) {
      if (g_roots[i] != r) continue;
      g_roots[i] = g_roots[--g_rootCount];
      break;
    }
    r->flags &= ~kRecordIsRoot;
  }
  change->done = true;
  return nullptr;
}

}  // namespace

bool g_collectorFailed = false;

void AddGStackRoot(TPrologThreadData* record) {
  if (record->flags & kRecordIsRoot) return;
  RootChange change{record, true, false};
  GC_call_with_alloc_lock(ChangeRoots, &change);
  if (!change.done) Exhausted(sizeof(void*) * (g_rootCapacity + 1));
}

void RemoveGStackRoot(TPrologThreadData* record) {
  if (!(record->flags & kRecordIsRoot)) return;
  RootChange change{record, false, false};
  GC_call_with_alloc_lock(ChangeRoots, &change);
}

void HeapProcessAttach() {
  InitializeCriticalSection(&g_switchLock);
  // One marker: helper threads could neither be started from the library's
  // load step (the loader lock is held) nor be told apart from client
  // threads at thread attach.
  GC_set_markers_count(1);
  if (getenv("GC_MARKERS")) _putenv("GC_MARKERS=1");  // it would override the count
  GC_set_abort_func(CollectorAbort);
  GC_set_warn_proc(IgnoreWarning);
  GC_INIT();
  // The collector grows its heap only by the live data it finds, so a
  // program whose terms die young (a string per line read) keeps a heap of
  // a few hundred KiB and collects after every few hundred KiB allocated,
  // each time paying the fixed cost of the roots and the stopped world.
  // The heap starts larger instead; its pages are touched only as blocks
  // are handed out.
  size_t heap = GC_get_heap_size();
  if (heap < kInitialHeapBytes) GC_expand_hp(kInitialHeapBytes - heap);
  GC_allow_register_threads();
  GC_set_start_callback(CollectionStarts);
  g_previousPushRoots = GC_get_push_other_roots();
  GC_set_push_other_roots(PushGStackRoots);

  g_statistics = 0;
  g_inCollector = g_inFinalizers = Timer{};
  LARGE_INTEGER f;
  g_frequency = QueryPerformanceFrequency(&f) && f.QuadPart ? static_cast<uint64_t>(f.QuadPart)
                                                            : 100000;
  g_elapsed = Timer{0, Ticks()};
}

void HeapThreadAttach() {
  if (g_collectorFailed) return;
  GC_stack_base base;
  if (GC_get_stack_base(&base) == GC_SUCCESS) GC_register_my_thread(&base);
}

void HeapThreadDetach() {
  if (!g_collectorFailed && GC_thread_is_registered()) GC_unregister_my_thread();
}

bool RegisterThreadWithCollector() {
  if (GC_thread_is_registered()) return false;
  GC_stack_base base;
  return GC_get_stack_base(&base) == GC_SUCCESS && GC_register_my_thread(&base) == GC_SUCCESS;
}

void UnregisterThreadWithCollector() { GC_unregister_my_thread(); }

}  // namespace detail

using namespace detail;

namespace Memory {

// --- Allocation ---------------------------------------------------------------

// A block from `alloc`, timed; raises 206 when there is none, and reports
// the allocation (and, with `reportRelease`, its release) to an open profile.
template <class Alloc>
static void* NewBlock(uint32_t size, bool reportRelease, Alloc&& alloc) {
  void* block = Timed(alloc);
  if (!block) Exhausted(size);
  if (g_profileOpen) ProfileAllocation(block, size, reportRelease);
  return block;
}

void* AllocHeap(uint32_t size) {
  return NewBlock(size, true, [=] { return GC_malloc(size); });
}

void* AllocAtomicHeap(uint32_t size) {
  return NewBlock(size, true, [=] { return GC_malloc_atomic(size); });
}

void* AllocUncollectableHeap(uint32_t size) {
  return NewBlock(size, false, [=] { return GC_malloc_uncollectable(size); });
}

// NullFinalisationProc reports the release before it calls the finaliser.
void* AllocHeapWithFinalization(uint32_t size, TFinalizer finalizer) {
  void* block = NewBlock(size, false, [=] { return GC_malloc(size); });
  GC_register_finalizer_ignore_self(block, NullFinalisationProc,
                                    reinterpret_cast<void*>(finalizer), nullptr, nullptr);
  return block;
}

void* ReAllocHeap(void* block, uint32_t size) {
  void* grown = Timed([=] { return GC_realloc(block, size); });
  if (!grown && size) Exhausted(size);
  return grown;
}

void ReleaseHeap(void* block) {
  if (!block) return;
  // Only the start of a heap block can be freed; anything else would
  // corrupt the collector's tables.
  if (GC_base(block) != block) {
    LogLine("\n!!! ReleaseHeap( %08llX ): not a heap block\n",
            reinterpret_cast<unsigned long long>(block));
    return;
  }
  if (g_profileOpen) Statistics::memProf_WriteDeAlloc(block);
  // A finaliser left registered would later run on whatever reuses the
  // memory.
  GC_register_finalizer_ignore_self(block, nullptr, nullptr, nullptr, nullptr);
  Timed([=] { GC_free(block); });
}

wchar_t* AllocHeapString(uint32_t n) {
  uint64_t bytes = (static_cast<uint64_t>(n) + 1) * 2;
  if (bytes > 0xFFFFFFFFull) Exhausted(bytes);
  auto* s = static_cast<wchar_t*>(AllocAtomicHeap(static_cast<uint32_t>(bytes)));
  s[n] = 0;
  return s;
}

wchar_t* CopyStringToHeap(const wchar_t* s) {
  size_t n = s ? wcslen(s) : 0;
  if (n >= 0x7FFFFFFF) Exhausted((static_cast<uint64_t>(n) + 1) * 2);
  wchar_t* copy = AllocHeapString(static_cast<uint32_t>(n));
  if (n) memcpy(copy, s, n * sizeof(wchar_t));
  return copy;
}

wchar_t* CopyStringToGStack(const wchar_t* s) { return CopyStringToHeap(s); }

// --- Finalisation ---------------------------------------------------------------

void NullFinalisationProc(void* block, void* finalizer) {
  if (g_profileOpen) Statistics::memProf_WriteDeAlloc(block);
  auto fn = reinterpret_cast<TFinalizer>(finalizer);
  if (!fn) return;
  // Most blocks share a few finalisers: the last one found executable is
  // not looked up again.
  static void* volatile lastExecutable = nullptr;
  if (finalizer != lastExecutable) {
    if (OSInterface::OSIsBadCodePtr(finalizer)) return;
    lastExecutable = finalizer;
  }
  // The finaliser runs on whatever thread the collector chose, inside the
  // collector's frames: give it a record when it has none (the slot holds a
  // record of ours or null) and a boundary that nothing crosses.
  TPrologThreadData* r = CurrentPTD();
  bool temporary = false;
  if (!r || r->signature != TPrologThreadData::Signature) temporary = CreateTemporaryPTDifNeed();
  bool timed = StatisticsOn();
  if (timed) Start(g_inFinalizers);
  BoundaryOutcome end = RunAtCallbackBoundary([&] { fn(block); });
  if (timed) Stop(g_inFinalizers);
  if (end.error) {
    LogLine("\n!!! Finalizer %08llX raised error %u\n",
            reinterpret_cast<unsigned long long>(finalizer), end.error);
    DisplayPendingMessage();
  } else if (end.failed) {
    LogLine("\n!!! Finalizer %08llX failed\n", reinterpret_cast<unsigned long long>(finalizer));
  }
  if (temporary) DeleteTemporaryPTD();
}

void FinalizeAll() {
  LogLine("\nFinalizeAll() started ...");
  Timed([] { GC_finalize_all(); });
  LogLine("\nFinalizeAll() end\n");
}

// --- Collection and statistics -----------------------------------------------------

void GarbageCollector() {
  LogLine("call GarbageCollector\n");
  Timed([] { GC_gcollect(); });
}

void GarbageCollectorDisable() {
  EnterCriticalSection(&g_switchLock);
  ++g_disableCount;
  GC_disable();
  LeaveCriticalSection(&g_switchLock);
}

void GarbageCollectorEnable() {
  EnterCriticalSection(&g_switchLock);
  if (g_disableCount > 0) {
    --g_disableCount;
    GC_enable();
  }
  LeaveCriticalSection(&g_switchLock);
}

void GarbageCollectorStatisticsEnable() { InterlockedIncrement(&g_statistics); }

void GarbageCollectorStatisticsDisable() {
  LONG n = g_statistics;
  while (n > 0) {
    LONG seen = InterlockedCompareExchange(&g_statistics, n - 1, n);
    if (seen == n) break;
    n = seen;
  }
}

uint32_t FreeHeapSize() {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (!GlobalMemoryStatusEx(&ms)) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(ms.ullAvailPageFile, 0xFFFFFFFFu));
}

uint32_t UsedHeapSize() {
  return static_cast<uint32_t>(std::min<uint64_t>(GC_get_heap_size(), 0xFFFFFFFFu));
}

// Ticks to 100-ns units without overflow or loss of the fraction.
static PROLOG_TimeIntervalValue TicksToInterval(uint64_t ticks) {
  uint64_t f = g_frequency ? g_frequency : 100000;
  return static_cast<PROLOG_TimeIntervalValue>(ticks / f * 10000000 + ticks % f * 10000000 / f);
}

// Hands each requested timer, read at one instant and converted, to the
// caller in a new cell on its global stack.
template <class T, class Convert>
static void PublishTimers(T** elapsed, T** inCollector, T** inFinalizers, Convert convert) {
  RefreshElapsed();
  const uint64_t ticks[3] = {g_elapsed.accumulated, g_inCollector.accumulated,
                             g_inFinalizers.accumulated};
  T** out[3] = {elapsed, inCollector, inFinalizers};
  for (int i = 0; i < 3; ++i) {
    if (!out[i]) continue;
    auto* v = reinterpret_cast<T*>(AllocGStack(sizeof(T)));
    *v = convert(ticks[i]);
    *out[i] = v;
  }
}

void GetGarbageCollectorTimes(PROLOG_TimeIntervalValue** elapsed,
                              PROLOG_TimeIntervalValue** inCollector,
                              PROLOG_TimeIntervalValue** inFinalizers) {
  PublishTimers(elapsed, inCollector, inFinalizers, TicksToInterval);
}

void GetGarbageCollectorCounters(PROLOG_Unsigned64** elapsed, PROLOG_Unsigned64** inCollector,
                                 PROLOG_Unsigned64** inFinalizers) {
  PublishTimers(elapsed, inCollector, inFinalizers, [](uint64_t ticks) { return ticks; });
}

}  // namespace Memory
}  // namespace Qel::RunTime::Kernel
