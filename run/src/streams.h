// The stream cursor over a buffer source and the token readers of the term
// text form.
#pragma once

#include "lexical.h"

namespace Qel::RunTime::Terms {

constexpr int kEndOfStream = -3;
constexpr int kNoFactsMarker = -1;

// One read or write operation over a source.  A code unit that a source
// splits between two blocks is joined again.
struct RStreamCursor {
  RBufferSource* src;
  uint8_t* base = nullptr;
  uint32_t end = 0;
  uint32_t* pos = nullptr;

  explicit RStreamCursor(RBufferSource* source) : src(source) {}

  // The next code unit, or kEndOfStream.
  int Read() {
    if (pushed < 0 && pos && *pos + 2 <= end) {
      int c = base[*pos] | base[*pos + 1] << 8;
      *pos += 2;
      return c;
    }
    return ReadSlow();
  }
  int ReadNonWhite();
  // The next unit; 319 at the end.
  wchar_t Need();
  void Unget();
  // Up to n bytes; 319 when the first block asked for gives nothing.
  uint32_t ReadBytes(void* out, uint32_t n);
  uint32_t ReadAvailable(void* out, uint32_t n, bool* firstEmpty = nullptr);

  void Write(wchar_t c) {
    if (pos && *pos + 2 <= end) {
      base[*pos] = static_cast<uint8_t>(c);
      base[*pos + 1] = static_cast<uint8_t>(c >> 8);
      *pos += 2;
      return;
    }
    WriteRun(&c, 2);
  }
  void WriteRun(const void* bytes, uint32_t n);
  void Write(const wchar_t* s, size_t n) { WriteRun(s, detail::CheckedSize(uint64_t{n} * 2)); }
  void Write(const wchar_t* s);
  void WriteAscii(const char* s);

  // A unit joined from two blocks can only be returned here.
  int pushed = -1;
  const uint8_t* splitBase = nullptr;
  uint32_t splitPos = 0;
  wchar_t splitUnit = 0;

 private:
  bool Fetch();
  int ReadSlow();
};

// --- Lexical layer ---------------------------------------------------------------------

// 0 (a significant character is next), kNoFactsMarker or kEndOfStream.
int SkipWhiteAndComments(RStreamCursor& in);
// The next unit after white space and comments; -1 at the end or at the
// no-facts marker.
inline int ReadSignificant(RStreamCursor& in) {
  return SkipWhiteAndComments(in) == 0 ? in.Read() : -1;
}
// Unsigned integer with radix prefix, 32 bits (316, 317, 319).
uint32_t ReadUnsigned(RStreamCursor& in);
// 64-bit variant for the 64-bit kinds.
uint64_t ReadUnsigned64(RStreamCursor& in);
// Hexadecimal number of at most 64 bits (pointers).
uint64_t ReadHex(RStreamCursor& in);
// The longest real-number text, in `local` (units) when it fits, else in a
// heap string.
wchar_t* ReadRealText(RStreamCursor& in, wchar_t* local = nullptr, size_t units = 0);
// The body of a character literal after its opening apostrophe.
wchar_t ReadCharBody(RStreamCursor& in);
// The body of a string literal after its opening double quote, and the
// closing quote; a new heap string.
wchar_t* ReadStringBody(RStreamCursor& in, const wchar_t* domainName);
// The body of a binary literal after "$[", and the closing bracket.
uint8_t* ReadBinaryBody(RStreamCursor& in);

void WriteQuoted(RStreamCursor& out, const wchar_t* s, size_t n);
inline void WriteQuoted(RStreamCursor& out, const wchar_t* s) { WriteQuoted(out, s, wcslen(s)); }

// ANSI-code-page conversions of string8 values.
wchar_t* AnsiToWide(const char* s);
char* WideToAnsi(const wchar_t* s);

// The text form of a term in a new heap string (quoted or plain).
wchar_t* TermToString(const IDomainDefinition* d, term t, bool quoted);
// Writes the quoted text at out (TextLength units of room); returns the end.
wchar_t* WriteInto(const IDomainDefinition* d, term t, wchar_t* out);
// The units the quoted writer produces for a term.
uint32_t CountText(const IDomainDefinition* d, term t);

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

// 327: `want` was expected where `got` stands (got < 0: the end).
[[noreturn]] void ExpectedSymbol(const Terms::IDomainDefinition* d, wchar_t want, int got);

// A functor name whose first unit `c` was just read: '_', letters and digits,
// not a digit first (310 otherwise), cut at 255 units.  The unit after it
// stays in the stream.
void ReadFunctorName(Terms::RStreamCursor& in, int c, const Terms::IDomainDefinition* d,
                     wchar_t (&name)[256]);
// After a constant's name: an optional empty argument list "()" (327 when it
// holds anything).
void SkipEmptyArguments(Terms::RStreamCursor& in, const Terms::IDomainDefinition* d);

}  // namespace Qel::RunTime::detail
