// orv_math: see the header.
#include "SYSTEM/orv_math/orv_math.h"

#include <cmath>

#include "SYSTEM/OrvTool/orvtool.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "unit.h"

namespace rizediveva6 {

using tav::Each;
using tav::TrySolution;

const tav::ClassInfo bases::classInfo{L"qel6pack/orv_math/bases", TAV_CLASS_VERSION};
const tav::ClassInfo orvmath::classInfo{L"qel6pack/orv_math/orvmath", TAV_CLASS_VERSION};

namespace {

// An unsigned component less one; 0 has no predecessor (range error).
uint32_t Decrement(uint32_t v) {
  if (v == 0) RaiseRangeError();
  return v - 1;
}

// The first element that `better` prefers to every earlier one.
template <class Better>
int32_t Pick(const List<int32_t>* list, Better better) {
  if (list->Empty()) {
    myKWI::note(L"orvmath error 76");
    return 0;
  }
  int32_t best = list->head;
  for (list = list->tail; !list->Empty(); list = list->tail)
    if (better(list->head, best)) best = list->head;
  return best;
}

}  // namespace

bool bases::nd_int(uint32_t from, uint32_t step, uint32_t max, Each<uint32_t> k) {
  if (step == 0) return false;
  for (uint32_t v = from; v <= max;) {
    if (TrySolution(k, v)) return true;
    if (__builtin_add_overflow(v, step, &v)) break;
  }
  return false;
}

bool bases::nd_i_psp(i2 max, Each<i2> k) {
  for (uint32_t a = 1; a && a <= max.first; ++a)
    for (uint32_t b = 1; b && b <= max.second; ++b)
      if (TrySolution(k, i2{a, b})) return true;
  return false;
}

bool bases::psp1_ge_psp2(i2 p1, i2 p2) {
  return p1.first > p2.first || (p1.first == p2.first && p1.second >= p2.second);
}

bool bases::next(i2 max, i2 cur, i2* next) {
  if (cur.second < max.second) return *next = i2{cur.first, cur.second + 1}, true;
  if (cur.first < max.first) return *next = i2{cur.first + 1, 1}, true;
  return false;
}

bool bases::prev(i2 max, i2 min, i2 cur, i2* prev) {
  if (cur.first < min.first) return false;
  if (cur.second == 1) {
    const uint32_t before = Decrement(cur.first);
    if (before >= min.first) return *prev = i2{before, max.second}, true;
  }
  const uint32_t second = Decrement(cur.second);
  if (second >= min.second) return *prev = i2{cur.first, second}, true;
  return false;
}

int32_t orvmath::imax(const List<int32_t>* list) {
  return Pick(list, [](int32_t a, int32_t best) { return a > best; });
}
int32_t orvmath::imin(const List<int32_t>* list) {
  return Pick(list, [](int32_t a, int32_t best) { return a < best; });
}

int32_t orvmath::sign(double r) { return r < 0.0 ? -1 : 1; }

bool orvmath::nd_i(int32_t from, int32_t to, Each<int32_t> k) {
  for (int32_t v = from; v <= to;) {
    if (TrySolution(k, v)) return true;
    if (__builtin_add_overflow(v, 1, &v)) tav::RaiseIntegerOverflow();
  }
  return false;
}

bool orvmath::nd_c(wchar_t c1, wchar_t c2, Each<wchar_t> k) {
  uint32_t from, to;
  misc2::char_int(c1, &from);
  misc2::char_int(c2, &to);
  return nd_i(static_cast<int32_t>(from), static_cast<int32_t>(to), [&](int32_t code) {
    wchar_t c;
    misc2::char_int(static_cast<uint32_t>(code), &c);
    k(c);
  });
}

void orvmath::parts(double r, int32_t* intPart, double* frac) {
  const double whole = std::floor(r);
  if (!(whole >= INT32_MIN && whole <= INT32_MAX)) RaiseRangeError();
  *intPart = static_cast<int32_t>(whole);
  *frac = r - whole;
}

}  // namespace rizediveva6
