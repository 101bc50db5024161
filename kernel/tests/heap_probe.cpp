#include "heap_probe.h"

#include <gc.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

using namespace Qel::RunTime::Kernel;

static Probe Watch(void* block) {
  Probe p{static_cast<void**>(malloc(sizeof(void*)))};
  *p.link = reinterpret_cast<void*>(GC_HIDE_POINTER(block));
  GC_general_register_disappearing_link(p.link, block);
  return p;
}

__attribute__((noinline)) Probe StoreNewHeapString(wchar_t** slot, const wchar_t* text) {
  wchar_t* s = Memory::CopyStringToHeap(text);
  *slot = s;
  return Watch(s);
}

__attribute__((noinline)) bool SlotHolds(wchar_t** slot, const wchar_t* text) {
  return wcscmp(*slot, text) == 0;
}

__attribute__((noinline)) Probe NewUnreferencedHeapString() {
  return Watch(Memory::CopyStringToHeap(L"nobody refers to this"));
}

__attribute__((noinline)) void MakeFinalizable(int tag, Memory::TFinalizer finalizer) {
  *static_cast<int*>(Memory::AllocHeapWithFinalization(sizeof(int) * 4, finalizer)) = tag;
}

__attribute__((noinline)) void ScrubStack() {
  volatile char area[16384];
  memset(const_cast<char*>(area), 0, sizeof area);
  asm volatile("xor %%eax, %%eax\n\txor %%ecx, %%ecx\n\txor %%edx, %%edx\n\txor %%r8d, %%r8d\n\t"
               "xor %%r9d, %%r9d\n\txor %%r10d, %%r10d\n\txor %%r11d, %%r11d"
               ::: "rax", "rcx", "rdx", "r8", "r9", "r10", "r11");
}

// Everything that touches the string's address runs in callees whose frames
// are scrubbed before each collection; this frame holds only the slot and
// the probe.
__attribute__((noinline)) GStackRootOutcome CheckGStackRoot() {
  GStackRootOutcome outcome{};
  uint8_t* mark = Memory::MarkGStack();
  auto* slot = reinterpret_cast<wchar_t**>(Memory::AllocGStack(sizeof(wchar_t*)));
  Probe probe = StoreNewHeapString(slot, L"kept by the global stack");
  ScrubStack();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  outcome.keptWhileReferenced = probe.Alive();
  outcome.textIntact = outcome.keptWhileReferenced && SlotHolds(slot, L"kept by the global stack");
  Memory::ReleaseGStack(mark);
  ScrubStack();
  for (int i = 0; i < 3 && probe.Alive(); ++i) {
    Memory::GarbageCollector();
    ScrubStack();
  }
  outcome.reclaimedAfterRelease = !probe.Alive();
  outcome.releasedWordCleared = *reinterpret_cast<void* volatile*>(slot) == nullptr;
  return outcome;
}
