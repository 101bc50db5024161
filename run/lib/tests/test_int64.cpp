// Checked 64-bit arithmetic.
#include <gtest/gtest.h>

#include <climits>

#include "helpers.h"
#include "qel6run_lib.h"

using namespace runlib_test;

namespace {

const wchar_t kOverflow[] = L"error r001: Exception C0000095: Integral overflow";
const wchar_t kDivideByZero[] = L"error r001: Exception C0000094: Integral divide by zero";

// The cell is on the global stack, at the top.
template <class T>
void ExpectNewCell(const T* cell, uint8_t* mark) {
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(cell), mark);
  EXPECT_EQ(Memory::MarkGStack(), mark + 8);
}

}  // namespace

TEST(Int64, SignedSumsAndDifferences) {
  struct Case {
    int64_t a, b;
    bool add;
    int64_t result;
    bool overflow;
  };
  const Case cases[] = {
      {5, -7, true, -2, false},
      {INT64_MAX, 1, true, 0, true},
      {INT64_MIN, -1, true, 0, true},
      {INT64_MAX, INT64_MIN, true, -1, false},
      {INT64_MIN, 1, false, 0, true},
      {0, INT64_MIN, false, 0, true},
      {-1, INT64_MIN, false, INT64_MAX, false},
      {0x100000000ll, 1, false, 0xFFFFFFFFll, false},
  };
  for (const Case& c : cases) {
    uint8_t* mark = Memory::MarkGStack();
    int64_t* r = nullptr;
    uint32_t code = RunTrapped([&] { r = c.add ? CorvaneCore::addI(&c.a, &c.b) : CorvaneCore::subI(&c.a, &c.b); });
    if (c.overflow) {
      EXPECT_EQ(code, 1u) << c.a << (c.add ? " + " : " - ") << c.b;
      EXPECT_EQ(ErrorText(), kOverflow);
      EXPECT_EQ(Memory::MarkGStack(), mark);
    } else {
      ASSERT_EQ(code, 0u);
      EXPECT_EQ(*r, c.result);
      ExpectNewCell(r, mark);
    }
    Memory::ReleaseGStack(mark);
  }
}

TEST(Int64, UnsignedSumsAndDifferences) {
  struct Case {
    uint64_t a, b;
    bool add;
    uint64_t result;
    bool overflow;
  };
  const Case cases[] = {
      {UINT64_MAX, 1, true, 0, true},
      {UINT64_MAX - 1, 1, true, UINT64_MAX, false},
      {0xFFFFFFFFull, 1, true, 0x100000000ull, false},
      {0, 1, false, 0, true},
      {0x100000000ull, 1, false, 0xFFFFFFFFull, false},
      {7, 7, false, 0, false},
  };
  for (const Case& c : cases) {
    uint8_t* mark = Memory::MarkGStack();
    uint64_t* r = nullptr;
    uint32_t code = RunTrapped([&] { r = c.add ? CorvaneCore::addU(&c.a, &c.b) : CorvaneCore::subU(&c.a, &c.b); });
    if (c.overflow) {
      EXPECT_EQ(code, 1u) << c.a << (c.add ? " + " : " - ") << c.b;
      EXPECT_EQ(ErrorText(), kOverflow);
    } else {
      ASSERT_EQ(code, 0u);
      EXPECT_EQ(*r, c.result);
      ExpectNewCell(r, mark);
    }
    Memory::ReleaseGStack(mark);
  }
}

TEST(Int64, DivisionBy32Bits) {
  struct Case {
    int64_t dividend;
    int32_t divisor;
    int64_t quotient;
    int32_t remainder;
  };
  const Case cases[] = {
      {-7, 2, -3, -1},
      {7, -2, -3, 1},
      {-7, -2, 3, -1},
      {INT64_MAX, 10, 922337203685477580ll, 7},
      {INT64_MIN, 1, INT64_MIN, 0},
      {-123456789012345ll, 1000, -123456789012ll, -345},
      {0x7FFFFFFFFFFll, INT32_MIN, -4095, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    int64_t* q = nullptr;
    int32_t r = 0;
    CorvaneTime::int64div32(&c.dividend, c.divisor, &q, &r);
    EXPECT_EQ(*q, c.quotient) << c.dividend << " / " << c.divisor;
    EXPECT_EQ(r, c.remainder) << c.dividend << " / " << c.divisor;
  }
  int64_t seven = 7, minimum = INT64_MIN;
  int64_t* q;
  int32_t r;
  EXPECT_EQ(RunTrapped([&] { CorvaneTime::int64div32(&seven, 0, &q, &r); }), 1u);
  EXPECT_EQ(ErrorText(), kDivideByZero);
  EXPECT_EQ(RunTrapped([&] { CorvaneTime::int64div32(&minimum, -1, &q, &r); }), 1u);
  EXPECT_EQ(ErrorText(), kOverflow);
}

TEST(Int64, TimesAReal) {
  struct Case {
    int64_t value;
    double factor;
    int64_t result;
  };
  const Case cases[] = {
      {10, 1.5, 15},
      {3, 0.5, 2},                       // 1.5: the low part rounds half away from zero
      {-1, 2.0, -2},
      {-3, 0.5, -1},                     // the high part (-2^31) and the low part (2^31 - 0.5 -> 2^31) are rounded apart
      {1000000000000ll, 0.5, 500000000000ll},
      {864000000000ll, -1.0, -864000000000ll},
      {0x123456789ll, 0.0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(*CorvaneTime::int64xReal(&c.value, c.factor), c.result) << c.value << " x " << c.factor;

  int64_t big = INT64_MAX;
  EXPECT_EQ(RunTrapped([&] { CorvaneTime::int64xReal(&big, 2.0); }), 1u);
  EXPECT_EQ(ErrorText(), kOverflow);
  int64_t one = 1;
  EXPECT_EQ(RunTrapped([&] { CorvaneTime::int64xReal(&one, 1e300); }), 1u);
}
