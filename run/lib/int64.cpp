// Checked 64-bit arithmetic; results are new cells on the global stack.
#include <cmath>
#include <cstring>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

template <class T>
static T* NewCell(T value) {
  auto* cell = reinterpret_cast<T*>(Qel::RunTime::Kernel::Memory::AllocGStack(8));
  memcpy(cell, &value, 8);
  return cell;
}

// x as a signed 64-bit integer, or the overflow error.
static int64_t ToInt64(double x) {
  if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0))
    RaiseProcessorException(std::isnan(x) ? kFloatInvalid : kIntegralOverflow);
  return static_cast<int64_t>(x);
}

}  // namespace CorvaneLib::detail

namespace CorvaneCore {

using namespace CorvaneLib::detail;

int64_t* addI(const int64_t* a, const int64_t* b) {
  int64_t r;
  if (__builtin_add_overflow(*a, *b, &r)) RaiseProcessorException(kIntegralOverflow);
  return NewCell(r);
}

int64_t* subI(const int64_t* a, const int64_t* b) {
  int64_t r;
  if (__builtin_sub_overflow(*a, *b, &r)) RaiseProcessorException(kIntegralOverflow);
  return NewCell(r);
}

uint64_t* addU(const uint64_t* a, const uint64_t* b) {
  uint64_t r;
  if (__builtin_add_overflow(*a, *b, &r)) RaiseProcessorException(kIntegralOverflow);
  return NewCell(r);
}

uint64_t* subU(const uint64_t* a, const uint64_t* b) {
  uint64_t r;
  if (__builtin_sub_overflow(*a, *b, &r)) RaiseProcessorException(kIntegralOverflow);
  return NewCell(r);
}

}  // namespace CorvaneCore

namespace CorvaneTime {

using namespace CorvaneLib::detail;

// The high word times 2^32 times the factor, toward zero, plus the low word
// times the factor, rounded half away from zero.
int64_t* int64xReal(const int64_t* value, double factor) {
  int32_t high = static_cast<int32_t>(static_cast<uint64_t>(*value) >> 32);
  uint32_t low = static_cast<uint32_t>(*value);
  int64_t a = ToInt64(std::trunc(high * 4294967296.0 * factor));
  int64_t b = ToInt64(std::round(low * factor));
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) RaiseProcessorException(kIntegralOverflow);
  return NewCell(r);
}

void int64div32(const int64_t* dividend, int32_t divisor, int64_t** quotient,
                int32_t* remainder) {
  if (divisor == 0) RaiseProcessorException(kIntegralDivideByZero);
  if (*dividend == INT64_MIN && divisor == -1) RaiseProcessorException(kIntegralOverflow);
  int64_t q = *dividend / divisor;
  uint32_t r = static_cast<uint32_t>(*dividend) -
               static_cast<uint32_t>(divisor) * static_cast<uint32_t>(q);
  *quotient = NewCell(q);
  *remainder = static_cast<int32_t>(r);
}

}  // namespace CorvaneTime
