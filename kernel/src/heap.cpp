// The collected heap: allocation over the collector.  Every allocation either
// returns memory or raises 206; sizes computed from counts are 64-bit and
// never wrap.
#include "ptd.h"

#include <gc.h>

#include <algorithm>
#include <cwchar>

namespace Qel::RunTime::Kernel::Memory {

static void* Checked(void* block, uint64_t size) {
  if (!block) {
    uint32_t s = static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFFu));
    Errors::RunTimeError(206, s, s);
  }
  return block;
}

void* AllocHeap(uint32_t size) { return Checked(GC_MALLOC(size), size); }
void* AllocAtomicHeap(uint32_t size) { return Checked(GC_MALLOC_ATOMIC(size), size); }
void* AllocUncollectableHeap(uint32_t size) {
  return Checked(GC_MALLOC_UNCOLLECTABLE(size), size);
}

static void GC_CALLBACK Finalize(void* block, void* finalizer) {
  auto fn = reinterpret_cast<TFinalizer>(finalizer);
  if (fn && !OSInterface::OSIsBadCodePtr(reinterpret_cast<const void*>(fn))) fn(block);
}

void* AllocHeapWithFinalization(uint32_t size, TFinalizer finalizer) {
  void* block = Checked(GC_MALLOC(size), size);
  GC_REGISTER_FINALIZER(block, Finalize, reinterpret_cast<void*>(finalizer), nullptr, nullptr);
  return block;
}

void* ReAllocHeap(void* block, uint32_t size) { return Checked(GC_REALLOC(block, size), size); }
void ReleaseHeap(void* block) { GC_FREE(block); }

wchar_t* AllocHeapString(uint32_t n) {
  uint64_t bytes = (static_cast<uint64_t>(n) + 1) * 2;
  if (bytes > 0xFFFFFFFFull) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  auto* s = static_cast<wchar_t*>(AllocAtomicHeap(static_cast<uint32_t>(bytes)));
  s[n] = 0;
  return s;
}

wchar_t* CopyStringToHeap(const wchar_t* s) {
  size_t n = s ? wcslen(s) : 0;
  if (n > 0x7FFFFFFE) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  wchar_t* copy = AllocHeapString(static_cast<uint32_t>(n));
  if (n) memcpy(copy, s, n * sizeof(wchar_t));
  return copy;
}

wchar_t* CopyStringToGStack(const wchar_t* s) { return CopyStringToHeap(s); }

}  // namespace Qel::RunTime::Kernel::Memory
