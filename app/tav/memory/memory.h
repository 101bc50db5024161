// memory and bit: raw memory helpers and bit operations on unsigned values.
// Byte counts are checked against `sizeterm` (0 to 1879048192) before use;
// results of the bit operations are range-checked into their domains.
#pragma once

#include <cstdint>

#include "core/core.h"

namespace tav {

namespace domains {
extern T::RIntegralDomain sizeterm, unsigned4;
}

class memory {
 public:
  static const ClassInfo classInfo;
  static constexpr uint32_t maxSize = 1879048192;

  // Copies size bytes and returns dst + size.
  static uint8_t* append(void* dst, const void* src, uint32_t size);
  static bool isreadable(const void* p, uint32_t size = 1);
  static bool iswritable(const void* p, uint32_t size = 1);
  // count 16-bit units on the collected heap, atomic and zeroed; no room for
  // a terminator is added.
  static wchar_t* allocstringbuffer(uint32_t count);
  // A byte count as a `sizeterm`: 302 beyond it (64-bit counts included).
  static uint32_t checksize(uint64_t bytes);
};

class bit {
 public:
  static uint32_t bitor_(uint32_t a, uint32_t b, uint32_t c);
  static uint32_t bitor_(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
  static uint32_t bitor_(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e);
  static uint32_t bitorlist(std::initializer_list<uint32_t> list);
  // The set bits, lowest first, written to out (room for 32); returns the count.
  static uint32_t bitsplit(uint32_t value, uint32_t* out);
  static uint32_t getlow4of8(uint32_t byte);
  static uint32_t gethigh4of8(uint32_t byte);
  static uint32_t setlow4of8(uint32_t byte, uint32_t nibble);
  static uint32_t sethigh4of8(uint32_t byte, uint32_t nibble);
  static uint32_t swap4of8(uint32_t byte);
  static uint32_t getlow8of16(uint32_t word);
  static uint32_t gethigh8of16(uint32_t word);
  static uint32_t setlow8of16(uint32_t word, uint32_t byte);
  static uint32_t sethigh8of16(uint32_t word, uint32_t byte);
  static uint32_t swap8of16(uint32_t word);
  static uint32_t getlow16of32(uint32_t dword);
  static uint32_t gethigh16of32(uint32_t dword);
  static uint32_t setlow16of32(uint32_t dword, uint32_t word);
  static uint32_t sethigh16of32(uint32_t dword, uint32_t word);
  static uint32_t swap16of32(uint32_t dword);
};

}  // namespace tav
