// CRC-32 and the compact hexadecimal form of binaries.
#include <cstring>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

// Reflected CRC of polynomial 0xEDB88320.  table[0] is the classic byte
// table; tables 1-7 let the loop take eight bytes per step.
struct CrcTables {
  uint32_t t[8][256];
  constexpr CrcTables() : t{} {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};
static constexpr CrcTables kCrc;

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t previous) {
  uint32_t crc = ~previous;
  while (n >= 8) {
    uint32_t lo, hi;
    memcpy(&lo, p, 4);
    memcpy(&hi, p + 4, 4);
    lo ^= crc;
    crc = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^
          kCrc.t[4][lo >> 24] ^ kCrc.t[3][hi & 0xFF] ^ kCrc.t[2][(hi >> 8) & 0xFF] ^
          kCrc.t[1][(hi >> 16) & 0xFF] ^ kCrc.t[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) crc = (crc >> 8) ^ kCrc.t[0][(crc ^ *p++) & 0xFF];
  return ~crc;
}

}  // namespace CorvaneLib::detail

namespace CorvaneBinary {

using namespace CorvaneLib::detail;
using namespace Qel::RunTime::Kernel;

uint32_t Crc32Binary_ii(const uint8_t* binary, uint32_t previous) {
  return Crc32(binary, BinaryLength(binary), previous);
}

uint32_t Crc32Binary_i(const uint8_t* binary) { return Crc32Binary_ii(binary, 0); }

wchar_t* toStringCompact(const uint8_t* binary) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  uint32_t n = BinaryLength(binary);
  if (n > 0x7FFFFFFEu) Errors::RunTimeError(206, n, n);
  wchar_t* s = Memory::AllocHeapString(2 * n);
  for (uint32_t i = 0; i < n; ++i) {
    s[2 * i] = digits[binary[i] >> 4];
    s[2 * i + 1] = digits[binary[i] & 15];
  }
  return s;
}

static int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

uint8_t* toBinaryCompact(const wchar_t* s) {
  size_t length = wcslen(s);
  if (length % 2) Fail();
  if (length / 2 > 0xFFFFFFFBu) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  for (size_t i = 0; i < length; ++i)
    if (HexValue(s[i]) < 0) Fail();
  uint8_t* binary = NewHeapBinary(static_cast<uint32_t>(length / 2));
  for (size_t i = 0; i < length / 2; ++i)
    binary[i] = static_cast<uint8_t>(HexValue(s[2 * i]) << 4 | HexValue(s[2 * i + 1]));
  return binary;
}

}  // namespace CorvaneBinary
