// Internals shared by the runtime's sources.
#pragma once

#include <windows.h>

#include <cstring>

#include "../lib/internal.h"
#include "qel6run.h"

namespace Qel::RunTime::detail {

using namespace Qel::RunTime::Kernel;
using Terms::term;

extern HMODULE g_module;

// A new heap binary of n data bytes (from the libraries' helpers).
using CorvaneLib::detail::NewHeapBinary;

// A run-time error from this library's string table.
template <class... A>
[[noreturn]] inline void Raise(uint32_t code, A... args) {
  Errors::RunTimeErrorFromModule(g_module, code, args...);
}
[[noreturn]] inline void Internal(const wchar_t* text) { Errors::InternalError(L"%s", text); }

// A size computed in 64 bits, checked before it becomes a 32-bit request:
// above 0x7FFFFFF0 bytes, error 206 (heap exhausted).
inline uint32_t CheckedSize(uint64_t n) {
  if (n > 0x7FFFFFF0ull) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  return static_cast<uint32_t>(n);
}

// This thread's machine stack, from the thread block (what
// GetCurrentThreadStackLimits reports, read in one instruction each: the
// walks ask at every level): DeallocationStack (x64 offset 0x1478), the low
// end, and StackBase (offset 8), the high end.
template <uint32_t Offset>
inline uintptr_t ThreadBlockWord() {
  uintptr_t v;
  asm("movq %%gs:%c1, %0" : "=r"(v) : "i"(Offset));
  return v;
}
inline uintptr_t StackLow() { return ThreadBlockWord<0x1478>(); }
inline uintptr_t StackHigh() { return ThreadBlockWord<0x08>(); }
// The stack pointer (no frame pointer needed for it).
inline uintptr_t StackPointer() {
  uintptr_t sp;
  asm("mov %%rsp, %0" : "=r"(sp));
  return sp;
}

// The lowest frame address a recursive reader may go down to: below it the
// reader raises its error, leaving room for the raise and the exception
// predicate (96 KB, or half of a smaller stack).
inline uintptr_t ReaderStackFloor() {
  uintptr_t low = StackLow(), size = StackHigh() - low;
  return low + (size / 2 < 96 * 1024 ? size / 2 : 96 * 1024);
}
inline bool BelowReaderStackFloor() { return StackPointer() < ReaderStackFloor(); }

// Whether the machine stack is within 128 KB of its end (or the stack is that
// small): the recursive term walks go on with explicit stacks from there.
inline bool NearStackEnd() {
  return __builtin_expect(StackPointer() < StackLow() + 128 * 1024, 0);
}

constexpr uint32_t Align8(uint64_t n) { return static_cast<uint32_t>((n + 7) & ~uint64_t{7}); }

// Global-stack memory aligned to 8 bytes, so the collector sees the pointers
// stored in it.
inline uint8_t* GAlloc(uint32_t size) {
  uint8_t* top = Memory::MarkGStack();
  if (reinterpret_cast<uintptr_t>(top) & 7) Memory::AllocGStack(4);
  return Memory::AllocGStack(size ? size : 8);
}

inline const Terms::IDomainDefinition* Dom(const Terms::RDomainRecord* r) {
  return reinterpret_cast<const Terms::IDomainDefinition*>(r);
}

// The term of an argument stored at `pos` of a block: a scalar's value cell
// in place, else the pointer held there.
inline term ArgTerm(const Terms::IDomainDefinition* d, term block, uint32_t pos) {
  if (d->IsScalar()) return block + pos;
  term p;
  memcpy(&p, block + pos, 8);
  return p;
}

// The value of an integral cell of `bits` (8, 16 or 32) storage bits; 318
// for other widths.
inline int64_t LoadIntegral(term t, uint32_t bits, bool isSigned) {
  switch (bits) {
    case 8: return isSigned ? int64_t{static_cast<int8_t>(t[0])} : int64_t{t[0]};
    case 16: {
      uint16_t v;
      memcpy(&v, t, 2);
      return isSigned ? int64_t{static_cast<int16_t>(v)} : int64_t{v};
    }
    case 32: {
      uint32_t v;
      memcpy(&v, t, 4);
      return isSigned ? int64_t{static_cast<int32_t>(v)} : int64_t{v};
    }
    default: Raise(318);
  }
}

// The cell a reference term's chain of links ends in: a bound cell, or the
// last unbound one.
inline const Terms::RRefCell* Deref(term t) {
  auto* c = reinterpret_cast<const Terms::RRefCell*>(t);
  while ((c->tag & 0xFF) == 0 && c->value) c = reinterpret_cast<const Terms::RRefCell*>(c->value);
  return c;
}

// The base kind of a reference kind; 0 for the other kinds.
inline uint32_t BaseOf(uint32_t kind) {
  switch (kind) {
    case Terms::kRefChar: return Terms::kChar;
    case Terms::kRefInteger: return Terms::kInteger;
    case Terms::kRefUnsigned: return Terms::kUnsigned;
    case Terms::kRefReal: return Terms::kReal;
    case Terms::kRefString: return Terms::kString;
    case Terms::kRefBinary: return Terms::kBinary;
    case Terms::kRefCompound: return Terms::kCompound;
    case Terms::kRefList: return Terms::kList;
    case Terms::kRefPointer: return Terms::kPointer;
    case Terms::kRefSymbol: return Terms::kSymbol;
    case Terms::kRefString8: return Terms::kString8;
    case Terms::kRefObject: return Terms::kObject;
    default: return 0;
  }
}

// Whether a reference cell of this base kind holds the value itself (a
// scalar) rather than a pointer to it.
inline bool ValueInCell(uint32_t base) {
  return base == Terms::kChar || base == Terms::kInteger || base == Terms::kUnsigned ||
         base == Terms::kReal || base == Terms::kPointer || base == Terms::kObject;
}

inline bool InGStack(const void* p) {
  auto* r = Control::TPrologThreadData::GetPTDwithBody();
  auto* b = static_cast<const uint8_t*>(p);
  return r && b >= r->gstackBase && b < r->gstackEnd;
}

inline bool Readable(const void* p, uint32_t n) {
  return p && !OSInterface::OSIsBadReadPtr(p, n);
}

// The header before an object's method table, when the object, its table,
// the header and its class record (with its magic) are readable; else null.
const Objects::RMethodTableHeader* ObjectHeader(const void* object);

// The symbol table's instance of a text; `copy` false keeps the given text.
const wchar_t* InternSymbol(const wchar_t* text, bool copy);

void EnsureDomainClassTable();
// The thunks of a class with objects (its descriptor's initialisation).
void InitializeObjectClass(RScopeClassDescriptor* d);

}  // namespace Qel::RunTime::detail
