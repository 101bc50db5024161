// The format-string interpreter and the writers of argument lists.
//
// Invariants:
//  - Everything is written straight into the sink's blocks: literal runs in
//    one piece, padding from a small fill buffer, numbers from fixed
//    buffers.  Only a text form that precision cuts, an 8-bit string's
//    conversion and a real wider than the fixed buffer are built on the
//    global stack first.
//  - An argument block is checked against its length word before any
//    argument is read; a directive with no argument left raises 314 before
//    anything is read for it.
//  - Nothing here owns a destructor: errors unwind through these frames.
#include "fmtinternal.h"

#include <cstdio>

#include "qel6run_db.h"

namespace Qel::RunTime::Terms::Format {

using namespace detail;

namespace {

// The base kind of a reference kind and whether its value lies in the cell.
bool RefBase(uint32_t kind, uint32_t* base, bool* inCell) {
  uint32_t b = BaseOf(kind);
  if (!b) return false;
  *base = b;
  *inCell = ValueInCell(b);
  return true;
}

// --- Directives ------------------------------------------------------------------------

// The value of a decimal digit: a character that the platform calls
// alphanumeric but not alphabetic, folded to its ASCII digit; -1 otherwise.
int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c < 0x80 || !IsCharAlphaNumericW(c) || IsCharAlphaW(c)) return -1;
  wchar_t folded[4];
  int n = FoldStringW(MAP_FOLDDIGITS, &c, 1, folded, 4);
  return n == 1 && folded[0] >= L'0' && folded[0] <= L'9' ? folded[0] - L'0' : -1;
}

}  // namespace

RFormatDirective ParseDirective(const wchar_t* p) {
  RFormatDirective r{};
  r.rightAlign = true;
  bool dot = false;
  for (uint32_t i = 0;; ++i) {
    wchar_t c = p[i];
    if (!c) break;
    if (c == L'-') {
      if (i != 0) break;
      r.rightAlign = false;
      r.consumed = 1;
      continue;
    }
    if (c == L'0' && i == 0) {
      r.zeroFill = true;
      r.consumed = 1;
      continue;
    }
    if (c == L'.') {
      if (dot || DigitValue(p[i + 1]) < 0) break;
      dot = true;
      r.precisionGiven = true;
      r.consumed = i + 1;
      continue;
    }
    if (int d = DigitValue(c); d >= 0) {
      int32_t& v = dot ? r.precision : r.width;
      if (v > (INT32_MAX - d) / 10) Raise(316);
      v = v * 10 + d;
      r.consumed = i + 1;
      continue;
    }
    if (wcschr(L"BDOPRUX", c)) r.upper = true;
    else if (!wcschr(L"cdefgosux", c)) {
      if (i == 0) r.letter = L' ';
      break;
    }
    r.letter = c;
    r.consumed = i + 1;
    break;
  }
  return r;
}

namespace {

// --- Output pieces ------------------------------------------------------------------------

// A run of text, or `count` copies of `fill` when text is null.
struct Piece {
  const wchar_t* text;
  uint64_t count;
  wchar_t fill;
};

void WriteFill(RStreamCursor& out, wchar_t c, uint64_t n) {
  wchar_t run[64];
  for (wchar_t& x : run) x = c;
  while (n) {
    uint64_t k = n < 64 ? n : 64;
    out.Write(run, k);
    n -= k;
  }
}

// The pieces padded to the directive's width, then cut to `limit` units.
void Emit(RStreamCursor& out, const RFormatDirective& dir, const Piece* pieces, int count,
          uint64_t limit = UINT64_MAX) {
  uint64_t body = 0;
  for (int i = 0; i < count; ++i) body += pieces[i].count;
  uint64_t width = static_cast<uint64_t>(dir.width);
  Piece pad{nullptr, width > body ? width - body : 0, dir.zeroFill ? L'0' : L' '};
  auto put = [&](const Piece& p) {
    uint64_t k = p.count < limit ? p.count : limit;
    if (!k) return;
    if (p.text) out.Write(p.text, k);
    else WriteFill(out, p.fill, k);
    limit -= k;
  };
  if (dir.rightAlign) put(pad);
  for (int i = 0; i < count; ++i) put(pieces[i]);
  if (!dir.rightAlign) put(pad);
}

// Digits of v in radix 8, 10 or 16 (upper case), no leading zeros.
int Digits(uint64_t v, unsigned radix, wchar_t* out) {
  wchar_t rev[24];
  int n = 0;
  do {
    rev[n++] = L"0123456789ABCDEF"[v % radix];
    v /= radix;
  } while (v);
  for (int i = 0; i < n; ++i) out[i] = rev[n - 1 - i];
  return n;
}

// A decimal number: optional minus, zeros up to `precision` digits, digits.
void EmitDecimal(RStreamCursor& out, const RFormatDirective& dir, bool negative,
                 uint64_t magnitude) {
  wchar_t digits[24];
  int n = Digits(magnitude, 10, digits);
  uint64_t zeros = dir.precision > n ? static_cast<uint64_t>(dir.precision - n) : 0;
  Piece p[3] = {{L"-", negative ? 1u : 0u, 0}, {nullptr, zeros, L'0'},
                {digits, static_cast<uint64_t>(n), 0}};
  Emit(out, dir, p, 3);
}

void EmitRadix(RStreamCursor& out, const RFormatDirective& dir, uint64_t v, unsigned radix) {
  wchar_t digits[24];
  Piece p{digits, static_cast<uint64_t>(Digits(v, radix, digits)), 0};
  Emit(out, dir, &p, 1);
}

// Strings: padded, then cut to a non-zero precision.
void EmitText(RStreamCursor& out, const RFormatDirective& dir, const wchar_t* s, uint64_t n) {
  Piece p{s, n, 0};
  Emit(out, dir, &p, 1, dir.precision ? static_cast<uint64_t>(dir.precision) : UINT64_MAX);
}

// A term's text form, padded and, when `cut`, cut to a non-zero precision.
void EmitTermText(RStreamCursor& out, const RFormatDirective& dir, const IDomainDefinition* d,
                  term t, bool cut) {
  bool cutting = cut && dir.precision;
  if (!dir.width && !cutting) return d->WriteForConsultToStream(&out, t);
  uint64_t n = d->TextLength(t);
  if (cutting) {
    if (n > 0x3FFFFFF0) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
    auto* text = reinterpret_cast<wchar_t*>(Memory::AllocGStack(static_cast<uint32_t>(n * 2 + 2)));
    wchar_t* end = d->LowLevelToString(t, text);
    return EmitText(out, dir, text, static_cast<uint64_t>(end - text));
  }
  uint64_t width = static_cast<uint64_t>(dir.width);
  uint64_t pad = width > n ? width - n : 0;
  wchar_t fill = dir.zeroFill ? L'0' : L' ';
  if (dir.rightAlign) WriteFill(out, fill, pad);
  d->WriteForConsultToStream(&out, t);
  if (!dir.rightAlign) WriteFill(out, fill, pad);
}

// Reals: the C conversion; without a precision the zeros that end the
// mantissa go, and with a width the text keeps its length, filled on the left.
void EmitReal(RStreamCursor& out, const RFormatDirective& dir, double v) {
  char spec[40];
  int k = 0;
  spec[k++] = '%';
  if (!dir.rightAlign) spec[k++] = '-';
  if (dir.zeroFill) spec[k++] = '0';
  if (dir.width) k += snprintf(spec + k, sizeof spec - k, "%d", dir.width);
  k += snprintf(spec + k, sizeof spec - k, ".%d", dir.precisionGiven ? dir.precision : 15);
  spec[k++] = dir.letter ? static_cast<char>(dir.letter) : 'f';
  spec[k] = 0;

  char local[128];
  char* text = local;
  int n = snprintf(local, sizeof local, spec, v);
  if (n < 0) Raise(316);
  if (n >= static_cast<int>(sizeof local)) {
    text = reinterpret_cast<char*>(Memory::AllocGStack(static_cast<uint32_t>(n) + 1));
    snprintf(text, static_cast<size_t>(n) + 1, spec, v);
  }
  if (!dir.precisionGiven) {
    int end = 0;  // the mantissa's end: an exponent letter, or the end
    while (end < n && text[end] != 'e' && text[end] != 'E') ++end;
    int point = end;
    for (int i = 0; i < end; ++i)
      if (text[i] == '.') point = i;
    int zeros = 0;
    if (point < end) {  // only a fraction loses zeros
      while (end - zeros - 1 > point && text[end - zeros - 1] == '0') ++zeros;
      if (zeros && end - zeros - 1 == point) --zeros;  // one zero stays after the point
    }
    if (zeros) {
      memmove(text + end - zeros, text + end, static_cast<size_t>(n - end) + 1);
      n -= zeros;
      if (dir.width) {
        memmove(text + zeros, text, static_cast<size_t>(n) + 1);
        memset(text, ' ', static_cast<size_t>(zeros));
        n += zeros;
      }
    }
  }
  out.WriteAscii(text);
}

[[noreturn]] void InvalidFormat(const IDomainDefinition* d, wchar_t letter) {
  Raise(312, static_cast<int>(letter), d->QualifiedName());
}

uint64_t Word(term t) {
  uint64_t v;
  memcpy(&v, t, 8);
  return v;
}

// The integral letters: d (signed kinds only), u, o, x and their capitals.
void EmitIntegral(RStreamCursor& out, const RFormatDirective& dir, const IDomainDefinition* d,
                  bool isSigned, int64_t sv, uint64_t pattern) {
  uint64_t magnitude = sv < 0 ? 0 - static_cast<uint64_t>(sv) : static_cast<uint64_t>(sv);
  switch (dir.letter) {
    case 0:
      if (!isSigned) return EmitDecimal(out, dir, false, pattern);
      return EmitDecimal(out, dir, sv < 0, magnitude);
    case L'd':
    case L'D':
      if (!isSigned) InvalidFormat(d, dir.letter);
      return EmitDecimal(out, dir, sv < 0, magnitude);
    case L'u':
    case L'U': return EmitDecimal(out, dir, false, pattern);
    case L'o':
    case L'O': return EmitRadix(out, dir, pattern, 8);
    case L'x':
    case L'X': return EmitRadix(out, dir, pattern, 16);
    default: InvalidFormat(d, dir.letter);
  }
}

bool Letter(const RFormatDirective& dir, const wchar_t* accepted) {
  return dir.letter == 0 || wcschr(accepted, dir.letter);
}

}  // namespace

void FormatValue(RStreamCursor& out, const RFormatDirective& dir, const IDomainDefinition* d,
                 term t, const wchar_t* directive) {
  uint32_t kind = KindOf(d);
  term v = t;  // the value in the base kind
  uint32_t base;
  bool inCell;
  if (RefBase(kind, &base, &inCell)) {
    const RRefCell* c = Deref(t);
    if ((c->tag & 0xFF) != 1) Raise(328);
    v = inCell ? reinterpret_cast<term>(&c->value) : reinterpret_cast<term>(c->value);
    kind = base;
  }
  switch (kind) {
    case kChar: {
      if (!Letter(dir, L"c")) InvalidFormat(d, dir.letter);
      wchar_t c;
      memcpy(&c, v, 2);
      RFormatDirective one = dir;
      one.precision = 0;  // a character is never cut
      return EmitText(out, one, &c, 1);
    }
    case kInteger:
    case kUnsigned: {
      bool isSigned = kind == kInteger;
      int64_t x =
          LoadIntegral(v, reinterpret_cast<const RIntegralDomain*>(d)->storageBits, isSigned);
      return EmitIntegral(out, dir, d, isSigned, x, static_cast<uint32_t>(x));
    }
    case kInteger64:
    case kUnsigned64: {
      uint64_t x = Word(v);
      return EmitIntegral(out, dir, d, kind == kInteger64, static_cast<int64_t>(x), x);
    }
    case kReal: {
      if (!Letter(dir, L"efg")) InvalidFormat(d, dir.letter);
      double x;
      memcpy(&x, v, 8);
      return EmitReal(out, dir, x);
    }
    case kString:
    case kSymbol: {
      if (!Letter(dir, L"s")) InvalidFormat(d, dir.letter);
      auto* s = reinterpret_cast<const wchar_t*>(v);
      return EmitText(out, dir, s, wcslen(s));
    }
    case kString8: {
      if (!Letter(dir, L"s")) InvalidFormat(d, dir.letter);
      auto* a = reinterpret_cast<const char*>(v);
      int n = *a ? MultiByteToWideChar(CP_ACP, 0, a, -1, nullptr, 0) : 1;
      if (n <= 0) Errors::SystemAPIError("MultiByteToWideChar");
      auto* s = reinterpret_cast<wchar_t*>(Memory::AllocGStack(static_cast<uint32_t>(n) * 2));
      if (*a) MultiByteToWideChar(CP_ACP, 0, a, -1, s, n);
      return EmitText(out, dir, s, static_cast<uint64_t>(n - 1));
    }
    case kBinary:
      if (!Letter(dir, L"B")) InvalidFormat(d, dir.letter);
      return EmitTermText(out, dir, d, t, false);
    case kCompound:
    case kList:
    case kSingleCompound:
    case kClassFacts:
    case kObjectFacts:
      if (dir.letter) InvalidFormat(d, dir.letter);
      return EmitTermText(out, dir, d, t, true);
    case kPointer:
      if (!Letter(dir, L"xX")) InvalidFormat(d, dir.letter);
      return EmitRadix(out, dir, Word(v), 16);
    case kPredicateValue:
    case kObject:
    case kPointerLike:
      if (!Letter(dir, L"P")) InvalidFormat(d, dir.letter);
      return EmitRadix(out, dir, Word(v), 16);
    default:
      // Kinds without a format of their own: the slot's internal error.
      d->FormatVG(&out, t, directive);
  }
}

// --- Argument lists ---------------------------------------------------------------------------

uint32_t CheckArguments(const REllipsisArg* args) {
  if (!args) return 0;
  uint64_t length = args->length, n = args->count;
  if (length < 2 || n > (length - 2) / 2 || n > 0x7FFFFFFF)
    Errors::InternalError(L"Format: an argument block of %u words cannot hold %u arguments",
                          static_cast<uint32_t>(length > 0xFFFFFFFF ? 0xFFFFFFFF : length),
                          static_cast<uint32_t>(n > 0xFFFFFFFF ? 0xFFFFFFFF : n));
  return static_cast<uint32_t>(n);
}

const IDomainDefinition* ArgumentDomain(const REllipsisArg* args, uint32_t i) {
  const IDomainDefinition* d = args->Domains()[i];
  if (!d || d->Record()->magic != kDomainMagic || !KindOf(d))
    Errors::InternalError(L"Format: argument %u has no domain", i + 1);
  return d;
}

term ArgumentTerm(const REllipsisArg* args, uint32_t i, const IDomainDefinition* d) {
  const uint64_t* word = args->Values() + i;
  if (d->IsScalar()) return reinterpret_cast<term>(word);
  auto t = reinterpret_cast<term>(*word);
  if (!t) Validate(d, t);  // raises 301
  return t;
}

void Interpret(RStreamCursor& out, const wchar_t* format, const REllipsisArg* args) {
  uint32_t n = CheckArguments(args);
  uint32_t used = 0;
  const wchar_t* p = format ? format : L"";
  for (;;) {
    const wchar_t* q = p;
    while (*q && *q != L'%') ++q;
    if (q > p) out.Write(p, static_cast<size_t>(q - p));
    if (!*q) break;
    if (q[1] == L'%') {
      out.Write(L'%');
      p = q + 2;
      continue;
    }
    if (used == n) Raise(314);
    RFormatDirective dir = ParseDirective(q + 1);
    const IDomainDefinition* d = ArgumentDomain(args, used);
    term t = ArgumentTerm(args, used, d);
    if (dir.letter == L' ') d->WriteToStream(&out, t);
    else FormatValue(out, dir, d, t, q + 1);
    p = q + 1 + dir.consumed;
    ++used;
  }
  if (used < n) Raise(314);
}

void WriteArguments(RStreamCursor& out, const REllipsisArg* args, bool text, bool quoted) {
  uint32_t n = CheckArguments(args);
  for (uint32_t i = 0; i < n; ++i) {
    const IDomainDefinition* d = ArgumentDomain(args, i);
    term t = ArgumentTerm(args, i, d);
    if (text && quoted) {
      d->WriteForConsultToStream(&out, t);
    } else if (text) {
      d->WriteToStream(&out, t);
    } else {
      TBinary image = ToBinary(d, t);
      uint32_t size;
      memcpy(&size, image - 4, 4);
      out.WriteRun(image - 4, size);
    }
  }
}

// --- Exports -----------------------------------------------------------------------------------

void corvane_write2OutputStream_support(const REllipsisArg* args, uint32_t quoted, uint32_t text,
                                        RBufferSource* sink) {
  RStreamCursor out(sink);
  WriteArguments(out, args, text != 0, quoted != 0);
}

void corvane_Write2OutputStream(RBufferSource* sink, uint32_t quoted, uint32_t text,
                                const REllipsisArg* args) {
  corvane_write2OutputStream_support(args, quoted, text, sink);
}

void corvane_formatToOutputStream_support(const REllipsisArg* args, const wchar_t* format,
                                          RBufferSource* sink) {
  RStreamCursor out(sink);
  Interpret(out, format, args);
}

void corvaneStream_Format(RBufferSource* sink, const wchar_t* format, const REllipsisArg* args) {
  corvane_formatToOutputStream_support(args, format, sink);
}

void corvane_WriteBytes2OutputStream(RBufferSource* sink, const void* bytes, uint32_t length) {
  if (!length) return;
  if (!bytes) Errors::InternalError(L"Format: %u bytes to write from a null pointer", length);
  RStreamCursor out(sink);
  out.WriteRun(bytes, length);
}

}  // namespace Qel::RunTime::Terms::Format
