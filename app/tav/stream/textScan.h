// Scans of little-endian 16-bit text, eight units at a time: the text
// streams look for line ends and CRs in every block they read or write; and
// of 8-bit text, sixteen bytes at a time: its line ends, the run of 7-bit
// bytes that starts a block, widened to units.  Pointers need no alignment
// (a unit may start at an odd byte).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace tav::scan {

inline uint16_t UnitAt(const uint8_t* p, uint32_t i) {
  uint16_t u;
  memcpy(&u, p + 2 * i, 2);
  return u;
}

inline __m128i Load(const uint8_t* p, uint32_t i) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
}

// The set bits of a mask, counted inline (the target has no popcount
// instruction: the builtin would be a library call per chunk).
inline uint32_t Bits(uint32_t m) {
  m -= (m >> 1) & 0x55555555;
  m = (m & 0x33333333) + ((m >> 2) & 0x33333333);
  return (((m + (m >> 4)) & 0x0F0F0F0F) * 0x01010101) >> 24;
}

// The index of the first unit equal to c among `units`; `units` when none is.
inline uint32_t Find(const uint8_t* p, uint32_t units, uint16_t c) {
  const __m128i k = _mm_set1_epi16(static_cast<short>(c));
  uint32_t i = 0;
  for (; i + 8 <= units; i += 8) {
    if (int m = _mm_movemask_epi8(_mm_cmpeq_epi16(Load(p, i), k)))
      return i + (__builtin_ctz(m) >> 1);
  }
  for (; i < units; ++i)
    if (UnitAt(p, i) == c) return i;
  return units;
}

// The index of the first LF, CR or zero unit; `units` when there is none.
inline uint32_t FindLineEnd(const uint8_t* p, uint32_t units) {
  const __m128i lf = _mm_set1_epi16(10), cr = _mm_set1_epi16(13), zero = _mm_setzero_si128();
  uint32_t i = 0;
  for (; i + 8 <= units; i += 8) {
    __m128i v = Load(p, i);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr)),
                               _mm_cmpeq_epi16(v, zero));
    if (int m = _mm_movemask_epi8(hit)) return i + (__builtin_ctz(m) >> 1);
  }
  for (; i < units; ++i) {
    uint16_t u = UnitAt(p, i);
    if (u == 0 || u == 10 || u == 13) return i;
  }
  return units;
}

// The number of units equal to c.
inline uint32_t Count(const uint8_t* p, uint32_t units, uint16_t c) {
  const __m128i k = _mm_set1_epi16(static_cast<short>(c));
  uint32_t n = 0, i = 0;
  for (; i + 8 <= units; i += 8)
    n += Bits(_mm_movemask_epi8(_mm_cmpeq_epi16(Load(p, i), k)));
  n /= 2;
  for (; i < units; ++i) n += UnitAt(p, i) == c;
  return n;
}

// Copies `units` units to `out` with a CR put in front of every LF; returns
// the end of what was written (room: units + the number of LFs).
inline uint8_t* CopyLfAsCrLf(const uint8_t* in, uint32_t units, uint8_t* out) {
  static const uint8_t kCr[2] = {13, 0};
  uint32_t from = 0;
  for (;;) {
    uint32_t lf = from + Find(in + 2 * from, units - from, 10);
    memcpy(out, in + 2 * from, 2 * (lf - from));
    out += 2 * (lf - from);
    if (lf == units) return out;
    memcpy(out, kCr, 2);
    out += 2;
    from = lf;  // the LF starts the next run
    memcpy(out, in + 2 * from, 2);
    out += 2;
    ++from;
  }
}

// The CRs directly followed by an LF among `units` (an LF past them is not
// looked at): a mask of the units of a chunk of eight that are such CRs,
// two bits a unit.
inline int PairMask(const uint8_t* p, uint32_t i) {
  const __m128i cr = _mm_set1_epi16(13), lf = _mm_set1_epi16(10);
  return _mm_movemask_epi8(
      _mm_and_si128(_mm_cmpeq_epi16(Load(p, i), cr), _mm_cmpeq_epi16(Load(p, i + 1), lf)));
}
inline bool PairAt(const uint8_t* p, uint32_t i, uint32_t units) {
  return UnitAt(p, i) == 13 && i + 1 < units && UnitAt(p, i + 1) == 10;
}

// The index of the first CR LF pair among `units`; `units` when none.
inline uint32_t FindPair(const uint8_t* p, uint32_t units) {
  uint32_t i = 0;
  for (; i + 9 <= units; i += 8)
    if (int m = PairMask(p, i)) return i + (__builtin_ctz(m) >> 1);
  for (; i < units; ++i)
    if (PairAt(p, i, units)) return i;
  return units;
}

// The number of CR LF pairs among `units`.
inline uint32_t CountPairs(const uint8_t* p, uint32_t units) {
  uint32_t n = 0, i = 0;
  for (; i + 9 <= units; i += 8) n += Bits(PairMask(p, i)) / 2;
  for (; i < units; ++i) n += PairAt(p, i, units);
  return n;
}

// Copies units [from, units) of `in` to `out` + `from` units, leaving out
// the CR of every CR LF pair, whose byte offset in `in` goes to `pairs`;
// returns the number of pairs.  `out` is `in` (the copy runs forward and
// never writes where it has still to read) or a block with 16 bytes of room
// past the result.
inline uint32_t DropPairCrs(const uint8_t* in, uint32_t units, uint32_t from, uint8_t* out,
                            uint32_t* pairs) {
  const bool inPlace = out == in;
  uint32_t i = from, o = from, k = 0;
  while (i + 9 <= units) {
    int m = PairMask(in, i);
    uint32_t j = m ? __builtin_ctz(m) >> 1 : 8;  // the units before the pair
    // All eight go out when that overwrites nothing still to be read; the
    // ones past the pair are written again from the next chunk.
    if (!inPlace || i - o + j >= 7) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * o), Load(in, i));
    } else {
      for (uint32_t u = 0; u < j; ++u) memmove(out + 2 * (o + u), in + 2 * (i + u), 2);
    }
    o += j;
    i += j;
    if (m) {
      pairs[k++] = 2 * i;
      ++i;  // the CR
    }
  }
  for (; i < units; ++i) {
    if (PairAt(in, i, units)) {
      pairs[k++] = 2 * i;
      continue;
    }
    memmove(out + 2 * o++, in + 2 * i, 2);
  }
  return k;
}

// The number of bytes below 0x80 at the start of `n` bytes.
inline uint32_t AsciiRun(const uint8_t* p, uint32_t n) {
  uint32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    if (int m = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))))
      return i + __builtin_ctz(m);
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// The index of the first LF, CR or zero byte among `n` bytes; `n` when
// there is none.  `high` tells whether a byte of 0x80 or more comes before.
inline uint32_t FindByteLineEnd(const uint8_t* p, uint32_t n, bool* high) {
  const __m128i lf = _mm_set1_epi8(10), cr = _mm_set1_epi8(13), zero = _mm_setzero_si128();
  int seen = 0;
  uint32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    int hit = _mm_movemask_epi8(_mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, zero)));
    if (hit) {
      *high = (seen | (_mm_movemask_epi8(v) & ((hit & -hit) - 1))) != 0;
      return i + __builtin_ctz(hit);
    }
    seen |= _mm_movemask_epi8(v);
  }
  for (; i < n && p[i] != 10 && p[i] != 13 && p[i] != 0; ++i) seen |= p[i] & 0x80;
  *high = seen != 0;
  return i;
}

// Each of `n` bytes as a 16-bit unit at `out`.  Past sixteen bytes the last
// sixteen are widened again in one step (`out` does not overlap `p`).
inline void Widen(const uint8_t* p, uint32_t n, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  auto sixteen = [&](uint32_t i) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(v, zero));
  };
  uint32_t i = 0;
  for (; i + 16 <= n; i += 16) sixteen(i);
  if (i < n && n >= 16) {
    sixteen(n - 16);
    return;
  }
  for (; i < n; ++i) {
    out[2 * i] = p[i];
    out[2 * i + 1] = 0;
  }
}

// Widens `n` 7-bit bytes to units at `out` (another block with room for n
// units), leaving out the CR of every CR LF pair; the unit index in `out`
// of each such pair's LF goes to `lfs`.  Returns the units written; `count`
// gets the number of pairs.
inline uint32_t WidenJoiningPairs(const uint8_t* p, uint32_t n, uint8_t* out, uint32_t* lfs,
                                  uint32_t* count) {
  const __m128i cr = _mm_set1_epi8(13), lf = _mm_set1_epi8(10), zero = _mm_setzero_si128();
  uint32_t i = 0, o = 0, k = 0;
  while (i + 17 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    int m = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(next, lf)));
    // All sixteen go out; past a pair's CR they are written again.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * o), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * o + 16), _mm_unpackhi_epi8(v, zero));
    uint32_t j = m ? __builtin_ctz(m) : 16;
    i += j;
    o += j;
    if (m) {
      lfs[k++] = o;
      ++i;  // the CR
    }
  }
  for (; i < n; ++i) {
    if (p[i] == 13 && i + 1 < n && p[i + 1] == 10) {
      lfs[k++] = o;
      continue;
    }
    out[2 * o] = p[i];
    out[2 * o + 1] = 0;
    ++o;
  }
  *count = k;
  return o;
}

// Copies `units` units (the blocks do not overlap).
inline void CopyUnits(uint8_t* out, const uint8_t* in, uint32_t units) {
  uint32_t i = 0;
  for (; i + 8 <= units; i += 8) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), Load(in, i));
  memcpy(out + 2 * i, in + 2 * i, 2 * (units - i));
}

}  // namespace tav::scan
