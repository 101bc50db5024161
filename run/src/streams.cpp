// The stream cursor, the lexical layer of the term text form, the string
// sink of the write-to-string operations and the exported stream entries.
//
// Invariants:
//  - The cursor reads and writes in the source's own blocks; nothing of the
//    stream is copied.  Tokens are collected in a small buffer (on the
//    machine stack, or the heap when they are long) and unescaped as they
//    are collected, so a token cut by block ends reads as in one block.
//  - Errors leave the source after what was consumed.
#include "streams.h"

#include "stringsink.h"

#include <emmintrin.h>

#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cwchar>

namespace Qel::RunTime::Terms {

using namespace detail;

// --- Cursor --------------------------------------------------------------------------

bool RStreamCursor::Fetch() {
  if (pos) *pos = end;  // the block is consumed
  uint32_t length = 0;
  src->NextBlock(&base, &length);
  end = length;
  pos = src->PositionCell();
  return length != 0;
}

int RStreamCursor::ReadSlow() {
  if (pushed >= 0) {
    int c = pushed;
    pushed = -1;
    return c;
  }
  int low = -1;  // a first byte left at the end of a block
  for (;;) {
    if (pos && *pos < end) {
      if (low >= 0) {
        splitUnit = static_cast<wchar_t>(low | base[(*pos)++] << 8);
        splitBase = base;
        splitPos = *pos;
        return splitUnit;
      }
      if (*pos + 2 <= end) return Read();
      low = base[(*pos)++];
    }
    if (!Fetch()) return kEndOfStream;
  }
}

int RStreamCursor::ReadNonWhite() {
  int c;
  do c = Read();
  while (c >= 0 && IsWhite(c));
  return c;
}

wchar_t RStreamCursor::Need() {
  int c = Read();
  if (c < 0) Raise(319);
  return static_cast<wchar_t>(c);
}

void RStreamCursor::Unget() {
  if (pos && base == splitBase && *pos == splitPos && splitPos < 2) {
    pushed = splitUnit;
    return;
  }
  if (!pos || *pos < 2) Raise(320);
  *pos -= 2;
}

uint32_t RStreamCursor::ReadAvailable(void* out, uint32_t n, bool* firstEmpty) {
  auto* p = static_cast<uint8_t*>(out);
  uint32_t copied = 0;
  bool asked = false;
  while (copied < n) {
    if (pos && *pos < end) {
      uint32_t k = end - *pos < n - copied ? end - *pos : n - copied;
      memcpy(p + copied, base + *pos, k);
      *pos += k;
      copied += k;
      continue;
    }
    bool more = Fetch();
    if (!asked && firstEmpty) *firstEmpty = !more;
    asked = true;
    if (!more) break;
  }
  return copied;
}

uint32_t RStreamCursor::ReadBytes(void* out, uint32_t n) {
  bool firstEmpty = false;
  uint32_t copied = ReadAvailable(out, n, &firstEmpty);
  if (firstEmpty && copied == 0) Raise(319);
  return copied;
}

void RStreamCursor::WriteRun(const void* bytes, uint32_t n) {
  auto* p = static_cast<const uint8_t*>(bytes);
  while (n) {
    if (!pos || *pos >= end) {
      if (!Fetch()) Internal(L"Streams: the sink gives no room");
      continue;
    }
    uint32_t k = end - *pos < n ? end - *pos : n;
    memcpy(base + *pos, p, k);
    *pos += k;
    p += k;
    n -= k;
  }
}

namespace {

// wcslen eight units at a time: aligned 16-byte loads never cross into a
// page the string does not reach.  (The system's is a plain loop.)
size_t WideLength(const wchar_t* s) {
  const wchar_t* p = s;
  for (; reinterpret_cast<uintptr_t>(p) & 15; ++p)
    if (!*p) return static_cast<size_t>(p - s);
  const __m128i zero = _mm_setzero_si128();
  for (;; p += 8) {
    const int hit = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)), zero));
    if (hit) return static_cast<size_t>(p - s) + static_cast<size_t>(__builtin_ctz(hit)) / 2;
  }
}

}  // namespace

void RStreamCursor::Write(const wchar_t* s) { Write(s, WideLength(s)); }

void RStreamCursor::WriteAscii(const char* s) {
  for (; *s; ++s) Write(static_cast<wchar_t>(static_cast<uint8_t>(*s)));
}

// --- Token buffer --------------------------------------------------------------------

namespace {

// Collects units of a token: first in place, then on the heap.
class TokenBuffer {
 public:
  void Add(wchar_t c) {
    if (n_ == cap_) Grow();
    data_[n_++] = c;
  }
  size_t Size() const { return n_; }
  const wchar_t* Data() const { return data_; }
  wchar_t* HeapString() const {
    wchar_t* s = Memory::AllocHeapString(CheckedSize(n_));
    memcpy(s, data_, n_ * 2);
    return s;
  }

 private:
  void Grow() {
    size_t cap = cap_ * 2;
    auto* grown = static_cast<wchar_t*>(Memory::AllocAtomicHeap(CheckedSize(cap * 2)));
    memcpy(grown, data_, n_ * 2);
    data_ = grown;
    cap_ = cap;
  }
  wchar_t local_[256];
  wchar_t* data_ = local_;
  size_t n_ = 0;
  size_t cap_ = 256;
};

// Adds the unit an escape stands for, `letter` being the unit after the
// backslash: \uXXXX (the first digit the highest), an escape letter, or else
// the backslash and the letter as they are.
void AddEscaped(RStreamCursor& in, TokenBuffer& t, int letter) {
  if (letter == L'u') {
    int v = 0;
    for (int i = 0; i < 4; ++i) {
      int x = in.Read();
      int d = HexDigit(x);
      if (d < 0) IntegerExpected(x);
      v = v << 4 | d;
    }
    t.Add(static_cast<wchar_t>(v));
  } else if (int u = UnescapeOf(static_cast<wchar_t>(letter)); u >= 0) {
    t.Add(static_cast<wchar_t>(u));
  } else {
    t.Add(L'\\');
    t.Add(static_cast<wchar_t>(letter));
  }
}

}  // namespace

// --- Lexical layer -------------------------------------------------------------------

// Block comments nest; `level` counts the open ones, so any depth of nesting
// costs no machine stack.
int SkipWhiteAndComments(RStreamCursor& in) {
  static const wchar_t kMarker[] = L"%<--noFacts-->%";
  uint64_t level = 0;
  for (;;) {
    int c = in.ReadNonWhite();
    if (c < 0) {
      if (level > 0) Raise(323);
      return kEndOfStream;
    }
    if (c == L'%') {
      size_t i = 1;
      int d = 0;
      while (kMarker[i] && (d = in.Read()) == kMarker[i]) ++i;
      bool marker = !kMarker[i];
      // The rest of the line goes, as a comment or after the marker.
      if (!marker && d != L'\n') do d = in.Read(); while (d >= 0 && d != L'\n');
      else if (marker) do d = in.Read(); while (d >= 0 && d != L'\n');
      if (marker && level == 0) return kNoFactsMarker;
      if (d < 0 && level == 0) return kEndOfStream;
      if (d < 0) Raise(323);
      continue;
    }
    if (c == L'/') {
      int d = in.Read();
      if (d == L'*') {
        ++level;
        continue;
      }
      if (d >= 0) in.Unget();
      if (level == 0) return 0;  // a stray '/' is consumed
      continue;
    }
    if (level > 0) {
      if (c == L'*') {
        int d = in.Read();
        if (d == L'/') {
          --level;
          continue;
        }
        if (d < 0) Raise(323);
        in.Unget();
      }
      continue;
    }
    in.Unget();
    return 0;
  }
}

template <class U>
static U ReadUnsignedT(RStreamCursor& in) {
  int c = in.Read();
  if (c < 0) Raise(319);
  int radix = 10;
  if (c == L'0') {
    int d = in.Read();
    if (d == L'o' || d == L'O' || d == L'x' || d == L'X') {
      radix = d == L'o' || d == L'O' ? 8 : 16;
      c = in.Read();
    } else if (d >= L'0' && d <= L'9') {
      c = d;
    } else {
      if (d >= 0) in.Unget();
      return 0;
    }
  }
  int v = HexDigit(c);
  if (v < 0 || v >= radix) IntegerExpected(c);
  U value = 0;
  for (;;) {
    U next;
    if (__builtin_mul_overflow(value, static_cast<U>(radix), &next) ||
        __builtin_add_overflow(next, static_cast<U>(v), &next))
      Raise(316);
    value = next;
    c = in.Read();
    if (c < 0) return value;
    v = HexDigit(c);
    if (v < 0 || v >= radix) {
      in.Unget();
      return value;
    }
  }
}

uint32_t ReadUnsigned(RStreamCursor& in) { return ReadUnsignedT<uint32_t>(in); }
uint64_t ReadUnsigned64(RStreamCursor& in) { return ReadUnsignedT<uint64_t>(in); }

uint64_t ReadHex(RStreamCursor& in) {
  int c = in.ReadNonWhite();
  int v = HexDigit(c);
  if (v < 0) IntegerExpected(c);
  uint64_t value = 0;
  for (;;) {
    if (value >> 60) Raise(316);
    value = value << 4 | static_cast<uint64_t>(v);
    c = in.Read();
    if (c < 0) return value;
    v = HexDigit(c);
    if (v < 0) {
      in.Unget();
      return value;
    }
  }
}

wchar_t* ReadRealText(RStreamCursor& in, wchar_t* local, size_t units) {
  TokenBuffer t;
  auto isDigit = [](int c) { return c >= L'0' && c <= L'9'; };
  int c = in.Read();
  bool sign = c == L'+' || c == L'-';
  if (sign) {
    t.Add(static_cast<wchar_t>(c));
    c = in.Read();
    if (!isDigit(c) && c != L'n' && c != L'i') IntegerExpected(c);
  }
  // The words the writer gives NaN and the infinities.
  if (c == L'n' || c == L'i') {
    const wchar_t* word = c == L'n' ? L"nan" : L"inf";
    for (int i = 0; word[i]; ++i, c = in.Read()) {
      if (c != word[i]) IntegerExpected(c);
      t.Add(static_cast<wchar_t>(c));
    }
    if (c >= 0) in.Unget();
    return t.HeapString();
  }
  bool digitsBefore = false;
  while (isDigit(c)) {
    t.Add(static_cast<wchar_t>(c));
    digitsBefore = true;
    c = in.Read();
  }
  if (c == L'.' && (digitsBefore || !sign)) {
    t.Add(L'.');
    c = in.Read();
    while (isDigit(c)) {
      t.Add(static_cast<wchar_t>(c));
      c = in.Read();
    }
  }
  if ((c == L'e' || c == L'E') && t.Size()) {
    t.Add(static_cast<wchar_t>(c));
    c = in.Read();
    if (c == L'+' || c == L'-') {
      t.Add(static_cast<wchar_t>(c));
      c = in.Read();
      if (!isDigit(c)) IntegerExpected(c);
    }
    while (isDigit(c)) {
      t.Add(static_cast<wchar_t>(c));
      c = in.Read();
    }
  }
  if (c >= 0) in.Unget();
  if (local && t.Size() < units) {
    memcpy(local, t.Data(), t.Size() * 2);
    local[t.Size()] = 0;
    return local;
  }
  return t.HeapString();
}

wchar_t ReadCharBody(RStreamCursor& in) {
  wchar_t c = in.Need();
  if (c != L'\\') return c;
  return CharEscape(in.Need(), [&] { return in.Read(); });
}

wchar_t* ReadStringBody(RStreamCursor& in, const wchar_t* domainName) {
  TokenBuffer t;
  for (;;) {
    int c = in.Read();
    if (c < 0) Raise(319);
    if (c == L'"') return t.HeapString();
    if (c != L'\\') {
      t.Add(static_cast<wchar_t>(c));
      continue;
    }
    c = in.Read();
    if (c < 0) {  // a backslash at the end stays itself
      t.Add(L'\\');
      Raise(319);
    }
    AddEscaped(in, t, c);
  }
}

uint8_t* ReadBinaryBody(RStreamCursor& in) {
  // Items are collected first: their count is known at the bracket.
  TokenBuffer bytes;
  int c = in.ReadNonWhite();
  if (c < 0) Raise(319);
  if (c != L']') {
    in.Unget();
    for (;;) {
      int hi = in.ReadNonWhite();
      if (hi < 0) Raise(319);
      if (HexDigit(hi) < 0) IntegerExpected(hi);
      int lo = in.Read();
      if (lo < 0) Raise(319);
      if (HexDigit(lo) < 0) IntegerExpected(lo);
      bytes.Add(static_cast<wchar_t>(HexDigit(hi) << 4 | HexDigit(lo)));
      int sep = in.ReadNonWhite();
      if (sep < 0) Raise(319);
      if (sep == L']') break;
      if (sep != L',') IntegerExpected(sep);  // an item longer than two digits
    }
  }
  uint32_t n = CheckedSize(bytes.Size());
  uint8_t* data = NewHeapBinary(n);
  for (uint32_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(bytes.Data()[i]);
  return data;
}

void WriteQuoted(RStreamCursor& out, const wchar_t* s, size_t n) {
  out.Write(L'"');
  size_t run = 0;
  for (size_t i = 0; i < n; ++i) {
    int e = EscapeOf(s[i]);
    if (!e) continue;
    out.Write(s + run, i - run);
    out.Write(L'\\');
    out.Write(static_cast<wchar_t>(e));
    run = i + 1;
  }
  out.Write(s + run, n - run);
  out.Write(L'"');
}

wchar_t* AnsiToWide(const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  if (n <= 0) Errors::SystemAPIError("MultiByteToWideChar");
  wchar_t* w = Memory::AllocHeapString(static_cast<uint32_t>(n - 1));
  MultiByteToWideChar(CP_ACP, 0, s, -1, w, n);
  return w;
}

char* WideToAnsi(const wchar_t* s) {
  if (!*s) {
    auto* empty = static_cast<char*>(Memory::AllocAtomicHeap(1));
    *empty = 0;
    return empty;
  }
  int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) Errors::SystemAPIError("Streams::convertUnicodeToAnsi");
  auto* a = static_cast<char*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(n)));
  WideCharToMultiByte(CP_ACP, 0, s, -1, a, n, nullptr, nullptr);
  return a;
}

}  // namespace Qel::RunTime::Terms

// --- String sink -------------------------------------------------------------------------

namespace Qel::RunTime::detail {

void ExpectedSymbol(const Terms::IDomainDefinition* d, wchar_t want, int got) {
  Raise(327, static_cast<int>(want), got < 0 ? 0 : got, d->QualifiedName());
}

void ReadFunctorName(Terms::RStreamCursor& in, int c, const Terms::IDomainDefinition* d,
                     wchar_t (&name)[256]) {
  if (c != L'_' && (!Terms::IsAlphaNumeric(c) || (c >= L'0' && c <= L'9'))) {
    wchar_t text[2] = {static_cast<wchar_t>(c), 0};
    Raise(310, d->QualifiedName(), text);
  }
  size_t k = 0;
  for (; c >= 0 && (c == L'_' || Terms::IsAlphaNumeric(c)); c = in.Read())
    if (k < 255) name[k++] = static_cast<wchar_t>(c);
  name[k] = 0;
  if (c >= 0) in.Unget();
}

void SkipEmptyArguments(Terms::RStreamCursor& in, const Terms::IDomainDefinition* d) {
  if (Terms::SkipWhiteAndComments(in) != 0) return;
  int c = in.Read();
  if (c == L'(') {
    c = in.ReadNonWhite();
    if (c != L')') ExpectedSymbol(d, L')', c);
  } else if (c >= 0) {
    in.Unget();
  }
}

void StringSink::NextBlock(uint8_t** base, uint32_t* length) {
  if (!newest_ || used_ >= kChunk) {
    auto* c = reinterpret_cast<Chunk*>(GAlloc(sizeof(Chunk)));
    if (newest_) newest_->used = used_;
    c->older = newest_;
    c->used = 0;
    newest_ = c;
    used_ = 0;
  }
  *base = newest_->data;
  *length = kChunk;
}

wchar_t* StringSink::Take() {
  if (!newest_) return Memory::AllocHeapString(0);
  newest_->used = used_;
  uint64_t total = 0;
  for (Chunk* c = newest_; c; c = c->older) total += c->used;
  // An odd byte count (binary images) still ends in a whole zero unit.
  uint64_t even = (total + 1) & ~uint64_t{1};
  if (even > 0x7FFFFFF0) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  auto* s = static_cast<uint8_t*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(even + 2)));
  uint64_t at = total;
  for (Chunk* c = newest_; c; c = c->older) {
    at -= c->used;
    memcpy(s + at, c->data, c->used);
  }
  memset(s + total, 0, static_cast<size_t>(even + 2 - total));
  return reinterpret_cast<wchar_t*>(s);
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime::Terms {

// --- Other sinks and sources ----------------------------------------------------------------

namespace {

// Counts what is written, keeping nothing.
class CountingSink final : public RBufferSource {
 public:
  void NextBlock(uint8_t** base, uint32_t* length) override {
    total_ += pos_;
    pos_ = 0;
    *base = scratch_;
    *length = sizeof scratch_;
  }
  uint32_t* PositionCell() override { return &pos_; }
  uint64_t Total() const { return total_ + pos_; }

 private:
  uint8_t scratch_[512];
  uint32_t pos_ = 0;
  uint64_t total_ = 0;
};

// Hands out one string as a single block, then the end.
class StringSource final : public RBufferSource {
 public:
  explicit StringSource(const wchar_t* s) : s_(s), length_(CheckedSize(wcslen(s) * 2)) {}
  void NextBlock(uint8_t** base, uint32_t* length) override {
    *base = reinterpret_cast<uint8_t*>(const_cast<wchar_t*>(s_));
    *length = pos_ < length_ ? length_ : 0;
  }
  uint32_t* PositionCell() override { return &pos_; }

 private:
  const wchar_t* s_;
  uint32_t length_;
  uint32_t pos_ = 0;
};

}  // namespace

wchar_t* TermToString(const IDomainDefinition* d, term t, bool quoted) {
  return WriteToString([&](RStreamCursor& out) {
    if (quoted) d->WriteForConsultToStream(&out, t);
    else d->WriteToStream(&out, t);
  });
}

wchar_t* WriteInto(const IDomainDefinition* d, term t, wchar_t* out) {
  // The caller gives room for TextLength units.
  struct Fixed final : RBufferSource {
    uint8_t* block;
    uint32_t pos = 0;
    bool given = false;
    void NextBlock(uint8_t** base, uint32_t* length) override {
      *base = block;
      *length = given ? 0 : 0x7FFFFFF0;
      given = true;
    }
    uint32_t* PositionCell() override { return &pos; }
  } sink;
  sink.block = reinterpret_cast<uint8_t*>(out);
  RStreamCursor cursor(&sink);
  d->WriteForConsultToStream(&cursor, t);
  return out + sink.pos / 2;
}

uint32_t CountText(const IDomainDefinition* d, term t) {
  CountingSink sink;
  RStreamCursor out(&sink);
  d->WriteForConsultToStream(&out, t);
  return CheckedSize(sink.Total() / 2);
}

// --- Exports -------------------------------------------------------------------------------

namespace Streams {

wchar_t ParseChar(RBufferSource* source) {
  RStreamCursor in(source);
  return in.Need();
}

void ungetChar(RBufferSource* source) {
  uint32_t* pos = source->PositionCell();
  if (*pos < 2) Raise(320);
  *pos -= 2;
}

wchar_t* ParseString(RBufferSource* source, uint32_t n) {
  uint32_t bytes = CheckedSize(uint64_t{n} * 2);
  wchar_t* s = Memory::AllocHeapString(n);
  if (!n) return s;
  memset(s, 0, bytes);
  RStreamCursor in(source);
  uint32_t got = in.ReadAvailable(s, bytes);
  s[(got + 1) / 2] = 0;
  return s;
}

uint8_t* ParseBytes(RBufferSource* source, uint32_t n) {
  uint8_t* data = NewHeapBinary(n);
  if (!n) return data;
  RStreamCursor in(source);
  uint32_t size = in.ReadBytes(data, n) + 4;  // shrunk at the end of the stream
  memcpy(data - 4, &size, 4);
  return data;
}

wchar_t* ParseLine(RBufferSource* source) {
  RStreamCursor in(source);
  TokenBuffer t;
  bool ended = false;
  for (;;) {
    int c = in.Read();
    if (c < 0) break;
    if (c == 0 || c == L'\n' || c == L'\r') {
      ended = true;
      break;
    }
    if (c != L'\\') {
      t.Add(static_cast<wchar_t>(c));
      continue;
    }
    c = in.Read();
    if (c < 0) {
      t.Add(L'\\');
      break;
    }
    AddEscaped(in, t, c);
  }
  if (!ended && t.Size() == 0) Raise(319);
  return t.HeapString();
}

term ParseFromStream(const IDomainDefinition* d, RBufferSource* source, uint32_t text) {
  RStreamCursor in(source);
  if (text) return d->ReadFromStream(&in);
  // A binary image: its length word (counting itself), then its bytes.
  uint32_t length = 0;
  if (in.ReadBytes(&length, 4) < 4 || length < 4) Raise(319);
  uint8_t* image = NewHeapBinary(length - 4);
  if (length > 4 && in.ReadBytes(image, length - 4) < length - 4) Raise(319);
  return d->BinaryRead(image, nullptr);
}

term ParseToTerm(const IDomainDefinition* d, const wchar_t* text) {
  StringSource source(text ? text : L"");
  return ParseFromStream(d, &source, 1);
}

void StreamFromTerm(const IDomainDefinition* d, RBufferSource* sink, term t) {
  RStreamCursor out(sink);
  d->WriteForConsultToStream(&out, t);
}

}  // namespace Streams
}  // namespace Qel::RunTime::Terms
