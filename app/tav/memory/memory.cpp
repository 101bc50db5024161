// memory and bit.  Readability and writability are asked of the virtual
// memory manager (no fault is ever taken); sizes are checked as `sizeterm`
// in 64 bits before anything is allocated.
#include "memory/memory.h"

#include <windows.h>

#include "qel6run_lib.h"

namespace tav {

const ClassInfo memory::classInfo{L"com/corvane/memory/memory", TAV_CLASS_VERSION};

uint32_t memory::checksize(uint64_t bytes) {
  // A count beyond 32 bits is checked as the largest 32-bit one: 302 either way.
  if (bytes <= maxSize) return static_cast<uint32_t>(bytes);  // in range: no domain lookup
  uint32_t v = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
  return T::ConvertU2U(D(domains::sizeterm), v);
}

uint8_t* memory::append(void* dst, const void* src, uint32_t size) {
  K::OSInterface::OSCopyMemory(dst, src, size);
  return static_cast<uint8_t*>(dst) + size;
}

bool memory::isreadable(const void* p, uint32_t size) {
  return !K::OSInterface::OSIsBadReadPtr(p, size ? size : 1);
}

bool memory::iswritable(const void* p, uint32_t size) {
  if (!p) return false;
  auto a = reinterpret_cast<uintptr_t>(p);
  uintptr_t end = a + (size ? size : 1);
  if (end < a) return false;
  constexpr DWORD writable =
      PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  while (a < end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(a), &mbi, sizeof mbi)) return false;
    if (mbi.State != MEM_COMMIT || !(mbi.Protect & writable) ||
        (mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
      return false;
    a = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
  }
  return true;
}

wchar_t* memory::allocstringbuffer(uint32_t count) {
  uint32_t bytes = checksize(uint64_t{count} * 2);
  auto* block = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(bytes ? bytes : 2));
  memset(block, 0, bytes ? bytes : 2);
  return block;
}

// --- bit ---

static uint32_t Into(T::RIntegralDomain& d, uint32_t v) { return T::ConvertU2U(D(d), v); }

uint32_t bit::bitor_(uint32_t a, uint32_t b, uint32_t c) {
  return QelMath::bitOr(QelMath::bitOr(a, b), c);
}
uint32_t bit::bitor_(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return QelMath::bitOr(bitor_(a, b, c), d);
}
uint32_t bit::bitor_(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
  return QelMath::bitOr(bitor_(a, b, c, d), e);
}
uint32_t bit::bitorlist(std::initializer_list<uint32_t> list) {
  uint32_t r = 0;
  for (uint32_t v : list) r = QelMath::bitOr(r, v);
  return r;
}
uint32_t bit::bitsplit(uint32_t value, uint32_t* out) {
  uint32_t n = 0;
  while (value) {
    uint32_t rest = QelMath::bitAnd(value, value - 1);
    out[n++] = QelMath::bitXor(value, rest);
    value = rest;
  }
  return n;
}
uint32_t bit::getlow4of8(uint32_t byte) { return Into(domains::unsigned4, QelMath::bitAnd(byte, 15)); }
uint32_t bit::gethigh4of8(uint32_t byte) {
  return Into(domains::unsigned4, QelMath::bitRight(QelMath::bitAnd(byte, 240), 4));
}
uint32_t bit::setlow4of8(uint32_t byte, uint32_t nibble) {
  return Into(domains::unsigned8,
              QelMath::bitOr(QelMath::bitAnd(byte, 240), QelMath::bitAnd(nibble, 15)));
}
uint32_t bit::sethigh4of8(uint32_t byte, uint32_t nibble) {
  return Into(domains::unsigned8, QelMath::bitOr(QelMath::bitLeft(QelMath::bitAnd(nibble, 15), 4),
                                                 QelMath::bitAnd(byte, 15)));
}
uint32_t bit::swap4of8(uint32_t byte) {
  return Into(domains::unsigned8,
              QelMath::bitOr(QelMath::bitLeft(getlow4of8(byte), 4), gethigh4of8(byte)));
}
uint32_t bit::getlow8of16(uint32_t word) { return Into(domains::unsigned8, QelMath::bitAnd(word, 255)); }
uint32_t bit::gethigh8of16(uint32_t word) {
  return Into(domains::unsigned8, QelMath::bitRight(QelMath::bitAnd(word, 65280), 8));
}
uint32_t bit::setlow8of16(uint32_t word, uint32_t byte) {
  return Into(domains::unsigned16, QelMath::bitOr(QelMath::bitAnd(word, 65280), byte));
}
uint32_t bit::sethigh8of16(uint32_t word, uint32_t byte) {
  return Into(domains::unsigned16,
              QelMath::bitOr(QelMath::bitLeft(byte, 8), QelMath::bitAnd(word, 255)));
}
uint32_t bit::swap8of16(uint32_t word) {
  return Into(domains::unsigned16,
              QelMath::bitOr(QelMath::bitLeft(getlow8of16(word), 8), gethigh8of16(word)));
}
uint32_t bit::getlow16of32(uint32_t dword) {
  return Into(domains::unsigned16, QelMath::bitAnd(dword, 65535));
}
uint32_t bit::gethigh16of32(uint32_t dword) {
  return Into(domains::unsigned16, QelMath::bitRight(QelMath::bitAnd(dword, 0xFFFF0000u), 16));
}
uint32_t bit::setlow16of32(uint32_t dword, uint32_t word) {
  return QelMath::bitOr(QelMath::bitAnd(dword, 0xFFFF0000u), word);
}
uint32_t bit::sethigh16of32(uint32_t dword, uint32_t word) {
  return QelMath::bitOr(QelMath::bitLeft(word, 16), QelMath::bitAnd(dword, 65535));
}
uint32_t bit::swap16of32(uint32_t dword) {
  return QelMath::bitOr(QelMath::bitLeft(getlow16of32(dword), 16), gethigh16of32(dword));
}

}  // namespace tav
