// The kernel's heap against the collector called directly, in one run:
// AllocHeap, AllocAtomicHeap and AllocHeapWithFinalization against GC_malloc,
// GC_malloc_atomic and GC_malloc with a finaliser (goal: within 1.2x); and
// the pause of a full collection while a thread's global stack of 1 GB is
// reserved and 100 MB of it committed and in use.
#include <windows.h>

#include <gc.h>

#include <cstdio>

#include "bench_util.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;

using bench::Now;

static void* volatile g_sink;

static void GC_CALLBACK RawFinalizer(void*, void*) {}
static void KernelFinalizer(void*) {}

// Best of `rounds` alternating runs of the two loops, in ns per allocation.
template <class A, class B>
static void Compare(const char* name, uint64_t n, A&& ours, B&& raw, bool goal = true) {
  double bestOurs = 1e30, bestRaw = 1e30;
  for (int round = 0; round < 5; ++round) {
    GC_gcollect();
    double t = Now();
    for (uint64_t i = 0; i < n; ++i) g_sink = ours();
    double o = (Now() - t) * 1e9 / n;
    GC_gcollect();
    t = Now();
    for (uint64_t i = 0; i < n; ++i) g_sink = raw();
    double r = (Now() - t) * 1e9 / n;
    if (o < bestOurs) bestOurs = o;
    if (r < bestRaw) bestRaw = r;
  }
  printf("  %-34s %8.2f   raw %8.2f   ratio %.2f%s\n", name, bestOurs, bestRaw, bestOurs / bestRaw,
         !goal || bestOurs / bestRaw <= 1.2 ? "" : "   (above 1.2)");
}

// --- Collection pause with a large global stack ----------------------------------

struct GStackLoad {
  uint64_t usedBytes;
  HANDLE ready;
  HANDLE done;
};

static void HoldGlobalStack(void* object) {
  auto* load = static_cast<GStackLoad*>(object);
  if (load->usedBytes) {
    // Terms: mostly small words, one live heap pointer in every 64 bytes.
    auto* words = reinterpret_cast<uint64_t*>(Memory::AllocGStack(static_cast<uint32_t>(load->usedBytes)));
    uint64_t n = load->usedBytes / 8;
    for (uint64_t i = 0; i < n; ++i)
      words[i] = i % 8 == 0 ? reinterpret_cast<uint64_t>(Memory::AllocAtomicHeap(16)) : i & 0xFFFF;
  }
  SetEvent(load->ready);
  WaitForSingleObject(load->done, INFINITE);
}

static double PauseMs(int rounds) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    double t = Now();
    Memory::GarbageCollector();
    double ms = (Now() - t) * 1e3;
    if (ms < best) best = ms;
  }
  return best;
}

static void Pause(const char* name, uint64_t reserved, uint64_t used) {
  GStackLoad load{used, CreateEventW(nullptr, TRUE, FALSE, nullptr),
                  CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = nullptr;
  if (reserved) {
    Multithreading::RPrologRunnablePredicateStruct predicate{
        reinterpret_cast<const void*>(&HoldGlobalStack), &load};
    uint32_t rc = RunTrapped([&] {
      thread = Multithreading::CreatePrologThread(&predicate, static_cast<uint32_t>(reserved), 0, 0);
    });
    if (rc) {
      printf("  %-34s could not start: error %u\n", name, rc);
      return;
    }
    WaitForSingleObject(load.ready, INFINITE);
  }
  printf("  %-34s %8.2f ms   heap %u MB\n", name, PauseMs(5), Memory::UsedHeapSize() >> 20);
  SetEvent(load.done);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(load.ready);
  CloseHandle(load.done);
}

int main() {
  printf("kernel heap benchmark (best of 5, ns per allocation)\n");
  const uint64_t n = 2000000;
  Compare("AllocHeap(32) / GC_malloc", n, [] { return Memory::AllocHeap(32); },
          [] { return GC_malloc(32); });
  Compare("AllocAtomicHeap(32) / GC_malloc_atomic", n, [] { return Memory::AllocAtomicHeap(32); },
          [] { return GC_malloc_atomic(32); });
  Compare("AllocHeapString(15) / GC_malloc_atomic", n, [] { return Memory::AllocHeapString(15); },
          [] { return GC_malloc_atomic(32); });
  Compare("AllocHeapWithFinalization(32)", n / 4,
          [] { return Memory::AllocHeapWithFinalization(32, KernelFinalizer); },
          [] {
            void* p = GC_malloc(32);
            GC_register_finalizer_ignore_self(p, RawFinalizer, nullptr, nullptr, nullptr);
            return p;
          });
  // Timing every call reads the performance counter twice: no goal.
  Memory::GarbageCollectorStatisticsEnable();
  Compare("AllocHeap(32), statistics on", n, [] { return Memory::AllocHeap(32); },
          [] { return GC_malloc(32); }, false);
  Memory::GarbageCollectorStatisticsDisable();
  g_sink = nullptr;

  printf("full collection pause (best of 5)\n");
  const uint64_t GB = 1ull << 30, MB = 1ull << 20;
  Pause("no other global stack", 0, 0);
  Pause("1 GB reserved, nothing in use", GB, 0);
  Pause("1 GB reserved, 100 MB in use", GB, 100 * MB);
  return 0;
}
