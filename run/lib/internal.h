// Helpers shared by the runtime's library sources.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CorvaneLib::detail {

// Raises `code` with this module's string table; a0..a3 are the words of the
// text's format arguments (integers or pointers).
[[noreturn]] void Raise(uint32_t code, uintptr_t a0 = 0, uintptr_t a1 = 0, uintptr_t a2 = 0,
                        uintptr_t a3 = 0);
// The processor exceptions that RaiseProcessorException reports.
constexpr uint32_t kFloatDivideByZero = 0xC000008E;
constexpr uint32_t kFloatInvalid = 0xC0000090;
constexpr uint32_t kFloatOverflow = 0xC0000091;
constexpr uint32_t kIntegralDivideByZero = 0xC0000094;
constexpr uint32_t kIntegralOverflow = 0xC0000095;

// Raises error 1 as the processor would for `exceptionCode`.
[[noreturn]] void RaiseProcessorException(uint32_t exceptionCode);

// The data length of a binary; raises 1081 when its size word is below 4.
uint32_t BinaryLength(const uint8_t* binary);
// A new binary of n data bytes: on the global stack / on the heap.
uint8_t* NewGStackBinary(uint32_t n);
uint8_t* NewHeapBinary(uint32_t n);

// CRC-32 (zlib's) of n bytes continuing from `previous`.
uint32_t Crc32(const uint8_t* p, size_t n, uint32_t previous);
// Its two methods over the state (the inverted CRC), with the same results:
// tables for any n; carry-less multiplication for n >= 64, a multiple of 16,
// only where HasCarrylessMultiply().
uint32_t Crc32ByTables(const uint8_t* p, size_t n, uint32_t state);
uint32_t Crc32ByFolding(const uint8_t* p, size_t n, uint32_t state);
bool HasCarrylessMultiply();

}  // namespace CorvaneLib::detail
