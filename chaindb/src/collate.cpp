// Key and name order; see collate.h.
#include "collate.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace chainDB::detail {

namespace {

// The candidates for the fast path: the characters of duty keys, dates and
// numbered names.  Letters are left to the system (case is a lower level).
constexpr wchar_t kPlain[] = L"0123456789[],.";
constexpr int kPlainCount = static_cast<int>(sizeof kPlain / sizeof kPlain[0]) - 1;

struct PlainOrder {
  unsigned char rank[128] = {};  // 0: not plain, else 1 + place in the system's order
  bool usable = false;

  PlainOrder() {
    wchar_t sorted[kPlainCount];
    std::copy(kPlain, kPlain + kPlainCount, sorted);
    std::sort(sorted, sorted + kPlainCount, [](wchar_t a, wchar_t b) { return System(a, b) < 0; });
    for (int i = 0; i + 1 < kPlainCount; ++i)
      if (System(sorted[i], sorted[i + 1]) >= 0) return;  // two with one weight: no order of our own
    for (int i = 0; i < kPlainCount; ++i) rank[sorted[i]] = static_cast<unsigned char>(i + 1);
    usable = SampleAgrees();
  }

  static int System(wchar_t a, wchar_t b) {
    const wchar_t x[2] = {a, 0}, y[2] = {b, 0};
    return lstrcmpW(x, y);
  }

  // Ranks in order, the shorter string first: the rule checked here.
  int Fast(const wchar_t* a, const wchar_t* b) const {
    for (;; ++a, ++b) {
      if (*a != *b) {
        if (!*a) return -1;
        if (!*b) return 1;
        return rank[*a] < rank[*b] ? -1 : 1;
      }
      if (!*a) return 0;
    }
  }

  // Strings of one to four plain characters drawn by a fixed sequence,
  // compared both ways.
  bool SampleAgrees() const {
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int i = 0; i < 600; ++i) {
      wchar_t x[5] = {}, y[5] = {};
      const unsigned lx = 1 + next() % 4, ly = 1 + next() % 4;
      for (unsigned k = 0; k < lx; ++k) x[k] = kPlain[next() % kPlainCount];
      for (unsigned k = 0; k < ly; ++k) y[k] = next() % 3 == 0 && k < lx ? x[k] : kPlain[next() % kPlainCount];
      const int s = lstrcmpW(x, y), f = Fast(x, y);
      if ((s < 0) != (f < 0) || (s > 0) != (f > 0)) return false;
    }
    return true;
  }

  bool Plain(const wchar_t* s) const {
    for (; *s; ++s)
      if (*s >= 128 || !rank[*s]) return false;
    return true;
  }
};

const PlainOrder& Order() {
  static const PlainOrder order;
  return order;
}

}  // namespace

int CompareW(const wchar_t* a, const wchar_t* b) {
  if (wcscmp(a, b) == 0) return 0;  // equal code units are equal to the system too
  const PlainOrder& o = Order();
  if (o.usable && o.Plain(a) && o.Plain(b)) return o.Fast(a, b);
  return lstrcmpW(a, b);
}

bool PlainOrderInUse() { return Order().usable; }

int CompareA(const char* a, const char* b) { return strcmp(a, b) == 0 ? 0 : lstrcmpA(a, b); }

}  // namespace chainDB::detail
