// The backtrack and trap chains as seen from C++: removal of traps, cut to a
// mark, cursor repair after a retract, the exception predicate and the road
// from a raised error to the newest trap.
//
// Invariants:
//  - Both chains run from the newest block to the oldest; a block is on a
//    chain until it is resumed, cut or removed, and resuming pops it.
//  - Removal and cut work by chain identity: a mark that is no longer on the
//    chain removes nothing.
//  - ErrorExit never returns: it makes the newest trap the newest backtrack
//    block and fails into it.
#include "ptd.h"

namespace Qel::RunTime::Kernel {
namespace detail {

// After blocks were dropped: keeps, in order, the trail entries above `mark`
// whose cells are not in the global stack at or above the saved top of
// `survivor`, the newest block left (the base when none is left).  Those
// cells die when the global stack is backtracked to the survivor, and their
// pages may be decommitted before that.
static void CompactTrail(TPrologThreadData* r, uintptr_t mark, const TBackTrackBlock* survivor) {
  uint32_t top = r->trailTop;
  if (top <= mark) return;
  uint8_t* savedTop = survivor ? survivor->gstackTop : r->gstackBase;
  uint32_t write = static_cast<uint32_t>(mark);
  for (uint32_t read = static_cast<uint32_t>(mark); read < top; read += 8) {
    void* cell = r->trail[read / 8];
    uint8_t* p = static_cast<uint8_t*>(cell);
    if (p < savedTop || p >= r->gstackEnd) {
      r->trail[write / 8] = cell;
      write += 8;
    }
  }
  r->trailTop = write;
}

[[noreturn]] static void DefaultPath(uint32_t code) {
  LogLine("call defaultExceptionPredicate( %u )\n", code);
  ErrorExit(code);
}

void DefaultExceptionPredicate(uint32_t code, const TFullCursor*, const wchar_t*) {
  DefaultPath(code);
}

void ErrorExit(uint32_t code) {
  TPrologThreadData* r = CurrentPTD();
  r->inExceptionPredicate = 0;
  LogLine("call ErrorExit( %u )\n", code);
  r->exitCode = code;
  r->backTrackTop = r->trapTop;
  TPrologThreadData::Run_Fail();
}

void CallPrologExceptionPredicate(uint32_t code) {
  TPrologThreadData* r = CurrentPTD();
  LogLine("call CallPrologExceptionPredicate( %u ), Address=%08llX, Object=%08llX\n", code,
          reinterpret_cast<unsigned long long>(r->exceptionPredicateCode),
          reinterpret_cast<unsigned long long>(r->exceptionPredicateObject));
  if (r->inExceptionPredicate) {
    LogLine("\n!!! isUserExceptionPredicateInProgress !!!\n");
    DefaultPath(code);
  }
  r->inExceptionPredicate = 1;
  const void* fn = r->exceptionPredicateCode;
  void* object = r->exceptionPredicateObject;
  bool callable = fn && ExecutableCode(fn) && (!object || ReadableMemory(object, sizeof(void*)));
  if (callable) {
    if (object)
      reinterpret_cast<TExceptionPredicateObject>(const_cast<void*>(fn))(
          object, code, r->currentPosition, r->messageBuffer);
    else
      reinterpret_cast<TExceptionPredicateClass>(const_cast<void*>(fn))(
          code, r->currentPosition, r->messageBuffer);
  }
  DefaultPath(code);
}

void ShiftTrapPointForUserExceptionRaiser() {
  TPrologThreadData* r = CurrentPTD();
  uint32_t need = r->exceptionGStackNeed;
  if (Memory::FreeGStackSize() >= need) return;
  LogLine("\n!!! ShiftTrapPointForUserExceptionRaiser. needGStackSize=%08X, GStackTop=%08llX\n",
          need, reinterpret_cast<unsigned long long>(r->gstackTop));
  if (!r->trapTop) return;
  r->gstackTop = r->trapTop->gstackTop;
  while (Memory::FreeGStackSize() < need && r->trapTop->trapTop) {
    LogLine("\n!!! ShiftTrapPointForUserExceptionRaiser. GStackTop=%08llX\n",
            reinterpret_cast<unsigned long long>(r->gstackTop));
    r->trapTop = r->trapTop->trapTop;
    r->gstackTop = r->trapTop->gstackTop;
  }
}

}  // namespace detail

using namespace detail;

namespace Control {

void TPrologThreadData::RemoveTrap(TStackBlock* block) {
  TPrologThreadData* r = CurrentPTD();
  TBackTrackBlock* target = &block->head;
  for (TBackTrackBlock* t = r->trapTop; t; t = t->trapTop) {
    if (t == target) {
      r->trapTop = t->trapTop;
      // Points the body left are dropped: their trail entries go as a cut's
      // do.  The trap's own mark is older than any of theirs.
      bool dropped = r->backTrackTop != t->link;
      r->backTrackTop = t->link;
      if (dropped) CompactTrail(r, t->trailTop, t->link);
      return;
    }
  }
}

TBackTrackBlock* TPrologThreadData::GetBackTrack() { return CurrentPTD()->backTrackTop; }

void TPrologThreadData::CutBackTrack(TBackTrackBlock* mark) {
  TPrologThreadData* r = CurrentPTD();
  TBackTrackBlock* oldest = nullptr;
  TBackTrackBlock* b = r->backTrackTop;
  while (b && b != mark) {
    oldest = b;
    b = b->link;
  }
  if (b != mark || !oldest) return;  // mark not on the chain, or nothing above it
  r->backTrackTop = mark;
  CompactTrail(r, oldest->trailTop, mark);
}

uint32_t TPrologThreadData::GetBackTrackPoints() {
  uint32_t n = 0;
  for (TBackTrackBlock* b = CurrentPTD()->backTrackTop; b; b = b->link) ++n;
  return n;
}

void TPrologThreadData::CheckRetract(void* fact, void* linkCell) {
  void* factLink = static_cast<void**>(fact) + 1;  // the fact's second word
  for (TBackTrackBlock* b = CurrentPTD()->backTrackTop; b; b = b->link) {
    void** cursor = static_cast<void**>(b->cursorCell);
    if (!cursor) continue;
    if (*cursor == fact)
      *cursor = *static_cast<void**>(factLink);
    else if (*cursor == factLink)
      *cursor = linkCell;
  }
}

void TPrologThreadData::SetPrologExceptionPredicate(const RPrologExceptionPredicateStruct* predicate,
                                                    uint32_t need,
                                                    RPrologExceptionPredicateStruct** oldPredicate,
                                                    uint32_t* oldNeed) {
  TPrologThreadData* r = CurrentPTD();
  if (oldPredicate) {
    auto* old = reinterpret_cast<RPrologExceptionPredicateStruct*>(
        Memory::AllocGStack(sizeof(RPrologExceptionPredicateStruct)));
    old->code = r->exceptionPredicateCode;
    old->object = r->exceptionPredicateObject;
    *oldPredicate = old;
  }
  if (oldNeed) *oldNeed = r->exceptionGStackNeed;
  r->exceptionPredicateCode = predicate ? predicate->code
                                        : reinterpret_cast<const void*>(&DefaultExceptionPredicate);
  r->exceptionPredicateObject = predicate ? predicate->object : nullptr;
  r->exceptionGStackNeed = need;
}

}  // namespace Control
}  // namespace Qel::RunTime::Kernel

using namespace Qel::RunTime::Kernel;

// Run_Fail found no backtrack block.
extern "C" void qel_no_backtrack_exit() {
  Errors::DisplayErrorMessage();
  detail::ShowMessage(L"Fail or exit with no Backtrack point");
  detail::LogLine("\nFail or exit with no Backtrack point\n");
  ExitProcess(255);
}
