// Decimal text to double, correctly rounded (nearest, ties to even), for
// any number of digits and any exponent.
#pragma once

#include <cstdint>

namespace Qel::RunTime::detail {

enum class DecimalResult {
  kNotDecimal,  // no decimal number at the text (a word, a hexadecimal form)
  kValue,       // *value is the nearest double (a zero or subnormal included)
  kOverflow,    // beyond the largest double: *value is the signed infinity
};

// Reads [sign] digits [. digits] [e|E [sign] digits] at `text` (at least one
// digit in the mantissa; an exponent marker without digits is not part of
// the number); *end is set past what was read.
DecimalResult ReadDecimal(const wchar_t* text, const wchar_t** end, double* value);

}  // namespace Qel::RunTime::detail
