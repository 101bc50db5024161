// orv_math: counting through numbers and pairs with bounds (bases) and small
// integer and real helpers (orvmath).  Neither keeps state.
//
// Invariants:
//  - Pairs (i2) count their components from 1; the order of pairs is major
//    on the first component (nd_i_psp's order); next and prev step in it.
//  - nd_int never wraps: it stops where the next value would pass
//    4,294,967,295.  nd_i raises the overflow error when asked for a value
//    after the largest integer.
//  - imax and imin keep the first of equal values; the empty list gives the
//    note "orvmath error 76" and 0.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

struct i2 {
  uint32_t first;
  uint32_t second;
  bool operator==(const i2&) const = default;
};

class bases {
 public:
  static const tav::ClassInfo classInfo;

  static bool nd_int(uint32_t from, uint32_t step, uint32_t max, tav::Each<uint32_t> k);
  static bool nd_i_psp(i2 max, tav::Each<i2> k);
  static bool psp1_ge_psp2(i2 p1, i2 p2);
  static bool next(i2 max, i2 cur, i2* next);
  static bool prev(i2 max, i2 min, i2 cur, i2* prev);
};

class orvmath {
 public:
  static const tav::ClassInfo classInfo;

  static int32_t imax(const List<int32_t>* list);
  static int32_t imin(const List<int32_t>* list);
  static int32_t sign(double r);
  static bool nd_i(int32_t from, int32_t to, tav::Each<int32_t> k);
  static bool nd_c(wchar_t c1, wchar_t c2, tav::Each<wchar_t> k);
  static bool opposite(bool b) { return !b; }
  static void parts(double r, int32_t* intPart, double* frac);
};

}  // namespace rizediveva6
