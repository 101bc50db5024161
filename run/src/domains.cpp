// The domain classes: one method table per kind, reached through the first
// word of every activated domain record.
//
// Terms: a scalar term is a pointer to its value cell; a string, string8 or
// symbol term points at its text, a binary term past its u32 size word, a
// compound term at its block, a reference term at its cell.  Copies and the
// sizes that plan them are 8-aligned so that every pointer inside a copy is
// seen by the collector.
#include "domains.h"

#include "dbhooks.h"
#include "streams.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <type_traits>

namespace Qel::RunTime::Terms {

using namespace detail;

// --- TDomainDefinition: defaults -------------------------------------------------

const wchar_t* TDomainDefinition::Name() const { return R().name; }
RScopeClassDescriptor* TDomainDefinition::ScopeDescriptor() const { return R().scope; }
uint32_t TDomainDefinition::SizeOfTerm(term t) const { return SizeOfTermAt(t); }
uint32_t TDomainDefinition::ValueSize() const { return 0; }
uint32_t TDomainDefinition::SizeOfTermAt(term) const { return 0; }
uint32_t TDomainDefinition::ArgumentSize() const { return 8; }
uint32_t TDomainDefinition::TextLength(term t) const { return CountText(this, t); }
uint32_t TDomainDefinition::BlockHeaderSize() const { return 0; }
bool TDomainDefinition::IsScalar() const { return true; }
uint32_t TDomainDefinition::CompoundWord() const { return 0; }
void TDomainDefinition::FormatVG(RStreamCursor*, term, const wchar_t*) const {
  Errors::InternalError(L"TDomainDefinition::FormatVG for domain: '%s'", QualifiedName());
}
bool TDomainDefinition::Validate(term) const { Internal(L"TDomainDefinition::Validate"); }
wchar_t* TDomainDefinition::LowLevelToString(term t, wchar_t* out) const {
  return WriteInto(this, t, out);
}
term TDomainDefinition::LowLevelFromString(const wchar_t**) const {
  Internal(L"TDomainDefinition::LowLevelFromString");
}
term TDomainDefinition::CopyTermToGStack(term t) const {
  uint8_t* target = GAlloc(AlignedSizeOfTerm(t));
  uint32_t used;
  return CopyTerm(target, t, false, &used);
}
term TDomainDefinition::ReadFromStream(RStreamCursor*) const {
  Internal(L"TDomainDefinition::ReadFromStream");
}
void TDomainDefinition::WriteForConsultToStream(RStreamCursor*, term) const {
  Internal(L"TDomainDefinition::WriteForConsultToStream");
}
void TDomainDefinition::WriteToStream(RStreamCursor* out, term t) const {
  WriteForConsultToStream(out, t);
}
wchar_t* TDomainDefinition::ToStringFromAnotherWorld(const void*, term) const {
  Internal(L"TDomainDefinition::ToStringFromAnotherWorld");
}
void TDomainDefinition::DebuggerLoadRecord(const void*) const {}
uintptr_t TDomainDefinition::ObjectFactsOffset() const { return 0; }
void* TDomainDefinition::ClassFactsHeads() const { return nullptr; }
term TDomainDefinition::CopyTerm(uint8_t*, term, bool, uint32_t*) const {
  Internal(L"TDomainDefinition::CopyTerm");
}
term TDomainDefinition::CopyTermFromGStack(term) const { Internal(L"TDomainDefinition::CopyTerm"); }
uint8_t* TDomainDefinition::AllocateTerm(uint32_t bytes) const {
  return static_cast<uint8_t*>(Memory::AllocHeap(bytes));
}
void TDomainDefinition::IsEqualTerms(term a, term b) const {
  if (CompareTerms(a, b) != 0) Fail();
}
int TDomainDefinition::CompareTerms(term, term) const {
  Internal(L"TDomainDefinition::CompareTerms");
}
int32_t TDomainDefinition::ConvertI2I(int32_t) const { Internal(L"TDomainDefinition::ConvertI2I"); }
int32_t TDomainDefinition::ConvertU2I(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2I"); }
int32_t TDomainDefinition::ConvertR2I(double) const { Internal(L"TDomainDefinition::ConvertR2I"); }
uint32_t TDomainDefinition::ConvertI2U(int32_t) const { Internal(L"TDomainDefinition::ConvertI2U"); }
uint32_t TDomainDefinition::ConvertU2U(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2U"); }
uint32_t TDomainDefinition::ConvertR2U(double) const { Internal(L"TDomainDefinition::ConvertR2U"); }
double TDomainDefinition::ConvertI2R(int32_t) const { Internal(L"TDomainDefinition::ConvertI2R"); }
double TDomainDefinition::ConvertU2R(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2R"); }
double TDomainDefinition::ConvertR2R(double) const { Internal(L"TDomainDefinition::ConvertR2R"); }
void TDomainDefinition::PostInitialize() const {}
bool TDomainDefinition::IsBoxed() const { return false; }
uint32_t TDomainDefinition::FunctorCount() const { return 0; }
uint32_t TDomainDefinition::FunctorOfTerm(term) const { return 0; }
bool TDomainDefinition::HasFunctorWord() const { return false; }
bool TDomainDefinition::IsGround(term) const { return true; }
term TDomainDefinition::Term_2_RefTerm(term) const {
  Internal(L"TDomainDefinition::Term_2_RefTerm");
}
bool TDomainDefinition::IsList() const { return false; }
// The image slots: the passes of the image writer and reader.
void TDomainDefinition::BinarySize(term t, RHtoBinary* e) const { ImageSize(this, t, e); }
void TDomainDefinition::BinaryEmit(term t, RHtoBinary* e) const { ImageEmit(this, t, e); }
void TDomainDefinition::BinaryPrepareRead(const uint8_t*, RBinaryReader* r) const {
  if (r) ImagePrepareRead(this, r);
}
term TDomainDefinition::BinaryRead(const uint8_t* image, RBinaryReader* r) const {
  return ImageRead(this, image, r);
}
const wchar_t* TDomainDefinition::QualifiedName() const {
  const wchar_t* name = R().name ? R().name : L"";
  const RScopeClassDescriptor* scope = R().scope;
  if (!scope) return Memory::CopyStringToGStack(name);
  const wchar_t* scopeName = scope->name;
  if (!scopeName || scopeName[0] == L'_') scopeName = L"";
  size_t n = wcslen(name), m = wcslen(scopeName);
  wchar_t* q = Memory::AllocHeapString(static_cast<uint32_t>(n + 2 + m));
  memcpy(q, scopeName, m * 2);
  q[m] = q[m + 1] = L':';
  memcpy(q + m + 2, name, n * 2);
  return q;
}
bool TDomainDefinition::IsTermBoxedForAnonymousTypePosition() const { return false; }
uint32_t TDomainDefinition::AlignedSizeOfTerm(term t) const { return Align8(SizeOfTermAt(t)); }
bool TDomainDefinition::IsChar() const { return false; }
term TDomainDefinition::BinaryReadCodePage(RBinaryReader* r) const {
  return ImageReadCodePage(this, r);
}
term TDomainDefinition::BinaryReadFinish(term t) const { return t; }
void TDomainDefinition::DebuggerWriteValue(const void*, term, uint32_t) const {}
void TDomainDefinition::EnumerateFacts(void*, DBInternal::RFactVisitor*) const {}
uint32_t TDomainDefinition::DatabaseKind() const { return 0; }
uint32_t TDomainDefinition::BinaryHeaderSize() const { return 0; }

term TDomainDefinition::NewValueTerm(const void* value) const {
  uint8_t* t = AllocateTerm(ValueSize());
  memcpy(t, value, ValueSize());
  return t;
}

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

void RealText(double v, int digits, char* out, size_t size) {
  snprintf(out, size, "%.*g", digits, v);
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime::Terms {

// --- Text helpers ------------------------------------------------------------------------

static void SkipWhite(const wchar_t*& p) {
  while (*p && IsWhite(*p)) ++p;
}
// 307: the symbol expected at p.
[[noreturn]] static void Expected(const IDomainDefinition* d, wchar_t c, const wchar_t* p) {
  Raise(307, static_cast<int>(c), d->QualifiedName(), p);
}
[[noreturn]] static void Invalid(const IDomainDefinition* d, const wchar_t* p) {
  Raise(303, d->QualifiedName(), p);
}
static void WriteNumber(RStreamCursor* out, const char* format, unsigned long long v) {
  char text[32];
  snprintf(text, sizeof text, format, v);
  out->WriteAscii(text);
}

// A quoted text at p (after white space): its units, escapes translated.
static wchar_t* ParseQuoted(const IDomainDefinition* d, const wchar_t*& p) {
  SkipWhite(p);
  if (*p != L'"') Expected(d, L'"', p);
  const wchar_t* start = ++p;
  size_t n = 0;
  for (const wchar_t* q = start;; ++n) {
    if (!*q) Expected(d, L'"', start - 1);
    if (*q == L'"') break;
    if (*q != L'\\') {
      ++q;
      continue;
    }
    if (q[1] == L'u') {
      for (int i = 2; i < 6; ++i)
        if (HexDigit(q[i]) < 0) IntegerExpected(q[i]);
      q += 6;
    } else {
      if (UnescapeOf(q[1]) < 0) Invalid(d, q);
      q += 2;
    }
  }
  wchar_t* text = Memory::AllocHeapString(static_cast<uint32_t>(n));
  wchar_t* o = text;
  while (*p != L'"') {
    if (*p != L'\\') {
      *o++ = *p++;
    } else if (p[1] == L'u') {
      int v = 0;
      for (int i = 2; i < 6; ++i) v = v << 4 | HexDigit(p[i]);
      *o++ = static_cast<wchar_t>(v);
      p += 6;
    } else {
      *o++ = static_cast<wchar_t>(UnescapeOf(p[1]));
      p += 2;
    }
  }
  ++p;
  return text;
}

// A quoted string token of a stream; 327 without its quotes.
static wchar_t* ReadQuoted(const IDomainDefinition* d, RStreamCursor* in) {
  int c = ReadSignificant(*in);
  if (c < 0) Raise(319);
  if (c != L'"') ExpectedSymbol(d, L'"', c);
  return ReadStringBody(*in, d->QualifiedName());
}

// --- Scalars ------------------------------------------------------------------------

// A scalar kind: the value cell is the term's whole memory.
template <class Base>
class TScalarOf : public Base {
 public:
  uint32_t SizeOfTermAt(term) const override { return this->ValueSize(); }
  bool Validate(term t) const override { return Readable(t, this->ValueSize()); }
  term CopyTerm(uint8_t* target, term t, bool, uint32_t* used) const override {
    memcpy(target, t, this->ValueSize());
    *used = Align8(this->ValueSize());
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t)) return t;
    auto* h = static_cast<uint8_t*>(Memory::AllocAtomicHeap(Align8(this->ValueSize())));
    memcpy(h, t, this->ValueSize());
    return h;
  }
};
using TScalar = TScalarOf<TDomainDefinition>;

class TCharDomain : public TScalar {
 public:
  uint32_t ValueSize() const override { return 2; }
  uint32_t ArgumentSize() const override { return 8; }
  int CompareTerms(term a, term b) const override {
    uint16_t x, y;
    memcpy(&x, a, 2);
    memcpy(&y, b, 2);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  bool IsChar() const override { return true; }
  bool IsTermBoxedForAnonymousTypePosition() const override { return true; }
  static wchar_t C(term t) {
    wchar_t c;
    memcpy(&c, t, 2);
    return c;
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    wchar_t c = C(t);
    out->Write(L'\'');
    if (c == 0) {  // read back as NUL by both parsers
      out->Write(L'\\');
      out->Write(L'0');
    } else if (int e = EscapeOf(c)) {
      out->Write(L'\\');
      out->Write(static_cast<wchar_t>(e));
    } else {
      out->Write(c);
    }
    out->Write(L'\'');
  }
  void WriteToStream(RStreamCursor* out, term t) const override { out->Write(C(t)); }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (*p != L'\'') Expected(this, L'\'', p);
    const wchar_t* start = p++;
    wchar_t c = *p;
    if (!c) Expected(this, L'\'', start);
    ++p;
    if (c == L'\\') {
      wchar_t e = *p;
      if (!e) Expected(this, L'\'', start);
      ++p;
      c = CharEscape(e, [&] { return static_cast<int>(*p++); });
    }
    if (*p != L'\'') Expected(this, L'\'', start);
    *cursor = p + 1;
    return NewValueTerm(&c);
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int q = ReadSignificant(*in);
    if (q != L'\'') ExpectedSymbol(this, L'\'', q);
    wchar_t c = ReadCharBody(*in);
    q = in->Read();
    if (q != L'\'') ExpectedSymbol(this, L'\'', q);
    return NewValueTerm(&c);
  }
};

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
  term Finish(const wchar_t* text, const wchar_t** end, bool stream) const {
    errno = 0;
    wchar_t* stop;
    double v = wcstod(text, &stop);
    if (stop == text) {
      if (stream) Raise(322, QualifiedName(), text);
      Invalid(this, text);
    }
    if (errno == ERANGE && std::isinf(v)) Raise(316);
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

// --- Strings, symbols, string8 ------------------------------------------------------------

static int CompareUnits(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    auto x = static_cast<uint16_t>(*a), y = static_cast<uint16_t>(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

template <EDomainKind K>
class TText : public TDomainDefinition {
 public:
  static const wchar_t* S(term t) { return reinterpret_cast<const wchar_t*>(t); }
  uint32_t ValueSize() const override { return 0; }
  uint32_t SizeOfTermAt(term t) const override {
    return static_cast<uint32_t>(2 * wcslen(S(t)) + 2);
  }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return K == kString; }
  bool Validate(term t) const override {
    return t && !OSInterface::OSIsBadStringPtr(S(t), 1000);
  }
  term CopyTerm(uint8_t* target, term t, bool, uint32_t* used) const override {
    if (K == kSymbol) {  // symbols are shared, never copied
      *used = 0;
      return t;
    }
    uint32_t n = SizeOfTermAt(t);
    memcpy(target, t, n);
    *used = Align8(n);
    return target;
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    return K == kSymbol ? 0 : Align8(SizeOfTermAt(t));
  }
  term CopyTermFromGStack(term t) const override {
    if (K == kSymbol || !InGStack(t)) return t;
    uint32_t n = SizeOfTermAt(t);
    auto* h = static_cast<uint8_t*>(Memory::AllocAtomicHeap(n));
    memcpy(h, t, n);
    return h;
  }
  int CompareTerms(term a, term b) const override {
    if (a == b) return 0;
    return CompareUnits(S(a), S(b));
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override { WriteQuoted(*out, S(t)); }
  void WriteToStream(RStreamCursor* out, term t) const override { out->Write(S(t)); }
  term Finish(wchar_t* text) const {
    if (K == kSymbol) return reinterpret_cast<term>(InternSymbol(text, false));
    return reinterpret_cast<term>(text);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return Finish(ParseQuoted(this, *cursor));
  }
  term ReadFromStream(RStreamCursor* in) const override { return Finish(ReadQuoted(this, in)); }
};

class TString8 : public TDomainDefinition {
 public:
  static const char* S(term t) { return reinterpret_cast<const char*>(t); }
  uint32_t SizeOfTermAt(term t) const override { return static_cast<uint32_t>(strlen(S(t)) + 1); }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  bool Validate(term t) const override {
    return t && !OSInterface::OSIsBadStringAPtr(S(t), 1000);
  }
  term CopyTerm(uint8_t* target, term t, bool, uint32_t* used) const override {
    uint32_t n = SizeOfTermAt(t);
    memcpy(target, t, n);
    *used = Align8(n);
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t)) return t;
    uint32_t n = SizeOfTermAt(t);
    auto* h = static_cast<uint8_t*>(Memory::AllocAtomicHeap(n));
    memcpy(h, t, n);
    return h;
  }
  int CompareTerms(term a, term b) const override {
    int r = OSInterface::OSCompareStringsA(S(a), S(b));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    WriteQuoted(*out, AnsiToWide(S(t)));
  }
  void WriteToStream(RStreamCursor* out, term t) const override { out->Write(AnsiToWide(S(t))); }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return reinterpret_cast<term>(WideToAnsi(ParseQuoted(this, *cursor)));
  }
  term ReadFromStream(RStreamCursor* in) const override {
    return reinterpret_cast<term>(WideToAnsi(ReadQuoted(this, in)));
  }
};

// --- Binary (kind 8) -----------------------------------------------------------------------

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

using namespace Terms;

class TBinaryDomain : public TDomainDefinition {
 public:
  static uint32_t SizeWord(term t) {
    uint32_t n;
    memcpy(&n, t - 4, 4);
    return n;
  }
  uint32_t SizeOfTermAt(term t) const override { return SizeWord(t); }
  uint32_t BlockHeaderSize() const override { return 4; }
  uint32_t BinaryHeaderSize() const override { return 4; }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  bool Validate(term t) const override {
    if (!t || !Readable(t - 4, 4)) return false;
    uint32_t n = SizeWord(t);
    return n >= 4 && (n == 4 || Readable(t, n - 4));
  }
  uint8_t* AllocateTerm(uint32_t bytes) const override { return NewHeapBinary(bytes); }
  term CopyTerm(uint8_t* target, term t, bool, uint32_t* used) const override {
    uint32_t n = SizeWord(t);
    memcpy(target, t - 4, n);
    *used = Align8(n);
    return target + 4;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t - 4)) return t;
    uint32_t n = SizeWord(t);
    auto* h = static_cast<uint8_t*>(Memory::AllocAtomicHeap(n));
    memcpy(h, t - 4, n);
    return h + 4;
  }
  int CompareTerms(term a, term b) const override {
    uint32_t x = SizeWord(a), y = SizeWord(b);
    if (x != y) return x < y ? -1 : 1;
    int r = memcmp(a, b, x - 4);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    uint32_t n = SizeWord(t) - 4;
    out->Write(L'$');
    out->Write(L'[');
    for (uint32_t i = 0; i < n; ++i) {
      if (i) out->Write(L',');
      out->Write(kHex[t[i] >> 4]);
      out->Write(kHex[t[i] & 15]);
    }
    out->Write(L']');
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (*p != L'$') Expected(this, L'$', p);
    if (*++p != L'[') Expected(this, L'[', p);
    ++p;
    SkipWhite(p);
    uint32_t n = 0;
    if (*p != L']') {
      const wchar_t* q = p;
      while (*q && *q != L']') n += *q++ == L',';
      if (!*q) Expected(this, L']', p);
      ++n;
    }
    uint8_t* data = AllocateTerm(n);
    for (uint32_t i = 0; i < n; ++i) {
      int hi = HexDigit(p[0]), lo = hi < 0 ? -1 : HexDigit(p[1]);
      if (hi < 0 || lo < 0) IntegerExpected(hi < 0 ? p[0] : p[1]);
      data[i] = static_cast<uint8_t>(hi << 4 | lo);
      p += 2;
      SkipWhite(p);
      if (*p == L',' && i + 1 < n) {
        ++p;
        SkipWhite(p);
      } else if (*p != L']' || i + 1 < n) {
        Expected(this, L']', p);
      }
    }
    if (*p != L']') Expected(this, L']', p);
    *cursor = p + 1;
    return data;
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int c = ReadSignificant(*in);
    if (c != L'$') ExpectedSymbol(this, L'$', c);
    c = in->Read();
    if (c != L'[') ExpectedSymbol(this, L'[', c);
    return ReadBinaryBody(*in);
  }
};

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime::Terms {

// --- Compounds (9, 11, 15, 12, 13) and lists (10) ------------------------------------------

static bool IsBound(const RRefCell* c) { return (c->tag & 0xFF) == 1; }

// Calls fn(domain, position) for each argument of a functor.
template <class F>
static void ForEachArg(const RFunctor& f, F&& fn) {
  uint32_t pos = 0;
  for (uint32_t i = 0; i < f.argCount; ++i) {
    pos += f.args[i].offset;
    fn(Dom(f.args[i].domain), pos);
  }
}

// Word: a functor word in front; Single: one functor, no word; List: the
// functor in the word's low byte; Facts: a functor word, and the functor
// table is a table of fact descriptors.
enum class Layout { Word, Single, List, Facts };

template <Layout L>
class TCompound : public TDomainDefinition {
 public:
  const RCompoundDomain& C() const { return *reinterpret_cast<const RCompoundDomain*>(this); }
  uint32_t Number(term t) const {
    if (L == Layout::Single) return 1;
    uint64_t w;
    memcpy(&w, t, 8);
    return L == Layout::List ? static_cast<uint32_t>(w & 0xFF) : static_cast<uint32_t>(w);
  }
  const RFunctor& F(term t) const { return *TCompound::FunctorEntry(Number(t)); }
  // Functor n (from 1) of the table; fact descriptors are longer entries.
  const RFunctor& Entry(uint32_t n) const {
    constexpr size_t stride = L == Layout::Facts ? sizeof(DBInternal::RFactDescriptor) : sizeof(RFunctor);
    return *reinterpret_cast<const RFunctor*>(reinterpret_cast<const uint8_t*>(C().functors) +
                                              stride * (n - 1));
  }

  uint32_t SizeOfTerm(term t) const override { return F(t).blockSize; }
  uint32_t SizeOfTermAt(term t) const override {
    const RFunctor& f = F(t);
    uint32_t n = f.blockSize;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (!d->IsScalar()) n += d->SizeOfTermAt(ArgTerm(d, t, pos));
    });
    return n;
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    const RFunctor& f = F(t);
    uint32_t n = Align8(f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (!d->IsScalar()) n += d->AlignedSizeOfTerm(ArgTerm(d, t, pos));
    });
    return n;
  }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  uint32_t CompoundWord() const override { return C().four; }
  uint32_t FunctorCount() const override { return C().functorCount; }
  uint32_t FunctorOfTerm(term t) const override { return Number(t); }
  bool HasFunctorWord() const override { return L != Layout::Single; }
  bool IsList() const override { return L == Layout::List; }
  // 58: the functor table; 59: functor n (from 1), a fact's descriptor.
  virtual const void* FunctorTable() const { return C().functors; }
  virtual const RFunctor* FunctorEntry(uint32_t n) const {
    if (n < 1 || n > C().functorCount)
      Errors::InternalError(L"Functor %u out of range in the domain '%s'", n, QualifiedName());
    return &Entry(n);
  }

  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    const RFunctor& f = F(t);
    memcpy(target, t, f.blockSize);
    uint32_t at = Align8(f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (d->IsScalar()) return;
      uint32_t n;
      term copy = d->CopyTerm(target + at, ArgTerm(d, t, pos), boundRequired, &n);
      memcpy(target + pos, &copy, 8);
      at += n;
    });
    *used = at;
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t)) return t;
    const RFunctor& f = F(t);
    auto* h = static_cast<uint8_t*>(Memory::AllocHeap(Align8(f.blockSize)));
    memcpy(h, t, f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (d->IsScalar()) return;
      term copy = d->CopyTermFromGStack(ArgTerm(d, t, pos));
      memcpy(h + pos, &copy, 8);
    });
    return h;
  }
  int CompareTerms(term a, term b) const override {
    uint32_t x = Number(a), y = Number(b);
    if (x != y) return x < y ? -1 : 1;
    int r = 0;
    const RFunctor& f = F(a);
    uint32_t pos = 0;
    for (uint32_t i = 0; i < f.argCount && r == 0; ++i) {
      pos += f.args[i].offset;
      const IDomainDefinition* d = Dom(f.args[i].domain);
      r = d->CompareTerms(ArgTerm(d, a, pos), ArgTerm(d, b, pos));
    }
    return r;
  }
  bool Validate(term t) const override {
    if (!Readable(t, L == Layout::Single ? 1 : 8)) return false;
    uint32_t n = Number(t);
    if (n < 1 || n > C().functorCount) return false;
    const RFunctor& f = Entry(n);
    if (!Readable(t, f.blockSize)) return false;
    bool ok = true;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (ok) ok = d->Validate(ArgTerm(d, t, pos));
    });
    return ok;
  }
  bool IsGround(term t) const override {
    if (!R().reference) return true;
    bool ground = true;
    ForEachArg(F(t), [&](const IDomainDefinition* d, uint32_t pos) {
      if (ground && !d->IsScalar()) ground = d->IsGround(ArgTerm(d, t, pos));
    });
    return ground;
  }

  // --- Text forms ---
  void WriteTerm(RStreamCursor* out, term t, bool quoted) const {
    const RFunctor& f = F(t);
    out->Write(f.name);
    out->Write(L'(');
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (i++) out->Write(L',');
      if (quoted) d->WriteForConsultToStream(out, ArgTerm(d, t, pos));
      else d->WriteToStream(out, ArgTerm(d, t, pos));
    });
    out->Write(L')');
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override { WriteTerm(out, t, true); }
  void WriteToStream(RStreamCursor* out, term t) const override { WriteTerm(out, t, false); }

  // A new block of functor n (1-based), or the shared zero-arity value.
  uint8_t* NewBlock(uint32_t n) const {
    const RFunctor& f = Entry(n);
    if (f.argCount == 0 && L != Layout::Single)
      return const_cast<uint8_t*>(static_cast<const uint8_t*>(Memory::MEM_alloc_nullfunctor(4 * n)));
    uint8_t* block = AllocateTerm(Align8(f.blockSize));
    memset(block, 0, f.blockSize);
    if (L != Layout::Single) {
      uint64_t w = n;
      memcpy(block, &w, 8);
    }
    return block;
  }
  static void Store(uint8_t* block, uint32_t pos, const IDomainDefinition* d, term value) {
    if (d->IsScalar()) memcpy(block + pos, value, d->ValueSize());
    else memcpy(block + pos, &value, 8);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (BelowReaderStackFloor()) Invalid(this, p);  // nested too deep
    if (!*p || !OSInterface::IsValid1stFunctorName(*p)) Raise(310, QualifiedName(), p);
    uint32_t n = 0;
    for (uint32_t i = 0; i < C().functorCount && !n; ++i) {
      const wchar_t* name = Entry(i + 1).name;
      size_t k = wcslen(name);
      if (wcsncmp(p, name, k) == 0 && p[k] != L'_' && !(p[k] && OSInterface::IsCharAlphaNumerical(p[k])))
        n = i + 1;
    }
    if (!n) {
      const wchar_t* e = p;
      while (*e && (*e == L'_' || OSInterface::IsCharAlphaNumerical(*e))) ++e;
      wchar_t* name = Memory::AllocHeapString(CheckedSize(static_cast<uint64_t>(e - p)));
      memcpy(name, p, static_cast<size_t>(e - p) * 2);
      Raise(309, name, QualifiedName());
    }
    const RFunctor& f = Entry(n);
    p += wcslen(f.name);
    SkipWhite(p);
    uint8_t* block = NewBlock(n);
    if (f.argCount == 0) {
      if (*p == L'(') {
        ++p;
        SkipWhite(p);
        if (*p != L')') Expected(this, L')', p);
        ++p;
      }
      *cursor = p;
      return block;
    }
    if (*p != L'(') Expected(this, L'(', p);
    ++p;
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      Store(block, pos, d, d->LowLevelFromString(&p));
      SkipWhite(p);
      wchar_t want = ++i < f.argCount ? L',' : L')';
      if (*p != want) Expected(this, want, p);
      ++p;
    });
    *cursor = p;
    return block;
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int c = ReadSignificant(*in);
    if (c < 0) Raise(319);
    wchar_t name[256];
    ReadFunctorName(*in, c, this, name);
    if (BelowReaderStackFloor()) Raise(322, QualifiedName(), name);  // nested too deep
    uint32_t n = 0;
    for (uint32_t i = 0; i < C().functorCount && !n; ++i)
      if (SameNameIgnoringCase(Entry(i + 1).name, name)) n = i + 1;
    if (!n) Raise(309, Memory::CopyStringToHeap(name), QualifiedName());
    const RFunctor& f = Entry(n);
    uint8_t* block = NewBlock(n);
    if (f.argCount == 0) {
      SkipEmptyArguments(*in, this);
      return block;
    }
    c = in->ReadNonWhite();
    if (c != L'(') ExpectedSymbol(this, L'(', c);
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      Store(block, pos, d, d->ReadFromStream(in));
      wchar_t want = ++i < f.argCount ? L',' : L')';
      int got = ReadSignificant(*in);
      if (got != want) ExpectedSymbol(this, want, got);
    });
    return block;
  }
};

// Lists walk their spine in a loop, so long lists need no deep recursion.
class TList : public TCompound<Layout::List> {
 public:
  // The cons cell's head and tail: their domains and positions.
  struct Cons {
    const IDomainDefinition* head;
    uint32_t headPos;
    uint32_t tailPos;
    bool plainTail;  // the tail is this list domain itself (not a reference)
    uint32_t consSize, nilSize;
  };
  Cons Shape() const {
    const RFunctor& cons = C().functors[0];
    // A reference list's tails are cells of the reference list domain.
    bool plain = cons.args[1].domain == &R() && R().kind == BuildDomainClassTable()[kList];
    Cons s{Dom(cons.args[0].domain), cons.args[0].offset,
           cons.args[0].offset + cons.args[1].offset, plain, cons.blockSize,
           C().functorCount > 1 ? C().functors[1].blockSize : 8};
    return s;
  }
  static term Tail(term t, uint32_t pos) {
    term p;
    memcpy(&p, t + pos, 8);
    return p;
  }
  const IDomainDefinition* TailDomain() const { return Dom(C().functors[0].args[1].domain); }

  uint32_t SizeOfTermAt(term t) const override {
    Cons s = Shape();
    uint64_t n = 0;
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return static_cast<uint32_t>(n + s.nilSize);
      n += s.consSize;
      if (!s.head->IsScalar()) n += s.head->SizeOfTermAt(ArgTerm(s.head, t, s.headPos));
      if (!s.plainTail) return static_cast<uint32_t>(n + TailDomain()->SizeOfTermAt(Tail(t, s.tailPos)));
    }
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    Cons s = Shape();
    uint64_t n = 0;
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return static_cast<uint32_t>(n + Align8(s.nilSize));
      n += Align8(s.consSize);
      if (!s.head->IsScalar()) n += s.head->AlignedSizeOfTerm(ArgTerm(s.head, t, s.headPos));
      if (!s.plainTail)
        return static_cast<uint32_t>(n + TailDomain()->AlignedSizeOfTerm(Tail(t, s.tailPos)));
    }
  }
  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    Cons s = Shape();
    uint32_t at = 0;
    uint8_t* tailSlot = nullptr;
    for (;; t = Tail(t, s.tailPos)) {
      uint8_t* block = target + at;
      if (tailSlot) memcpy(tailSlot, &block, 8);
      if (Number(t) != 1) {
        memcpy(block, t, s.nilSize);
        at += Align8(s.nilSize);
        break;
      }
      memcpy(block, t, s.consSize);
      at += Align8(s.consSize);
      if (!s.head->IsScalar()) {
        uint32_t n;
        term copy = s.head->CopyTerm(target + at, ArgTerm(s.head, t, s.headPos), boundRequired, &n);
        memcpy(block + s.headPos, &copy, 8);
        at += n;
      }
      tailSlot = block + s.tailPos;
      if (!s.plainTail) {
        uint32_t n;
        term copy = TailDomain()->CopyTerm(target + at, Tail(t, s.tailPos), boundRequired, &n);
        memcpy(tailSlot, &copy, 8);
        at += n;
        break;
      }
    }
    *used = at;
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    Cons s = Shape();
    term first = nullptr;
    uint8_t* tailSlot = nullptr;
    for (;; t = Tail(t, s.tailPos)) {
      term copy = t;
      bool more = false;
      if (InGStack(t)) {
        bool cons = Number(t) == 1;
        uint32_t size = cons ? s.consSize : s.nilSize;
        auto* h = static_cast<uint8_t*>(Memory::AllocHeap(Align8(size)));
        memcpy(h, t, size);
        if (cons && !s.head->IsScalar()) {
          term head = s.head->CopyTermFromGStack(ArgTerm(s.head, t, s.headPos));
          memcpy(h + s.headPos, &head, 8);
        }
        copy = h;
        more = cons;
      }
      if (tailSlot) memcpy(tailSlot, &copy, 8); else first = copy;
      if (!more) break;
      tailSlot = const_cast<uint8_t*>(copy) + s.tailPos;
      if (!s.plainTail) {
        term rest = TailDomain()->CopyTermFromGStack(Tail(t, s.tailPos));
        memcpy(tailSlot, &rest, 8);
        break;
      }
    }
    return first;
  }
  int CompareTerms(term a, term b) const override {
    Cons s = Shape();
    for (;; a = Tail(a, s.tailPos), b = Tail(b, s.tailPos)) {
      uint32_t x = Number(a), y = Number(b);
      if (x != y) return x < y ? -1 : 1;
      if (x != 1) return 0;
      int r = s.head->CompareTerms(ArgTerm(s.head, a, s.headPos), ArgTerm(s.head, b, s.headPos));
      if (r) return r;
      if (!s.plainTail) return TailDomain()->CompareTerms(Tail(a, s.tailPos), Tail(b, s.tailPos));
    }
  }
  bool Validate(term t) const override {
    Cons s = Shape();
    for (;; t = Tail(t, s.tailPos)) {
      if (!Readable(t, 8)) return false;
      uint32_t n = Number(t);
      if (n < 1 || n > C().functorCount) return false;
      if (n != 1) return true;
      if (!Readable(t, s.consSize) || !s.head->Validate(ArgTerm(s.head, t, s.headPos)))
        return false;
      if (!s.plainTail) return TailDomain()->Validate(Tail(t, s.tailPos));
    }
  }
  bool IsGround(term t) const override {
    if (!R().reference) return true;
    Cons s = Shape();
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return true;
      if (!s.head->IsScalar() && !s.head->IsGround(ArgTerm(s.head, t, s.headPos))) return false;
      if (!s.plainTail) return TailDomain()->IsGround(Tail(t, s.tailPos));
    }
  }

  // --- Text forms ---
  // The next cons or [] of a tail; null for an unbound reference tail.
  term NextOf(term t, const Cons& s) const {
    term next = Tail(t, s.tailPos);
    if (s.plainTail) return next;
    const RRefCell* c = Deref(next);
    return IsBound(c) ? reinterpret_cast<term>(c->value) : nullptr;
  }
  void WriteList(RStreamCursor* out, term t, bool quoted) const {
    Cons s = Shape();
    out->Write(L'[');
    for (bool first = true; t && Number(t) == 1; t = NextOf(t, s), first = false) {
      if (!first) out->Write(L',');
      term head = ArgTerm(s.head, t, s.headPos);
      if (quoted) s.head->WriteForConsultToStream(out, head);
      else s.head->WriteToStream(out, head);
    }
    if (!t) {
      out->Write(L'|');
      out->Write(L'_');
    }
    out->Write(L']');
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override { WriteList(out, t, true); }
  void WriteToStream(RStreamCursor* out, term t) const override { WriteList(out, t, false); }

  // Builds the list from elements read by next(); a reference list's tails
  // are bound cells.
  template <class Next>
  term Build(Next&& next) const {
    Cons s = Shape();
    term first = nullptr;
    uint8_t* tailSlot = nullptr;
    auto link = [&](term block) {
      term value = s.plainTail || !tailSlot ? block : TailDomain()->Term_2_RefTerm(block);
      if (tailSlot) memcpy(tailSlot, &value, 8);
      else first = block;
    };
    while (term head = next()) {
      uint8_t* cons = AllocateTerm(Align8(s.consSize));
      memset(cons, 0, s.consSize);
      uint64_t one = 1;
      memcpy(cons, &one, 8);
      Store(cons, s.headPos, s.head, head);
      link(cons);
      tailSlot = cons + s.tailPos;
    }
    link(static_cast<term>(Memory::MEM_alloc_nullfunctor(8)));
    return first;
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (BelowReaderStackFloor()) Invalid(this, p);  // nested too deep
    if (*p != L'[') Expected(this, L'[', p);
    ++p;
    SkipWhite(p);
    if (!*p) Expected(this, L']', p);
    bool done = *p == L']';
    if (done) ++p;
    const IDomainDefinition* element = Shape().head;
    term list = Build([&]() -> term {
      if (done) return nullptr;
      term head = element->LowLevelFromString(&p);
      SkipWhite(p);
      if (*p == L',') ++p;
      else if (*p == L']') ++p, done = true;
      else Expected(this, L']', p);
      return head;
    });
    *cursor = p;
    return list;
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int c = ReadSignificant(*in);
    if (c != L'[') ExpectedSymbol(this, L'[', c);
    if (BelowReaderStackFloor()) Raise(322, QualifiedName(), L"[");  // nested too deep
    c = ReadSignificant(*in);
    if (c < 0) Raise(319);
    bool done = c == L']';
    if (!done) in->Unget();
    const IDomainDefinition* element = Shape().head;
    return Build([&]() -> term {
      if (done) return nullptr;
      term head = element->ReadFromStream(in);
      int sep = ReadSignificant(*in);
      if (sep == L']') done = true;
      else if (sep != L',') ExpectedSymbol(this, L']', sep);
      return head;
    });
  }
};

// Predicate values: a code pointer and the data object it runs with.
class TPredicateValue : public TCompound<Layout::Single> {
 public:
  uint32_t ValueSize() const override { return 16; }
  bool Validate(term t) const override {
    if (!Readable(t, 16)) return false;
    const void* code;
    const uint8_t* data;
    memcpy(&code, t, 8);
    memcpy(&data, t + 8, 8);
    if (OSInterface::OSIsBadCodePtr(code)) return false;
    if (!data) return true;
    const RFunctor& f = C().functors[0];
    if (f.argCount < 2) return Readable(data, 8);
    const IDomainDefinition* d = Dom(f.args[1].domain);
    return d->Validate(ArgTerm(d, t, f.args[0].offset + f.args[1].offset));
  }
};

// Fact databases (12: class facts, 1 in DatabaseKind; 13: object facts, 2).
// Their terms are fact terms: the functor word is the fact number.
template <uint32_t DbKind>
class TFacts : public TCompound<Layout::Facts> {
 public:
  using TDB = DBInternal::TDB;
  const DBInternal::RFactDatabase& FD() const {
    return *reinterpret_cast<const DBInternal::RFactDatabase*>(this);
  }
  uintptr_t ObjectFactsOffset() const override { return DbKind == 2 ? FD().heads : 0; }
  void* ClassFactsHeads() const override {
    return DbKind == 1 ? reinterpret_cast<void*>(FD().heads) : nullptr;
  }
  uint32_t DatabaseKind() const override { return DbKind; }
  // A class database's heads are set up when its class is linked.
  void PostInitialize() const override {
    if (DbKind != 1) return;
    if (!FD().heads && FD().factCount)
      Errors::InternalError(L"The database '%s' has no chain heads", QualifiedName());
    DBInternal::InitializeClassFacts(this);
  }
  void EnumerateFacts(void* object, DBInternal::RFactVisitor* visitor) const override {
    if (!visitor) return;
    DBInternal::RFactHead* heads = DbKind == 1 || object ? DBInternal::Heads(this, object) : nullptr;
    const wchar_t* database = QualifiedName();
    for (uint32_t i = 0; i < FD().factCount; ++i) {
      const DBInternal::RFactDescriptor* f = FD().facts + i;
      if (DbKind == 1) visitor->ClassFact(f, f->name, heads, database);
      else visitor->ObjectFact(f, f->name, heads, database);
    }
  }
  // 60-67 have no operation in a fact database.
  virtual void Slot60() const { Unused(60); }
  virtual void Slot61() const { Unused(61); }
  virtual void Slot62() const { Unused(62); }
  virtual void Slot63() const { Unused(63); }
  virtual void Slot64() const { Unused(64); }
  virtual void Slot65() const { Unused(65); }
  virtual void Slot66() const { Unused(66); }
  virtual void Slot67() const { Unused(67); }
  // 68, 69: a fact at the front / end of its chain (object: null for class facts).
  virtual void AssertA(void* object, term t) const {
    if (DbKind == 1) DBInternal::TDBClassInternalDomainDefinition::AssertAClass(this, t);
    else DBInternal::TDBObjectInternalDomainDefinition::AssertAObject(this, Holder(object), t);
  }
  virtual void AssertZ(void* object, term t) const {
    if (DbKind == 1) DBInternal::TDBClassInternalDomainDefinition::AssertZClass(this, t);
    else DBInternal::TDBObjectInternalDomainDefinition::AssertZObject(this, Holder(object), t);
  }

 private:
  [[noreturn]] void Unused(uint32_t slot) const {
    Errors::InternalError(L"Slot %u of the database '%s'", slot, QualifiedName());
  }
  void* Holder(void* object) const {
    if (!object) Errors::InternalError(L"No object for the database '%s'", QualifiedName());
    return object;
  }
};

// --- Reference variants (20-29, 31, 32) -----------------------------------------------------


template <class Base, bool ScalarBase>
class TRef : public Base {
 public:
  using Base::R;
  // The base kind's term inside a bound cell.
  static term Value(const RRefCell* c) {
    return ScalarBase ? reinterpret_cast<term>(&c->value) : reinterpret_cast<term>(c->value);
  }
  static const RRefCell* BoundCell(term t) {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) Raise(328);
    return c;
  }
  uint32_t SizeOfTerm(term t) const override { return SizeOfTermAt(t); }
  uint32_t SizeOfTermAt(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c) || ScalarBase) return 16;
    return 16 + Base::SizeOfTermAt(Value(c));
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c) || ScalarBase) return 16;
    return 16 + Base::AlignedSizeOfTerm(Value(c));
  }
  uint32_t ArgumentSize() const override { return 8; }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  bool IsChar() const override { return false; }
  bool IsTermBoxedForAnonymousTypePosition() const override { return false; }
  bool Validate(term t) const override { return Readable(t, 16); }
  bool IsGround(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return false;
    return ScalarBase || Base::IsGround(Value(c));
  }
  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    const RRefCell* c = Deref(t);
    auto* cell = reinterpret_cast<RRefCell*>(target);
    *used = 16;
    if (!IsBound(c)) {
      if (boundRequired) Raise(328);
      cell->tag = cell->value = 0;
      return target;
    }
    *cell = *c;
    if (!ScalarBase) {
      uint32_t n;
      term copy = Base::CopyTerm(target + 16, Value(c), boundRequired, &n);
      cell->value = reinterpret_cast<uint64_t>(copy);
      *used += n;
    }
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    const RRefCell* c = BoundCell(t);
    if (!InGStack(c)) return reinterpret_cast<term>(c);
    auto* h = static_cast<RRefCell*>(Memory::AllocHeap(16));
    *h = *c;
    if (!ScalarBase) h->value = reinterpret_cast<uint64_t>(Base::CopyTermFromGStack(Value(c)));
    return reinterpret_cast<term>(h);
  }
  int CompareTerms(term a, term b) const override {
    return Base::CompareTerms(Value(BoundCell(a)), Value(BoundCell(b)));
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return out->Write(L'_');
    Base::WriteForConsultToStream(out, Value(c));
  }
  void WriteToStream(RStreamCursor* out, term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return out->Write(L'_');
    Base::WriteToStream(out, Value(c));
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return Term_2_RefTerm(Base::LowLevelFromString(cursor));
  }
  term ReadFromStream(RStreamCursor* in) const override {
    return Term_2_RefTerm(Base::ReadFromStream(in));
  }
  term Term_2_RefTerm(term t) const override {
    auto* cell = static_cast<RRefCell*>(Memory::AllocHeap(16));
    cell->tag = 1;
    cell->value = 0;
    if (ScalarBase) {
      if constexpr (std::is_base_of_v<TIntegralDomainDefinition, Base>) {
        uint32_t bits = this->I().storageBits;
        if (bits != 8 && bits != 16 && bits != 32) Raise(318);
      }
      memcpy(&cell->value, t, Base::ValueSize());
    } else {
      cell->value = reinterpret_cast<uint64_t>(t);
    }
    return reinterpret_cast<term>(cell);
  }
};

// --- The class table --------------------------------------------------------------------------

// The placeholders: every term operation is an internal error.
class TAny : public TDomainDefinition {
 public:
  void BinarySize(term, RHtoBinary*) const override { Internal(L"TDomainDefinition::BinarySize"); }
  void BinaryEmit(term, RHtoBinary*) const override {}
  void BinaryPrepareRead(const uint8_t*, RBinaryReader*) const override {}
  term BinaryRead(const uint8_t*, RBinaryReader*) const override {
    Internal(L"TDomainDefinition::BinaryRead");
  }
  term BinaryReadCodePage(RBinaryReader*) const override {
    Internal(L"TDomainDefinition::BinaryReadCodePage");
  }
};

template <class C>
static uintptr_t TableOf() {
  static C instance;
  return *reinterpret_cast<const uintptr_t*>(&instance);
}

static uintptr_t g_classTable[kDomainKinds];

static void FillClassTable(uintptr_t* t) {
  t[kChar] = TableOf<TCharDomain>();
  t[kInteger] = TableOf<TIntegral<true>>();
  t[kUnsigned] = TableOf<TIntegral<false>>();
  t[kInteger64] = TableOf<TIntegral64<true>>();
  t[kUnsigned64] = TableOf<TIntegral64<false>>();
  t[kReal] = TableOf<TReal>();
  t[kString] = TableOf<TText<kString>>();
  t[kBinary] = TableOf<TBinaryDomain>();
  t[kCompound] = TableOf<TCompound<Layout::Word>>();
  t[kList] = TableOf<TList>();
  t[kSingleCompound] = TableOf<TCompound<Layout::Single>>();
  t[kClassFacts] = TableOf<TFacts<1>>();
  t[kObjectFacts] = TableOf<TFacts<2>>();
  t[kPointer] = TableOf<TPointer<kPointer>>();
  t[kPredicateValue] = TableOf<TPredicateValue>();
  t[kSymbol] = TableOf<TText<kSymbol>>();
  t[kObject] = TableOf<TPointer<kObject>>();
  t[kAnyDomain] = t[kTermDomain] = TableOf<TAny>();
  t[kRefChar] = TableOf<TRef<TCharDomain, true>>();
  t[kRefInteger] = TableOf<TRef<TIntegral<true>, true>>();
  t[kRefUnsigned] = TableOf<TRef<TIntegral<false>, true>>();
  t[kRefReal] = TableOf<TRef<TReal, true>>();
  t[kRefString] = TableOf<TRef<TText<kString>, false>>();
  t[kRefBinary] = TableOf<TRef<TBinaryDomain, false>>();
  t[kRefCompound] = TableOf<TRef<TCompound<Layout::Word>, false>>();
  t[kRefList] = TableOf<TRef<TList, false>>();
  t[kRefPointer] = TableOf<TRef<TPointer<kPointer>, true>>();
  t[kRefSymbol] = TableOf<TRef<TText<kSymbol>, false>>();
  t[kString8] = TableOf<TString8>();
  t[kRefString8] = TableOf<TRef<TString8, false>>();
  t[kRefObject] = TableOf<TRef<TPointer<kObject>, true>>();
  t[kPointerLike] = TableOf<TPointer<kPointerLike>>();
}

const uintptr_t* BuildDomainClassTable() {
  // Built once by the first unit initialisation; later calls read it.
  static const bool built = (FillClassTable(g_classTable), true);
  (void)built;
  return g_classTable;
}

void ActivateDomain(RDomainRecord* record) {
  const uintptr_t* table = BuildDomainClassTable();
  uintptr_t kind = record->kind;
  if (kind >= 100) return;  // already active
  // A code without a class would leave a record that crashes its callers.
  if (kind == 0 || kind >= kDomainKinds)
    Errors::InternalError(L"Invalid kind %u of the domain '%s'", static_cast<unsigned>(kind),
                          record->name ? record->name : L"");
  uint32_t old = OSInterface::OSProtectWrite(&record->kind, 8);
  record->kind = table[kind];
  OSInterface::OSProtectRestore(&record->kind, 8, old);
}

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {
void EnsureDomainClassTable() { Terms::BuildDomainClassTable(); }
}  // namespace Qel::RunTime::detail
