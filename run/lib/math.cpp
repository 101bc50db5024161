// Bit operations, real arithmetic and conversions, elementary functions and
// the random generator.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

enum : uint32_t {
  kNotInRange = 302,
  kNotPositive = 305,
  kNotANumber = 313,
  kRealOverflow = 315,
  kArithmeticOverflow = 316,
};

// A finite operation with a result that is not finite: the exception that the
// x87 unit, with these exceptions unmasked, would have raised.
static double Checked(double left, double right, double result, bool division) {
  if (std::isfinite(result) || !std::isfinite(left) || !std::isfinite(right)) return result;
  if (std::isnan(result)) RaiseProcessorException(kFloatInvalid);
  if (division && right == 0) RaiseProcessorException(kFloatDivideByZero);
  RaiseProcessorException(kFloatOverflow);
}

// The argument checks of the elementary functions.
enum class Accept { AnyFinite, Positive, NonNegative };
static void CheckArgument(double x, Accept accept) {
  switch (std::fpclassify(x)) {
    case FP_INFINITE: Raise(kRealOverflow);
    case FP_NAN: Raise(kNotANumber);
    case FP_ZERO:
      if (accept == Accept::Positive || (accept == Accept::NonNegative && std::signbit(x)))
        Raise(kNotPositive);
      return;
    default:
      if (accept != Accept::AnyFinite && x < 0) Raise(kNotPositive);
      return;
  }
}

// A result that overflowed from a finite argument: the x87 overflow fault.
static double CheckResult(double r) {
  if (std::isinf(r)) RaiseProcessorException(kFloatOverflow);
  return r;
}

// floor(x + 0.5), without the double rounding of the sum.
static double RoundHalfUp(double x) {
  double f = std::floor(x);
  return x - f >= 0.5 ? f + 1 : f;
}

// Raises 302 for a value (its text, or a real) outside [lo .. hi] of the domain.
[[noreturn]] static void NotInRange(const char* text, const char* lo, const char* hi,
                                    const wchar_t* domain) {
  Raise(kNotInRange, reinterpret_cast<uintptr_t>(text), reinterpret_cast<uintptr_t>(lo),
        reinterpret_cast<uintptr_t>(hi), reinterpret_cast<uintptr_t>(domain));
}
[[noreturn]] static void NotInRange(double value, const char* lo, const char* hi,
                                    const wchar_t* domain) {
  char text[64];
  snprintf(text, sizeof text, "%g", value);
  NotInRange(text, lo, hi, domain);
}

// The random generator's state: process-wide, without a lock.
static std::atomic<uint32_t> g_random{0};
static std::atomic<bool> g_seeded{false};

static uint32_t NextRandom() {
  if (!g_seeded.load(std::memory_order_relaxed)) {
    LARGE_INTEGER counter;
    uint32_t seed = QueryPerformanceCounter(&counter) ? static_cast<uint32_t>(counter.QuadPart)
                                                      : GetTickCount();
    g_random.store(seed, std::memory_order_relaxed);
    g_seeded.store(true, std::memory_order_relaxed);
  }
  uint32_t x = 1u - 1153374675u * g_random.load(std::memory_order_relaxed);
  g_random.store(x, std::memory_order_relaxed);
  return x;
}

}  // namespace CorvaneLib::detail

namespace QelMath {

using namespace CorvaneLib::detail;

uint32_t bitOr(uint32_t a, uint32_t b) { return a | b; }
uint32_t bitAnd(uint32_t a, uint32_t b) { return a & b; }
uint32_t bitXor(uint32_t a, uint32_t b) { return a ^ b; }
uint32_t bitNot(uint32_t a) { return ~a; }
uint32_t bitLeft(uint32_t value, uint32_t count) { return value << (count & 31); }
uint32_t bitRight(uint32_t value, uint32_t count) { return value >> (count & 31); }
uint32_t abs_i(int32_t x) {
  uint32_t u = static_cast<uint32_t>(x);
  return x < 0 ? 0u - u : u;
}
double abs_r(double x) { return std::fabs(x); }

double PFP_IntReal(int32_t x) { return x; }
double PFP_UnsReal(uint32_t x) { return x; }
double PFP_Add(double left, double right) { return Checked(left, right, left + right, false); }
double PFP_Sub(double left, double right) { return Checked(left, right, left - right, false); }
double PFP_Mult(double left, double right) { return Checked(left, right, left * right, false); }
double PFP_Div(double left, double right) { return Checked(left, right, left / right, true); }

// Ranges are checked on the rounded value: 2147483647.4 passes, 2147483647.5
// does not.
int32_t PFP_RealInt(double x) {
  double r = RoundHalfUp(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) Raise(kArithmeticOverflow);
  return static_cast<int32_t>(r);
}

uint32_t PFP_RealUnsigned(double x) {
  double r = RoundHalfUp(x);
  if (!(r >= 0 && r <= 4294967295.0)) Raise(kArithmeticOverflow);
  return static_cast<uint32_t>(r);
}

uint8_t PFP_RealUChar(double x) {
  double r = RoundHalfUp(x);
  if (!(r >= 0 && r <= 255.0)) Raise(kArithmeticOverflow);
  return static_cast<uint8_t>(r);
}

uint16_t PFP_RealChar(double x) {
  double r = RoundHalfUp(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return 0;
  return static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(r)));
}

int32_t PFP_RealLong(double x) {
  double r = std::round(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0))
    NotInRange(x, "-2147483648", "2147483647", L"::integer");
  return static_cast<int32_t>(r);
}

// Negative values are rejected too: they have no unsigned value.
uint32_t PFP_RealULong(double x) {
  double r = std::round(x);
  if (!(r >= 0 && r <= 4294967295.0)) NotInRange(x, "0", "4294967295", L"::unsigned");
  return static_cast<uint32_t>(r);
}

double round(double x) { return RoundHalfUp(x); }
double trunc(double x) { return std::trunc(x); }

double sin(double x) {
  CheckArgument(x, Accept::AnyFinite);
  return std::sin(x);
}
double cos(double x) {
  CheckArgument(x, Accept::AnyFinite);
  return std::cos(x);
}
double tan(double x) {
  CheckArgument(x, Accept::AnyFinite);
  return std::tan(x);
}
double arctan(double x) {
  CheckArgument(x, Accept::AnyFinite);
  return std::atan2(x, 1.0);
}
double exp(double x) {
  CheckArgument(x, Accept::AnyFinite);
  return CheckResult(std::exp(x));
}
double ln(double x) {
  CheckArgument(x, Accept::Positive);
  return std::log(x);
}
double log(double x) {
  CheckArgument(x, Accept::Positive);
  return std::log10(x);
}
double sqrt(double x) {
  CheckArgument(x, Accept::NonNegative);
  return std::sqrt(x);
}

double random_0() { return (NextRandom() % 3130173u) / 3130173.0; }

int32_t Random_1(int32_t n) {
  if (n <= 0) {
    char text[16];
    snprintf(text, sizeof text, "%d", n);
    NotInRange(text, "1", "2147483647", L"::integer");
  }
  return static_cast<int32_t>(NextRandom() % static_cast<uint32_t>(n));
}

void RandomInit(uint32_t seed) {
  g_random.store(seed, std::memory_order_relaxed);
  g_seeded.store(true, std::memory_order_relaxed);
}

}  // namespace QelMath
