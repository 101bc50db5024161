// Checked arithmetic of the drawing package: 32-bit sums, differences and
// products that raise "Integral overflow" instead of wrapping, and reals
// turned into integers by the runtime's conversions (range error 302).
#pragma once

#include <cstdint>

#include "core/core.h"
#include "unit.h"

namespace rizediveva6::checked {

inline int32_t Add(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) tav::RaiseIntegerOverflow();
  return r;
}
inline int32_t Sub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) tav::RaiseIntegerOverflow();
  return r;
}
inline int32_t Mul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) tav::RaiseIntegerOverflow();
  return r;
}
// A 64-bit value that must fit a 32-bit integer.
inline int32_t Narrow(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX) tav::RaiseIntegerOverflow();
  return static_cast<int32_t>(v);
}

// Nearest integer by the runtime's real conversions.
inline int32_t R2I(double v) {
  return Qel::RunTime::Terms::ConvertR2I(tav::D(tav::domains::integer), v);
}
inline uint32_t R2U(double v) {
  return Qel::RunTime::Terms::ConvertR2U(tav::D(tav::domains::unsigned_), v);
}
inline int32_t U2I(uint32_t v) {
  if (v > INT32_MAX) RaiseRangeError();
  return static_cast<int32_t>(v);
}
inline uint32_t I2U(int32_t v) {
  return Qel::RunTime::Terms::ConvertI2U(tav::D(tav::domains::unsigned_), v);
}

}  // namespace rizediveva6::checked
