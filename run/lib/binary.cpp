// CRC-32 and the compact hexadecimal form of binaries.
#include <cpuid.h>
#include <wmmintrin.h>

#include <cstring>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

// Reflected CRC of polynomial 0xEDB88320 (zlib's).  The state is the
// inverted CRC.  Two methods give the same state: slicing by 16 tables, and
// folding by carry-less multiplication where the processor has it (checked
// once when the module loads); the second takes 16-byte multiples of 64
// bytes or more and leaves the rest to the first.

// table[0] is the classic byte table; table k advances a byte by k more
// zero bytes, so one step takes sixteen bytes.
struct CrcTables {
  uint32_t t[16][256];
  constexpr CrcTables() : t{} {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 16; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};
static constexpr CrcTables kCrc;

uint32_t Crc32ByTables(const uint8_t* p, size_t n, uint32_t state) {
  const auto& t = kCrc.t;
  while (n >= 16) {
    uint32_t w[4];
    memcpy(w, p, 16);
    w[0] ^= state;
    state = t[15][w[0] & 0xFF] ^ t[14][(w[0] >> 8) & 0xFF] ^ t[13][(w[0] >> 16) & 0xFF] ^ t[12][w[0] >> 24] ^
            t[11][w[1] & 0xFF] ^ t[10][(w[1] >> 8) & 0xFF] ^ t[9][(w[1] >> 16) & 0xFF] ^ t[8][w[1] >> 24] ^
            t[7][w[2] & 0xFF] ^ t[6][(w[2] >> 8) & 0xFF] ^ t[5][(w[2] >> 16) & 0xFF] ^ t[4][w[2] >> 24] ^
            t[3][w[3] & 0xFF] ^ t[2][(w[3] >> 8) & 0xFF] ^ t[1][(w[3] >> 16) & 0xFF] ^ t[0][w[3] >> 24];
    p += 16;
    n -= 16;
  }
  while (n--) state = (state >> 8) ^ t[0][(state ^ *p++) & 0xFF];
  return state;
}

namespace {

// The folding constants, in the bit-reflected form the reflected CRC needs:
// (x^e mod P) reflected in 32 bits and shifted left by one; mu = x^64 / P
// and P itself reflected in 33 bits.
constexpr uint64_t kPoly = 0x104C11DB7;  // P with its x^32 term
constexpr uint64_t Reflect(uint64_t v, int bits) {
  uint64_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((v >> i) & 1) << (bits - 1 - i);
  return r;
}
constexpr uint64_t FoldConstant(int e) {
  uint64_t r = 1;
  for (int i = 0; i < e; ++i) {
    r <<= 1;
    if (r >> 32) r ^= kPoly;
  }
  return Reflect(r, 32) << 1;
}
constexpr uint64_t Mu() {
  uint64_t q = 0, rem = uint64_t{1} << 32;  // x^64 = x^32 * x^32: long division bit by bit
  for (int i = 32; i >= 0; --i) {
    if (rem >> 32) {
      q |= uint64_t{1} << i;
      rem ^= kPoly;
    }
    rem <<= 1;
  }
  return Reflect(q, 33);
}
constexpr uint64_t kK1 = FoldConstant(4 * 128 + 32), kK2 = FoldConstant(4 * 128 - 32);
constexpr uint64_t kK3 = FoldConstant(128 + 32), kK4 = FoldConstant(128 - 32);
constexpr uint64_t kK5 = FoldConstant(64);
constexpr uint64_t kMu = Mu(), kPolyReflected = Reflect(kPoly, 33);
static_assert(kK1 == 0x154442BD4 && kK4 == 0x0CCAA009E && kMu == 0x1F7011641 &&
              kPolyReflected == 0x1DB710641);

bool DetectCarrylessMultiply() {
  unsigned a, b, c, d;
  return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL);
}
const bool g_carryless = DetectCarrylessMultiply();

#define CLMUL_TARGET __attribute__((target("pclmul,sse2")))

// x's two halves times the constants in k, added to `next`: x moved 128 *
// distance bits further.
CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)),
                       next);
}
CLMUL_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool HasCarrylessMultiply() { return g_carryless; }

CLMUL_TARGET uint32_t Crc32ByFolding(const uint8_t* p, size_t n, uint32_t state) {
  // Four lanes of 128 bits, each folded 512 bits forward per step.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  p += 64;
  n -= 64;
  const __m128i k12 = _mm_set_epi64x(static_cast<long long>(kK2), static_cast<long long>(kK1));
  for (; n >= 64; p += 64, n -= 64) {
    x0 = Fold(x0, k12, Load(p));
    x1 = Fold(x1, k12, Load(p + 16));
    x2 = Fold(x2, k12, Load(p + 32));
    x3 = Fold(x3, k12, Load(p + 48));
  }
  // The lanes into one, then the remaining 16-byte blocks.
  const __m128i k34 = _mm_set_epi64x(static_cast<long long>(kK4), static_cast<long long>(kK3));
  __m128i x = Fold(Fold(Fold(x0, k34, x1), k34, x2), k34, x3);
  for (; n >= 16; p += 16, n -= 16) x = Fold(x, k34, Load(p));
  // 128 bits to 64 (with the 32 zero bits the CRC appends), then to 32.
  x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(x, k34, 0x10));
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  const __m128i k5 = _mm_set_epi64x(0, static_cast<long long>(kK5));
  x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00));
  // Barrett reduction modulo P.
  const __m128i poly = _mm_set_epi64x(static_cast<long long>(kMu), static_cast<long long>(kPolyReflected));
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), poly, 0x00);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x, q), 4)));
}

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t previous) {
  uint32_t state = ~previous;
  if (n >= 64 && g_carryless) {
    size_t folded = n & ~size_t{15};
    state = Crc32ByFolding(p, folded, state);
    p += folded;
    n -= folded;
  }
  return ~Crc32ByTables(p, n, state);
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
