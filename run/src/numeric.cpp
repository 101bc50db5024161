// The numeric and pointer kinds: integral (2, 3), 64-bit integral (4, 5),
// real (6) and pointer-like (14, 17, 33), with their reference variants.
// Their terms point at the value cell; parsing checks width, then range.
#include "numeric.h"
#include "decimal.h"
#include "refcells.h"

#include <cerrno>
#include <cmath>
#include <cwchar>

namespace Qel::RunTime::detail {

void RealText(double v, int digits, char* out, size_t size) {
  snprintf(out, size, "%.*g", digits, v);
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime::Terms {

using namespace detail;

// The sign and magnitude rules of integral parsing: `largest` is the
// width's largest value; a negative magnitude of largest + 1 is the smallest.
static bool FitsWidth(uint64_t magnitude, bool negative, bool isSigned, uint64_t largest) {
  if (magnitude <= largest) return true;
  return isSigned && negative && magnitude == largest + 1;
}

// Digits of an integral text at p in radix 10, 8 (0o) or 16 (0x).
static bool ParseMagnitude(const wchar_t*& p, uint64_t limit, uint64_t* value) {
  int radix = 10;
  if (p[0] == L'0' && (p[1] == L'o' || p[1] == L'O')) radix = 8, p += 2;
  else if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) radix = 16, p += 2;
  int d = HexDigit(*p);
  if (d < 0 || d >= radix) return false;
  uint64_t v = 0;
  for (; (d = HexDigit(*p)) >= 0 && d < radix; ++p) {
    if ((limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(radix) < v) Raise(316);
    v = v * radix + d;
  }
  *value = v;
  return true;
}

// An integral text at *cursor: white space, a '+' or (signed kinds) a '-',
// then a magnitude of at most `limit`, given to the domain's Finish.
template <class Domain>
static term IntegralFromString(const Domain* d, bool isSigned, uint64_t limit,
                               const wchar_t** cursor) {
  const wchar_t* p = *cursor;
  SkipWhite(p);
  const wchar_t* start = p;
  bool negative = false;
  if (*p == L'+') ++p;
  else if (isSigned && *p == L'-') negative = true, ++p;
  uint64_t magnitude;
  if (!ParseMagnitude(p, limit, &magnitude)) Invalid(d, start);
  *cursor = p;
  return d->Finish(magnitude, negative);
}

// The sign of an integral in a stream, before its magnitude: true after a
// '-' (signed kinds only); a '+' is consumed, anything else left.
static bool ReadSign(RStreamCursor& in, bool isSigned) {
  if (SkipWhiteAndComments(in) != 0) Raise(319);
  int c = in.Read();
  if (isSigned && c == L'-') return true;
  if (c != L'+') in.Unget();
  return false;
}

// --- Integral (kinds 2, 3) -------------------------------------------------------------

bool TIntegralDomainDefinition::Signed() const {
  return R().kind == BuildDomainClassTable()[kInteger] ||
         R().kind == BuildDomainClassTable()[kRefInteger];
}

uint32_t TIntegralDomainDefinition::Word30() const { return I().zero; }
uint32_t TIntegralDomainDefinition::DeclaredBits() const { return I().declaredBits; }
uint32_t TIntegralDomainDefinition::StorageBits() const { return I().storageBits; }
int64_t TIntegralDomainDefinition::LowBound() const {
  return Signed() ? int64_t{static_cast<int32_t>(I().low)} : int64_t{I().low};
}
int64_t TIntegralDomainDefinition::HighBound() const {
  return Signed() ? int64_t{static_cast<int32_t>(I().high)} : int64_t{I().high};
}
bool TIntegralDomainDefinition::IsInRange(int64_t v) const {
  return v >= LowBound() && v <= HighBound();
}
void TIntegralDomainDefinition::RangeError(const char* value) const {
  char low[24], high[24];
  snprintf(low, sizeof low, "%lld", static_cast<long long>(LowBound()));
  snprintf(high, sizeof high, "%lld", static_cast<long long>(HighBound()));
  Raise(302, value, low, high, QualifiedName());
}
void TIntegralDomainDefinition::CheckRange(int64_t v) const {
  if (IsInRange(v)) return;
  char text[24];
  snprintf(text, sizeof text, "%lld", static_cast<long long>(v));
  RangeError(text);
}
void TIntegralDomainDefinition::Check_II_Range(int32_t v) const {
  if (Signed()) CheckRange(v);
}
void TIntegralDomainDefinition::Check_IU_Range(uint32_t v) const {
  if (Signed()) CheckRange(int64_t{v});  // above 2147483647 is above every signed bound
}
void TIntegralDomainDefinition::Check_UI_Range(int32_t v) const {
  if (!Signed()) CheckRange(v);  // a negative value is below every unsigned bound
}
void TIntegralDomainDefinition::Check_UU_Range(uint32_t v) const {
  if (!Signed()) CheckRange(int64_t{v});
}

// y = floor(x + 0.5) within the bounds; NaN and infinities are out of range.
static int64_t RoundedInRange(const TIntegralDomainDefinition* d, double x) {
  double y = std::floor(x + 0.5);
  if (!(y >= static_cast<double>(d->LowBound()) && y <= static_cast<double>(d->HighBound()))) {
    char text[64];
    RealText(x, 30, text, sizeof text);
    d->RangeError(text);
  }
  return static_cast<int64_t>(y);
}

template <bool IsSigned>
class TIntegral : public TScalarOf<TIntegralDomainDefinition> {
 public:
  uint32_t ValueSize() const override { return I().storageBits / 8; }
  int64_t Value(term t) const { return LoadIntegral(t, I().storageBits, IsSigned); }
  int CompareTerms(term a, term b) const override {
    int64_t x = Value(a), y = Value(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  bool IsTermBoxedForAnonymousTypePosition() const override { return true; }
  int32_t ConvertI2I(int32_t v) const override {
    if (!IsSigned) return TDomainDefinition::ConvertI2I(v);
    Check_II_Range(v);
    return v;
  }
  int32_t ConvertU2I(uint32_t v) const override {
    if (!IsSigned) return TDomainDefinition::ConvertU2I(v);
    Check_IU_Range(v);
    return static_cast<int32_t>(v);
  }
  int32_t ConvertR2I(double v) const override {
    if (!IsSigned) return TDomainDefinition::ConvertR2I(v);
    return static_cast<int32_t>(RoundedInRange(this, v));
  }
  uint32_t ConvertI2U(int32_t v) const override {
    if (IsSigned) return TDomainDefinition::ConvertI2U(v);
    Check_UI_Range(v);
    return static_cast<uint32_t>(v);
  }
  uint32_t ConvertU2U(uint32_t v) const override {
    if (IsSigned) return TDomainDefinition::ConvertU2U(v);
    Check_UU_Range(v);
    return v;
  }
  uint32_t ConvertR2U(double v) const override {
    if (IsSigned) return TDomainDefinition::ConvertR2U(v);
    return static_cast<uint32_t>(RoundedInRange(this, v));
  }

  uint64_t Largest() const {
    uint32_t bits = I().storageBits;
    if (bits != 8 && bits != 16 && bits != 32) Raise(318);
    return IsSigned ? (uint64_t{1} << (bits - 1)) - 1 : (uint64_t{1} << bits) - 1;
  }
  // Signed kinds check the width (316) before the range; unsigned ones the
  // range (302), which the width can only narrow further.
  term Finish(uint64_t magnitude, bool negative) const {
    if (IsSigned && !FitsWidth(magnitude, negative, IsSigned, Largest())) Raise(316);
    int64_t v = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    CheckRange(v);
    if (!FitsWidth(magnitude, negative, IsSigned, Largest())) Raise(316);
    auto cell = static_cast<uint32_t>(v);
    return NewValueTerm(&cell);
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    int64_t v = Value(t);
    if (v < 0) out->Write(L'-');
    WriteNumber(out, "%llu", v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v));
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return IntegralFromString(this, IsSigned, 0xFFFFFFFFu, cursor);
  }
  term ReadFromStream(RStreamCursor* in) const override {
    bool negative = ReadSign(*in, IsSigned);
    return Finish(ReadUnsigned(*in), negative);
  }
};

// --- 64-bit integral (kinds 4, 5) ------------------------------------------------------

template <bool IsSigned>
class TIntegral64 : public TScalar {
 public:
  const RIntegral64Domain& I() const { return *reinterpret_cast<const RIntegral64Domain*>(this); }
  uint32_t ValueSize() const override { return 8; }
  int CompareTerms(term a, term b) const override {
    uint64_t x, y;
    memcpy(&x, a, 8);
    memcpy(&y, b, 8);
    if (IsSigned) {
      auto sx = static_cast<int64_t>(x), sy = static_cast<int64_t>(y);
      return sx < sy ? -1 : sx > sy ? 1 : 0;
    }
    return x < y ? -1 : x > y ? 1 : 0;
  }
  virtual uint32_t Word38() const { return I().extra; }
  virtual uint32_t DeclaredBits() const { return I().declaredBits; }
  virtual uint32_t StorageBits() const { return I().storageBits; }
  virtual uint64_t LowBound() const { return I().low; }
  virtual uint64_t HighBound() const { return I().high; }
  virtual bool IsInRange(uint64_t v) const {
    if (IsSigned)
      return static_cast<int64_t>(v) >= static_cast<int64_t>(I().low) &&
             static_cast<int64_t>(v) <= static_cast<int64_t>(I().high);
    return v >= I().low && v <= I().high;
  }
  virtual void CheckRange(uint64_t v) const {
    if (IsInRange(v)) return;
    const char* f = IsSigned ? "%lld" : "%llu";
    char value[24], low[24], high[24];
    snprintf(value, sizeof value, f, static_cast<unsigned long long>(v));
    snprintf(low, sizeof low, f, static_cast<unsigned long long>(I().low));
    snprintf(high, sizeof high, f, static_cast<unsigned long long>(I().high));
    Raise(302, value, low, high, QualifiedName());
  }

  static uint64_t V(term t) {
    uint64_t v;
    memcpy(&v, t, 8);
    return v;
  }
  term Finish(uint64_t magnitude, bool negative) const {
    if (!FitsWidth(magnitude, negative, IsSigned, IsSigned ? INT64_MAX : UINT64_MAX)) Raise(316);
    uint64_t v = negative ? 0 - magnitude : magnitude;
    CheckRange(v);
    return NewValueTerm(&v);
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    uint64_t v = V(t);
    bool negative = IsSigned && static_cast<int64_t>(v) < 0;
    if (negative) out->Write(L'-');
    WriteNumber(out, "%llu", negative ? 0 - v : v);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return IntegralFromString(this, IsSigned, UINT64_MAX, cursor);
  }
  term ReadFromStream(RStreamCursor* in) const override {
    bool negative = ReadSign(*in, IsSigned);
    return Finish(ReadUnsigned64(*in), negative);
  }
};

// --- Real (kind 6) ---------------------------------------------------------------------

uint32_t TRealDomainDefinition::Word38() const { return D().zero; }
double TRealDomainDefinition::LowBound() const { return D().low; }
double TRealDomainDefinition::HighBound() const { return D().high; }
bool TRealDomainDefinition::IsInRange(double v) const { return v >= D().low && v <= D().high; }
void TRealDomainDefinition::CheckRealRange(double v) const {
  if (IsInRange(v)) return;
  char value[40], low[40], high[40];
  RealText(v, 15, value, sizeof value);
  snprintf(low, sizeof low, "%g", D().low);
  snprintf(high, sizeof high, "%g", D().high);
  Raise(302, value, low, high, QualifiedName());
}
uint32_t TRealDomainDefinition::Digits() const { return D().digits; }
uint32_t TRealDomainDefinition::Word34() const { return D().digits2; }

class TReal : public TScalarOf<TRealDomainDefinition> {
 public:
  uint32_t ValueSize() const override { return 8; }
  int CompareTerms(term a, term b) const override {
    double x, y;
    memcpy(&x, a, 8);
    memcpy(&y, b, 8);
    return x > y ? 1 : x < y ? -1 : 0;  // NaN: unordered counts as equal
  }
  double ConvertI2R(int32_t v) const override { return Checked(v); }
  double ConvertU2R(uint32_t v) const override { return Checked(v); }
  double ConvertR2R(double v) const override { return Checked(v); }

  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    double v;
    memcpy(&v, t, 8);
    if (std::isnan(v)) return out->WriteAscii("nan");
    if (std::isinf(v)) return out->WriteAscii(v < 0 ? "-inf" : "inf");
    char text[64];
    RealText(v, D().digits > 15 ? 16 : static_cast<int>(D().digits), text, sizeof text);
    out->WriteAscii(text);
  }
  // Decimal numbers are read here, correctly rounded; the words of NaN and
  // the infinities and hexadecimal forms by the C library.
  term Finish(const wchar_t* text, const wchar_t** end, bool stream) const {
    double v;
    const wchar_t* stop = text;
    switch (ReadDecimal(text, &stop, &v)) {
      case DecimalResult::kOverflow: Raise(316);
      case DecimalResult::kValue: break;
      case DecimalResult::kNotDecimal: {
        errno = 0;
        wchar_t* after;
        v = wcstod(text, &after);
        if (errno == ERANGE && std::isinf(v)) Raise(316);
        stop = after;
      }
    }
    if (stop == text) {
      if (stream) Raise(322, QualifiedName(), text);
      Invalid(this, text);
    }
    CheckRealRange(v);
    if (end) *end = stop;
    return NewValueTerm(&v);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    return Finish(p, cursor, false);
  }
  term ReadFromStream(RStreamCursor* in) const override {
    if (SkipWhiteAndComments(*in) != 0) Raise(319);
    wchar_t local[64];
    return Finish(ReadRealText(*in, local, 64), nullptr, true);
  }

 private:
  double Checked(double v) const {
    CheckRealRange(v);
    return v;
  }
};

// --- Pointer-like (14, 17, 33) ------------------------------------------------------------

template <EDomainKind K>
class TPointer : public TScalar {
 public:
  uint32_t ValueSize() const override { return 8; }
  int CompareTerms(term a, term b) const override {
    if (K == kObject) return -1;  // two object values never compare equal
    uint64_t x, y;
    memcpy(&x, a, 8);
    memcpy(&y, b, 8);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  bool Validate(term t) const override {
    if (!Readable(t, 8)) return false;
    if (K != kObject) return true;
    const void* object;
    memcpy(&object, t, 8);
    return ObjectHeader(object) != nullptr;
  }
  bool IsTermBoxedForAnonymousTypePosition() const override { return true; }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    uint64_t v;
    memcpy(&v, t, 8);
    WriteNumber(out, "%016llX", v);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    uint64_t v = 0;
    int significant = 0;
    for (int d; (d = HexDigit(*p)) >= 0; ++p) {
      if (v || d) ++significant;
      if (significant > 16) Raise(316);
      v = v << 4 | static_cast<uint64_t>(d);
    }
    *cursor = p;
    return NewValueTerm(&v);
  }
  term ReadFromStream(RStreamCursor* in) const override {
    if (SkipWhiteAndComments(*in) != 0) Raise(319);
    uint64_t v = ReadHex(*in);
    return NewValueTerm(&v);
  }
};

void FillNumericAndPointerClasses(uintptr_t* t) {
  t[kInteger] = TableOf<TIntegral<true>>();
  t[kUnsigned] = TableOf<TIntegral<false>>();
  t[kInteger64] = TableOf<TIntegral64<true>>();
  t[kUnsigned64] = TableOf<TIntegral64<false>>();
  t[kReal] = TableOf<TReal>();
  t[kPointer] = TableOf<TPointer<kPointer>>();
  t[kObject] = TableOf<TPointer<kObject>>();
  t[kRefInteger] = TableOf<TRef<TIntegral<true>, true>>();
  t[kRefUnsigned] = TableOf<TRef<TIntegral<false>, true>>();
  t[kRefReal] = TableOf<TRef<TReal, true>>();
  t[kRefPointer] = TableOf<TRef<TPointer<kPointer>, true>>();
  t[kRefObject] = TableOf<TRef<TPointer<kObject>, true>>();
  t[kPointerLike] = TableOf<TPointer<kPointerLike>>();
}

}  // namespace Qel::RunTime::Terms
