// The char (1) and binary (8) kinds, with their reference variants.  A char
// term points at its 16-bit cell; a binary term points past its u32 size
// word.
#include "domains.h"
#include "refcells.h"

#include <cwchar>

namespace Qel::RunTime::Terms {

using namespace detail;

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

void FillCharAndBinaryClasses(uintptr_t* t) {
  t[kChar] = TableOf<TCharDomain>();
  t[kBinary] = TableOf<TBinaryDomain>();
  t[kRefChar] = TableOf<TRef<TCharDomain, true>>();
  t[kRefBinary] = TableOf<TRef<TBinaryDomain, false>>();
}

}  // namespace Qel::RunTime::Terms
