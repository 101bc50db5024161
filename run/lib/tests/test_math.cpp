// Bit operations, real arithmetic and conversions, elementary functions and
// the random generator.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "helpers.h"
#include "qel6run_lib.h"

using namespace runlib_test;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kDenormal = std::numeric_limits<double>::denorm_min() * 3;

// The error code of body(), 0 when it returned.
template <class Body>
uint32_t CodeOf(Body body) {
  return RunTrapped([&] { body(); });
}

}  // namespace

TEST(Math, BitOperationsShiftByCountMod32) {
  using namespace QelMath;
  EXPECT_EQ(bitOr(0xF0F0u, 0x0FF0u), 0xFFF0u);
  EXPECT_EQ(bitAnd(0xF0F0u, 0x0FF0u), 0x00F0u);
  EXPECT_EQ(bitXor(0xF0F0u, 0x0FF0u), 0xFF00u);
  EXPECT_EQ(bitNot(0u), 0xFFFFFFFFu);
  struct Case {
    uint32_t value, count, left, right;
  };
  const Case cases[] = {
      {0x80000001u, 0, 0x80000001u, 0x80000001u}, {0x80000001u, 1, 0x00000002u, 0x40000000u},
      {0x80000001u, 31, 0x80000000u, 0x00000001u}, {0x80000001u, 32, 0x80000001u, 0x80000001u},
      {0x80000001u, 33, 0x00000002u, 0x40000000u}, {0xFFFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 1u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bitLeft(c.value, c.count), c.left) << c.count;
    EXPECT_EQ(bitRight(c.value, c.count), c.right) << c.count;
  }
  EXPECT_EQ(abs_i(INT_MIN), 2147483648u);
  EXPECT_EQ(abs_i(-5), 5u);
  EXPECT_EQ(abs_i(INT_MAX), 2147483647u);
  EXPECT_EQ(abs_r(-2.5), 2.5);
}

TEST(Math, RoundHalfUpAndTruncate) {
  struct Case {
    double x, round, trunc;
  };
  const Case cases[] = {
      {2.5, 3, 2},          {-2.5, -2, -2},       {-2.7, -3, -2},
      {0.49999999999999994, 0, 0},  // x + 0.5 rounds to 1 in double arithmetic
      {-0.5, 0, 0},         {1.5, 2, 1},          {4503599627370495.5, 4503599627370496.0, 4503599627370495.0},
      {1e300, 1e300, 1e300}, {-1e-300, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QelMath::round(c.x), c.round) << c.x;
    EXPECT_EQ(QelMath::trunc(c.x), c.trunc) << c.x;
  }
}

TEST(Math, RealArithmeticRaisesWhereTheFpuWould) {
  using namespace QelMath;
  EXPECT_EQ(PFP_Add(1.5, 2.25), 3.75);
  EXPECT_EQ(PFP_Sub(1.5, 2.25), -0.75);
  EXPECT_EQ(PFP_Mult(1.5, -2.0), -3.0);
  EXPECT_EQ(PFP_Div(1.0, 4.0), 0.25);
  EXPECT_EQ(PFP_IntReal(INT_MIN), -2147483648.0);
  EXPECT_EQ(PFP_UnsReal(0xFFFFFFFFu), 4294967295.0);
  EXPECT_TRUE(std::isinf(PFP_Add(kInf, 1.0)));  // an infinite operand is no new fault
  struct Case {
    double (*op)(double, double);
    double left, right;
    const wchar_t* text;
  };
  const Case cases[] = {
      {PFP_Div, 1.0, 0.0, L"error r001: Exception C000008E: Float divide by zero"},
      {PFP_Div, 0.0, 0.0, L"error r001: Exception C0000090: Float invalid operation"},
      {PFP_Mult, 1e308, 10.0, L"error r001: Exception C0000091: Float overflow"},
      {PFP_Add, 1.7e308, 1.7e308, L"error r001: Exception C0000091: Float overflow"},
      {PFP_Sub, -1.7e308, 1.7e308, L"error r001: Exception C0000091: Float overflow"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodeOf([&] { c.op(c.left, c.right); }), 1u) << Narrow(c.text);
    EXPECT_EQ(ErrorText(), c.text);
  }
}

TEST(Math, ConversionsToIntegers) {
  using namespace QelMath;
  struct Case {
    const char* name;
    double x;
    int64_t expected;  // or the error code when error is set
    uint32_t error;
  };
  auto run = [](const char* name, int64_t (*convert)(double), std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      int64_t got = 0;
      uint32_t code = RunTrapped([&] { got = convert(c.x); });
      EXPECT_EQ(code, c.error) << name << "(" << c.x << ")";
      if (!c.error) {
        EXPECT_EQ(got, c.expected) << name << "(" << c.x << ")";
      }
    }
  };
  run("PFP_RealInt", [](double x) -> int64_t { return PFP_RealInt(x); },
      {{"", 2147483647.4, 2147483647, 0}, {"", 2147483647.5, 0, 316}, {"", 2147483648.0, 0, 316},
       {"", -2147483648.0, INT_MIN, 0}, {"", -2147483648.4, INT_MIN, 0}, {"", -2147483648.5, INT_MIN, 0}, {"", -2147483648.6, 0, 316}, {"", -2.5, -2, 0},
       {"", 2.5, 3, 0}, {"", kNaN, 0, 316}, {"", kInf, 0, 316}});
  run("PFP_RealUnsigned", [](double x) -> int64_t { return PFP_RealUnsigned(x); },
      {{"", 4294967295.4, 4294967295, 0}, {"", 4294967295.5, 0, 316}, {"", -0.2, 0, 0},
       {"", -0.6, 0, 316},
       {"", -0.0, 0, 0}, {"", 0.5, 1, 0}});
  run("PFP_RealUChar", [](double x) -> int64_t { return PFP_RealUChar(x); },
      {{"", 255.4, 255, 0}, {"", 255.5, 0, 316}, {"", -1.0, 0, 316}, {"", 65.5, 66, 0}});
  run("PFP_RealChar", [](double x) -> int64_t { return PFP_RealChar(x); },
      {{"", 65.4, 65, 0}, {"", 65601.0, 65, 0}, {"", -1.0, 0xFFFF, 0}, {"", 1e20, 0, 0}});
  run("PFP_RealLong", [](double x) -> int64_t { return PFP_RealLong(x); },
      {{"", 2.5, 3, 0}, {"", -2.5, -3, 0}, {"", 2147483647.4, 2147483647, 0},
       {"", 2147483647.5, 0, 302}, {"", -2147483648.4, INT_MIN, 0}, {"", -2147483648.5, 0, 302}, {"", kNaN, 0, 302}});
  run("PFP_RealULong", [](double x) -> int64_t { return PFP_RealULong(x); },
      {{"", 4294967295.0, 4294967295, 0}, {"", 4294967296.0, 0, 302}, {"", 0.4, 0, 0},
       {"", -0.4, 0, 0}, {"", -1.0, 0, 302}});

  EXPECT_EQ(CodeOf([] { PFP_RealInt(3e9); }), 316u);
  EXPECT_EQ(ErrorText(), L"error r316: Arithmetic overflow");
  EXPECT_EQ(CodeOf([] { PFP_RealLong(3e9); }), 302u);
  EXPECT_EQ(ErrorText(),
            L"error r302: The value '3e+09' is not in range [-2147483648 .. 2147483647] of the "
            L"domain '::integer'");
  EXPECT_EQ(CodeOf([] { PFP_RealULong(-7.25); }), 302u);
  EXPECT_EQ(ErrorText(),
            L"error r302: The value '-7.25' is not in range [0 .. 4294967295] of the domain "
            L"'::unsigned'");
}

TEST(Math, ElementaryFunctionsMatchTheCLibrary) {
  using namespace QelMath;
  for (double x : {0.0, -0.0, 1e-310, 0.5, -1.25, 3.0, 100.0, 1e10, -1e300}) {
    EXPECT_DOUBLE_EQ(QelMath::sin(x), std::sin(x)) << x;
    EXPECT_DOUBLE_EQ(QelMath::cos(x), std::cos(x)) << x;
    EXPECT_DOUBLE_EQ(QelMath::tan(x), std::tan(x)) << x;
    EXPECT_DOUBLE_EQ(arctan(x), std::atan(x)) << x;
  }
  for (double x : {-700.0, -1.0, 0.0, kDenormal, 1.0, 2.5, 700.0})
    EXPECT_DOUBLE_EQ(QelMath::exp(x), std::exp(x)) << x;
  for (double x : {kDenormal, 1e-300, 0.1, 1.0, 2.718281828459045, 1e300}) {
    EXPECT_DOUBLE_EQ(ln(x), std::log(x)) << x;
    EXPECT_DOUBLE_EQ(QelMath::log(x), std::log10(x)) << x;
    EXPECT_DOUBLE_EQ(QelMath::sqrt(x), std::sqrt(x)) << x;
  }
  EXPECT_EQ(QelMath::sqrt(0.0), 0.0);
  EXPECT_EQ(QelMath::log(1000.0), 3.0);
}

TEST(Math, ElementaryFunctionsCheckTheirArguments) {
  using namespace QelMath;
  struct Case {
    double (*f)(double);
    const char* name;
    double x;
    uint32_t code;
  };
  const Case cases[] = {
      {ln, "ln", 0.0, 305},          {ln, "ln", -1.0, 305},           {ln, "ln", -kDenormal, 305},
      {QelMath::log, "log", -0.0, 305}, {QelMath::sqrt, "sqrt", -1.0, 305},
      {QelMath::sqrt, "sqrt", -0.0, 305}, {QelMath::exp, "exp", kInf, 315},
      {QelMath::exp, "exp", -kInf, 315}, {QelMath::exp, "exp", 1000.0, 1},
      {ln, "ln", kInf, 315},         {QelMath::sin, "sin", kNaN, 313},
      {arctan, "arctan", kInf, 315}, {QelMath::sqrt, "sqrt", kNaN, 313},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CodeOf([&] { c.f(c.x); }), c.code) << c.name << "(" << c.x << ")";
  EXPECT_EQ(CodeOf([] { ln(0.0); }), 305u);
  EXPECT_EQ(ErrorText(), L"error r305: The value is less than or equal to zero");
  EXPECT_EQ(CodeOf([] { QelMath::sin(kNaN); }), 313u);
  EXPECT_EQ(ErrorText(), L"error r313: Non floating-point format data (NaN or unsupported format)");
  EXPECT_EQ(CodeOf([] { QelMath::exp(kInf); }), 315u);
  EXPECT_EQ(ErrorText(), L"error r315: Floating-point overflow");
  EXPECT_EQ(CodeOf([] { QelMath::exp(710.0); }), 1u);
  EXPECT_EQ(ErrorText(), L"error r001: Exception C0000091: Float overflow");
}

TEST(Math, RandomGeneratorFollowsItsRecurrence) {
  using namespace QelMath;
  RandomInit(12345);
  uint32_t x = 12345;
  for (int i = 0; i < 50; ++i) {
    x = 3141592621u * x + 1u;
    if (i % 2)
      EXPECT_EQ(Random_1(1000), static_cast<int32_t>(x % 1000u));
    else
      EXPECT_EQ(random_0(), (x % 3130173u) / 3130173.0);
  }
  // 1 - 1153374675 x is the same step.
  RandomInit(0xDEADBEEF);
  EXPECT_EQ(Random_1(INT_MAX), static_cast<int32_t>((1u - 1153374675u * 0xDEADBEEFu) % 2147483647u));

  // The same seed gives the same numbers; results stay in range.
  RandomInit(7);
  int32_t first[20];
  for (int32_t& v : first) v = Random_1(8);
  RandomInit(7);
  for (int32_t v : first) {
    EXPECT_EQ(Random_1(8), v);
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 8);
  }
  for (int i = 0; i < 1000; ++i) {
    double r = random_0();
    EXPECT_GE(r, 0.0);
    EXPECT_LT(r, 1.0);
  }
}

TEST(Math, RandomOfNoNumbersIsAnError) {
  EXPECT_EQ(CodeOf([] { QelMath::Random_1(0); }), 302u);
  EXPECT_EQ(ErrorText(),
            L"error r302: The value '0' is not in range [1 .. 2147483647] of the domain '::integer'");
  EXPECT_EQ(CodeOf([] { QelMath::Random_1(-8); }), 302u);
}

// The register-convention helpers, called as generated code calls them.
namespace {

uint64_t CompareFlags(double left, double right) {
  uint64_t flags;
  asm volatile(
      "sub $16, %%rsp\n\t"
      "movsd %[l], 8(%%rsp)\n\t"
      "movsd %[r], (%%rsp)\n\t"
      "call _ZN7QelMath8PFP_COMPEv\n\t"
      "pushfq\n\t"
      "pop %[f]\n\t"
      : [f] "=r"(flags)
      : [l] "x"(left), [r] "x"(right)
      : "memory", "cc");
  return flags & 0x45;  // ZF PF CF
}

double ThroughFloatStack(double x) {
  uint64_t hi, lo;
  asm volatile(
      "sub $16, %%rsp\n\t"
      "movsd %[x], (%%rsp)\n\t"
      "call _ZN7QelMath16PFP_TOFLOATSTACKEv\n\t"
      "call _ZN7QelMath19PFP_FLOATSTACKTOREGEv\n\t"
      : "=a"(hi), "=d"(lo)
      : [x] "x"(x)
      : "memory", "cc");
  uint64_t bits = hi << 32 | lo;
  double out;
  memcpy(&out, &bits, 8);
  return out;
}

}  // namespace

TEST(Math, RegisterConventionHelpers) {
  constexpr uint64_t CF = 0x01, PF = 0x04, ZF = 0x40;
  EXPECT_EQ(CompareFlags(1.0, 2.0), CF);
  EXPECT_EQ(CompareFlags(2.0, 1.0), 0u);
  EXPECT_EQ(CompareFlags(-0.0, 0.0), ZF);
  EXPECT_EQ(CompareFlags(kNaN, 1.0), ZF | PF | CF);
  EXPECT_EQ(CompareFlags(-kInf, -1e308), CF);
  for (double x : {0.0, -1.5, 3.141592653589793, 1e-310, -kInf})
    EXPECT_EQ(ThroughFloatStack(x), x);
}
