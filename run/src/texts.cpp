// The text kinds: string (7), symbol (16) and string8 (30), with their
// reference variants.  A term points at its text; a symbol's text is the
// symbol table's instance.
#include "domains.h"
#include "refcells.h"

#include <cwchar>

namespace Qel::RunTime::Terms {

using namespace detail;

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
  wchar_t* text = Memory::AllocHeapString(CheckedSize(n));
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
    return CheckedSize(2 * wcslen(S(t)) + 2);
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
  uint32_t SizeOfTermAt(term t) const override { return CheckedSize(strlen(S(t)) + 1); }
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

void FillTextClasses(uintptr_t* t) {
  t[kString] = TableOf<TText<kString>>();
  t[kSymbol] = TableOf<TText<kSymbol>>();
  t[kRefString] = TableOf<TRef<TText<kString>, false>>();
  t[kRefSymbol] = TableOf<TRef<TText<kSymbol>, false>>();
  t[kString8] = TableOf<TString8>();
  t[kRefString8] = TableOf<TRef<TString8, false>>();
}

}  // namespace Qel::RunTime::Terms
