// Heap blocks made out of the caller's sight, so that no stale copy of their
// address stays in the test's frame, and a probe that tells whether the
// collector reclaimed one.
#pragma once
#include "qel6kernel.h"

struct Probe {
  void** link;  // in memory the collector does not scan; cleared on reclaim
  bool Alive() const { return *link != nullptr; }
};

// A heap copy of `text`, referenced only from *slot.
Probe StoreNewHeapString(wchar_t** slot, const wchar_t* text);
Probe NewUnreferencedHeapString();
bool SlotHolds(wchar_t** slot, const wchar_t* text);
// A block with a finaliser whose first int is `tag`, referenced by nothing.
void MakeFinalizable(int tag, Qel::RunTime::Kernel::Memory::TFinalizer finalizer);
// A heap string referenced only from a word of the global stack, checked
// across collections before and after the global stack is released below it.
struct GStackRootOutcome {
  bool keptWhileReferenced;
  bool textIntact;
  bool reclaimedAfterRelease;
  bool releasedWordCleared;
};
GStackRootOutcome CheckGStackRoot();
// Overwrites the unused machine stack below the caller and the scratch
// registers.
void ScrubStack();
