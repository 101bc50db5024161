// Decimal text to double.  Short mantissas with small exponents are exact in
// doubles and take one rounded operation; every other number is divided out
// in big integers: the 64-bit quotient of D * 10^E scaled into [2^63, 2^64)
// and a sticky bit for the remainder give the correctly rounded result.
// Beyond 768 significant digits the rest only sets a sticky last digit,
// which decides no rounding differently (a halfway point needs fewer).
#include "decimal.h"

#include <cstring>

namespace Qel::RunTime::detail {

namespace {

constexpr int kMaxDigits = 768;
constexpr int kLimbs = 136;  // 4352 bits: 10^1100 shifted by one, with room

// An unsigned big integer, least significant 32-bit limb first.
struct Big {
  uint32_t w[kLimbs];
  int n = 0;

  void MulAdd(uint32_t m, uint32_t add) {
    uint64_t carry = add;
    for (int i = 0; i < n; ++i) {
      uint64_t x = uint64_t{w[i]} * m + carry;
      w[i] = static_cast<uint32_t>(x);
      carry = x >> 32;
    }
    if (carry) w[n++] = static_cast<uint32_t>(carry);
  }
  void MulPow10(int e) {
    for (; e >= 9; e -= 9) MulAdd(1000000000u, 0);
    static const uint32_t kSmall[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (e) MulAdd(kSmall[e], 0);
  }
  int BitLength() const {
    if (!n) return 0;
    return 32 * (n - 1) + (32 - __builtin_clz(w[n - 1]));
  }
  void ShiftLeft(int bits) {
    if (!n || !bits) return;
    int limbs = bits / 32, r = bits % 32;
    if (r) {
      uint32_t top = w[n - 1] >> (32 - r);
      for (int i = n - 1; i > 0; --i) w[i] = w[i] << r | w[i - 1] >> (32 - r);
      w[0] <<= r;
      if (top) w[n++] = top;
    }
    if (limbs) {
      memmove(w + limbs, w, sizeof(uint32_t) * n);
      memset(w, 0, sizeof(uint32_t) * limbs);
      n += limbs;
    }
  }
  bool IsZero() const { return n == 0; }
};

int Compare(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
  return 0;
}

// a -= b, for a >= b.
void Subtract(Big& a, const Big& b) {
  int64_t borrow = 0;
  for (int i = 0; i < a.n; ++i) {
    int64_t x = int64_t{a.w[i]} - (i < b.n ? b.w[i] : 0) - borrow;
    borrow = x < 0;
    a.w[i] = static_cast<uint32_t>(x);
  }
  while (a.n && !a.w[a.n - 1]) --a.n;
}

// The bits of the positive double nearest to num/den (num and den are used up).
uint64_t RoundQuotient(Big& num, Big& den, bool* overflow) {
  // Scale to num/den in [1, 2); the value is that times 2^e2.
  int diff = num.BitLength() - den.BitLength();
  int e2 = diff;
  if (diff < 0) num.ShiftLeft(-diff);
  else den.ShiftLeft(diff);
  if (Compare(num, den) < 0) {
    num.ShiftLeft(1);
    --e2;
  }
  // 64 bits of the quotient, the first one set, and the remainder's sticky bit.
  uint64_t q = 0;
  for (int i = 0; i < 64; ++i) {
    q <<= 1;
    if (Compare(num, den) >= 0) {
      Subtract(num, den);
      q |= 1;
    }
    num.ShiftLeft(1);
  }
  bool sticky = !num.IsZero();
  if (e2 > 1023) {
    *overflow = true;
    return 0x7FF0000000000000ull;
  }
  // Bits dropped: 11 for a normal number, more below the normal range.
  int dropped = 11 + (e2 < -1022 ? -1022 - e2 : 0);
  if (dropped > 64) return 0;
  unsigned __int128 wide = q;
  uint64_t mant = static_cast<uint64_t>(wide >> dropped);
  unsigned __int128 rest = wide & ((static_cast<unsigned __int128>(1) << dropped) - 1);
  unsigned __int128 half = static_cast<unsigned __int128>(1) << (dropped - 1);
  if (rest > half || (rest == half && (sticky || (mant & 1)))) ++mant;
  if (e2 < -1022) return mant;  // subnormal; a carry into bit 52 gives the least normal
  if (mant >> 53) {
    mant >>= 1;
    ++e2;
  }
  if (e2 > 1023) {
    *overflow = true;
    return 0x7FF0000000000000ull;
  }
  return static_cast<uint64_t>(e2 + 1023) << 52 | (mant & ((uint64_t{1} << 52) - 1));
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

DecimalResult ReadDecimal(const wchar_t* text, const wchar_t** end, double* value) {
  const wchar_t* p = text;
  bool negative = *p == L'-';
  if (*p == L'-' || *p == L'+') ++p;
  if ((p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) || !(IsDigit(*p) || (*p == L'.' && IsDigit(p[1]))))
    return DecimalResult::kNotDecimal;

  // Significant digits (leading zeros skipped) and the exponent of the last kept one.
  char digits[kMaxDigits + 1];
  int count = 0;
  bool truncated = false;
  int64_t exponent = 0;
  auto take = [&](wchar_t c, bool fraction) {
    if (count == 0 && c == L'0') {
      if (fraction) --exponent;
      return;
    }
    if (count < kMaxDigits) {
      digits[count++] = static_cast<char>(c - L'0');
      if (fraction) --exponent;
    } else {
      if (c != L'0') truncated = true;
      if (!fraction) ++exponent;
    }
  };
  for (; IsDigit(*p); ++p) take(*p, false);
  if (*p == L'.')
    for (++p; IsDigit(*p); ++p) take(*p, true);
  if ((*p == L'e' || *p == L'E') &&
      (IsDigit(p[1]) || ((p[1] == L'+' || p[1] == L'-') && IsDigit(p[2])))) {
    ++p;
    bool down = *p == L'-';
    if (*p == L'+' || *p == L'-') ++p;
    int64_t e = 0;
    for (; IsDigit(*p); ++p)
      if (e < 100000000) e = e * 10 + (*p - L'0');
    exponent += down ? -e : e;
  }
  *end = p;
  if (truncated) {
    digits[count++] = 1;  // stands for the nonzero digits dropped
    --exponent;
  }

  uint64_t bits = 0;
  bool overflow = false;
  int64_t magnitude = count + exponent;  // the value lies in [10^(magnitude-1), 10^magnitude)
  if (count == 0 || magnitude < -324) {
    bits = 0;
  } else if (magnitude > 310) {
    bits = 0x7FF0000000000000ull;
    overflow = true;
  } else if (count <= 15 && exponent >= -22 && exponent <= 22) {
    // The digits and the power of ten are exact doubles: one rounding.
    static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    int64_t d = 0;
    for (int i = 0; i < count; ++i) d = d * 10 + digits[i];
    double v = static_cast<double>(d);
    v = exponent >= 0 ? v * kPow10[exponent] : v / kPow10[-exponent];
    memcpy(&bits, &v, 8);
  } else {
    Big num, den;
    for (int i = 0; i < count; i += 9) {
      uint32_t chunk = 0, scale = 1;
      for (int j = i; j < count && j < i + 9; ++j) chunk = chunk * 10 + digits[j], scale *= 10;
      num.MulAdd(scale, chunk);
    }
    den.w[0] = 1;
    den.n = 1;
    if (exponent >= 0) num.MulPow10(static_cast<int>(exponent));
    else den.MulPow10(static_cast<int>(-exponent));
    bits = RoundQuotient(num, den, &overflow);
  }
  if (negative) bits |= uint64_t{1} << 63;
  memcpy(value, &bits, 8);
  return overflow ? DecimalResult::kOverflow : DecimalResult::kValue;
}

}  // namespace Qel::RunTime::detail
